#include "shell/DlgSetttings.h"

#include "shell/AppMessages.h"

CDlgSetttings::CDlgSetttings() : CPageDialog(kTemplateId) {}

CDlgSetttings::~CDlgSetttings() = default;

void CDlgSetttings::RegisterDeviceTree(QTreeWidget* tree) {
  if (tree) m_deviceTrees.push_back(tree);
}

void CDlgSetttings::RegisterGroupTree(QTreeWidget* tree) {
  if (tree) m_groupTrees.push_back(tree);
}

void CDlgSetttings::RefreshRights() {}

bool CDlgSetttings::OnMessage(uint32_t message, uintptr_t, intptr_t, intptr_t& result) {
  if (message == WM_RIGHTS_CHANGED) {
    result = 0;
    return true;
  }
  return false;
}
