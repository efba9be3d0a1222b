#include "shell/DlgAddUser.h"

#include "controls/BitmapButtonEx.h"
#include "shell/DlgUserMgrController.h"
#include "shell/DlgUserMgrForms.h"
#include "shell/Language.h"
#include "shell/UiService.h"
#include "shell/UserRights.h"

using namespace forms;

namespace {
constexpr uint32_t IDS_ADD_USER = 8181, IDS_USER_INFO = 8357, IDS_USER_NAME = 8057, IDS_PASSWORD = 8062,
                   IDS_CONFIRM = 8128, IDS_USER_IDENTITY = 8358, IDS_OK = 8004, IDS_CANCEL = 8006,
                   IDS_NAME_EMPTY = 8220, IDS_PASSWORD_LENGTH = 8229;
}

CDlgAddUser::CDlgAddUser(QWidget* parent) : CQxDialog(kTemplateId, parent) {
  setObjectName(QString::number(kTemplateId));
  resize(312, 214);
  Group(this, IDC_GROUP_INFO, IDS_USER_INFO, QRect(0, 4, 298, 112));
  Label(this, IDC_LABEL_NAME, IDS_USER_NAME, QRect(10, 26, 140, 22));
  Label(this, IDC_LABEL_PASSWORD, IDS_PASSWORD, QRect(10, 54, 140, 22));
  Label(this, IDC_LABEL_CONFIRM, IDS_CONFIRM, QRect(10, 82, 140, 22));
  m_nameEdit = Edit(this, IDC_NAME, QRect(150, 26, 140, 22), USER_NAME_MAX_LENGTH, false);
  m_passwordEdit = Edit(this, IDC_PASSWORD, QRect(150, 54, 140, 22), PASSWORD_MAX_LENGTH, true);
  m_confirmEdit = Edit(this, IDC_CONFIRM, QRect(150, 82, 140, 22), PASSWORD_MAX_LENGTH, true);
  Group(this, IDC_GROUP_IDENTITY, IDS_USER_IDENTITY, QRect(0, 122, 298, 50));
  m_admin = Radio(this, IDC_ADMIN, IDS_IDENTITY_ADMIN, QRect(20, 142, 130, 22));
  m_user = Radio(this, IDC_USER, IDS_IDENTITY_USER, QRect(160, 142, 130, 22));
  m_ok = TextButton(this, IDC_OK, IDS_OK, QPoint(48, 180));
  m_cancel = TextButton(this, IDC_CANCEL, IDS_CANCEL, QPoint(168, 180));
  connect(m_ok, &QAbstractButton::clicked, this, &CDlgAddUser::OnOK);
  connect(m_cancel, &QAbstractButton::clicked, this, [this] { EndDialog(IDCANCEL); });
}

bool CDlgAddUser::OnInitDialog() {
  CQxDialog::OnInitDialog();
  setWindowTitle(Text(IDS_ADD_USER));
  for (QLineEdit* e : {m_nameEdit, m_passwordEdit, m_confirmEdit}) e->clear();
  m_nameEdit->setToolTip(Text(IDS_NAME_EMPTY));
  m_passwordEdit->setToolTip(Text(IDS_PASSWORD_LENGTH));
  m_user->setChecked(true);
  m_nameEdit->setFocus();
  FilterKeysOfChildren(this);
  return true;
}

void CDlgAddUser::OnOK() {
  const std::u16string name = TrimmedName(m_nameEdit->text().toStdU16String());
  const std::u16string password = m_passwordEdit->text().toStdU16String();
  PasswordCheck check = CheckNewUser(name, password, m_confirmEdit->text().toStdU16String());
  if (check.notice) {
    Notice(check.notice);
    if (check.clearPasswords) {
      m_passwordEdit->clear();
      m_confirmEdit->clear();
      m_passwordEdit->setFocus();
    }
    return;
  }
  m_name = name;
  m_password = password;
  m_identity = LoadResString(m_user->isChecked() ? IDS_IDENTITY_USER : IDS_IDENTITY_ADMIN);
  EndDialog(IDOK);
}

bool CDlgAddUser::eventFilter(QObject* watched, QEvent* e) {
  switch (KeyOf(e)) {
    case DialogKey::Escape: return true;
    case DialogKey::Enter:
      if (watched == m_cancel)
        EndDialog(IDCANCEL);
      else
        OnOK();
      return true;
    default: return CQxDialog::eventFilter(watched, e);
  }
}
