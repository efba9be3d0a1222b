// The live view's model: its services, the trees' marks and the page's end. Opening and
// closing are in LiveViewOpen.cpp, recording and the timers in LiveViewRecording.cpp, alarms
// and device messages in LiveViewDevices.cpp.
#include "view/LiveViewModel.h"

#include <QString>
#include <algorithm>

#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "devices/DeviceTreeNodes.h"
#include "shell/Language.h"
#include "shell/Singleton.h"
#include "shell/UiService.h"
#include "view/PreviewManager.h"

namespace {

using Row = CLiveViewModel::Row;

// Each child of `row`, then recursively, the row first.
Row FindDepthFirst(const ILiveTree& tree, Row row, const std::function<bool(Row)>& match) {
  if (!row) return 0;
  if (match(row)) return row;
  for (int i = 0; i < tree.ChildCount(row); ++i)
    if (const Row hit = FindDepthFirst(tree, tree.Child(row, i), match)) return hit;
  return 0;
}

Row FindInTree(const ILiveTree* tree, const std::function<bool(Row)>& match) {
  if (!tree) return 0;
  for (int i = 0; i < tree->RootCount(); ++i)
    if (const Row hit = FindDepthFirst(*tree, tree->Root(i), match)) return hit;
  return 0;
}

void SetImage(ILiveTree* tree, Row row, int image) {
  if (tree && row) tree->SetImage(row, image);
}

// The image of a channel's row: alarm flag, preview and recording as the tree shows them.
int ChannelImage(CChannel& channel) {
  const int a = channel.GetAlarmFlag() ? 1 : 0;
  const int p = channel.IsPreviewing() ? 1 : 0;
  const int r = channel.IsRecording() ? 1 : 0;
  switch (a * 4 + p * 2 + r) {
    case 2: return 5;
    case 1: return 6;
    case 3: return 7;
    case 4: return 10;
    case 6: return 11;
    case 7: return 12;
    default: return 4;
  }
}

}  // namespace

CLiveViewModel::CLiveViewModel(std::unique_ptr<ILiveTree> deviceTree, std::unique_ptr<ILiveTree> groupTree,
                               std::unique_ptr<IAlarmRows> alarmList)
    : deviceTree_(std::move(deviceTree)), groupTree_(std::move(groupTree)), alarmList_(std::move(alarmList)) {
  pageTag_ = this;
  if (SingletonAccess<CPreviewManager>::HasInstance()) HookStops();
}

void CLiveViewModel::HookStops() {
  CPreviewManager::GetInstance()->SetStoppedListener(
      [this, alive = owner_.Token()](const std::u16string& guid, int channel) {
        if (alive.lock()) OnPreviewStopped(guid, channel);
      });
}

CLiveViewModel::~CLiveViewModel() = default;

// --- small helpers ---------------------------------------------------------------------------

void CLiveViewModel::Notice(uint32_t id, const std::u16string& tail) { Say(LoadResString(id) + tail); }

void CLiveViewModel::Say(const std::u16string& text) {
  if (host_.notice) host_.notice(text);
  else UiService().Notice(text);
}

void CLiveViewModel::PanelBind(int bound) {
  if (host_.panelBind) host_.panelBind(bound);
}

void CLiveViewModel::BindVideoParam(const std::u16string& guid, int channel) {
  if (host_.bindVideoParam) host_.bindVideoParam(guid, channel);
}

std::tm CLiveViewModel::Now() const {
  if (host_.now) return host_.now();
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

CDevice* CLiveViewModel::LiveDevice(CDevice* device) const {
  // Messages name devices that may have been deleted since they were posted.
  if (!device) return nullptr;
  const auto& list = CDeviceManager::GetInstance()->GetList();
  return std::find(list.begin(), list.end(), device) == list.end() ? nullptr : device;
}

CDevice* CLiveViewModel::DeviceOfItem(const CPreviewItem& item) const {
  return CDeviceManager::GetInstance()->FindDevice(item.GetDeviceGuid(), 1);
}

ILiveWindow* CLiveViewModel::WndOf(int window) const {
  ILiveScreen* screen = screen_ ? screen_ : CPreviewManager::GetInstance()->GetPlayScreen();
  return screen ? screen->GetWnd(window) : nullptr;
}

int CLiveViewModel::ActiveIndex() const {
  ILiveScreen* screen = screen_ ? screen_ : CPreviewManager::GetInstance()->GetPlayScreen();
  return screen ? screen->GetActiveIndex() : -1;
}

int CLiveViewModel::ChannelOf(int number, const std::u16string& text) {
  // The number the tree builder gave the row; the text's last two digits for a row that has
  // none.
  if (number > 0) return number;
  if (text.size() < 2) return -1;
  bool ok = false;
  const int n = QString::fromStdU16String(text.substr(text.size() - 2)).toInt(&ok);
  return ok ? n : -1;
}

int CLiveViewModel::ChannelOfRow(const ILiveTree& tree, Row row) const {
  if (!row) return -1;
  const int number = tree.ChannelNumber(row);
  return ChannelOf(number, number > 0 ? std::u16string() : tree.Text(row));
}

Row CLiveViewModel::SelectedDeviceRow() const { return deviceTree_ ? deviceTree_->Current() : 0; }

// --- tree marks ------------------------------------------------------------------------------

Row CLiveViewModel::FindDeviceRow(CDevice* device) {
  if (!device || !deviceTree_) return 0;
  return FindInTree(deviceTree_.get(), [this, device](Row r) {
    const DeviceTreeNode* node = deviceTree_->DeviceNode(r);
    return node && node->type != DeviceTreeNode::kRegion && node->object == device;
  });
}

Row CLiveViewModel::FindChannelRow(CDevice* device, int channel) {
  if (!device) return 0;
  if (treeMode_ == 1) {
    if (!groupTree_) return 0;
    const std::u16string guid = device->GetGuid();
    return FindInTree(groupTree_.get(), [&](Row r) {
      const GroupTreeNode* node = groupTree_->GroupNode(r);
      const CGroupMemberInfo* member = node ? node->Member() : nullptr;
      return member && member->Chn == channel && member->DevGuid == guid;
    });
  }
  const Row deviceNode = FindDeviceRow(device);
  if (!deviceNode) return 0;
  for (int i = 0; i < deviceTree_->ChildCount(deviceNode); ++i) {
    const Row child = deviceTree_->Child(deviceNode, i);
    if (ChannelOfRow(*deviceTree_, child) == channel) return child;
  }
  return 0;
}

void CLiveViewModel::SetDeviceIcon(CDevice* device, Row node) {
  if (!device || !node) return;
  IDevUserLogin* login = device->GetUserLogin(1);
  int image = 1;
  if (!login || login->GetLoginID(0) == -1) image = 2;
  else if (device->GetAlarmState() == 1) image = 3;
  SetImage(deviceTree_.get(), node, image);
}

void CLiveViewModel::SetChannelIcon(CChannel* channel, Row node) {
  // Channel rows are marked in the tree they were found in: the one shown.
  if (channel && node) SetImage(ShownTree(), node, ChannelImage(*channel));
}

void CLiveViewModel::RefreshChannelIcons(CDevice* device, Row deviceNode) {
  if (!device || !deviceNode || !deviceTree_) return;
  for (int i = 0; i < deviceTree_->ChildCount(deviceNode); ++i) {
    const Row child = deviceTree_->Child(deviceNode, i);
    if (deviceTree_->DeviceNode(child)) continue;
    if (CChannel* channel = device->GetChannel(ChannelOfRow(*deviceTree_, child)))
      SetImage(deviceTree_.get(), child, ChannelImage(*channel));
  }
}

void CLiveViewModel::RefreshTreeIcons(Row node) {
  if (!node || !deviceTree_) return;
  for (int i = 0; i < deviceTree_->ChildCount(node); ++i) {
    const Row child = deviceTree_->Child(node, i);
    const DeviceTreeNode* data = deviceTree_->DeviceNode(child);
    if (!data) continue;
    if (data->type == DeviceTreeNode::kDevice) {
      SetDeviceIcon(data->Device(), child);
      RefreshChannelIcons(data->Device(), child);
    } else if (data->type == DeviceTreeNode::kRegion) {
      RefreshTreeIcons(child);
    }
  }
}

void CLiveViewModel::RefreshChannelNode(CDevice* device, int channel) {
  if (!device) return;
  if (const Row node = FindChannelRow(device, channel)) SetChannelIcon(device->GetChannel(channel), node);
}

intptr_t CLiveViewModel::OnRefreshTree() {
  // The root region's own children, then every further root (a tree may hold several).
  if (deviceTree_)
    for (int i = 0; i < deviceTree_->RootCount(); ++i) RefreshTreeIcons(deviceTree_->Root(i));
  return 0;
}

// --- the page's end --------------------------------------------------------------------------

void CLiveViewModel::Shutdown() {
  if (host_.killTimer) {
    host_.killTimer(kRefreshTimer);
    host_.killTimer(kRecordTimer);
    host_.killTimer(kMidnightTimer);
    host_.killTimer(kVideoWatchTimer);
  }
  recordTimer_ = refreshTimer_ = midnightPending_ = videoWatch_ = false;
  if (!talkName_.empty()) {
    if (CDevice* talking = CDeviceManager::GetInstance()->FindDevice(talkName_, 0))
      devwork::Run(talking->GetGuid(), [talking] { talking->StopVoiceCom(); });
    talkName_.clear();
  }
  if (!SingletonAccess<CPreviewManager>::HasInstance()) return;
  CPreviewManager* manager = CPreviewManager::GetInstance();
  if (screen_ && manager->GetPlayScreen() != screen_) return;
  manager->SaveSession();
  StopAllVideos();
}
