// The strings file against the code: every string id the code uses must have a Chinese and
// an English text, the code names its ids only by the names the file gives, and the
// generated tables and header must answer exactly the file's texts and names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "plat/text.h"
#include "settings_fixture.h"
#include "shell/Language.h"
#include "strings_file.h"

namespace {

namespace fs = std::filesystem;

fs::path repoRoot() { return fs::path(TARNWICK_SOURCE_ROOT); }

struct Texts {
  std::string zh, en, name;
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
    std::string id, zh, en, name;
    std::getline(ss, id, '\t');
    std::getline(ss, zh, '\t');
    std::getline(ss, en, '\t');
    std::getline(ss, name, '\t');
    table[static_cast<uint32_t>(std::stoul(id))] = {unescape(zh), unescape(en), name};
  }
  return table;
}

std::map<std::string, uint32_t> namesOf(const std::map<uint32_t, Texts>& table) {
  std::map<std::string, uint32_t> names;
  for (const auto& [id, t] : table)
    if (!t.name.empty()) names[t.name] = id;
  return names;
}

std::string readFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// Calls fn(path, text) for every .cpp and .h below the folders of the repository.
template <class Fn>
void forEachSource(std::initializer_list<const char*> dirs, Fn fn) {
  for (const char* dir : dirs) {
    const fs::path top = repoRoot() / dir;
    if (!fs::exists(top)) continue;
    for (const auto& e : fs::recursive_directory_iterator(top)) {
      const auto ext = e.path().extension();
      if (e.is_regular_file() && (ext == ".cpp" || ext == ".h")) fn(e.path(), readFile(e.path()));
    }
  }
}

// Each match of `re` in `text`: its first matched group.
std::vector<std::string> matches(const std::string& text, const std::regex& re) {
  std::vector<std::string> out;
  for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) out.push_back((*it)[1].str());
  return out;
}

bool parses(const std::string& file, std::map<std::string, uint32_t>* names = nullptr,
            std::string* error = nullptr) {
  std::istringstream in(file);
  std::map<uint32_t, std::string> table;
  std::string why;
  const bool ok = strgen::parseStringsFile(in, 1, 8000, 9999, table, why, names);
  if (error) *error = why;
  return ok;
}

}  // namespace

TEST(Strings, EveryIdHasBothTexts) {
  auto table = readStringsFile();
  ASSERT_GT(table.size(), 300u);
  for (const auto& [id, t] : table) {
    EXPECT_FALSE(t.zh.empty()) << id;
    EXPECT_FALSE(t.en.empty()) << id;
    EXPECT_TRUE(plat::isValidUtf8(t.zh) && plat::isValidUtf8(t.en)) << id;
    // A name is for the program's code, which loads only the program's ids.
    if (!t.name.empty()) {
      EXPECT_TRUE(id >= 8000 && id <= 9999) << t.name << " names " << id;
    }
  }
  // Texts the users and rights rely on, exactly as shown.
  EXPECT_EQ(table[8160].zh, "管理员");
  EXPECT_EQ(table[8230].zh, "普通用户");
  EXPECT_EQ(table[8607].zh, "当前用户没有云台操作权限");
  EXPECT_EQ(table[8613].zh, "当前用户没有远程设置权限");
  EXPECT_EQ(table[8160].name, "IDS_IDENTITY_ADMIN");
  EXPECT_EQ(table[8613].name, "IDS_NO_RIGHT_REMOTE_CONFIG");
}

// The program names every id it uses; the tests may still check a text by its number.
TEST(Strings, TheCodeNamesItsIdsByTheFilesNames) {
  const auto table = readStringsFile();
  const auto names = namesOf(table);
  ASSERT_GT(names.size(), 300u);
  static const std::regex name(R"(\b(IDS_[A-Z0-9_]+)\b)");
  static const std::regex ownConstant(R"(\b(IDS_\w+\s*=\s*\d+))");
  static const std::regex literal(R"((?:LoadResString|\bText|\bNotice|TextWithPath)\s*\(\s*(\d+))");
  size_t uses = 0;
  forEachSource({"Tarnwick", "tests"}, [&](const fs::path& path, const std::string& text) {
    // This file writes names of its own to try the file's reader.
    if (path.filename() == "strings_test.cpp") return;
    for (const std::string& n : matches(text, name)) {
      ++uses;
      EXPECT_TRUE(names.count(n)) << path << " uses " << n << ", which the strings file does not give";
    }
    for (const std::string& d : matches(text, ownConstant))
      ADD_FAILURE() << path << " defines its own " << d << ": name the id in the strings file";
    if (path.string().find("/tests/") == std::string::npos)
      for (const std::string& id : matches(text, literal))
        ADD_FAILURE() << path << " loads string " << id << " by its number, not by its name";
  });
  EXPECT_GT(uses, names.size());
}

// The configuration library keeps its own numbers (its dialog tables' ids).
TEST(Strings, EveryLiteralIdOfTheConfigurationLibraryIsInTheFile) {
  const auto table = readStringsFile();
  static const std::regex literal(R"((?:LoadLangString|LoadResString|\bText)\s*\(\s*(\d+)\s*\))");
  size_t found = 0;
  forEachSource({"Pellmore"}, [&](const fs::path& path, const std::string& text) {
    for (const std::string& n : matches(text, literal)) {
      ++found;
      auto it = table.find(static_cast<uint32_t>(std::stoul(n)));
      EXPECT_TRUE(it != table.end() && !it->second.zh.empty() && !it->second.en.empty())
          << "string " << n << " used in " << path << " lacks a text";
    }
  });
  EXPECT_GT(found, 0u);
}

// The header the build generates holds every name of the file with its id, and nothing else.
TEST(Strings, TheGeneratedHeaderNamesTheFilesIds) {
  const auto names = namesOf(readStringsFile());
  const std::string header = readFile(TARNWICK_STRING_IDS);
  ASSERT_FALSE(header.empty()) << TARNWICK_STRING_IDS;
  static const std::regex constant(R"(inline constexpr uint32_t (IDS_\w+) = (\d+);)");
  std::map<std::string, uint32_t> generated;
  for (std::sregex_iterator it(header.begin(), header.end(), constant), end; it != end; ++it)
    generated[(*it)[1].str()] = static_cast<uint32_t>(std::stoul((*it)[2].str()));
  EXPECT_EQ(generated, names);
}

// The reader takes a name as an optional fourth column and refuses what could not be one.
TEST(Strings, TheFilesReaderTakesWellFormedUniqueNamesOnly) {
  std::map<std::string, uint32_t> names;
  ASSERT_TRUE(parses("8000\ta\tb\tIDS_FIRST\n8001\tc\td\n4001\te\tf\tIDS_OUT_OF_RANGE_2\n", &names));
  EXPECT_EQ(names, (std::map<std::string, uint32_t>{{"IDS_FIRST", 8000}, {"IDS_OUT_OF_RANGE_2", 4001}}));

  for (const char* bad :
       {"ids_lower", "IDS_", "IDS__TWO", "IDS_END_", "IDS_A-B", "IDS_A B", "NAME_X", "", "IDS_É"}) {
    std::string error;
    EXPECT_FALSE(parses(std::string("8000\ta\tb\n8001\tc\td\t") + bad + "\n", nullptr, &error)) << bad;
    EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
  }
  EXPECT_FALSE(parses("8000\ta\tb\tIDS_X\tmore\n")) << "a fifth column";
  // A name given twice fails, whether or not the caller asks for the names.
  std::string error;
  EXPECT_FALSE(parses("8000\ta\tb\tIDS_X\n8001\tc\td\tIDS_X\n", nullptr, &error));
  EXPECT_EQ(error, "line 2: duplicate name IDS_X");
  names.clear();
  EXPECT_FALSE(parses("4001\ta\tb\tIDS_X\n8001\tc\td\tIDS_X\n", &names));
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
