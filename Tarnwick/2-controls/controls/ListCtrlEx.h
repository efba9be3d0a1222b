#pragma once
// A report list with banded rows and a skinned header. Takes no keys: Esc goes up to the
// parent, everything else is swallowed.
#include <QHeaderView>
#include <QTreeWidget>
#include <cstdint>

class CHeaderCtrlEx : public QHeaderView {
  Q_OBJECT
 public:
  explicit CHeaderCtrlEx(QWidget* parent = nullptr);

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
  void paintEvent(QPaintEvent* e) override;
};

class CListCtrlEx : public QTreeWidget {
  Q_OBJECT
 public:
  static inline const QColor kBandColor{168, 175, 192};
  static inline const QColor kSelectedColor{0, 0, 255};

  explicit CListCtrlEx(QWidget* parent = nullptr);

  CHeaderCtrlEx* Header() const { return header_; }

  // The list operations the pages use, by row and column index.
  int InsertColumn(int column, const QString& heading, int width);
  int InsertItem(int row, const QString& text);
  bool SetItemText(int row, int column, const QString& text);
  QString GetItemText(int row, int column) const;
  bool SetItemData(int row, intptr_t data);
  intptr_t GetItemData(int row) const;
  int GetItemCount() const { return topLevelItemCount(); }
  bool DeleteItem(int row);
  void DeleteAllItems() { clear(); }
  int GetSelectedRow() const;  // -1 when none
  void SelectRow(int row);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  CHeaderCtrlEx* header_;
};
