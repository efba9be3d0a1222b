// The local settings page's save: every check before anything is stored, the folders made,
// vez.ini written and the recording ring configured; and the settings page switching its
// sub-pages by its buttons.
#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "controls/BitmapButtonEx.h"
#include "controls/CheckComboBox.h"
#include "harness/UiHarness.h"
#include "settings_fixture.h"
#include "shell/AppMessages.h"
#include "shell/DlgAddUser.h"
#include "shell/DlgModifyPwd.h"
#include "shell/DlgModifyUserInfor.h"
#include "shell/DlgSetttings.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "shell/UserStore.h"
#include "view/RecordFileRing.h"

namespace fs = std::filesystem;

namespace {

class LocalSettingsSave : public TempHomeTest {
 protected:
  void SetUp() override {
    TempHomeTest::SetUp();
    FreeLanguageLibrary();
    WriteSettings("[]\nCycleInterval=20\nFilePackSize=64\nCircleVideo=1\nAllDisk=0100000000\n"
                  "DownLoadPath=C:\\Down\\\nPictureSavePath=C:\\Pic\\\n");
    c.LoadFromSettings();
  }
  LocalSettingsController::Form Form() const {
    LocalSettingsController::Form f;
    f.downloadPath = u"C:\\Down\\";
    f.picturePath = u"C:\\Pic\\";
    f.diskChecks = {0, 1, 1};
    f.cycleIntervalText = u"30";
    f.circleVideo = 1;
    f.packSizeMB = 128;
    return f;
  }
  // A refused save leaves the settings in memory and the file as they were.
  void ExpectRefused(const LocalSettingsController::Form& f, uint32_t notice) {
    const std::string before = ReadFile(CLocalSettings::SettingsFilePath());
    EXPECT_EQ(c.Save(f).notice, notice);
    EXPECT_EQ(ReadFile(CLocalSettings::SettingsFilePath()), before);
    CLocalSettings* s = CLocalSettings::GetInstance();
    EXPECT_EQ(s->GetCycleInterval(), 20);
    EXPECT_EQ(s->GetFilePackSize(), 64);
    EXPECT_EQ(s->GetDownLoadPath(), u"C:\\Down\\");
    EXPECT_EQ(CRecordFileRing::GetInstance()->PackSize(), 64u << 20);
  }
  LocalSettingsController c;
};

TEST_F(LocalSettingsSave, LoadingGivesTheRingItsDisksLoopFlagAndPackSizeOnce) {
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  EXPECT_EQ(ring->Disks(), std::vector<std::u16string>{u"d:\\"});
  EXPECT_EQ(ring->IsCircular(), 1);
  EXPECT_EQ(ring->PackSize(), 64u << 20);
  c.LoadFromSettings();  // a reload does not list the disk twice
  EXPECT_EQ(ring->Disks().size(), 1u);
  // A pack size of 0 or less, as a settings file may hold, is read as it stands and never
  // given to the ring, which keeps the size it has.
  for (const char* size : {"0", "-1", "abc"}) {
    WriteSettings(std::string("[]\nFilePackSize=") + size + "\nAllDisk=0100000000\n");
    CLocalSettings::GetInstance()->Reload();
    c.LoadFromSettings();
    EXPECT_LE(CLocalSettings::GetInstance()->GetFilePackSize(), 0) << size;
    EXPECT_EQ(ring->PackSize(), 64u << 20) << size;
  }
}

TEST_F(LocalSettingsSave, EveryInputIsCheckedBeforeAnythingIsStored) {
  auto f = Form();
  f.cycleIntervalText = u"";
  f.downloadPath = u"C:\\NeverMade\\";
  ExpectRefused(f, 8599);
  EXPECT_FALSE(fs::exists(root_ / "c" / "NeverMade"));  // refused before folders are made
  for (const char16_t* interval : {u"4", u"501"}) {
    f = Form();
    f.cycleIntervalText = interval;
    ExpectRefused(f, 8599);
  }
  f = Form();
  f.downloadPath = u"C:\\MyRecordFile\\";
  ExpectRefused(f, 8527);
  for (const char16_t* root : {u"C:\\", u"D:", u"/", u"C:\\x\\..\\"}) {
    f = Form();
    f.downloadPath = root;
    ExpectRefused(f, 8530);
  }
  fs::create_directories(root_ / "c" / "locked");
  chmod((root_ / "c" / "locked").c_str(), 0555);
  f = Form();
  f.downloadPath = u"C:\\locked\\";
  ExpectRefused(f, 8529);
  f = Form();
  f.picturePath = u"";
  ExpectRefused(f, 8531);
  chmod((root_ / "c" / "locked").c_str(), 0755);
}

TEST_F(LocalSettingsSave, AnAcceptedSaveCreatesFoldersWritesTheFileAndConfiguresTheRing) {
  for (const char16_t* interval : {u"5", u"500"}) {
    auto f = Form();
    f.cycleIntervalText = interval;
    EXPECT_EQ(c.Save(f).notice, 8297u);
  }
  // Only the folders that end before a backslash are made: one typed without the final
  // backslash lacks its last folder, and is refused; with it, it is made whole.
  auto f = Form();
  f.downloadPath = u"D:\\new\\deep";
  EXPECT_EQ(c.Save(f).notice, 8529u);
  EXPECT_TRUE(fs::is_directory(root_ / "d" / "new"));
  EXPECT_FALSE(fs::exists(root_ / "d" / "new" / "deep"));
  f.downloadPath = u"D:\\new\\deep\\";
  f.picturePath = u"E:\\shots\\";
  EXPECT_EQ(c.Save(f).notice, 8297u);
  EXPECT_TRUE(fs::is_directory(root_ / "d" / "new" / "deep"));
  EXPECT_TRUE(fs::is_directory(root_ / "e" / "shots"));
  // A folder that is there, typed without the final backslash: stored with one (the
  // snapshot folder as typed).
  f.downloadPath = u"D:\\new\\deep";
  f.picturePath = u"E:\\shots";
  f.circleVideo = 0;
  f.packSizeMB = 256;
  LocalSettingsController::SaveResult r = c.Save(f);
  EXPECT_TRUE(r.saved);
  EXPECT_EQ(c.Current().downloadPath, u"D:\\new\\deep\\");
  CLocalSettings* s = CLocalSettings::GetInstance();
  s->Reload();  // what the next start reads
  EXPECT_EQ(s->GetDownLoadPath(), u"D:\\new\\deep\\");
  EXPECT_EQ(s->GetPictureSavePath(), u"E:\\shots");
  EXPECT_EQ(s->GetCycleInterval(), 30);
  EXPECT_EQ(s->GetFilePackSize(), 256);
  EXPECT_EQ(s->GetCircleVideo(), 0);
  EXPECT_EQ(s->GetDiskFlags()[2], 1);
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  EXPECT_EQ(ring->Disks(), (std::vector<std::u16string>{u"d:\\", u"e:\\"}));
  EXPECT_EQ(ring->IsCircular(), 0);
  EXPECT_EQ(ring->PackSize(), 256u * 1048576u);

  // No pack size selected keeps the stored one.
  f.packSizeMB = -1;
  EXPECT_EQ(c.Save(f).notice, 8297u);
  EXPECT_EQ(CLocalSettings::GetInstance()->GetFilePackSize(), 256);
  EXPECT_EQ(ring->PackSize(), 256u << 20);

  // The settings file refuses the write (a folder stands in its place): that is said, and the
  // values saved stay in use and reach the ring all the same.
  const std::string path = CLocalSettings::SettingsFilePath();
  fs::remove(path);
  fs::create_directory(path);
  f.packSizeMB = 64;
  f.cycleIntervalText = u"45";
  f.circleVideo = 1;
  r = c.Save(f);
  EXPECT_FALSE(r.saved);
  EXPECT_EQ(r.notice, 8361u);
  EXPECT_EQ(c.Current().cycleInterval, 45);
  EXPECT_EQ(s->GetCycleInterval(), 45);
  EXPECT_EQ(s->GetFilePackSize(), 64);
  EXPECT_EQ(ring->PackSize(), 64u << 20);
  EXPECT_EQ(ring->IsCircular(), 1);
  fs::remove(path);
}

class SettingsPage : public LocalSettingsSave {
 protected:
  void SetUp() override {
    LocalSettingsSave::SetUp();
    ASSERT_EQ(CreateUserDatabase(), 1);
    CUser::GetInstance()->SetName(u"admin");
    CUser::GetInstance()->SetIdentify(LoadResString(IDS_IDENTITY_ADMIN));
    CUser::GetInstance()->SetPower(RIGHTS_ALL);
  }
  // The page inside a shown host window, laid out at the host's size.
  static void Open(QWidget& host, CDlgSetttings& page, int width, int height) {
    host.resize(width, height);
    host.show();
    ASSERT_TRUE(page.Create(&host));
    page.setGeometry(0, 0, width, height);
    page.show();
  }
  template <class W>
  static W* Child(QWidget* parent, int id) {
    W* w = parent->findChild<W*>(QString::number(id));
    EXPECT_NE(w, nullptr) << "control " << id;
    return w;
  }
};

TEST_F(SettingsPage, ButtonsSwitchSubPagesAndTheLocalPageSavesThroughItsControls) {
  harness::ScopedScriptedUi ui;
  QWidget host;
  CDlgSetttings page;
  Open(host, page, 900, 420);
  EXPECT_EQ(page.CurrentPage(), page.DeviceManagerPage());
  EXPECT_FALSE(Child<QWidget>(&page, CDlgSetttings::IDC_REMOTE)->isVisible());
  // The button column stands at the right edge; the sub-pages fill the rest.
  auto* frame = Child<QWidget>(&page, CDlgSetttings::IDC_FRAME);
  EXPECT_EQ(frame->geometry().right(), 899);
  EXPECT_EQ(page.LocalSettingsPage()->geometry().right(), frame->x() - 2);
  EXPECT_GT(Child<QWidget>(&page, CDlgSetttings::IDC_LOCAL)->x(), frame->x());

  harness::Click(Child<QWidget>(&page, CDlgSetttings::IDC_LOCAL));
  CDlgLSettings* local = page.LocalSettingsPage();
  ASSERT_EQ(page.CurrentPage(), local);
  EXPECT_TRUE(local->isVisible());
  EXPECT_FALSE(page.DeviceManagerPage()->isVisible());
  auto* disks = Child<CCheckComboBox>(local, CDlgLSettings::IDC_DISKS);
  ASSERT_EQ(disks->count(), 3);
  EXPECT_EQ(disks->GetCheck(1), 1);
  auto* pack = Child<QComboBox>(local, CDlgLSettings::IDC_PACK_SIZE);
  EXPECT_EQ(pack->currentText(), "64M");
  EXPECT_TRUE(pack->isEnabled());

  // A refused save, then switching away and back drops the unsaved edit.
  auto* cycle = Child<QLineEdit>(local, CDlgLSettings::IDC_CYCLE);
  cycle->setText("4");
  harness::Click(Child<QWidget>(local, CDlgLSettings::IDC_SAVE));
  EXPECT_EQ(ui->notices.back(), LoadResString(8599));
  harness::Click(Child<QWidget>(&page, CDlgSetttings::IDC_USERS));
  harness::Click(Child<QWidget>(&page, CDlgSetttings::IDC_LOCAL));
  EXPECT_EQ(cycle->text(), "20");

  // A folder chosen with the picker, a disk ticked, then saved.
  fs::create_directories(root_ / "e" / "picked");
  ui->folders = {(root_ / "e" / "picked").string()};
  harness::Click(Child<QWidget>(local, CDlgLSettings::IDC_BROWSE_DOWNLOAD));
  EXPECT_EQ(Child<QLineEdit>(local, CDlgLSettings::IDC_DOWNLOAD)->text(), "E:\\picked");
  disks->SetCheck(2, true);
  pack->setCurrentIndex(pack->findText("128M"));
  cycle->setText("45");
  harness::Click(Child<QWidget>(local, CDlgLSettings::IDC_SAVE));
  EXPECT_EQ(ui->notices.back(), LoadResString(8297));
  EXPECT_EQ(Child<QLineEdit>(local, CDlgLSettings::IDC_DOWNLOAD)->text(), "E:\\picked\\");
  EXPECT_EQ(CLocalSettings::GetInstance()->GetCycleInterval(), 45);
  EXPECT_EQ(CRecordFileRing::GetInstance()->Disks().size(), 2u);
  EXPECT_EQ(CRecordFileRing::GetInstance()->PackSize(), 128u << 20);

  // An ordinary user without the remote-configuration right: refused, and no user management.
  CUser::GetInstance()->SetName(u"guest");
  CUser::GetInstance()->SetIdentify(LoadResString(IDS_IDENTITY_USER));
  CUser::GetInstance()->SetPower(RIGHT_PTZ);
  page.OnRemoteSettings();
  EXPECT_EQ(ui->notices.back(), LoadResString(IDS_NO_RIGHT_REMOTE_CONFIG));
  harness::Click(Child<QWidget>(&page, CDlgSetttings::IDC_USERS));
  page.RefreshRights();
  EXPECT_FALSE(Child<QWidget>(&page, CDlgSetttings::IDC_USERS)->isEnabled());
  EXPECT_FALSE(page.UserManagerPage()->isEnabled());
  EXPECT_EQ(SendWidgetMessage(&page, WM_RIGHTS_CHANGED, 0, 0), 0);
  EXPECT_EQ(page.CurrentPage(), local);
  CUser::GetInstance()->SetPower(RIGHT_REMOTE_CONFIG);
  size_t notices = ui->notices.size();
  page.OnRemoteSettings();
  EXPECT_EQ(ui->notices.size(), notices);
}

}  // namespace

namespace {

// The settings page with each sub-page, and the account dialogs, in both languages.
TEST_F(SettingsPage, Screenshots) {
  UserMgrController users;
  users.Add(u"guest", u"guestpw", LoadResString(IDS_IDENTITY_USER));
  SetUserPower(TB_USER_INFO, u"guest", RIGHT_PTZ | RIGHT_LOCAL_RECORD);
  for (bool english : {false, true}) {
    harness::ScopedLanguage language(english);
    const QString tag = english ? "_en" : "_zh";
    QWidget host;
    CDlgSetttings page;
    Open(host, page, 900, 440);
    harness::Pump();
    EXPECT_FALSE(harness::Grab(&page).isNull());
    harness::SaveScreenshot(&page, "settings_devices" + tag);
    page.SelectPage(page.LocalSettingsPage());
    harness::Pump();
    harness::SaveScreenshot(&page, "settings_local" + tag);
    page.SelectPage(page.UserManagerPage());
    page.UserManagerPage()->OnListClick(1);
    harness::Pump();
    harness::SaveScreenshot(&page, "settings_users" + tag);

    CDlgAddUser add;
    add.EnsureInitialized();
    add.show();
    harness::SaveScreenshot(&add, "dialog_adduser" + tag);
    CDlgModifyUserInfor modify;
    modify.SetName(u"guest");
    modify.SetIdentity(LoadResString(IDS_IDENTITY_USER));
    modify.EnsureInitialized();
    modify.show();
    harness::SaveScreenshot(&modify, "dialog_modifyuser" + tag);
    CDlgModifyPwd pwd;
    pwd.EnsureInitialized();
    pwd.show();
    harness::SaveScreenshot(&pwd, "dialog_modifypwd" + tag);
  }
}

}  // namespace
