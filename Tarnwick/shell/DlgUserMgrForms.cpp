#include "shell/DlgUserMgrForms.h"

#include <QKeyEvent>

#include "controls/BitmapButtonEx.h"
#include "shell/Language.h"
#include "shell/UiService.h"

namespace forms {

namespace {

constexpr int kButtonNormal = 6895, kButtonHover = 6896, kButtonPressed = 6897;

template <class W>
W* Named(W* w, int id, const QRect& r) {
  w->setObjectName(QString::number(id));
  w->setGeometry(r);
  return w;
}

}  // namespace

QString Text(uint32_t id) { return QString::fromStdU16String(LoadResString(id)); }

void Notice(uint32_t id) { UiService().Notice(LoadResString(id)); }

QGroupBox* Group(QWidget* parent, int id, uint32_t textId, const QRect& r) {
  return Named(new QGroupBox(Text(textId), parent), id, r);
}

QLabel* Label(QWidget* parent, int id, uint32_t textId, const QRect& r) {
  return Named(new QLabel(Text(textId), parent), id, r);
}

QLineEdit* Edit(QWidget* parent, int id, const QRect& r, int maxLength, bool password) {
  auto* e = Named(new QLineEdit(parent), id, r);
  e->setMaxLength(maxLength);
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
  b->setObjectName(QString::number(id));
  b->setText(Text(textId));
  b->LoadImageResources(kButtonNormal, kButtonHover, kButtonPressed, 0, 0, 1);
  b->SizeToImage();
  b->move(pos);
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
