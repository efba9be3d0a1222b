#pragma once
// The settings page of the main window: a column of buttons down its right side switching
// between the device manager, local settings and user manager sub-pages, and opening the
// change-password dialog.
#include <QTreeWidget>
#include <array>
#include <vector>

#include "controls/PageDialog.h"
#include "devices/DlgDevMgr.h"
#include "shell/DlgLSettings.h"
#include "shell/DlgUserMgr.h"
#include "view/LiveViewWork.h"

class CBitmapButtonEx;
class QFrame;

class CDlgSetttings : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 105;
  static constexpr int kDevMgrTemplateId = 147;
  enum ControlId {
    IDC_FRAME = 1092, IDC_DEVICES = 1100, IDC_LOCAL = 1096, IDC_REMOTE = 1097, IDC_USERS = 1098,
    IDC_PASSWORD = 1099
  };
  static inline const QColor kBackground{145, 151, 160};

  CDlgSetttings();
  ~CDlgSetttings() override;

  // Trees of other pages that the device manager page rebuilds after device changes; each is
  // handed to the device manager page at once.
  void RegisterDeviceTree(QTreeWidget* tree);
  void RegisterGroupTree(QTreeWidget* tree);
  const std::vector<QTreeWidget*>& RegisteredDeviceTrees() const { return m_deviceTrees; }
  const std::vector<QTreeWidget*>& RegisteredGroupTrees() const { return m_groupTrees; }

  // After a user switch: user management only for an administrator.
  void RefreshRights();

  // Shows a sub-page (null: nothing happens); leaving the local settings page drops its
  // unsaved edits.
  void SelectPage(CPageDialog* page);
  CPageDialog* CurrentPage() const { return m_current; }
  CDlgDevMgr* DeviceManagerPage() { return &m_devMgr; }
  CDlgLSettings* LocalSettingsPage() { return &m_lsettings; }
  CDlgUserMgr* UserManagerPage() { return &m_userMgr; }

  void OnRemoteSettings();
  void OnChangePassword();

 protected:
  bool OnInitDialog() override;
  bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Layout();
  CBitmapButtonEx* Button(int id) const;

  CLiveViewWork m_liveView;  // before the device manager page, which holds on to it
  CDlgDevMgr m_devMgr;
  CDlgLSettings m_lsettings;
  CDlgUserMgr m_userMgr;
  CPageDialog* m_current = nullptr;
  QFrame* m_frame = nullptr;
  std::array<CBitmapButtonEx*, 5> m_buttons{};
  std::vector<QTreeWidget*> m_deviceTrees;
  std::vector<QTreeWidget*> m_groupTrees;
};
