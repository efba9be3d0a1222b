#pragma once
// Tree controls of the device and group trees: the image list they share, the item data they
// carry, and the adapter through which the device manager's builders fill a QTreeWidget.
#include <QIcon>
#include <QTreeWidget>
#include <vector>

#include "devices/DevMgrModel.h"

// Item data roles: the node pointer (DeviceTreeNode* or GroupTreeNode*; 0 for channel items)
// and the image index of the image list.
constexpr int kTreeNodeRole = Qt::UserRole;
constexpr int kTreeImageRole = Qt::UserRole + 1;
// A channel item's channel number (1-based); absent on other items.
constexpr int kTreeChannelRole = Qt::UserRole + 2;

// The image list of the device trees: bitmap 161 cut in 18-pixel images, white masked.
const std::vector<QIcon>& TreeImageList();
void SetTreeItemImage(QTreeWidgetItem* item, int image);
int TreeItemImage(const QTreeWidgetItem* item);

DeviceTreeNode* DeviceNodeOf(const QTreeWidgetItem* item);
GroupTreeNode* GroupNodeOf(const QTreeWidgetItem* item);
// The channel number of a channel item of a device tree; 0 for any other item.
int ChannelNumberOf(const QTreeWidgetItem* item);

// From a Reset to the Finish of a build, the items are made outside the control and given
// to it in one step: a control told of each item as it came spent most of a build telling
// its view.
class CTreeCtrlTarget : public ITreeTarget {
 public:
  explicit CTreeCtrlTarget(QTreeWidget* tree) : tree_(tree) {}
  ~CTreeCtrlTarget() override { Finish(); }
  CTreeCtrlTarget(const CTreeCtrlTarget&) = delete;
  CTreeCtrlTarget& operator=(const CTreeCtrlTarget&) = delete;
  void Reset() override;
  Item Insert(Item parent, const std::u16string& text, int image, void* data, bool sorted) override;
  void Expand(Item item) override;
  Item FirstRoot() const override;
  void SetChannel(Item item, int channel) override;
  void Finish() override;

 private:
  QTreeWidget* tree_;
  bool gathering_ = false;
  std::vector<QTreeWidgetItem*> roots_;  // top-level items gathered, in order
};
