#pragma once
// The local settings sub-page: download and snapshot folders, recording disks, loop
// recording, pack size and cycle interval; saved into vez.ini and handed to the recording
// ring.
#include "controls/PageDialog.h"
#include "shell/DlgLSettingsController.h"

class CBitmapButtonEx;
class CCheckComboBox;
class CEditEx;
class QCheckBox;
class QComboBox;
class QLineEdit;

class CDlgLSettings : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 143;
  enum ControlId {
    IDC_DOWNLOAD = 1171, IDC_PICTURE = 1174, IDC_REMOTE_CFG = 1177, IDC_DISKS = 1463, IDC_CYCLE = 1983,
    IDC_CIRCLE = 1985, IDC_PACK_SIZE = 1986, IDC_LABEL_DISKS = 1972, IDC_GROUP_PLAY = 1373,
    IDC_LABEL_DOWNLOAD = 3574, IDC_LABEL_PICTURE = 3575, IDC_LABEL_REMOTE_CFG = 3576, IDC_MAIL = 1115,
    IDC_ADVANCED = 1200, IDC_SAVE = 1203, IDC_BROWSE_DOWNLOAD = 1037, IDC_BROWSE_PICTURE = 1039,
    IDC_BROWSE_REMOTE_CFG = 1041, IDC_GROUP_SAVE = 1372, IDC_LABEL_CYCLE = 1984, IDC_GROUP_RECORD = 1374,
    IDC_LABEL_PACK_SIZE = 1987
  };
  static inline const QColor kBackground{145, 151, 160};

  CDlgLSettings();
  ~CDlgLSettings() override;

  // Drops unsaved edits: the values come again from the settings (and go to the ring).
  void LoadFromSettings();
  void OnSave();
  void OnBrowse(int buttonId);
  LocalSettingsController& Controller() { return m_controller; }

 protected:
  bool OnInitDialog() override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void RefreshControls();
  void Layout();

  LocalSettingsController m_controller;
  std::u16string m_remoteCfgPath;
  QLineEdit* m_download = nullptr;
  QLineEdit* m_picture = nullptr;
  QLineEdit* m_remoteCfg = nullptr;
  CCheckComboBox* m_disks = nullptr;
  CEditEx* m_cycle = nullptr;
  QCheckBox* m_circle = nullptr;
  QComboBox* m_packSize = nullptr;
  std::vector<std::pair<QWidget*, QPoint>> m_designed;  // visible controls at their design place
};
