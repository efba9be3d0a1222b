#include "controls/CheckComboBox.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QStylePainter>

namespace {

// Draws each list item with a check box before its text.
class CheckItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const bool selected = opt.state & QStyle::State_Selected;
    p->fillRect(opt.rect, opt.palette.color(selected ? QPalette::Highlight : QPalette::Base));
    const int box = opt.fontMetrics.height() + 6;
    QStyleOptionButton check;
    check.rect = QRect(opt.rect.left(), opt.rect.top() + 1, box, opt.rect.height() - 2);
    check.state = QStyle::State_Enabled | (index.data(CCheckComboBox::kCheckRole).toInt() ? QStyle::State_On
                                                                                             : QStyle::State_Off);
    QStyle* style = opt.widget ? opt.widget->style() : nullptr;
    if (style) style->drawControl(QStyle::CE_CheckBox, &check, p, opt.widget);
    QRect textRect = opt.rect.adjusted(box, 0, 0, 0);
    p->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    QString text = QLatin1Char(' ') + index.data(Qt::DisplayRole).toString();
    p->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                opt.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    s.setHeight(option.fontMetrics.height() + option.fontMetrics.leading() + 2);
    return s;
  }
};

}  // namespace

CCheckComboBox::CCheckComboBox(QWidget* parent) : QComboBox(parent) {
  setItemDelegate(new CheckItemDelegate(this));
  view()->viewport()->installEventFilter(this);
  view()->installEventFilter(this);
}

QString CCheckComboBox::ListSeparator() {
  // The locale gives no list separator of its own here; the customary one.
  return QStringLiteral(";");
}

int CCheckComboBox::AddString(const QString& text) {
  addItem(text);
  setItemData(count() - 1, 0, kCheckRole);
  joinedCurrent_ = false;
  return count() - 1;
}

int CCheckComboBox::SetCheck(int index, bool checked) {
  if (index < 0 || index >= count()) return -1;
  setItemData(index, checked ? 1 : 0, kCheckRole);
  joinedCurrent_ = false;
  update();
  return 0;
}

int CCheckComboBox::GetCheck(int index) const {
  if (index < 0 || index >= count()) return -1;
  return itemData(index, kCheckRole).toInt();
}

QString CCheckComboBox::GetWindowText() const {
  if (!joinedCurrent_) {
    const QString sep = ListSeparator().trimmed() + QLatin1Char(' ');
    QStringList parts;
    for (int i = 0; i < count(); ++i)
      if (itemData(i, kCheckRole).toInt()) parts << itemText(i);
    joined_ = parts.join(sep);
    joinedCurrent_ = true;
  }
  return joined_;
}

void CCheckComboBox::Toggle(int index) {
  if (index < 0 || index >= count()) return;
  SetCheck(index, GetCheck(index) == 0);
  view()->viewport()->update();
  emit selChange(index);
}

void CCheckComboBox::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionComboBox opt;
  initStyleOption(&opt);
  opt.currentText = GetWindowText();
  p.drawComplexControl(QStyle::CC_ComboBox, opt);
  p.drawControl(QStyle::CE_ComboBoxLabel, opt);
}

bool CCheckComboBox::eventFilter(QObject* watched, QEvent* e) {
  if (watched == view()->viewport()) {
    if (e->type() == QEvent::MouseButtonPress) {
      auto* me = static_cast<QMouseEvent*>(e);
      QModelIndex idx = view()->indexAt(me->position().toPoint());
      if (idx.isValid()) Toggle(idx.row());
      return true;
    }
    // The list stays open: releases never pick an item.
    if (e->type() == QEvent::MouseButtonRelease || e->type() == QEvent::MouseButtonDblClick) return true;
  } else if (watched == view() && e->type() == QEvent::KeyPress) {
    auto* ke = static_cast<QKeyEvent*>(e);
    if (ke->key() == Qt::Key_Space) {
      Toggle(view()->currentIndex().row());
      return true;
    }
  }
  return QComboBox::eventFilter(watched, e);
}
