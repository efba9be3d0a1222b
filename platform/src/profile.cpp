#include "plat/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "plat/part_file.h"
#include "plat/text.h"

namespace plat {
namespace {

std::mutex g_fileMutex;  // one writer at a time per process; the file is replaced whole

char16_t lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

bool equalsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::u16string trim(std::u16string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == u' ' || s[b] == u'\t' || s[b] == u'\r')) ++b;
  while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t' || s[e - 1] == u'\r')) --e;
  return std::u16string(s.substr(b, e - b));
}

std::vector<std::u16string> readLines(const std::string& path, bool* exists = nullptr) {
  std::ifstream f(path, std::ios::binary);
  if (exists) *exists = static_cast<bool>(f);
  std::vector<std::u16string> lines;
  if (!f) return lines;
  std::stringstream ss;
  ss << f.rdbuf();
  std::string raw = ss.str();
  if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
  std::u16string text = isValidUtf8(raw) ? utf8ToUtf16(raw) : gbkToUtf16(raw);
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find(u'\n', start);
    if (nl == std::u16string::npos) {
      if (start < text.size()) lines.push_back(text.substr(start));
      break;
    }
    std::u16string line = text.substr(start, nl - start);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    lines.push_back(std::move(line));
    start = nl + 1;
  }
  return lines;
}

bool writeLines(const std::string& path, const std::vector<std::u16string>& lines) {
  std::string out;
  for (const auto& l : lines) {
    out += utf16ToUtf8(l);
    out += "\r\n";
  }
  // Readable as the old file was; a new one stays its owner's alone.
  struct stat st{};
  const mode_t mode = ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0600;
  PartFile part;
  return part.create(path) && ::fchmod(part.fd(), mode) == 0 &&
         part.write(out.data(), out.size()) && part.commit();
}

bool isSectionLine(const std::u16string& line, std::u16string* name) {
  std::u16string t = trim(line);
  if (t.size() < 2 || t.front() != u'[') return false;
  size_t close = t.find(u']');
  if (close == std::u16string::npos) return false;
  if (name) *name = trim(std::u16string_view(t).substr(1, close - 1));
  return true;
}

bool splitKey(const std::u16string& line, std::u16string& key, std::u16string& value) {
  size_t eq = line.find(u'=');
  if (eq == std::u16string::npos) return false;
  key = trim(std::u16string_view(line).substr(0, eq));
  value = trim(std::u16string_view(line).substr(eq + 1));
  return true;
}

// Index range [begin, end) of the section's body, begin = -1 when missing.
void findSection(const std::vector<std::u16string>& lines, const std::u16string& section,
                 long& header, size_t& end) {
  header = -1;
  end = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    std::u16string name;
    if (!isSectionLine(lines[i], &name)) continue;
    if (header >= 0) {
      end = i;
      return;
    }
    if (equalsNoCase(name, section)) header = static_cast<long>(i);
  }
}

bool lookup(const std::string& path, const std::u16string& section, const std::u16string& key,
            std::u16string& value) {
  std::lock_guard<std::mutex> lk(g_fileMutex);
  auto lines = readLines(path);
  long header;
  size_t end;
  findSection(lines, section, header, end);
  if (header < 0) return false;
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    std::u16string k, v;
    if (splitKey(lines[i], k, v) && equalsNoCase(k, key)) {
      if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      value = v;
      return true;
    }
  }
  return false;
}

}  // namespace

uint32_t getPrivateProfileString(const std::u16string& section, const std::u16string& key,
                                 const std::u16string& defaultValue, char16_t* buffer,
                                 uint32_t bufferSize, const std::string& path) {
  if (!buffer || bufferSize == 0) return 0;
  std::u16string value;
  if (!lookup(path, section, key, value)) value = trim(defaultValue);
  uint32_t n = static_cast<uint32_t>(std::min<size_t>(value.size(), bufferSize - 1));
  // Never leave half of a surrogate pair at the cut.
  if (n < value.size() && n > 0 && value[n - 1] >= 0xD800 && value[n - 1] <= 0xDBFF) --n;
  std::copy(value.begin(), value.begin() + n, buffer);
  buffer[n] = u'\0';
  return n;
}

int getPrivateProfileInt(const std::u16string& section, const std::u16string& key,
                         int defaultValue, const std::string& path) {
  std::u16string value;
  if (!lookup(path, section, key, value)) return defaultValue;
  return textToInt(value);
}

namespace {

// Sets key=value in the section held in `lines`, adding section and key when missing.
void setKey(std::vector<std::u16string>& lines, const std::u16string& section,
            const std::u16string& key, const std::u16string& value) {
  long header;
  size_t end;
  findSection(lines, section, header, end);
  std::u16string line = key + u"=" + value;
  if (header < 0) {
    lines.push_back(u"[" + section + u"]");
    lines.push_back(line);
    return;
  }
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    std::u16string k, v;
    if (splitKey(lines[i], k, v) && equalsNoCase(k, key)) {
      lines[i] = line;
      return;
    }
  }
  // After the section's last non-blank line.
  size_t at = end;
  while (at > static_cast<size_t>(header) + 1 && trim(lines[at - 1]).empty()) --at;
  lines.insert(lines.begin() + static_cast<long>(at), line);
}

}  // namespace

bool writePrivateProfileString(const std::u16string& section, const std::u16string& key,
                               const std::u16string& value, const std::string& path) {
  return writePrivateProfileStrings(section, {{key, value}}, path);
}

bool writePrivateProfileStrings(const std::u16string& section,
                                const std::vector<std::pair<std::u16string, std::u16string>>& values,
                                const std::string& path) {
  for (const auto& kv : values)
    if (kv.first.empty()) return false;
  std::lock_guard<std::mutex> lk(g_fileMutex);
  auto lines = readLines(path);
  for (const auto& kv : values) setKey(lines, section, kv.first, kv.second);
  return writeLines(path, lines);
}

bool deletePrivateProfileKey(const std::u16string& section, const std::u16string& key,
                             const std::string& path) {
  std::lock_guard<std::mutex> lk(g_fileMutex);
  bool exists = false;
  auto lines = readLines(path, &exists);
  if (!exists) return true;
  long header;
  size_t end;
  findSection(lines, section, header, end);
  if (header < 0) return true;
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    std::u16string k, v;
    if (splitKey(lines[i], k, v) && equalsNoCase(k, key)) {
      lines.erase(lines.begin() + static_cast<long>(i));
      return writeLines(path, lines);
    }
  }
  return true;
}

}  // namespace plat
