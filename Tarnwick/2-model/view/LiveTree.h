#pragma once
// The live page's device tree, group tree and alarm list as the live view's model sees them:
// rows by opaque handle (0 for none) carrying the node data the device manager's tree
// builder gave them (devices/DeviceTreeNodes.h). The page's tree controls implement these
// (view/LiveTreeItems.h); the tests of this floor use rows of their own.
#include <cstdint>
#include <string>

struct DeviceTreeNode;
struct GroupTreeNode;

class ILiveTree {
 public:
  using Row = intptr_t;

  virtual ~ILiveTree() = default;
  virtual int RootCount() const = 0;
  virtual Row Root(int i) const = 0;
  virtual int ChildCount(Row row) const = 0;
  virtual Row Child(Row row, int i) const = 0;
  virtual Row Parent(Row row) const = 0;
  virtual std::u16string Text(Row row) const = 0;
  // The region, server or device of a device-tree row; null for a channel row.
  virtual DeviceTreeNode* DeviceNode(Row row) const = 0;
  // The group or member of a group-tree row.
  virtual GroupTreeNode* GroupNode(Row row) const = 0;
  // The number (1-based) the builder gave a channel row; 0 for any other row.
  virtual int ChannelNumber(Row row) const = 0;
  // The row's image in the trees' image list.
  virtual void SetImage(Row row, int image) = 0;
  // The selected row; setting 0 clears the selection.
  virtual Row Current() const = 0;
  virtual void SetCurrent(Row row) = 0;
};

// The alarm list: a time and an event text per row, the newest on top.
class IAlarmRows {
 public:
  virtual ~IAlarmRows() = default;
  virtual int Count() const = 0;
  virtual void Clear() = 0;
  virtual void InsertTop(const std::u16string& time, const std::u16string& text) = 0;
};
