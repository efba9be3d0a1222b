#pragma once
// The program's one top-level window: full screen, frameless, a title strip with the page
// buttons and the window buttons, and six pages below it, one shown at a time. It logs the
// user in at its start, owns the program lock, the switch-user command and the close
// confirmation, and hands the device side the preview page's window.
#include <QDialog>
#include <QImage>
#include <QPointer>
#include <functional>

#include "shell/DlgMap.h"
#include "shell/DlgSetttings.h"
#include "shell/DlgWall.h"
#include "view/DlgLPlayback.h"
#include "view/DlgPlayback.h"
#include "view/DlgPreview.h"

class QLabel;
class QMenu;
class QSystemTrayIcon;
class CBitmapButtonEx;
class CStateButton;
class CSplashScreenEx;

class CTarnwickDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 102;
  enum ControlId {
    IDC_CAPTION_BAR = 1012,
    IDC_BtnPreview = 1005,
    IDC_BtnPlayback = 1006,
    IDC_BtnSettings = 1007,
    IDC_BtnMap = 1008,
    IDC_BtnWall = 1009,
    IDC_BtnLog = 1010,
    IDC_BtnHelp = 1011,
    IDC_BntClose = 5429,
    IDC_BntMinimize = 5430,
    IDC_BntLock = 4432,
    IDC_BtnSwitchUser = 5431
  };
  enum Command { ID_LOCAL_PLAYBACK = 32783, ID_REMOTE_PLAYBACK = 32784 };
  static constexpr int kTitleImage = 6002;
  static constexpr int kStripTile = 6003;
  static constexpr int kSplashBitmap = 176;
  // The lock button's normal, hover and pressed images at the start; locked, it shows the
  // hover image alone, and once unlocked 6885, 6883 and 6884.
  static constexpr int kLockImages[3] = {6883, 6884, 6885};
  static constexpr int kUnlockedImages[3] = {6885, 6883, 6884};
  static constexpr int kRemotePlaybackRight = 4;

  // Runs the login dialog in a mode; IDOK or IDCANCEL. Replaceable (tests).
  using LoginRunner = std::function<int(int mode)>;
  static void SetLoginRunner(LoginRunner runner);

  CTarnwickDlg();
  ~CTarnwickDlg() override;

  // The set-up, then the modal loop; a cancelled login ends it at once with IDCANCEL. A
  // set-up that failed (a title image missing) leaves the window running without login,
  // pages or tray icon.
  int DoModal();
  // The set-up (login, pages, tray). False when a title image is missing or there is no
  // current user; true otherwise, also when the login was cancelled (the window then ends).
  bool OnInitDialog();
  static CTarnwickDlg* MainWindow();

  plat::WindowHandle GetPreviewHwnd() const { return m_dlgPreview.GetSafeHwnd(); }
  CDlgPreview* GetPreviewDlg() { return &m_dlgPreview; }
  CDlgLPlayback* GetLPlaybackDlg() { return &m_dlgLPlayback; }
  CDlgPlayback* GetPlaybackDlg() { return &m_dlgPlayback; }
  CDlgSetttings* GetSettingsDlg() { return &m_dlgSettings; }
  CDlgMap* GetMapDlg() { return &m_dlgMap; }
  CDlgWall* GetWallDlg() { return &m_dlgWall; }
  QWidget* CurrentPage() const { return m_currentPage; }

  // The page shown and its tab lit; false (nothing changes) when the page shown now is busy.
  bool ShowPage(QWidget* page, CStateButton* tab = nullptr);
  bool IsCurrentPageBusy();
  void UpdateLockButton();
  void SetLocked() { m_locked = 1; }
  void ClearLocked() { m_locked = 0; }
  bool IsLocked() const { return m_locked != 0; }
  void RefreshRights();

  // Buttons and menu choices by their ids.
  void OnCommand(int id);
  intptr_t OnLockProgram();
  intptr_t OnSwitchUser();
  intptr_t OnTrayNotify(int mouseEvent);
  // A press while locked: the unlock dialog for the current user.
  void OnLockedInput();

  CStateButton* PageButton(int id) const;
  void LayoutPages();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 public slots:
  void reject() override;

 private:
  intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void CreatePages();
  void CreateTray();
  void ShowPlaybackMenu();
  void OnDestroy();
  void SetPageButtonStates(CStateButton* on);

  QLabel* m_captionBar = nullptr;
  CDlgPreview m_dlgPreview;
  CDlgLPlayback m_dlgLPlayback;
  CDlgPlayback m_dlgPlayback;
  CDlgSetttings m_dlgSettings;
  CDlgMap m_dlgMap;
  CDlgWall m_dlgWall;
  QPointer<QWidget> m_currentPage;
  int m_locked = 0;
  QImage m_titleImage;
  QImage m_stripTile;
  CStateButton* m_btnPreview = nullptr;
  CStateButton* m_btnPlayback = nullptr;
  CStateButton* m_btnSettings = nullptr;
  CBitmapButtonEx* m_btnMap = nullptr;
  CBitmapButtonEx* m_btnWall = nullptr;
  CBitmapButtonEx* m_btnLog = nullptr;
  CBitmapButtonEx* m_btnHelp = nullptr;
  CBitmapButtonEx* m_btnClose = nullptr;
  CBitmapButtonEx* m_btnMinimize = nullptr;
  CBitmapButtonEx* m_btnLock = nullptr;
  CBitmapButtonEx* m_btnSwitchUser = nullptr;
  QSystemTrayIcon* m_tray = nullptr;
  QPointer<CSplashScreenEx> m_splash;
  bool m_setUp = false;
  bool m_loginCancelled = false;
  bool m_destroyed = false;
};
