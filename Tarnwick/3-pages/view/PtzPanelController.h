#pragma once
// The logic of the live view's PTZ panel, preset list and cruise panels, without widgets:
// which channel they act on (the one shown in the active play window), the PTZ right, and
// the device commands. The panels' widgets only show what these classes decide.
//
// Every device exchange runs on the device's own queue (devices/DeviceWork.h): the UI thread
// checks the right and what it can see (the active window's channel, logged in, previewing),
// queues the command and shows its result when it comes back.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "devices/DeviceWork.h"
#include "view/PanelTarget.h"

namespace ptzcmd {
// PTZ command codes as the device layer passes them on.
enum : int {
  kLight = 2, kWiper = 3, kZoomIn = 11, kZoomOut = 12, kFocusNear = 13, kFocusFar = 14,
  kIrisOpen = 15, kIrisClose = 16, kUp = 21, kDown = 22, kLeft = 23, kRight = 24,
  kUpLeft = 25, kUpRight = 26, kDownLeft = 27, kDownRight = 28, kAutoScan = 29,
};
// Preset commands.
enum : int { kPresetSet = 8, kPresetClear = 9, kPresetGoTo = 39 };
// Cruise commands.
enum : int {
  kCruisePreset = 30, kCruiseDwell = 31, kCruiseSpeed = 32, kCruiseClearStop = 33,
  kCruiseRun = 37, kCruiseStop = 38, kCruiseStore = 39,
};
}  // namespace ptzcmd

// True when the current user holds the PTZ right; otherwise the refusal notice is shown.
bool CheckPtzRight();

// Requests of a panel on their way to a device, queued in the order given; a closed panel
// gets no results.
class CPanelRequests {
 public:
  // Called on the UI thread whenever a result came back.
  void SetOnChanged(std::function<void()> changed) { changed_ = std::move(changed); }

 protected:
  // Queues `work` on the target's device; `done` gets its result on the UI thread, or
  // `failed` when the work could not run. False when the device refused it.
  template <class R>
  bool Send(const PanelTarget& target, std::function<R()> work, std::function<void(R)> done, R failed);
  void Changed() {
    if (changed_) changed_();
  }

 private:
  std::function<void()> changed_;
  devwork::Owner owner_;
};

// The PTZ panel's buttons: a press starts a command on the watched channel and binds it; the
// release stops that same command on that same channel, wherever the selection went since.
// Both go on the device's queue, so they reach it in the order pressed, however slowly it
// answers; their results are not looked at.
class CPtzController {
 public:
  explicit CPtzController(IPanelHost* host) : host_(host) {}
  // Ends a press still held (a second button, a lost release) and binds the panel's target:
  // the channel of the active window, when its device is logged in and it is previewing.
  // False when there is none.
  bool Bind();
  // Starts `command` on the bound target; false when nothing is bound or it could not leave.
  bool Press(int command);
  // Stops what the last press started; nothing when no press is held.
  void Release();
  bool IsHeld() const { return held_; }
  int HeldCommand() const { return held_ ? command_ : 0; }
  const PanelTarget& Bound() const { return bound_; }

 private:
  IPanelHost* host_;
  PanelTarget bound_;
  int command_ = 0;
  bool held_ = false;
};

// The 784-byte decoder configuration record of type 12 and the preset flags it holds.
constexpr int kDecoderRecordSize = 784;
constexpr int kPresetFlagsOffset = 16;
constexpr int kPresetCount = 64;
using DecoderRecord = std::array<uint8_t, kDecoderRecordSize>;

enum class PresetFlags { Failed, Read, Unknown };
struct PresetRead {
  PresetFlags flags = PresetFlags::Failed;
  DecoderRecord record{};  // filled when Read
};
// Device queue only: the channel's preset flags. Cameras and camera-protocol recorders
// cannot report them: Unknown.
PresetRead ReadPresetFlags(const PanelTarget& target);

enum class PresetState { Blank, Set, NotSet, Unknown };

// The preset list of the watched channel.
class CPresetModel : public CPanelRequests {
 public:
  explicit CPresetModel(IPanelHost* host) : host_(host) { states_.fill(PresetState::Blank); }
  // The active window got a live preview: its flags are read on its device's queue and the
  // list is Loading until they arrive. -1 when the window shows no channel, else 1.
  int Bind();
  // It lost it: every state blank, the record kept; a read still on its way is dropped.
  int Unbind();
  bool Loading() const { return loading_; }
  // How the last read ended: 1 read (or unknown), -1 failed (the states stay as they were),
  // 0 still on its way or none asked.
  int BindResult() const { return bindResult_; }
  PresetState State(int row) const;
  // Each queues its command to the watched channel (rows 0 to 63); false when refused or
  // there is nothing to send to. The list changes when the device accepted it.
  bool GoTo(int row);
  bool Set(int row);
  bool Clear(int row);

 private:
  bool SendPreset(int command, int row);

  IPanelHost* host_;
  DecoderRecord record_{};
  bool known_ = true;
  bool loading_ = false;
  int bindResult_ = 0;
  unsigned bindings_ = 0;  // counts binds and unbinds: a read for an older one is dropped
  std::array<PresetState, kPresetCount> states_;
};

constexpr int kCruiseRoutes = 6;
constexpr int kCruiseStops = 32;
constexpr int kCruiseStopsShown = 16;

struct CruiseStop {
  int preset = 0, dwell = 0, speed = 0;
};

// Cruise commands on the watched channel.
class CCruiseController : public CPanelRequests {
 public:
  explicit CCruiseController(IPanelHost* host) : host_(host) {}
  // Each is queued to the watched channel; false when refused or nothing to send to.
  bool Start(int route);
  // Stop to every route in turn.
  bool StopAll();

 private:
  IPanelHost* host_;
};

// One route of one channel as the path dialog and the stop editor see it. Each operation
// queues its exchange on the channel's device, where the channel's objects are fetched again
// (a device released meanwhile is simply gone), and hands the outcome to `done` on the UI
// thread while `owner` lives. False when nothing was queued (the channel has no live preview).
class CCruiseRoute {
 public:
  using Stops = std::array<CruiseStop, kCruiseStops>;
  struct ReadResult {
    bool ok = false;
    Stops stops{};
  };

  CCruiseRoute(PanelTarget target, int route) : target_(std::move(target)), route_(route) {}
  const PanelTarget& Target() const { return target_; }
  int Route() const { return route_; }
  // The route's stops as the device reports them.
  bool Read(std::function<void(ReadResult)> done, const devwork::Owner& owner) const;
  // Stop numbers count from 1. Stores preset (0 to 64), dwell (0 to 30) and speed (0 to 6):
  // the four commands in turn, each only after the one before was accepted.
  bool Store(int stopNumber, const CruiseStop& stop, std::function<void(bool)> done,
             const devwork::Owner& owner) const;
  bool ClearStop(int stopNumber, std::function<void(bool)> done, const devwork::Owner& owner) const;
  // The preset flags for the stop editor's choice (Failed: no choice offered); asked while
  // the device is listed, live or not.
  bool Presets(std::function<void(PresetRead)> done, const devwork::Owner& owner) const;

 private:
  PanelTarget target_;
  int route_;
};

// The stop editor's check of what was typed, in the order stop, dwell, speed: the control that
// is wrong, or 0 when all is well. The preset is not checked: index -1 (no choice offered)
// stores preset 0.
struct StopEntry {
  int stopNumber = 1, presetIndex = -1, dwell = 2, speed = 0;
};
enum StopEntryError { kEntryOk = 0, kEntryStop = 1452, kEntryDwell = 1456, kEntrySpeed = 1457 };
int CheckStopEntry(const StopEntry& entry);

// ---- template definition

template <class R>
bool CPanelRequests::Send(const PanelTarget& target, std::function<R()> work, std::function<void(R)> done,
                          R failed) {
  // Answered every time (`failed` when refused, dropped or thrown).
  return devwork::Ask<R>(
      target.guid, std::move(work),
      [this, done = std::move(done)](R result) {
        done(std::move(result));
        Changed();
      },
      owner_, std::move(failed));
}
