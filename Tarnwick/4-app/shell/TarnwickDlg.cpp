#include "shell/TarnwickDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "controls/SplashScreenEx.h"
#include "controls/TaskbarNotifier.h"
#include "devices/DeviceManager.h"
#include "plat/controlid.h"
#include "plat/log.h"
#include "shell/AppMessages.h"
#include "shell/DlgUserLogin.h"
#include "shell/Language.h"
#include "shell/LockHook.h"
#include "shell/Singleton.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"
#include "shell/User.h"
#include "shell/UserStore.h"
#include "view/PreviewManager.h"
#include "view/SystemBridge.h"

namespace {

// Mouse messages the preview page takes from every window of the program.
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONUP = 0x0205;

// Tray notifications (the mouse event in the second parameter).
constexpr int WM_LBUTTONDOWN = 0x0201;
constexpr int WM_LBUTTONDBLCLK = 0x0203;
constexpr int WM_RBUTTONDOWN = 0x0204;

CTarnwickDlg* gMainWindow = nullptr;
CTarnwickDlg::LoginRunner gLoginRunner;

int RunLogin(int mode) {
  if (gLoginRunner) return gLoginRunner(mode);
  CDlgUserLogin dlg;
  dlg.SetMode(mode);
  return dlg.DoModal();
}

intptr_t PackPoint(QPoint p) {
  return static_cast<intptr_t>((static_cast<uint32_t>(p.y() & 0xFFFF) << 16) | static_cast<uint32_t>(p.x() & 0xFFFF));
}

}  // namespace

void CTarnwickDlg::SetLoginRunner(LoginRunner runner) { gLoginRunner = std::move(runner); }
CTarnwickDlg* CTarnwickDlg::MainWindow() { return gMainWindow; }

CTarnwickDlg::CTarnwickDlg() : QDialog(nullptr, Qt::Window | Qt::FramelessWindowHint) {
  plat::Named(this, kTemplateId);
  setWindowTitle(QStringLiteral("Tarnwick"));
  m_captionBar = new QLabel(this);
  plat::Named(m_captionBar, IDC_CAPTION_BAR);
  auto makeState = [this](int id) {
    auto* b = new CStateButton(this, id);
    plat::Named(b, id);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    return b;
  };
  auto makeImage = [this](int id) {
    auto* b = new CBitmapButtonEx(this, id);
    plat::Named(b, id);
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    return b;
  };
  m_btnPreview = makeState(IDC_BtnPreview);
  m_btnPlayback = makeState(IDC_BtnPlayback);
  m_btnSettings = makeState(IDC_BtnSettings);
  m_btnMap = makeImage(IDC_BtnMap);
  m_btnWall = makeImage(IDC_BtnWall);
  m_btnLog = makeImage(IDC_BtnLog);
  m_btnHelp = makeImage(IDC_BtnHelp);
  m_btnClose = makeImage(IDC_BntClose);
  m_btnMinimize = makeImage(IDC_BntMinimize);
  m_btnLock = makeImage(IDC_BntLock);
  m_btnSwitchUser = makeImage(IDC_BtnSwitchUser);
  m_btnMap->hide();
  m_btnWall->hide();
  m_btnLog->hide();
  // The help button has no images and no commands behind it: it stays out of sight.
  m_btnHelp->hide();
  AttachWindow(this, [this](uint32_t m, uintptr_t w, intptr_t l) { return WindowProc(m, w, l); });
}

CTarnwickDlg::~CTarnwickDlg() {
  OnDestroy();
  if (plat::WindowHandle h = WindowHandleOf(this)) plat::unregisterWindow(h);
}

int CTarnwickDlg::DoModal() {
  OnInitDialog();
  if (m_loginCancelled) {
    OnDestroy();
    return IDCANCEL;
  }
  // The start-up's end as a user sees it, in the log at level info: the window is up and its
  // trees are filled (read by the start-up benchmark).
  if (m_setUp) QTimer::singleShot(0, this, [this] {
    int items = 0;
    for (QTreeWidgetItemIterator it(m_dlgPreview.GetDeviceTree()); *it; ++it) ++items;
    // Only read: a window run without the device side has no list to make.
    const int devices =
        SingletonAccess<CDeviceManager>::HasInstance() ? CDeviceManager::GetInstance()->Count() : 0;
    PLAT_LOGI("shell", "main window shown: %d devices, %d items in the device tree", devices, items);
  });
  int result = exec();
  OnDestroy();
  return result;
}

bool CTarnwickDlg::OnInitDialog() {
  // Without its title images the window stays up with nothing in it (the skin is built in).
  if (!LoadPngResource(&m_titleImage, kTitleImage) || !LoadPngResource(&m_stripTile, kStripTile)) return false;

  // The program's icon: the camera of the title's logo.
  setWindowIcon(QIcon(QPixmap::fromImage(m_titleImage.copy(6, 0, 24, 22))));

  CreateUserDatabase();
  std::u16string name, identity;
  if (CheckAutoLogin(name, identity)) {
    CUser* user = CUser::GetInstance();
    if (!user) return false;
    user->SetName(name);
    user->SetIdentify(identity);
    int power = 0;
    if (!GetUserPower(TB_USER_INFO, name, power)) power = 0;
    user->SetPower(power);
  } else if (RunLogin(CLoginController::kStartup) != IDOK) {
    m_loginCancelled = true;
    return true;
  }
  // What the start has to say (a damaged or unreadable file, why recording is off) waits for
  // the window, with what the pages built below add, and is shown in turn once it is up.
  CTaskbarNotifier::GetInstance()->HoldNotices();

  m_btnClose->setToolTip(Text(IDS_CLOSE));
  m_btnMinimize->setToolTip(Text(IDS_MINIMIZE));
  m_btnLock->setToolTip(Text(IDS_LOCK));
  m_btnSwitchUser->setToolTip(Text(IDS_SWITCH_USER));
  m_btnPreview->setToolTip(Text(IDS_PREVIEW));
  m_btnPlayback->setToolTip(Text(IDS_PLAYBACK));
  m_btnSettings->setToolTip(Text(IDS_SETTINGS));
  m_btnLog->setToolTip(Text(IDS_LOG));
  m_btnHelp->setToolTip(Text(IDS_HELP));

  // Shown while the pages are built, hidden once they are (or by its time-out).
  m_splash = new CSplashScreenEx();
  m_splash->Create(this, QString(), 2000, CSplashScreenEx::CSS_FADE | CSplashScreenEx::CSS_SHADOW |
                                              CSplashScreenEx::CSS_CENTERSCREEN | 1);
  if (m_splash->SetBitmap(kSplashBitmap)) m_splash->Show();

  const uint16_t lang = GetLanguageId();
  if (lang == LANGUAGE_ID_CHINESE || lang == LANGUAGE_ID_ENGLISH) {
    auto id = [lang](int n) { return LocalizedImageId(n, lang); };
    m_btnPreview->LoadStateImageResources(id(6719), id(6719), id(6717), id(6717));
    m_btnPlayback->LoadStateImageResources(id(6880), id(6880), id(6882), id(6882));
    m_btnSettings->LoadStateImageResources(id(6092), id(6092), id(6090), id(6090));
  }
  m_btnPreview->SetState(1);
  m_btnPlayback->SetState(0);
  m_btnSettings->SetState(0);
  for (CStateButton* b : {m_btnPreview, m_btnPlayback, m_btnSettings}) b->SizeToImage();
  m_btnPreview->move(0, m_titleImage.height() / 2 - 3);
  m_btnPlayback->PlaceBeside(m_btnPreview, 4, -1);
  m_btnSettings->PlaceBeside(m_btnPlayback, 4, -1);

  m_btnSwitchUser->LoadImageResources(6722, 6721, 6720);
  m_btnLock->LoadImageResources(kLockImages[0], kLockImages[1], kLockImages[2]);
  m_btnMinimize->LoadImageResources(6710, 6709, 6708);
  m_btnClose->LoadImageResources(6089, 6088, 6087);
  for (CBitmapButtonEx* b : {m_btnSwitchUser, m_btnLock, m_btnMinimize, m_btnClose}) b->SizeToImage();

  CreatePages();
  m_setUp = true;
  LayoutPages();
  CreateTray();
  if (m_splash) m_splash->Hide();

  gMainWindow = this;
  m_dlgSettings.DeviceManagerPage()->SetPreviewWindow(GetPreviewHwnd());
  SetDeviceMessageTarget(GetPreviewHwnd());
  qApp->installEventFilter(this);
  QTimer::singleShot(0, this, [] {
    if (CTaskbarNotifier* notifier = SingletonAccess<CTaskbarNotifier>::Existing()) notifier->ReleaseNotices();
  });
  return true;
}

void CTarnwickDlg::CreatePages() {
  m_dlgSettings.RegisterDeviceTree(m_dlgPreview.GetDeviceTree());
  m_dlgSettings.RegisterDeviceTree(m_dlgLPlayback.GetDeviceTree());
  m_dlgSettings.RegisterDeviceTree(m_dlgPlayback.GetDeviceTree());
  m_dlgSettings.RegisterGroupTree(m_dlgPreview.GetGroupTree());
  for (CPageDialog* page : std::initializer_list<CPageDialog*>{&m_dlgPreview, &m_dlgLPlayback, &m_dlgPlayback,
                                                              &m_dlgSettings, &m_dlgMap, &m_dlgWall})
    page->Create(this);
  m_currentPage = &m_dlgPreview;
  m_dlgPreview.show();
}

void CTarnwickDlg::CreateTray() {
  // Without a notification area a hidden window could never come back: no tray icon then,
  // and minimizing keeps the window on the taskbar.
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  m_tray = new QSystemTrayIcon(this);
  m_tray->setIcon(windowIcon());
  m_tray->setToolTip(QStringLiteral("Velmont"));
  connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    OnTrayNotify(reason == QSystemTrayIcon::Context ? WM_RBUTTONDOWN
                 : reason == QSystemTrayIcon::DoubleClick ? WM_LBUTTONDBLCLK
                                                          : WM_LBUTTONDOWN);
  });
  m_tray->show();
}

void CTarnwickDlg::OnDestroy() {
  if (m_destroyed) return;
  m_destroyed = true;
  // The device side stops posting to the preview page before the page goes.
  if (DeviceMessageTarget() == GetPreviewHwnd()) SetDeviceMessageTarget(0);
  if (qApp) qApp->removeEventFilter(this);
  RemoveLockHook();
  if (m_tray) {
    m_tray->hide();
    delete m_tray;
    m_tray = nullptr;
  }
  if (m_splash) delete m_splash.data();
  if (gMainWindow == this) gMainWindow = nullptr;
  m_dlgSettings.DeviceManagerPage()->SetPreviewWindow(0);
}

void CTarnwickDlg::LayoutPages() {
  if (!m_setUp) return;
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect desk = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  if (geometry() != desk) setGeometry(desk);
  m_dlgPreview.SetPaneRect(desk);

  const QRect client = rect();
  m_btnSwitchUser->move(client.right() + 1 - 120, 4);
  m_btnLock->PlaceBeside(m_btnSwitchUser, 2, -1);
  m_btnMinimize->PlaceBeside(m_btnLock, 2, -1);
  m_btnClose->PlaceBeside(m_btnMinimize, 2, -1);

  const int h = m_titleImage.height();
  m_captionBar->setGeometry(QRect(QPoint(client.left(), h / 2), QPoint(client.right(), h - 1)));
  m_captionBar->lower();
  const QRect pane(QPoint(client.left(), h), QPoint(client.right(), client.bottom()));
  m_dlgPreview.setGeometry(pane);
  m_dlgPreview.SetPaneRect2(pane);
  for (QWidget* page : std::initializer_list<QWidget*>{&m_dlgLPlayback, &m_dlgPlayback, &m_dlgSettings, &m_dlgMap,
                                                      &m_dlgWall})
    page->setGeometry(pane);
}

void CTarnwickDlg::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  LayoutPages();
}

void CTarnwickDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int h = m_titleImage.height();
  p.fillRect(rect(), QColor(145, 151, 160));
  // The title stretched over the whole width (its artwork is as wide as a usual screen, so
  // its lettering keeps its shape there).
  if (!m_titleImage.isNull()) p.drawImage(QRect(0, 0, width(), h), m_titleImage);
  if (!m_stripTile.isNull() && m_stripTile.width() > 1) {
    const int y = m_btnPreview->y();
    for (int x = 0; x < width(); x += m_stripTile.width() - 1) p.drawImage(QPoint(x, y), m_stripTile);
  }
}

void CTarnwickDlg::SetPageButtonStates(CStateButton* on) {
  for (CStateButton* b : {m_btnPreview, m_btnPlayback, m_btnSettings}) b->SetState(b == on ? 1 : 0);
}

void CTarnwickDlg::OnCommand(int id) {
  switch (id) {
    case IDC_BtnPreview:
      ShowPage(&m_dlgPreview, m_btnPreview);
      break;
    case IDC_BtnPlayback:
      ShowPlaybackMenu();
      break;
    case IDC_BtnSettings:
      ShowPage(&m_dlgSettings, m_btnSettings);
      break;
    case IDC_BtnMap:
      ShowPage(&m_dlgMap);
      break;
    case IDC_BtnWall:
      ShowPage(&m_dlgWall);
      break;
    case IDC_BntClose:
      if (UiService().MessageBox(this, LoadResString(IDS_CLOSE_CONFIRM), LoadResString(IDS_CLOSE),
                                 MB_OKCANCEL | MB_ICONWARNING) == IDOK)
        QMetaObject::invokeMethod(this, [this] { done(0); }, Qt::QueuedConnection);
      break;
    case IDC_BntMinimize:
      showMinimized();
      break;
    case IDC_BntLock:
      OnLockProgram();
      break;
    case IDC_BtnSwitchUser:
      OnSwitchUser();
      break;
    case ID_LOCAL_PLAYBACK:
      ShowPage(&m_dlgLPlayback, m_btnPlayback);
      break;
    case ID_REMOTE_PLAYBACK: {
      CUser* user = CUser::GetInstance();
      if (!user) break;
      if (!user->HasRight(kRemotePlaybackRight)) {
        Notice(IDS_NO_RIGHT_REMOTE_PLAYBACK);
        break;
      }
      ShowPage(&m_dlgPlayback, m_btnPlayback);
      break;
    }
    default:
      break;
  }
}

void CTarnwickDlg::ShowPlaybackMenu() {
  QMenu menu(this);
  plat::Named(&menu, 142);
  menu.addAction(Text(IDS_LOCAL_PLAYBACK), this, [this] { OnCommand(ID_LOCAL_PLAYBACK); });
  menu.addSeparator();
  menu.addAction(Text(IDS_REMOTE_PLAYBACK), this, [this] { OnCommand(ID_REMOTE_PLAYBACK); });
  menu.exec(QCursor::pos());
}

CStateButton* CTarnwickDlg::PageButton(int id) const {
  switch (id) {
    case IDC_BtnPreview: return m_btnPreview;
    case IDC_BtnPlayback: return m_btnPlayback;
    case IDC_BtnSettings: return m_btnSettings;
    default: return nullptr;
  }
}

bool CTarnwickDlg::ShowPage(QWidget* page, CStateButton* tab) {
  // A refused change leaves the tabs as they are: the lit one is always the page on screen.
  if (!page || IsCurrentPageBusy()) return false;
  if (m_currentPage) m_currentPage->hide();
  m_currentPage = page;
  page->show();
  page->repaint();
  if (tab) SetPageButtonStates(tab);
  return true;
}

bool CTarnwickDlg::IsCurrentPageBusy() {
  if (m_currentPage == &m_dlgPlayback && m_dlgPlayback.IsBusy()) {
    Notice(IDS_REMOTE_BUSY);
    return true;
  }
  if (m_currentPage == &m_dlgLPlayback && m_dlgLPlayback.IsPlaying()) {
    Notice(IDS_LOCAL_BUSY);
    return true;
  }
  return false;
}

void CTarnwickDlg::UpdateLockButton() {
  m_btnLock->FreeImages();
  if (IsLocked()) {
    m_btnLock->LoadImageResources(kLockImages[1]);
  } else {
    m_btnLock->LoadImageResources(kUnlockedImages[0], kUnlockedImages[1], kUnlockedImages[2]);
  }
  m_btnLock->update();
}

void CTarnwickDlg::RefreshRights() { m_dlgSettings.RefreshRights(); }

intptr_t CTarnwickDlg::OnLockProgram() {
  SetLocked();
  UpdateLockButton();
  InstallLockHook([this] { return IsLocked(); }, [this] { OnLockedInput(); });
  return 0;
}

void CTarnwickDlg::OnLockedInput() {
  if (!IsLocked()) return;
  // Cleared first, so the presses inside the unlock dialog reach it.
  ClearLocked();
  if (RunLogin(CLoginController::kUnlock) == IDOK) {
    RemoveLockHook();
    RefreshRights();
    UpdateLockButton();
  } else {
    SetLocked();
  }
}

intptr_t CTarnwickDlg::OnSwitchUser() {
  if (CPreviewManager::GetInstance()->GetCount() > 0) {
    Notice(IDS_SWITCH_PREVIEWS_OPEN);
    return 0;
  }
  if (m_dlgPlayback.IsBusy()) {
    Notice(IDS_SWITCH_REMOTE_PLAYING);
    return 0;
  }
  if (m_dlgLPlayback.IsPlaying()) {
    Notice(IDS_SWITCH_LOCAL_PLAYING);
    return 0;
  }
  if (RunLogin(CLoginController::kSwitchUser) != IDOK) return 0;
  RefreshRights();
  CUser* user = CUser::GetInstance();
  if (user && !user->IsAdmin()) {
    ShowPage(&m_dlgPreview, m_btnPreview);
    SendWidgetMessage(&m_dlgSettings, WM_RIGHTS_CHANGED, 0, 0);
  }
  return 0;
}

intptr_t CTarnwickDlg::OnTrayNotify(int mouseEvent) {
  if (mouseEvent == WM_LBUTTONDOWN || mouseEvent == WM_LBUTTONDBLCLK || mouseEvent == WM_RBUTTONDOWN) {
    show();
    showNormal();
    LayoutPages();
  }
  return 0;
}

intptr_t CTarnwickDlg::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_LOCK_PROGRAM: return OnLockProgram();
    case WM_SWITCH_USER: return OnSwitchUser();
    case WM_TRAY_NOTIFY: return OnTrayNotify(static_cast<int>(lParam));
    case WM_DEVICE_REBOOT: return SendWidgetMessage(&m_dlgPreview, message, wParam, lParam);
    case WM_SHOW_PAGE_BUTTONS:
      for (QWidget* b : std::initializer_list<QWidget*>{m_btnPreview, m_btnPlayback, m_btnSettings, m_btnClose,
                                                       m_btnMinimize, m_btnLock, m_btnSwitchUser})
        b->setVisible(wParam != SW_HIDE);
      return 0;
    default: return 0;
  }
}

void CTarnwickDlg::changeEvent(QEvent* e) {
  QDialog::changeEvent(e);
  // Minimized into the tray: off the taskbar until the tray icon brings it back.
  if (e->type() == QEvent::WindowStateChange && isMinimized() && m_tray) hide();
}

bool CTarnwickDlg::eventFilter(QObject* watched, QEvent* e) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || !widget->isWidgetType()) return QDialog::eventFilter(watched, e);
  // Every button release of the thread reaches the preview page too (a drag from its trees
  // may end over any window); the page lets them pass, since its trees end their drags.
  if (e->type() == QEvent::MouseButtonRelease && m_dlgPreview.HasWindow()) {
    auto* mouse = static_cast<QMouseEvent*>(e);
    const uint32_t message = mouse->button() == Qt::RightButton ? WM_RBUTTONUP : WM_LBUTTONUP;
    if (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton)
      PostWidgetMessage(&m_dlgPreview, message, 0, PackPoint(mouse->position().toPoint()));
  } else if (e->type() == QEvent::KeyPress && widget->window() == this) {
    auto* key = static_cast<QKeyEvent*>(e);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) return true;
    if (key->key() == Qt::Key_Escape && m_currentPage == &m_dlgPreview)
      PostWidgetMessage(&m_dlgPreview, WM_KEYDOWN, VK_ESCAPE, 0);
  }
  return QDialog::eventFilter(watched, e);
}

void CTarnwickDlg::keyPressEvent(QKeyEvent* e) {
  // Enter and Esc never end the main window; only the close button's confirmation does.
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape) return;
  QDialog::keyPressEvent(e);
}

void CTarnwickDlg::closeEvent(QCloseEvent* e) { e->ignore(); }

void CTarnwickDlg::reject() {}
