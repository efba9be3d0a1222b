// The main window run as the program runs it: start-up login, pages, the playback choice,
// busy pages, switch user, the lock and the close confirmation.
#include <QComboBox>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include "app_fixture.h"
#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "controls/SplashScreenEx.h"
#include "controls/TaskbarNotifier.h"
#include "devices/DeviceManager.h"
#include "harness/Services.h"
#include "shell/AppMessages.h"
#include "shell/StringIds.h"
#include "shell/DlgLSettings.h"
#include "shell/DlgSetttings.h"

namespace {

class MainWindow : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    AddUser(u"ann", u"annpass", false, 1 | 2);
    AddUser(u"bob", u"bobpass", false, 4);
  }
  // Logs in `name` as the start-up login dialog would have.
  void LogInAs(const std::u16string& name) {
    SetAutoLogin(name);
  }
  static CBitmapButtonEx* Button(QWidget& w, int id) {
    return w.findChild<CBitmapButtonEx*>(QString::number(id));
  }
};

TEST_F(MainWindow, CancelledStartupLoginEndsWithoutPages) {
  CTarnwickDlg dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(loginModes, std::vector<int>{0});
  EXPECT_FALSE(dlg.GetPreviewDlg()->HasWindow());
  EXPECT_EQ(CTarnwickDlg::MainWindow(), nullptr);
}

TEST_F(MainWindow, AutomaticLoginPagesAndCloseConfirmation) {
  LogInAs(u"ann");
  CTarnwickDlg dlg;
  int result = -1;
  QTimer::singleShot(0, &dlg, [&] {
    EXPECT_TRUE(loginModes.empty()) << "no login dialog with an automatic user";
    EXPECT_EQ(CUser::GetInstance()->GetName(), u"ann");
    EXPECT_EQ(CTarnwickDlg::MainWindow(), &dlg);
    EXPECT_NE(dlg.GetPreviewHwnd(), 0);
    EXPECT_EQ(dlg.CurrentPage(), dlg.GetPreviewDlg());
    EXPECT_TRUE(dlg.GetPreviewDlg()->isVisible());
    EXPECT_EQ(CTaskbarNotifier::GetInstance()->Owner(), dlg.GetPreviewDlg()) << "notices have a window";
    // The splash shown while the pages were built is on its way out once they are.
    auto* splash = dlg.findChild<CSplashScreenEx*>();
    EXPECT_TRUE(!splash || splash->IsHiding());
    EXPECT_EQ(dlg.GetSettingsDlg()->RegisteredDeviceTrees().size(), 3u);
    EXPECT_EQ(dlg.GetSettingsDlg()->RegisteredGroupTrees().size(), 1u);
    // The pages fill the area below the title strip.
    EXPECT_EQ(dlg.GetPreviewDlg()->geometry(), dlg.GetPreviewDlg()->PaneRect2());
    EXPECT_EQ(dlg.GetPreviewDlg()->geometry().bottom(), dlg.rect().bottom());
    EXPECT_GT(dlg.GetPreviewDlg()->y(), 0);

    // Esc and Enter never close it; the close button asks, Cancel keeps it.
    harness::KeyPress(&dlg, Qt::Key_Escape);
    harness::KeyPress(&dlg, Qt::Key_Return);
    dlg.reject();
    ui->boxAnswers = {IDCANCEL};
    harness::Click(Button(dlg, CTarnwickDlg::IDC_BntClose));
    harness::Pump();
    EXPECT_TRUE(dlg.isVisible());
    ui->boxAnswers = {IDOK};
    harness::Click(Button(dlg, CTarnwickDlg::IDC_BntClose));
  });
  result = DoModalWithin(dlg);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(ui->boxes.size(), 2u);
  EXPECT_EQ(ui->boxes[0].text, LoadResString(8524));
  EXPECT_EQ(ui->boxes[0].caption, LoadResString(8354));
  EXPECT_EQ(ui->boxes[0].type, MB_OKCANCEL | MB_ICONWARNING);
}

TEST_F(MainWindow, PlaybackChoiceRightsAndBusyPages) {
  LogInAs(u"ann");
  CTarnwickDlg dlg;
  ASSERT_TRUE(dlg.OnInitDialog());
  dlg.show();
  CStateButton* playback = dlg.PageButton(CTarnwickDlg::IDC_BtnPlayback);

  dlg.OnCommand(CTarnwickDlg::ID_REMOTE_PLAYBACK);
  EXPECT_EQ(ui->notices, std::vector<std::u16string>{LoadResString(8609)});
  EXPECT_EQ(dlg.CurrentPage(), dlg.GetPreviewDlg());
  EXPECT_EQ(playback->GetState(), 0);

  dlg.OnCommand(CTarnwickDlg::ID_LOCAL_PLAYBACK);
  EXPECT_EQ(dlg.CurrentPage(), dlg.GetLPlaybackDlg());
  EXPECT_EQ(playback->GetState(), 1);
  dlg.GetLPlaybackDlg()->SetPlaying(true);
  harness::Click(dlg.PageButton(CTarnwickDlg::IDC_BtnSettings));
  EXPECT_EQ(dlg.CurrentPage(), dlg.GetLPlaybackDlg()) << "a playing page is not left";
  EXPECT_EQ(ui->notices.back(), LoadResString(8236));
  EXPECT_EQ(dlg.PageButton(CTarnwickDlg::IDC_BtnSettings)->GetState(), 0) << "the lit tab is the page shown";
  EXPECT_EQ(playback->GetState(), 1);
  dlg.GetLPlaybackDlg()->SetPlaying(false);
  harness::Click(dlg.PageButton(CTarnwickDlg::IDC_BtnSettings));
  EXPECT_EQ(dlg.CurrentPage(), dlg.GetSettingsDlg());
  EXPECT_FALSE(dlg.GetLPlaybackDlg()->isVisible());

  CUser::GetInstance()->SetPower(4);
  dlg.OnCommand(CTarnwickDlg::ID_REMOTE_PLAYBACK);
  EXPECT_EQ(dlg.CurrentPage(), dlg.GetPlaybackDlg());
  dlg.GetPlaybackDlg()->SetBusy(true);
  harness::Click(dlg.PageButton(CTarnwickDlg::IDC_BtnPreview));
  EXPECT_EQ(dlg.CurrentPage(), dlg.GetPlaybackDlg());
  EXPECT_EQ(ui->notices.back(), LoadResString(8235));
  EXPECT_EQ(dlg.PageButton(CTarnwickDlg::IDC_BtnPreview)->GetState(), 0);
  EXPECT_EQ(playback->GetState(), 1);
  dlg.GetPlaybackDlg()->SetBusy(false);
}

TEST_F(MainWindow, SwitchUserRefusalsInOrderThenTheDialog) {
  LogInAs(u"admin");
  CTarnwickDlg dlg;
  ASSERT_TRUE(dlg.OnInitDialog());
  dlg.show();
  // An open preview (a play window that plays or records).
  auto item = std::make_shared<CPreviewItem>(0, 1, 0, u"{dev}");
  ASSERT_TRUE(CPreviewManager::GetInstance()->Add(item));
  dlg.GetPlaybackDlg()->SetBusy(true);
  dlg.GetLPlaybackDlg()->SetPlaying(true);
  Button(dlg, CTarnwickDlg::IDC_BtnSwitchUser)->click();
  CPreviewManager::GetInstance()->Remove(item);
  SendWidgetMessage(&dlg, WM_SWITCH_USER, 0, 0);
  dlg.GetPlaybackDlg()->SetBusy(false);
  dlg.OnSwitchUser();
  dlg.GetLPlaybackDlg()->SetPlaying(false);
  EXPECT_EQ(ui->notices, (std::vector<std::u16string>{LoadResString(8614), LoadResString(8615), LoadResString(8616)}));
  EXPECT_TRUE(loginModes.empty());

  dlg.OnCommand(CTarnwickDlg::IDC_BtnSettings);
  ASSERT_EQ(dlg.CurrentPage(), dlg.GetSettingsDlg());
  loginAnswers = {IDCANCEL};
  dlg.OnSwitchUser();
  EXPECT_EQ(loginModes, std::vector<int>{1});
  EXPECT_EQ(dlg.CurrentPage(), dlg.GetSettingsDlg()) << "cancel changes nothing";

  // The dialog made an ordinary user current: back to the preview page.
  CTarnwickDlg::SetLoginRunner([](int) {
    CUser::GetInstance()->SetName(u"ann");
    CUser::GetInstance()->SetIdentify(LoadResString(IDS_IDENTITY_USER));
    return IDOK;
  });
  dlg.OnSwitchUser();
  EXPECT_EQ(dlg.CurrentPage(), dlg.GetPreviewDlg());
  EXPECT_EQ(dlg.PageButton(CTarnwickDlg::IDC_BtnPreview)->GetState(), 1);
}

TEST_F(MainWindow, LockSwallowsClicksAndKeysUntilUnlocked) {
  LogInAs(u"ann");
  CTarnwickDlg dlg;
  ASSERT_TRUE(dlg.OnInitDialog());
  dlg.show();
  int settingsClicks = 0;
  QObject::connect(dlg.PageButton(CTarnwickDlg::IDC_BtnSettings), &QAbstractButton::clicked,
                   [&] { ++settingsClicks; });

  // The lock button's images: 6883, 6884, 6885 at the start; 6884 alone while locked; 6885,
  // 6883, 6884 once unlocked.
  CBitmapButtonEx* lock = Button(dlg, CTarnwickDlg::IDC_BntLock);
  auto shows = [lock](std::initializer_list<int> ids) {
    int i = 0;
    for (int id : ids) {
      QImage img;
      LoadPngResource(&img, id);
      if (lock->Image(i++) != img) return false;
    }
    for (; i < 3; ++i)
      if (!lock->Image(i).isNull()) return false;
    return true;
  };
  EXPECT_TRUE(shows({6883, 6884, 6885}));
  SendWidgetMessage(&dlg, WM_LOCK_PROGRAM, 0, 0);
  EXPECT_TRUE(dlg.IsLocked());
  EXPECT_TRUE(LockHookInstalled());
  EXPECT_TRUE(shows({6884}));

  loginAnswers = {IDCANCEL};
  harness::Click(dlg.PageButton(CTarnwickDlg::IDC_BtnSettings));
  harness::Pump();
  EXPECT_EQ(settingsClicks, 0) << "the click itself has no effect";
  EXPECT_EQ(dlg.CurrentPage(), dlg.GetPreviewDlg());
  EXPECT_EQ(loginModes, std::vector<int>{2});
  EXPECT_TRUE(dlg.IsLocked()) << "Cancel keeps the lock";

  loginAnswers = {IDCANCEL};
  harness::KeyPress(dlg.GetPreviewDlg()->GetDeviceTree(), Qt::Key_Down);
  harness::Pump();
  EXPECT_EQ(loginModes, (std::vector<int>{2, 2})) << "a key asks for the unlock as well";

  loginAnswers = {IDOK};
  harness::Click(dlg.PageButton(CTarnwickDlg::IDC_BtnSettings));
  harness::Pump();
  EXPECT_FALSE(dlg.IsLocked());
  EXPECT_FALSE(LockHookInstalled());
  EXPECT_TRUE(shows({6885, 6883, 6884}));
  EXPECT_EQ(settingsClicks, 0);
  harness::Click(dlg.PageButton(CTarnwickDlg::IDC_BtnSettings));
  EXPECT_EQ(settingsClicks, 1) << "unlocked, clicks work again";
  EXPECT_EQ(loginModes.size(), 3u);
}

// A wheel over a list and text from an input method reach nothing while the program is
// locked, sent as the system sends them: the wheel to the window, which passes it to the
// control under the mouse, the text to the control with the focus.
TEST_F(MainWindow, LockedNeitherTheWheelNorInputMethodTextReachesAControl) {
  LogInAs(u"admin");
  CTarnwickDlg dlg;
  ASSERT_TRUE(dlg.OnInitDialog());
  dlg.show();
  dlg.activateWindow();
  harness::Click(dlg.PageButton(CTarnwickDlg::IDC_BtnSettings));
  harness::Click(dlg.GetSettingsDlg()->findChild<QWidget*>(QString::number(CDlgSetttings::IDC_LOCAL)));
  harness::Pump();
  CDlgLSettings* local = dlg.GetSettingsDlg()->LocalSettingsPage();
  auto* packSize = local->findChild<QComboBox*>(QString::number(CDlgLSettings::IDC_PACK_SIZE));
  auto* cycle = local->findChild<QLineEdit*>(QString::number(CDlgLSettings::IDC_CYCLE));
  ASSERT_TRUE(packSize && cycle);
  ASSERT_TRUE(packSize->isVisible() && packSize->isEnabled() && cycle->isVisible());
  ASSERT_GT(packSize->count(), 2);
  packSize->setCurrentIndex(1);
  QWindow* window = dlg.windowHandle();
  ASSERT_NE(window, nullptr);
  auto wheel = [&] {
    const QPointF at = packSize->mapTo(&dlg, packSize->rect().center());
    QWheelEvent e(at, window->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QGuiApplication::sendEvent(window, &e);
  };
  auto commit = [&](const QString& text) {
    QInputMethodEvent e;
    e.setCommitString(text);
    QGuiApplication::sendEvent(QGuiApplication::focusObject(), &e);
  };
  cycle->setFocus();
  harness::Pump();
  ASSERT_EQ(QGuiApplication::focusObject(), cycle);
  cycle->setText(QStringLiteral("20"));

  // Unlocked, both reach their control.
  wheel();
  EXPECT_EQ(packSize->currentIndex(), 2);
  commit(QStringLiteral("5"));
  EXPECT_EQ(cycle->text(), QStringLiteral("205"));

  SendWidgetMessage(&dlg, WM_LOCK_PROGRAM, 0, 0);
  ASSERT_TRUE(dlg.IsLocked());
  wheel();
  commit(QStringLiteral("9"));
  harness::Pump();
  EXPECT_EQ(packSize->currentIndex(), 2) << "the wheel changed the list";
  EXPECT_EQ(cycle->text(), QStringLiteral("205")) << "the input method's text was typed";
  EXPECT_TRUE(dlg.IsLocked());
  EXPECT_TRUE(loginModes.empty()) << "no press, no unlock dialog";
}

TEST_F(MainWindow, ScreenshotsChineseAndEnglish) {
  LogInAs(u"admin");
  // The demo folder's devices: a region with a camera and a recorder.
  {
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, u"Tarnwick.db"));
    db.Execute(u"CREATE TABLE [Tb_Region](Name varchar NOT NULL, Guid varchar NOT NULL, ParentGuid varchar NOT NULL);");
    db.Execute(u"insert into [Tb_Region] values('Demo', '{R}', '');");
    CloseDatabase(db);
    CDeviceManager* devices = CDeviceManager::GetInstance();
    ASSERT_TRUE(devices->Add(new CDevice(CDevInfo(u"Camera", u"127.0.0.1", 9000, u"admin", u"admin", 1, u"", u"",
                                                  u"", u"", 0, 0, DEV_TYPE_IPC, u"{C}", u"{R}"))));
    ASSERT_TRUE(devices->Add(new CDevice(CDevInfo(u"Recorder", u"localhost", 8000, u"admin", u"12345", 4, u"", u"",
                                                  u"", u"", 0, 0, DEV_TYPE_DVR, u"{D}", u"{R}"))));
    ASSERT_TRUE(devices->Save());
    harness::ResetServices();
  }
  for (bool english : {false, true}) {
    harness::ScopedLanguage language(english);
    CTarnwickDlg dlg;
    ASSERT_TRUE(dlg.OnInitDialog());
    dlg.show();
    harness::Pump();
    QImage shot = harness::Grab(&dlg);
    // The title strip is drawn and the page buttons carry their images.
    EXPECT_NE(shot.pixel(2, 2), shot.pixel(2, shot.height() - 2));
    EXPECT_GT(dlg.PageButton(CTarnwickDlg::IDC_BtnPreview)->width(), 0);
    // The device manager filled the preview page's tree from the stored devices.
    EXPECT_GT(dlg.GetPreviewDlg()->GetDeviceTree()->topLevelItemCount(), 0);
    harness::SaveScreenshot(&dlg, english ? QStringLiteral("main-window-en") : QStringLiteral("main-window-zh"));
  }
}

}  // namespace
