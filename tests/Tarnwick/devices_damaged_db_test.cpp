// A device database that cannot be read whole, or not opened at all: the user is told, and the
// first save keeps the damaged file's bytes aside instead of writing the loss over them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "devices/DevMgrModel.h"
#include "devices/DeviceManager.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "plat/text.h"
#include "shell/DamagedFiles.h"
#include "shell/DbHelpers.h"
#include "shell/Language.h"
#include "support/FakeDevices.h"
#include "support/TestFolder.h"
#include "view/PreviewManager.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}
void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

struct DamagedDb : ::testing::Test {
  fake::Families families;
  harness::ScopedScriptedUi ui;
  fs::path home, db, bak;
  void SetUp() override {
    home = testsupport::NewTestFolder();
    db = home / "Tarnwick.db";
    bak = home / "Tarnwick.db.bak";
    setenv("TARNWICK_HOME", home.c_str(), 1);
  }
  void TearDown() override {
    // No mark outlives the test: the copy aside now succeeds and clears it.
    fs::remove_all(bak);
    EXPECT_TRUE(KeepDamagedFileAside(u"Tarnwick.db"));
    harness::ResetServices();
    unsetenv("TARNWICK_HOME");
    fs::remove_all(home);
  }
  static CDeviceManager* Fresh() {
    harness::ResetServices();
    return CDeviceManager::GetInstance();
  }
  void SaveDevices(int n) {
    CDeviceManager* list = Fresh();
    for (int i = 0; i < n; ++i) {
      const std::u16string k = u"dev" + std::u16string(1, u'A' + i % 26) + std::u16string(1, u'a' + i / 26);
      list->Add(new CDevice(CDevInfo(k, u"10.0." + k, 8000, u"admin", u"pw", 4, u"", u"", u"", u"",
                                     0, 0, 2, u"G" + k, u"R")));
    }
    ASSERT_TRUE(list->Save());
  }
  // Loads, expects a notice, then saves: the damaged bytes must survive in the .bak file.
  void ExpectReportedAndKeptAside(const std::string& damaged, int atMost) {
    ui->notices.clear();
    CDeviceManager* list = Fresh();
    list->Load();
    EXPECT_LT(list->Count(), atMost + 1);
    ASSERT_EQ(ui->notices.size(), 1u);
    EXPECT_NE(ui->notices[0].find(u"Tarnwick.db"), std::u16string::npos);
    EXPECT_TRUE(IsFileMarkedDamaged(u"Tarnwick.db"));
    EXPECT_FALSE(fs::exists(bak));
    const int kept = list->Count();
    EXPECT_TRUE(list->Save());  // into the file, or a new one when it cannot take the table
    ASSERT_TRUE(fs::exists(bak));
    EXPECT_EQ(ReadAll(bak), damaged);
    EXPECT_FALSE(IsFileMarkedDamaged(u"Tarnwick.db"));
    // Only the first save after the load keeps a copy.
    list->Add(new CDevice(CDevInfo(u"later", u"9.9.9.9", 8000, u"", u"", 1, u"", u"", u"", u"",
                                   0, 0, 2, u"Glater", u"R")));
    ASSERT_TRUE(list->Save());
    EXPECT_EQ(ReadAll(bak), damaged);
    // What was saved reads back whole.
    list = Fresh();
    ASSERT_TRUE(list->Load());
    EXPECT_EQ(list->Count(), kept + 1);
    EXPECT_EQ(ui->notices.size(), 1u);
    fs::remove(bak);
  }
};

TEST_F(DamagedDb, HealthyAndMissingFilesLoadWithoutANotice) {
  EXPECT_TRUE(Fresh()->Load());  // no file yet
  SaveDevices(300);
  CDeviceManager* list = Fresh();
  ASSERT_TRUE(list->Load());
  EXPECT_EQ(list->Count(), 300);
  EXPECT_TRUE(ui->notices.empty());
  ASSERT_TRUE(list->Save());
  EXPECT_FALSE(fs::exists(bak));
}

TEST_F(DamagedDb, FlippedBitsTruncationAndAMissingColumnAreReportedAndKeptAside) {
  SaveDevices(300);
  const std::string good = ReadAll(db);
  ASSERT_GT(good.size(), 5u * 4096);

  // Bits flipped across a page in the middle of the device table.
  std::string flipped = good;
  for (size_t i = 3 * 4096; i < 4 * 4096; i += 7) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
  WriteAll(db, flipped);
  ExpectReportedAndKeptAside(flipped, 299);

  // Cut off in the middle.
  const std::string cut = good.substr(0, good.size() / 2);
  WriteAll(db, cut);
  ExpectReportedAndKeptAside(cut, 299);

  // A table that lacks a column.
  fs::remove(db);
  {
    CppSQLite3DB d;
    ASSERT_EQ(OpenDatabaseInProgramDir(d, u"Tarnwick.db"), 1);
    ASSERT_EQ(ExecuteSql(d, u"CREATE TABLE Tb_Device (Name, IP, Port, UserName, Pwd, ChnNum, "
                            u"MultiIP, Dns, SN, Manfacture, ManufactureID, AddrType, DevType, Guid)"),
              1);
    for (int i = 0; i < 5; ++i)
      ASSERT_EQ(ExecuteSql(d, u"insert into Tb_Device values(?, '1', 1, '', '', 4, '', '', '', '', "
                              u"0, 0, 2, 'g')",
                           {std::u16string(1, u'a' + i)}),
                1);
    d.Close();
  }
  ExpectReportedAndKeptAside(ReadAll(db), 0);
}

// The region and group tables share the file and the rule: one notice, one copy kept aside.
TEST_F(DamagedDb, ARegionTableWithoutItsColumnsIsReportedOnceAndKeptAside) {
  SaveDevices(3);
  {
    CppSQLite3DB d;
    ASSERT_EQ(OpenDatabaseInProgramDir(d, u"Tarnwick.db"), 1);
    ASSERT_EQ(ExecuteSql(d, u"CREATE TABLE Tb_Region (Name, Guid)"), 1);
    ASSERT_EQ(ExecuteSql(d, u"insert into Tb_Region values('Root', 'g1')"), 1);
    ASSERT_EQ(ExecuteSql(d, u"CREATE TABLE Tb_Group (Name)"), 1);
    d.Close();
  }
  const std::string before = ReadAll(db);
  CDevMgrModel m;
  m.LoadAll();
  ASSERT_EQ(ui->notices.size(), 1u);
  EXPECT_TRUE(m.SaveAll());
  EXPECT_EQ(ReadAll(bak), before);
  CDevMgrModel again;
  again.LoadAll();
  EXPECT_EQ(ui->notices.size(), 1u);  // what was saved reads back whole
}

TEST_F(DamagedDb, AFileThatCannotBeKeptAsideIsNotWritten) {
  SaveDevices(3);
  const std::string good = ReadAll(db);
  WriteAll(db, good.substr(0, 100));  // not even its first page
  CDeviceManager* list = Fresh();
  list->Load();
  ASSERT_EQ(ui->notices.size(), 1u);
  fs::create_directory(bak);  // the copy cannot take this name
  EXPECT_FALSE(list->Save());
  EXPECT_EQ(ReadAll(db), good.substr(0, 100));
  EXPECT_TRUE(IsFileMarkedDamaged(u"Tarnwick.db"));
}

// What stands where the device list or the saved previews should be cannot be read at all:
// a folder, or a file this user may not read (not for root, who may read any). The start says
// which file and why; what stands there is never written over: the first save moves it aside
// whole and writes the list into a new file.
TEST_F(DamagedDb, AFileThatCannotBeOpenedIsSaidAtTheLoadAndMovedAsideWholeAtTheSave) {
  std::vector<std::string> kinds{"folder"};
  if (geteuid() != 0) kinds.push_back("no permission");
  for (const std::u16string name : {u"Tarnwick.db", u"preivew.db"}) {
    for (const std::string& kind : kinds) {
      SCOPED_TRACE(plat::utf16ToUtf8(name) + ", " + kind);
      ui->notices.clear();
      const fs::path file = home / plat::utf16ToUtf8(name), kept = file.string() + ".bak";
      fs::remove_all(file);
      fs::remove_all(kept);
      const fs::path mine = kind == "folder" ? file / "mine.txt" : file;
      if (kind == "folder") fs::create_directories(file);
      WriteAll(mine, "the user's own");
      if (kind != "folder") fs::permissions(file, fs::perms::none);
      const bool devices = name == u"Tarnwick.db";

      CDeviceManager* list = Fresh();
      CPreviewManager* previews = CPreviewManager::GetInstance();
      EXPECT_FALSE(devices ? list->Load() : previews->LoadSession());
      ASSERT_EQ(ui->notices.size(), 1u);
      EXPECT_EQ(ui->notices[0], UnopenableFileText(8994, name, LoadResString(kind == "folder" ? 8997 : 8998)));
      EXPECT_TRUE(IsFileMarkedDamaged(name));

      list->Add(new CDevice(CDevInfo(u"new", u"9.9.9.9", 8000, u"", u"", 1, u"", u"", u"", u"", 0, 0, 2,
                                     u"Gnew", u"R")));
      ASSERT_TRUE(devices ? list->Save() : previews->SaveSession());
      const fs::path moved = kind == "folder" ? kept / "mine.txt" : kept;
      fs::permissions(moved, fs::perms::owner_read);
      EXPECT_EQ(ReadAll(moved), "the user's own") << "moved aside whole";
      EXPECT_FALSE(IsFileMarkedDamaged(name));
      if (devices) {
        list = Fresh();
        ASSERT_TRUE(list->Load());
        EXPECT_EQ(list->Count(), 1);
      } else {
        // Read through without a word: the saved previews never come back, whatever the file.
        EXPECT_FALSE(CPreviewManager::GetInstance()->LoadSession());
        EXPECT_FALSE(IsFileMarkedDamaged(name));
      }
      EXPECT_EQ(ui->notices.size(), 1u);
      harness::ResetServices();
    }
  }
}

}  // namespace
