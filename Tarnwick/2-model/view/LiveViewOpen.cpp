// The live view's model: the tree tabs, opening and closing channels in the play windows,
// group members and cycles, the stream type, and what the windows and cycles report.
#include <algorithm>

#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "devices/DeviceTreeNodes.h"
#include "plat/log.h"
#include "plat/text.h"
#include "plat/window.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "shell/Singleton.h"
#include "shell/StringIds.h"
#include "view/LiveViewModel.h"
#include "view/PreviewManager.h"
#include "view/ViewMessages.h"

namespace {

using Row = CLiveViewModel::Row;

void PlayWndEventThunk(CDevice* device, int channel, int event, void* page) {
  if (page) static_cast<CLiveViewModel*>(page)->OnPlayWndEvent(device, channel, event);
}

bool IsWindowIndex(int window) { return window >= 0 && window < ILiveScreen::kWindowCount; }

}  // namespace

// --- tabs ------------------------------------------------------------------------------------

int CLiveViewModel::GetRunCount() {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  if (cycles_) return cycles_->GetRunCount();
  std::erase_if(memberWindows_, [manager](int w) { return !manager->FindByWindow(w); });
  return static_cast<int>(memberWindows_.size());
}

bool CLiveViewModel::ShowDeviceTree() {
  if (GetRunCount() != 0) {
    Notice(IDS_STOP_CYCLES_FIRST);
    return false;
  }
  treeMode_ = 0;
  return true;
}

bool CLiveViewModel::ShowGroupTree() {
  if (CPreviewManager::GetInstance()->GetCount() != 0 && GetRunCount() == 0) {
    Notice(IDS_CLOSE_PREVIEWS_FIRST);
    return false;
  }
  treeMode_ = 1;
  return true;
}

// --- opening and closing ---------------------------------------------------------------------

bool CLiveViewModel::GetSelectedChannelPreview(Row* nodeOut, int* channelOut, std::u16string* guidOut) {
  const Row node = SelectedDeviceRow();
  if (!node) {
    Notice(IDS_SELECT_CHANNEL);
    return false;
  }
  if (deviceTree_->DeviceNode(node)) return false;
  const DeviceTreeNode* parent = deviceTree_->DeviceNode(deviceTree_->Parent(node));
  const int channel = ChannelOfRow(*deviceTree_, node);
  if (!parent || parent->type != DeviceTreeNode::kDevice || !parent->Device() || channel < 1) {
    // A channel row that belongs to no device cannot play.
    if (channel > 0) Notice(IDS_CANNOT_PREVIEW);
    return false;
  }
  if (nodeOut) *nodeOut = node;
  if (channelOut) *channelOut = channel;
  if (guidOut) *guidOut = parent->Device()->GetGuid();
  return true;
}

void CLiveViewModel::StopConnectingIn(int window) {
  // An item still connecting is not found as running; it goes all the same, or two would
  // share the window once it starts.
  CPreviewManager* manager = CPreviewManager::GetInstance();
  while (PreviewItemPtr item = manager->FindConnecting(window)) {
    CDevice* device = DeviceOfItem(*item);
    StopWindowPreview(item, device ? FindChannelRow(device, item->GetChannel()) : 0);
  }
}

void CLiveViewModel::OpenSelectedChannel() {
  if (GetRunCount() != 0) {
    Notice(IDS_STOP_CYCLES_FIRST);
    return;
  }
  const int active = ActiveIndex();
  if (!IsWindowIndex(active)) {
    Notice(IDS_BAD_WINDOW);
    return;
  }
  Row node = 0;
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
      StopWindowPreview(inActive, device ? FindChannelRow(device, inActive->GetChannel()) : 0);
    }
    StopConnectingIn(active);
  }
  OpenChannelInWindow(guid, active, channel);
}

bool CLiveViewModel::OpenChannelInWindow(const std::u16string& guid, int window, int channel, bool groupMember) {
  ILiveWindow* wnd = WndOf(window);
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
  wnd->Show(ILiveWindow::State::kConnecting);
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

void CLiveViewModel::OnChannelOpened(const PreviewItemPtr& item, OpenResult result, bool groupMember) {
  item->SetConnecting(false);
  CPreviewManager* manager = CPreviewManager::GetInstance();
  ILiveWindow* wnd = WndOf(item->GetWindow());
  CDevice* device = DeviceOfItem(*item);
  // Closed, replaced or released while it was on its way: whoever took it out stopped it. A
  // device lost meanwhile still owes the user the failure of the open.
  const bool held = manager->Holds(item);
  if (!held && !(item->IsDeviceLost() && result != OpenResult::kOk)) return;
  if (result != OpenResult::kOk) {
    if (held) {
      manager->Remove(item);
      if (wnd) wnd->Show(ILiveWindow::State::kIdle);
    }
    if (groupMember && result == OpenResult::kNoPreview && device)
      Say(device->GetDevInfo().GetIP() + LoadResString(IDS_LOGIN_FAILED) + u"!");
    else
      Notice(IDS_CANNOT_PREVIEW);
    return;
  }
  if (wnd) wnd->Show(ILiveWindow::State::kLive);
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
    if (const Row node = FindChannelRow(device, item->GetChannel())) {
      if (treeMode_ == 0) SetDeviceIcon(device, deviceTree_->Parent(node));
      SetChannelIcon(device->GetChannel(item->GetChannel()), node);
    }
  }
  // The panels follow the active window; the user may have moved on meanwhile.
  if (ActiveIndex() == item->GetWindow()) {
    BindVideoParam(item->GetDeviceGuid(), item->GetChannel());
    PanelBind(1);
  }
}

void CLiveViewModel::OnPreviewStopped(const std::u16string& guid, int channel) {
  RefreshChannelNode(CDeviceManager::GetInstance()->FindDevice(guid, 1), channel);
}

void CLiveViewModel::StopWindowPreview(const PreviewItemPtr& item, Row node) {
  if (!item) return;
  // Out of the list and dark at once; the device side stops on the device's queue and the
  // channel's marks follow when it has (OnPreviewStopped).
  CPreviewManager::GetInstance()->Remove(item);
  plat::postMessage(item->GetPlayWnd(), WM_PREVIEW_STOPPED, 0, 0);
  if (ILiveWindow* wnd = WndOf(item->GetWindow()); wnd && wnd->GetSafeHwnd() == item->GetPlayWnd())
    wnd->Show(ILiveWindow::State::kIdle);
  memberWindows_.erase(item->GetWindow());
  rolling_.erase(item->GetWindow());
  if (CDevice* device = DeviceOfItem(*item); device && node) {
    if (treeMode_ == 0 && deviceTree_) SetDeviceIcon(device, deviceTree_->Parent(node));
    SetChannelIcon(device->GetChannel(item->GetChannel()), node);
  }
}

int CLiveViewModel::StopPreviewInWindow(int window) {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  PreviewItemPtr item = manager->FindByWindow(window);
  if (!item) item = manager->FindConnecting(window);
  if (!item) return 0;
  CDevice* device = DeviceOfItem(*item);
  // Removal stops sound, recording and the preview, in that order, on the device's queue.
  manager->Remove(item);
  if (ILiveWindow* wnd = WndOf(window)) wnd->Show(ILiveWindow::State::kIdle);
  memberWindows_.erase(window);
  rolling_.erase(window);
  RefreshChannelNode(device, item->GetChannel());
  return 1;
}

void CLiveViewModel::StopAllVideos() {
  if (cycles_) cycles_->DeleteAll();
  for (int w = 0; w < ILiveScreen::kWindowCount; ++w) StopPreviewInWindow(w);
  CPreviewManager::GetInstance()->RemoveAll();
  memberWindows_.clear();
  for (int w = 0; w < ILiveScreen::kWindowCount; ++w)
    if (ILiveWindow* wnd = WndOf(w)) wnd->Show(ILiveWindow::State::kIdle);
}

void CLiveViewModel::OpenGroupSelection() {
  const Row selected = groupTree_ ? groupTree_->Current() : 0;
  const GroupTreeNode* node = selected ? groupTree_->GroupNode(selected) : nullptr;
  if (!node) return;
  if (node->type != GroupTreeNode::kGroup) {
    OpenGroupMember(selected);
    return;
  }
  const int active = ActiveIndex();
  if (!IsWindowIndex(active)) {
    Notice(IDS_BAD_WINDOW);
    return;
  }
  const std::u16string group = groupTree_->Text(selected);
  // The members in the group tree's order; a row without a member ends them.
  std::vector<const CGroupMemberInfo*> members;
  for (int i = 0; i < groupTree_->ChildCount(selected); ++i) {
    const GroupTreeNode* child = groupTree_->GroupNode(groupTree_->Child(selected, i));
    members.push_back(child ? child->Member() : nullptr);
  }
  StopPreviewInWindow(active);
  if (cycles_ && cycles_->HasWindow(active)) cycles_->StopByWindow(active);
  CPreviewManager* manager = CPreviewManager::GetInstance();
  for (const CGroupMemberInfo* member : members) {
    if (!member) continue;
    if (PreviewItemPtr open = manager->FindByDeviceChannel(member->DevGuid, member->Chn))
      StopPreviewInWindow(open->GetWindow());
  }
  if (!cycles_) return;
  if (const int w = cycles_->WindowOfName(group); w >= 0) cycles_->StopByWindow(w);
  const int interval = CLocalSettings::GetInstance() ? CLocalSettings::GetInstance()->GetCycleInterval() : 0;
  for (const CGroupMemberInfo* member : members) {
    if (!member) break;
    CDevice* device = CDeviceManager::GetInstance()->FindDevice(member->DevGuid, 1);
    if (!device) break;
    cycles_->AddChannelToCycle(group, active, interval, device, member->Chn);
  }
  cycles_->ResumeByWindow(active);
}

void CLiveViewModel::OpenGroupMember(Row memberNode) {
  const GroupTreeNode* node = groupTree_ && memberNode ? groupTree_->GroupNode(memberNode) : nullptr;
  const CGroupMemberInfo* member = node ? node->Member() : nullptr;
  if (!member) return;
  const int active = ActiveIndex();
  if (!IsWindowIndex(active)) {
    Notice(IDS_BAD_WINDOW);
    return;
  }
  const Row parent = groupTree_->Parent(memberNode);
  const std::u16string group = parent ? groupTree_->Text(parent) : u"";
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
  // A failed login is told as the device's address and IDS_LOGIN_FAILED, a failed start as
  // IDS_CANNOT_PREVIEW, when the result comes back.
  OpenChannelInWindow(member->DevGuid, active, member->Chn, true);
}

CChannel* CLiveViewModel::GetActiveChannel() {
  const int active = ActiveIndex();
  if (active < 0) return nullptr;
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(active);
  if (!item) return nullptr;
  CDevice* device = DeviceOfItem(*item);
  return device ? device->GetChannel(item->GetChannel()) : nullptr;
}

void CLiveViewModel::SetStreamType(int type) {
  int channel = 0;
  std::u16string guid;
  if (!GetSelectedChannelPreview(nullptr, &channel, &guid)) return;
  CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
  if (!device) return;
  struct Switched {
    bool done = false;  // false: no preview, or the stream was that type already
    HWND window = 0;
  };
  // Recording and preview stop, the type changes and the preview starts again, in that order,
  // on the device's queue. A recording that ran is not started again.
  devwork::Run<Switched>(
      guid,
      [device, channel, type] {
        Switched s;
        CChannel* object = device->GetOrAddChannel(channel);
        IDevPreview* preview = object ? object->GetPreview(1) : nullptr;
        if (!preview || preview->GetStreamType() == type) return s;
        s.done = true;
        const bool previewing = preview->IsPreviewing();
        s.window = preview->GetPlayWnd();
        preview->StopRecord();
        preview->StopPreview();
        preview->SetStreamType(type);
        if (previewing) preview->StartPreview();
        return s;
      },
      [this, guid, channel](Switched s) {
        if (!s.done) return;
        if (CDevice* d = CDeviceManager::GetInstance()->FindDevice(guid, 1)) RefreshChannelNode(d, channel);
        if (s.window) CPreviewManager::GetInstance()->SetActiveWindowByHwnd(s.window, 1);
      },
      owner_, Switched{});
}

void CLiveViewModel::OnDeviceTreeClick(Row row) {
  if (!row || !deviceTree_) return;
  if (deviceTree_->DeviceNode(row)) {
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

// --- what the windows and the cycles report --------------------------------------------------

void CLiveViewModel::OnPlayWndEvent(CDevice* device, int channel, int event) {
  if (event == ILiveWindow::kEventPreviewRefused) {
    OnPreviewRefused(LiveDevice(device), channel);
    return;
  }
  if (event != ILiveWindow::kEventPreviewStopped) return;
  RefreshChannelNode(LiveDevice(device), channel);
  PanelBind(0);
}

void CLiveViewModel::OnPreviewRefused(CDevice* device, int channel) {
  if (!device) return;
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByDeviceChannel(device->GetGuid(), channel);
  if (!item) return;
  // The refusal was told once (the device layer's notice); the window says it too, and the
  // preview is closed rather than watched for pictures, which would say "Video lost" next.
  const int window = item->GetWindow();
  PLAT_LOGW("preview", "window %d: %s channel %d refused (connections full); preview closed", window,
            plat::utf16ToUtf8(device->GetDevInfo().GetName()).c_str(), channel);
  StopWindowPreview(item, FindChannelRow(device, channel));
  if (ILiveWindow* wnd = WndOf(window)) wnd->Show(ILiveWindow::State::kRefused);
}

intptr_t CLiveViewModel::OnPlayWndSelected(int window) {
  if (!SingletonAccess<CPreviewManager>::HasInstance()) return -1;
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(window);
  if (!item) {
    if (deviceTree_) deviceTree_->SetCurrent(0);
    PanelBind(0);
    return 0;
  }
  if (CDevice* device = DeviceOfItem(*item)) {
    if (const Row node = FindChannelRow(device, item->GetChannel()); node && ShownTree())
      ShownTree()->SetCurrent(node);
  }
  BindVideoParam(item->GetDeviceGuid(), item->GetChannel());
  PanelBind(1);
  return 0;
}

intptr_t CLiveViewModel::OnCycleSwitch(CDevice* device, intptr_t value) {
  const int channel = static_cast<int>(value & 0xFFFF);
  device = LiveDevice(device);
  if (!device || channel > 64) return 0;
  CChannel* object = device->GetChannel(channel);
  if (!object) return 0;
  if (((value >> 16) & 0xFFFF) == 1) object->SetAlarmFlag(1);
  if (const Row node = FindChannelRow(device, channel)) SetChannelIcon(object, node);
  return 0;
}

intptr_t CLiveViewModel::OnCycleNoPreview(CDevice* device) {
  device = LiveDevice(device);
  if (!device) return 0;
  const std::u16string text = device->GetDevInfo().GetIP() + LoadResString(IDS_LOGIN_FAILED);
  AddAlarmRow(&text);
  return 0;
}
