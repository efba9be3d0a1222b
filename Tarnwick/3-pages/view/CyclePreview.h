#pragma once
// Cycle preview: the channels of a group shown one after another in one play window.
//
// Each cycling window has a node with a worker thread that only counts one-second ticks and,
// at its start and then every `interval` ticks, posts WM_CYCLE_STEP (node id) to the
// manager's own window. The switch itself runs on the UI thread, which owns the devices: it
// stops and unlinks the item the node showed and starts the next channel's item, the one
// listed already (which keeps its window) or a new one in the node's window; the device side
// (fetching the preview, which may log the device in, and starting it) runs on the device's
// queue, never on the page. When it comes back the switch points the play window's callback
// at the channel and moves on; a channel that got no preview is tried again at the next
// switch. Members are kept as device GUID and channel, never as pointers, so a device deleted
// under a cycle is simply dropped from the rotation. Stopping a node ends its worker and
// leaves what its window shows. The page hears of switches through WM_CYCLE_SWITCH and
// WM_CYCLE_NO_PREVIEW, whose wParam names a device note (shell/DeviceNote.h).
#include <QObject>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "devices/DeviceWork.h"
#include "plat/msgthread.h"
#include "plat/window.h"
#include "view/PlayWnd.h"
#include "view/PreviewItem.h"

class CDevice;
class CPlayScreen;

// Worker to manager: one tick asks for a switch (wParam node id).
constexpr uint32_t WM_CYCLE_STEP = plat::WM_USER + 40;

class CCyclePreviewNode {
 public:
  CCyclePreviewNode(int id, plat::WindowHandle playWnd, int window, std::u16string name, int interval);
  ~CCyclePreviewNode();  // stops the worker
  CCyclePreviewNode(const CCyclePreviewNode&) = delete;
  CCyclePreviewNode& operator=(const CCyclePreviewNode&) = delete;

  int GetId() const { return id_; }
  int GetWindowIndex() const { return window_; }
  plat::WindowHandle GetPlayWnd() const { return playWnd_; }
  const std::u16string& GetName() const { return name_; }
  void SetName(const std::u16string& name) { name_ = name; }
  int GetInterval() const { return interval_; }

  // Appends a member and rewinds the rotation; 1.
  int AddChannel(const std::u16string& deviceGuid, int channel);
  int MemberCount() const { return static_cast<int>(members_.size()); }
  bool HasDevice(const std::u16string& deviceGuid) const;

  // The worker starts on the first resume (ticks every tickMs of product time; 0: only
  // injected ticks); later resumes clear the pause. Pauses do not stack.
  bool Resume(plat::WindowHandle target, int tickMs);
  void Pause() { paused_.store(true); }
  bool IsPaused() const { return paused_.load(); }
  bool IsStarted() const { return worker_ != nullptr; }
  // Ends the worker within a bounded time; true when it ended in time. The UI side (item,
  // rotation) is the manager's to clear.
  bool Stop();
  // One tick as the timer gives it (tests drive the clock through this).
  bool InjectTick();

 private:
  friend class CCyclePreviewManager;
  struct Member {
    std::u16string guid;
    int channel = 0;
  };
  void WorkerBody(plat::WindowHandle target, int tickMs);

  const int id_;
  const plat::WindowHandle playWnd_;
  const int window_;
  std::u16string name_;
  const int interval_;
  std::atomic<bool> paused_{false};
  std::unique_ptr<plat::MessageThread> worker_;
  // UI thread only.
  std::vector<Member> members_;
  size_t position_ = 0;
  PreviewItemPtr item_;     // the item this node started last
  PreviewItemPtr pending_;  // the item whose start is on its way
};

class CCyclePreviewManager {
 public:
  static constexpr int kStopWaitMs = 4000;
  static constexpr int kTickMs = 1000;

  static CCyclePreviewManager* GetInstance();

  CCyclePreviewManager();
  ~CCyclePreviewManager();  // DeleteAll
  CCyclePreviewManager(const CCyclePreviewManager&) = delete;
  CCyclePreviewManager& operator=(const CCyclePreviewManager&) = delete;

  void SetPlayScreen(CPlayScreen* screen) { screen_ = screen; }
  // Where notes are posted, and the callback every switch gives the play window.
  void SetPage(plat::WindowHandle page, PlayWndCallback callback, void* pageObject);

  // interval in seconds; 0 or below takes the settings' default. 0 when the node cannot be
  // made (no play screen or window), else 1.
  int AddChannelToCycle(const std::u16string& name, int window, int interval, CDevice* device, int channel);
  // Starts (or un-pauses) the first node of the window, -1 for any; true when one was found.
  bool ResumeByWindow(int window);
  void SuspendAll();
  void ResumeAll();

  bool HasWindow(int window) const { return FindByWindow(window) != nullptr; }
  CCyclePreviewNode* FindByWindow(int window) const;
  bool HasName(const std::u16string& name) const { return FindByName(name) != nullptr; }
  CCyclePreviewNode* FindByName(const std::u16string& name) const;
  // The first matching node is stopped, unlinked and freed; its window keeps what it shows.
  bool StopByWindow(int window);
  bool StopByName(const std::u16string& name);
  // Stops every cycle with a member on the device; the number stopped.
  int StopByDevice(const std::u16string& deviceGuid);
  // Unlinks without stopping; the caller destroys it.
  std::unique_ptr<CCyclePreviewNode> RemoveNode(CCyclePreviewNode* node);
  void DeleteAll();
  int NodeCount() const { return static_cast<int>(nodes_.size()); }

  // Cycles running plus windows showing a group member opened on its own. Derived each time,
  // so it cannot drift from what runs.
  int GetRunCount();
  // A group member was opened alone in the window; it counts while its preview is listed.
  void AddGroupWindow(int window);

  // Product milliseconds between the workers' ticks (0: ticks only come from InjectTick).
  void SetTickPeriod(int productMs) { tickMs_ = productMs; }
  plat::WindowHandle GetWindow() const { return window_; }
  // The switch a worker asked for (UI thread).
  void OnStep(int nodeId);
  // Switches made so far.
  int StepsHandled() const { return steps_; }

 private:
  enum class StartResult { kNoPreview, kStarted, kStartFailed };
  void Switch(CCyclePreviewNode& node);
  // `made`: the switch made the item (else it was listed already).
  void OnStarted(int nodeId, const PreviewItemPtr& item, StartResult result, bool made);
  // The play window `window` while it still has this handle.
  CPlayWnd* WindowOf(int window, plat::WindowHandle handle) const;
  CCyclePreviewNode* FindById(int id) const;
  // Ends and frees a node left without members.
  void EndIfEmpty(int nodeId);
  void EndShown(CCyclePreviewNode& node);
  void StopNode(CCyclePreviewNode& node);
  bool StopFirst(const std::function<bool(const CCyclePreviewNode&)>& match);
  void PostNote(uint32_t message, const std::u16string& guid, int channel);

  QObject context_;  // the UI thread's side of the manager's window
  plat::WindowHandle window_ = 0;
  CPlayScreen* screen_ = nullptr;
  plat::WindowHandle page_ = 0;
  PlayWndCallback callback_ = nullptr;
  void* pageObject_ = nullptr;
  int tickMs_ = kTickMs;
  int nextId_ = 1;
  int steps_ = 0;
  std::vector<std::unique_ptr<CCyclePreviewNode>> nodes_;
  std::vector<int> groupWindows_;
  devwork::Owner owner_;
};

// Deletes the singleton when it exists; harmless when called again.
void FreeCyclePreviewManager();
