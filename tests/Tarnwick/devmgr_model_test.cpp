// The device manager's data: regions, devices and groups from Tarnwick.db into the trees the
// pages show, and back into the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

#include "devices/DevMgrModel.h"
#include "devmgr_fixture.h"

namespace {

using DevMgrData = devmgr_test::DevMgrFixture;

TEST_F(DevMgrData, RegionsAreAddedInRowOrderAndWrittenParentsFirst) {
  // Each row needs its parent among the rows before it: a region under an unknown parent, a
  // second parentless one, a child stored before its parent and the children of a dropped
  // region are dropped, and so is a second region of a name.
  Regions({{u"Root", u"g1", u""}, {u"City", u"g2", u"g1"}, {u"East", u"g3", u"g2"}, {u"Lost", u"g4", u"g9"},
           {u"Other", u"g5", u""}, {u"West", u"g6", u"g7"}, {u"North", u"g7", u"g1"}, {u"City", u"g8", u"g1"},
           {u"Late", u"g9", u"g6"}});
  CDevMgrModel m;
  m.LoadAll();
  ASSERT_FALSE(m.Hierarchy().Empty());
  std::vector<std::u16string> order;
  for (auto* e : m.Hierarchy().PreOrder()) order.push_back(e->name);
  EXPECT_EQ(order, (std::vector<std::u16string>{u"Root", u"City", u"East", u"North"}));
  CRegionInfo probe(u"North", u"", u"");
  EXPECT_TRUE(m.IsRegionNameUsed(&probe));
  probe.Name = u"Lost";
  EXPECT_FALSE(m.IsRegionNameUsed(&probe));
  EXPECT_EQ(*m.FindRegionNameByGuid(u"g3"), u"East");
  EXPECT_EQ(m.FindRegionNameByGuid(u"g6"), nullptr);
  EXPECT_EQ(m.AddRegionNode(u"Nowhere", u"g10", u"g9"), nullptr);  // unknown parent
  EXPECT_EQ(m.AddRegionNode(u"East", u"g11", u"g1"), nullptr);     // name taken
  ASSERT_NE(m.AddRegionNode(u"North's", u"g12", u"g1"), nullptr);

  ASSERT_TRUE(m.SaveAll());
  auto rows = Table(u"Tb_Region");
  EXPECT_EQ(rows.size(), 5u);
  ASSERT_GE(rows.size(), 5u);
  EXPECT_EQ(rows[0], (std::vector<std::u16string>{u"Root", u"g1", u""}));
  EXPECT_EQ(rows[1][0], u"City");
  EXPECT_EQ(rows[2][0], u"East");
  EXPECT_EQ(rows[3][0], u"North");
  EXPECT_EQ(rows[4], (std::vector<std::u16string>{u"North's", u"g12", u"g1"}));  // a quote comes back whole

  // The namesake dropped at load leaves one City. Two would share one name in the hierarchy:
  // deleting the last one (its child first) would take the first one's entry out and leave
  // its own on the record deleted, which the table's next write reads.
  auto node = [&](const std::u16string& name) {
    DeviceTreeNode* last = nullptr;
    for (DeviceTreeNode* n : m.DeviceNodes())
      if (n->Region() && n->Region()->Name == name) last = n;
    return last;
  };
  ASSERT_TRUE(m.RemoveRegionNode(node(u"East")));
  ASSERT_TRUE(m.RemoveRegionNode(node(u"City")));
  ASSERT_TRUE(m.SaveRegions());
  EXPECT_EQ(Table(u"Tb_Region").size(), 3u);

  // The first row is the root whatever its parent says; a parentless row after it is dropped.
  Exec(u"delete from Tb_Region;");
  for (const auto& r : std::vector<devmgr_test::Row3>{{u"East", u"h3", u"h2"}, {u"Root", u"h1", u""}, {u"Sub", u"h4", u"h3"}})
    Exec(u"insert into Tb_Region values(?,?,?);", {r.a, r.b, r.c});
  CDevMgrModel fresh;
  fresh.LoadRegions();
  order.clear();
  for (auto* e : fresh.Hierarchy().PreOrder()) order.push_back(e->name);
  EXPECT_EQ(order, (std::vector<std::u16string>{u"East", u"Sub"}));
}

TEST_F(DevMgrData, DeviceTreesShowRegionsDevicesChannelsAndKeepOrphans) {
  Regions({{u"Root", u"g1", u""}, {u"Zone B", u"g2", u"g1"}, {u"Zone A", u"g3", u"g1"}});
  Device(u"dvr", 1, 3, u"g2");
  Device(u"cam", 2, 1, u"g3");
  Device(u"sms", 3, 0, u"g3");
  Device(u"orphan", 4, 2, u"gone");
  Device(u"odd", 7, 1, u"g1");
  CDevMgrModel m;
  m.LoadAll();
  QTreeWidget own, other;
  CTreeCtrlTarget ownTarget(&own), otherTarget(&other);
  m.BuildDeviceTree(ownTarget, true);
  EXPECT_EQ(Dump(own),
            u"Root[0]\n"
            u"  orphan[1]\n    通道01[4]\n    通道02[4]\n"
            u"  Zone A[0]\n    cam[1]\n      通道01[4]\n    sms[10]\n"
            u"  Zone B[0]\n    dvr[1]\n      通道01[4]\n      通道02[4]\n      通道03[4]\n");
  EXPECT_TRUE(own.topLevelItem(0)->isExpanded());
  // Item data: the node of each region and device, none for channels.
  QTreeWidgetItem* dvr = own.topLevelItem(0)->child(2)->child(0);
  ASSERT_NE(DeviceNodeOf(dvr), nullptr);
  EXPECT_EQ(DeviceNodeOf(dvr)->type, DeviceTreeNode::kDevice);
  EXPECT_EQ(DeviceNodeOf(dvr)->Device()->GetDevInfo().GetName(), u"dvr");
  EXPECT_EQ(DeviceNodeOf(dvr->child(0)), nullptr);
  EXPECT_EQ(DeviceNodeOf(own.topLevelItem(0))->Region()->Guid, u"g1");

  // Other pages' trees get no stream-media server. Building twice keeps every node usable.
  m.BuildDeviceTree(otherTarget, false);
  m.BuildDeviceTree(otherTarget, false);
  EXPECT_EQ(Dump(other).find(u"sms"), std::u16string::npos);
  EXPECT_NE(Dump(other).find(u"orphan"), std::u16string::npos);
  for (DeviceTreeNode* n : m.DeviceNodes()) EXPECT_NE(n->object, nullptr);
  CDevInfo probe;
  probe.SetName(u"sms");
  EXPECT_TRUE(m.IsDeviceNameUsed(&probe, DeviceTreeNode::kStreamServer));
  EXPECT_FALSE(m.IsDeviceNameUsed(&probe, DeviceTreeNode::kDevice));

  // The orphan is written back with the rest.
  ASSERT_TRUE(m.SaveAll());
  auto devices = Table(u"Tb_Device");
  ASSERT_EQ(devices.size(), 5u);
  EXPECT_TRUE(std::any_of(devices.begin(), devices.end(), [](auto& r) { return r[0] == u"orphan"; }));
}

// A tree that keeps what it is given and how: items inserted sorted go before the first
// sibling whose text sorts after them, as the tree control does.
class RecordingTree : public ITreeTarget {
 public:
  struct Node {
    std::u16string text;
    int image = 0;
    void* data = nullptr;
    int channel = 0;
    std::vector<Node*> children;
  };
  void Reset() override {
    nodes_.clear();
    roots_.clear();
  }
  Item Insert(Item parent, const std::u16string& text, int image, void* data, bool sorted) override {
    nodes_.push_back(std::make_unique<Node>(Node{text, image, data, 0, {}}));
    std::vector<Node*>& siblings = parent ? reinterpret_cast<Node*>(parent)->children : roots_;
    auto at = siblings.end();
    if (sorted)
      at = std::find_if(siblings.begin(), siblings.end(), [&](Node* n) { return TreeTextBefore(text, n->text); });
    siblings.insert(at, nodes_.back().get());
    return reinterpret_cast<Item>(nodes_.back().get());
  }
  void Expand(Item) override {}
  Item FirstRoot() const override { return roots_.empty() ? 0 : reinterpret_cast<Item>(roots_.front()); }
  void SetChannel(Item item, int channel) override { reinterpret_cast<Node*>(item)->channel = channel; }
  std::u16string Dump() const {
    std::u16string out;
    std::function<void(const Node*, int)> walk = [&](const Node* n, int depth) {
      out += std::u16string(depth * 2, u' ') + n->text + u"[" + QString::number(n->image).toStdU16String() + u"," +
             QString::number(reinterpret_cast<quintptr>(n->data), 16).toStdU16String() + u"," +
             QString::number(n->channel).toStdU16String() + u"]\n";
      for (const Node* c : n->children) walk(c, depth + 1);
    };
    for (const Node* r : roots_) walk(r, 0);
    return out;
  }

 private:
  std::vector<std::unique_ptr<Node>> nodes_;
  std::vector<Node*> roots_;
};

// The device tree as it was built item by item: regions in node order, each under its
// parent when that was made before it; then devices under their region, each sorted among
// its siblings as it is inserted, channels after it in order.
void BuildItemByItem(CDevMgrModel& m, ITreeTarget& tree, bool ownTree) {
  tree.Reset();
  std::map<std::u16string, ITreeTarget::Item> regions;
  ITreeTarget::Item root = 0;
  for (DeviceTreeNode* n : m.DeviceNodes()) {
    if (n->type != DeviceTreeNode::kRegion) continue;
    ITreeTarget::Item parent = 0;
    if (auto it = regions.find(n->Region()->ParentGuid); it != regions.end()) parent = it->second;
    const ITreeTarget::Item item = tree.Insert(parent, n->Region()->Name, CDevMgrModel::kImageRegion, n, true);
    if (!root) root = item;
    regions.emplace(n->Region()->Guid, item);
  }
  for (DeviceTreeNode* n : m.DeviceNodes()) {
    if (n->type == DeviceTreeNode::kRegion || n->type == DeviceTreeNode::kOther) continue;
    if (n->type == DeviceTreeNode::kStreamServer && !ownTree) continue;
    ITreeTarget::Item parent = root;
    if (auto it = regions.find(n->Device()->GetRegionGuid()); it != regions.end()) parent = it->second;
    const bool server = n->type == DeviceTreeNode::kStreamServer;
    const ITreeTarget::Item item = tree.Insert(parent, n->Device()->GetDevInfo().GetName(),
                                               server ? CDevMgrModel::kImageStreamServer : CDevMgrModel::kImageDevice, n, true);
    if (server) continue;
    for (int c = 1; c <= n->Device()->GetDevInfo().GetChnNum(); ++c)
      tree.SetChannel(tree.Insert(item, CDevMgrModel::ChannelText(c), CDevMgrModel::kImageChannel, nullptr, false), c);
  }
}

TEST_F(DevMgrData, ThousandsOfDevicesGiveTheTreesTheyGaveItemByItem) {
  // Regions whose rows come before their parents', names differing only in case, devices of
  // every type, some of regions that are gone, and equal names among siblings.
  std::vector<devmgr_test::Row3> regions = {{u"Root", u"r0", u""}};
  for (int i = 1; i <= 40; ++i) {
    const std::u16string n = QString::number(i).toStdU16String();
    regions.push_back({(i % 3 ? u"Area " : u"area ") + n, u"r" + n, i <= 10 ? u"r0" : u"r" + QString::number(i / 4).toStdU16String()});
  }
  std::swap(regions[3], regions[30]);
  Regions(regions);
  for (int i = 0; i < 3000; ++i) {
    const std::u16string n = QString::number(i * 7919 % 3000).toStdU16String();
    const int type = i % 11 == 0 ? 3 : i % 13 == 0 ? 9 : 1 + i % 4 % 3;
    const std::u16string region = i % 17 == 0 ? u"gone" : u"r" + QString::number(i % 41).toStdU16String();
    const std::u16string name = (i % 5 == 0 ? u"Cam " : i % 5 == 1 ? u"cam " : u"DVR ") + n.substr(0, 2);
    CDevInfo info(name + u"#" + QString::number(i).toStdU16String(), u"10.1." + QString::number(i / 250).toStdU16String() + u"." +
                  QString::number(i % 250).toStdU16String(), 8000, u"admin", u"pw", i % 3 == 0 ? 8 : 1, u"", u"", u"", u"", 0, 0, type,
                  u"G-" + QString::number(i).toStdU16String(), region);
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(info)));
  }
  CDevMgrModel m;
  m.LoadAll();
  for (bool own : {true, false}) {
    RecordingTree before, now;
    BuildItemByItem(m, before, own);
    m.BuildDeviceTree(now, own);
    ASSERT_EQ(now.Dump(), before.Dump()) << own;
    // The tree control gets the same, items made outside it and handed over at once.
    QTreeWidget widget;
    CTreeCtrlTarget target(&widget);
    m.BuildDeviceTree(target, own);
    QTreeWidget reference;
    {
      CTreeCtrlTarget one(&reference);
      BuildItemByItem(m, one, own);
    }
    EXPECT_EQ(Dump(widget), Dump(reference)) << own;
    EXPECT_GT(widget.topLevelItem(0)->childCount(), 10);
  }
  // Building the device nodes again adds none for the devices it has.
  const size_t nodes = m.DeviceNodes().size();
  m.BuildDeviceNodes();
  EXPECT_EQ(m.DeviceNodes().size(), nodes);
}

TEST_F(DevMgrData, WithoutRegionsTheTreeIsEmptyButDevicesStay) {
  Device(u"cam", 2, 1, u"g1");
  CDevMgrModel m;
  m.LoadAll();
  QTreeWidget t;
  CTreeCtrlTarget target(&t);
  m.BuildDeviceTree(target, true);
  EXPECT_EQ(t.topLevelItemCount(), 0);
  EXPECT_EQ(m.DeviceNodes().size(), 1u);
  ASSERT_TRUE(m.SaveAll());  // an empty database gets all three tables
  EXPECT_TRUE(Table(u"Tb_Region").empty());
  EXPECT_TRUE(Table(u"Tb_Group").empty());
  EXPECT_EQ(Table(u"Tb_Device").size(), 1u);
}

TEST_F(DevMgrData, GroupsAndMembersFollowGuidsNotNames) {
  Regions({{u"Root", u"g1", u""}});
  Device(u"cam", 2, 4, u"g1");
  Exec(u"CREATE TABLE Tb_Group (Name varchar NOT NULL,Guid varchar NOT NULL,DevGuid varchar,Chn varchar);");
  const std::u16string longGuid(48, u'A');
  for (auto& r : std::vector<std::vector<std::u16string>>{
           {u"Lobby", u"gr1", u"", u"0"},
           {u"Root_cam_通道02", u"gr1", u"G-cam", u"2"},
           {u"Root_cam_通道03", u"gr2", u"G-cam", u"3"},
           {u"Gate's", u"gr2", u"", u"0"},
           {u"Root_cam_通道04", u"gr9", u"G-cam", u"4"},
           {u"Root_cam_通道01", u"gr1", longGuid, u"1"}})
    Exec(u"insert into Tb_Group values(?,?,?,?);", {r[0], r[1], r[2], r[3]});
  CDevMgrModel m;
  m.LoadAll();
  QTreeWidget t;
  CTreeCtrlTarget target(&t);
  m.RebuildGroupTree(target);
  EXPECT_EQ(Dump(t), u"Gate's[8]\n  Root_cam_通道03[4]\n"
                     u"Lobby[8]\n  Root_cam_通道01[4]\n  Root_cam_通道02[4]\n");
  EXPECT_TRUE(t.topLevelItem(1)->isExpanded());
  GroupTreeNode* shown = GroupNodeOf(t.topLevelItem(1)->child(0));
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->group, GroupNodeOf(t.topLevelItem(1)));

  // The device is renamed: its members still stand for its channels.
  CDevice* cam = CDeviceManager::GetInstance()->FindDevice(u"G-cam", 1);
  cam->GetDevInfo().SetName(u"renamed");
  GroupTreeNode* member = m.FindMember(u"G-cam", 3);
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(member->Member()->Guid, u"gr2");
  EXPECT_EQ(m.MemberDevice(member), cam);
  // A row of a GUID longer than the program makes is held as it is.
  ASSERT_NE(m.FindMember(longGuid, 1), nullptr);
  EXPECT_EQ(m.FindMember(longGuid, 1)->Member()->Guid, u"gr1");
  EXPECT_EQ(m.FindGroupByGuid(u"gr2")->text, u"Gate's");
  CGroupInfo probe(u"Root_cam_通道02", u"");
  EXPECT_TRUE(m.IsGroupNameUsed(&probe));  // members' names count too
  probe.Name = u"lobby";
  EXPECT_FALSE(m.IsGroupNameUsed(&probe));  // exact, case-sensitive

  ASSERT_TRUE(m.SaveGroups());
  auto rows = Table(u"Tb_Group");
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[5], (std::vector<std::u16string>{u"Root_cam_通道01", u"gr1", longGuid, u"1"}));
  EXPECT_EQ(rows[0], (std::vector<std::u16string>{u"Lobby", u"gr1", u"", u"0"}));
  EXPECT_EQ(rows[2], (std::vector<std::u16string>{u"Root_cam_通道03", u"gr2", u"G-cam", u"3"}));
  EXPECT_EQ(rows[3][0], u"Gate's");
}

TEST_F(DevMgrData, AFailedWriteLeavesThePreviousTables) {
  Regions({{u"Root", u"g1", u""}});
  CDevMgrModel m;
  m.LoadAll();
  ASSERT_NE(m.AddRegionNode(u"New", u"g2", u"g1"), nullptr);
  plat::setTimeScale(0.001);  // the busy wait ends at once
  CppSQLite3DB holder;
  ASSERT_TRUE(OpenDatabaseInProgramDir(holder, u"Tarnwick.db"));
  holder.Execute(u"BEGIN EXCLUSIVE;");
  EXPECT_FALSE(m.SaveRegions());
  EXPECT_FALSE(m.SaveGroups());
  holder.Execute(u"ROLLBACK;");
  holder.Close();
  EXPECT_EQ(Table(u"Tb_Region").size(), 1u);
  EXPECT_TRUE(m.SaveRegions());
  EXPECT_EQ(Table(u"Tb_Region").size(), 2u);
}

}  // namespace
