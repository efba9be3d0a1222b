// Writes the databases refuse are told. While Tarnwick.db cannot be written (its journal
// cannot be made), a region added through the device tree is told as not stored yet and stays
// in the tree, as every change the device manager holds until its table's next write; once
// the file takes writes again, the next region added is stored with it. UserInfo.db refuses to let an account go
// or its rights change: the delete is refused with a notice and the account stays listed (and
// logs in at the next start), and the right ticked is unticked again.
#include <filesystem>

#include "DeviceSteps.h"
#include "shell/DbHelpers.h"
#include "shell/DlgUserLogin.h"
#include "shell/DlgUserMgr.h"
#include "shell/User.h"
#include "shell/UserStore.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kNewRegion = "东门";
constexpr const char* kNextRegion = "西门";
constexpr const char* kUserName = "值班员";
constexpr const char* kUserPassword = "duty2024";
constexpr unsigned kSaveDeferred = 9101, kSaveFailed = 8361, kDeleteFailed = 9103;
constexpr unsigned kPtzRightItem = 8600;

class RefusedWrites : public DevicesJourney {
 protected:
  // Adds a region under the region of the seeded devices, through the tree's menu.
  void AddRegionUnderTheRoot(QTreeWidget* tree, const char* name) {
    OnModal<CDlgAddRegion>([&](CDlgAddRegion* dlg) {
      Type(Find<QLineEdit>(dlg, CDlgAddRegion::IDC_NAME), name);
      ClickId(dlg, CNameEntryDialog::IDOK_BUTTON);
    });
    ContextMenu(tree, FindItem(tree, QString::fromStdU16String(JourneyTest::kRegion)), Text(kAddRegionEntry));
  }
  static int StoredRegions(const std::u16string& name) {
    CppSQLite3DB db;
    if (!OpenDatabaseInProgramDir(db, u"Tarnwick.db")) return -1;
    const int n = static_cast<int>(db.ExecuteScalar(u"select count(*) from Tb_Region where Name = ?;", {name}));
    CloseDatabase(db);
    return n;
  }
};

TEST_F(RefusedWrites, TheDeviceTreeAndTheUsersPageShowWhatIsStored) {
  ASSERT_TRUE(StartEmulators());
  SeedDevices();
  {
    // An ordinary account the database keeps, and whose rights it keeps as they are.
    ASSERT_EQ(CreateUserDatabase(), 1);
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, USER_DB_NAME));
    std::u16string identity = u"1";
    ASSERT_TRUE(InsertUserRow(db, TB_USER_INFO, QString(kUserName).toStdU16String(),
                              QString(kUserPassword).toStdU16String(), identity));
    db.Execute(u"CREATE TRIGGER keep_accounts BEFORE DELETE ON Tb_UserInfo BEGIN SELECT RAISE(ABORT, 'kept'); END;");
    db.Execute(u"CREATE TRIGGER keep_rights BEFORE UPDATE OF Power ON Tb_UserInfo BEGIN SELECT RAISE(ABORT, 'kept'); "
               u"END;");
    CloseDatabase(db);
  }
  RunProgram([&] {
    CDlgDevMgr* page = OpenDeviceManager();
    QTreeWidget* tree = DeviceTree(page);
    const fs::path journal = fs::path(Home()) / "Tarnwick.db-journal";
    fs::create_directory(journal);
    AddRegionUnderTheRoot(tree, kNewRegion);
    EXPECT_TRUE(SaidNotice(kSaveDeferred)) << Said();
    EXPECT_NE(FindItem(tree, kNewRegion), nullptr) << "the region added is gone";
    fs::remove(journal);
    EXPECT_EQ(StoredRegions(QString(kNewRegion).toStdU16String()), 0);
    AddRegionUnderTheRoot(tree, kNextRegion);
    EXPECT_TRUE(WaitUntil([&] { return FindItem(tree, kNextRegion) != nullptr; }));
    EXPECT_EQ(StoredRegions(QString(kNewRegion).toStdU16String()), 1);
    EXPECT_EQ(StoredRegions(QString(kNextRegion).toStdU16String()), 1);

    CDlgSetttings* settings = Main()->GetSettingsDlg();
    ClickId(settings, CDlgSetttings::IDC_USERS);
    CDlgUserMgr* users = settings->UserManagerPage();
    ASSERT_TRUE(WaitUntil([&] { return users->isVisible(); }));
    auto* list = Find<QTreeWidget>(users, CDlgUserMgr::IDC_LIST);
    ASSERT_NE(FindItem(list, kUserName), nullptr);
    SelectItem(list, FindItem(list, kUserName));
    auto* rights = Find<QTreeWidget>(users, CDlgUserMgr::IDC_RIGHTS);
    QTreeWidgetItem* ptz = FindItem(rights, Text(kPtzRightItem));
    ASSERT_NE(ptz, nullptr);
    ClickCheckBox(rights, ptz);
    EXPECT_TRUE(SaidNotice(kSaveFailed)) << Said();
    EXPECT_EQ(ptz->checkState(0), Qt::Unchecked) << "the tick shows what is stored";
    int power = -1;
    EXPECT_EQ(GetUserPower(TB_USER_INFO, QString(kUserName).toStdU16String(), power), 1);
    EXPECT_EQ(power, 0);

    Ui().boxAnswers.push_back(IDOK);
    ClickId(users, CDlgUserMgr::IDC_DELETE);
    EXPECT_TRUE(SaidNotice(kDeleteFailed)) << Said();
    EXPECT_NE(FindItem(list, kUserName), nullptr) << "the account is still there, and so is its row";
  });

  // The account still logs in.
  JourneyStartOptions start;
  start.loginAsAdmin = false;
  OnModal<CDlgUserLogin>([&](CDlgUserLogin* dlg) {
    Type(Find<QComboBox>(dlg, CDlgUserLogin::IDC_USER), kUserName);
    Type(Find<QLineEdit>(dlg, CDlgUserLogin::IDC_PASSWORD), kUserPassword);
    ClickId(dlg, CDlgUserLogin::IDC_LOGIN);
  });
  RunProgram([&] { EXPECT_EQ(CUser::GetInstance()->GetName(), QString(kUserName).toStdU16String()); }, start);
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace
