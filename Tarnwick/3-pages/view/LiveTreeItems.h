#pragma once
// The live view model's rows (view/LiveTree.h) as the items of the page's tree controls: a
// row is its item, and its node data, channel number and image are those the device
// manager's tree builder keeps in the item (devices/TreeCtrlTarget.h). Nothing is copied: the
// model reads and marks the items the page shows.
#include <QTreeWidget>

#include "view/LiveTree.h"

class CLiveTreeItems : public ILiveTree {
 public:
  explicit CLiveTreeItems(QTreeWidget* tree) : tree_(tree) {}

  static Row RowOf(const QTreeWidgetItem* item) { return reinterpret_cast<Row>(item); }
  static QTreeWidgetItem* ItemOf(Row row) { return reinterpret_cast<QTreeWidgetItem*>(row); }

  int RootCount() const override;
  Row Root(int i) const override;
  int ChildCount(Row row) const override;
  Row Child(Row row, int i) const override;
  Row Parent(Row row) const override;
  std::u16string Text(Row row) const override;
  DeviceTreeNode* DeviceNode(Row row) const override;
  GroupTreeNode* GroupNode(Row row) const override;
  int ChannelNumber(Row row) const override;
  void SetImage(Row row, int image) override;
  Row Current() const override;
  void SetCurrent(Row row) override;

 private:
  QTreeWidget* tree_;
};

// The alarm list's rows: the time in column 0, the event in column 1.
class CAlarmListItems : public IAlarmRows {
 public:
  explicit CAlarmListItems(QTreeWidget* list) : list_(list) {}

  int Count() const override;
  void Clear() override;
  void InsertTop(const std::u16string& time, const std::u16string& text) override;

 private:
  QTreeWidget* list_;
};
