// Arbitrary bytes as the two text files the program reads: an ini (settings) file, read and
// then written back through the profile functions, and the strings file the build turns
// into the text tables and the header of the ids' names.
//
// Input: byte 0 chooses (even: ini, odd: strings file); the rest is the file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "plat/profile.h"
#include "plat/text.h"
#include "strings_file.h"

namespace {

const std::string& folder() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/fuzz_text_files_XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    return std::string(tmpl);
  }();
  return dir;
}

void ini(const uint8_t* data, size_t size) {
  const std::string path = folder() + "/fuzz.ini";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  char16_t buf[64];
  for (const char16_t* section : {u"", u"General", u"a"}) {
    for (const char16_t* key : {u"LangID", u"a", u"AllDisk"}) {
      const uint32_t n = plat::getPrivateProfileString(section, key, u"def", buf, 64, path);
      if (n >= 64 || buf[n] != 0) __builtin_trap();
      plat::getPrivateProfileInt(section, key, 7, path);
    }
  }
  // What is written is read back as written, whatever else the file holds.
  if (!plat::writePrivateProfileStrings(u"", {{u"LangID", u"9"}, {u"WndMode", u"x y"}}, path))
    return;
  if (plat::getPrivateProfileInt(u"", u"LangID", -1, path) != 9) __builtin_trap();
  plat::getPrivateProfileString(u"", u"WndMode", u"", buf, 64, path);
  if (std::u16string(buf) != u"x y") __builtin_trap();
  // A key given twice in the file loses its first line only.
  plat::deletePrivateProfileKey(u"", u"LangID", path);
}

void strings(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::map<uint32_t, std::string> table;
  std::map<std::string, uint32_t> names;
  std::string error;
  if (!strgen::parseStringsFile(in, 1 + size % 2, 0, 0xFFFFFFFFul, table, error, &names)) return;
  // Each name becomes a C++ constant: a well-formed name, one per id, of an id of the file.
  std::map<uint32_t, std::string> named;
  for (const auto& [name, id] : names) {
    if (!strgen::isIdName(name) || !table.count(id)) __builtin_trap();
    if (!named.emplace(id, name).second) __builtin_trap();
  }
  // Each text becomes the inside of a C literal: no raw quote, newline or control byte.
  for (const auto& [id, lit] : table) {
    for (size_t i = 0; i < lit.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(lit[i]);
      if (c < 0x20) __builtin_trap();
      if (c == '\\') {
        ++i;
        if (i >= lit.size()) __builtin_trap();
      } else if (c == '"') {
        __builtin_trap();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (256u << 10)) return 0;
  if (data[0] % 2 == 0)
    ini(data + 1, size - 1);
  else
    strings(data + 1, size - 1);
  return 0;
}
