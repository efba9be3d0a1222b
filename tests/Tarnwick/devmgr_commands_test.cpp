// The device manager's commands without widgets: menus by node type, regions, servers and
// devices, groups and members; Tarnwick.db reopened from disk right after each command holds
// what that command writes at once, and the rest once its table is written next; what runs
// on a device stopped before it goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "support/FakeDevices.h"
#include "devices/DevMgrController.h"
#include "devmgr_fixture.h"
#include "harness/UiHarness.h"
#include "shell/Language.h"
#include "shell/User.h"

namespace {

using Rows = std::vector<std::vector<std::u16string>>;

struct FakeWork : IDeviceWorkServices {
  int openPreviews = 0;
  std::vector<std::u16string> cycles;  // running cycles by group name
  int OpenPreviewCount() override { return openPreviews; }
  void StopDevicePreviews(const std::u16string& guid) override {
    fake::Note("work.stopPreviews." + plat::utf16ToUtf8(guid));
  }
  bool StopCycle(const std::u16string& group) override {
    auto it = std::find(cycles.begin(), cycles.end(), group);
    if (it == cycles.end()) return false;
    fake::Note("work.stopCycle." + plat::utf16ToUtf8(group));
    cycles.erase(it);
    return true;
  }
  bool RenameCycle(const std::u16string& from, const std::u16string& to) override {
    auto it = std::find(cycles.begin(), cycles.end(), from);
    if (it == cycles.end()) return false;
    *it = to;
    return true;
  }
};

// Dialogs answered from a script: a scripted record means OK, none means Cancel.
struct FakeUi : IDevMgrPageUi {
  std::optional<std::u16string> regionName, groupName;
  std::optional<CDevInfo> device;
  bool confirm = true;
  std::vector<std::u16string> confirmations, parents;
  std::vector<std::pair<CDevice*, int>> channelEdits;
  int deviceRefreshes = 0, groupRefreshes = 0;
  bool EditRegion(CRegionInfo& r, bool, const std::u16string& parent) override {
    parents.push_back(parent);
    if (!regionName) return false;
    r.Name = *std::exchange(regionName, std::nullopt);
    return true;
  }
  bool EditDevice(CDevInfo& info, bool, const std::u16string& region) override {
    parents.push_back(region);
    if (!device) return false;
    info = *std::exchange(device, std::nullopt);
    return true;
  }
  bool EditServer(CDevInfo& info, bool add, const std::u16string& region) override { return EditDevice(info, add, region); }
  bool EditGroup(CGroupInfo& g, bool) override {
    if (!groupName) return false;
    g.Name = *std::exchange(groupName, std::nullopt);
    return true;
  }
  bool EditChannel(CDevice& d, int channel) override {
    channelEdits.emplace_back(&d, channel);
    return true;
  }
  bool Confirm(const std::u16string& text) override {
    confirmations.push_back(text);
    return confirm;
  }
  uint32_t OpenRemoteSetup(CDevice&) override { return 8301; }
  void DeviceTreesChanged() override { ++deviceRefreshes; }
  void GroupTreesChanged() override { ++groupRefreshes; }
};

CDevInfo Dev(const std::u16string& name, const std::u16string& ip, int type = DEV_TYPE_IPC, int channels = 4) {
  return CDevInfo(name, ip, 8000, u"admin", u"admin", channels, u"", u"", u"", u"", 0, 0, type, u"", u"");
}

class DevMgrCommands : public devmgr_test::DevMgrFixture {
 protected:
  // The state of the command's tables as a fresh connection reads them from disk.
  static std::vector<std::u16string> Column(const std::u16string& table, size_t column = 0) {
    std::vector<std::u16string> out;
    for (auto& row : Table(table)) out.push_back(row[column]);
    return out;
  }
  DeviceTreeNode* Region(const std::u16string& name) {
    for (DeviceTreeNode* n : model.DeviceNodes())
      if (n->Region() && n->Region()->Name == name) return n;
    return nullptr;
  }
  DeviceTreeNode* DeviceNode(const std::u16string& name) {
    return model.FindDeviceNode(CDeviceManager::GetInstance()->FindDevice(name, 0));
  }
  GroupTreeNode* Group(const std::u16string& name) {
    for (GroupTreeNode* n : model.GroupNodes())
      if (n->Group() && n->Group()->Name == name) return n;
    return nullptr;
  }
  GroupTreeNode* Member(const std::u16string& name) {
    for (GroupTreeNode* n : model.GroupNodes())
      if (n->Member() && n->text == name) return n;
    return nullptr;
  }
  std::u16string Notice() { return ui->notices.empty() ? u"" : ui->notices.back(); }

  fake::Families families;
  harness::ScopedScriptedUi ui;
  CDevMgrModel model;
  FakeUi page;
  FakeWork work;
  CDevMgrController c{model, page, work};
};

TEST_F(DevMgrCommands, MenusFollowTheSelectedNode) {
  using C = CDevMgrController;
  EXPECT_EQ(c.DeviceMenu({}), (std::vector<MenuEntry>{{C::ID_ADD_REGION, 8109}}));  // empty tree
  page.regionName = u"总部";
  c.AddRegion({});
  EXPECT_TRUE(c.DeviceMenu({}).empty());  // a tree with items, nothing selected
  DeviceTreeNode* root = Region(u"总部");
  const std::vector<MenuEntry> regionMenu{
      {C::ID_ADD_REGION, 8109}, {C::ID_DELETE_REGION, 8110}, {}, {C::ID_ADD_SERVER, 8226, false}, {}, {C::ID_ADD_DEVICE, 8112}};
  EXPECT_EQ(c.DeviceMenu({root}), regionMenu);
  page.device = Dev(u"流媒体", u"10.1.1.1", DEV_TYPE_STREAM_SERVER, 0);
  c.AddServer({root});
  page.device = Dev(u"cam", u"10.1.1.2");
  c.AddDevice({root});
  EXPECT_EQ(c.DeviceMenu({root}), (std::vector<MenuEntry>{{C::ID_ADD_REGION, 8109}, {C::ID_DELETE_REGION, 8110}, {}, {},
                                                          {C::ID_ADD_DEVICE, 8112}}));
  EXPECT_EQ(c.DeviceMenu({DeviceNode(u"流媒体")}),
            (std::vector<MenuEntry>{{C::ID_DELETE_SERVER, 8315}, {C::ID_MODIFY_SERVER, 8227}}));
  EXPECT_EQ(c.DeviceMenu({DeviceNode(u"cam")}),
            (std::vector<MenuEntry>{{C::ID_DELETE_DEVICE, 8113}, {C::ID_MODIFY, 8722}, {C::ID_REMOTE_SETUP, 8244}}));
  EXPECT_TRUE(c.DeviceMenu({DeviceNode(u"cam"), 2}).empty());  // a channel: every entry removed

  // The channel command (no menu offers it) opens the editor on the channel's own 1-based
  // number.
  EXPECT_TRUE(c.OnCommand(C::ID_MODIFY_CHANNEL, {DeviceNode(u"cam"), 1}, nullptr));
  ASSERT_EQ(page.channelEdits.size(), 1u);
  EXPECT_EQ(page.channelEdits[0].second, 1);
  c.OnCommand(C::ID_MODIFY_CHANNEL, {DeviceNode(u"cam")}, nullptr);
  EXPECT_EQ(Notice(), LoadResString(8252));
  EXPECT_FALSE(c.OnCommand(12345, {}, nullptr));

  page.groupName = u"轮巡";
  c.AddGroup();
  EXPECT_EQ(c.GroupMenu(nullptr).size(), 3u);
  EXPECT_EQ(c.GroupMenu(Group(u"轮巡")).front(), (MenuEntry{C::ID_ADD_GROUP, 8106}));
  c.AddToGroup({DeviceNode(u"cam"), 1}, Group(u"轮巡"));
  EXPECT_TRUE(c.GroupMenu(Member(u"总部_cam_通道01")).empty());  // a member opens no menu

  // Remote set-up: the right first, then the selection; an unreachable device says so.
  CUser::GetInstance()->SetPower(0);
  c.OnCommand(C::IDC_REMOTE_SETUP, {}, nullptr);
  EXPECT_EQ(Notice(), LoadResString(8613));
  CUser::GetInstance()->SetPower(63);
  c.OnCommand(C::ID_REMOTE_SETUP, {root}, nullptr);
  EXPECT_EQ(Notice(), LoadResString(8618));
  c.OnCommand(C::ID_REMOTE_SETUP, {DeviceNode(u"cam")}, nullptr);
  EXPECT_EQ(Notice(), LoadResString(8301));
  harness::ResetServices();
}

TEST_F(DevMgrCommands, RegionsAndDevicesReachTheDatabaseWithEachCommand) {
  // Adding a device before any region, then the first region: the root, without a parent.
  page.device = Dev(u"cam", u"10.0.0.1");
  c.AddDevice({});
  EXPECT_EQ(Notice(), LoadResString(8293));
  EXPECT_TRUE(page.device.has_value());  // no dialog was shown
  page.device.reset();
  page.regionName = u"总部";
  c.AddRegion({});
  EXPECT_EQ(Table(u"Tb_Region"), (Rows{{u"总部", Region(u"总部")->Region()->Guid, u""}}));
  EXPECT_EQ(page.parents.back(), u"");
  page.regionName = u"一楼";
  c.AddRegion({});  // nothing selected: under the root
  EXPECT_EQ(page.parents.back(), u"总部");
  EXPECT_EQ(Table(u"Tb_Region")[1][2], Region(u"总部")->Region()->Guid);

  // A device under the selected region becomes a device of the list with its channels.
  page.device = Dev(u"前门", u"10.0.0.1", DEV_TYPE_IPC, 2);
  c.AddDevice({Region(u"一楼")});
  CDevice* cam = CDeviceManager::GetInstance()->FindDevice(u"前门", 0);
  ASSERT_NE(cam, nullptr);
  EXPECT_EQ(cam->GetRegionGuid(), Region(u"一楼")->Region()->Guid);
  EXPECT_EQ(cam->GetGuid().size(), 36u);
  QTreeWidget tree;
  CTreeCtrlTarget target(&tree);
  model.BuildDeviceTree(target, true);
  tree.expandAll();
  EXPECT_EQ(Dump(tree), u"总部[0]\n  一楼[0]\n    前门[1]\n      通道01[4]\n      通道02[4]\n");
  QTreeWidgetItem* ch2 = tree.topLevelItem(0)->child(0)->child(0)->child(1);
  EXPECT_EQ(ChannelNumberOf(ch2), 2);  // the number is the item's, not its text's
  EXPECT_EQ(DeviceNodeOf(ch2), nullptr);
  EXPECT_EQ(Table(u"Tb_Device"), (Rows{{u"前门", u"10.0.0.1", u"8000", u"admin", u"admin", u"2", u"", u"", u"", u"",
                                        u"0", u"0", u"2", cam->GetGuid(), cam->GetRegionGuid()}}));

  // The same address again: refused, nothing remains. A host name is taken as typed, whether
  // it resolves now or not: the login says so when it does not.
  page.device = Dev(u"后门", u"10.0.0.1");
  c.AddDevice({Region(u"一楼")});
  EXPECT_EQ(Notice(), LoadResString(8210));
  EXPECT_EQ(CDeviceManager::GetInstance()->Count(), 1);
  page.device = Dev(u"后门", u"nosuch.invalid", DEV_TYPE_DVR);
  c.AddDevice({DeviceNode(u"前门"), 1});  // a channel's region
  EXPECT_EQ(Column(u"Tb_Device"), (std::vector<std::u16string>{u"前门", u"后门"}));
  EXPECT_EQ(CDeviceManager::GetInstance()->FindDevice(u"后门", 0)->GetRegionGuid(), Region(u"一楼")->Region()->Guid);

  // A stream-media server is held in memory: its add and delete write nothing, and Tb_Device
  // gets it with the table's next write.
  page.device = Dev(u"流媒体", u"10.0.2.1", DEV_TYPE_STREAM_SERVER, 0);
  c.AddServer({Region(u"一楼")});
  ASSERT_NE(DeviceNode(u"流媒体"), nullptr);
  EXPECT_EQ(Column(u"Tb_Device"), (std::vector<std::u16string>{u"前门", u"后门"}));
  page.device = Dev(u"d3", u"10.0.1.3");
  c.AddDevice({Region(u"总部")});
  EXPECT_EQ(Column(u"Tb_Device"), (std::vector<std::u16string>{u"前门", u"后门", u"流媒体", u"d3"}));
  c.DeleteServer({DeviceNode(u"流媒体")});
  EXPECT_EQ(DeviceNode(u"流媒体"), nullptr);
  EXPECT_EQ(Table(u"Tb_Device").size(), 4u);

  // Up to 32 entries: the 33rd is refused before its dialog.
  for (int i = 4; i <= 32; ++i) {
    page.device = Dev(u"d" + plat::utf8ToUtf16(std::to_string(i)), u"10.0.1." + plat::utf8ToUtf16(std::to_string(i)));
    c.AddDevice({Region(u"总部")});
  }
  EXPECT_EQ(CDeviceManager::GetInstance()->Count(), 32);
  page.device = Dev(u"d33", u"10.0.1.33");
  c.AddDevice({Region(u"总部")});
  EXPECT_EQ(Notice(), LoadResString(8232));
  c.AddServer({Region(u"总部")});
  EXPECT_EQ(Notice(), LoadResString(8232));
  EXPECT_EQ(Table(u"Tb_Device").size(), 32u);

  // A region with children stays; a cancelled confirmation changes nothing; the childless
  // root goes with the hierarchy.
  c.DeleteRegion({Region(u"一楼")});
  EXPECT_EQ(Notice(), LoadResString(8507));
  c.DeleteRegion({DeviceNode(u"前门")});
  EXPECT_EQ(Notice(), LoadResString(8233));
  for (int i = 3; i <= 32; ++i) c.DeleteDevice({DeviceNode(u"d" + plat::utf8ToUtf16(std::to_string(i)))});
  c.DeleteDevice({DeviceNode(u"前门")});
  c.DeleteDevice({DeviceNode(u"后门")});
  EXPECT_TRUE(Table(u"Tb_Device").empty());
  page.confirm = false;
  c.DeleteRegion({Region(u"一楼")});
  EXPECT_EQ(page.confirmations.back(), LoadResString(8316) + u"[一楼]");
  EXPECT_EQ(Table(u"Tb_Region").size(), 2u);
  page.confirm = true;
  c.DeleteRegion({Region(u"一楼")});
  c.DeleteRegion({Region(u"总部")});
  EXPECT_TRUE(model.Hierarchy().Empty());
  EXPECT_TRUE(Table(u"Tb_Region").empty());
  EXPECT_EQ(c.DeviceMenu({}).size(), 1u);
}

TEST_F(DevMgrCommands, DeletingOrEditingADeviceStopsItsWorkFirst) {
  Regions({{u"A", u"ra", u""}});
  Device(u"cam", DEV_TYPE_IPC, 2, u"ra", u"10.0.0.5");
  Device(u"dvr", DEV_TYPE_DVR, 2, u"ra", u"10.0.0.6");
  model.LoadAll();
  ASSERT_TRUE(model.SaveAll());
  page.groupName = u"G1";
  c.AddGroup();
  page.groupName = u"G2";
  c.AddGroup();
  c.AddToGroup({DeviceNode(u"cam"), 1}, Group(u"G1"));
  c.AddToGroup({DeviceNode(u"cam"), 2}, Group(u"G2"));
  c.AddToGroup({DeviceNode(u"dvr"), 1}, Group(u"G2"));
  work.cycles = {u"G1", u"G2"};
  CDevice* cam = CDeviceManager::GetInstance()->FindDevice(u"cam", 0);
  ASSERT_NE(CDeviceManager::GetInstance()->GetChannelPreview(cam, 1), nullptr);  // logged in, a preview made

  // A device that previews is not edited; a preview anywhere keeps any device from going.
  cam->GetChannel(1)->GetPreview(0)->StartPreview();
  page.device = Dev(u"cam2", u"10.0.0.5");
  c.Modify({DeviceNode(u"cam")});
  EXPECT_EQ(Notice(), LoadResString(8523));
  EXPECT_TRUE(page.device.has_value());
  const auto devicesStored = Table(u"Tb_Device");
  const auto groupsStored = Table(u"Tb_Group");
  work.openPreviews = 1;
  c.DeleteDevice({DeviceNode(u"dvr")});
  EXPECT_EQ(Notice(), LoadResString(8294));
  EXPECT_TRUE(page.confirmations.empty());
  cam->GetChannel(1)->GetPreview(0)->StopPreview();
  work.openPreviews = 0;

  // Modify: another device's name or address refused; then a new name and address and one
  // channel fewer. Its previews and the cycles of its groups end before its login goes; its
  // members stay, the one of the channel it no longer has too; nothing is written at once.
  page.device = Dev(u"dvr", u"10.0.0.9");
  c.Modify({DeviceNode(u"cam")});
  EXPECT_EQ(Notice(), LoadResString(8210));
  page.device = Dev(u"cam", u"10.0.0.6");
  c.Modify({DeviceNode(u"cam")});
  EXPECT_EQ(Notice(), LoadResString(8210));
  fake::Journal().clear();
  page.device = Dev(u"大门", u"localhost", DEV_TYPE_DVR, 1);
  c.Modify({DeviceNode(u"cam")});
  ASSERT_TRUE(harness::SettleDeviceWork());  // the release and the logout run on the device's queue
  const std::string guid = plat::utf16ToUtf8(cam->GetGuid());
  EXPECT_EQ(fake::Journal(), (std::vector<std::string>{"work.stopPreviews." + guid, "work.stopCycle.G1",
                                                      "work.stopCycle.G2", "preview.stoprecord.1", "preview.stop.1",
                                                      "preview.delete.1", "login.logout"}));
  EXPECT_EQ(cam->GetDevInfo().GetName(), u"大门");
  EXPECT_EQ(cam->GetDevType(), DEV_TYPE_IPC);  // the type is the device's own
  EXPECT_EQ(cam->GetDevInfo().GetChnNum(), 1);
  EXPECT_EQ(Table(u"Tb_Device"), devicesStored);
  EXPECT_EQ(Table(u"Tb_Group"), groupsStored);
  ASSERT_NE(model.FindMember(cam->GetGuid(), 2), nullptr);
  EXPECT_EQ(model.FindMember(cam->GetGuid(), 2)->Member()->Guid, Group(u"G2")->Group()->Guid);

  // Delete: previews and cycles first, then the device and its login; Tb_Device is written
  // (with the edit before); its members go from memory, and from Tb_Group with its next write.
  work.cycles = {u"G2"};
  fake::Journal().clear();
  page.confirm = true;
  c.DeleteDevice({DeviceNode(u"大门")});
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(page.confirmations.back(), LoadResString(8316) + u"[大门]");
  ASSERT_GE(fake::Journal().size(), 3u);
  EXPECT_EQ(fake::Journal()[0], "work.stopPreviews." + guid);
  EXPECT_EQ(fake::Journal()[1], "work.stopCycle.G2");
  EXPECT_EQ(fake::Journal().back(), "login.delete");
  EXPECT_EQ(CDeviceManager::GetInstance()->FindDevice(u"大门", 0), nullptr);
  EXPECT_EQ(Column(u"Tb_Device"), (std::vector<std::u16string>{u"dvr"}));
  EXPECT_EQ(Table(u"Tb_Group"), groupsStored);
  ASSERT_TRUE(model.SaveGroups());
  EXPECT_EQ(Column(u"Tb_Group"), (std::vector<std::u16string>{u"G1", u"G2", u"A_dvr_通道01"}));
  EXPECT_EQ(fake::Alive().logins, 0);
}

TEST_F(DevMgrCommands, RenamingARegionRenamesOnlyItsOwnDevicesMembers) {
  Regions({{u"A", u"ra", u""}, {u"AB", u"rab", u"ra"}, {u"A_X", u"rax", u"ra"}});
  Device(u"Dev1", DEV_TYPE_IPC, 1, u"ra");
  Device(u"B", DEV_TYPE_IPC, 1, u"ra");
  Device(u"d", DEV_TYPE_IPC, 1, u"rab");
  Device(u"Y", DEV_TYPE_IPC, 1, u"rax");
  model.LoadAll();
  page.groupName = u"G";
  c.AddGroup();
  for (auto* name : {u"Dev1", u"B", u"d", u"Y"}) c.AddToGroup({DeviceNode(name)}, Group(u"G"));
  EXPECT_EQ(Column(u"Tb_Group"), (std::vector<std::u16string>{u"G", u"A_Dev1_通道01", u"A_B_通道01", u"AB_d_通道01",
                                                               u"A_X_Y_通道01"}));
  page.regionName = u"B";
  c.Modify({Region(u"A")});
  EXPECT_EQ(page.parents.back(), u"");  // the root has no parent
  // Held in memory; the two tables follow with their next writes.
  EXPECT_EQ(Column(u"Tb_Region"), (std::vector<std::u16string>{u"A", u"AB", u"A_X"}));
  EXPECT_EQ(Column(u"Tb_Group")[1], u"A_Dev1_通道01");
  ASSERT_TRUE(model.SaveAll());
  EXPECT_EQ(Column(u"Tb_Group"), (std::vector<std::u16string>{u"G", u"B_Dev1_通道01", u"B_B_通道01", u"AB_d_通道01",
                                                               u"A_X_Y_通道01"}));
  EXPECT_EQ(Column(u"Tb_Region"), (std::vector<std::u16string>{u"B", u"AB", u"A_X"}));
  EXPECT_NE(model.Hierarchy().Find(u"B"), nullptr);
  EXPECT_EQ(model.Hierarchy().Find(u"A"), nullptr);
  // Modify refuses channels and no selection; the region entry refuses other nodes.
  c.Modify({DeviceNode(u"d"), 1});
  EXPECT_EQ(Notice(), LoadResString(8295));
  c.OnCommand(CDevMgrController::ID_MODIFY_REGION, {DeviceNode(u"d")}, nullptr);
  EXPECT_EQ(Notice(), LoadResString(8233));
  c.OnCommand(CDevMgrController::ID_MODIFY_SERVER, {Region(u"AB")}, nullptr);
  EXPECT_EQ(Notice(), LoadResString(8319));
}

TEST_F(DevMgrCommands, GroupsAndMembersWithTheirCycles) {
  Regions({{u"R", u"r", u""}});
  Device(u"cam", DEV_TYPE_IPC, 4, u"r");
  model.LoadAll();
  for (auto* name : {u"Beta", u"alpha", u"Gamma"}) {
    page.groupName = name;
    c.AddGroup();
  }
  EXPECT_EQ(Column(u"Tb_Group"), (std::vector<std::u16string>{u"Beta", u"alpha", u"Gamma"}));
  work.cycles = {u"alpha", u"Beta", u"Gamma"};

  // Refusals.
  c.AddToGroup({}, Group(u"Beta"));
  EXPECT_EQ(Notice(), LoadResString(8322));
  c.AddToGroup({DeviceNode(u"cam"), 2}, nullptr);
  EXPECT_EQ(Notice(), LoadResString(8321));
  c.DeleteGroup(nullptr);
  EXPECT_EQ(Notice(), LoadResString(8321));
  c.RemoveFromGroup(Group(u"Beta"));
  EXPECT_EQ(Notice(), LoadResString(8252));
  c.MoveMember(nullptr, 1);
  EXPECT_EQ(Notice(), LoadResString(8252));

  // Channel 2 into Beta; then the whole device: channels 1, 3 and 4 join, 2 stays where it is.
  c.AddToGroup({DeviceNode(u"cam"), 2}, Group(u"Beta"));
  EXPECT_EQ(work.cycles, (std::vector<std::u16string>{u"alpha", u"Gamma"}));
  c.AddToGroup({DeviceNode(u"cam")}, Group(u"alpha"));
  auto members = [&](const std::u16string& group) {
    std::vector<int> out;
    for (GroupTreeNode* n : model.GroupNodes())
      if (n->Member() && n->Member()->Guid == Group(group)->Group()->Guid) out.push_back(n->Member()->Chn);
    return out;
  };
  EXPECT_EQ(members(u"alpha"), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(members(u"Beta"), (std::vector<int>{2}));
  EXPECT_EQ(Table(u"Tb_Group").size(), 7u);
  // A channel already in a group: nothing at all, not even the cycle.
  work.cycles = {u"Gamma"};
  const int before = page.groupRefreshes;
  c.AddToGroup({DeviceNode(u"cam"), 2}, Group(u"Gamma"));
  EXPECT_EQ(work.cycles, (std::vector<std::u16string>{u"Gamma"}));
  EXPECT_EQ(page.groupRefreshes, before);
  EXPECT_TRUE(members(u"Gamma").empty());

  // Moves go to the neighbour in the tree's order (alpha, Beta, Gamma); none past the ends.
  // Moves, a rename and a removal are held in memory until Tb_Group is written next.
  const auto stored = Table(u"Tb_Group");
  GroupTreeNode* ch2 = Member(u"R_cam_通道02");
  work.cycles = {u"alpha", u"Beta", u"Gamma"};
  c.MoveMember(ch2, +1);
  EXPECT_EQ(members(u"Gamma"), (std::vector<int>{2}));
  EXPECT_EQ(work.cycles, (std::vector<std::u16string>{u"alpha"}));
  c.MoveMember(ch2, +1);
  EXPECT_EQ(members(u"Gamma"), (std::vector<int>{2}));
  c.MoveMember(Member(u"R_cam_通道01"), -1);
  EXPECT_EQ(members(u"alpha"), (std::vector<int>{1, 3, 4}));

  // Rename keeps a running cycle under the new name; remove stops it; delete takes the members.
  work.cycles = {u"alpha"};
  page.groupName = u"Alpha2";
  c.RenameGroup(Group(u"alpha"));
  EXPECT_EQ(work.cycles, (std::vector<std::u16string>{u"Alpha2"}));
  c.RemoveFromGroup(Member(u"R_cam_通道03"));
  EXPECT_TRUE(work.cycles.empty());
  EXPECT_EQ(members(u"Alpha2"), (std::vector<int>{1, 4}));
  EXPECT_EQ(Table(u"Tb_Group"), stored);
  page.confirm = false;
  c.DeleteGroup(Group(u"Alpha2"));
  EXPECT_EQ(page.confirmations.back(), LoadResString(8316) + u" [Alpha2]");
  EXPECT_EQ(Table(u"Tb_Group"), stored);
  // The next write takes every change held.
  page.groupName = u"Delta";
  c.AddGroup();
  EXPECT_EQ(Column(u"Tb_Group"), (std::vector<std::u16string>{u"Beta", u"Alpha2", u"Gamma", u"R_cam_通道02",
                                                               u"R_cam_通道01", u"R_cam_通道04", u"Delta"}));
  EXPECT_EQ(Table(u"Tb_Group")[3], (std::vector<std::u16string>{u"R_cam_通道02", Group(u"Gamma")->Group()->Guid,
                                                                 CDeviceManager::GetInstance()->FindDevice(u"cam", 0)->GetGuid(),
                                                                 u"2"}));
  page.confirm = true;
  work.cycles = {u"Alpha2"};
  c.DeleteGroup(Group(u"Alpha2"));
  EXPECT_TRUE(work.cycles.empty());
  EXPECT_EQ(Column(u"Tb_Group"), (std::vector<std::u16string>{u"Beta", u"Gamma", u"R_cam_通道02", u"Delta"}));
  EXPECT_EQ(model.FindMember(CDeviceManager::GetInstance()->FindDevice(u"cam", 0)->GetGuid(), 1), nullptr);
}

}  // namespace
