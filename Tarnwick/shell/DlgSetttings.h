#pragma once
// The settings page of the main window: a column of buttons switching between the device
// manager, local settings and user manager sub-pages.
#include <QTreeWidget>
#include <vector>

#include "controls/PageDialog.h"

class CDlgSetttings : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 105;

  CDlgSetttings();
  ~CDlgSetttings() override;

  // Trees of other pages that the device manager page rebuilds after device changes.
  void RegisterDeviceTree(QTreeWidget* tree);
  void RegisterGroupTree(QTreeWidget* tree);
  const std::vector<QTreeWidget*>& RegisteredDeviceTrees() const { return m_deviceTrees; }
  const std::vector<QTreeWidget*>& RegisteredGroupTrees() const { return m_groupTrees; }

  // After a user switch: user management only for an administrator.
  void RefreshRights();

 protected:
  bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;

 private:
  std::vector<QTreeWidget*> m_deviceTrees;
  std::vector<QTreeWidget*> m_groupTrees;
};
