#pragma once
// Adding or renaming a channel group.
#include "devices/NameEntryDialog.h"
#include "devices/DeviceTreeNodes.h"

class CDlgAddGrp : public CNameEntryDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 154;
  enum ControlId { IDC_NAME = 1163, IDC_LABEL_NAME = 2533 };

  explicit CDlgAddGrp(CDevMgrModel* owner, QWidget* parent = nullptr);

  // With a record or add set: copies the record (when given) and takes the mode.
  void SetGroup(const CGroupInfo* group, int add);
  const CGroupInfo& Group() const { return m_group; }

 protected:
  std::u16string& RecordName() override { return m_group.Name; }
  bool IsNameUsed() const override;

 private:
  CGroupInfo m_group;
};
