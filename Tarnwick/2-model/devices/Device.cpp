#include "devices/Device.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "devices/DeviceWork.h"


// ---- channel --------------------------------------------------------------------------

CChannel* NewChannel(int number, CDevice* device) { return new CChannel(number, device); }

CChannel::CChannel(int number, CDevice* device) : number_(number), device_(device) {}

std::unique_lock<std::recursive_mutex> CChannel::HoldDevice() const {
  return device_ ? std::unique_lock<std::recursive_mutex>(device_->ObjectLock())
                 : std::unique_lock<std::recursive_mutex>();
}

CChannel::~CChannel() {
  DeletePreview(preview_);
  ReleasePtz();
  device_ = nullptr;
}

IDevPreview* CChannel::GetPreview(int create) {
  {
    auto hold = HoldDevice();
    if (preview_ || create != 1 || !device_) return preview_;
  }
  // Made without the lock: the factory logs in, which may wait for the device, and the UI
  // thread looks channels up under that lock.
  IDevUserLogin* login = device_->GetUserLogin(1);
  if (!login) return nullptr;
  IDevPreview* made = CDevPreviewFactory::CreateDevPreview(login, number_);
  if (!made) return nullptr;
  {
    auto hold = HoldDevice();
    if (!preview_) {
      preview_ = made;
      return preview_;
    }
  }
  // Another thread made one meanwhile: that one is the channel's.
  CDevPreviewFactory::DeleteDevPreview(made, login);
  auto hold = HoldDevice();
  return preview_;
}

IDevCtlPtz* CChannel::GetPtz(int create) { return MakePtz(create, false); }

IDevCtlPtz* CChannel::GetPtzWithNumber(int create) { return MakePtz(create, true); }

// Either getter returns the object kept, whichever of them made it.
IDevCtlPtz* CChannel::MakePtz(int create, bool withNumber) {
  {
    auto hold = HoldDevice();
    if (ptz_ || create != 1 || !device_) return ptz_;
  }
  IDevPreview* preview = GetPreview(1);
  if (!preview) return nullptr;
  IDevUserLogin* login = device_->GetUserLogin(1);
  IDevCtlPtz* made = withNumber ? CDevCtlPtzFactory::CreateDevCtlPtz(login, number_, preview)
                                : CDevCtlPtzFactory::CreateDevCtlPtz(login, preview);
  if (!made) return nullptr;
  {
    auto hold = HoldDevice();
    if (!ptz_) {
      ptz_ = made;
      return ptz_;
    }
  }
  CDevCtlPtzFactory::DeleteDevCtlPtz(made, login);
  auto hold = HoldDevice();
  return ptz_;
}

bool CChannel::IsPreviewing() { return preview_ && preview_->IsPreviewing(); }
bool CChannel::IsRecording() { return preview_ && preview_->IsRecording(); }
int CChannel::IsBusy() { return IsPreviewing() || IsRecording() ? 1 : 0; }

bool CChannel::SetTransport(int value) {
  transport_ = value;
  IDevPreview* p = GetPreview(1);
  return p ? p->Reserved18(value) : false;
}

bool CChannel::SetStreamType(int value) {
  streamType_ = value;
  IDevPreview* p = GetPreview(1);
  return p ? p->SetStreamType(value) : false;
}

int CChannel::GetStreamType() const {
  auto hold = HoldDevice();
  return preview_ ? preview_->GetStreamType() : streamType_;
}

void CChannel::SetStoredSettings(int userNo, int transport, int streamType) {
  userNo_ = userNo;
  transport_ = transport;
  streamType_ = streamType;
}

void CChannel::ClearPreset(int i) {
  if (i < 0 || i >= kPresetSlots) return;
  presets_[i].set = 0;
  presets_[i].name.clear();
}

bool CChannel::DeletePreview(IDevPreview* preview) {
  IDevUserLogin* login = nullptr;
  bool own = false;
  {
    // The channel must not keep, use or delete again a preview it was asked to delete, nor
    // keep the PTZ object made over it (deleted after the preview).
    auto hold = HoldDevice();
    own = preview && preview == preview_;
    if (own) preview_ = nullptr;
    if (preview && device_) login = device_->GetUserLogin(0);
  }
  // Stopping joins the preview's threads, whose callbacks may look this device up.
  if (preview) {
    preview->StopRecord();
    preview->StopPreview();
    CDevPreviewFactory::DeleteDevPreview(preview, login);
  }
  if (own) ReleasePtz();
  return true;
}

bool CChannel::ReleasePtz() {
  IDevCtlPtz* ptz = nullptr;
  IDevUserLogin* login = nullptr;
  {
    auto hold = HoldDevice();
    std::swap(ptz, ptz_);
    if (ptz && device_) login = device_->GetUserLogin(0);
  }
  if (ptz) CDevCtlPtzFactory::DeleteDevCtlPtz(ptz, login);
  return true;
}

void CChannel::Release() {
  IDevPreview* p;
  {
    auto hold = HoldDevice();
    alarmFlag_ = 0;
    p = preview_;
  }
  DeletePreview(p);
  ReleasePtz();
}

// ---- device ---------------------------------------------------------------------------

namespace {
std::mutex g_hooksMutex;
std::vector<DeviceReleaseHook> g_releaseHooks;
void BeforeRelease(const CDevice& device) {
  std::vector<DeviceReleaseHook> hooks;
  {
    std::lock_guard<std::mutex> lock(g_hooksMutex);
    hooks = g_releaseHooks;
  }
  // Called unlocked: a hook may release further devices or add a hook.
  const std::u16string guid = device.GetGuid();
  for (DeviceReleaseHook hook : hooks) hook(guid);
}
}  // namespace

void AddDeviceReleaseHook(DeviceReleaseHook hook) {
  if (!hook) return;
  std::lock_guard<std::mutex> lock(g_hooksMutex);
  if (std::find(g_releaseHooks.begin(), g_releaseHooks.end(), hook) == g_releaseHooks.end())
    g_releaseHooks.push_back(hook);
}

CDevice::CDevice() = default;
CDevice::CDevice(const CDevInfo& info) : info_(info), linkInfo_(info) {}
CDevice::CDevice(CDevInfo&& info) : info_(std::move(info)), linkInfo_(info_) {}

void CDevice::SetDevInfo(const CDevInfo& info) {
  std::lock_guard<std::mutex> hold(infoMu_);
  info_ = info;
}

void CDevice::RelinkInfo() {
  std::lock_guard<std::recursive_mutex> objects(objectsMu_);
  std::lock_guard<std::mutex> hold(infoMu_);
  linkInfo_ = info_;
}

void CDevice::RunReleaseHooks() {
  hooksRun_ = true;
  BeforeRelease(*this);
}

CDevice::~CDevice() {
  // A device retired from the list had its hooks run on the UI thread before it left.
  if (!hooksRun_) BeforeRelease(*this);
  for (auto& [n, ch] : channels_) delete ch;
  channels_.clear();
  if (config_) CDevConfigFactory::DeleteDevConfig(config_, login_);
  config_ = nullptr;
  if (alarm_) CDevAlarmFactory::DeleteDevAlarm(alarm_, login_);
  alarm_ = nullptr;
  if (login_) CDevUserLoginFactory::DeleteDevUserLogin(login_);
  login_ = nullptr;
}

IDevUserLogin* CDevice::GetUserLogin(int create) {
  // Making the login object does not reach the device; its Login does.
  std::lock_guard<std::recursive_mutex> hold(objectsMu_);
  if (!login_ && create == 1) {
    {
      std::lock_guard<std::mutex> info(infoMu_);
      linkInfo_ = info_;
    }
    login_ = CDevUserLoginFactory::CreateDevUserLogin(&linkInfo_);
  }
  return login_;
}

IDevConfig* CDevice::GetConfig(int create) {
  {
    std::lock_guard<std::recursive_mutex> hold(objectsMu_);
    if (config_ || create != 1) return config_;
  }
  IDevUserLogin* login = GetUserLogin(1);
  IDevConfig* made = login ? CDevConfigFactory::CreateDevConfig(login) : nullptr;  // logs in
  if (!made) return nullptr;
  {
    std::lock_guard<std::recursive_mutex> hold(objectsMu_);
    if (!config_) return config_ = made;
  }
  CDevConfigFactory::DeleteDevConfig(made, login);
  std::lock_guard<std::recursive_mutex> hold(objectsMu_);
  return config_;
}

IDevAlarm* CDevice::GetAlarm(int create) {
  {
    std::lock_guard<std::recursive_mutex> hold(objectsMu_);
    if (alarm_ || create != 1) return alarm_;
  }
  IDevUserLogin* login = GetUserLogin(1);
  if (!login || login->GetLoginID(1) == -1) return nullptr;
  IDevAlarm* made = CDevAlarmFactory::CreateDevAlarm(login);
  if (!made) return nullptr;
  {
    std::lock_guard<std::recursive_mutex> hold(objectsMu_);
    if (!alarm_) return alarm_ = made;
  }
  CDevAlarmFactory::DeleteDevAlarm(made, login);
  std::lock_guard<std::recursive_mutex> hold(objectsMu_);
  return alarm_;
}

bool CDevice::IsLoggedIn() {
  IDevUserLogin* login = GetUserLogin(1);
  return login && login->GetLoginID(0) != -1;
}

int CDevice::IsBusy() {
  std::lock_guard<std::recursive_mutex> hold(objectsMu_);
  for (auto& [n, ch] : channels_)
    if (ch->IsBusy()) return 1;
  return alarm_ && alarm_->IsSetup() ? 1 : 0;
}

int CDevice::RebootDevice() {
  IDevUserLogin* login = GetUserLogin(1);
  return login ? login->RebootDVR() : 0;
}

int CDevice::StartVoiceCom(intptr_t a, intptr_t b, intptr_t callback, intptr_t user) {
  return login_ ? login_->StartVoiceCom(a, b, callback, user) : 0;
}

int CDevice::StopVoiceCom() { return login_ ? login_->StopVoiceCom() : 0; }

void CDevice::SetAlarmState(int state) {
  std::lock_guard<std::recursive_mutex> hold(objectsMu_);
  alarmState_ = state;
  for (auto& [n, ch] : channels_) ch->SetAlarmFlag(state);
}

CChannel* CDevice::GetChannel(int number) {
  std::lock_guard<std::recursive_mutex> hold(objectsMu_);
  auto it = channels_.find(number);
  return it == channels_.end() ? nullptr : it->second;
}

bool CDevice::HasChannel(int number) const {
  std::lock_guard<std::recursive_mutex> hold(objectsMu_);
  return channels_.count(number) != 0;
}

CChannel* CDevice::GetOrAddChannel(int number) {
  std::lock_guard<std::recursive_mutex> hold(objectsMu_);
  AddChannel(number);
  return GetChannel(number);
}

bool CDevice::AddChannel(int number) {
  std::lock_guard<std::recursive_mutex> hold(objectsMu_);
  if (channels_.count(number)) return false;
  channels_[number] = NewChannel(number, this);
  return true;
}

bool CDevice::AddChannel(CChannel* channel) {
  std::lock_guard<std::recursive_mutex> hold(objectsMu_);
  if (!channel || channels_.count(channel->GetChannelNo())) return false;
  channels_[channel->GetChannelNo()] = channel;
  return true;
}

void CDevice::ReleaseAll() {
  BeforeRelease(*this);
  // The alarm channel goes with the release, and with it the arming: a device shown armed
  // after this would never report an alarm until it is armed again.
  SetAlarmState(0);
  // Stopping a preview or closing a login may wait for the device. The device is deleted only
  // on its own queue, after this.
  CDevice* self = this;
  devwork::Run(GetGuid(), [self] { self->ReleaseObjects(); });
}

void CDevice::ReleaseObjects() {
  IDevConfig* config;
  IDevAlarm* alarm;
  IDevUserLogin* login;
  std::vector<CChannel*> channels;
  {
    std::lock_guard<std::recursive_mutex> hold(objectsMu_);
    config = std::exchange(config_, nullptr);
    alarm = std::exchange(alarm_, nullptr);
    login = login_;
    for (auto& [n, ch] : channels_) channels.push_back(ch);
  }
  // Deleted outside the object lock: closing may wait for threads that look this device up.
  if (config) CDevConfigFactory::DeleteDevConfig(config, login);
  if (alarm) CDevAlarmFactory::DeleteDevAlarm(alarm, login);
  for (CChannel* ch : channels) ch->Release();
}
