#include "shell/DlgAddUser.h"

#include "shell/DlgUserMgrController.h"
#include "shell/DlgUserMgrForms.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/UiService.h"

using namespace forms;

CDlgAddUser::CDlgAddUser(QWidget* parent)
    : CAccountDialog(kTemplateId, parent, {IDC_GROUP_INFO, IDC_GROUP_IDENTITY, IDC_ADMIN, IDC_USER},
                     {{IDC_LABEL_NAME, IDS_USER_NAME, IDC_NAME, false},
                      {IDC_LABEL_PASSWORD, IDS_PASSWORD, IDC_PASSWORD, true},
                      {IDC_LABEL_CONFIRM, IDS_CONFIRM, IDC_CONFIRM, true}},
                     true),
      m_nameEdit(m_edits[0]) {}

bool CDlgAddUser::OnInitDialog() {
  CQxDialog::OnInitDialog();
  setWindowTitle(Text(IDS_ADD_USER));
  for (QLineEdit* e : {m_nameEdit, m_passwordEdit, m_confirmEdit}) e->clear();
  m_nameEdit->setToolTip(Text(IDS_USER_NAME_EMPTY));
  m_passwordEdit->setToolTip(Text(IDS_PASSWORD_LENGTH));
  m_user->setChecked(true);
  m_nameEdit->setFocus();
  FilterKeysOfChildren(this);
  return true;
}

void CDlgAddUser::OnOK() {
  const std::u16string name = TrimmedName(m_nameEdit->text().toStdU16String());
  const std::u16string password = m_passwordEdit->text().toStdU16String();
  if (!Passed(CheckNewUser(name, password, m_confirmEdit->text().toStdU16String()))) return;
  m_name = name;
  m_password = password;
  m_identity = ChosenIdentity();
  EndDialog(IDOK);
}
