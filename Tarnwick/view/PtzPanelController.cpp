#include "view/PtzPanelController.h"

#include <cstring>

#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "shell/Language.h"
#include "shell/Singleton.h"
#include "shell/UiService.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"

bool CPreviewListPanelHost::GetActiveChannel(std::u16string& guid, int& channel) {
  if (!SingletonAccess<CPreviewManager>::HasInstance()) return false;
  CPreviewManager* manager = CPreviewManager::GetInstance();
  CPlayScreen* screen = manager->GetPlayScreen();
  if (!screen) return false;
  PreviewItemPtr item = manager->FindByWindow(screen->GetActiveIndex());
  if (!item) return false;
  guid = item->GetDeviceGuid();
  channel = item->GetChannel();
  return true;
}

// ---- targets -----------------------------------------------------------------------------

CChannel* PanelTarget::Channel() const {
  if (!valid()) return nullptr;
  CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
  return device ? device->GetChannel(channel) : nullptr;
}

IDevCtlPtz* PanelTarget::Ptz() const {
  CChannel* ch = Channel();
  if (!ch || !ch->GetDevice() || !ch->GetDevice()->IsLoggedIn()) return nullptr;
  IDevPreview* preview = ch->GetPreview(0);
  if (!preview || !preview->IsPreviewing()) return nullptr;
  return ch->GetPtzWithNumber(1);
}

PanelTarget GetPanelTarget(IPanelHost* host) {
  PanelTarget t;
  if (!host || !host->GetActiveChannel(t.guid, t.channel)) return {};
  return t;
}

CChannel* GetPanelChannel(IPanelHost* host) { return GetPanelTarget(host).Channel(); }
IDevCtlPtz* GetPanelPtz(IPanelHost* host) { return GetPanelTarget(host).Ptz(); }

bool CheckPtzRight() {
  CUser* user = CUser::GetInstance();
  if (!user) return false;
  if (user->HasRight(RIGHT_PTZ)) return true;
  UiService().Notice(LoadResString(IDS_NO_RIGHT_PTZ));
  return false;
}

// ---- PTZ buttons -------------------------------------------------------------------------

bool CPtzController::Press(int command) {
  // A press while another is held (a second button, a lost release) ends the first.
  Release();
  if (!CheckPtzRight()) return false;
  PanelTarget target = GetPanelTarget(host_);
  IDevCtlPtz* ptz = target.Ptz();
  if (!ptz) return false;
  bound_ = std::move(target);
  command_ = command;
  held_ = true;
  ptz->SetStoredValue(speed_);
  ptz->PTZControl(command, 0);
  return true;
}

void CPtzController::Release() {
  if (!held_) return;
  held_ = false;
  // The channel bound at the press, fetched again: it may have been released meanwhile.
  if (CChannel* ch = bound_.Channel()) {
    if (IDevCtlPtz* ptz = ch->GetPtz(0)) ptz->PTZControl(command_, 1);
  }
  bound_ = {};
}

// ---- presets -----------------------------------------------------------------------------

PresetFlags ReadPresetFlags(CChannel* channel, DecoderRecord& record) {
  CDevice* device = channel ? channel->GetDevice() : nullptr;
  if (!device) return PresetFlags::Failed;
  if (device->GetDevType() != DEV_TYPE_DVR) return PresetFlags::Unknown;
  // Never a login from here: the panels run on the UI thread.
  if (!device->IsLoggedIn()) return PresetFlags::Failed;
  IDevConfig* config = device->GetConfig(1);
  IDevUserLogin* login = device->GetUserLogin(0);
  if (!config || !login) return PresetFlags::Failed;
  DecoderRecord read{};
  tagDevConfigRequest request{};
  request.channel = channel->GetChannelNo() - 1;
  request.configType = 12;
  request.record = read.data();
  request.recordSize = kDecoderRecordSize;
  request.returned = 0;
  request.reserved = 3;
  request.loginHandle = login->GetLoginID(0);
  if (config->GetConfig(&request) != 1) return PresetFlags::Failed;
  record = read;
  return PresetFlags::Read;
}

int CPresetModel::Bind() {
  CChannel* ch = GetPanelChannel(host_);
  if (!ch) return -1;
  const PresetFlags flags = ReadPresetFlags(ch, record_);
  if (flags == PresetFlags::Failed) return -1;
  known_ = flags == PresetFlags::Read;
  for (int i = 0; i < kPresetCount; ++i) {
    states_[i] = !known_ ? PresetState::Unknown
                 : record_[kPresetFlagsOffset + i] ? PresetState::Set
                                                   : PresetState::NotSet;
  }
  return 1;
}

int CPresetModel::Unbind() {
  states_.fill(PresetState::Blank);
  return 1;
}

PresetState CPresetModel::State(int row) const {
  return row >= 0 && row < kPresetCount ? states_[row] : PresetState::Blank;
}

bool CPresetModel::GoTo(int row) {
  if (!CheckPtzRight()) return false;
  if (row < 0 || row >= kPresetCount) return false;
  // A preset the device said is not set is not called; one whose state it cannot tell is.
  if (known_ && !record_[kPresetFlagsOffset + row]) return false;
  IDevCtlPtz* ptz = GetPanelPtz(host_);
  return ptz && ptz->PTZPreset(ptzcmd::kPresetGoTo, row + 1) != 0;
}

bool CPresetModel::Set(int row) {
  if (!CheckPtzRight()) return false;
  if (row < 0 || row >= kPresetCount) return false;
  IDevCtlPtz* ptz = GetPanelPtz(host_);
  if (!ptz || ptz->PTZPreset(ptzcmd::kPresetSet, row + 1) == 0) return false;
  record_[kPresetFlagsOffset + row] = 1;
  states_[row] = PresetState::Set;
  return true;
}

bool CPresetModel::Clear(int row) {
  if (!CheckPtzRight()) return false;
  if (row < 0 || row >= kPresetCount) return false;
  IDevCtlPtz* ptz = GetPanelPtz(host_);
  if (!ptz || ptz->PTZPreset(ptzcmd::kPresetClear, row + 1) == 0) return false;
  if (CChannel* ch = GetPanelChannel(host_)) ch->ClearPreset(row);
  record_[kPresetFlagsOffset + row] = 0;
  states_[row] = PresetState::NotSet;
  return true;
}

// ---- cruise ------------------------------------------------------------------------------

bool CCruiseController::Start(int route) {
  if (!CheckPtzRight()) return false;
  if (route < 0 || route >= kCruiseRoutes) return false;
  IDevCtlPtz* ptz = GetPanelPtz(host_);
  return ptz && ptz->PTZCruise(ptzcmd::kCruiseRun, route, 0, 0) != 0;
}

int CCruiseController::StopAll() {
  if (!CheckPtzRight()) return 0;
  IDevCtlPtz* ptz = GetPanelPtz(host_);
  if (!ptz) return 0;
  int accepted = 0;
  for (int route = 0; route < kCruiseRoutes; ++route)
    if (ptz->PTZCruise(ptzcmd::kCruiseStop, route, 0, 0) != 0) ++accepted;
  return accepted;
}

bool CCruiseRoute::Read(std::array<CruiseStop, kCruiseStops>& stops) const {
  IDevCtlPtz* ptz = target_.Ptz();
  if (!ptz) return false;
  int points[kCruiseStops * 3] = {};
  if (ptz->GetPTZCruise(route_, points, target_.channel - 1) != 1) return false;
  for (int i = 0; i < kCruiseStops; ++i)
    stops[i] = CruiseStop{points[i * 3], points[i * 3 + 1], points[i * 3 + 2]};
  return true;
}

bool CCruiseRoute::Store(int stopNumber, const CruiseStop& stop) const {
  if (CheckStopEntry(StopEntry{stopNumber, stop.preset - 1, stop.dwell, stop.speed}) != kEntryOk)
    return false;
  IDevCtlPtz* ptz = target_.Ptz();
  if (!ptz) return false;
  const int point = stopNumber - 1;
  return ptz->PTZCruise(ptzcmd::kCruisePreset, route_, point, stop.preset) != 0 &&
         ptz->PTZCruise(ptzcmd::kCruiseDwell, route_, point, stop.dwell) != 0 &&
         ptz->PTZCruise(ptzcmd::kCruiseSpeed, route_, point, stop.speed) != 0 &&
         ptz->PTZCruise(ptzcmd::kCruiseStore, route_, point, stop.speed) != 0;
}

bool CCruiseRoute::ClearStop(int stopNumber) const {
  if (stopNumber < 1 || stopNumber > kCruiseStops) return false;
  IDevCtlPtz* ptz = target_.Ptz();
  return ptz && ptz->PTZCruise(ptzcmd::kCruiseClearStop, route_, stopNumber, 0) != 0;
}

PresetFlags CCruiseRoute::Presets(DecoderRecord& record) const {
  return ReadPresetFlags(target_.Channel(), record);
}

int CheckStopEntry(const StopEntry& e) {
  if (e.stopNumber < 1 || e.stopNumber > kCruiseStops) return kEntryStop;
  if (e.presetIndex < 0 || e.presetIndex >= kPresetCount) return kEntryPreset;
  if (e.dwell < 0 || e.dwell > 30) return kEntryDwell;
  if (e.speed < 0 || e.speed > 6) return kEntrySpeed;
  return kEntryOk;
}
