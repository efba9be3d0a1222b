#include "devices/DevMgrController.h"

#include <algorithm>
#include <memory>

#include "devices/DeviceFields.h"
#include "devices/DeviceManager.h"
#include "devices/DeviceWork.h"
#include "plat/log.h"
#include "plat/text.h"
#include "shell/GuidString.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/User.h"

namespace {

bool SameConnection(const CDevInfo& a, const CDevInfo& b) {
  return a.GetIP() == b.GetIP() && a.GetPort() == b.GetPort() && a.GetUserName() == b.GetUserName() &&
         a.GetPwd() == b.GetPwd() && a.GetAddrType() == b.GetAddrType();
}

}  // namespace

CDevMgrController::CDevMgrController(CDevMgrModel& model, IDevMgrPageUi& ui, IDeviceWorkServices& work)
    : model_(model), ui_(ui), work_(work) {}

// ---- menus

std::vector<MenuEntry> CDevMgrController::DeviceMenu(const DeviceSelection& s) const {
  if (s.IsChannel()) return {};  // every entry removed: the menu opens empty
  if (!s.node) {
    if (model_.Hierarchy().Empty()) return {{ID_ADD_REGION, IDS_ADD_REGION}};
    return {};
  }
  switch (s.node->type) {
    case DeviceTreeNode::kRegion: {
      std::vector<MenuEntry> menu{{ID_ADD_REGION, IDS_ADD_REGION}, {ID_DELETE_REGION, IDS_DELETE_REGION}, {}};
      const bool hasServer = std::any_of(model_.DeviceNodes().begin(), model_.DeviceNodes().end(), [&](auto* n) {
        return n->type == DeviceTreeNode::kStreamServer && n->object && model_.RegionNodeOf(n->Device()) == s.node;
      });
      if (!hasServer) menu.push_back({ID_ADD_SERVER, IDS_ADD_SERVER, false});
      menu.push_back({});
      menu.push_back({ID_ADD_DEVICE, IDS_ADD_DEVICE});
      return menu;
    }
    case DeviceTreeNode::kStreamServer:
      return {{ID_DELETE_SERVER, IDS_DELETE_SERVER}, {ID_MODIFY_SERVER, IDS_MODIFY_SERVER}};
    case DeviceTreeNode::kDevice:
      return {{ID_DELETE_DEVICE, IDS_DELETE_DEVICE}, {ID_MODIFY, IDS_PROPERTIES}, {ID_REMOTE_SETUP, IDS_REMOTE_SETUP}};
    default:
      return {};
  }
}

std::vector<MenuEntry> CDevMgrController::GroupMenu(const GroupTreeNode* selected) const {
  if (selected && selected->Member()) return {};
  return {{ID_ADD_GROUP, IDS_ADD_GROUP}, {ID_DELETE_GROUP, IDS_DELETE_GROUP}, {ID_MODIFY_GROUP, IDS_MODIFY_GROUP}};
}

bool CDevMgrController::OnCommand(int id, const DeviceSelection& device, GroupTreeNode* group) {
  switch (id) {
    case ID_ADD_REGION: case IDC_ADD_REGION: AddRegion(device); break;
    case ID_DELETE_REGION: case IDC_DELETE_REGION: DeleteRegion(device); break;
    case ID_MODIFY_REGION:
      if (device.Type() != DeviceTreeNode::kRegion) Notice(IDS_NO_REGION);
      else Modify(device);
      break;
    case ID_ADD_SERVER: case IDC_ADD_SERVER: AddServer(device); break;
    case ID_DELETE_SERVER: case IDC_DELETE_SERVER: DeleteServer(device); break;
    case ID_MODIFY_SERVER:
      if (device.Type() != DeviceTreeNode::kStreamServer) Notice(IDS_NO_SERVER);
      else Modify(device);
      break;
    case ID_ADD_DEVICE: case IDC_ADD_DEVICE: AddDevice(device); break;
    case ID_DELETE_DEVICE: case IDC_DELETE_DEVICE: DeleteDevice(device); break;
    case ID_MODIFY: case IDC_MODIFY: Modify(device); break;
    case ID_MODIFY_CHANNEL: ModifyChannel(device); break;
    case ID_REMOTE_SETUP: case IDC_REMOTE_SETUP: RemoteSetup(device); break;
    case ID_ADD_GROUP: case IDC_ADD_GROUP: AddGroup(); break;
    case ID_DELETE_GROUP: case IDC_DELETE_GROUP: DeleteGroup(group); break;
    case ID_MODIFY_GROUP: case IDC_MODIFY_GROUP: RenameGroup(group); break;
    case IDC_TO_GROUP: AddToGroup(device, group); break;
    case IDC_FROM_GROUP: RemoveFromGroup(group); break;
    case IDC_MOVE_UP: MoveMember(group, -1); break;
    case IDC_MOVE_DOWN: MoveMember(group, +1); break;
    default: return false;
  }
  return true;
}

// ---- regions

DeviceTreeNode* CDevMgrController::TargetRegion(const DeviceSelection& s) const {
  if (!s.node) return model_.RootRegionNode();
  if (s.node->type == DeviceTreeNode::kRegion) return s.node;
  return model_.RegionNodeOf(s.node->Device());
}

void CDevMgrController::AddRegion(const DeviceSelection& s) {
  DeviceTreeNode* target = TargetRegion(s);
  CRegionInfo record;
  if (!ui_.EditRegion(record, true, target ? target->Region()->Name : std::u16string())) return;
  const std::u16string parentGuid = target ? target->Region()->Guid : std::u16string();
  if (!model_.AddRegionNode(record.Name, MakeGuidString(), parentGuid)) return;
  ui_.DeviceTreesChanged();
  Write(kRegions);
}

void CDevMgrController::DeleteRegion(const DeviceSelection& s) {
  if (s.Type() != DeviceTreeNode::kRegion) return Notice(IDS_NO_REGION);
  if (model_.RegionHasChildren(s.node)) return Notice(IDS_REGION_NOT_EMPTY);
  if (!ConfirmDelete(s.node->Region()->Name, u"%s[%s]")) return;
  if (!model_.RemoveRegionNode(s.node)) return;
  ui_.DeviceTreesChanged();
  ui_.GroupTreesChanged();
  Write(kRegions);
}

// The members of the region's devices carry its name before their first "_": they take the
// new one. Members are found through their device, so another region whose name merely
// starts the same way keeps its members' names.
void CDevMgrController::ModifyRegion(DeviceTreeNode* node) {
  const CRegionHierarchy::Entry* entry = model_.Hierarchy().Find(node->Region()->Name);
  if (!entry) return;
  CRegionInfo record = *node->Region();
  if (!ui_.EditRegion(record, false, entry->parent ? entry->parent->name : std::u16string())) return;
  const std::u16string old = node->Region()->Name;
  if (record.Name != old) {
    const std::u16string prefix = old + u"_";
    for (GroupTreeNode* n : model_.GroupNodes()) {
      CDevice* device = n->Member() ? model_.MemberDevice(n) : nullptr;
      if (device && model_.RegionNodeOf(device) == node && n->text.starts_with(prefix))
        n->text = record.Name + n->text.substr(old.size());
    }
    model_.RenameRegion(node, record.Name);
  }
  ui_.DeviceTreesChanged();
  ui_.GroupTreesChanged();
}

// ---- servers and devices

void CDevMgrController::AddServer(const DeviceSelection& s) {
  if (model_.Devices()->Count() >= kMaxDevices) return Notice(IDS_TOO_MANY_DEVICES);
  if (model_.Hierarchy().Empty()) return Notice(IDS_ADD_REGION_FIRST);
  AddDeviceEntry(s, DeviceTreeNode::kStreamServer);
}

void CDevMgrController::AddDevice(const DeviceSelection& s) {
  if (model_.Hierarchy().Empty()) return Notice(IDS_ADD_REGION_FIRST);
  if (model_.Devices()->Count() >= kMaxDevices) return Notice(IDS_TOO_MANY_DEVICES);
  AddDeviceEntry(s, DeviceTreeNode::kDevice);
}

void CDevMgrController::AddDeviceEntry(const DeviceSelection& s, int nodeType) {
  DeviceTreeNode* region = TargetRegion(s);
  if (!region) return;
  const bool server = nodeType == DeviceTreeNode::kStreamServer;
  CDevInfo info;
  const std::u16string regionName = region->Region()->Name;
  if (!(server ? ui_.EditServer(info, true, regionName) : ui_.EditDevice(info, true, regionName))) return;
  if (server) info.SetDevType(DEV_TYPE_STREAM_SERVER);
  info.SetRegionGuid(region->Region()->Guid);
  info.SetGuid(MakeGuidString());
  auto device = std::make_unique<CDevice>(info);
  if (!model_.Devices()->Add(device.get())) return Notice(IDS_DEVICE_EXISTS);
  // The node the command made: a device whatever type the dialog gave it, until the next
  // start reads it by its type.
  model_.AddDeviceNode(device.release(), nodeType);
  ui_.DeviceTreesChanged();
  // A stream-media server reaches Tb_Device with the table's next write.
  if (!server) Write(kDevices);
}

void CDevMgrController::DeleteServer(const DeviceSelection& s) {
  if (s.Type() != DeviceTreeNode::kStreamServer) return Notice(IDS_NO_SERVER);
  if (!ConfirmDelete(s.node->Device()->GetDevInfo().GetName(), u"%s[%s]")) return;
  DeleteDeviceEntry(s.node);
}

void CDevMgrController::DeleteDevice(const DeviceSelection& s) {
  if (s.Type() != DeviceTreeNode::kDevice) return Notice(IDS_NO_DEVICE);
  if (work_.OpenPreviewCount() > 0) return Notice(IDS_DEVICE_WORKING);
  if (!ConfirmDelete(s.node->Device()->GetDevInfo().GetName(), u"%s[%s]")) return;
  // The device's group members go from memory; Tb_Group follows with its next write.
  DeleteDeviceEntry(s.node);
  Write(kDevices);
}

void CDevMgrController::DeleteDeviceEntry(DeviceTreeNode* node) {
  CDevice* device = node->Device();
  StopDeviceWork(device);
  for (GroupTreeNode* member : model_.MembersOfDevice(device->GetGuid())) model_.RemoveGroupNode(member);
  model_.RemoveDeviceNode(device);
  // Deleting the device releases its channels and closes its login.
  model_.Devices()->Remove(device);
  ui_.DeviceTreesChanged();
  ui_.GroupTreesChanged();
}

void CDevMgrController::Modify(const DeviceSelection& s) {
  if (!s.node || s.IsChannel()) return Notice(IDS_NO_TARGET);
  if (s.node->type == DeviceTreeNode::kRegion)
    ModifyRegion(s.node);
  else if (s.node->type == DeviceTreeNode::kStreamServer || s.node->type == DeviceTreeNode::kDevice)
    ModifyDeviceEntry(s.node);
}

// The group members of the device keep their names and stay, whatever its new channel count;
// they follow the device by its GUID.
void CDevMgrController::ModifyDeviceEntry(DeviceTreeNode* node) {
  CDevice* device = node->Device();
  const bool server = node->type == DeviceTreeNode::kStreamServer;
  if (!server && device->IsBusy()) return Notice(IDS_DEVICE_BUSY);
  DeviceTreeNode* region = model_.RegionNodeOf(device);
  const std::u16string regionName = region ? region->Region()->Name : std::u16string();
  CDevInfo record = device->GetDevInfo();
  if (!(server ? ui_.EditServer(record, false, regionName) : ui_.EditDevice(record, false, regionName))) return;
  for (CDevice* other : model_.Devices()->GetList()) {
    if (other == device) continue;
    if (other->GetDevInfo().GetName() == record.GetName() || other->GetDevInfo().GetIP() == record.GetIP())
      return Notice(IDS_DEVICE_EXISTS);
  }
  record.SetGuid(device->GetGuid());
  record.SetRegionGuid(device->GetRegionGuid());
  record.SetDevType(device->GetDevType());
  StopDeviceWork(device);
  // A login made with the old address or account would go on serving the old device: the
  // device lets it go, and its next login uses the edited record.
  const bool relink = !SameConnection(record, device->GetDevInfo());
  device->SetDevInfo(record);
  if (relink) LetGo(device);
  ui_.DeviceTreesChanged();
  ui_.GroupTreesChanged();
}

// The channel's values stay in memory; they are kept with the device list at its next write
// (Tb_Channel), so they are there after a restart.
void CDevMgrController::ModifyChannel(const DeviceSelection& s) {
  if (!s.IsChannel() || s.node->type != DeviceTreeNode::kDevice) return Notice(IDS_SELECT_CHANNEL);
  ui_.EditChannel(*s.node->Device(), s.channel);
}

void CDevMgrController::RemoteSetup(const DeviceSelection& s) {
  CUser* user = CUser::GetInstance();
  if (!user) return;
  if (!user->HasRight(kRightRemoteSetup)) return Notice(IDS_NO_RIGHT_REMOTE_CONFIG);
  if (s.Type() != DeviceTreeNode::kDevice || !s.node->Device()) return Notice(IDS_CHECK_DEVICE_SELECTED);
  if (const uint32_t notice = ui_.OpenRemoteSetup(*s.node->Device())) Notice(notice);
}

void CDevMgrController::StopDeviceWork(CDevice* device) {
  work_.StopDevicePreviews(device->GetGuid());
  StopCyclesOfDevice(device);
}

void CDevMgrController::LetGo(CDevice* device) {
  device->ReleaseAll();
  // On the device's queue, after the release: the login made with the old record logs out
  // and the next one reads the record as it is.
  devwork::Run(device->GetGuid(), [device] {
    if (IDevUserLogin* login = device->GetUserLogin(0); login && login->IsLogin()) login->Logout();
    device->RelinkInfo();
  });
}

void CDevMgrController::StopCyclesOfDevice(const CDevice* device) {
  std::vector<GroupTreeNode*> groups;
  for (GroupTreeNode* member : model_.MembersOfDevice(device->GetGuid()))
    if (GroupTreeNode* g = model_.GroupOfMember(member); g && std::find(groups.begin(), groups.end(), g) == groups.end())
      groups.push_back(g);
  for (GroupTreeNode* g : groups) work_.StopCycle(g->Group()->Name);
}

bool CDevMgrController::ConfirmDelete(const std::u16string& item, const char16_t* format) {
  std::u16string text = format;
  text.replace(text.find(u"%s"), 2, LoadResString(IDS_CONFIRM_DELETE));
  text.replace(text.find(u"%s"), 2, item);
  return ui_.Confirm(text);
}

// ---- groups

void CDevMgrController::AddGroup() {
  CGroupInfo record;
  if (!ui_.EditGroup(record, true)) return;
  if (!model_.AddGroupRow(record.Name, MakeGuidString(), u"", 0)) return;
  ui_.GroupTreesChanged();
  Write(kGroups);
}

void CDevMgrController::DeleteGroup(GroupTreeNode* selected) {
  if (!selected || !selected->Group()) return Notice(IDS_NO_GROUP);
  if (!ConfirmDelete(selected->Group()->Name, u"%s [%s]")) return;
  work_.StopCycle(selected->Group()->Name);
  model_.RemoveGroupNode(selected);
  ui_.GroupTreesChanged();
  Write(kGroups);
}

void CDevMgrController::RenameGroup(GroupTreeNode* selected) {
  if (!selected || !selected->Group()) return Notice(IDS_NO_GROUP);
  CGroupInfo record = *selected->Group();
  if (!ui_.EditGroup(record, false)) return;
  const std::u16string old = selected->Group()->Name;
  selected->Group()->Name = record.Name;
  selected->text = record.Name;
  if (record.Name != old) work_.RenameCycle(old, record.Name);
  ui_.GroupTreesChanged();
}

bool CDevMgrController::AddMember(CDevice* device, int channel, GroupTreeNode* group) {
  if (model_.FindMember(device->GetGuid(), channel)) return false;
  DeviceTreeNode* region = model_.RegionNodeOf(device);
  const std::u16string name = CDevMgrModel::MemberName(region ? region->Region()->Name : std::u16string(),
                                                       device->GetDevInfo().GetName(), channel);
  return model_.AddGroupRow(name, group->Group()->Guid, device->GetGuid(), channel) != nullptr;
}

void CDevMgrController::AddToGroup(const DeviceSelection& s, GroupTreeNode* selected) {
  if (!s.node || s.node->type != DeviceTreeNode::kDevice || !s.node->Device())
    return Notice(IDS_NO_CHANNEL_OR_DEVICE);
  if (!selected || !selected->Group()) return Notice(IDS_NO_GROUP);
  CDevice* device = s.node->Device();
  if (s.IsChannel()) {
    // A channel already in a group: nothing happens, and nothing is said.
    if (!AddMember(device, s.channel, selected)) return;
  } else {
    for (int c = 1; c <= device->GetDevInfo().GetChnNum(); ++c) AddMember(device, c, selected);
  }
  work_.StopCycle(selected->Group()->Name);
  Write(kGroups);
  ui_.GroupTreesChanged();
}

void CDevMgrController::RemoveFromGroup(GroupTreeNode* selected) {
  if (!selected || !selected->Member()) return Notice(IDS_SELECT_CHANNEL);
  if (GroupTreeNode* group = model_.GroupOfMember(selected)) work_.StopCycle(group->Group()->Name);
  model_.RemoveGroupNode(selected);
  ui_.GroupTreesChanged();
}

void CDevMgrController::MoveMember(GroupTreeNode* selected, int direction) {
  if (!selected || !selected->Member()) return Notice(IDS_SELECT_CHANNEL);
  GroupTreeNode* group = model_.GroupOfMember(selected);
  if (!group) return;
  const std::vector<GroupTreeNode*> groups = model_.SortedGroups();
  const auto at = std::find(groups.begin(), groups.end(), group) - groups.begin();
  const auto next = at + direction;
  if (next < 0 || next >= static_cast<std::ptrdiff_t>(groups.size())) return;
  GroupTreeNode* neighbour = groups[static_cast<size_t>(next)];
  work_.StopCycle(group->Group()->Name);
  work_.StopCycle(neighbour->Group()->Name);
  selected->Member()->Guid = neighbour->Group()->Guid;
  selected->group = neighbour;
  ui_.GroupTreesChanged();
}

// ---- tables

void CDevMgrController::Write(unsigned tables) {
  bool written = true;
  if (tables & kDevices) written = model_.Devices()->Save() && written;
  if (tables & kRegions) written = model_.SaveRegions() && written;
  if (tables & kGroups) written = model_.SaveGroups() && written;
  if (written) return;
  // The change stays in memory, as every change not yet written does, and goes with the
  // table's next write; the user learns that it is not stored yet.
  PLAT_LOGW("devmgr", "Tarnwick.db refused a write (tables %u): the change waits for the next one", tables);
  Notice(IDS_SAVE_DEFERRED);
}
