#pragma once
// The edit-user dialog: a new password for an existing account; the level is shown but
// cannot be changed here.
#include <QString>

#include "shell/DlgUserMgrForms.h"

class CDlgModifyUserInfor : public CAccountDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 164;
  enum ControlId {
    IDC_GROUP_INFO = 1314, IDC_LABEL_NAME = 3577, IDC_LABEL_OLD = 3578, IDC_LABEL_PASSWORD = 3579,
    IDC_LABEL_CONFIRM = 3580, IDC_GROUP_IDENTITY = 3581, IDC_NAME = 1402, IDC_OLD = 1403,
    IDC_PASSWORD = 4604, IDC_CONFIRM = 4607, IDC_ADMIN = 4610, IDC_USER = 4612, IDC_OK = 1, IDC_CANCEL = 2
  };

  explicit CDlgModifyUserInfor(QWidget* parent = nullptr);

  // Inputs, set before DoModal.
  void SetName(const std::u16string& name) { m_name = name; }
  void SetIdentity(const std::u16string& identity) { m_identity = identity; }
  void SetOldPassword(const std::u16string& password) { m_oldPassword = password; }
  // Results, valid after IDOK.
  std::u16string NewPassword() const { return m_newPassword; }
  std::u16string Identity() const { return m_identity; }

  void OnOK() override;

 protected:
  bool OnInitDialog() override;

 private:
  QLineEdit* m_nameEdit;
  QLineEdit* m_oldEdit;
  std::u16string m_name, m_identity, m_oldPassword, m_newPassword;
};
