#pragma once
// Adding or modifying a stream-media server: name, address and port, under a region shown
// read-only.
#include <QLineEdit>

#include "Hollin.h"
#include "devices/FramedDialog.h"

class CDevMgrModel;

class CDlgAddSM : public CFramedDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 150;
  enum ControlId {
    IDC_NAME = 1157,
    IDC_ADDRESS = 1142,
    IDC_PORT = 1146,
    IDC_REGION = 1166,
    IDC_LABEL_NAME = 1335,
    IDC_LABEL_ADDRESS = 2536,
    IDC_LABEL_PORT = 2537,
    IDC_LABEL_REGION = 2538,
    IDC_OK = 1,
    IDC_CANCEL = 2
  };

  explicit CDlgAddSM(CDevMgrModel* owner, QWidget* parent = nullptr);

  // With a record or add set: copies the record (when given), takes the region's name and
  // the mode. With neither, nothing changes.
  void SetServer(const CDevInfo* info, const std::u16string& regionName, int add);
  const CDevInfo& Server() const { return m_info; }
  // Checks the fields; on success the record takes them and the dialog ends with IDOK.
  void OnOK();

 protected:
  bool OnInitDialog() override;

 private:
  CDevMgrModel* m_owner;
  CDevInfo m_info;
  std::u16string m_regionName;
  int m_add = 1;
  QLineEdit* m_name;
  QLineEdit* m_address;
  QLineEdit* m_port;
  QLineEdit* m_region;
};
