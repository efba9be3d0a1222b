#pragma once
// The records behind the device manager's trees: regions and their hierarchy, the item data
// of device-tree and group-tree items, channel groups and their members.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CDevice;

// One region, the columns of Tb_Region in their order.
class CRegionInfo {
 public:
  CRegionInfo() = default;
  CRegionInfo(std::u16string name, std::u16string guid, std::u16string parentGuid)
      : Name(std::move(name)), Guid(std::move(guid)), ParentGuid(std::move(parentGuid)) {}
  std::u16string Name;
  std::u16string Guid;
  std::u16string ParentGuid;  // empty for the root
};

// Item data of a device-tree item. Channel items carry none (item data 0).
struct DeviceTreeNode {
  static constexpr int32_t kRegion = 16;
  static constexpr int32_t kStreamServer = 32;
  static constexpr int32_t kDevice = 48;
  static constexpr int32_t kOther = 0;  // a device of an unknown type: listed, never shown

  int32_t type = kOther;
  void* object = nullptr;  // CRegionInfo* for regions, CDevice* otherwise

  CRegionInfo* Region() const { return type == kRegion ? static_cast<CRegionInfo*>(object) : nullptr; }
  CDevice* Device() const { return type == kRegion ? nullptr : static_cast<CDevice*>(object); }
};

// One channel group.
class CGroupInfo {
 public:
  CGroupInfo() = default;
  CGroupInfo(std::u16string name, std::u16string guid) : Name(std::move(name)), Guid(std::move(guid)) {}
  std::u16string Name;
  std::u16string Guid;
};

// One member of a group: a channel of a device, both named by GUID.
class CGroupMemberInfo {
 public:
  int32_t Chn = 0;
  std::u16string Guid;     // the group's
  std::u16string DevGuid;  // the device's
};

// Item data of a group-tree item.
struct GroupTreeNode {
  static constexpr int32_t kGroup = 16;
  static constexpr int32_t kMember = 0;

  int32_t type = kGroup;
  std::u16string text;  // the group's name, or the member's name
  void* record = nullptr;  // CGroupInfo* or CGroupMemberInfo*
  GroupTreeNode* group = nullptr;  // a member's group node, once it is shown under it

  CGroupInfo* Group() const { return type == kGroup ? static_cast<CGroupInfo*>(record) : nullptr; }
  CGroupMemberInfo* Member() const {
    return type == kMember ? static_cast<CGroupMemberInfo*>(record) : nullptr;
  }
};

// The region hierarchy: an ordered tree of regions keyed by name with one root. It does not
// own the records.
class CRegionHierarchy {
 public:
  struct Entry {
    std::u16string name;
    CRegionInfo* region = nullptr;
    Entry* parent = nullptr;
    std::vector<std::unique_ptr<Entry>> children;  // in the order they were added
  };

  bool Empty() const { return !root_; }
  Entry* Root() const { return root_.get(); }
  Entry* Find(const std::u16string& name) const;
  // The first region becomes the root; later ones need a parent entry.
  Entry* SetRoot(CRegionInfo* region);
  Entry* AddChild(Entry* parent, CRegionInfo* region);
  // Every entry, each before its children, children in their order.
  std::vector<Entry*> PreOrder() const;
  // Drops an entry without children (the root: the hierarchy becomes empty).
  bool RemoveLeaf(Entry* entry);
  void Clear() { root_.reset(); }

 private:
  std::unique_ptr<Entry> root_;
};
