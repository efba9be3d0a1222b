// Every data file the program reads at start damaged between two runs (the device database,
// the saved previews, the recordings' list, the user database, the settings file): the start says so, the
// administrator logs in, the program runs on what could be read, and the damaged bytes are
// all still there after the run, in the file itself or in its copy aside.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "JourneyFixture.h"
#include "plat/text.h"
#include "shell/CppSQLite3.h"
#include "shell/DamagedFiles.h"
#include "shell/LocalSettings.h"
#include "shell/TarnwickDlg.h"
#include "shell/User.h"
#include "shell/UserStore.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kDamagedFile = 8990, kUserDatabaseStartedAnewCopyUnreadable = 8996;

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}
void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

class DamagedFilesAtStart : public JourneyTest {
 protected:
  fs::path File(const std::string& name) const { return fs::path(Home()) / name; }
  static std::string SettingsName() {
    const std::string path = CLocalSettings::SettingsFilePath();
    return path.substr(path.rfind('/') + 1);
  }
  // A notice of the text that names the file where it lies, in the program's folder.
  bool Noticed(unsigned id, const std::string& file) const {
    const std::u16string text = DamagedFileText(id, std::u16string(file.begin(), file.end()));
    const std::u16string where = plat::utf8ToUtf16(File(file).string());
    for (const auto& n : const_cast<DamagedFilesAtStart*>(this)->Ui().notices)
      if (n == text && n.find(where) != std::u16string::npos) return true;
    return false;
  }
  bool Boxed(unsigned id, const std::string& file) {
    const std::u16string text = DamagedFileText(id, std::u16string(file.begin(), file.end()));
    for (const auto& b : Ui().boxes)
      if (b.text == text) return true;
    return false;
  }
};

TEST_F(DamagedFilesAtStart, TheStartSaysSoLetsTheAdministratorInAndLosesNoByte) {
  // A first run leaves the files as the program writes them.
  RunProgram([&] { EXPECT_EQ(CUser::GetInstance()->GetName(), u"admin"); });
  const std::string users = ReadAll(File("UserInfo.db"));
  ASSERT_GT(users.size(), 1024u);
  ASSERT_TRUE(fs::exists(File(SettingsName())));

  // Damage between the runs: the user database's pages after the first overwritten, the other
  // databases not databases at all, the settings file with binary garbage among its keys.
  std::map<std::string, std::string> damaged;
  damaged["UserInfo.db"] = users.substr(0, 1024) + std::string(users.size() - 1024, '\x5A');
  damaged["Tarnwick.db"] = std::string(8192, '\xA5');
  damaged["preivew.db"] = "SQLite format 2\n" + std::string(3000, '\x01');
  damaged["record.db"] = "SQLite format 3" + std::string(5000, '\x3C');
  damaged[SettingsName()] = std::string("[]\r\nLangID=0\r\n") + std::string("\x00\x9F\xFF garbage \x07", 14) +
                            "\r\nCycleInterval=15\r\n";
  for (const auto& [name, bytes] : damaged) WriteAll(File(name), bytes);

  Ui().boxAnswers.push_back(IDOK);  // the box about the user database
  RunProgram([&] {
    // The user database was started anew before the login; the administrator got in.
    EXPECT_TRUE(Boxed(kUserDatabaseStartedAnewCopyUnreadable, "UserInfo.db"))
        << "a copy that cannot be read whole is said to perhaps hold passwords";
    EXPECT_EQ(CUser::GetInstance()->GetName(), u"admin");
    EXPECT_TRUE(CUser::GetInstance()->IsAdmin());
    for (const char* name : {"Tarnwick.db", "preivew.db", "record.db"}) EXPECT_TRUE(Noticed(kDamagedFile, name)) << name;
    EXPECT_TRUE(Noticed(kDamagedFile, SettingsName()));
    // What could be read of the settings is in use.
    EXPECT_EQ(CLocalSettings::GetInstance()->GetCycleInterval(), 15);
    Shot(Main(), "faults_damaged_files_started");
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
  for (const auto& [name, bytes] : damaged) {
    const fs::path bak = File(name + ".bak");
    EXPECT_TRUE(ReadAll(File(name)) == bytes || (fs::exists(bak) && ReadAll(bak) == bytes))
        << name << ": the damaged bytes are gone";
  }
  // Kept aside at once (the user database, the recordings' list) and at the login's save (the
  // settings).
  EXPECT_EQ(ReadAll(File("UserInfo.db.bak")), damaged["UserInfo.db"]);
  EXPECT_EQ(ReadAll(File("record.db.bak")), damaged["record.db"]);
  EXPECT_EQ(ReadAll(File(SettingsName() + ".bak")), damaged[SettingsName()]);
  {
    CppSQLite3DB db;
    db.Open((File("UserInfo.db")).u16string());
    EXPECT_EQ(CheckDatabaseHealth(db), DatabaseHealth::Whole);
    EXPECT_EQ(db.ExecuteScalar(u"select count(*) from Tb_UserInfo where Name = 'admin' and Identify = '0';"), 1);
  }

  // A third start is a quiet one again, with the settings the second run saved.
  const size_t boxes = Ui().boxes.size(), notices = Ui().notices.size();
  RunProgram([&] {
    EXPECT_EQ(Ui().boxes.size(), boxes);
    for (size_t i = notices; i < Ui().notices.size(); ++i)
      EXPECT_EQ(Ui().notices[i].find(u".bak"), std::u16string::npos);
    EXPECT_EQ(CLocalSettings::GetInstance()->GetCycleInterval(), 15);
  });
}

}  // namespace
