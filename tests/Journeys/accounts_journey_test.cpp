// Accounts, in Chinese and in English. The administrator adds an ordinary user (no rights)
// through the user manager and switches to it. The new user watches the camera live, but
// every action a right guards is refused with the program's own words and does nothing:
// remote playback, the remote set-up of a device, PTZ, local recording, video adjustment,
// voice talk; the user manager is closed to it. Then the program is locked: a click asks for
// the password, a wrong one is refused, the right one unlocks, and the click that asked has no
// other effect. Last, the administrator grants PTZ control on the rights tree and the user's
// PTZ reaches the camera; the user changes its own password; started again, the program wants
// the new password and logs the user in with that one right; the administrator deletes the
// account, which then logs in no more.
#include <QRadioButton>
#include <QSlider>

#include "DeviceSteps.h"
#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "harness/DeviceWorkWait.h"
#include "shell/DbHelpers.h"
#include "shell/DlgAddUser.h"
#include "shell/DlgModifyPwd.h"
#include "shell/DlgUserLogin.h"
#include "shell/DlgUserMgr.h"
#include "shell/StringIds.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "shell/UserStore.h"
#include "view/DlgPreview.h"
#include "view/PTZButton.h"
#include "view/PreviewManager.h"

namespace {

constexpr const char* kUserName = "值班员";
constexpr const char* kUserPassword = "duty2024";
constexpr const char* kNewPassword = "night2025";
constexpr unsigned kPasswordChanged = 8338;       // "password changed"
constexpr unsigned kConfirmDelete = 8316;         // "delete?"
constexpr unsigned kUnknownUser = 8243;           // "this user name does not exist"

constexpr unsigned kRemotePlaybackEntry = 8140;   // the playback menu's "remote playback"
constexpr unsigned kSwitchRefusedPreviews = 8614;  // "a channel is previewing or recording"
constexpr unsigned kOpenTalkEntry = 8593;        // the device's "open voice talk"
constexpr unsigned kPtzRightItem = 8600;         // the rights tree's "PTZ control"
constexpr int kPtzUp = 1044;
constexpr int kBrightness = 1068;                 // the video panel's first slider
// Camera control messages (docs/protocols.md) a refused action must not send.
constexpr int kCameraPtzCommand = 0x0905, kCameraPictureSet = 0x0405;

class Accounts : public DevicesJourney, public ::testing::WithParamInterface<bool> {
 protected:
  QString Suffix() const { return GetParam() ? "_en" : ""; }
  static std::u16string LoggedIn() { return CUser::GetInstance()->GetName(); }
  static std::u16string TheUser() { return QString(kUserName).toStdU16String(); }
  CDlgSetttings* Settings() { return Main()->GetSettingsDlg(); }
  QTreeWidget* UserList() { return Find<QTreeWidget>(Settings()->UserManagerPage(), CDlgUserMgr::IDC_LIST); }

  // The account as stored: identity code and rights word.
  static bool StoredAccount(const std::u16string& name, std::u16string& identity, int& power) {
    std::u16string password;
    CppSQLite3DB db;
    if (!OpenDatabaseInProgramDir(db, USER_DB_NAME)) return false;
    identity.clear();
    const bool found = SelectUserByName(db, TB_USER_INFO, name, password, identity) == 1;
    CloseDatabase(db);
    return found && GetUserPower(TB_USER_INFO, name, power) == 1;
  }
  void SwitchUser(const QString& name, const QString& password) {
    OnModal<CDlgUserLogin>([=, this](CDlgUserLogin* dlg) { LogIn(dlg, password, name); });
    ClickId(Main(), CTarnwickDlg::IDC_BtnSwitchUser);
  }
  void SwitchToTheAdministrator() {
    SwitchUser(QString::fromStdU16String(ADMIN_NAME), QString::fromStdU16String(ADMIN_PASSWORD));
  }
  // The unlock dialog that comes next is given a wrong password, refused, and cancelled.
  void UnlockWithWrongPassword(const QString& password) {
    OnModal<CDlgUserLogin>([=, this](CDlgUserLogin* dlg) {
      LogIn(dlg, password);
      EXPECT_TRUE(dlg->isVisible()) << "a wrong password leaves the dialog up";
      ClickId(dlg, CDlgUserLogin::IDC_CANCEL);
    });
  }

  // On the settings page shown, the administrator adds the user through the user manager; an
  // ordinary user is the dialog's own choice, and is stored with no rights.
  void AddOrdinaryUser() {
    ClickId(Settings(), CDlgSetttings::IDC_USERS);
    CDlgUserMgr* users = Settings()->UserManagerPage();
    ASSERT_TRUE(WaitUntil([&] { return users->isVisible(); }));
    OnModal<CDlgAddUser>([&](CDlgAddUser* dlg) {
      Type(Find<QLineEdit>(dlg, CDlgAddUser::IDC_NAME), kUserName);
      Type(Find<QLineEdit>(dlg, CDlgAddUser::IDC_PASSWORD), kUserPassword);
      Type(Find<QLineEdit>(dlg, CDlgAddUser::IDC_CONFIRM), kUserPassword);
      EXPECT_TRUE(Find<QRadioButton>(dlg, CDlgAddUser::IDC_USER)->isChecked());
      Shot(dlg, "journey_accounts_add_user" + Suffix());
      ClickId(dlg, CDlgAddUser::IDC_OK);
    });
    ClickId(users, CDlgUserMgr::IDC_ADD);
    QTreeWidget* list = UserList();
    ASSERT_TRUE(WaitUntil([&] { return FindItem(list, kUserName) != nullptr; }));
    EXPECT_EQ(FindItem(list, kUserName)->text(1), Text(8230)) << "listed as an ordinary user";
    std::u16string identity;
    int power = -1;
    ASSERT_TRUE(StoredAccount(QString(kUserName).toStdU16String(), identity, power));
    EXPECT_EQ(identity, Text(8230).toStdU16String());
    EXPECT_EQ(power, 0) << "a new ordinary user has no rights";
    Shot(Main(), "journey_accounts_users" + Suffix());
  }

  // With the camera's channel playing in window 0: PTZ, local recording, video adjustment and
  // voice talk each refused with its words, nothing done; switching user is refused while a
  // channel plays.
  void RefusedWhileWatching() {
    CDlgPreview* preview = LivePage();
    Click(Find<CPTZButton>(preview, kPtzUp));
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_PTZ)) << Said();
    ClickId(preview, CDlgPreview::ID_RECORD);
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_LOCAL_RECORD)) << Said();
    auto item = CPreviewManager::GetInstance()->FindByWindow(0);
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->IsRecording());
    auto* brightness = ShowPanel<QSlider>(CDlgPreview::ID_PANEL_VIDEO, kBrightness);
    // The panel is greyed until the camera's values are read.
    ASSERT_TRUE(WaitUntil([&] { return brightness && brightness->isVisible() && brightness->isEnabled(); }));
    ClickThumb(brightness);
    Key(Qt::Key_Right);
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_VIDEO_ADJUST)) << Said();
    ContextMenu(preview->GetDeviceTree(), FindItem(preview->GetDeviceTree(), kCameraName), Text(kOpenTalkEntry));
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_VOICE_TALK)) << Said();
    ClickId(Main(), CTarnwickDlg::IDC_BtnSwitchUser);
    EXPECT_TRUE(SaidNotice(kSwitchRefusedPreviews)) << Said();
    EXPECT_EQ(LoggedIn(), TheUser());
    Shot(Main(), "journey_accounts_refused" + Suffix());
    ASSERT_TRUE(harness::SettleDeviceWork());  // a command sent would have been answered by now
    EXPECT_EQ(CameraMessages(kCameraPtzCommand), 0u) << "no PTZ command reached the camera";
    EXPECT_EQ(CameraMessages(kCameraPictureSet), 0u) << "no picture setting reached the camera";
  }

  // The lock: a click asks for the user's password; a wrong one is refused and the program
  // stays locked; the right one unlocks; the click itself did not change the page.
  void LockAndUnlock() {
    CDlgPreview* preview = LivePage();
    auto* lockButton = Find<CBitmapButtonEx>(Main(), CTarnwickDlg::IDC_BntLock);
    const QImage startLook = lockButton->Image(CBitmapButtonEx::kNormal);
    ClickId(Main(), CTarnwickDlg::IDC_BntLock);
    ASSERT_TRUE(Main()->IsLocked());
    const QImage lockedLook = lockButton->Image(CBitmapButtonEx::kNormal);
    EXPECT_NE(lockedLook, startLook) << "the button shows the lock";
    UnlockWithWrongPassword("wrong-pass");
    Click(Main()->PageButton(CTarnwickDlg::IDC_BtnSettings));
    ASSERT_TRUE(AwaitSaidNotice(8222)) << Said();
    ASSERT_TRUE(WaitUntil([&] { return Main()->IsLocked(); }));
    EXPECT_EQ(Main()->CurrentPage(), preview);

    OnModal<CDlgUserLogin>([&](CDlgUserLogin* dlg) {
      auto* name = Find<QComboBox>(dlg, CDlgUserLogin::IDC_USER);
      EXPECT_EQ(name->currentText(), kUserName) << "the unlock asks for the locked user's password";
      EXPECT_FALSE(name->isEnabled());
      Shot(dlg, "journey_accounts_unlock" + Suffix());
      LogIn(dlg, "wrong-pass");
      EXPECT_TRUE(dlg->isVisible()) << "a wrong password leaves the dialog up";
      LogIn(dlg, kUserPassword);
    });
    Click(Main()->PageButton(CTarnwickDlg::IDC_BtnSettings));
    ASSERT_TRUE(WaitUntil([&] { return !Main()->IsLocked(); })) << Said();
    EXPECT_EQ(Main()->CurrentPage(), preview) << "the click that asked for the unlock had no other effect";
    // Unlocked, the button's normal, hover and pressed images are 6885, 6883 and 6884.
    QImage unlocked[3];
    for (int i = 0; i < 3; ++i) LoadPngResource(&unlocked[i], CTarnwickDlg::kUnlockedImages[i]);
    EXPECT_EQ(lockButton->Image(CBitmapButtonEx::kNormal), unlocked[0]) << "the button looks unlocked again";
    EXPECT_EQ(lockButton->Image(CBitmapButtonEx::kHover), unlocked[1]);
    EXPECT_EQ(lockButton->Image(CBitmapButtonEx::kPressed), unlocked[2]);
    EXPECT_NE(unlocked[0], lockedLook);
    EXPECT_EQ(LoggedIn(), TheUser());
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    EXPECT_EQ(Main()->CurrentPage(), Settings()) << "unlocked, clicks work again";
  }

  // The administrator grants PTZ control on the rights tree; it is stored at once.
  void GrantPtz() {
    CDlgUserMgr* users = Settings()->UserManagerPage();
    ASSERT_TRUE(ShowSettingsPage(CDlgSetttings::IDC_USERS, users));
    SelectItem(UserList(), FindItem(UserList(), kUserName));
    auto* rights = Find<QTreeWidget>(users, CDlgUserMgr::IDC_RIGHTS);
    ASSERT_TRUE(rights && rights->isEnabled()) << "an ordinary user's rights can be edited";
    QTreeWidgetItem* ptzRight = FindItem(rights, Text(kPtzRightItem));
    ASSERT_NE(ptzRight, nullptr);
    EXPECT_EQ(ptzRight->checkState(0), Qt::Unchecked);
    SelectItem(rights, ptzRight);
    Key(Qt::Key_Space);  // the page takes every key of its tree: nothing is ticked
    EXPECT_EQ(ptzRight->checkState(0), Qt::Unchecked);
    ClickCheckBox(rights, ptzRight);
    EXPECT_EQ(ptzRight->checkState(0), Qt::Checked);
    std::u16string identity;
    int power = -1;
    ASSERT_TRUE(StoredAccount(QString(kUserName).toStdU16String(), identity, power));
    EXPECT_EQ(power, RIGHT_PTZ) << "the right is stored at once";
    Shot(Main(), "journey_accounts_rights" + Suffix());
  }

  // The camera's channel opened again: PTZ up reaches the camera, recording is still refused.
  void SteerWithTheRightGranted() {
    const size_t noticesBefore = Ui().notices.size();
    DoubleClickItem(LivePage()->GetDeviceTree(), ChannelItem(LivePage()->GetDeviceTree(), QString(kCameraName).toStdU16String(), 1));
    ASSERT_TRUE(WaitUntil([&] { return CPreviewManager::GetInstance()->GetCount() == 1; })) << Said();
    Click(ShowPanel<CPTZButton>(CDlgPreview::ID_PANEL_PTZ, kPtzUp));
    EXPECT_TRUE(WaitUntil([&] { return CameraMessages(kCameraPtzCommand) >= 2; }))
        << "the press and the release of PTZ up reach the camera";
    ClickId(LivePage(), CDlgPreview::ID_RECORD);
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_LOCAL_RECORD)) << "recording is still not granted";
    EXPECT_EQ(Ui().notices.size(), noticesBefore + 1) << Said();
    ClickId(LivePage(), CDlgPreview::ID_STOP_ALL);
  }

  // The user changes its own password: a wrong old one is refused and clears the fields.
  void ChangeOwnPassword(CDlgModifyPwd* dlg) {
    auto* old = Find<QLineEdit>(dlg, CDlgModifyPwd::IDC_OLD);
    auto* fresh = Find<QLineEdit>(dlg, CDlgModifyPwd::IDC_NEW);
    auto* confirm = Find<QLineEdit>(dlg, CDlgModifyPwd::IDC_CONFIRM);
    Type(old, "not-mine");
    Type(fresh, kNewPassword);
    Type(confirm, kNewPassword);
    const size_t said = Ui().notices.size();
    ClickId(dlg, CDlgModifyPwd::IDC_OK);
    ASSERT_EQ(Ui().notices.size(), said + 1) << Said();
    EXPECT_EQ(Ui().notices.back(), Text(8222).toStdU16String());
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(old->text().isEmpty() && fresh->text().isEmpty() && confirm->text().isEmpty());
    Type(old, kUserPassword);
    Type(fresh, kNewPassword);
    Type(confirm, kNewPassword);
    ClickId(dlg, CDlgModifyPwd::IDC_OK);
  }

  // The administrator deletes the account, after the question: it is gone from the list and
  // from the store.
  void DeleteTheAccount() {
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    ClickId(Settings(), CDlgSetttings::IDC_USERS);
    QTreeWidget* list = UserList();
    SelectItem(list, FindItem(list, kUserName));
    Ui().boxAnswers.push_back(IDOK);
    ClickId(Settings()->UserManagerPage(), CDlgUserMgr::IDC_DELETE);
    ASSERT_FALSE(Ui().boxes.empty());
    EXPECT_EQ(Ui().boxes.back().text, Text(kConfirmDelete).toStdU16String());
    EXPECT_EQ(FindItem(list, kUserName), nullptr);
    std::u16string identity;
    int power = 0;
    EXPECT_FALSE(StoredAccount(QString(kUserName).toStdU16String(), identity, power));
  }
};

TEST_P(Accounts, AnOrdinaryUserIsRefusedWhatRightsGuardAndTheLockWantsThePassword) {
  const JourneyStartOptions options{GetParam()};
  ASSERT_TRUE(StartEmulators());
  RunProgram([&] {
    AddRegionCameraAndRecorder();
    if (HasFatalFailure()) return;
    ASSERT_NO_FATAL_FAILURE(AddOrdinaryUser());

    // Switch to it: the login dialog in its switch-user form.
    SwitchUser(kUserName, kUserPassword);
    ASSERT_EQ(LoggedIn(), TheUser());
    EXPECT_FALSE(CUser::GetInstance()->IsAdmin());
    EXPECT_EQ(Main()->CurrentPage(), LivePage()) << "an ordinary user starts on the preview page";
    EXPECT_EQ(Settings()->CurrentPage(), Settings()->LocalSettingsPage()) << "the user manager it may not use is left";
    EXPECT_FALSE(Settings()->UserManagerPage()->isVisible());

    // Remote playback: refused, the page stays.
    OnMenu(Text(kRemotePlaybackEntry));
    ClickId(Main(), CTarnwickDlg::IDC_BtnPlayback);
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_REMOTE_PLAYBACK)) << Said();
    EXPECT_EQ(Main()->CurrentPage(), LivePage());

    // Settings: the user manager is closed to it; the remote set-up of the recorder is
    // refused before anything reaches the recorder.
    CDlgDevMgr* devices = OpenDeviceManager();
    EXPECT_FALSE(Find(Settings(), CDlgSetttings::IDC_USERS)->isEnabled());
    RemoteSetupFromMenu(devices, kRecorderName);
    EXPECT_TRUE(AwaitSaidNotice(IDS_NO_RIGHT_REMOTE_CONFIG)) << Said();
    // Whatever the refusal had queued would have been answered, and so logged, by now.
    ASSERT_TRUE(harness::SettleDeviceWork());
    EXPECT_TRUE(recorder().LogLines("req ").empty()) << "nothing was sent to the recorder";

    // Live view needs no right: the camera's channel opens; what rights guard is refused.
    ClickId(Main(), CTarnwickDlg::IDC_BtnPreview);
    ASSERT_TRUE(OpenChannel(0, kCameraName)) << ItemTexts(LivePage()->GetDeviceTree()).join(", ").toStdString();
    ASSERT_TRUE(WaitUntil([&] { return CPreviewManager::GetInstance()->GetCount() == 1; })) << Said();
    ASSERT_NO_FATAL_FAILURE(RefusedWhileWatching());
    ASSERT_NO_FATAL_FAILURE(LockAndUnlock());
    ClickId(Main(), CTarnwickDlg::IDC_BtnPreview);
    ClickId(LivePage(), CDlgPreview::ID_STOP_ALL);
    ASSERT_TRUE(WaitUntil([&] { return CPreviewManager::GetInstance()->GetCount() == 0; }));

    // Granted PTZ control by the administrator, the user steers the camera.
    SwitchToTheAdministrator();
    ASSERT_TRUE(CUser::GetInstance()->IsAdmin());
    ASSERT_NO_FATAL_FAILURE(GrantPtz());
    SwitchUser(kUserName, kUserPassword);
    ASSERT_EQ(LoggedIn(), TheUser());
    ASSERT_NO_FATAL_FAILURE(SteerWithTheRightGranted());

    // The user changes its own password.
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    OnModal<CDlgModifyPwd>([&](CDlgModifyPwd* dlg) { ChangeOwnPassword(dlg); });
    ClickId(Settings(), CDlgSetttings::IDC_PASSWORD);
    EXPECT_TRUE(SaidNotice(kPasswordChanged)) << Said();
  }, options);

  // Started again, the start-up login offers the user last logged in and wants the new
  // password; the account and its one right are there.
  JourneyStartOptions asUser = options;
  asUser.loginAsAdmin = false;
  OnModal<CDlgUserLogin>([&](CDlgUserLogin* dlg) {
    EXPECT_EQ(Find<QComboBox>(dlg, CDlgUserLogin::IDC_USER)->currentText(), kUserName);
    LogIn(dlg, kUserPassword);
    EXPECT_TRUE(dlg->isVisible()) << "the old password no longer logs in";
    LogIn(dlg, kNewPassword);
  });
  RunProgram([&] {
    ASSERT_EQ(LoggedIn(), TheUser());
    EXPECT_TRUE(CUser::GetInstance()->HasRight(RIGHT_PTZ));
    EXPECT_FALSE(CUser::GetInstance()->HasRight(RIGHT_LOCAL_RECORD | RIGHT_REMOTE_PLAYBACK | RIGHT_REMOTE_CONFIG |
                                                RIGHT_VIDEO_ADJUST | RIGHT_VOICE_TALK));
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    EXPECT_FALSE(Find(Settings(), CDlgSetttings::IDC_USERS)->isEnabled());

    // The administrator deletes the account; it can log in no more.
    SwitchToTheAdministrator();
    ASSERT_TRUE(CUser::GetInstance()->IsAdmin());
    ASSERT_NO_FATAL_FAILURE(DeleteTheAccount());
    OnModal<CDlgUserLogin>([&](CDlgUserLogin* dlg) {
      EXPECT_EQ(Find<QComboBox>(dlg, CDlgUserLogin::IDC_USER)->findText(kUserName), -1)
          << "gone from the recent logins too";
      LogIn(dlg, kNewPassword, kUserName);
      EXPECT_TRUE(dlg->isVisible()) << "a deleted account does not log in";
      EXPECT_EQ(Ui().notices.back(), Text(kUnknownUser).toStdU16String());
      ClickId(dlg, CDlgUserLogin::IDC_CANCEL);
    });
    ClickId(Main(), CTarnwickDlg::IDC_BtnSwitchUser);
    EXPECT_EQ(CUser::GetInstance()->GetName(), ADMIN_NAME) << "a cancelled switch keeps the user";
  }, asUser);
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

INSTANTIATE_TEST_SUITE_P(InBothLanguages, Accounts, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "English" : "Chinese"; });

}  // namespace
