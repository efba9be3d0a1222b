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
#include "harness/DeviceWorkWait.h"
#include "shell/DbHelpers.h"
#include "shell/DlgAddUser.h"
#include "shell/DlgModifyPwd.h"
#include "shell/DlgUserLogin.h"
#include "shell/DlgUserMgr.h"
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
    OnModal<CDlgUserLogin>([=, this](CDlgUserLogin* dlg) {
      Type(Find<QComboBox>(dlg, CDlgUserLogin::IDC_USER), name);
      Type(Find<QLineEdit>(dlg, CDlgUserLogin::IDC_PASSWORD), password);
      ClickId(dlg, CDlgUserLogin::IDC_LOGIN);
    });
    ClickId(Main(), CTarnwickDlg::IDC_BtnSwitchUser);
  }
  // The unlock dialog that comes next is given a wrong password, refused, and cancelled.
  void UnlockWithWrongPassword(const QString& password) {
    OnModal<CDlgUserLogin>([=, this](CDlgUserLogin* dlg) {
      Type(Find<QLineEdit>(dlg, CDlgUserLogin::IDC_PASSWORD), password);
      ClickId(dlg, CDlgUserLogin::IDC_LOGIN);
      EXPECT_TRUE(dlg->isVisible()) << "a wrong password leaves the dialog up";
      ClickId(dlg, CDlgUserLogin::IDC_CANCEL);
    });
  }
};

TEST_P(Accounts, AnOrdinaryUserIsRefusedWhatRightsGuardAndTheLockWantsThePassword) {
  JourneyStartOptions options;
  options.english = GetParam();
  const QString suffix = options.english ? "_en" : "";
  ASSERT_TRUE(StartEmulators());
  RunProgram([&] {
    AddRegionCameraAndRecorder();
    if (HasFatalFailure()) return;

    // The administrator adds the user; an ordinary user is the dialog's own choice.
    CDlgSetttings* settings = Main()->GetSettingsDlg();
    ClickId(settings, CDlgSetttings::IDC_USERS);
    CDlgUserMgr* users = settings->UserManagerPage();
    ASSERT_TRUE(WaitUntil([&] { return users->isVisible(); }));
    OnModal<CDlgAddUser>([&](CDlgAddUser* dlg) {
      Type(Find<QLineEdit>(dlg, CDlgAddUser::IDC_NAME), kUserName);
      Type(Find<QLineEdit>(dlg, CDlgAddUser::IDC_PASSWORD), kUserPassword);
      Type(Find<QLineEdit>(dlg, CDlgAddUser::IDC_CONFIRM), kUserPassword);
      EXPECT_TRUE(Find<QRadioButton>(dlg, CDlgAddUser::IDC_USER)->isChecked());
      Shot(dlg, "journey_accounts_add_user" + suffix);
      ClickId(dlg, CDlgAddUser::IDC_OK);
    });
    ClickId(users, CDlgUserMgr::IDC_ADD);
    auto* list = Find<QTreeWidget>(users, CDlgUserMgr::IDC_LIST);
    ASSERT_TRUE(WaitUntil([&] { return FindItem(list, kUserName) != nullptr; }));
    EXPECT_EQ(FindItem(list, kUserName)->text(1), Text(8230)) << "listed as an ordinary user";
    std::u16string identity;
    int power = -1;
    ASSERT_TRUE(StoredAccount(QString(kUserName).toStdU16String(), identity, power));
    EXPECT_EQ(identity, Text(8230).toStdU16String());
    EXPECT_EQ(power, 0) << "a new ordinary user has no rights";
    Shot(Main(), "journey_accounts_users" + suffix);

    // Switch to it: the login dialog in its switch-user form.
    SwitchUser(kUserName, kUserPassword);
    ASSERT_EQ(CUser::GetInstance()->GetName(), QString(kUserName).toStdU16String());
    EXPECT_FALSE(CUser::GetInstance()->IsAdmin());
    EXPECT_EQ(Main()->CurrentPage(), Main()->GetPreviewDlg()) << "an ordinary user starts on the preview page";
    EXPECT_EQ(settings->CurrentPage(), settings->LocalSettingsPage()) << "the user manager it may not use is left";
    EXPECT_FALSE(users->isVisible());

    // Remote playback: refused, the page stays.
    OnMenu(Text(kRemotePlaybackEntry));
    ClickId(Main(), CTarnwickDlg::IDC_BtnPlayback);
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_REMOTE_PLAYBACK)) << Said();
    EXPECT_EQ(Main()->CurrentPage(), Main()->GetPreviewDlg());

    // Settings: the user manager is closed to it; the remote set-up of the recorder is
    // refused before anything reaches the recorder.
    CDlgDevMgr* devices = OpenDeviceManager();
    EXPECT_FALSE(Find(settings, CDlgSetttings::IDC_USERS)->isEnabled());
    RemoteSetupFromMenu(devices, kRecorderName);
    EXPECT_TRUE(WaitUntil([&] { return SaidNotice(IDS_NO_RIGHT_REMOTE_CONFIG); })) << Said();
    // Whatever the refusal had queued would have been answered, and so logged, by now.
    ASSERT_TRUE(harness::SettleDeviceWork());
    EXPECT_TRUE(recorder().LogLines("req ").empty()) << "nothing was sent to the recorder";

    // Live view needs no right: the camera's channel opens.
    ClickId(Main(), CTarnwickDlg::IDC_BtnPreview);
    CDlgPreview* preview = Main()->GetPreviewDlg();
    QTreeWidget* tree = preview->GetDeviceTree();
    QTreeWidgetItem* camItem = FindItem(tree, kCameraName);
    ASSERT_TRUE(camItem && camItem->childCount() > 0) << ItemTexts(tree).join(", ").toStdString();
    DoubleClickItem(tree, camItem->child(0));
    ASSERT_TRUE(WaitUntil([&] { return CPreviewManager::GetInstance()->GetCount() == 1; })) << Said();

    // PTZ, local recording and video adjustment: each refused with its words, nothing done.
    Click(Find<CPTZButton>(preview, kPtzUp));
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_PTZ)) << Said();
    ClickId(preview, CDlgPreview::ID_RECORD);
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_LOCAL_RECORD)) << Said();
    auto item = CPreviewManager::GetInstance()->FindByWindow(0);
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->IsRecording());
    ClickId(preview, CDlgPreview::ID_PANEL_VIDEO);
    auto* brightness = Find<QSlider>(preview, kBrightness);
    // The panel is greyed until the camera's values are read.
    ASSERT_TRUE(WaitUntil([&] { return brightness && brightness->isVisible() && brightness->isEnabled(); }));
    ClickThumb(brightness);
    Key(Qt::Key_Right);
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_VIDEO_ADJUST)) << Said();
    ContextMenu(tree, camItem, Text(kOpenTalkEntry));
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_VOICE_TALK)) << Said();
    // Switching user is refused while a channel plays.
    ClickId(Main(), CTarnwickDlg::IDC_BtnSwitchUser);
    EXPECT_TRUE(SaidNotice(kSwitchRefusedPreviews)) << Said();
    EXPECT_EQ(CUser::GetInstance()->GetName(), QString(kUserName).toStdU16String());
    Shot(Main(), "journey_accounts_refused" + suffix);
    ASSERT_TRUE(harness::SettleDeviceWork());  // a command sent would have been answered by now
    EXPECT_EQ(CameraMessages(kCameraPtzCommand), 0u) << "no PTZ command reached the camera";
    EXPECT_EQ(CameraMessages(kCameraPictureSet), 0u) << "no picture setting reached the camera";

    // The lock: a click asks for the user's password; a wrong one is refused and the program
    // stays locked; the right one unlocks; the click itself did not change the page.
    auto* lockButton = Find<CBitmapButtonEx>(Main(), CTarnwickDlg::IDC_BntLock);
    const QImage unlockedLook = lockButton->Image(CBitmapButtonEx::kNormal);
    ClickId(Main(), CTarnwickDlg::IDC_BntLock);
    ASSERT_TRUE(Main()->IsLocked());
    EXPECT_NE(lockButton->Image(CBitmapButtonEx::kNormal), unlockedLook) << "the button shows the lock";
    UnlockWithWrongPassword("wrong-pass");
    Click(Main()->PageButton(CTarnwickDlg::IDC_BtnSettings));
    ASSERT_TRUE(WaitUntil([&] { return SaidNotice(8222); })) << Said();
    ASSERT_TRUE(WaitUntil([&] { return Main()->IsLocked(); }));
    EXPECT_EQ(Main()->CurrentPage(), preview);

    OnModal<CDlgUserLogin>([&](CDlgUserLogin* dlg) {
      auto* name = Find<QComboBox>(dlg, CDlgUserLogin::IDC_USER);
      EXPECT_EQ(name->currentText(), kUserName) << "the unlock asks for the locked user's password";
      EXPECT_FALSE(name->isEnabled());
      Shot(dlg, "journey_accounts_unlock" + suffix);
      Type(Find<QLineEdit>(dlg, CDlgUserLogin::IDC_PASSWORD), "wrong-pass");
      ClickId(dlg, CDlgUserLogin::IDC_LOGIN);
      EXPECT_TRUE(dlg->isVisible()) << "a wrong password leaves the dialog up";
      Type(Find<QLineEdit>(dlg, CDlgUserLogin::IDC_PASSWORD), kUserPassword);
      ClickId(dlg, CDlgUserLogin::IDC_LOGIN);
    });
    Click(Main()->PageButton(CTarnwickDlg::IDC_BtnSettings));
    ASSERT_TRUE(WaitUntil([&] { return !Main()->IsLocked(); })) << Said();
    EXPECT_EQ(Main()->CurrentPage(), preview) << "the click that asked for the unlock had no other effect";
    EXPECT_EQ(lockButton->Image(CBitmapButtonEx::kNormal), unlockedLook) << "the button looks unlocked again";
    EXPECT_EQ(CUser::GetInstance()->GetName(), QString(kUserName).toStdU16String());
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    EXPECT_EQ(Main()->CurrentPage(), settings) << "unlocked, clicks work again";
    ClickId(Main(), CTarnwickDlg::IDC_BtnPreview);
    ClickId(preview, CDlgPreview::ID_STOP_ALL);
    ASSERT_TRUE(WaitUntil([&] { return CPreviewManager::GetInstance()->GetCount() == 0; }));

    // The administrator grants PTZ control on the rights tree; the user's PTZ then works.
    SwitchUser(QString::fromStdU16String(ADMIN_NAME), QString::fromStdU16String(ADMIN_PASSWORD));
    ASSERT_TRUE(CUser::GetInstance()->IsAdmin());
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    ClickId(settings, CDlgSetttings::IDC_USERS);
    ASSERT_TRUE(WaitUntil([&] { return users->isVisible(); }));
    SelectItem(list, FindItem(list, kUserName));
    auto* rights = Find<QTreeWidget>(users, CDlgUserMgr::IDC_RIGHTS);
    ASSERT_TRUE(rights && rights->isEnabled()) << "an ordinary user's rights can be edited";
    QTreeWidgetItem* ptzRight = FindItem(rights, Text(kPtzRightItem));
    ASSERT_NE(ptzRight, nullptr);
    EXPECT_EQ(ptzRight->checkState(0), Qt::Unchecked);
    SelectItem(rights, ptzRight);
    Key(Qt::Key_Space);
    EXPECT_EQ(ptzRight->checkState(0), Qt::Checked);
    ASSERT_TRUE(StoredAccount(QString(kUserName).toStdU16String(), identity, power));
    EXPECT_EQ(power, RIGHT_PTZ) << "the right is stored at once";
    Shot(Main(), "journey_accounts_rights" + suffix);

    SwitchUser(kUserName, kUserPassword);
    ASSERT_EQ(CUser::GetInstance()->GetName(), QString(kUserName).toStdU16String());
    const size_t noticesBefore = Ui().notices.size();
    DoubleClickItem(tree, FindItem(tree, kCameraName)->child(0));
    ASSERT_TRUE(WaitUntil([&] { return CPreviewManager::GetInstance()->GetCount() == 1; })) << Said();
    ClickId(preview, CDlgPreview::ID_PANEL_PTZ);
    Click(Find<CPTZButton>(preview, kPtzUp));
    EXPECT_TRUE(WaitUntil([&] { return CameraMessages(kCameraPtzCommand) >= 2; }))
        << "the press and the release of PTZ up reach the camera";
    ClickId(preview, CDlgPreview::ID_RECORD);
    EXPECT_TRUE(SaidNotice(IDS_NO_RIGHT_LOCAL_RECORD)) << "recording is still not granted";
    EXPECT_EQ(Ui().notices.size(), noticesBefore + 1) << Said();
    ClickId(preview, CDlgPreview::ID_STOP_ALL);

    // The user changes its own password: a wrong old one is refused and clears the fields.
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    OnModal<CDlgModifyPwd>([&](CDlgModifyPwd* dlg) {
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
    });
    ClickId(settings, CDlgSetttings::IDC_PASSWORD);
    EXPECT_TRUE(SaidNotice(kPasswordChanged)) << Said();
  }, options);

  // Started again, the start-up login offers the user last logged in and wants the new
  // password; the account and its one right are there.
  JourneyStartOptions asUser = options;
  asUser.loginAsAdmin = false;
  OnModal<CDlgUserLogin>([&](CDlgUserLogin* dlg) {
    EXPECT_EQ(Find<QComboBox>(dlg, CDlgUserLogin::IDC_USER)->currentText(), kUserName);
    Type(Find<QLineEdit>(dlg, CDlgUserLogin::IDC_PASSWORD), kUserPassword);
    ClickId(dlg, CDlgUserLogin::IDC_LOGIN);
    EXPECT_TRUE(dlg->isVisible()) << "the old password no longer logs in";
    Type(Find<QLineEdit>(dlg, CDlgUserLogin::IDC_PASSWORD), kNewPassword);
    ClickId(dlg, CDlgUserLogin::IDC_LOGIN);
  });
  RunProgram([&] {
    ASSERT_EQ(CUser::GetInstance()->GetName(), QString(kUserName).toStdU16String());
    EXPECT_TRUE(CUser::GetInstance()->HasRight(RIGHT_PTZ));
    EXPECT_FALSE(CUser::GetInstance()->HasRight(RIGHT_LOCAL_RECORD | RIGHT_REMOTE_PLAYBACK | RIGHT_REMOTE_CONFIG |
                                                RIGHT_VIDEO_ADJUST | RIGHT_VOICE_TALK));
    CDlgSetttings* settings = Main()->GetSettingsDlg();
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    EXPECT_FALSE(Find(settings, CDlgSetttings::IDC_USERS)->isEnabled());

    // The administrator deletes the account (after the question); it can log in no more.
    SwitchUser(QString::fromStdU16String(ADMIN_NAME), QString::fromStdU16String(ADMIN_PASSWORD));
    ASSERT_TRUE(CUser::GetInstance()->IsAdmin());
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    ClickId(settings, CDlgSetttings::IDC_USERS);
    CDlgUserMgr* users = settings->UserManagerPage();
    auto* list = Find<QTreeWidget>(users, CDlgUserMgr::IDC_LIST);
    SelectItem(list, FindItem(list, kUserName));
    Ui().boxAnswers.push_back(IDOK);
    ClickId(users, CDlgUserMgr::IDC_DELETE);
    ASSERT_FALSE(Ui().boxes.empty());
    EXPECT_EQ(Ui().boxes.back().text, Text(kConfirmDelete).toStdU16String());
    EXPECT_EQ(FindItem(list, kUserName), nullptr);
    std::u16string identity;
    int power = 0;
    EXPECT_FALSE(StoredAccount(QString(kUserName).toStdU16String(), identity, power));
    OnModal<CDlgUserLogin>([&](CDlgUserLogin* dlg) {
      EXPECT_EQ(Find<QComboBox>(dlg, CDlgUserLogin::IDC_USER)->findText(kUserName), -1)
          << "gone from the recent logins too";
      Type(Find<QComboBox>(dlg, CDlgUserLogin::IDC_USER), kUserName);
      Type(Find<QLineEdit>(dlg, CDlgUserLogin::IDC_PASSWORD), kNewPassword);
      ClickId(dlg, CDlgUserLogin::IDC_LOGIN);
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
