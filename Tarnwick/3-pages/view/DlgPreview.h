#pragma once
// The live preview page of the main window: device and group trees, the play grid, the bar,
// the side panels' box and the alarm list. Its logic is CPreviewController; the page routes
// its widgets' events and its window messages there.
#include <QFrame>
#include <QImage>
#include <QMap>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QTreeWidget>
#include <memory>

#include "controls/PageDialog.h"
#include "view/DlgPreviewController.h"

struct MsgAlarmInfo;
class CDevice;
class CPlayScreen;
class CDlgPTZ;
class CDlgVideoParam;
class CDlgPresetPoint;
class CDlgCruise;
class CBitmapButtonEx;
class CDlgDivScreen;
class QMenu;

class CDlgPreview : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 104;
  static constexpr int kDeviceTreeId = 1018;
  static constexpr int kGroupTreeId = 1019;
  static constexpr int kAlarmListId = 1024;
  static constexpr int kPanelBoxId = 1038;
  static constexpr int kBarId = 1042;
  static constexpr int kListHeight = 200;
  static constexpr int kBarHeight = 46;
  // Commands.
  static constexpr int ID_FULLSCREEN = 5513, ID_TAB_DEVICES = 1016, ID_TAB_GROUPS = 1017, ID_PANEL_PTZ = 1020,
                       ID_PANEL_PRESETS = 1021, ID_PANEL_CRUISE = 1022, ID_PANEL_VIDEO = 1023,
                       ID_TOGGLE_LIST = 1034, ID_STOP_ALL = 1025, ID_RECORD = 1026, ID_DIVIDE = 1028,
                       ID_SNAPSHOT = 1027, ID_PREV_PAGE = 1030, ID_NEXT_PAGE = 1031, ID_RESUME_CYCLES = 1032,
                       ID_PAUSE_CYCLES = 1033, ID_CLEAR_ALARMS = 1036, ID_SUB_STREAM = 32816,
                       ID_MAIN_STREAM = 32815, ID_ARM = 32817, ID_NOT_YET_1 = 32823, ID_NOT_YET_2 = 32837,
                       ID_VOICE_TALK = 32839;

  CDlgPreview();
  ~CDlgPreview() override;

  // The whole screen, and the page area below the main window's title strip.
  void SetPaneRect(const QRect& rect) { m_paneRect = rect; }
  void SetPaneRect2(const QRect& rect) { m_paneRect2 = rect; }
  QRect PaneRect() const { return m_paneRect; }
  QRect PaneRect2() const { return m_paneRect2; }

  // Members: valid before the page has a window.
  QTreeWidget* GetDeviceTree() { return &m_deviceTree; }
  QTreeWidget* GetGroupTree() { return &m_groupTree; }
  QTreeWidget* GetAlarmList() { return &m_alarmList; }
  CPreviewController& Controller() { return *m_controller; }

  // The live play screen (control 1101), made when the page is created; registered with
  // the preview list, and its windows report to this page.
  CPlayScreen* GetPlayScreen() const { return m_playScreen; }
  CChannel* GetActiveChannel() { return m_controller->GetActiveChannel(); }
  // The PTZ object of the selected device-tree channel (by the device's name when byName).
  IDevCtlPtz* GetSelectedChannelPtz(int byName);
  // Where the cycle and PTZ panels go: the box under the trees.
  QFrame* PanelBox() { return m_panelBox; }

  void OnCommand(int id);
  bool IsFullScreen() const { return m_fullScreen; }
  // A drag of a tree item; the drop lands on the play window under the global point.
  void BeginDrag(QTreeWidget* tree, QTreeWidgetItem* item);
  bool EndDrag(const QPoint& globalPos);
  // The context menu the device tree shows for an item (null: none); the caller owns it.
  QMenu* BuildDeviceTreeMenu(QTreeWidgetItem* item);

  // WM_DEVICE_ALARM: the block goes back to the pool on every path; -1 for a dropped one.
  intptr_t OnDeviceAlarm(MsgAlarmInfo* block) { return m_controller->OnDeviceAlarm(block); }
  // WM_DEVICE_EXCEPTION: the device of that login is released and logged out.
  intptr_t OnDeviceException(int loginId) { return m_controller->OnDeviceException(loginId); }
  // WM_DEVICE_REBOOT: the device's previews stop, it is released, rebooted and logged out.
  intptr_t OnDeviceReboot(CDevice* device) { return m_controller->OnDeviceReboot(device); }

 protected:
  bool OnInitDialog() override;
  bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CBitmapButtonEx* MakeButton(int id, int normal, int hover, int pressed, uint32_t tip);
  void SetChecked(int id, bool on);
  void LayoutPage();
  void EnterFullScreen();
  void LeaveFullScreen();
  void ShowControls(bool show);
  void StartTimer(int id, int ms, bool once);
  void KillTimer(int id);

  QTreeWidget m_deviceTree;
  QTreeWidget m_groupTree;
  QTreeWidget m_alarmList;
  std::unique_ptr<CPreviewController> m_controller;
  std::unique_ptr<IPreviewCycles> m_cycles;
  QRect m_paneRect;
  QRect m_paneRect2;
  QRect m_playRect;
  CPlayScreen* m_playScreen = nullptr;
  QFrame* m_panelBox = nullptr;
  CDlgVideoParam* m_videoParam = nullptr;
  QWidget* m_bar = nullptr;
  CDlgDivScreen* m_divScreen = nullptr;
  // The side panels in the panel box; the shown one follows the panel tabs.
  CDlgPTZ* m_ptzPanel = nullptr;
  CDlgPresetPoint* m_presetPanel = nullptr;
  CDlgCruise* m_cruisePanel = nullptr;
  void ShowSidePanel(int tab);
  QMap<int, CBitmapButtonEx*> m_buttons;
  QMap<int, QPair<int, int>> m_tabImages;  // id: unchecked, checked
  QMap<int, QTimer*> m_timers;
  QImage m_barImage, m_barLogo, m_barStrip;
  int m_panelWidth = 200;
  bool m_listShown = true;
  bool m_fullScreen = false;  // the page covers the full-screen rectangle
  // Set at construction and by the full screen command; the Escape that finds it set moves
  // the page back to its normal rectangle, shows the controls and clears it.
  int m_fullScreenFlag = 1;
  // A drag in progress: the tree it began in and its kind (0 channel, 1 group, 2 member).
  QTreeWidget* m_dragTree = nullptr;
  int m_dragKind = -1;
  QPoint m_pressPos;
  QTreeWidgetItem* m_pressItem = nullptr;
};
