#include "shell/DlgUserMgrForms.h"

#include <QKeyEvent>

#include "controls/BitmapButtonEx.h"
#include "controls/EditLimit.h"
#include "controls/PngResource.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"
#include "shell/UserRights.h"

namespace forms {

namespace {

constexpr int kButtonNormal = 6895, kButtonHover = 6896, kButtonPressed = 6897;
// The account dialogs' grid: rows 28 apart, labels left of the edits.
constexpr int kRowTop = 26, kRowStep = 28, kRowHeight = 22, kGroupWidth = 298;

template <class W>
W* Named(W* w, int id, const QRect& r) {
  plat::Named(w, id);
  w->setGeometry(r);
  return w;
}

}  // namespace

QGroupBox* Group(QWidget* parent, int id, uint32_t textId, const QRect& r) {
  return Named(new QGroupBox(Text(textId), parent), id, r);
}

QLabel* Label(QWidget* parent, int id, uint32_t textId, const QRect& r) {
  return Named(new QLabel(Text(textId), parent), id, r);
}

QLineEdit* Edit(QWidget* parent, int id, const QRect& r, int maxLength, bool password) {
  auto* e = Named(new QLineEdit(parent), id, r);
  LimitTyping(e, maxLength);
  if (password) e->setEchoMode(QLineEdit::Password);
  return e;
}

QRadioButton* Radio(QWidget* parent, int id, uint32_t textId, const QRect& r) {
  return Named(new QRadioButton(Text(textId), parent), id, r);
}

QCheckBox* Check(QWidget* parent, int id, uint32_t textId, const QRect& r) {
  return Named(new QCheckBox(Text(textId), parent), id, r);
}

CBitmapButtonEx* TextButton(QWidget* parent, int id, uint32_t textId, const QPoint& pos) {
  auto* b = new CBitmapButtonEx(parent, id);
  plat::Named(b, id);
  b->setText(Text(textId));
  b->LoadImageResources(kButtonNormal, kButtonHover, kButtonPressed, 0, 0, 1);
  b->SizeToImage();
  b->move(pos);
  return b;
}

QPushButton* PlainButton(QWidget* parent, int id, uint32_t textId, const QPoint& pos) {
  QImage face;
  LoadPngResource(&face, kButtonNormal);
  auto* b = Named(new QPushButton(Text(textId), parent), id, QRect(pos, face.isNull() ? QSize(84, 26) : face.size()));
  b->setAutoDefault(false);
  return b;
}

DialogKey KeyOf(QEvent* e) {
  if (e->type() != QEvent::KeyPress) return DialogKey::None;
  switch (static_cast<QKeyEvent*>(e)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return DialogKey::Enter;
    case Qt::Key_Escape: return DialogKey::Escape;
    default: return DialogKey::None;
  }
}

void FilterKeysOfChildren(QWidget* dialog) {
  dialog->installEventFilter(dialog);
  for (QWidget* w : dialog->findChildren<QWidget*>()) w->installEventFilter(dialog);
}

}  // namespace forms

using namespace forms;

CAccountDialog::CAccountDialog(int templateId, QWidget* parent, const Ids& ids, std::initializer_list<Row> rows,
                               bool swallowEscape)
    : CQxDialog(templateId, parent), m_swallowEscape(swallowEscape) {
  plat::Named(this, templateId);
  const int count = static_cast<int>(rows.size());
  const int infoHeight = kRowTop + kRowStep * count + 2;
  const int identityTop = 4 + infoHeight + 6;
  resize(312, identityTop + 92);
  Group(this, ids.infoGroup, IDS_USER_INFO, QRect(0, 4, kGroupWidth, infoHeight));
  int y = kRowTop;
  for (const Row& row : rows) {
    Label(this, row.labelId, row.textId, QRect(10, y, 140, kRowHeight));
    y += kRowStep;
  }
  y = kRowTop;
  for (const Row& row : rows) {
    const int maxLength = row.password ? PASSWORD_MAX_LENGTH : USER_NAME_MAX_LENGTH;
    m_edits.push_back(Edit(this, row.editId, QRect(150, y, 140, kRowHeight), maxLength, row.password));
    y += kRowStep;
  }
  m_passwordEdit = m_edits[m_edits.size() - 2];
  m_confirmEdit = m_edits.back();
  Group(this, ids.identityGroup, IDS_USER_IDENTITY, QRect(0, identityTop, kGroupWidth, 50));
  m_admin = Radio(this, ids.admin, IDS_IDENTITY_ADMIN, QRect(20, identityTop + 20, 130, kRowHeight));
  m_user = Radio(this, ids.user, IDS_IDENTITY_USER, QRect(160, identityTop + 20, 130, kRowHeight));
  m_ok = PlainButton(this, IDOK, IDS_OK, QPoint(48, identityTop + 58));
  m_cancel = PlainButton(this, IDCANCEL, IDS_CANCEL, QPoint(168, identityTop + 58));
  connect(m_ok, &QAbstractButton::clicked, this, [this] { OnOK(); });
  connect(m_cancel, &QAbstractButton::clicked, this, [this] { EndDialog(IDCANCEL); });
}

bool CAccountDialog::Passed(const PasswordCheck& check) {
  if (!check.notice) return true;
  Notice(check.notice);
  if (check.clearPasswords) {
    m_passwordEdit->clear();
    m_confirmEdit->clear();
    m_passwordEdit->setFocus();
  }
  return false;
}

std::u16string CAccountDialog::ChosenIdentity() const {
  return LoadResString(m_user->isChecked() ? IDS_IDENTITY_USER : IDS_IDENTITY_ADMIN);
}

bool CAccountDialog::eventFilter(QObject* watched, QEvent* e) {
  switch (KeyOf(e)) {
    case DialogKey::Escape:
      if (!m_swallowEscape) EndDialog(IDCANCEL);
      return true;
    case DialogKey::Enter:
      if (watched == m_cancel)
        EndDialog(IDCANCEL);
      else
        OnOK();
      return true;
    default: return CQxDialog::eventFilter(watched, e);
  }
}
