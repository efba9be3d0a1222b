#include "view/LiveTreeItems.h"

#include "devices/TreeCtrlTarget.h"

using Row = ILiveTree::Row;

int CLiveTreeItems::RootCount() const { return tree_ ? tree_->topLevelItemCount() : 0; }

Row CLiveTreeItems::Root(int i) const { return tree_ ? RowOf(tree_->topLevelItem(i)) : 0; }

int CLiveTreeItems::ChildCount(Row row) const { return row ? ItemOf(row)->childCount() : 0; }

Row CLiveTreeItems::Child(Row row, int i) const { return row ? RowOf(ItemOf(row)->child(i)) : 0; }

Row CLiveTreeItems::Parent(Row row) const { return row ? RowOf(ItemOf(row)->parent()) : 0; }

std::u16string CLiveTreeItems::Text(Row row) const {
  return row ? ItemOf(row)->text(0).toStdU16String() : std::u16string();
}

DeviceTreeNode* CLiveTreeItems::DeviceNode(Row row) const { return DeviceNodeOf(ItemOf(row)); }

GroupTreeNode* CLiveTreeItems::GroupNode(Row row) const { return GroupNodeOf(ItemOf(row)); }

int CLiveTreeItems::ChannelNumber(Row row) const { return ChannelNumberOf(ItemOf(row)); }

void CLiveTreeItems::SetImage(Row row, int image) { SetTreeItemImage(ItemOf(row), image); }

Row CLiveTreeItems::Current() const { return tree_ ? RowOf(tree_->currentItem()) : 0; }

void CLiveTreeItems::SetCurrent(Row row) {
  if (tree_) tree_->setCurrentItem(ItemOf(row));
}

int CAlarmListItems::Count() const { return list_ ? list_->topLevelItemCount() : 0; }

void CAlarmListItems::Clear() {
  if (list_) list_->clear();
}

void CAlarmListItems::InsertTop(const std::u16string& time, const std::u16string& text) {
  if (!list_) return;
  auto* row = new QTreeWidgetItem;
  row->setText(0, QString::fromStdU16String(time));
  row->setText(1, QString::fromStdU16String(text));
  list_->insertTopLevelItem(0, row);
}
