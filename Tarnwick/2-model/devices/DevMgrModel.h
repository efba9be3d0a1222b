#pragma once
// The data of the device manager page without its widgets: the region hierarchy, the node
// lists behind the device tree and the group tree, the tables Tb_Region and Tb_Group of
// Tarnwick.db, and the filling of any tree control from the node lists. The page is a thin
// widget over this class; its commands change the lists through it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devices/DeviceTreeNodes.h"

class CDevInfo;
class CDeviceManager;

// A tree control as the builders see it: items by opaque handle, 0 for the root.
class ITreeTarget {
 public:
  using Item = intptr_t;
  virtual ~ITreeTarget() = default;
  // Deletes every item and gives the control the page's styles and images.
  virtual void Reset() = 0;
  // Inserts an item as the last child of parent, or, when sorted, before the first sibling
  // whose text sorts after it.
  virtual Item Insert(Item parent, const std::u16string& text, int image, void* data, bool sorted) = 0;
  virtual void Expand(Item item) = 0;
  virtual Item FirstRoot() const = 0;
  // A channel item's number (1-based) travels in the item, never in its localised text.
  virtual void SetChannel(Item item, int channel) = 0;
  // Every item of a build is inserted: a control that gathered them may show them now.
  virtual void Finish() {}
};

// The order of sibling items: case-insensitive by text, as the trees insert them.
bool TreeTextBefore(const std::u16string& a, const std::u16string& b);

class CDevMgrModel {
 public:
  // Images of the tree image list (bitmap 161, 18 pixels each).
  static constexpr int kImageRegion = 0, kImageDevice = 1, kImageChannel = 4, kImageGroup = 8,
                       kImageStreamServer = 10;

  explicit CDevMgrModel(CDeviceManager* devices = nullptr);
  ~CDevMgrModel();  // frees nodes and records; writes nothing
  CDevMgrModel(const CDevMgrModel&) = delete;
  CDevMgrModel& operator=(const CDevMgrModel&) = delete;

  CDeviceManager* Devices();

  // Regions, the device list's Tb_Device, the device nodes, then the groups.
  void LoadAll();
  void LoadRegions();
  void LoadGroups();
  // One node per device of the device list not yet in the node list, in list order.
  void BuildDeviceNodes();

  // One region: the first becomes the root, whatever its parent GUID; a later one needs the
  // GUID of a region added before it as its parent, and a name not yet used, else it is
  // dropped (null).
  DeviceTreeNode* AddRegionNode(const std::u16string& name, const std::u16string& guid,
                                const std::u16string& parentGuid);
  // The name of the first region with that GUID; null when there is none.
  const std::u16string* FindRegionNameByGuid(const std::u16string& guid) const;
  // One row of Tb_Group: a member when deviceGuid is not empty, else a group.
  GroupTreeNode* AddGroupRow(const std::u16string& name, const std::u16string& guid,
                             const std::u16string& deviceGuid, int channel);
  // The node of a device: of the type given, or by its device type (-1), as read at start.
  DeviceTreeNode* AddDeviceNode(CDevice* device, int32_t type = -1);
  static int32_t NodeTypeOf(const CDevice& device);
  // Drops the node of a device (the device itself stays where it is).
  bool RemoveDeviceNode(const CDevice* device);

  // Each table is rewritten in one transaction with bound values: a failed write leaves the
  // previous table. False when the database cannot be opened or the write failed.
  bool SaveRegions();
  bool SaveGroups();
  bool SaveAll();  // devices, regions, groups

  // The rows Tb_Region and Tb_Group get from the model (regions parents first).
  using TableRows = std::vector<std::vector<std::u16string>>;
  TableRows RegionRows() const;
  TableRows GroupRows() const;

  // Fills a device tree; stream-media servers only in the page's own tree. A device whose
  // region is unknown is shown under the root region.
  void BuildDeviceTree(ITreeTarget& tree, bool ownTree);
  // Fills a group tree: groups at the root, members under the group their record names.
  void RebuildGroupTree(ITreeTarget& tree);

  bool IsRegionNameUsed(const CRegionInfo* region) const;
  bool IsDeviceNameUsed(const CDevInfo* info, int nodeType) const;
  bool IsGroupNameUsed(const CGroupInfo* group) const;
  // Whether any device or stream-media server of the page has that address (the device list
  // keeps hosts unique).
  bool IsDeviceAddressUsed(const std::u16string& address) const;

  // A member by the channel it stands for (device GUID and channel number), whatever its name.
  GroupTreeNode* FindMember(const std::u16string& deviceGuid, int channel) const;
  // The device a member stands for; null when the device list has none of its GUID.
  CDevice* MemberDevice(const GroupTreeNode* member);
  GroupTreeNode* FindGroupByGuid(const std::u16string& guid) const;

  // The region node a device is shown under: its own region, else the root region.
  DeviceTreeNode* RegionNodeOf(const CDevice* device) const;
  DeviceTreeNode* RootRegionNode() const;
  DeviceTreeNode* FindDeviceNode(const CDevice* device) const;
  // Sub-regions or shown devices and servers under the region.
  bool RegionHasChildren(const DeviceTreeNode* region) const;
  // Drops a childless region from the hierarchy and the node list; the root's removal leaves
  // no hierarchy.
  bool RemoveRegionNode(DeviceTreeNode* region);
  // The region and its hierarchy entry take the new name.
  void RenameRegion(DeviceTreeNode* region, const std::u16string& name);

  // A member's name: region, device and channel texts joined by underscores.
  static std::u16string MemberName(const std::u16string& region, const std::u16string& device, int channel);
  // Drops a member, or a group with every member of it.
  void RemoveGroupNode(GroupTreeNode* node);
  // Groups in the order the group tree shows them.
  std::vector<GroupTreeNode*> SortedGroups() const;
  GroupTreeNode* GroupOfMember(const GroupTreeNode* member) const;
  std::vector<GroupTreeNode*> MembersOfDevice(const std::u16string& deviceGuid) const;

  const std::vector<DeviceTreeNode*>& DeviceNodes() const { return deviceNodes_; }
  const std::vector<GroupTreeNode*>& GroupNodes() const { return groupNodes_; }
  const CRegionHierarchy& Hierarchy() const { return hierarchy_; }
  static std::u16string ChannelText(int number);

  // Frees every node, record and the hierarchy.
  void Clear();

 private:
  void DeleteDeviceNode(DeviceTreeNode* node);
  static void DeleteGroupNode(GroupTreeNode* node);

  CDeviceManager* devices_;
  CRegionHierarchy hierarchy_;
  std::vector<DeviceTreeNode*> deviceNodes_;  // owned, in the order they were added
  std::vector<GroupTreeNode*> groupNodes_;    // owned with their records
};
