#pragma once
// The local playback page of the main window: plays recordings from the local disks.
#include <QTreeWidget>

#include "controls/PageDialog.h"

class CDlgLPlayback : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 178;
  static constexpr int kDeviceTreeId = 1018;

  CDlgLPlayback();
  ~CDlgLPlayback() override;

  QTreeWidget* GetDeviceTree() { return &m_deviceTree; }
  // True while a local playback runs on the page.
  bool IsPlaying() const { return m_playing; }
  // Set when a local playback starts on the page and cleared when it stops.
  void SetPlaying(bool playing) { m_playing = playing; }

 protected:
  bool OnInitDialog() override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  QTreeWidget m_deviceTree;
  bool m_playing = false;
};
