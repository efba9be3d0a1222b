#include "shell/DlgModifyUserInfor.h"

#include "controls/BitmapButtonEx.h"
#include "shell/DlgUserMgrController.h"
#include "shell/DlgUserMgrForms.h"
#include "shell/Language.h"
#include "shell/UiService.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "shell/UserStore.h"

using namespace forms;

namespace {
constexpr uint32_t IDS_MODIFY_USER = 8481, IDS_USER_INFO = 8357, IDS_USER_NAME = 8057, IDS_OLD_PASSWORD = 8480,
                   IDS_PASSWORD = 8062, IDS_CONFIRM = 8128, IDS_USER_IDENTITY = 8358, IDS_OK = 8004,
                   IDS_CANCEL = 8006, IDS_PASSWORD_LENGTH = 8229;
}

CDlgModifyUserInfor::CDlgModifyUserInfor(QWidget* parent) : CQxDialog(kTemplateId, parent) {
  setObjectName(QString::number(kTemplateId));
  resize(312, 242);
  Group(this, IDC_GROUP_INFO, IDS_USER_INFO, QRect(0, 4, 298, 140));
  Label(this, IDC_LABEL_NAME, IDS_USER_NAME, QRect(10, 26, 140, 22));
  Label(this, IDC_LABEL_OLD, IDS_OLD_PASSWORD, QRect(10, 54, 140, 22));
  Label(this, IDC_LABEL_PASSWORD, IDS_PASSWORD, QRect(10, 82, 140, 22));
  Label(this, IDC_LABEL_CONFIRM, IDS_CONFIRM, QRect(10, 110, 140, 22));
  m_nameEdit = Edit(this, IDC_NAME, QRect(150, 26, 140, 22), USER_NAME_MAX_LENGTH, false);
  m_oldEdit = Edit(this, IDC_OLD, QRect(150, 54, 140, 22), PASSWORD_MAX_LENGTH, true);
  m_passwordEdit = Edit(this, IDC_PASSWORD, QRect(150, 82, 140, 22), PASSWORD_MAX_LENGTH, true);
  m_confirmEdit = Edit(this, IDC_CONFIRM, QRect(150, 110, 140, 22), PASSWORD_MAX_LENGTH, true);
  Group(this, IDC_GROUP_IDENTITY, IDS_USER_IDENTITY, QRect(0, 150, 298, 50));
  m_admin = Radio(this, IDC_ADMIN, IDS_IDENTITY_ADMIN, QRect(20, 170, 130, 22));
  m_user = Radio(this, IDC_USER, IDS_IDENTITY_USER, QRect(160, 170, 130, 22));
  m_ok = TextButton(this, IDC_OK, IDS_OK, QPoint(48, 208));
  m_cancel = TextButton(this, IDC_CANCEL, IDS_CANCEL, QPoint(168, 208));
  connect(m_ok, &QAbstractButton::clicked, this, &CDlgModifyUserInfor::OnOK);
  connect(m_cancel, &QAbstractButton::clicked, this, [this] { EndDialog(IDCANCEL); });
}

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
  PasswordCheck check = CheckNewPassword(password, m_confirmEdit->text().toStdU16String());
  if (check.notice) {
    Notice(check.notice);
    if (check.clearPasswords) {
      m_passwordEdit->clear();
      m_confirmEdit->clear();
      m_passwordEdit->setFocus();
    }
    return;
  }
  m_newPassword = password;
  m_identity = LoadResString(m_user->isChecked() ? IDS_IDENTITY_USER : IDS_IDENTITY_ADMIN);
  EndDialog(IDOK);
}

bool CDlgModifyUserInfor::eventFilter(QObject* watched, QEvent* e) {
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
