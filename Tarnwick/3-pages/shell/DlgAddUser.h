#pragma once
// The add-user dialog: a new account's name, password twice and level.
#include <QString>

#include "shell/DlgUserMgrForms.h"

class CDlgAddUser : public CAccountDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 165;
  enum ControlId {
    IDC_GROUP_INFO = 1314, IDC_LABEL_NAME = 1315, IDC_LABEL_PASSWORD = 1316, IDC_LABEL_CONFIRM = 1317,
    IDC_GROUP_IDENTITY = 1318, IDC_NAME = 4613, IDC_PASSWORD = 4614, IDC_CONFIRM = 4605,
    IDC_ADMIN = 4615, IDC_USER = 4616, IDC_OK = 1, IDC_CANCEL = 2
  };

  explicit CDlgAddUser(QWidget* parent = nullptr);

  // The results, valid after IDOK.
  std::u16string Name() const { return m_name; }
  std::u16string Password() const { return m_password; }
  std::u16string Identity() const { return m_identity; }

  void OnOK() override;

 protected:
  bool OnInitDialog() override;

 private:
  QLineEdit* m_nameEdit;
  std::u16string m_name, m_password, m_identity;
};
