#include "controls/ListCtrlEx.h"

#include <QKeyEvent>
#include <QPainter>

#include "controls/WindowMessages.h"

CHeaderCtrlEx::CHeaderCtrlEx(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(false);
  setHighlightSections(false);
}

void CHeaderCtrlEx::paintEvent(QPaintEvent* e) {
  {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), CListCtrlEx::kBandColor);
  }
  QHeaderView::paintEvent(e);
}

void CHeaderCtrlEx::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  painter->save();
  painter->fillRect(rect, CListCtrlEx::kBandColor);
  painter->setPen(QColor(120, 127, 144));
  painter->drawLine(rect.topRight(), rect.bottomRight());
  painter->drawLine(rect.bottomLeft(), rect.bottomRight());
  painter->setPen(Qt::black);
  QString text = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
  QRect textRect = rect.adjusted(4, 0, -4, 0);
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
  painter->restore();
}

CListCtrlEx::CListCtrlEx(QWidget* parent) : QTreeWidget(parent), header_(new CHeaderCtrlEx(this)) {
  setHeader(header_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setTextElideMode(Qt::ElideRight);
  setColumnCount(0);
  QPalette pal = palette();
  // The view paints selected cells in the highlight itself: the same colour as the rest of the row.
  pal.setColor(QPalette::Highlight, kSelectedColor);
  pal.setColor(QPalette::HighlightedText, Qt::white);
  setPalette(pal);
}

void CListCtrlEx::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  // Odd rows are banded; selected rows take the selection colour over their whole width.
  QRect full(0, option.rect.y(), viewport()->width(), option.rect.height());
  if (selectionModel() && selectionModel()->isSelected(index))
    painter->fillRect(full, kSelectedColor);
  else if (index.row() % 2 == 1)
    painter->fillRect(full, kBandColor);
  QStyleOptionViewItem opt = option;
  opt.state &= ~QStyle::State_Selected;
  if (selectionModel() && selectionModel()->isSelected(index)) {
    // The cells the view paints as selected take the row's colour too.
    opt.palette.setColor(QPalette::Text, Qt::white);
    opt.palette.setColor(QPalette::Highlight, kSelectedColor);
  }
  opt.state &= ~QStyle::State_HasFocus;
  QTreeWidget::drawRow(painter, opt, index);
}

void CListCtrlEx::keyPressEvent(QKeyEvent* e) {
  // No keyboard navigation at all; Esc still reaches the page.
  if (e->key() == Qt::Key_Escape) PostEscapeTo(parentWidget());
  e->accept();
}

int CListCtrlEx::InsertColumn(int column, const QString& heading, int width) {
  const int count = columnCount();
  column = std::clamp(column, 0, count);
  QStringList labels;
  for (int i = 0; i < count; ++i) labels << headerItem()->text(i);
  labels.insert(column, heading);
  setColumnCount(count + 1);
  setHeaderLabels(labels);
  // Existing rows get an empty cell in the new column.
  for (int r = 0; r < topLevelItemCount(); ++r) {
    QTreeWidgetItem* it = topLevelItem(r);
    for (int c = count; c > column; --c) it->setText(c, it->text(c - 1));
    it->setText(column, QString());
  }
  setColumnWidth(column, width);
  return column;
}

int CListCtrlEx::InsertItem(int row, const QString& text) {
  row = std::clamp(row, 0, topLevelItemCount());
  auto* item = new QTreeWidgetItem;
  item->setText(0, text);
  insertTopLevelItem(row, item);
  return row;
}

bool CListCtrlEx::SetItemText(int row, int column, const QString& text) {
  QTreeWidgetItem* it = topLevelItem(row);
  if (!it || column < 0 || column >= columnCount()) return false;
  it->setText(column, text);
  return true;
}

QString CListCtrlEx::GetItemText(int row, int column) const {
  QTreeWidgetItem* it = topLevelItem(row);
  return it ? it->text(column) : QString();
}

bool CListCtrlEx::SetItemData(int row, intptr_t data) {
  QTreeWidgetItem* it = topLevelItem(row);
  if (!it) return false;
  it->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(data));
  return true;
}

intptr_t CListCtrlEx::GetItemData(int row) const {
  QTreeWidgetItem* it = topLevelItem(row);
  return it ? static_cast<intptr_t>(it->data(0, Qt::UserRole).toLongLong()) : 0;
}

bool CListCtrlEx::DeleteItem(int row) {
  QTreeWidgetItem* it = topLevelItem(row);
  if (!it) return false;
  delete takeTopLevelItem(row);
  return true;
}

int CListCtrlEx::GetSelectedRow() const {
  QList<QTreeWidgetItem*> sel = selectedItems();
  return sel.isEmpty() ? -1 : indexOfTopLevelItem(sel.first());
}

void CListCtrlEx::SelectRow(int row) {
  clearSelection();
  if (QTreeWidgetItem* it = topLevelItem(row)) it->setSelected(true);
}
