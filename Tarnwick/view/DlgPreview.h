#pragma once
// The live preview page of the main window: device and group trees, the play grid, the
// alarm list. It receives the device side's alarm and exception messages.
#include <QRect>
#include <QTreeWidget>

#include "controls/PageDialog.h"

struct MsgAlarmInfo;
class CDevice;
class CPlayScreen;

class CDlgPreview : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 104;
  static constexpr int kDeviceTreeId = 1018;
  static constexpr int kGroupTreeId = 1019;

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

  // The live play screen (control 1101), made when the page is created; registered with
  // the preview list, and its windows report to this page.
  CPlayScreen* GetPlayScreen() const { return m_playScreen; }

  // WM_DEVICE_ALARM: the block goes back to the pool on every path; -1 for a null block.
  intptr_t OnDeviceAlarm(MsgAlarmInfo* block);
  // WM_DEVICE_EXCEPTION: the device of that login is released.
  intptr_t OnDeviceException(int loginId);
  // WM_DEVICE_REBOOT: the device's previews stop, it is released, rebooted and logged out.
  intptr_t OnDeviceReboot(CDevice* device);

 protected:
  bool OnInitDialog() override;
  bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  QTreeWidget m_deviceTree;
  QTreeWidget m_groupTree;
  QRect m_paneRect;
  QRect m_paneRect2;
  CPlayScreen* m_playScreen = nullptr;
};
