#include "view/PtzPanelController.h"

#include "devices/Device.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"
#include "shell/User.h"
#include "shell/UserRights.h"

bool CheckPtzRight() {
  CUser* user = CUser::GetInstance();
  if (!user) return false;
  if (user->HasRight(RIGHT_PTZ)) return true;
  Notice(IDS_NO_RIGHT_PTZ);
  return false;
}

// ---- PTZ buttons -------------------------------------------------------------------------

bool CPtzController::Bind() {
  Release();
  bound_ = GetPanelChannel(host_);
  if (bound_.Live()) return true;
  bound_ = {};
  return false;
}

bool CPtzController::Press(int command) {
  if (held_ || !bound_.Live()) return false;
  const bool queued = devwork::Run(bound_.guid, [target = bound_, command] {
    if (IDevCtlPtz* ptz = GetPanelPtz(target)) ptz->PTZControl(command, 0);
  });
  // A start that never left has no stop to owe.
  if (!queued) {
    bound_ = {};
    return false;
  }
  command_ = command;
  held_ = true;
  return true;
}

void CPtzController::Release() {
  if (!held_) return;
  held_ = false;
  // The channel bound at the press, fetched again on its queue: it may have been released
  // meanwhile, and then it has nothing to stop.
  devwork::Run(bound_.guid, [target = bound_, command = command_] {
    if (CChannel* ch = target.Channel()) {
      if (IDevCtlPtz* ptz = ch->GetPtz(0)) ptz->PTZControl(command, 1);
    }
  });
  bound_ = {};
}

// ---- presets -----------------------------------------------------------------------------

PresetRead ReadPresetFlags(const PanelTarget& target) {
  PresetRead out;
  CChannel* channel = target.Channel();
  CDevice* device = channel ? channel->GetDevice() : nullptr;
  if (!device) return out;
  if (device->GetDevType() != DEV_TYPE_DVR) {
    out.flags = PresetFlags::Unknown;
    return out;
  }
  IDevConfig* config = device->GetConfig(1);
  IDevUserLogin* login = device->GetUserLogin(1);
  if (!config || !login) return out;
  tagDevConfigRequest request{};
  request.channel = channel->GetChannelNo() - 1;
  request.configType = 12;
  request.record = out.record.data();
  request.recordSize = kDecoderRecordSize;
  request.returned = 0;
  request.reserved = 3;
  request.loginHandle = login->GetLoginID(1);
  if (config->GetConfig(&request) == 1) out.flags = PresetFlags::Read;
  return out;
}

int CPresetModel::Bind() {
  const unsigned binding = ++bindings_;
  const PanelTarget target = GetPanelChannel(host_);
  if (!target.Channel()) {
    loading_ = false;
    bindResult_ = -1;
    return -1;
  }
  loading_ = true;
  bindResult_ = 0;
  const bool queued = Send<PresetRead>(
      target, [target] { return ReadPresetFlags(target); },
      [this, binding](PresetRead read) {
        if (binding != bindings_) return;  // the window was unbound or bound anew since
        loading_ = false;
        if (read.flags == PresetFlags::Failed) {
          bindResult_ = -1;
          return;
        }
        bindResult_ = 1;
        known_ = read.flags == PresetFlags::Read;
        if (known_) record_ = read.record;
        for (int i = 0; i < kPresetCount; ++i) {
          states_[i] = !known_ ? PresetState::Unknown
                       : record_[kPresetFlagsOffset + i] ? PresetState::Set
                                                         : PresetState::NotSet;
        }
      },
      PresetRead{});
  if (!queued) {
    loading_ = false;
    bindResult_ = -1;
    return -1;
  }
  return 1;
}

int CPresetModel::Unbind() {
  ++bindings_;
  loading_ = false;
  states_.fill(PresetState::Blank);
  Changed();
  return 1;
}

PresetState CPresetModel::State(int row) const {
  return row >= 0 && row < kPresetCount ? states_[row] : PresetState::Blank;
}

bool CPresetModel::SendPreset(int command, int row) {
  if (!CheckPtzRight()) return false;
  if (row < 0 || row >= kPresetCount) return false;
  // A preset the device said is not set is not called; one whose state it cannot tell is.
  if (command == ptzcmd::kPresetGoTo && known_ && !record_[kPresetFlagsOffset + row]) return false;
  const PanelTarget target = GetPanelChannel(host_);
  if (!target.Live()) return false;
  return Send<int>(
      target,
      [target, command, row] {
        IDevCtlPtz* ptz = GetPanelPtz(target);
        return ptz ? ptz->PTZPreset(command, row + 1) : 0;
      },
      [this, target, command, row, binding = bindings_](int accepted) {
        if (!accepted || command == ptzcmd::kPresetGoTo) return;
        const bool set = command == ptzcmd::kPresetSet;
        if (!set) {
          if (CChannel* ch = target.Channel()) ch->ClearPreset(row);
        }
        // The list shows the channel it showed when the command left, or another by now.
        if (binding != bindings_) return;
        record_[kPresetFlagsOffset + row] = set ? 1 : 0;
        states_[row] = set ? PresetState::Set : PresetState::NotSet;
      },
      0);
}

bool CPresetModel::GoTo(int row) { return SendPreset(ptzcmd::kPresetGoTo, row); }
bool CPresetModel::Set(int row) { return SendPreset(ptzcmd::kPresetSet, row); }
bool CPresetModel::Clear(int row) { return SendPreset(ptzcmd::kPresetClear, row); }

// ---- cruise ------------------------------------------------------------------------------

bool CCruiseController::Start(int route) {
  if (!CheckPtzRight()) return false;
  if (route < 0 || route >= kCruiseRoutes) return false;
  const PanelTarget target = GetPanelChannel(host_);
  if (!target.Live()) return false;
  return Send<int>(
      target,
      [target, route] {
        IDevCtlPtz* ptz = GetPanelPtz(target);
        return ptz ? ptz->PTZCruise(ptzcmd::kCruiseRun, route, 0, 0) : 0;
      },
      [](int) {}, 0);
}

bool CCruiseController::StopAll() {
  if (!CheckPtzRight()) return false;
  const PanelTarget target = GetPanelChannel(host_);
  if (!target.Live()) return false;
  return Send<int>(
      target,
      [target] {
        IDevCtlPtz* ptz = GetPanelPtz(target);
        int accepted = 0;
        for (int route = 0; ptz && route < kCruiseRoutes; ++route)
          if (ptz->PTZCruise(ptzcmd::kCruiseStop, route, 0, 0) != 0) ++accepted;
        return accepted;
      },
      [](int) {}, 0);
}

bool CCruiseRoute::Read(std::function<void(ReadResult)> done, const devwork::Owner& owner) const {
  if (!target_.Live()) return false;
  return devwork::Run<ReadResult>(
      target_.guid,
      [target = target_, route = route_] {
        ReadResult out;
        IDevCtlPtz* ptz = GetPanelPtz(target);
        int points[kCruiseStops * 3] = {};
        if (!ptz || ptz->GetPTZCruise(route, points, target.channel - 1) != 1) return out;
        for (int i = 0; i < kCruiseStops; ++i)
          out.stops[i] = CruiseStop{points[i * 3], points[i * 3 + 1], points[i * 3 + 2]};
        out.ok = true;
        return out;
      },
      std::move(done), owner, ReadResult{});
}

bool CCruiseRoute::Store(int stopNumber, const CruiseStop& stop, std::function<void(bool)> done,
                         const devwork::Owner& owner) const {
  if (CheckStopEntry(StopEntry{stopNumber, stop.preset - 1, stop.dwell, stop.speed}) != kEntryOk)
    return false;
  if (!target_.Live()) return false;
  return devwork::Run<bool>(
      target_.guid,
      [target = target_, route = route_, point = stopNumber - 1, stop] {
        IDevCtlPtz* ptz = GetPanelPtz(target);
        return ptz && ptz->PTZCruise(ptzcmd::kCruisePreset, route, point, stop.preset) != 0 &&
               ptz->PTZCruise(ptzcmd::kCruiseDwell, route, point, stop.dwell) != 0 &&
               ptz->PTZCruise(ptzcmd::kCruiseSpeed, route, point, stop.speed) != 0 &&
               ptz->PTZCruise(ptzcmd::kCruiseStore, route, point, stop.speed) != 0;
      },
      std::move(done), owner, false);
}

bool CCruiseRoute::ClearStop(int stopNumber, std::function<void(bool)> done,
                             const devwork::Owner& owner) const {
  if (stopNumber < 1 || stopNumber > kCruiseStops || !target_.Live()) return false;
  return devwork::Run<bool>(
      target_.guid,
      [target = target_, route = route_, stopNumber] {
        IDevCtlPtz* ptz = GetPanelPtz(target);
        return ptz && ptz->PTZCruise(ptzcmd::kCruiseClearStop, route, stopNumber, 0) != 0;
      },
      std::move(done), owner, false);
}

bool CCruiseRoute::Presets(std::function<void(PresetRead)> done, const devwork::Owner& owner) const {
  if (!target_.Channel()) return false;
  return devwork::Run<PresetRead>(
      target_.guid, [target = target_] { return ReadPresetFlags(target); }, std::move(done), owner, PresetRead{});
}

int CheckStopEntry(const StopEntry& e) {
  if (e.stopNumber < 1 || e.stopNumber > kCruiseStops) return kEntryStop;
  if (e.dwell < 0 || e.dwell > 30) return kEntryDwell;
  if (e.speed < 0 || e.speed > 6) return kEntrySpeed;
  return kEntryOk;
}
