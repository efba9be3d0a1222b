#include "controls/EditEx.h"

#include <QKeyEvent>

CEditEx::CEditEx(QWidget* parent) : QLineEdit(parent) {}

long long CEditEx::LeadingNumber(const QString& text) {
  long long v = 0;
  for (QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) break;
    v = v * 10 + (c.unicode() - '0');
    if (v > INT_MAX) return static_cast<long long>(INT_MAX) + 1;  // past any maximum
  }
  return v;
}

void CEditEx::keyPressEvent(QKeyEvent* e) {
  const QString typed = e->text();
  const bool isChar = !typed.isEmpty() && (typed.at(0).isPrint() || typed.at(0) == QChar(8));
  if (number_ && isChar && typed.at(0).isPrint() && !typed.at(0).isDigit()) {
    e->accept();  // the number style takes digits only
    return;
  }
  QLineEdit::keyPressEvent(e);
  // After the keys that make a character (Backspace among them), not after Delete.
  if (number_ && (isChar || e->key() == Qt::Key_Backspace)) Clamp();
}

void CEditEx::Clamp() {
  const long long v = LeadingNumber(text());
  int bound;
  if (v > max_)
    bound = max_;
  else if (v < min_)
    bound = min_;
  else
    return;
  setText(QString::number(bound));
  selectAll();
}
