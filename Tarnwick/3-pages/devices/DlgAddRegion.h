#pragma once
// Adding or renaming a region: its name, under a parent region shown read-only.
#include <QLineEdit>

#include "devices/NameEntryDialog.h"
#include "devices/DeviceTreeNodes.h"

class CDlgAddRegion : public CNameEntryDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 149;
  enum ControlId { IDC_NAME = 1151, IDC_PARENT = 1160, IDC_LABEL_NAME = 2534, IDC_LABEL_PARENT = 4633 };

  explicit CDlgAddRegion(CDevMgrModel* owner, QWidget* parent = nullptr);

  // With a record or add set: copies the record (when given), takes the mode and the parent's
  // name. With neither, nothing changes.
  void SetRegion(const CRegionInfo* region, int add, const std::u16string& parentName);
  const CRegionInfo& Region() const { return m_region; }

 protected:
  bool OnInitDialog() override;
  void LoadFields() override;
  std::u16string& RecordName() override { return m_region.Name; }
  bool IsNameUsed() const override;

 private:
  CRegionInfo m_region;
  std::u16string m_parentName;
  QLineEdit* m_parent;
};
