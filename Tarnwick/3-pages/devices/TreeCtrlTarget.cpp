#include "devices/TreeCtrlTarget.h"

#include <QBitmap>
#include <QImage>
#include <QPixmap>

#include "controls/PngResource.h"

namespace {
constexpr int kImageListBitmap = 161;
constexpr int kImageSize = 18;
}  // namespace

const std::vector<QIcon>& TreeImageList() {
  static const std::vector<QIcon> icons = [] {
    std::vector<QIcon> out;
    QImage strip;
    if (!LoadPngResource(&strip, kImageListBitmap)) return out;
    for (int x = 0; x + kImageSize <= strip.width(); x += kImageSize) {
      QPixmap p = QPixmap::fromImage(strip.copy(x, 0, kImageSize, kImageSize));
      p.setMask(p.createMaskFromColor(Qt::white));
      out.emplace_back(p);
    }
    return out;
  }();
  return icons;
}

void SetTreeItemImage(QTreeWidgetItem* item, int image) {
  if (!item) return;
  const auto& icons = TreeImageList();
  item->setData(0, kTreeImageRole, image);
  item->setIcon(0, image >= 0 && image < static_cast<int>(icons.size()) ? icons[image] : QIcon());
}

int TreeItemImage(const QTreeWidgetItem* item) {
  return item ? item->data(0, kTreeImageRole).toInt() : -1;
}

DeviceTreeNode* DeviceNodeOf(const QTreeWidgetItem* item) {
  return item ? reinterpret_cast<DeviceTreeNode*>(item->data(0, kTreeNodeRole).value<quintptr>()) : nullptr;
}

GroupTreeNode* GroupNodeOf(const QTreeWidgetItem* item) {
  return item ? reinterpret_cast<GroupTreeNode*>(item->data(0, kTreeNodeRole).value<quintptr>()) : nullptr;
}

int ChannelNumberOf(const QTreeWidgetItem* item) {
  return item && !DeviceNodeOf(item) ? item->data(0, kTreeChannelRole).toInt() : 0;
}

void CTreeCtrlTarget::SetChannel(Item item, int channel) {
  if (auto* i = reinterpret_cast<QTreeWidgetItem*>(item)) i->setData(0, kTreeChannelRole, channel);
}

void CTreeCtrlTarget::Reset() {
  if (!tree_) return;
  Finish();
  tree_->clear();
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(true);
  tree_->setIconSize(QSize(kImageSize, kImageSize));
  gathering_ = true;
}

void CTreeCtrlTarget::Finish() {
  if (!gathering_) return;
  gathering_ = false;
  if (tree_ && !roots_.empty()) tree_->addTopLevelItems(QList<QTreeWidgetItem*>(roots_.begin(), roots_.end()));
  roots_.clear();
}

ITreeTarget::Item CTreeCtrlTarget::Insert(Item parent, const std::u16string& text, int image, void* data,
                                          bool sorted) {
  if (!tree_) return 0;
  auto* parentItem = reinterpret_cast<QTreeWidgetItem*>(parent);
  const bool gatheredRoot = !parentItem && gathering_;
  auto sibling = [&](int i) {
    return parentItem ? parentItem->child(i) : gatheredRoot ? roots_[size_t(i)] : tree_->topLevelItem(i);
  };
  const int count = parentItem ? parentItem->childCount()
                    : gatheredRoot ? static_cast<int>(roots_.size())
                                   : tree_->topLevelItemCount();
  int at = count;
  if (sorted) {
    for (int i = 0; i < count; ++i) {
      if (TreeTextBefore(text, sibling(i)->text(0).toStdU16String())) {
        at = i;
        break;
      }
    }
  }
  auto* item = new QTreeWidgetItem(QStringList{QString::fromStdU16String(text)});
  // Channel items carry no node: an absent role reads as none, and tens of thousands of
  // them are made at start-up.
  if (data) item->setData(0, kTreeNodeRole, QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(data)));
  SetTreeItemImage(item, image);
  if (parentItem)
    parentItem->insertChild(at, item);
  else if (gatheredRoot)
    roots_.insert(roots_.begin() + at, item);
  else
    tree_->insertTopLevelItem(at, item);
  return reinterpret_cast<Item>(item);
}

void CTreeCtrlTarget::Expand(Item item) {
  Finish();
  if (auto* i = reinterpret_cast<QTreeWidgetItem*>(item)) i->setExpanded(true);
}

ITreeTarget::Item CTreeCtrlTarget::FirstRoot() const {
  if (gathering_) return roots_.empty() ? 0 : reinterpret_cast<Item>(roots_.front());
  return tree_ && tree_->topLevelItemCount() ? reinterpret_cast<Item>(tree_->topLevelItem(0)) : 0;
}
