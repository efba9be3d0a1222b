#include "shell/IniFile.h"

#include <climits>
#include <cstdlib>

#include "plat/paths.h"
#include "plat/profile.h"
#include "plat/text.h"

namespace {

bool hasDrive(const std::u16string& p) {
  return p.size() >= 2 && p[1] == u':' &&
         ((p[0] >= u'A' && p[0] <= u'Z') || (p[0] >= u'a' && p[0] <= u'z'));
}

std::string systemFolder() {
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return x;
  if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.config";
  return plat::programDir();
}

std::u16string toText(int v) { return plat::utf8ToUtf16(std::to_string(v)); }

}  // namespace

CIniFile::CIniFile(const std::u16string& path, int relative) : m_relative(relative) {
  SetPath(path, relative);
  m_section.clear();
}

CIniFile::~CIniFile() = default;

void CIniFile::SetPath(const std::u16string& path, int relative) {
  m_relative = relative;
  if (hasDrive(path)) {
    m_relative = 0;
    m_path = path;
    m_nativePath = plat::toNativePath(path);
    return;
  }
  if (!path.empty() && path[0] == u'/') {  // already a native absolute path
    m_relative = 0;
    m_path = path;
    m_nativePath = plat::utf16ToUtf8(path);
    return;
  }
  std::string base = relative ? plat::programDir() : systemFolder();
  std::string rest = plat::toNativePath(path);  // backslashes become slashes
  while (!rest.empty() && rest.front() == '/') rest.erase(rest.begin());
  m_nativePath = base == "/" ? "/" + rest : base + "/" + rest;
  m_path = plat::utf8ToUtf16(m_nativePath);
}

void CIniFile::UseSection(const char16_t* section) {
  if (section) m_section = section;
}

std::u16string CIniFile::GetString(const std::u16string& key, const char16_t* defaultValue,
                                   const char16_t* section) {
  UseSection(section);
  char16_t buffer[VALUE_CHARS + 1] = {};
  uint32_t n = plat::getPrivateProfileString(m_section, key, defaultValue ? defaultValue : u"",
                                             buffer, VALUE_CHARS + 1, m_nativePath);
  return std::u16string(buffer, n);
}

int CIniFile::TextToInt(const std::u16string& text) { return plat::textToInt(text); }

int CIniFile::GetInt(const std::u16string& key, int defaultValue, const char16_t* section) {
  std::u16string def = toText(defaultValue);
  return TextToInt(GetString(key, def.c_str(), section));
}

bool CIniFile::GetBool(const std::u16string& key, bool defaultValue, const char16_t* section) {
  return GetInt(key, defaultValue ? 1 : 0, section) != 0;
}

bool CIniFile::HasKey(const std::u16string& key, const char16_t* section) {
  // U+FFFF is a non-character: no value in a file can be it.
  static constexpr char16_t kAbsent[] = {0xFFFF, 0};
  return GetString(key, kAbsent, section) != kAbsent;
}

bool CIniFile::WriteString(const std::u16string& key, const std::u16string& value,
                           const char16_t* section) {
  UseSection(section);
  return plat::writePrivateProfileString(m_section, key, value, m_nativePath);
}

bool CIniFile::WriteStrings(const std::vector<std::pair<std::u16string, std::u16string>>& values,
                            const char16_t* section) {
  UseSection(section);
  return plat::writePrivateProfileStrings(m_section, values, m_nativePath);
}

std::u16string CIniFile::IntText(int value) { return toText(value); }

bool CIniFile::WriteInt(const std::u16string& key, int value, const char16_t* section) {
  return WriteString(key, toText(value), section);
}

bool CIniFile::WriteBool(const std::u16string& key, bool value, const char16_t* section) {
  return WriteInt(key, value ? 1 : 0, section);
}
