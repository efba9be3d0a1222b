#pragma once
// A small reader and writer of ini (profile) files. Paths may name a drive ("C:\\x.ini",
// mapped through the platform's drive letters) or be absolute native paths; both are taken
// unchanged. Other paths are placed in the program's folder (relative flag 1) or in the
// user's configuration folder, which stands in for the system folder (flag 0).
#include <string>
#include <utility>
#include <vector>

class CIniFile {
 public:
  // Longest value a read returns, in characters (longer values are cut).
  static constexpr int VALUE_CHARS = 255;

  CIniFile(const std::u16string& path, int relative);
  virtual ~CIniFile();

  void SetPath(const std::u16string& path, int relative);
  int IsRelative() const { return m_relative; }
  const std::string& NativePath() const { return m_nativePath; }

  // A given section becomes the current one; null keeps the current section.
  std::u16string GetString(const std::u16string& key, const char16_t* defaultValue = nullptr,
                           const char16_t* section = nullptr);
  // Decimal value with wide-text-to-integer semantics: leading blanks, a sign, digits;
  // non-numeric text gives 0.
  int GetInt(const std::u16string& key, int defaultValue, const char16_t* section = nullptr);
  bool GetBool(const std::u16string& key, bool defaultValue, const char16_t* section = nullptr);
  // True when the key stands in the current (or given) section.
  bool HasKey(const std::u16string& key, const char16_t* section = nullptr);

  // False when the file could not be written.
  bool WriteString(const std::u16string& key, const std::u16string& value,
                   const char16_t* section = nullptr);
  bool WriteInt(const std::u16string& key, int value, const char16_t* section = nullptr);
  bool WriteBool(const std::u16string& key, bool value, const char16_t* section = nullptr);
  // Several keys with one replacement of the file: all of them are written or none.
  bool WriteStrings(const std::vector<std::pair<std::u16string, std::u16string>>& values,
                    const char16_t* section = nullptr);
  static std::u16string IntText(int value);

  // Wide-text-to-integer as the profile values are read (no overflow: clamps).
  static int TextToInt(const std::u16string& text);

 private:
  void UseSection(const char16_t* section);

  int m_relative = 0;
  std::u16string m_path;
  std::string m_nativePath;
  std::u16string m_section;
};
