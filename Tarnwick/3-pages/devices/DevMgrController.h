#pragma once
// The commands of the device manager page without its widgets: the two context menus, adding,
// modifying and deleting regions, stream-media servers and devices, the channel groups and
// their members, the channel editor and remote set-up. Each command changes the page's model
// at once and has the page's trees and every registered tree rebuilt; adding and deleting a
// region, a device or a group, and adding to a group, also write their table (one
// transaction). The page routes its buttons and menu entries here.
#include <cstdint>
#include <string>
#include <vector>

#include "devices/DevMgrModel.h"

class CDevice;
class CDevInfo;

// What runs on devices elsewhere in the program and must end before a device is deleted,
// edited or logged out; and the cycles of the channel groups, known by their group's name.
class IDeviceWorkServices {
 public:
  virtual ~IDeviceWorkServices() = default;
  // Open previews of every device.
  virtual int OpenPreviewCount() = 0;
  // Stops and drops every open preview of the device, with its sound and recording.
  virtual void StopDevicePreviews(const std::u16string& deviceGuid) = 0;
  // Stops the cycle of that group and lowers the running count; false when none runs.
  virtual bool StopCycle(const std::u16string& group) = 0;
  // A running cycle of the group follows its new name; false when none runs.
  virtual bool RenameCycle(const std::u16string& from, const std::u16string& to) = 0;
};

// What the commands ask of the page: its dialogs (each true on OK, with the record edited in
// place), the confirmation box, and the rebuilding of the trees.
class IDevMgrPageUi {
 public:
  virtual ~IDevMgrPageUi() = default;
  virtual bool EditRegion(CRegionInfo& region, bool add, const std::u16string& parentName) = 0;
  virtual bool EditServer(CDevInfo& info, bool add, const std::u16string& regionName) = 0;
  virtual bool EditDevice(CDevInfo& info, bool add, const std::u16string& regionName) = 0;
  virtual bool EditGroup(CGroupInfo& group, bool add) = 0;
  virtual bool EditChannel(CDevice& device, int channel) = 0;
  virtual bool Confirm(const std::u16string& text) = 0;
  // The device's configuration window, run until it closes: 0, or the notice that tells why
  // the device could not be set up.
  virtual uint32_t OpenRemoteSetup(CDevice& device) = 0;
  virtual void DeviceTreesChanged() = 0;
  virtual void GroupTreesChanged() = 0;
};

// The selected item of the device tree: its node (for a channel item, its device's node) and,
// for a channel item, the channel number.
struct DeviceSelection {
  DeviceTreeNode* node = nullptr;
  int channel = 0;
  bool IsChannel() const { return node && channel > 0; }
  int Type() const { return node && !IsChannel() ? node->type : -1; }
};

// One entry of a context menu: command 0 is a separator.
struct MenuEntry {
  int command = 0;
  uint32_t text = 0;
  bool enabled = true;
  bool operator==(const MenuEntry&) const = default;
};

class CDevMgrController {
 public:
  static constexpr int kMaxDevices = 32;
  enum Command {
    // Device-tree menu 151 and the page's buttons.
    ID_ADD_REGION = 32800, ID_DELETE_REGION = 32802, ID_MODIFY_REGION = 32804,
    ID_ADD_SERVER = 32806, ID_DELETE_SERVER = 32808, ID_MODIFY_SERVER = 32810,
    ID_ADD_DEVICE = 32812, ID_DELETE_DEVICE = 32813, ID_MODIFY = 32814, ID_MODIFY_CHANNEL = 32835,
    ID_REMOTE_SETUP = 1224,
    // Group-tree menu 153.
    ID_ADD_GROUP = 32819, ID_DELETE_GROUP = 32821, ID_MODIFY_GROUP = 32825,
    // Buttons of the page.
    IDC_ADD_REGION = 1112, IDC_DELETE_REGION = 1118, IDC_ADD_SERVER = 1162, IDC_DELETE_SERVER = 1168,
    IDC_ADD_DEVICE = 1150, IDC_DELETE_DEVICE = 1156, IDC_MODIFY = 1131, IDC_ADD_GROUP = 1122,
    IDC_DELETE_GROUP = 1126, IDC_MODIFY_GROUP = 1134, IDC_TO_GROUP = 1952, IDC_FROM_GROUP = 5553,
    IDC_MOVE_UP = 1949, IDC_MOVE_DOWN = 1950, IDC_REMOTE_SETUP = 1951
  };
  static constexpr int kRightRemoteSetup = 32;

  CDevMgrController(CDevMgrModel& model, IDevMgrPageUi& ui, IDeviceWorkServices& work);

  std::vector<MenuEntry> DeviceMenu(const DeviceSelection& selected) const;
  // Empty for a member: a member opens no menu.
  std::vector<MenuEntry> GroupMenu(const GroupTreeNode* selected) const;

  // A menu entry or button of the page; false for an id that is none of its commands.
  bool OnCommand(int id, const DeviceSelection& device, GroupTreeNode* group);

  void AddRegion(const DeviceSelection& s);
  void DeleteRegion(const DeviceSelection& s);
  void AddServer(const DeviceSelection& s);
  void DeleteServer(const DeviceSelection& s);
  void AddDevice(const DeviceSelection& s);
  void DeleteDevice(const DeviceSelection& s);
  void Modify(const DeviceSelection& s);
  void ModifyChannel(const DeviceSelection& s);
  void RemoteSetup(const DeviceSelection& s);

  void AddGroup();
  void DeleteGroup(GroupTreeNode* selected);
  void RenameGroup(GroupTreeNode* selected);
  void AddToGroup(const DeviceSelection& device, GroupTreeNode* selected);
  void RemoveFromGroup(GroupTreeNode* selected);
  // direction -1: into the group above; +1: into the group below.
  void MoveMember(GroupTreeNode* selected, int direction);

  // The region a new region, server or device goes under; null when there is no region.
  DeviceTreeNode* TargetRegion(const DeviceSelection& s) const;

 private:
  // Ends what runs on the device: its previews with their recordings, then the cycles of
  // every group that holds one of its channels.
  void StopDeviceWork(CDevice* device);
  void StopCyclesOfDevice(const CDevice* device);
  // The device lets its channels and its login go: its next login uses its record as it is.
  static void LetGo(CDevice* device);
  bool ConfirmDelete(const std::u16string& item, const char16_t* format);
  void AddDeviceEntry(const DeviceSelection& s, int nodeType);
  void DeleteDeviceEntry(DeviceTreeNode* node);
  void ModifyRegion(DeviceTreeNode* node);
  void ModifyDeviceEntry(DeviceTreeNode* node);
  // Adds a member for the channel unless the channel is in a group already.
  bool AddMember(CDevice* device, int channel, GroupTreeNode* group);

  // The tables a command writes at once; every other change waits in memory for its
  // table's next write, at the latest the page's end.
  enum Table : unsigned { kDevices = 1, kRegions = 2, kGroups = 4 };
  // Writes the tables; one the database refuses keeps the change in memory for its next
  // write, and the user is told.
  void Write(unsigned tables);

  CDevMgrModel& model_;
  IDevMgrPageUi& ui_;
  IDeviceWorkServices& work_;
};
