// The user database and the settings file damaged between two runs: the start tells the user,
// goes on with what can be read, lets the administrator in, and keeps the damaged bytes aside.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QTimer>
#include <filesystem>

#include "app_fixture.h"
#include "controls/TaskbarNotifier.h"
#include "harness/NotifierTicks.h"
#include "harness/UiHarness.h"
#include "plat/text.h"
#include "settings_fixture.h"
#include "shell/DamagedFiles.h"
#include "shell/DbHelpers.h"
#include "shell/PasswordHash.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/SettingsReload.h"
#include "shell/LoginController.h"
#include "shell/UserStore.h"
#include "view/RecordFileRing.h"
#include "view/SystemBridge.h"

namespace fs = std::filesystem;

namespace {

class DamagedStartFiles : public TempHomeTest {
 protected:
  void SetUp() override {
    TempHomeTest::SetUp();
    FreeLanguageLibrary();
    db_ = (home_ / "UserInfo.db").string();
    bak_ = db_ + ".bak";
  }
  void TearDown() override {
    // A mark left by a failed copy must not reach the next test.
    fs::remove_all(bak_);
    KeepDamagedFileAside(USER_DB_NAME);
    TempHomeTest::TearDown();
  }

  // What the program stores for a password: a hash (one for all accounts, made once).
  static const std::u16string& StoredHash() {
    static const std::u16string hash = HashPassword(u"userpass");
    return hash;
  }
  // The administrator and forty ordinary accounts of long names: the account table spans
  // several pages.
  void WriteAccounts() {
    fs::remove(db_);
    ASSERT_EQ(CreateUserDatabase(), 1);
    CppSQLite3DB db;
    ASSERT_EQ(OpenDatabaseInProgramDir(db, USER_DB_NAME), 1);
    ASSERT_EQ(RunInTransaction(db, [](CppSQLite3DB& d) {
      for (int i = 0; i < 40; ++i) {
        std::u16string identity = u"1";
        const std::u16string n =
            u"user" + std::u16string(1, u'A' + i % 26) + std::u16string(1, u'a' + i / 26) + std::u16string(200, u'n');
        if (!InsertUserRow(d, TB_USER_INFO, n, StoredHash(), identity)) return false;
      }
      return true;
    }), 1);
    db.Close();
    good_ = ReadFile(db_);
    ASSERT_GT(good_.size(), 4u * 4096);
  }

  // Starts the user store on `damaged`; the user is told once, the bytes are kept aside, the
  // administrator logs in, and the accounts read back number at least `atLeast`. A second
  // start neither tells nor touches anything.
  // The copy is its user's alone; one the program cannot read to its end may hold passwords
  // as typed, and the box says so (`readable`: the copy reads whole).
  void ExpectStartedAnew(const std::string& damaged, int atLeast, bool readable) {
    SCOPED_TRACE(damaged.size());
    harness::ScopedScriptedUi ui;
    WriteFile(db_, damaged);
    fs::permissions(db_, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    ASSERT_EQ(CreateUserDatabase(), 1);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, DamagedFileText(readable ? 8991 : 8996, USER_DB_NAME));
    EXPECT_NE(ui->boxes[0].text.find(u"UserInfo.db.bak"), std::u16string::npos);
    EXPECT_EQ(ReadFile(bak_), damaged);
    EXPECT_EQ(fs::status(bak_).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    CppSQLite3DB db;
    ASSERT_EQ(OpenDatabaseInProgramDir(db, USER_DB_NAME), 1);
    EXPECT_EQ(CheckDatabaseHealth(db), DatabaseHealth::Whole);
    std::u16string password, identity;
    ASSERT_EQ(SelectUserByName(db, TB_USER_INFO, ADMIN_NAME, password, identity), 1);
    EXPECT_EQ(MatchPassword(password, ADMIN_PASSWORD), PasswordMatch::Yes);
    EXPECT_EQ(identity, LoadResString(IDS_IDENTITY_ADMIN));
    EXPECT_GE(db.ExecuteScalar(u"select count(*) from Tb_UserInfo;"), atLeast);
    // Every account that came back is one that was stored, exactly.
    auto q = db.Query(u"select Name, Password from Tb_UserInfo where Name <> 'admin';");
    for (; !q.Eof(); q.NextRow()) {
      EXPECT_TRUE(std::u16string(q.FieldText(0)).ends_with(std::u16string(200, u'n')));
      EXPECT_EQ(std::u16string(q.FieldText(1)), StoredHash());
    }
    db.Close();

    const std::string rebuilt = ReadFile(db_);
    ASSERT_EQ(CreateUserDatabase(), 1);
    EXPECT_EQ(ReadFile(db_), rebuilt);
    EXPECT_EQ(ui->boxes.size(), 1u);
    EXPECT_FALSE(fs::exists(db_ + ".new"));
    fs::remove(bak_);
  }

  std::string db_, bak_, good_;
};

}  // namespace

TEST_F(DamagedStartFiles, ADamagedUserDatabaseIsKeptAsideAndStartsAgainWithWhatCanBeRead) {
  WriteAccounts();
  // Cut at a page boundary in the middle: the first pages' accounts come back.
  ExpectStartedAnew(good_.substr(0, good_.size() / 4096 / 2 * 4096), 1, false);
  WriteAccounts();
  ExpectStartedAnew(good_.substr(0, good_.size() / 2 + 1000), 1, false);  // and inside a page
  WriteAccounts();
  std::string flipped = good_;
  for (size_t i = 3 * 4096 + 100; i < 4 * 4096; i += 5) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
  ExpectStartedAnew(flipped, 1, false);
  WriteAccounts();
  std::string header = good_;  // the page size in the header made impossible
  header[16] = 0x01;
  header[17] = 0x03;
  ExpectStartedAnew(header, 1, false);
  ExpectStartedAnew("[users]\nadmin=804261\n", 1, false);  // not a database at all
  ExpectStartedAnew("", 1, true);  // nothing in it to hold a password
  ExpectStartedAnew(std::string(5000, '\xA5'), 1, false);
}

TEST_F(DamagedStartFiles, AUserDatabaseThatCannotBeKeptAsideIsNotWrittenAndTheUserIsToldWhy) {
  harness::ScopedScriptedUi ui;
  const std::string garbage(3000, '\x17');
  WriteFile(db_, garbage);
  fs::create_directories(bak_);  // the copy cannot take that name
  fs::create_directories(bak_ + "/x");
  EXPECT_EQ(CreateUserDatabase(), 0);
  EXPECT_EQ(ReadFile(db_), garbage);
  ASSERT_EQ(ui->boxes.size(), 1u);
  // The box names the file where it lies, so the user can find it.
  const std::u16string where(db_.begin(), db_.end());
  EXPECT_EQ(ui->boxes[0].text, LoadResString(8992).replace(LoadResString(8992).find(u"%s"), 2, where));
  EXPECT_NE(ui->boxes[0].type & MB_ICONERROR, 0u);
}

TEST_F(DamagedStartFiles, ADamagedSettingsFileGivesWhatCanBeReadAndIsKeptAsideAtTheSave) {
  harness::ScopedScriptedUi ui;
  const std::string path = CLocalSettings::SettingsFilePath();
  const std::string damaged = std::string("[]\r\nLangID=1\r\nCycleInterval=7\r\n") +
                              std::string("\x00\x01\xFF\xFE garbage\x80\x81", 14) +
                              "\r\nDownLoadPath=D:\\Dl\\\r\n";
  WriteFile(path, damaged);
  CLocalSettings s;
  EXPECT_TRUE(s.IsDamaged());
  EXPECT_EQ(s.GetLangID(), 1);
  EXPECT_EQ(s.GetCycleInterval(), 7);
  EXPECT_EQ(s.GetDownLoadPath(), u"D:\\Dl\\");
  // What the damage took keeps the built-in value, not the 0 or empty text of a missing key.
  EXPECT_EQ(s.GetPictureSavePath(), u"C:\\Capture\\");
  EXPECT_EQ(s.GetCircleVideo(), 1);
  EXPECT_TRUE(ui->notices.empty());
  ReloadSettingsTellingDamage(s);
  ASSERT_EQ(ui->notices.size(), 1u);
  const std::string name = path.substr(path.rfind('/') + 1);
  EXPECT_NE(ui->notices[0].find(plat::utf8ToUtf16(name) + u".bak"), std::u16string::npos);

  // A copy that cannot be made: the file is not written over.
  fs::create_directories(path + ".bak/x");
  EXPECT_EQ(s.Save(), 0);
  EXPECT_EQ(ReadFile(path), damaged);
  fs::remove_all(path + ".bak");
  ASSERT_EQ(s.Save(), 1);
  EXPECT_EQ(ReadFile(path + ".bak"), damaged);
  EXPECT_FALSE(s.IsDamaged());
  s.SetCycleInterval(9);
  ASSERT_EQ(s.Save(), 1);
  EXPECT_EQ(ReadFile(path + ".bak"), damaged);  // only the first save keeps a copy

  CLocalSettings again;
  EXPECT_FALSE(again.IsDamaged());
  EXPECT_EQ(again.GetCycleInterval(), 9);
  EXPECT_EQ(again.GetLangID(), 1);

  // Files a person may write by hand are not damage: blank, commented, GBK-encoded.
  for (const std::string& whole : {std::string(""), std::string("; mine\r\n\r\n[]\r\nLangID=0\r\n"),
                                   std::string("[]\r\nDownLoadPath=D:\\\xCF\xC2\xD4\xD8\\\r\n")}) {
    WriteFile(path, whole);
    CLocalSettings ok;
    EXPECT_FALSE(ok.IsDamaged()) << whole;
  }
  EXPECT_EQ(ui->notices.size(), 1u);
}

namespace {

// A settings file that cannot be read at all (a folder in its place; a file without read
// permission where the tests do not run as root) is damage like any other: it is told once,
// its values are left as they are, and the first save moves it aside whole before a new file
// takes its place.
TEST_F(DamagedStartFiles, AnUnreadableSettingsFileIsToldOnceKeptAsideAndNeverWrittenOver) {
  const std::string path = CLocalSettings::SettingsFilePath();
  std::vector<std::string> kinds{"folder"};
  if (geteuid() != 0) kinds.push_back("no permission");
  for (const std::string& kind : kinds) {
    SCOPED_TRACE(kind);
    harness::ScopedScriptedUi ui;
    const std::string mine = "[]\r\nCycleInterval=45\r\nDownLoadPath=D:\\Mine\\\r\n";
    fs::remove_all(path);
    fs::remove_all(path + ".bak");
    if (kind == "folder") {
      fs::create_directories(path);
      WriteFile(path + "/inside", mine);
    } else {
      WriteFile(path, mine);
      fs::permissions(path, fs::perms::none);
    }
    CLocalSettings s;
    EXPECT_TRUE(s.IsDamaged());
    EXPECT_EQ(s.GetCycleInterval(), CLocalSettings::DEFAULT_CYCLE_INTERVAL);
    ReloadSettingsTellingDamage(s);
    ASSERT_EQ(ui->notices.size(), 1u) << "told once";
    EXPECT_NE(ui->notices[0].find(u".bak"), std::u16string::npos);

    s.SetCycleInterval(9);
    ASSERT_EQ(s.Save(), 1);
    EXPECT_EQ(ui->notices.size(), 1u);
    if (kind == "folder") {
      EXPECT_EQ(ReadFile(path + ".bak/inside"), mine) << "kept aside whole";
    } else {
      fs::permissions(path + ".bak", fs::perms::owner_read);
      EXPECT_EQ(ReadFile(path + ".bak"), mine);
    }
    EXPECT_FALSE(s.IsDamaged());
    CLocalSettings again;
    EXPECT_FALSE(again.IsDamaged());
    EXPECT_EQ(again.GetCycleInterval(), 9);
  }
}

// A user database that cannot be opened (a folder in its place) is said to be so, at the
// start and at every login, not taken for a store without that user.
TEST_F(DamagedStartFiles, AUserDatabaseThatCannotBeOpenedIsSaidSoAtTheStartAndAtTheLogin) {
  harness::ScopedScriptedUi ui;
  fs::remove_all(db_);
  fs::create_directories(db_ + "/inside");
  // The text names the file where it really is on this machine.
  const std::u16string said = DamagedFileText(9104, u"UserInfo.db");
  EXPECT_EQ(CreateUserDatabase(), 0);
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_EQ(ui->boxes[0].text, said);
  EXPECT_NE(ui->boxes[0].type & MB_ICONERROR, 0u);
  EXPECT_TRUE(fs::is_directory(db_ + "/inside")) << "left as it is";

  CLoginController login;
  login.SetMode(CLoginController::kStartup);
  EXPECT_EQ(login.Login(ADMIN_NAME, ADMIN_PASSWORD, false), CLoginController::kUnknownUser);
  ASSERT_EQ(ui->notices.size(), 1u);
  EXPECT_EQ(ui->notices[0], said) << "not \"this user name does not exist\"";
  fs::remove_all(db_);
}

}  // namespace

namespace {

// Notices reach the operator through the program's notifier, as in the program; the test
// reads them there and in the order they were given.
class NotifierUi : public harness::ScriptedUi {
 public:
  void Notice(const std::u16string& text) override {
    ScriptedUi::Notice(text);
    CTaskbarNotifier::GetInstance()->Show(text, 500, 3000, 500);
  }
};

class StartNotices : public AppTest {
 protected:
  void TearDown() override {
    SetUiService(std::move(previous_));
    for (const char16_t* name : {u"Tarnwick.db", u"preivew.db"}) {
      std::error_code ec;
      fs::remove_all(ProgramDirPath(name) + u".bak", ec);
      KeepDamagedFileAside(name);  // no mark outlives the test
    }
    AppTest::TearDown();
  }
  NotifierUi* Install() {
    auto* ui = new NotifierUi;
    previous_ = SetUiService(std::unique_ptr<IUiService>(ui));
    return ui;
  }
  std::unique_ptr<IUiService> previous_;
};

}  // namespace

// The settings file and the saved previews damaged, a folder where the device list and the
// recordings' list stand: the first two are found before any window exists, the others while
// the main window builds its pages. Once it is up, the notifier shows every notice in turn, in
// the order given, each naming its file and, for what cannot be opened, why. What stands in
// the place of the device list is moved aside whole at the exit's save, that of the recordings'
// list is left as it is, and Record says why nothing records.
TEST_F(StartNotices, DamageFoundBeforeTheMainWindowIsShownInTurnOnceItIsUp) {
  NotifierUi* said = Install();
  const std::string settings = CLocalSettings::SettingsFilePath();
  WriteFile(settings, std::string("[]\r\nLangID=0\r\n") + std::string("\x00\x9F\xFF garbage\x07", 13));
  WriteFile((home_ / "preivew.db").string(), "SQLite format 2\n" + std::string(3000, '\x01'));
  fs::create_directories(home_ / "Tarnwick.db");
  WriteFile((home_ / "Tarnwick.db" / "mine.txt").string(), "the user's own");
  fs::create_directories(home_ / "record.db");
  WriteFile((home_ / "record.db" / "mine.txt").string(), "the user's own too");
  SetAutoLogin(ADMIN_NAME);
  ASSERT_TRUE(StartSystem());
  EXPECT_EQ(said->notices.size(), 2u) << "the settings and the previews, before any window";

  std::vector<std::u16string> shown;
  std::u16string recordSays;
  {
    CTarnwickDlg dlg;
    QTimer::singleShot(0, &dlg, [&] {
      harness::Pump();  // the window is up
      CTaskbarNotifier* n = CTaskbarNotifier::GetInstance();
      EXPECT_EQ(n->Owner(), dlg.GetPreviewDlg());
      for (int guard = 0; guard < 20 && n->TimerInterval(CTaskbarNotifier::kAppearTimer) >= 0; ++guard) {
        shown.push_back(n->Text().toStdU16String());
        harness::TickUntilStopped(*n, CTaskbarNotifier::kAppearTimer);
        n->OnTimer(CTaskbarNotifier::kStayTimer);
        harness::TickUntilStopped(*n, CTaskbarNotifier::kDisappearTimer);
      }
      CRecordFileRing* ring = CRecordFileRing::GetInstance();
      std::u16string name;
      EXPECT_FALSE(ring->NewRecordFile(1, u"cam", 1, name));
      EXPECT_EQ(ring->LastFailure(), CRecordFileRing::Failure::NoDatabase);
      recordSays = ring->DatabaseProblem();
      dlg.done(0);
    });
    EXPECT_EQ(DoModalWithin(dlg), 0);
  }

  ASSERT_EQ(said->notices.size(), 4u);
  EXPECT_EQ(shown, said->notices) << "every notice shown, in the order given";
  const std::string settingsName = settings.substr(settings.rfind('/') + 1);
  EXPECT_EQ(said->notices[0], DamagedFileText(8990, plat::utf8ToUtf16(settingsName)));
  EXPECT_EQ(said->notices[1], DamagedFileText(8990, u"preivew.db"));
  const std::u16string folder = LoadResString(8997);
  EXPECT_EQ(said->notices[2], UnopenableFileText(8994, u"Tarnwick.db", folder));
  EXPECT_EQ(said->notices[3], UnopenableFileText(8995, u"record.db", folder));
  EXPECT_EQ(recordSays, said->notices[3]) << "Record gives the reason the start gave";

  // Nothing that stood there was written over.
  EXPECT_EQ(ReadFile((home_ / "record.db" / "mine.txt").string()), "the user's own too");
  EXPECT_EQ(ReadFile((home_ / "Tarnwick.db.bak" / "mine.txt").string()), "the user's own");
  CppSQLite3DB db;
  ASSERT_EQ(OpenDatabaseInProgramDir(db, u"Tarnwick.db"), 1);
  EXPECT_TRUE(db.TableExists(u"Tb_Device")) << "the list saved at the exit, in a new file";
}
