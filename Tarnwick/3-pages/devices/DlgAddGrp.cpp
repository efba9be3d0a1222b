#include "devices/DlgAddGrp.h"

#include "devices/DevMgrModel.h"

CDlgAddGrp::CDlgAddGrp(CDevMgrModel* owner, QWidget* parent)
    : CNameEntryDialog(kTemplateId, IDC_NAME, IDC_LABEL_NAME, {8106, 8107, 8067, 8211, 8212}, owner, parent) {}

void CDlgAddGrp::SetGroup(const CGroupInfo* group, int add) {
  if (!group && !add) return;
  if (group) m_group = *group;
  m_add = add;
}

bool CDlgAddGrp::IsNameUsed() const { return m_owner && m_owner->IsGroupNameUsed(&m_group); }
