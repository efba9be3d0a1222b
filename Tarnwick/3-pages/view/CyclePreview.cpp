#include "view/CyclePreview.h"

#include <algorithm>

#include "devices/DeviceManager.h"
#include "plat/log.h"
#include "plat/qtwindow.h"
#include "shell/DeviceNote.h"
#include "shell/LocalSettings.h"
#include "shell/Singleton.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"
#include "view/ViewMessages.h"

namespace {
constexpr uintptr_t kTickTimer = 1;
}  // namespace

// ---- node -----------------------------------------------------------------------------

CCyclePreviewNode::CCyclePreviewNode(int id, plat::WindowHandle playWnd, int window, std::u16string name,
                                     int interval)
    : id_(id), playWnd_(playWnd), window_(window), name_(std::move(name)), interval_(interval) {}

CCyclePreviewNode::~CCyclePreviewNode() { Stop(); }

int CCyclePreviewNode::AddChannel(const std::u16string& deviceGuid, int channel) {
  members_.push_back({deviceGuid, channel});
  position_ = 0;
  item_ = nullptr;
  return 1;
}

bool CCyclePreviewNode::HasDevice(const std::u16string& deviceGuid) const {
  return std::any_of(members_.begin(), members_.end(), [&](const Member& m) { return m.guid == deviceGuid; });
}

bool CCyclePreviewNode::Resume(plat::WindowHandle target, int tickMs) {
  paused_.store(false);
  if (worker_) return true;
  worker_ = std::make_unique<plat::MessageThread>("cycle", [this, target, tickMs] { WorkerBody(target, tickMs); });
  worker_->start();
  return true;
}

void CCyclePreviewNode::WorkerBody(plat::WindowHandle target, int tickMs) {
  // Only ticks and asks: everything that touches a device happens on the UI thread.
  if (tickMs > 0) plat::setThreadTimer(kTickTimer, tickMs);
  int ticks = 0;
  auto tick = [&] {
    if (ticks % interval_ == 0) plat::postMessage(target, WM_CYCLE_STEP, static_cast<uintptr_t>(id_), 0);
    ++ticks;
  };
  // The first tick is the start itself: the first channel is shown as soon as the worker
  // runs, then every interval ticks.
  if (!paused_.load()) tick();
  plat::Message m;
  while (plat::getMessage(m, -1)) {
    if (m.message == plat::WM_QUIT) break;
    // A tick made while paused (lParam 1) stays ignored even when it is read after the resume.
    if (m.message != plat::WM_TIMER || m.wParam != kTickTimer || m.lParam != 0 || paused_.load()) continue;
    tick();
  }
  plat::killThreadTimer(kTickTimer);
}

bool CCyclePreviewNode::InjectTick() {
  return worker_ && worker_->post(plat::WM_TIMER, kTickTimer, paused_.load() ? 1 : 0);
}

bool CCyclePreviewNode::Stop() {
  if (!worker_) return true;
  const bool inTime = worker_->stop(CCyclePreviewManager::kStopWaitMs);
  worker_.reset();
  return inTime;
}

// ---- manager --------------------------------------------------------------------------

CCyclePreviewManager* CCyclePreviewManager::GetInstance() {
  return SingletonAccess<CCyclePreviewManager>::GetInstance();
}

void FreeCyclePreviewManager() { SingletonAccess<CCyclePreviewManager>::ReleaseInstance(); }

CCyclePreviewManager::CCyclePreviewManager() {
  window_ = plat::registerWindow(
      [this](uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
        if (message == WM_CYCLE_STEP) OnStep(static_cast<int>(wParam));
        return 0;
      },
      plat::qtDispatcher(&context_));
}

CCyclePreviewManager::~CCyclePreviewManager() {
  plat::unregisterWindow(window_);
  DeleteAll();
}

void CCyclePreviewManager::SetPage(plat::WindowHandle page, PlayWndCallback callback, void* pageObject) {
  page_ = page;
  callback_ = callback;
  pageObject_ = pageObject;
}

int CCyclePreviewManager::AddChannelToCycle(const std::u16string& name, int window, int interval,
                                            CDevice* device, int channel) {
  if (!device) return 0;
  CCyclePreviewNode* node = FindByWindow(window);
  if (!node) {
    CPlayWnd* wnd = screen_ ? screen_->GetWnd(window) : nullptr;
    if (!wnd || !wnd->GetSafeHwnd()) return 0;
    // A period of 0 or below would switch on every tick of a division by zero.
    if (interval <= 0) interval = CLocalSettings::DEFAULT_CYCLE_INTERVAL;
    nodes_.push_back(std::make_unique<CCyclePreviewNode>(nextId_++, wnd->GetSafeHwnd(), window, name, interval));
    node = nodes_.back().get();
  }
  return node->AddChannel(device->GetGuid(), channel);
}

bool CCyclePreviewManager::ResumeByWindow(int window) {
  for (auto& n : nodes_)
    if (window == -1 || n->GetWindowIndex() == window) return n->Resume(window_, tickMs_);
  return false;
}

void CCyclePreviewManager::SuspendAll() {
  for (auto& n : nodes_) n->Pause();
}

void CCyclePreviewManager::ResumeAll() {
  for (auto& n : nodes_) n->Resume(window_, tickMs_);
}

CCyclePreviewNode* CCyclePreviewManager::FindByWindow(int window) const {
  for (auto& n : nodes_)
    if (n->GetWindowIndex() == window) return n.get();
  return nullptr;
}

CCyclePreviewNode* CCyclePreviewManager::FindByName(const std::u16string& name) const {
  for (auto& n : nodes_)
    if (n->GetName() == name) return n.get();
  return nullptr;
}

void CCyclePreviewManager::StopNode(CCyclePreviewNode& node) {
  if (!node.Stop()) PLAT_LOGW("cycle", "cycle worker of window %d did not end in time", node.GetWindowIndex());
  // What the window shows stays as it is (a start still on its way finishes as its switch
  // would have): whoever ends the cycle closes the window's preview if it wants it closed.
  node.item_ = nullptr;
  node.pending_ = nullptr;
  node.members_.clear();
  plat::postMessage(node.GetPlayWnd(), WM_PREVIEW_STOPPED, 0, 0);
}

bool CCyclePreviewManager::StopFirst(const std::function<bool(const CCyclePreviewNode&)>& match) {
  auto it = std::find_if(nodes_.begin(), nodes_.end(), [&](const auto& n) { return match(*n); });
  if (it == nodes_.end()) return false;
  std::unique_ptr<CCyclePreviewNode> node = std::move(*it);
  nodes_.erase(it);
  StopNode(*node);
  return true;
}

bool CCyclePreviewManager::StopByWindow(int window) {
  return StopFirst([window](const CCyclePreviewNode& n) { return n.GetWindowIndex() == window; });
}

bool CCyclePreviewManager::StopByName(const std::u16string& name) {
  return StopFirst([&name](const CCyclePreviewNode& n) { return n.GetName() == name; });
}

int CCyclePreviewManager::StopByDevice(const std::u16string& deviceGuid) {
  int stopped = 0;
  while (StopFirst([&](const CCyclePreviewNode& n) { return n.HasDevice(deviceGuid); })) ++stopped;
  return stopped;
}

std::unique_ptr<CCyclePreviewNode> CCyclePreviewManager::RemoveNode(CCyclePreviewNode* node) {
  auto it = std::find_if(nodes_.begin(), nodes_.end(), [node](const auto& n) { return n.get() == node; });
  if (it == nodes_.end()) return nullptr;
  std::unique_ptr<CCyclePreviewNode> out = std::move(*it);
  nodes_.erase(it);
  return out;
}

void CCyclePreviewManager::DeleteAll() {
  std::vector<std::unique_ptr<CCyclePreviewNode>> gone = std::move(nodes_);
  nodes_.clear();
  for (auto& n : gone) StopNode(*n);
}

int CCyclePreviewManager::GetRunCount() {
  // A member window counts only while its preview is still listed: closing it by any path
  // (its menu, a device released, stop all) ends it without anyone having to count down.
  if (!SingletonAccess<CPreviewManager>::HasInstance()) {
    groupWindows_.clear();
    return static_cast<int>(nodes_.size());
  }
  CPreviewManager* previews = CPreviewManager::GetInstance();
  groupWindows_.erase(std::remove_if(groupWindows_.begin(), groupWindows_.end(),
                                     [&](int w) { return !previews->HasWindow(w) || HasWindow(w); }),
                      groupWindows_.end());
  return static_cast<int>(nodes_.size() + groupWindows_.size());
}

void CCyclePreviewManager::AddGroupWindow(int window) {
  if (std::find(groupWindows_.begin(), groupWindows_.end(), window) == groupWindows_.end())
    groupWindows_.push_back(window);
}

void CCyclePreviewManager::PostNote(uint32_t message, const std::u16string& guid, int channel) {
  PostDeviceNote(page_, message, guid, channel, CycleSwitchValue(channel, 0));
}

CCyclePreviewNode* CCyclePreviewManager::FindById(int id) const {
  for (auto& n : nodes_)
    if (n->GetId() == id) return n.get();
  return nullptr;
}

void CCyclePreviewManager::OnStep(int nodeId) {
  CCyclePreviewNode* node = FindById(nodeId);
  // A step posted before its node was stopped arrives after it is gone: nothing to do. A step
  // while the last switch is still trying members waits for the next one.
  if (!node || node->IsPaused() || node->pending_) return;
  Switch(*node);
  ++steps_;
  EndIfEmpty(nodeId);
}

void CCyclePreviewManager::EndIfEmpty(int nodeId) {
  auto it = std::find_if(nodes_.begin(), nodes_.end(), [nodeId](const auto& n) { return n->GetId() == nodeId; });
  if (it == nodes_.end() || !(*it)->members_.empty()) return;
  // Every member's device is gone: the cycle ends by itself and stops counting.
  std::unique_ptr<CCyclePreviewNode> node = std::move(*it);
  nodes_.erase(it);
  StopNode(*node);
}

CPlayWnd* CCyclePreviewManager::WindowOf(int window, plat::WindowHandle handle) const {
  CPlayWnd* wnd = screen_ ? screen_->GetWnd(window) : nullptr;
  return wnd && wnd->GetSafeHwnd() == handle ? wnd : nullptr;
}

void CCyclePreviewManager::EndShown(CCyclePreviewNode& node) {
  PreviewItemPtr old = std::move(node.item_);
  if (!old || !SingletonAccess<CPreviewManager>::HasInstance()) return;
  // Stopped (sound, recording, preview) and unlinked: a channel stopped by its cycle is not
  // left counted as open.
  if (!CPreviewManager::GetInstance()->Remove(old)) return;
  if (CPlayWnd* wnd = WindowOf(old->GetWindow(), old->GetPlayWnd())) wnd->Show(CPlayWnd::State::kIdle);
  PostNote(WM_CYCLE_SWITCH, old->GetDeviceGuid(), old->GetChannel());
}

void CCyclePreviewManager::Switch(CCyclePreviewNode& node) {
  EndShown(node);
  CDeviceManager* devices = CDeviceManager::GetInstance();
  auto& members = node.members_;
  // A member whose device is gone leaves the rotation.
  for (;;) {
    if (members.empty()) return;
    if (node.position_ >= members.size()) node.position_ = 0;
    if (devices->FindDevice(members[node.position_].guid, 1)) break;
    members.erase(members.begin() + static_cast<std::ptrdiff_t>(node.position_));
  }
  const CCyclePreviewNode::Member m = members[node.position_];
  CPreviewManager* previews = CPreviewManager::GetInstance();
  // A channel listed already (in another window too) is started as it is: it keeps the
  // window it was made for.
  PreviewItemPtr item = previews->FindByDeviceChannel(m.guid, m.channel);
  const bool made = !item;
  if (made) {
    item = std::make_shared<CPreviewItem>(node.GetWindowIndex(), node.GetPlayWnd(), nullptr, m.channel, 0, m.guid);
    previews->Add(item);
    item->SetConnecting(true);
    if (CPlayWnd* wnd = WindowOf(node.GetWindowIndex(), node.GetPlayWnd())) wnd->Show(CPlayWnd::State::kConnecting);
  }
  node.pending_ = item;
  const int id = node.GetId();
  devwork::Ask<StartResult>(
      m.guid,
      [item] {
        if (!item->GetPreview()) return StartResult::kNoPreview;
        return item->Start() ? StartResult::kStarted : StartResult::kStartFailed;
      },
      [this, id, item, made](StartResult result) { OnStarted(id, item, result, made); }, owner_,
      StartResult::kNoPreview);
}

void CCyclePreviewManager::OnStarted(int nodeId, const PreviewItemPtr& item, StartResult result, bool made) {
  if (made) item->SetConnecting(false);
  CCyclePreviewNode* node = FindById(nodeId);
  const bool current = node && node->pending_ == item;
  if (current) node->pending_ = nullptr;
  // Taken out meanwhile (or the list went at shut-down): whoever took it out stopped it.
  if (!SingletonAccess<CPreviewManager>::HasInstance()) return;
  CPreviewManager* previews = CPreviewManager::GetInstance();
  if (!previews->Holds(item)) return;
  CPlayWnd* wnd = made ? WindowOf(item->GetWindow(), item->GetPlayWnd()) : nullptr;
  if (result == StartResult::kNoPreview) {
    // Nothing to show: the switch ends here, the rotation stays where it is, and the same
    // channel is tried again at the next switch.
    if (made) {
      previews->Remove(item);
      if (wnd) wnd->Show(CPlayWnd::State::kIdle);
    }
    PostNote(WM_CYCLE_NO_PREVIEW, item->GetDeviceGuid(), item->GetChannel());
    return;
  }
  // Started or not, the switch goes on to the next member. A start that failed is not left
  // listed: nothing plays in its window.
  const bool started = result == StartResult::kStarted;
  if (made && !started) {
    previews->Remove(item);
    if (wnd) wnd->Show(CPlayWnd::State::kIdle);
  } else if (wnd) {
    wnd->Show(CPlayWnd::State::kLive);
  }
  PostNote(WM_CYCLE_SWITCH, item->GetDeviceGuid(), item->GetChannel());
  const int window = node ? node->GetWindowIndex() : item->GetWindow();
  if (CPlayWnd* cycleWnd = screen_ ? screen_->GetWnd(window) : nullptr)
    cycleWnd->SetCallback(callback_, CDeviceManager::GetInstance()->FindDevice(item->GetDeviceGuid(), 1),
                          item->GetChannel(), pageObject_);
  if (!current) return;
  node->item_ = started || !made ? item : nullptr;
  ++node->position_;
}
