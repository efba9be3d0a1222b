#include "strings_file.h"

#include <cstdlib>
#include <vector>

namespace strgen {
namespace {

std::vector<std::string> splitTabs(const std::string& s) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t tab = s.find('\t', start);
    parts.push_back(s.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return parts;
    start = tab + 1;
  }
}

// The file's escapes (\n, \t, \\) are C escapes already; only quotes need escaping. Any
// other backslash sequence is refused so the generated literal means what the file says.
bool toLiteral(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\') {
      if (i + 1 >= text.size()) return false;
      char n = text[i + 1];
      if (n != 'n' && n != 't' && n != '\\') return false;
      out += c;
      out += n;
      ++i;
    } else if (c == '"') {
      out += "\\\"";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      return false;
    } else {
      out += c;
    }
  }
  return true;
}

}  // namespace

bool isIdName(const std::string& name) {
  if (name.size() <= 4 || name.compare(0, 4, "IDS_") != 0) return false;
  bool wordStart = true;
  for (size_t i = 4; i < name.size(); ++i) {
    const char c = name[i];
    if (c == '_') {
      if (wordStart) return false;
      wordStart = true;
    } else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      wordStart = false;
    } else {
      return false;
    }
  }
  return !wordStart;
}

bool parseStringsFile(std::istream& in, int column, unsigned long minId, unsigned long maxId,
                      std::map<uint32_t, std::string>& table, std::string& error,
                      std::map<std::string, uint32_t>* names) {
  // Names are checked for duplicates even when the caller does not want them.
  std::map<std::string, uint32_t> ownNames;
  if (!names) names = &ownNames;
  std::string line;
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(lineNo) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    auto parts = splitTabs(line);
    if (parts.size() != 3 && parts.size() != 4)
      return fail("expected id, Chinese and English text, and maybe a name");
    char* end = nullptr;
    unsigned long id = std::strtoul(parts[0].c_str(), &end, 10);
    if (parts[0].empty() || *end != '\0' || id > 0xFFFFFFFFul)
      return fail("bad id '" + parts[0] + "'");
    if (parts[1].empty() || parts[2].empty()) return fail("a text is missing");
    std::string lit;
    for (int col = 1; col <= 2; ++col)
      if (!toLiteral(parts[col], lit)) return fail("bad escape or control character");
    if (table.count(static_cast<uint32_t>(id))) return fail("duplicate id");
    if (parts.size() == 4) {
      if (!isIdName(parts[3])) return fail("bad name '" + parts[3] + "'");
      if (!names->emplace(parts[3], static_cast<uint32_t>(id)).second)
        return fail("duplicate name " + parts[3]);
    }
    if (id < minId || id > maxId) {
      table[static_cast<uint32_t>(id)];  // remembered for the duplicate check only
      continue;
    }
    toLiteral(parts[column], lit);
    table[static_cast<uint32_t>(id)] = lit;
  }
  return true;
}

}  // namespace strgen
