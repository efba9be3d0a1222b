#include "shell/DlgModifyPwd.h"

#include <QLineEdit>

#include "plat/controlid.h"
#include "shell/DlgUserMgrController.h"
#include "shell/DlgUserMgrForms.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"

using namespace forms;

CDlgModifyPwd::CDlgModifyPwd(QWidget* parent) : CQxDialog(kTemplateId, parent) {
  plat::Named(this, kTemplateId);
  resize(312, 160);
  Group(this, IDC_GROUP, IDS_USER_INFO, QRect(0, 4, 298, 112));
  Label(this, IDC_LABEL_OLD, IDS_OLD_PASSWORD, QRect(10, 26, 140, 22));
  Label(this, IDC_LABEL_NEW, IDS_PASSWORD, QRect(10, 54, 140, 22));
  Label(this, IDC_LABEL_CONFIRM, IDS_CONFIRM, QRect(10, 82, 140, 22));
  m_old = Edit(this, IDC_OLD, QRect(150, 26, 140, 22), PASSWORD_MAX_LENGTH, true);
  m_new = Edit(this, IDC_NEW, QRect(150, 54, 140, 22), PASSWORD_MAX_LENGTH, true);
  m_confirm = Edit(this, IDC_CONFIRM, QRect(150, 82, 140, 22), PASSWORD_MAX_LENGTH, true);
  m_ok = PlainButton(this, IDC_OK, IDS_OK, QPoint(48, 126));
  m_cancel = PlainButton(this, IDC_CANCEL, IDS_CANCEL, QPoint(168, 126));
  connect(m_ok, &QAbstractButton::clicked, this, &CDlgModifyPwd::OnModify);
  connect(m_cancel, &QAbstractButton::clicked, this, [this] { EndDialog(IDCANCEL); });
}

bool CDlgModifyPwd::OnInitDialog() {
  CQxDialog::OnInitDialog();
  setWindowTitle(Text(IDS_CHANGE_PASSWORD));
  for (QLineEdit* e : {m_old, m_new, m_confirm}) e->setToolTip(Text(IDS_PASSWORD_LENGTH));
  m_old->setFocus();
  FilterKeysOfChildren(this);
  return true;
}

void CDlgModifyPwd::OnModify() {
  switch (ChangeOwnPassword(m_old->text().toStdU16String(), m_new->text().toStdU16String(),
                            m_confirm->text().toStdU16String())) {
    case ChangePasswordResult::NoUser:
    case ChangePasswordResult::NoStore: return;
    case ChangePasswordResult::WrongOld:
      Notice(IDS_WRONG_PASSWORD);
      for (QLineEdit* e : {m_old, m_new, m_confirm}) e->clear();
      m_old->setFocus();
      return;
    case ChangePasswordResult::Mismatch: Notice(IDS_PASSWORDS_DIFFER); return;
    case ChangePasswordResult::BadLength:
      m_new->clear();
      m_confirm->clear();
      m_new->setFocus();
      Notice(IDS_PASSWORD_LENGTH);
      return;
    case ChangePasswordResult::SaveFailed: Notice(IDS_SAVE_FAILED); return;
    case ChangePasswordResult::Changed:
      EndDialog(IDOK);
      Notice(IDS_PASSWORD_CHANGED);
      return;
  }
}

bool CDlgModifyPwd::eventFilter(QObject* watched, QEvent* e) {
  if (KeyOf(e) != DialogKey::Enter) return CQxDialog::eventFilter(watched, e);
  if (watched == m_confirm || watched == m_ok) {
    OnModify();
  } else if (watched == m_cancel) {
    EndDialog(IDCANCEL);
  } else if (auto* w = qobject_cast<QWidget*>(watched)) {
    // Enter moves on to the next control, as Tab does.
    for (QWidget* next = w->nextInFocusChain(); next && next != w; next = next->nextInFocusChain()) {
      if (next->isEnabled() && next->isVisible() && (next->focusPolicy() & Qt::TabFocus)) {
        next->setFocus(Qt::TabFocusReason);
        break;
      }
    }
  }
  return true;
}
