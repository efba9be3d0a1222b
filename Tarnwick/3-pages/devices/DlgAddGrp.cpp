#include "devices/DlgAddGrp.h"

#include "devices/DevMgrModel.h"
#include "shell/StringIds.h"

CDlgAddGrp::CDlgAddGrp(CDevMgrModel* owner, QWidget* parent)
    : CNameEntryDialog(kTemplateId, IDC_NAME, IDC_LABEL_NAME,
                       {IDS_ADD_GROUP, IDS_MODIFY_GROUP, IDS_GROUP_NAME, IDS_GROUP_NAME_EMPTY, IDS_GROUP_EXISTS}, owner,
                       parent) {}

void CDlgAddGrp::SetGroup(const CGroupInfo* group, int add) {
  if (!group && !add) return;
  if (group) m_group = *group;
  m_add = add;
}

bool CDlgAddGrp::IsNameUsed() const { return m_owner && m_owner->IsGroupNameUsed(&m_group); }
