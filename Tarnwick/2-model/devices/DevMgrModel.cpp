#include "devices/DevMgrModel.h"

#include <QString>
#include <algorithm>
#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>

#include "devices/DeviceManager.h"
#include "plat/log.h"
#include "plat/text.h"
#include "shell/DamagedFiles.h"
#include "shell/DbHelpers.h"
#include "shell/Language.h"
#include "shell/StringIds.h"

namespace {

constexpr const char16_t* kDatabase = u"Tarnwick.db";
constexpr const char16_t* kCreateRegion =
    u"CREATE TABLE [Tb_Region](Name varchar NOT NULL, Guid varchar NOT NULL, ParentGuid varchar NOT NULL);";
constexpr const char16_t* kCreateGroup =
    u"CREATE TABLE [Tb_Group] (Name varchar NOT NULL,Guid varchar NOT NULL,DevGuid varchar,Chn varchar);";

using Cell = std::optional<std::u16string>;
using Row = std::vector<Cell>;

std::string Utf8(const std::u16string& t) { return plat::utf16ToUtf8(t); }

// Every row of a table with at least `columns` columns, as read; the rows before an error stay.
// A table that cannot be read whole is reported, so the next save keeps the file aside.
std::vector<Row> ReadRows(const char16_t* table, int columns) {
  std::vector<Row> rows;
  CppSQLite3DB db;
  if (!OpenDatabaseInProgramDir(db, kDatabase)) return rows;
  std::string damage;
  try {
    if (db.TableExists(table)) {
      CppSQLite3Query q = db.Query(u"select * from [" + std::u16string(table) + u"];");
      if (q.FieldCount() >= columns) {
        for (; !q.Eof(); q.NextRow()) {
          Row row;
          for (int c = 0; c < columns; ++c) {
            const char16_t* t = q.FieldText(c);
            row.push_back(t ? Cell(t) : std::nullopt);
          }
          rows.push_back(std::move(row));
        }
      } else {
        damage = "has " + std::to_string(q.FieldCount()) + " columns";
      }
    }
  } catch (const CppSQLite3Exception& e) {
    damage = "reading stopped after " + std::to_string(rows.size()) + " rows: " + e.Detail();
  }
  db.Close();
  if (!damage.empty()) ReportDamagedFile(kDatabase, Utf8(table) + " " + damage);
  return rows;
}

// Drops and re-creates a table and fills it, all in one transaction.
bool RewriteTable(const char16_t* table, const char16_t* create,
                  const std::function<void(CppSQLite3DB&)>& fill) {
  return SaveKeepingDamagedAside(kDatabase, [&] {
    CppSQLite3DB db;
    if (!OpenDatabaseInProgramDir(db, kDatabase)) return false;
    const int ok = RunInTransaction(db, [&](CppSQLite3DB& d) {
      if (d.TableExists(table)) d.Execute(u"DROP TABLE [" + std::u16string(table) + u"];");
      d.Execute(create);
      fill(d);
      return true;
    });
    db.Close();
    return ok == 1;
  });
}

}  // namespace

bool TreeTextBefore(const std::u16string& a, const std::u16string& b) {
  return QString::compare(QString::fromStdU16String(a), QString::fromStdU16String(b), Qt::CaseInsensitive) < 0;
}

CDevMgrModel::CDevMgrModel(CDeviceManager* devices) : devices_(devices) {}

CDevMgrModel::~CDevMgrModel() { Clear(); }

CDeviceManager* CDevMgrModel::Devices() {
  if (!devices_) devices_ = CDeviceManager::GetInstance();
  return devices_;
}

void CDevMgrModel::Clear() {
  for (DeviceTreeNode* n : deviceNodes_) DeleteDeviceNode(n);
  deviceNodes_.clear();
  for (GroupTreeNode* n : groupNodes_) DeleteGroupNode(n);
  groupNodes_.clear();
  hierarchy_.Clear();
}

void CDevMgrModel::DeleteDeviceNode(DeviceTreeNode* node) {
  delete node->Region();
  delete node;
}

void CDevMgrModel::DeleteGroupNode(GroupTreeNode* node) {
  delete node->Group();
  delete node->Member();
  delete node;
}

void CDevMgrModel::LoadAll() {
  LoadRegions();
  Devices()->Load();
  BuildDeviceNodes();
  LoadGroups();
}

// Rows in the order stored: the first becomes the root, every later one goes under the
// region its parent GUID names among those already added, or is dropped (and so is missing
// from the next Tb_Region). The program writes parents before their children.
void CDevMgrModel::LoadRegions() {
  for (const Row& r : ReadRows(u"Tb_Region", 3)) {
    if (!r[0] || !r[1] || !r[2]) continue;
    if (!AddRegionNode(*r[0], *r[1], *r[2]))
      PLAT_LOGW("devmgr", "region \"%s\" dropped: its parent region is unknown or its name is taken",
                Utf8(*r[0]).c_str());
  }
}

// A second region of a name already held is refused: the hierarchy finds regions by name, so
// deleting one of two namesakes would take the other's entry out and leave this one's entry
// pointing at the record deleted.
DeviceTreeNode* CDevMgrModel::AddRegionNode(const std::u16string& name, const std::u16string& guid,
                                            const std::u16string& parentGuid) {
  CRegionHierarchy::Entry* parent = nullptr;
  if (!hierarchy_.Empty()) {
    const std::u16string* parentName = FindRegionNameByGuid(parentGuid);
    parent = parentName ? hierarchy_.Find(*parentName) : nullptr;
    if (!parent || hierarchy_.Find(name)) return nullptr;
  }
  auto* region = new CRegionInfo(name, guid, parentGuid);
  if (parent)
    hierarchy_.AddChild(parent, region);
  else
    hierarchy_.SetRoot(region);
  auto* node = new DeviceTreeNode{DeviceTreeNode::kRegion, region};
  deviceNodes_.push_back(node);
  return node;
}

const std::u16string* CDevMgrModel::FindRegionNameByGuid(const std::u16string& guid) const {
  for (DeviceTreeNode* n : deviceNodes_)
    if (n->type == DeviceTreeNode::kRegion && n->Region()->Guid == guid) return &n->Region()->Name;
  return nullptr;
}

int32_t CDevMgrModel::NodeTypeOf(const CDevice& device) {
  switch (device.GetDevType()) {
    case DEV_TYPE_STREAM_SERVER: return DeviceTreeNode::kStreamServer;
    case DEV_TYPE_DVR:
    case DEV_TYPE_IPC:
    case DEV_TYPE_NVR: return DeviceTreeNode::kDevice;
    default: return DeviceTreeNode::kOther;
  }
}

DeviceTreeNode* CDevMgrModel::AddDeviceNode(CDevice* device, int32_t type) {
  if (!device) return nullptr;
  auto* node = new DeviceTreeNode{type < 0 ? NodeTypeOf(*device) : type, device};
  deviceNodes_.push_back(node);
  return node;
}

bool CDevMgrModel::RemoveDeviceNode(const CDevice* device) {
  auto it = std::find_if(deviceNodes_.begin(), deviceNodes_.end(), [&](DeviceTreeNode* n) {
    return n->type != DeviceTreeNode::kRegion && n->object == device;
  });
  if (it == deviceNodes_.end()) return false;
  DeleteDeviceNode(*it);
  deviceNodes_.erase(it);
  return true;
}

void CDevMgrModel::BuildDeviceNodes() {
  CDeviceManager* list = Devices();
  std::unordered_set<const void*> known;
  known.reserve(deviceNodes_.size());
  for (DeviceTreeNode* n : deviceNodes_) known.insert(n->object);
  for (CDevice* d : list->GetList())
    if (known.insert(d).second) AddDeviceNode(d);
}

void CDevMgrModel::LoadGroups() {
  for (const Row& r : ReadRows(u"Tb_Group", 4)) {
    if (!r[0] || !r[1] || !r[2]) continue;
    AddGroupRow(*r[0], *r[1], *r[2], r[3] ? plat::textToInt(*r[3]) : 0);
  }
}

GroupTreeNode* CDevMgrModel::AddGroupRow(const std::u16string& name, const std::u16string& guid,
                                         const std::u16string& deviceGuid, int channel) {
  auto* node = new GroupTreeNode;
  node->text = name;
  // A GUID of any length is kept as stored: a row the program did not write itself (another
  // version, a hand edit) is never dropped and then deleted by the next save.
  if (!deviceGuid.empty()) {
    auto* m = new CGroupMemberInfo;
    m->Chn = channel;
    m->Guid = guid;
    m->DevGuid = deviceGuid;
    node->type = GroupTreeNode::kMember;
    node->record = m;
  } else {
    node->type = GroupTreeNode::kGroup;
    node->record = new CGroupInfo(name, guid);
  }
  groupNodes_.push_back(node);
  return node;
}

CDevMgrModel::TableRows CDevMgrModel::RegionRows() const {
  TableRows rows;
  for (CRegionHierarchy::Entry* e : hierarchy_.PreOrder())
    rows.push_back({e->region->Name, e->region->Guid, e->region->ParentGuid});
  return rows;
}

CDevMgrModel::TableRows CDevMgrModel::GroupRows() const {
  TableRows rows;
  for (GroupTreeNode* n : groupNodes_) {
    if (CGroupInfo* g = n->Group())
      rows.push_back({n->text, g->Guid, u"", u"0"});
    else if (CGroupMemberInfo* m = n->Member())
      rows.push_back({n->text, m->Guid, m->DevGuid, plat::utf8ToUtf16(std::to_string(m->Chn))});
  }
  return rows;
}

bool CDevMgrModel::SaveRegions() {
  return RewriteTable(u"Tb_Region", kCreateRegion, [this](CppSQLite3DB& d) {
    for (const auto& r : RegionRows()) d.Execute(u"insert into [Tb_Region] values(?, ?, ?);", {r[0], r[1], r[2]});
  });
}

bool CDevMgrModel::SaveGroups() {
  return RewriteTable(u"Tb_Group", kCreateGroup, [this](CppSQLite3DB& d) {
    for (const auto& r : GroupRows())
      d.Execute(u"insert into [Tb_Group] values(?, ?, ?, ?);", {r[0], r[1], r[2], int64_t{plat::textToInt(r[3])}});
  });
}

bool CDevMgrModel::SaveAll() {
  const bool devices = Devices()->Save();
  const bool regions = SaveRegions();
  const bool groups = SaveGroups();
  return devices && regions && groups;
}

std::u16string CDevMgrModel::ChannelText(int number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%02d", number);
  return LoadResString(IDS_CHANNEL) + plat::utf8ToUtf16(digits);
}

namespace {

// One item of a tree being built: the tree is laid out first, with each item's siblings in
// their final order, then handed to the control from the top down, each item appended.
struct PlannedItem {
  QString key;  // the text as the sibling order compares it
  std::u16string text;
  int image = 0;
  DeviceTreeNode* node = nullptr;
  int channels = 0;  // channel items under a device
  std::vector<PlannedItem*> children;
};

// Siblings sorted by text, equal texts in the order they came: what inserting each before
// the first sibling that sorts after it gives, without looking at every sibling each time.
void SortSiblings(std::vector<PlannedItem*>& siblings) {
  std::stable_sort(siblings.begin(), siblings.end(), [](const PlannedItem* a, const PlannedItem* b) {
    return QString::compare(a->key, b->key, Qt::CaseInsensitive) < 0;
  });
}

}  // namespace

void CDevMgrModel::BuildDeviceTree(ITreeTarget& tree, bool ownTree) {
  tree.Reset();
  // A node whose object went is never kept: the next build would use it.
  std::erase_if(deviceNodes_, [this](DeviceTreeNode* n) {
    if (n->object) return false;
    DeleteDeviceNode(n);
    return true;
  });
  if (hierarchy_.Empty()) {
    tree.Finish();
    return;
  }
  std::deque<PlannedItem> items;  // stable addresses
  auto plan = [&](std::vector<PlannedItem*>& siblings, const std::u16string& text, int image, DeviceTreeNode* node) {
    items.push_back(PlannedItem{QString::fromStdU16String(text), text, image, node, 0, {}});
    siblings.push_back(&items.back());
    return &items.back();
  };
  std::vector<PlannedItem*> roots;
  // Regions first, each under the region of its parent GUID when that was made before it,
  // else at the root; then devices under their region (the root region when theirs is gone).
  std::unordered_map<std::u16string, PlannedItem*> regionItems;
  PlannedItem* rootItem = nullptr;
  for (DeviceTreeNode* n : deviceNodes_) {
    if (n->type != DeviceTreeNode::kRegion) continue;
    auto parent = regionItems.find(n->Region()->ParentGuid);
    PlannedItem* item = plan(parent != regionItems.end() ? parent->second->children : roots, n->Region()->Name,
                             kImageRegion, n);
    if (!rootItem) rootItem = item;
    regionItems.emplace(n->Region()->Guid, item);
  }
  for (DeviceTreeNode* n : deviceNodes_) {
    if (n->type == DeviceTreeNode::kRegion || n->type == DeviceTreeNode::kOther) continue;
    if (n->type == DeviceTreeNode::kStreamServer && !ownTree) continue;
    CDevice* device = n->Device();
    PlannedItem* parent = rootItem;
    if (auto it = regionItems.find(device->GetRegionGuid()); it != regionItems.end()) parent = it->second;
    const bool server = n->type == DeviceTreeNode::kStreamServer;
    PlannedItem* item = plan(parent->children, device->GetDevInfo().GetName(), server ? kImageStreamServer : kImageDevice, n);
    if (!server) item->channels = device->GetDevInfo().GetChnNum();
  }
  // The channel texts differ only in their number.
  const std::u16string channelText = LoadResString(IDS_CHANNEL);
  char digits[16];
  std::function<void(ITreeTarget::Item, std::vector<PlannedItem*>&)> place = [&](ITreeTarget::Item parent,
                                                                                std::vector<PlannedItem*>& siblings) {
    SortSiblings(siblings);
    for (PlannedItem* p : siblings) {
      const ITreeTarget::Item item = tree.Insert(parent, p->text, p->image, p->node, false);
      place(item, p->children);
      for (int c = 1; c <= p->channels; ++c) {
        std::snprintf(digits, sizeof digits, "%02d", c);
        tree.SetChannel(tree.Insert(item, channelText + plat::utf8ToUtf16(digits), kImageChannel, nullptr, false), c);
      }
    }
  };
  place(0, roots);
  tree.Finish();
  if (ITreeTarget::Item first = tree.FirstRoot()) tree.Expand(first);
}

void CDevMgrModel::RebuildGroupTree(ITreeTarget& tree) {
  tree.Reset();
  std::map<std::u16string, std::pair<ITreeTarget::Item, GroupTreeNode*>> groups;
  std::vector<ITreeTarget::Item> groupItems;
  for (GroupTreeNode* n : groupNodes_) {
    if (CGroupInfo* g = n->Group()) {
      const ITreeTarget::Item item = tree.Insert(0, g->Name, kImageGroup, n, true);
      groups.emplace(g->Guid, std::pair{item, n});
      groupItems.push_back(item);
    }
  }
  for (GroupTreeNode* n : groupNodes_) {
    CGroupMemberInfo* m = n->Member();
    if (!m) continue;
    auto it = groups.find(m->Guid);
    if (it == groups.end()) continue;
    tree.Insert(it->second.first, n->text, kImageChannel, n, true);
    n->group = it->second.second;
  }
  tree.Finish();
  if (ITreeTarget::Item first = tree.FirstRoot()) tree.Expand(first);
  for (ITreeTarget::Item item : groupItems) tree.Expand(item);
}

bool CDevMgrModel::IsRegionNameUsed(const CRegionInfo* region) const {
  if (!region || hierarchy_.Empty()) return false;
  return hierarchy_.Find(region->Name) != nullptr;
}

bool CDevMgrModel::IsDeviceNameUsed(const CDevInfo* info, int nodeType) const {
  if (!info) return false;
  const std::u16string name = info->GetName();
  return std::any_of(deviceNodes_.begin(), deviceNodes_.end(), [&](DeviceTreeNode* n) {
    return n->type == nodeType && n->object && n->Device()->GetDevInfo().GetName() == name;
  });
}

bool CDevMgrModel::IsDeviceAddressUsed(const std::u16string& address) const {
  return std::any_of(deviceNodes_.begin(), deviceNodes_.end(), [&](DeviceTreeNode* n) {
    return n->type != DeviceTreeNode::kRegion && n->object && n->Device()->GetDevInfo().GetIP() == address;
  });
}

bool CDevMgrModel::IsGroupNameUsed(const CGroupInfo* group) const {
  if (!group) return false;
  return std::any_of(groupNodes_.begin(), groupNodes_.end(),
                     [&](GroupTreeNode* n) { return n->text == group->Name; });
}

GroupTreeNode* CDevMgrModel::FindMember(const std::u16string& deviceGuid, int channel) const {
  for (GroupTreeNode* n : groupNodes_)
    if (CGroupMemberInfo* m = n->Member(); m && m->DevGuid == deviceGuid && m->Chn == channel) return n;
  return nullptr;
}

GroupTreeNode* CDevMgrModel::FindGroupByGuid(const std::u16string& guid) const {
  for (GroupTreeNode* n : groupNodes_)
    if (CGroupInfo* g = n->Group(); g && g->Guid == guid) return n;
  return nullptr;
}

CDevice* CDevMgrModel::MemberDevice(const GroupTreeNode* member) {
  if (!member || !member->Member()) return nullptr;
  return Devices()->FindDevice(member->Member()->DevGuid, 1);
}

DeviceTreeNode* CDevMgrModel::RootRegionNode() const {
  CRegionHierarchy::Entry* root = hierarchy_.Root();
  if (!root) return nullptr;
  for (DeviceTreeNode* n : deviceNodes_)
    if (n->Region() == root->region) return n;
  return nullptr;
}

DeviceTreeNode* CDevMgrModel::RegionNodeOf(const CDevice* device) const {
  if (!device) return nullptr;
  const std::u16string guid = device->GetRegionGuid();
  for (DeviceTreeNode* n : deviceNodes_)
    if (n->type == DeviceTreeNode::kRegion && n->Region()->Guid == guid) return n;
  return RootRegionNode();
}

DeviceTreeNode* CDevMgrModel::FindDeviceNode(const CDevice* device) const {
  for (DeviceTreeNode* n : deviceNodes_)
    if (n->type != DeviceTreeNode::kRegion && n->object == device) return n;
  return nullptr;
}

bool CDevMgrModel::RegionHasChildren(const DeviceTreeNode* region) const {
  if (!region || !region->Region()) return false;
  if (CRegionHierarchy::Entry* e = hierarchy_.Find(region->Region()->Name); e && !e->children.empty()) return true;
  return std::any_of(deviceNodes_.begin(), deviceNodes_.end(), [&](DeviceTreeNode* n) {
    return (n->type == DeviceTreeNode::kDevice || n->type == DeviceTreeNode::kStreamServer) && n->object &&
           RegionNodeOf(n->Device()) == region;
  });
}

bool CDevMgrModel::RemoveRegionNode(DeviceTreeNode* region) {
  auto it = std::find(deviceNodes_.begin(), deviceNodes_.end(), region);
  if (it == deviceNodes_.end() || !region->Region() || RegionHasChildren(region)) return false;
  if (CRegionHierarchy::Entry* e = hierarchy_.Find(region->Region()->Name)) hierarchy_.RemoveLeaf(e);
  DeleteDeviceNode(region);
  deviceNodes_.erase(it);
  return true;
}

void CDevMgrModel::RenameRegion(DeviceTreeNode* region, const std::u16string& name) {
  if (!region || !region->Region()) return;
  if (CRegionHierarchy::Entry* e = hierarchy_.Find(region->Region()->Name)) e->name = name;
  region->Region()->Name = name;
}

std::u16string CDevMgrModel::MemberName(const std::u16string& region, const std::u16string& device, int channel) {
  return region + u"_" + device + u"_" + ChannelText(channel);
}

void CDevMgrModel::RemoveGroupNode(GroupTreeNode* node) {
  if (!node) return;
  std::vector<GroupTreeNode*> drop{node};
  if (CGroupInfo* g = node->Group())
    for (GroupTreeNode* n : groupNodes_)
      if (CGroupMemberInfo* m = n->Member(); m && m->Guid == g->Guid) drop.push_back(n);
  for (GroupTreeNode* n : drop) {
    auto it = std::find(groupNodes_.begin(), groupNodes_.end(), n);
    if (it == groupNodes_.end()) continue;
    groupNodes_.erase(it);
    DeleteGroupNode(n);
  }
}

std::vector<GroupTreeNode*> CDevMgrModel::SortedGroups() const {
  std::vector<GroupTreeNode*> groups;
  for (GroupTreeNode* n : groupNodes_)
    if (n->Group()) groups.push_back(n);
  std::stable_sort(groups.begin(), groups.end(),
                   [](GroupTreeNode* a, GroupTreeNode* b) { return TreeTextBefore(a->Group()->Name, b->Group()->Name); });
  return groups;
}

GroupTreeNode* CDevMgrModel::GroupOfMember(const GroupTreeNode* member) const {
  return member && member->Member() ? FindGroupByGuid(member->Member()->Guid) : nullptr;
}

std::vector<GroupTreeNode*> CDevMgrModel::MembersOfDevice(const std::u16string& deviceGuid) const {
  std::vector<GroupTreeNode*> out;
  for (GroupTreeNode* n : groupNodes_)
    if (CGroupMemberInfo* m = n->Member(); m && m->DevGuid == deviceGuid) out.push_back(n);
  return out;
}

// --- the region hierarchy

CRegionHierarchy::Entry* CRegionHierarchy::Find(const std::u16string& name) const {
  std::function<Entry*(Entry*)> find = [&](Entry* e) -> Entry* {
    if (!e) return nullptr;
    if (e->name == name) return e;
    for (auto& c : e->children)
      if (Entry* f = find(c.get())) return f;
    return nullptr;
  };
  return find(root_.get());
}

CRegionHierarchy::Entry* CRegionHierarchy::SetRoot(CRegionInfo* region) {
  root_ = std::make_unique<Entry>();
  root_->name = region->Name;
  root_->region = region;
  return root_.get();
}

CRegionHierarchy::Entry* CRegionHierarchy::AddChild(Entry* parent, CRegionInfo* region) {
  auto e = std::make_unique<Entry>();
  e->name = region->Name;
  e->region = region;
  e->parent = parent;
  parent->children.push_back(std::move(e));
  return parent->children.back().get();
}

bool CRegionHierarchy::RemoveLeaf(Entry* entry) {
  if (!entry || !entry->children.empty()) return false;
  if (entry == root_.get()) {
    root_.reset();
    return true;
  }
  auto& siblings = entry->parent->children;
  std::erase_if(siblings, [&](const std::unique_ptr<Entry>& e) { return e.get() == entry; });
  return true;
}

std::vector<CRegionHierarchy::Entry*> CRegionHierarchy::PreOrder() const {
  std::vector<Entry*> out;
  std::function<void(Entry*)> walk = [&](Entry* e) {
    out.push_back(e);
    for (auto& c : e->children) walk(c.get());
  };
  if (root_) walk(root_.get());
  return out;
}
