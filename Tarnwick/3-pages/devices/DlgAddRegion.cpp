#include "devices/DlgAddRegion.h"

#include <QLabel>
#include <QPushButton>

#include "devices/DevMgrModel.h"
#include "devices/FramedDialog.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"

CDlgAddRegion::CDlgAddRegion(CDevMgrModel* owner, QWidget* parent)
    : CNameEntryDialog(kTemplateId, IDC_NAME, IDC_LABEL_NAME,
                       {IDS_ADD_REGION, IDS_MODIFY_REGION, IDS_REGION, IDS_REGION_NAME_EMPTY, IDS_REGION_EXISTS}, owner,
                       parent) {
  resize(300, 140);
  MakeControl<QLabel>(this, IDC_LABEL_PARENT, QRect(10, 46, 80, 22));
  m_parent = MakeControl<QLineEdit>(this, IDC_PARENT, QRect(95, 46, 180, 22));
  m_parent->setReadOnly(true);
  for (auto* b : findChildren<QPushButton*>()) b->move(b->x(), 108);
}

void CDlgAddRegion::SetRegion(const CRegionInfo* region, int add, const std::u16string& parentName) {
  if (!region && !add) return;
  if (region) m_region = *region;
  m_add = add;
  m_parentName = parentName;
}

bool CDlgAddRegion::OnInitDialog() {
  CNameEntryDialog::OnInitDialog();
  findChild<QLabel*>(QString::number(IDC_LABEL_PARENT))->setText(Text(IDS_PARENT_REGION));
  return true;
}

void CDlgAddRegion::LoadFields() {
  CNameEntryDialog::LoadFields();
  m_parent->setText(QString::fromStdU16String(m_parentName));
}

bool CDlgAddRegion::IsNameUsed() const { return m_owner && m_owner->IsRegionNameUsed(&m_region); }
