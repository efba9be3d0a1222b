#pragma once
// The remote playback page of the main window: searches, plays and downloads recordings
// kept on the devices.
#include <QTreeWidget>

#include "controls/PageDialog.h"

class CDlgPlayback : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 136;
  static constexpr int kDeviceTreeId = 1018;

  CDlgPlayback();
  ~CDlgPlayback() override;

  QTreeWidget* GetDeviceTree() { return &m_deviceTree; }
  // True while a download or a remote playback runs on the page.
  bool IsBusy() const { return m_busy; }
  // Set when a download or remote playback starts on the page and cleared when it ends.
  void SetBusy(bool busy) { m_busy = busy; }

 protected:
  bool OnInitDialog() override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  QTreeWidget m_deviceTree;
  bool m_busy = false;
};
