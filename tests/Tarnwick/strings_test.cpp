// The strings file against the code: every string id the code uses must have a Chinese and
// an English text, and the generated tables must answer exactly the file's texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "plat/text.h"
#include "settings_fixture.h"
#include "shell/Language.h"

namespace {

namespace fs = std::filesystem;

fs::path repoRoot() { return fs::path(TARNWICK_SOURCE_ROOT); }

struct Texts {
  std::string zh, en;
};

std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      out += n == 'n' ? '\n' : n == 't' ? '\t' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::map<uint32_t, Texts> readStringsFile() {
  std::map<uint32_t, Texts> table;
  std::ifstream f(repoRoot() / "Tarnwick" / "res" / "strings.txt");
  std::string line;
  while (std::getline(f, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::stringstream ss(line);
    std::string id, zh, en;
    std::getline(ss, id, '\t');
    std::getline(ss, zh, '\t');
    std::getline(ss, en, '\t');
    table[static_cast<uint32_t>(std::stoul(id))] = {unescape(zh), unescape(en)};
  }
  return table;
}

// Ids the code names: literals handed to the loaders (Text is the program's loader for the
// widgets), and constants named IDS_*.
std::map<uint32_t, std::string> idsUsedInCode() {
  static const std::regex use(
      R"((?:LoadResString|LoadLangString|\bText)\s*\(\s*(\d+)\s*\)|\bIDS_\w+\s*=\s*(\d+))");
  std::map<uint32_t, std::string> used;
  for (const char* dir : {"Tarnwick", "Pellmore"}) {
    fs::path top = repoRoot() / dir;
    if (!fs::exists(top)) continue;
    for (const auto& e : fs::recursive_directory_iterator(top)) {
      auto ext = e.path().extension();
      if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
      std::ifstream f(e.path());
      std::stringstream ss;
      ss << f.rdbuf();
      std::string text = ss.str();
      for (std::sregex_iterator it(text.begin(), text.end(), use), end; it != end; ++it) {
        std::string n = (*it)[1].matched ? (*it)[1].str() : (*it)[2].str();
        used.emplace(static_cast<uint32_t>(std::stoul(n)), e.path().string());
      }
    }
  }
  return used;
}

}  // namespace

TEST(Strings, EveryIdHasBothTexts) {
  auto table = readStringsFile();
  ASSERT_GT(table.size(), 300u);
  for (const auto& [id, t] : table) {
    EXPECT_FALSE(t.zh.empty()) << id;
    EXPECT_FALSE(t.en.empty()) << id;
    EXPECT_TRUE(plat::isValidUtf8(t.zh) && plat::isValidUtf8(t.en)) << id;
  }
  // Texts the users and rights rely on, exactly as shown.
  EXPECT_EQ(table[8160].zh, "管理员");
  EXPECT_EQ(table[8230].zh, "普通用户");
  EXPECT_EQ(table[8607].zh, "当前用户没有云台操作权限");
  EXPECT_EQ(table[8613].zh, "当前用户没有远程设置权限");
}

TEST(Strings, EveryIdUsedInCodeIsInTheFile) {
  auto table = readStringsFile();
  auto used = idsUsedInCode();
  EXPECT_FALSE(used.empty());
  for (const auto& [id, file] : used) {
    auto it = table.find(id);
    EXPECT_TRUE(it != table.end() && !it->second.zh.empty() && !it->second.en.empty())
        << "string " << id << " used in " << file << " lacks a text";
  }
}

using StringTables = TempHomeTest;

TEST_F(StringTables, GeneratedTablesAnswerTheFilesTexts) {
  auto table = readStringsFile();
  SetSystemLangIdProvider(nullptr);
  CLocalSettings::GetInstance()->SetLangID(0);
  FreeLanguageLibrary();
  SelectLanguage();
  for (const auto& [id, t] : table)
    if (id >= 8000) {
      EXPECT_EQ(plat::utf16ToUtf8(LoadResString(id)), t.zh) << id;
    }
  CLocalSettings::GetInstance()->SetLangID(1);
  SelectLanguage();
  for (const auto& [id, t] : table)
    if (id >= 8000) {
      EXPECT_EQ(plat::utf16ToUtf8(LoadResString(id)), t.en) << id;
    }
  FreeLanguageLibrary();
}
