#pragma once
// The logic of the live view's PTZ panel, preset list and cruise panels, without widgets:
// which channel they act on (the one shown in the active play window), the PTZ right, and
// the device commands. The panels' widgets only show what these classes decide.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Hollin.h"

class CChannel;

// Where the panels find the channel the user is watching.
class IPanelHost {
 public:
  virtual ~IPanelHost() = default;
  // The device GUID and channel number of the active play window's preview; false when that
  // window shows nothing.
  virtual bool GetActiveChannel(std::u16string& guid, int& channel) = 0;
};

// The preview list's view: the active window of its play screen and the item listed there.
class CPreviewListPanelHost : public IPanelHost {
 public:
  bool GetActiveChannel(std::u16string& guid, int& channel) override;
};

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

// A device channel named by its device's GUID and its number: what a panel or dialog keeps
// instead of device-layer pointers, which die with the device's release.
struct PanelTarget {
  std::u16string guid;
  int channel = 0;
  bool valid() const { return channel > 0 && !guid.empty(); }
  // The channel object when the device is still listed and has that channel; never creates.
  CChannel* Channel() const;
  // The channel's PTZ object when its device is logged in and its main preview runs, made on
  // demand; null otherwise.
  IDevCtlPtz* Ptz() const;
};

// The target of the active play window (invalid when it shows nothing).
PanelTarget GetPanelTarget(IPanelHost* host);
CChannel* GetPanelChannel(IPanelHost* host);
IDevCtlPtz* GetPanelPtz(IPanelHost* host);

// True when the current user holds the PTZ right; otherwise the refusal notice is shown.
bool CheckPtzRight();

// The PTZ panel's buttons: a press starts a command on the watched channel and binds it; the
// release stops that same command on that same channel, wherever the selection went since.
class CPtzController {
 public:
  explicit CPtzController(IPanelHost* host) : host_(host) {}
  // False when refused (no right) or nothing was started.
  bool Press(int command);
  // Stops what the last press started; nothing when no press is held.
  void Release();
  bool IsHeld() const { return held_; }
  // The steering speed the next press sends (0 to 6; 0 leaves the device's own).
  void SetSpeed(int speed) { speed_ = speed < 0 ? 0 : speed > 6 ? 6 : speed; }
  int Speed() const { return speed_; }
  int HeldCommand() const { return held_ ? command_ : 0; }
  const PanelTarget& Bound() const { return bound_; }

 private:
  IPanelHost* host_;
  PanelTarget bound_;
  int command_ = 0;
  int speed_ = 4;
  bool held_ = false;
};

// The 784-byte decoder configuration record of type 12 and the preset flags it holds.
constexpr int kDecoderRecordSize = 784;
constexpr int kPresetFlagsOffset = 16;
constexpr int kPresetCount = 64;
using DecoderRecord = std::array<uint8_t, kDecoderRecordSize>;

enum class PresetFlags { Failed, Read, Unknown };
// Reads the channel's preset flags. Cameras and camera-protocol recorders cannot report them:
// Unknown, and the record is left as it was.
PresetFlags ReadPresetFlags(CChannel* channel, DecoderRecord& record);

enum class PresetState { Blank, Set, NotSet, Unknown };

// The preset list of the watched channel.
class CPresetModel {
 public:
  explicit CPresetModel(IPanelHost* host) : host_(host) { states_.fill(PresetState::Blank); }
  // The active window got a live preview: 1 when the flags were read (or are unknown), -1
  // on failure (the states stay as they were).
  int Bind();
  // It lost it: every state blank, the record kept.
  int Unbind();
  PresetState State(int row) const;
  // Each returns true when the command was sent and accepted; rows 0 to 63.
  bool GoTo(int row);
  bool Set(int row);
  bool Clear(int row);

 private:
  IPanelHost* host_;
  DecoderRecord record_{};
  bool known_ = true;
  std::array<PresetState, kPresetCount> states_;
};

constexpr int kCruiseRoutes = 6;
constexpr int kCruiseStops = 32;
constexpr int kCruiseStopsShown = 16;

struct CruiseStop {
  int preset = 0, dwell = 0, speed = 0;
};

// Cruise commands on the watched channel.
class CCruiseController {
 public:
  explicit CCruiseController(IPanelHost* host) : host_(host) {}
  bool Start(int route);
  // Stop to every route; the number of routes that accepted it.
  int StopAll();

 private:
  IPanelHost* host_;
};

// One route of one channel as the path dialog and the stop editor see it. Every operation
// fetches the channel's objects again, so a device released meanwhile is simply gone.
class CCruiseRoute {
 public:
  CCruiseRoute(PanelTarget target, int route) : target_(std::move(target)), route_(route) {}
  const PanelTarget& Target() const { return target_; }
  int Route() const { return route_; }
  // The route's stops as the device reports them; false when it cannot.
  bool Read(std::array<CruiseStop, kCruiseStops>& stops) const;
  // Stop numbers count from 1. Stores preset (1 to 64), dwell (0 to 30) and speed (0 to 6).
  bool Store(int stopNumber, const CruiseStop& stop) const;
  bool ClearStop(int stopNumber) const;
  // The preset flags for the stop editor's choice (Failed: no choice offered).
  PresetFlags Presets(DecoderRecord& record) const;

 private:
  PanelTarget target_;
  int route_;
};

// The stop editor's check of what was typed: the control that is wrong, or 0 when all is
// well. Preset index -1 means no preset chosen.
struct StopEntry {
  int stopNumber = 1, presetIndex = -1, dwell = 2, speed = 0;
};
enum StopEntryError { kEntryOk = 0, kEntryStop = 1452, kEntryPreset = 1459, kEntryDwell = 1456,
                      kEntrySpeed = 1457 };
int CheckStopEntry(const StopEntry& entry);
