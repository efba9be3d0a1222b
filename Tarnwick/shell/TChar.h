#pragma once
// One text kept in a narrow form (GBK, for the device libraries) and a wide form (UTF-16).
// An input too long for its own buffer changes nothing; a wide text whose narrow form is
// longer than the narrow buffer is cut at a character boundary.
#include <string_view>

class CTChar {
 public:
  static constexpr size_t NARROW_BYTES = 512;
  static constexpr size_t WIDE_CHARS = 1024;

  CTChar();
  explicit CTChar(std::u16string_view wide);
  explicit CTChar(std::string_view narrow);
  CTChar(const char16_t* wide);  // NOLINT: converts like the strings it wraps
  CTChar(const char* narrow);    // NOLINT
  virtual ~CTChar();

  void SetWide(std::u16string_view wide);
  void SetNarrow(std::string_view narrow);
  const char* GetNarrow() const { return m_narrow; }
  const char16_t* GetWide() const { return m_wide; }

 private:
  char m_narrow[NARROW_BYTES] = {};
  char16_t m_wide[WIDE_CHARS] = {};
};
