#include "view/DlgPreviewController.h"

#include <algorithm>
#include <cstring>

#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "devices/TreeCtrlTarget.h"
#include "plat/clock.h"
#include "plat/log.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/DiskHelpers.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "shell/UiService.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"
#include "view/RecordFileRing.h"
#include "view/SystemBridge.h"
#include "view/ViewMessages.h"

namespace {

constexpr uint32_t IDS_SELECT_CHANNEL = 8252;
constexpr uint32_t IDS_CLOSE_PREVIEWS_FIRST = 8541;
constexpr uint32_t IDS_CANNOT_PREVIEW = 8546;
constexpr uint32_t IDS_BAD_WINDOW = 8547;
constexpr uint32_t IDS_STOP_CYCLES_FIRST = 8555;
constexpr uint32_t IDS_LOGIN_FAILED = 8601;
constexpr uint32_t IDS_SNAPSHOT_OK = 8350;
constexpr uint32_t IDS_SNAPSHOT_FAILED = 8351;
constexpr uint32_t IDS_RECORD_OK = 8368;
constexpr uint32_t IDS_RECORD_FAILED = 8369;
constexpr uint32_t IDS_DISK_RESERVE = 8525;
constexpr uint32_t IDS_OPEN_PREVIEW_FIRST = 8526;
constexpr uint32_t IDS_RECORD_SETTINGS = 8620;
constexpr uint32_t IDS_SELECT_DEVICE = 8259;
constexpr uint32_t IDS_INVALID_DEVICE = 8260;
constexpr uint32_t IDS_NOT_LOGGED_IN = 8510;
constexpr uint32_t IDS_ROLL_FAILED = 8970;
constexpr uint32_t IDS_SWITCH_ENDED_RECORD = 8971;
constexpr uint32_t IDS_SWITCH_NEW_RECORD = 8972;
constexpr uint32_t IDS_CHANNEL = 8186;
// Notices that name the device after them (the windows say 9002 and 9304 themselves).
constexpr uint32_t IDS_VIDEO_LOST_NOTICE = 9003;
constexpr uint32_t IDS_DEVICE_LOST_NOTICE = 9300;
constexpr uint32_t IDS_LOST_WINDOWS_CLOSED = 9301;
constexpr uint32_t IDS_LOST_RECORDING_STOPPED = 9302;
constexpr uint32_t IDS_LOST_DISARMED = 9303;
constexpr uint32_t IDS_LOST_OPEN_AGAIN = 9305;

const char* AlarmPrefix(int32_t type) {
  switch (type) {
    case 0: return "Signal Alarm:";
    case 1: return "HDD is Full:";
    case 2: return "Video Loss:";
    case 3: return "Motion Detect:";
    case 5: return "Access HDD failed:";
    case 6: return "Video Mask:";
    default: return "";
  }
}
bool IsChannelAlarm(int32_t type) { return type == 0 || type == 2 || type == 3 || type == 6; }
bool IsDiskAlarm(int32_t type) { return type == 1 || type == 5; }

std::u16string U16(const std::string& utf8) { return plat::utf8ToUtf16(utf8); }

// Each child of `node`, then recursively, node first.
QTreeWidgetItem* FindDepthFirst(QTreeWidgetItem* node, const std::function<bool(QTreeWidgetItem*)>& match) {
  if (!node) return nullptr;
  if (match(node)) return node;
  for (int i = 0; i < node->childCount(); ++i)
    if (QTreeWidgetItem* hit = FindDepthFirst(node->child(i), match)) return hit;
  return nullptr;
}

QTreeWidgetItem* FindInTree(QTreeWidget* tree, const std::function<bool(QTreeWidgetItem*)>& match) {
  if (!tree) return nullptr;
  for (int i = 0; i < tree->topLevelItemCount(); ++i)
    if (QTreeWidgetItem* hit = FindDepthFirst(tree->topLevelItem(i), match)) return hit;
  return nullptr;
}

void PlayWndEventThunk(CDevice* device, int channel, int event, void* page) {
  if (page) static_cast<CPreviewController*>(page)->OnPlayWndEvent(device, channel, event);
}

}  // namespace

CPreviewController::CPreviewController(QTreeWidget* deviceTree, QTreeWidget* groupTree, QTreeWidget* alarmList)
    : deviceTree_(deviceTree), groupTree_(groupTree), alarmList_(alarmList) {
  pageTag_ = this;
  if (SingletonAccess<CPreviewManager>::HasInstance()) HookStops();
}

void CPreviewController::HookStops() {
  CPreviewManager::GetInstance()->SetStoppedListener(
      [this, alive = owner_.Token()](const std::u16string& guid, int channel) {
        if (alive.lock()) OnPreviewStopped(guid, channel);
      });
}

CPreviewController::~CPreviewController() = default;

// --- small helpers ---------------------------------------------------------------------------

void CPreviewController::Notice(uint32_t id, const std::u16string& tail) { Say(LoadResString(id) + tail); }

void CPreviewController::Say(const std::u16string& text) {
  if (host_.notice) host_.notice(text);
  else UiService().Notice(text);
}

void CPreviewController::PanelBind(int bound) {
  if (host_.panelBind) host_.panelBind(bound);
}

void CPreviewController::BindVideoParam(const std::u16string& guid, int channel) {
  if (host_.bindVideoParam) host_.bindVideoParam(guid, channel);
}

std::tm CPreviewController::Now() const {
  if (host_.now) return host_.now();
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

CDevice* CPreviewController::LiveDevice(CDevice* device) const {
  // Messages name devices that may have been deleted since they were posted.
  if (!device) return nullptr;
  const auto& list = CDeviceManager::GetInstance()->GetList();
  return std::find(list.begin(), list.end(), device) == list.end() ? nullptr : device;
}

CDevice* CPreviewController::DeviceOfItem(const CPreviewItem& item) const {
  return CDeviceManager::GetInstance()->FindDevice(item.GetDeviceGuid(), 1);
}

int CPreviewController::ActiveIndex() const {
  CPlayScreen* screen = screen_ ? screen_ : CPreviewManager::GetInstance()->GetPlayScreen();
  return screen ? screen->GetActiveIndex() : -1;
}

int CPreviewController::GetRunCount() {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  if (cycles_) return cycles_->GetRunCount();
  std::erase_if(memberWindows_, [manager](int w) { return !manager->FindByWindow(w); });
  return static_cast<int>(memberWindows_.size());
}

int CPreviewController::ChannelOfNode(const QTreeWidgetItem* node) {
  if (!node) return -1;
  // The number the tree builder gave the item; the text's last two digits for an item
  // that has none.
  if (const int n = ChannelNumberOf(node); n > 0) return n;
  const QString text = node->text(0);
  if (text.size() < 2) return -1;
  bool ok = false;
  const int n = text.right(2).toInt(&ok);
  return ok ? n : -1;
}

// --- tree marks ------------------------------------------------------------------------------

QTreeWidgetItem* CPreviewController::FindDeviceItem(CDevice* device) {
  if (!device) return nullptr;
  return FindInTree(deviceTree_, [device](QTreeWidgetItem* n) {
    const DeviceTreeNode* node = DeviceNodeOf(n);
    return node && node->type != DeviceTreeNode::kRegion && node->object == device;
  });
}

QTreeWidgetItem* CPreviewController::FindChannelItem(CDevice* device, int channel) {
  if (!device) return nullptr;
  if (treeMode_ == 1) {
    const std::u16string guid = device->GetGuid();
    return FindInTree(groupTree_, [&](QTreeWidgetItem* n) {
      const GroupTreeNode* node = GroupNodeOf(n);
      const CGroupMemberInfo* member = node ? node->Member() : nullptr;
      return member && member->Chn == channel && member->DevGuid == guid;
    });
  }
  QTreeWidgetItem* deviceNode = FindDeviceItem(device);
  if (!deviceNode) return nullptr;
  for (int i = 0; i < deviceNode->childCount(); ++i)
    if (ChannelOfNode(deviceNode->child(i)) == channel) return deviceNode->child(i);
  return nullptr;
}

void CPreviewController::SetDeviceIcon(CDevice* device, QTreeWidgetItem* node) {
  if (!device || !node) return;
  IDevUserLogin* login = device->GetUserLogin(1);
  int image = 1;
  if (!login || login->GetLoginID(0) == -1) image = 2;
  else if (device->GetAlarmState() == 1) image = 3;
  SetTreeItemImage(node, image);
}

void CPreviewController::SetChannelIcon(CChannel* channel, QTreeWidgetItem* node) {
  if (!channel || !node) return;
  const int a = channel->GetAlarmFlag() ? 1 : 0;
  const int p = channel->IsPreviewing() ? 1 : 0;
  const int r = channel->IsRecording() ? 1 : 0;
  int image = 4;
  switch (a * 4 + p * 2 + r) {
    case 2: image = 5; break;
    case 1: image = 6; break;
    case 3: image = 7; break;
    case 4: image = 10; break;
    case 6: image = 11; break;
    case 7: image = 12; break;
    default: break;
  }
  SetTreeItemImage(node, image);
}

void CPreviewController::RefreshChannelIcons(CDevice* device, QTreeWidgetItem* deviceNode) {
  if (!device || !deviceNode) return;
  for (int i = 0; i < deviceNode->childCount(); ++i) {
    QTreeWidgetItem* child = deviceNode->child(i);
    if (DeviceNodeOf(child)) continue;
    if (CChannel* channel = device->GetChannel(ChannelOfNode(child))) SetChannelIcon(channel, child);
  }
}

void CPreviewController::RefreshTreeIcons(QTreeWidgetItem* node) {
  if (!node) return;
  for (int i = 0; i < node->childCount(); ++i) {
    QTreeWidgetItem* child = node->child(i);
    const DeviceTreeNode* data = DeviceNodeOf(child);
    if (!data) continue;
    if (data->type == DeviceTreeNode::kDevice) {
      SetDeviceIcon(data->Device(), child);
      RefreshChannelIcons(data->Device(), child);
    } else if (data->type == DeviceTreeNode::kRegion) {
      RefreshTreeIcons(child);
    }
  }
}

void CPreviewController::RefreshChannelNode(CDevice* device, int channel) {
  if (!device) return;
  if (QTreeWidgetItem* node = FindChannelItem(device, channel)) SetChannelIcon(device->GetChannel(channel), node);
}

// --- tabs ------------------------------------------------------------------------------------

bool CPreviewController::ShowDeviceTree() {
  if (GetRunCount() != 0) {
    Notice(IDS_STOP_CYCLES_FIRST);
    return false;
  }
  treeMode_ = 0;
  return true;
}

bool CPreviewController::ShowGroupTree() {
  if (CPreviewManager::GetInstance()->GetCount() != 0 && GetRunCount() == 0) {
    Notice(IDS_CLOSE_PREVIEWS_FIRST);
    return false;
  }
  treeMode_ = 1;
  return true;
}

// --- opening and closing ---------------------------------------------------------------------

bool CPreviewController::GetSelectedChannelPreview(QTreeWidgetItem** nodeOut, int* channelOut, std::u16string* guidOut) {
  QTreeWidgetItem* node = deviceTree_ ? deviceTree_->currentItem() : nullptr;
  if (!node) {
    Notice(IDS_SELECT_CHANNEL);
    return false;
  }
  if (DeviceNodeOf(node)) return false;
  const DeviceTreeNode* parent = DeviceNodeOf(node->parent());
  const int channel = ChannelOfNode(node);
  if (!parent || parent->type != DeviceTreeNode::kDevice || !parent->Device() || channel < 1) {
    // A channel node that belongs to no device cannot play.
    if (channel > 0) Notice(IDS_CANNOT_PREVIEW);
    return false;
  }
  if (nodeOut) *nodeOut = node;
  if (channelOut) *channelOut = channel;
  if (guidOut) *guidOut = parent->Device()->GetGuid();
  return true;
}

CPlayWnd* CPreviewController::WndOf(int window) const {
  CPlayScreen* screen = screen_ ? screen_ : CPreviewManager::GetInstance()->GetPlayScreen();
  return screen ? screen->GetWnd(window) : nullptr;
}

void CPreviewController::StopConnectingIn(int window) {
  // An item still connecting is not found as running; it goes all the same, or two would
  // share the window once it starts.
  CPreviewManager* manager = CPreviewManager::GetInstance();
  while (PreviewItemPtr item = manager->FindConnecting(window)) {
    CDevice* device = DeviceOfItem(*item);
    StopWindowPreview(item, device ? FindChannelItem(device, item->GetChannel()) : nullptr);
  }
}

void CPreviewController::OpenSelectedChannel() {
  if (GetRunCount() != 0) {
    Notice(IDS_STOP_CYCLES_FIRST);
    return;
  }
  const int active = ActiveIndex();
  if (active < 0 || active >= CPlayScreen::kWindowCount) {
    Notice(IDS_BAD_WINDOW);
    return;
  }
  QTreeWidgetItem* node = nullptr;
  int channel = 0;
  std::u16string guid;
  if (!GetSelectedChannelPreview(&node, &channel, &guid)) return;
  CPreviewManager* manager = CPreviewManager::GetInstance();
  // One channel plays in one window: a second double click on it in its window closes it;
  // in another window it moves.
  if (PreviewItemPtr shown = manager->FindByDeviceChannel(guid, channel)) {
    const bool here = shown->GetWindow() == active;
    StopWindowPreview(shown, node);
    if (here) return;
  }
  if (manager->HasWindow(active)) {
    if (PreviewItemPtr inActive = manager->FindByWindow(active)) {
      CDevice* device = DeviceOfItem(*inActive);
      StopWindowPreview(inActive, device ? FindChannelItem(device, inActive->GetChannel()) : nullptr);
    }
    StopConnectingIn(active);
  }
  OpenChannelInWindow(guid, active, channel);
}

bool CPreviewController::OpenChannelInWindow(const std::u16string& guid, int window, int channel, bool groupMember) {
  CPlayWnd* wnd = WndOf(window);
  if (!wnd) {
    Notice(IDS_CANNOT_PREVIEW);
    return false;
  }
  HookStops();
  auto item = std::make_shared<CPreviewItem>(window, wnd->GetSafeHwnd(), nullptr, channel, 0, guid);
  item->SetConnecting(true);
  CPreviewManager::GetInstance()->Add(item);
  CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
  wnd->SetCallback(&PlayWndEventThunk, device, channel, this);
  wnd->Show(CPlayWnd::State::kConnecting);
  // The preview is made on the queue (logging in on the way), then given the window and the
  // stream, started, and its sound opened.
  // A device no longer listed leaves the window as a preview that could not be made would.
  devwork::Ask<OpenResult>(
      guid,
      [item, groupMember] {
        if (!item->GetPreview()) return OpenResult::kNoPreview;
        if (!item->Start()) return OpenResult::kStartFailed;
        if (!groupMember) item->OpenSound();
        return OpenResult::kOk;
      },
      [this, item, groupMember](OpenResult result) { OnChannelOpened(item, result, groupMember); }, owner_,
      OpenResult::kNoPreview);
  return true;
}

void CPreviewController::OnChannelOpened(const PreviewItemPtr& item, OpenResult result, bool groupMember) {
  item->SetConnecting(false);
  CPreviewManager* manager = CPreviewManager::GetInstance();
  CPlayWnd* wnd = WndOf(item->GetWindow());
  CDevice* device = DeviceOfItem(*item);
  // Closed, replaced or released while it was on its way: whoever took it out stopped it. A
  // device lost meanwhile still owes the user the failure of the open.
  const bool held = manager->Holds(item);
  if (!held && !(item->IsDeviceLost() && result != OpenResult::kOk)) return;
  if (result != OpenResult::kOk) {
    if (held) {
      manager->Remove(item);
      if (wnd) wnd->Show(CPlayWnd::State::kIdle);
    }
    if (groupMember && result == OpenResult::kNoPreview && device)
      Say(device->GetDevInfo().GetIP() + LoadResString(IDS_LOGIN_FAILED) + u"!");
    else
      Notice(IDS_CANNOT_PREVIEW);
    return;
  }
  if (wnd) wnd->Show(CPlayWnd::State::kLive);
  if (!videoWatch_) {
    videoWatch_ = true;
    if (host_.startTimer) host_.startTimer(kVideoWatchTimer, kVideoWatchMs, false);
  }
  if (groupMember) {
    if (cycles_) cycles_->AddGroupWindow(item->GetWindow());
    else memberWindows_.insert(item->GetWindow());
    if (device) RefreshChannelNode(device, item->GetChannel());
    return;
  }
  if (device) {
    if (QTreeWidgetItem* node = FindChannelItem(device, item->GetChannel())) {
      if (treeMode_ == 0) SetDeviceIcon(device, node->parent());
      SetChannelIcon(device->GetChannel(item->GetChannel()), node);
    }
  }
  // The panels follow the active window; the user may have moved on meanwhile.
  if (ActiveIndex() == item->GetWindow()) {
    BindVideoParam(item->GetDeviceGuid(), item->GetChannel());
    PanelBind(1);
  }
}

void CPreviewController::OnPreviewStopped(const std::u16string& guid, int channel) {
  RefreshChannelNode(CDeviceManager::GetInstance()->FindDevice(guid, 1), channel);
}

void CPreviewController::StopWindowPreview(const PreviewItemPtr& item, QTreeWidgetItem* node) {
  if (!item) return;
  // Out of the list and dark at once; the device side stops on the device's queue and the
  // channel's marks follow when it has (OnPreviewStopped).
  CPreviewManager::GetInstance()->Remove(item);
  plat::postMessage(item->GetPlayWnd(), WM_PREVIEW_STOPPED, 0, 0);
  if (CPlayWnd* wnd = WndOf(item->GetWindow()); wnd && wnd->GetSafeHwnd() == item->GetPlayWnd())
    wnd->Show(CPlayWnd::State::kIdle);
  memberWindows_.erase(item->GetWindow());
  rolling_.erase(item->GetWindow());
  if (CDevice* device = DeviceOfItem(*item); device && node) {
    if (treeMode_ == 0) SetDeviceIcon(device, node->parent());
    SetChannelIcon(device->GetChannel(item->GetChannel()), node);
  }
}

int CPreviewController::StopPreviewInWindow(int window) {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  PreviewItemPtr item = manager->FindByWindow(window);
  if (!item) item = manager->FindConnecting(window);
  if (!item) return 0;
  CDevice* device = DeviceOfItem(*item);
  // Removal stops sound, recording and the preview, in that order, on the device's queue.
  manager->Remove(item);
  if (CPlayWnd* wnd = WndOf(window)) wnd->Show(CPlayWnd::State::kIdle);
  memberWindows_.erase(window);
  rolling_.erase(window);
  RefreshChannelNode(device, item->GetChannel());
  return 1;
}

void CPreviewController::StopAllVideos() {
  if (cycles_) cycles_->DeleteAll();
  for (int w = 0; w < CPlayScreen::kWindowCount; ++w) StopPreviewInWindow(w);
  CPreviewManager::GetInstance()->RemoveAll();
  memberWindows_.clear();
  for (int w = 0; w < CPlayScreen::kWindowCount; ++w)
    if (CPlayWnd* wnd = WndOf(w)) wnd->Show(CPlayWnd::State::kIdle);
}

void CPreviewController::OpenGroupSelection() {
  QTreeWidgetItem* selected = groupTree_ ? groupTree_->currentItem() : nullptr;
  const GroupTreeNode* node = GroupNodeOf(selected);
  if (!node) return;
  if (node->type != GroupTreeNode::kGroup) {
    OpenGroupMember(selected);
    return;
  }
  const int active = ActiveIndex();
  if (active < 0 || active >= CPlayScreen::kWindowCount) {
    Notice(IDS_BAD_WINDOW);
    return;
  }
  const std::u16string group = selected->text(0).toStdU16String();
  StopPreviewInWindow(active);
  if (cycles_ && cycles_->HasWindow(active)) cycles_->StopByWindow(active);
  CPreviewManager* manager = CPreviewManager::GetInstance();
  for (int i = 0; i < selected->childCount(); ++i) {
    const GroupTreeNode* child = GroupNodeOf(selected->child(i));
    const CGroupMemberInfo* member = child ? child->Member() : nullptr;
    if (!member) continue;
    if (PreviewItemPtr open = manager->FindByDeviceChannel(member->DevGuid, member->Chn))
      StopPreviewInWindow(open->GetWindow());
  }
  if (!cycles_) return;
  if (const int w = cycles_->WindowOfName(group); w >= 0) cycles_->StopByWindow(w);
  const int interval = CLocalSettings::GetInstance() ? CLocalSettings::GetInstance()->GetCycleInterval() : 0;
  for (int i = 0; i < selected->childCount(); ++i) {
    const GroupTreeNode* child = GroupNodeOf(selected->child(i));
    const CGroupMemberInfo* member = child ? child->Member() : nullptr;
    if (!member) break;
    CDevice* device = CDeviceManager::GetInstance()->FindDevice(member->DevGuid, 1);
    if (!device) break;
    cycles_->AddChannelToCycle(group, active, interval, device, member->Chn);
  }
  cycles_->ResumeByWindow(active);
}

void CPreviewController::OpenGroupMember(QTreeWidgetItem* memberNode) {
  const GroupTreeNode* node = GroupNodeOf(memberNode);
  const CGroupMemberInfo* member = node ? node->Member() : nullptr;
  if (!member) return;
  const int active = ActiveIndex();
  if (active < 0 || active >= CPlayScreen::kWindowCount) {
    Notice(IDS_BAD_WINDOW);
    return;
  }
  const std::u16string group = memberNode->parent() ? memberNode->parent()->text(0).toStdU16String() : u"";
  StopPreviewInWindow(active);
  if (cycles_ && cycles_->HasWindow(active)) {
    StopPreviewInWindow(active);
    cycles_->StopByWindow(active);
  }
  if (cycles_) {
    if (const int w = cycles_->WindowOfName(group); w >= 0) {
      StopPreviewInWindow(w);
      cycles_->StopByName(group);
    }
  }
  CDevice* device = CDeviceManager::GetInstance()->FindDevice(member->DevGuid, 1);
  if (!device) return;
  // The channel shown in another window gives way: one preview renders into one window.
  if (PreviewItemPtr item = CPreviewManager::GetInstance()->FindByDeviceChannel(member->DevGuid, member->Chn))
    StopPreviewInWindow(item->GetWindow());
  StopConnectingIn(active);
  if (!WndOf(active)) return;
  // A failed login is told as the device's address and 8601, a failed start as 8546, when
  // the result comes back.
  OpenChannelInWindow(member->DevGuid, active, member->Chn, true);
}

CDevice* CPreviewController::GetSelectedDevice() {
  QTreeWidgetItem* node = deviceTree_ ? deviceTree_->currentItem() : nullptr;
  if (!node) {
    Notice(IDS_SELECT_DEVICE);
    return nullptr;
  }
  const DeviceTreeNode* data = DeviceNodeOf(node);
  if (!data || data->type != DeviceTreeNode::kDevice || !data->Device()) {
    Notice(IDS_INVALID_DEVICE);
    return nullptr;
  }
  return data->Device();
}

CChannel* CPreviewController::GetActiveChannel() {
  const int active = ActiveIndex();
  if (active < 0) return nullptr;
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(active);
  if (!item) return nullptr;
  CDevice* device = DeviceOfItem(*item);
  return device ? device->GetChannel(item->GetChannel()) : nullptr;
}

void CPreviewController::SetStreamType(int type) {
  int channel = 0;
  std::u16string guid;
  QTreeWidgetItem* node = nullptr;
  if (!GetSelectedChannelPreview(&node, &channel, &guid)) return;
  CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
  if (!device) return;
  struct Switched {
    bool done = false;  // false: no preview, or the stream was that type already
    bool previewing = false;
    bool recording = false;
    HWND window = 0;
  };
  // Recording and preview stop, the type changes and the preview starts again, in that order,
  // on the device's queue.
  devwork::Run<Switched>(
      guid,
      [device, channel, type] {
        Switched s;
        CChannel* object = device->GetOrAddChannel(channel);
        IDevPreview* preview = object ? object->GetPreview(1) : nullptr;
        if (!preview || preview->GetStreamType() == type) return s;
        s.done = true;
        s.previewing = preview->IsPreviewing();
        s.recording = preview->IsRecording();
        s.window = preview->GetPlayWnd();
        preview->StopRecord();
        preview->StopPreview();
        preview->SetStreamType(type);
        if (s.previewing) preview->StartPreview();
        return s;
      },
      [this, guid, channel](Switched s) {
        if (!s.done) return;
        CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
        auto finish = [this, guid, channel, window = s.window] {
          if (CDevice* d = CDeviceManager::GetInstance()->FindDevice(guid, 1))
            RefreshChannelNode(d, channel);
          if (window) CPreviewManager::GetInstance()->SetActiveWindowByHwnd(window, 1);
        };
        // The recording of the old stream ended with it; it goes on in a new file of the ring
        // when the preview runs again, and the user is told either way.
        CRecordFileRing* ring = CRecordFileRing::GetInstance();
        std::u16string file;
        if (s.recording && s.previewing && device && ring &&
            ring->NewRecordFile(device->GetDevType(), device->GetDevInfo().GetName(), channel, file)) {
          devwork::Ask<bool>(
              guid,
              [device, channel, file] {
                CChannel* object = device->GetChannel(channel);
                IDevPreview* preview = object ? object->GetPreview(0) : nullptr;
                return preview && preview->StartRecord(0, plat::utf16ToUtf8(file).c_str());
              },
              [this, file, finish](bool ok) {
                if (ok) {
                  Say(TextWithPath(IDS_SWITCH_NEW_RECORD, file));
                } else {
                  if (CRecordFileRing* r = CRecordFileRing::GetInstance()) r->DropRecordFile(file);
                  Notice(IDS_SWITCH_ENDED_RECORD);
                }
                finish();
              },
              owner_, false);
          return;
        }
        if (s.recording) Notice(IDS_SWITCH_ENDED_RECORD);
        finish();
      },
      owner_, Switched{});
}

void CPreviewController::OnDeviceTreeClick(QTreeWidgetItem* item) {
  if (!item) return;
  if (DeviceNodeOf(item)) {
    PanelBind(0);
    return;
  }
  CChannel* channel = GetActiveChannel();
  CDevice* device = channel ? channel->GetDevice() : nullptr;
  IDevPreview* preview = device && device->IsLoggedIn() ? channel->GetPreview(0) : nullptr;
  if (!preview || !preview->IsPreviewing()) {
    PanelBind(0);
    return;
  }
  PreviewItemPtr found = CPreviewManager::GetInstance()->FindByPreview(preview);
  if (!found) return;
  CPreviewManager::GetInstance()->SetActiveWindow(found->GetWindow(), 1);
  BindVideoParam(found->GetDeviceGuid(), found->GetChannel());
  PanelBind(1);
}

void CPreviewController::OnPlayWndEvent(CDevice* device, int channel, int event) {
  if (event == CPlayWnd::kEventPreviewRefused) {
    OnPreviewRefused(LiveDevice(device), channel);
    return;
  }
  if (event != 2) return;
  RefreshChannelNode(LiveDevice(device), channel);
  PanelBind(0);
}

void CPreviewController::OnPreviewRefused(CDevice* device, int channel) {
  if (!device) return;
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByDeviceChannel(device->GetGuid(), channel);
  if (!item) return;
  // The refusal was told once (the device layer's notice); the window says it too, and the
  // preview is closed rather than watched for pictures, which would say "Video lost" next.
  const int window = item->GetWindow();
  PLAT_LOGW("preview", "window %d: %s channel %d refused (connections full); preview closed", window,
            plat::utf16ToUtf8(device->GetDevInfo().GetName()).c_str(), channel);
  StopWindowPreview(item, FindChannelItem(device, channel));
  if (CPlayWnd* wnd = WndOf(window)) wnd->Show(CPlayWnd::State::kRefused);
}

// --- snapshot and recording ------------------------------------------------------------------

void CPreviewController::Snapshot() {
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(ActiveIndex());
  if (!item) return;
  CLocalSettings* settings = CLocalSettings::GetInstance();
  if (!settings) return;
  std::u16string folder = settings->GetPictureSavePath();
  while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
  if (!MakeFolderOrSay(folder)) return;
  const std::tm t = Now();
  char name[256];
  std::snprintf(name, sizeof name, "\\Preview_%02d_%04d%02d%02d_%02d%02d%02d_%u.bmp", item->GetChannel(),
                t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, plat::tickCount());
  std::u16string file = folder + U16(name);
  if (file.size() > 255) file.resize(255);
  const std::u16string path = U16(plat::toNativePath(file));
  devwork::Ask<bool>(
      item->GetDeviceGuid(), [item, path] { return item->CapturePicture(path, 0); },
      [this, file](bool ok) { Say(TextWithPath(ok ? IDS_SNAPSHOT_OK : IDS_SNAPSHOT_FAILED, file)); }, owner_, false);
}

void CPreviewController::ToggleRecord() {
  CUser* user = CUser::GetInstance();
  if (!user || user->GetName().empty()) return;
  if (!user->HasRight(RIGHT_LOCAL_RECORD)) {
    Notice(IDS_NO_RIGHT_LOCAL_RECORD);
    return;
  }
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(ActiveIndex());
  if (!item) {
    Notice(IDS_OPEN_PREVIEW_FIRST);
    return;
  }
  CDevice* device = DeviceOfItem(*item);
  const std::u16string guid = item->GetDeviceGuid();
  const int channel = item->GetChannel();
  if (item->IsRecording()) {
    devwork::Run(
        guid, [item] { item->StopRecord(); },
        [this, guid, channel] { RefreshChannelNode(CDeviceManager::GetInstance()->FindDevice(guid, 1), channel); },
        owner_);
    return;
  }
  CLocalSettings* settings = CLocalSettings::GetInstance();
  std::u16string root;
  if (!settings || !settings->GetRecordPath(root)) {
    Notice(IDS_DISK_RESERVE);
    return;
  }
  if (!MakeFolderOrSay(root)) return;
  std::u16string file;
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  if (!device || !ring ||
      !ring->NewRecordFile(device->GetDevType(), device->GetDevInfo().GetName(), item->GetChannel(), file)) {
    // Disks that are full and cannot be freed are said to be full, and a ring whose record.db
    // could not be opened says why, as the start did: neither is a setting set up wrongly.
    if (ring && ring->LastFailure() == CRecordFileRing::Failure::NoDatabase && !ring->DatabaseProblem().empty())
      Say(ring->DatabaseProblem());
    else
      Notice(ring && ring->LastFailure() == CRecordFileRing::Failure::DisksFull ? IDS_DISK_RESERVE
                                                                                 : IDS_RECORD_SETTINGS);
    return;
  }
  StartRecording(item, file, [this, guid, channel](bool ok) {
    if (ok) RefreshChannelNode(CDeviceManager::GetInstance()->FindDevice(guid, 1), channel);
    if (!recordTimer_) {
      recordTimer_ = true;
      if (host_.startTimer) host_.startTimer(kRecordTimer, kRecordMs, false);
    }
    Notice(ok ? IDS_RECORD_OK : IDS_RECORD_FAILED);
  });
}

void CPreviewController::StartRecording(const PreviewItemPtr& item, const std::u16string& file,
                                        std::function<void(bool ok)> then) {
  devwork::Ask<bool>(
      item->GetDeviceGuid(), [item, file] { return item->StartRecord(0, file); },
      [file, then = std::move(then)](bool ok) {
        // A start that failed leaves no row for a file that never came to be.
        if (!ok)
          if (CRecordFileRing* ring = CRecordFileRing::GetInstance()) ring->DropRecordFile(file);
        then(ok);
      },
      owner_, false);
}

void CPreviewController::RollRecording(const PreviewItemPtr& item) {
  const int window = item->GetWindow();
  if (!rolling_.insert(window).second) return;  // the last roll is still on its way
  const std::u16string guid = item->GetDeviceGuid();
  const int channel = item->GetChannel();
  auto failed = [this, guid, channel, window] {
    // The window is left without recording; the user has to know it stopped.
    PLAT_LOGW("preview", "record file roll failed on window %d", window);
    CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
    Notice(IDS_ROLL_FAILED, device ? device->GetDevInfo().GetName() : std::u16string());
    RefreshChannelNode(device, channel);
  };
  // The old file is closed before the ring makes the next one (on the UI thread, which owns
  // the ring), then the recording goes on in it.
  const bool queued = devwork::Run(
      guid, [item] { item->StopRecord(); },
      [this, item, guid, channel, window, failed] {
        CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
        CRecordFileRing* ring = CRecordFileRing::GetInstance();
        // A window closed meanwhile has nothing left to record.
        if (!device || !ring || !CPreviewManager::GetInstance()->Holds(item)) {
          rolling_.erase(window);
          return;
        }
        std::u16string file;
        if (!ring->NewRecordFile(device->GetDevType(), device->GetDevInfo().GetName(), channel, file)) {
          rolling_.erase(window);
          failed();
          return;
        }
        StartRecording(item, file, [this, window, failed](bool ok) {
          rolling_.erase(window);
          if (!ok) failed();
        });
      },
      owner_);
  // Its device left the list: nothing is recorded there any more, and no roll is on its way.
  if (!queued) rolling_.erase(window);
}

void CPreviewController::ScheduleMidnightRoll(const std::tm& now) {
  // Each window's current file now: a window whose file changed before midnight (rolled by
  // size, restarted by the user) has its new file already and is not rolled again.
  midnightFiles_.clear();
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  CPreviewManager* manager = CPreviewManager::GetInstance();
  for (int w = 0; w < CPlayScreen::kWindowCount; ++w) {
    PreviewItemPtr item = manager->FindByWindow(w);
    if (!item || !item->IsRecording()) continue;
    CDevice* device = DeviceOfItem(*item);
    if (!device || !ring) continue;
    midnightFiles_.emplace_back(w, ring->GetCurrentFile(device->GetDevInfo().GetName(), item->GetChannel()));
  }
  midnightPending_ = true;
  const int ms = ((59 - now.tm_min) * 60 + (60 - now.tm_sec)) * 1000 + 500;
  if (host_.startTimer) host_.startTimer(kMidnightTimer, std::max(ms, 500), true);
}

void CPreviewController::OnTimer(int id) {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  if (id == kRefreshTimer) {
    OnRefreshTree();
    return;
  }
  if (id == kVideoWatchTimer) {
    WatchVideo();
    return;
  }
  if (id == kMidnightTimer) {
    midnightPending_ = false;
    for (const auto& [w, fileThen] : midnightFiles_) {
      PreviewItemPtr item = manager->FindByWindow(w);
      if (!item || !item->IsRecording() || !ring) continue;
      CDevice* device = DeviceOfItem(*item);
      if (!device) continue;
      if (ring->GetCurrentFile(device->GetDevInfo().GetName(), item->GetChannel()) != fileThen) continue;
      RollRecording(item);
    }
    midnightFiles_.clear();
    return;
  }
  if (id != kRecordTimer) return;
  for (int w = 0; w < CPlayScreen::kWindowCount; ++w) {
    PreviewItemPtr item = manager->FindByWindow(w);
    if (!item || !item->IsRecording() || !ring) continue;
    CDevice* device = DeviceOfItem(*item);
    if (!device) continue;
    const std::u16string current = ring->GetCurrentFile(device->GetDevInfo().GetName(), item->GetChannel());
    if (ring->NeedNewFile(current)) RollRecording(item);
  }
  const std::tm now = Now();
  if (!midnightPending_ && now.tm_hour == 23 && now.tm_min == 59 && now.tm_sec > 40) ScheduleMidnightRoll(now);
}

// --- alarms and device messages --------------------------------------------------------------

void CPreviewController::AddAlarmRow(const std::u16string* text) {
  if (!alarmList_) return;
  const std::tm t = Now();
  char stamp[64] = "";
  if (std::strftime(stamp, sizeof stamp, "%y-%m-%d %H:%M:%S", &t) == 0) stamp[0] = 0;
  if (alarmList_->topLevelItemCount() > kAlarmRowsMax - 1) alarmList_->clear();
  if (!text) return;
  auto* row = new QTreeWidgetItem;
  row->setText(0, QString::fromUtf8(stamp));
  row->setText(1, QString::fromStdU16String(*text));
  alarmList_->insertTopLevelItem(0, row);
}

void CPreviewController::ClearAlarms() {
  if (alarmList_) alarmList_->clear();
}

intptr_t CPreviewController::OnDeviceAlarm(MsgAlarmInfo* block) {
  if (!block) return -1;
  // The IP field is a fixed 128-byte field that the sender may leave unterminated.
  const std::string ip(block->deviceIP, strnlen(block->deviceIP, sizeof block->deviceIP));
  CDeviceManager* devices = CDeviceManager::GetInstance();
  CDevice* device =
      block->loginId == -1 ? devices->FindDeviceByIP(ip.c_str()) : devices->FindDeviceByLoginId(block->loginId);
  QTreeWidgetItem* node = device && device->GetAlarmState() != 0 ? FindDeviceItem(device) : nullptr;
  if (!node) {
    FreeMsgBuffer(block);
    return -1;
  }
  std::u16string text = U16(AlarmPrefix(block->alarmType)) + u"User:" + device->GetDevInfo().GetUserName() +
                        u" Device:" + device->GetDevInfo().GetName() + u" IP:" + plat::gbkToUtf16(ip) + u" ";
  if (IsChannelAlarm(block->alarmType)) {
    const int count = std::min(device->GetDevInfo().GetChnNum(), 64);
    for (int i = 0; i < count; ++i) {
      CChannel* channel = devices->GetChannel(device, i + 1);
      if (!channel) continue;
      if (block->flags[i] == 1) {
        channel->SetAlarmFlag(1);
        text += U16("Chn" + std::to_string(i + 1) + " ");
      } else {
        channel->SetAlarmFlag(0);
      }
    }
    SetDeviceIcon(device, node);
    RefreshChannelIcons(device, node);
  } else if (IsDiskAlarm(block->alarmType)) {
    for (int j = 0; j < 33; ++j)
      if (block->flags[j] == 1) text += U16("HDD" + std::to_string(j + 1));
  }
  AddAlarmRow(&text);
  FreeMsgBuffer(block);
  return 0;
}

intptr_t CPreviewController::OnDeviceException(int loginId) {
  CDevice* device = CDeviceManager::GetInstance()->FindDeviceByLoginId(loginId);
  if (!device) return -1;
  // Every item of the device goes, running or not, before its objects are released; the
  // release and the logout run on the device's queue, and the marks follow when they ended.
  const std::u16string guid = device->GetGuid();
  // What the user loses with the device, told before it goes: nothing of it comes back by
  // itself, so a silent loss would leave dark windows and an arming that reports nothing.
  int windows = 0;
  bool recorded = false;
  for (const PreviewItemPtr& item : CPreviewManager::GetInstance()->ItemsOfDevice(guid)) {
    ++windows;
    recorded = recorded || item->IsRecording();
  }
  const bool armed = device->GetAlarmState() != 0;
  StopDeviceWindows(guid, true);
  device->ReleaseAll();
  TellDeviceLost(device->GetDevInfo().GetName(), windows, recorded, armed);
  devwork::Run(
      guid,
      [device] {
        if (IDevUserLogin* login = device->GetUserLogin(0)) login->Logout();
      },
      [this, guid] {
        CDevice* d = CDeviceManager::GetInstance()->FindDevice(guid, 1);
        if (QTreeWidgetItem* node = FindDeviceItem(d)) {
          SetDeviceIcon(d, node);
          RefreshChannelIcons(d, node);
        }
      },
      owner_);
  return 0;
}

void CPreviewController::StopDeviceWindows(const std::u16string& guid, bool lost) {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  for (const PreviewItemPtr& item : manager->ItemsOfDevice(guid)) {
    item->SetDeviceLost();
    memberWindows_.erase(item->GetWindow());
    rolling_.erase(item->GetWindow());
    if (CPlayWnd* wnd = WndOf(item->GetWindow()); wnd && wnd->GetSafeHwnd() == item->GetPlayWnd()) {
      wnd->Show(lost ? CPlayWnd::State::kDeviceLost : CPlayWnd::State::kIdle);
    }
  }
  manager->StopDeviceAll(guid);
}

void CPreviewController::TellDeviceLost(const std::u16string& name, int windows, bool recorded, bool armed) {
  PLAT_LOGW("preview", "device %s lost: %d window(s) closed%s%s; it is logged out", plat::utf16ToUtf8(name).c_str(),
            windows, recorded ? ", recording stopped" : "", armed ? ", disarmed" : "");
  if (windows == 0 && !armed) return;  // nothing of the live page went with it
  std::u16string text = LoadResString(IDS_DEVICE_LOST_NOTICE) + name;
  if (windows > 0) text += LoadResString(IDS_LOST_WINDOWS_CLOSED);
  if (recorded) text += LoadResString(IDS_LOST_RECORDING_STOPPED);
  if (armed) text += LoadResString(IDS_LOST_DISARMED);
  // The notice passes; the alarm list keeps it, with what to do, for a user who was on
  // another page.
  const std::u16string row = text + LoadResString(IDS_LOST_OPEN_AGAIN);
  AddAlarmRow(&row);
  Say(text);
}

intptr_t CPreviewController::OnDeviceReboot(CDevice* device) {
  device = LiveDevice(device);
  if (!device) return 0;
  CPreviewManager* manager = CPreviewManager::GetInstance();
  for (int w = 0; w < CPlayScreen::kWindowCount; ++w) {
    PreviewItemPtr item = manager->FindByWindow(w);
    if (item && item->GetDeviceGuid() == device->GetGuid())
      StopWindowPreview(item, FindChannelItem(device, item->GetChannel()));
  }
  // Items that were listed but not running go too.
  StopDeviceWindows(device->GetGuid());
  device->ReleaseAll();
  devwork::Run(device->GetGuid(), [device] {
    device->RebootDevice();
    if (IDevUserLogin* login = device->GetUserLogin(0)) login->Logout();
  });
  return 0;
}

intptr_t CPreviewController::OnDeviceArming(CDevice* device, int state) {
  device = LiveDevice(device);
  if (!device) return 0;
  QTreeWidgetItem* node = FindDeviceItem(device);
  device->SetAlarmState(state);
  if (node) SetDeviceIcon(device, node);
  return 0;
}

intptr_t CPreviewController::OnCycleSwitch(CDevice* device, intptr_t value) {
  const int channel = static_cast<int>(value & 0xFFFF);
  device = LiveDevice(device);
  if (!device || channel > 64) return 0;
  CChannel* object = device->GetChannel(channel);
  if (!object) return 0;
  if (((value >> 16) & 0xFFFF) == 1) object->SetAlarmFlag(1);
  if (QTreeWidgetItem* node = FindChannelItem(device, channel)) SetChannelIcon(object, node);
  return 0;
}

intptr_t CPreviewController::OnCycleNoPreview(CDevice* device) {
  device = LiveDevice(device);
  if (!device) return 0;
  const std::u16string text = device->GetDevInfo().GetIP() + LoadResString(IDS_LOGIN_FAILED);
  AddAlarmRow(&text);
  return 0;
}

intptr_t CPreviewController::OnPlayWndSelected(int window) {
  if (!SingletonAccess<CPreviewManager>::HasInstance()) return -1;
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(window);
  if (!item) {
    if (deviceTree_) deviceTree_->setCurrentItem(nullptr);
    PanelBind(0);
    return 0;
  }
  if (CDevice* device = DeviceOfItem(*item)) {
    if (QTreeWidgetItem* node = FindChannelItem(device, item->GetChannel())) ShownTree()->setCurrentItem(node);
  }
  BindVideoParam(item->GetDeviceGuid(), item->GetChannel());
  PanelBind(1);
  return 0;
}

intptr_t CPreviewController::OnRefreshTree() {
  if (deviceTree_ && deviceTree_->topLevelItemCount() > 0) {
    // The root region's own children, then every further root (a tree may hold several).
    for (int i = 0; i < deviceTree_->topLevelItemCount(); ++i) RefreshTreeIcons(deviceTree_->topLevelItem(i));
  }
  return 0;
}

void CPreviewController::OnArm() {
  QTreeWidgetItem* node = deviceTree_ ? deviceTree_->currentItem() : nullptr;
  const DeviceTreeNode* data = DeviceNodeOf(node);
  if (!data || data->type != DeviceTreeNode::kDevice || !data->Device()) return;
  CDevice* device = data->Device();
  // An alarm channel already set up toggles the page's arming without contacting the device.
  if (IDevAlarm* alarm = device->GetAlarm(0); alarm && alarm->IsSetup()) {
    SetDeviceIcon(device, node);
    device->SetAlarmState(device->GetAlarmState() == 1 ? 0 : 1);
    SetDeviceIcon(device, node);
    RefreshChannelIcons(device, node);
    return;
  }
  enum class Armed { kNoAlarm, kAlreadySetUp, kSetUp, kFailed };
  const std::u16string guid = device->GetGuid();
  devwork::Run<Armed>(
      guid,
      [device] {
        IDevAlarm* alarm = device->GetAlarm(1);  // logs in when needed
        if (!alarm) return Armed::kNoAlarm;
        if (alarm->IsSetup()) return Armed::kAlreadySetUp;
        return alarm->SetupAlarmChan() ? Armed::kSetUp : Armed::kFailed;
      },
      [this, guid](Armed result) {
        CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
        if (!device) return;
        if (result == Armed::kNoAlarm) {
          Notice(IDS_NOT_LOGGED_IN);
          return;
        }
        QTreeWidgetItem* node = FindDeviceItem(device);
        SetDeviceIcon(device, node);
        if (result == Armed::kAlreadySetUp) {
          device->SetAlarmState(device->GetAlarmState() == 1 ? 0 : 1);
          SetDeviceIcon(device, node);
          RefreshChannelIcons(device, node);
          return;
        }
        if (result == Armed::kSetUp) {
          device->SetAlarmState(1);
          refreshTimer_ = true;
          if (host_.startTimer) host_.startTimer(kRefreshTimer, kRefreshMs, false);
        }
        SetDeviceIcon(device, node);
      },
      owner_, Armed::kFailed);
}

void CPreviewController::OnVoiceTalk() {
  CUser* user = CUser::GetInstance();
  if (!user || user->GetName().empty()) return;
  if (!user->HasRight(RIGHT_VOICE_TALK)) {
    Notice(IDS_NO_RIGHT_VOICE_TALK);
    return;
  }
  CDevice* device = GetSelectedDevice();
  if (!device || talkPending_) return;
  if (!talkName_.empty()) {
    // The talk belongs to the device named; stop it there, whichever device is selected.
    CDevice* talking = CDeviceManager::GetInstance()->FindDevice(talkName_, 0);
    CDevice* target = talking ? talking : device;
    devwork::Run(target->GetGuid(), [target] { target->StopVoiceCom(); });
    talkName_.clear();
    return;
  }
  struct Talk {
    bool loggedInFirst = false;
    bool started = false;
  };
  const std::u16string guid = device->GetGuid();
  // Pending until its answer comes, which always does; a talk that could not be queued is not.
  talkPending_ = devwork::Ask<Talk>(
      guid,
      [device] {
        Talk t;
        if (!device->IsLoggedIn()) {
          t.loggedInFirst = true;
          if (IDevUserLogin* login = device->GetUserLogin(1)) login->Login();
        }
        // A refused talk is not shown as running.
        t.started = device->StartVoiceCom(1, 0, 0, 0) > 0 && device->IsLoggedIn();
        return t;
      },
      [this, guid](Talk t) {
        talkPending_ = false;
        CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
        if (!device) return;
        if (t.loggedInFirst) SetDeviceIcon(device, FindDeviceItem(device));
        if (t.started) talkName_ = device->GetDevInfo().GetName();
        else talkName_.clear();
      },
      owner_, Talk{});
}

void CPreviewController::WatchVideo() {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  const int64_t now = plat::tickCount();
  for (int w = 0; w < CPlayScreen::kWindowCount; ++w) {
    CPlayWnd* wnd = WndOf(w);
    PreviewItemPtr item = manager->FindByWindow(w);
    if (!wnd || !item || wnd->GetSafeHwnd() != item->GetPlayWnd()) continue;
    const CPlayWnd::Watch change = wnd->WatchPictures(now);
    if (change == CPlayWnd::Watch::kSame) continue;
    CDevice* device = DeviceOfItem(*item);
    const std::u16string name = device ? device->GetDevInfo().GetName() : item->GetDeviceGuid();
    const std::string where = plat::utf16ToUtf8(name) + " channel " + std::to_string(item->GetChannel());
    if (change == CPlayWnd::Watch::kBack) {
      PLAT_LOGI("preview", "window %d: pictures of %s are back", w, where.c_str());
      continue;
    }
    // The device stopped sending without a word: the window says so instead of holding its
    // last picture, and the user is told once for the window.
    PLAT_LOGW("preview", "window %d: no picture from %s for %d s", w, where.c_str(), CPlayWnd::kLostAfterMs / 1000);
    Say(LoadResString(IDS_VIDEO_LOST_NOTICE) + name + u" " + LoadResString(IDS_CHANNEL) +
        U16((item->GetChannel() < 10 ? "0" : "") + std::to_string(item->GetChannel())));
  }
}

void CPreviewController::Shutdown() {
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
