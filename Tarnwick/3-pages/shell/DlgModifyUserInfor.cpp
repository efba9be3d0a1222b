#include "shell/DlgModifyUserInfor.h"

#include "shell/DlgUserMgrController.h"
#include "shell/DlgUserMgrForms.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/UiService.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "shell/UserStore.h"

using namespace forms;

CDlgModifyUserInfor::CDlgModifyUserInfor(QWidget* parent)
    : CAccountDialog(kTemplateId, parent, {IDC_GROUP_INFO, IDC_GROUP_IDENTITY, IDC_ADMIN, IDC_USER},
                     {{IDC_LABEL_NAME, IDS_USER_NAME, IDC_NAME, false},
                      {IDC_LABEL_OLD, IDS_OLD_PASSWORD, IDC_OLD, true},
                      {IDC_LABEL_PASSWORD, IDS_PASSWORD, IDC_PASSWORD, true},
                      {IDC_LABEL_CONFIRM, IDS_CONFIRM, IDC_CONFIRM, true}},
                     false),
      m_nameEdit(m_edits[0]),
      m_oldEdit(m_edits[1]) {}

bool CDlgModifyUserInfor::OnInitDialog() {
  CQxDialog::OnInitDialog();
  setWindowTitle(Text(IDS_MODIFY_USER));
  const bool admin = m_identity == LoadResString(IDS_IDENTITY_ADMIN);
  (admin ? m_admin : m_user)->setChecked(true);
  // The level cannot be changed here.
  m_admin->setEnabled(false);
  m_user->setEnabled(false);
  m_passwordEdit->setToolTip(Text(IDS_PASSWORD_LENGTH));
  m_confirmEdit->setToolTip(Text(IDS_PASSWORD_LENGTH));
  m_nameEdit->setText(QString::fromStdU16String(m_name));
  // Another account's password is never shown.
  m_oldEdit->setText(QString::fromStdU16String(m_oldPassword));
  m_nameEdit->setEnabled(false);
  m_oldEdit->setEnabled(false);
  m_passwordEdit->setFocus();
  FilterKeysOfChildren(this);
  return true;
}

void CDlgModifyUserInfor::OnOK() {
  const std::u16string password = m_passwordEdit->text().toStdU16String();
  if (!Passed(CheckNewPassword(password, m_confirmEdit->text().toStdU16String()))) return;
  m_newPassword = password;
  m_identity = ChosenIdentity();
  EndDialog(IDOK);
}
