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
  members_.push_back({deviceGuid, channel, false});
  position_ = 0;
  for (Member& m : members_) m.failedThisRound = false;
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
  plat::Message m;
  while (plat::getMessage(m, -1)) {
    if (m.message == plat::WM_QUIT) break;
    // A tick made while paused (lParam 1) stays ignored even when it is read after the resume.
    if (m.message != plat::WM_TIMER || m.wParam != kTickTimer || m.lParam != 0 || paused_.load()) continue;
    // The first tick switches at once, then every interval ticks.
    if (ticks % interval_ == 0) plat::postMessage(target, WM_CYCLE_STEP, static_cast<uintptr_t>(id_), 0);
    ++ticks;
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
  EndShown(node);
  node.members_.clear();
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

void CCyclePreviewManager::EndShown(CCyclePreviewNode& node) {
  PreviewItemPtr old = std::move(node.item_);
  PreviewItemPtr pending = std::move(node.pending_);
  // Without a preview list its items were stopped when it went (shut-down order).
  if (!SingletonAccess<CPreviewManager>::HasInstance()) return;
  if (pending) CPreviewManager::GetInstance()->Remove(pending);
  if (!old) return;
  // Unlinked and stopped (sound, recording, preview): nothing stale stays listed.
  CPreviewManager::GetInstance()->Remove(old);
  PostNote(WM_CYCLE_SWITCH, old->GetDeviceGuid(), old->GetChannel());
}

void CCyclePreviewManager::Switch(CCyclePreviewNode& node) {
  EndShown(node);
  TryNext(node, 0);
}

void CCyclePreviewManager::TryNext(CCyclePreviewNode& node, size_t tries) {
  CDeviceManager* devices = CDeviceManager::GetInstance();
  CPreviewManager* previews = CPreviewManager::GetInstance();
  auto& members = node.members_;
  // Each member is tried at most once per round: one that cannot be reached is skipped until
  // the rotation comes round again, so a dead device costs one login attempt per round.
  while (tries < members.size()) {
    if (node.position_ >= members.size()) {
      node.position_ = 0;
      for (auto& m : members) m.failedThisRound = false;
    }
    const size_t at = node.position_;
    CCyclePreviewNode::Member m = members[at];
    if (!devices->FindDevice(m.guid, 1)) {
      members.erase(members.begin() + static_cast<std::ptrdiff_t>(at));
      continue;
    }
    ++node.position_;
    ++tries;
    if (m.failedThisRound) continue;
    // The channel shown in another window gives way: one preview renders into one window.
    // Its stop runs on the device's queue before this start.
    if (PreviewItemPtr other = previews->FindByDeviceChannel(m.guid, m.channel)) previews->Remove(other);
    auto item = std::make_shared<CPreviewItem>(node.GetWindowIndex(), node.GetPlayWnd(), nullptr, m.channel, 0,
                                               m.guid);
    if (!previews->Add(item)) {
      members[at].failedThisRound = true;
      PostNote(WM_CYCLE_NO_PREVIEW, m.guid, m.channel);
      continue;
    }
    item->SetConnecting(true);
    node.pending_ = item;
    CPlayWnd* wnd = screen_ ? screen_->GetWnd(node.GetWindowIndex()) : nullptr;
    if (wnd && wnd->GetSafeHwnd() == node.GetPlayWnd()) wnd->Show(CPlayWnd::State::kConnecting);
    const int id = node.GetId();
    devwork::Ask<bool>(
        m.guid, [item] { return item->GetPreview() && item->Start(); },
        [this, id, item, tries](bool ok) { OnStarted(id, item, ok, tries); }, owner_, false);
    return;
  }
}

void CCyclePreviewManager::OnStarted(int nodeId, const PreviewItemPtr& item, bool ok, size_t tries) {
  item->SetConnecting(false);
  CCyclePreviewNode* node = FindById(nodeId);
  // The node stopped meanwhile (its stop took the item out), or moved on.
  if (!node || node->pending_ != item) return;
  node->pending_ = nullptr;
  CPreviewManager* previews = CPreviewManager::GetInstance();
  CPlayWnd* wnd = screen_ ? screen_->GetWnd(node->GetWindowIndex()) : nullptr;
  if (wnd && wnd->GetSafeHwnd() != node->GetPlayWnd()) wnd = nullptr;
  if (ok) {
    node->item_ = item;
    PostNote(WM_CYCLE_SWITCH, item->GetDeviceGuid(), item->GetChannel());
    if (wnd) {
      wnd->Show(CPlayWnd::State::kLive);
      wnd->SetCallback(callback_, CDeviceManager::GetInstance()->FindDevice(item->GetDeviceGuid(), 1),
                       item->GetChannel(), pageObject_);
    }
    return;
  }
  previews->Remove(item);
  if (wnd) wnd->Show(CPlayWnd::State::kIdle);
  for (auto& m : node->members_)
    if (m.guid == item->GetDeviceGuid() && m.channel == item->GetChannel()) m.failedThisRound = true;
  PostNote(WM_CYCLE_NO_PREVIEW, item->GetDeviceGuid(), item->GetChannel());
  TryNext(*node, tries);
  EndIfEmpty(nodeId);
}
