#include "devices/Device.h"

#include <atomic>

// ---- channel --------------------------------------------------------------------------

CChannel* NewChannel(int number, CDevice* device) { return new CChannel(number, device); }

CChannel::CChannel(int number, CDevice* device) : number_(number), device_(device) {}

CChannel::~CChannel() {
  // The PTZ object works over the preview: it goes first.
  ReleasePtz();
  DeletePreview(preview_);
  preview_ = nullptr;
  device_ = nullptr;
}

IDevPreview* CChannel::GetPreview(int create) {
  if (!preview_ && create == 1 && device_) {
    IDevUserLogin* login = device_->GetUserLogin(1);
    if (!login) return nullptr;
    preview_ = CDevPreviewFactory::CreateDevPreview(login, number_);
  }
  return preview_;
}

IDevCtlPtz* CChannel::GetPtz(int create) {
  // Made with the channel either way: the object kept is the one every caller gets, and only
  // one that knows its channel can read the channel's cruise routes.
  return GetPtzWithNumber(create);
}

IDevCtlPtz* CChannel::GetPtzWithNumber(int create) {
  if (!ptz_ && create == 1) {
    IDevPreview* preview = GetPreview(1);
    if (!preview) return nullptr;
    ptz_ = CDevCtlPtzFactory::CreateDevCtlPtz(device_->GetUserLogin(1), number_, preview);
  }
  return ptz_;
}

bool CChannel::IsPreviewing() { return preview_ && preview_->IsPreviewing(); }
bool CChannel::IsRecording() { return preview_ && preview_->IsRecording(); }
int CChannel::IsBusy() { return IsPreviewing() || IsRecording() ? 1 : 0; }

bool CChannel::SetTransport(int value) {
  IDevPreview* p = GetPreview(1);
  return p ? p->Reserved18(value) : false;
}

bool CChannel::SetStreamType(int value) {
  IDevPreview* p = GetPreview(1);
  return p ? p->SetStreamType(value) : false;
}

void CChannel::ClearPreset(int i) {
  if (i < 0 || i >= kPresetSlots) return;
  presets_[i].set = 0;
  presets_[i].name.clear();
}

bool CChannel::DeletePreview(IDevPreview* preview) {
  // The channel must not keep, use or delete again a preview it was asked to delete, nor
  // keep the PTZ object made over it.
  if (preview && preview == preview_) {
    ReleasePtz();
    preview_ = nullptr;
  }
  if (preview) {
    preview->StopRecord();
    preview->StopPreview();
    CDevPreviewFactory::DeleteDevPreview(preview, device_ ? device_->GetUserLogin(1) : nullptr);
  }
  return true;
}

bool CChannel::ReleasePtz() {
  if (ptz_) {
    CDevCtlPtzFactory::DeleteDevCtlPtz(ptz_, device_ ? device_->GetUserLogin(1) : nullptr);
    ptz_ = nullptr;
  }
  return true;
}

void CChannel::Release() {
  alarmFlag_ = 0;
  ReleasePtz();
  IDevPreview* p = preview_;
  preview_ = nullptr;
  DeletePreview(p);
}

// ---- device ---------------------------------------------------------------------------

namespace {
std::atomic<DeviceReleaseHook> g_releaseHook{nullptr};
void BeforeRelease(const CDevice& device) {
  if (DeviceReleaseHook hook = g_releaseHook.load()) hook(device.GetGuid());
}
}  // namespace

void SetDeviceReleaseHook(DeviceReleaseHook hook) { g_releaseHook.store(hook); }

CDevice::CDevice() = default;
CDevice::CDevice(const CDevInfo& info) : info_(info) {}

CDevice::~CDevice() {
  BeforeRelease(*this);
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
  if (!login_ && create == 1) login_ = CDevUserLoginFactory::CreateDevUserLogin(&info_);
  return login_;
}

IDevConfig* CDevice::GetConfig(int create) {
  if (!config_ && create == 1) {
    IDevUserLogin* login = GetUserLogin(1);
    if (login) config_ = CDevConfigFactory::CreateDevConfig(login);
  }
  return config_;
}

IDevAlarm* CDevice::GetAlarm(int create) {
  if (!alarm_ && create == 1) {
    IDevUserLogin* login = GetUserLogin(1);
    if (!login || login->GetLoginID(1) == -1) return nullptr;
    alarm_ = CDevAlarmFactory::CreateDevAlarm(login);
  }
  return alarm_;
}

bool CDevice::IsLoggedIn() {
  IDevUserLogin* login = GetUserLogin(1);
  return login && login->GetLoginID(0) != -1;
}

int CDevice::IsBusy() {
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
  alarmState_ = state;
  for (auto& [n, ch] : channels_) ch->SetAlarmFlag(state);
}

CChannel* CDevice::GetChannel(int number) {
  auto it = channels_.find(number);
  return it == channels_.end() ? nullptr : it->second;
}

bool CDevice::AddChannel(int number) {
  if (channels_.count(number)) return false;
  channels_[number] = NewChannel(number, this);
  return true;
}

bool CDevice::AddChannel(CChannel* channel) {
  if (!channel || channels_.count(channel->GetChannelNo())) return false;
  channels_[channel->GetChannelNo()] = channel;
  return true;
}

void CDevice::ReleaseAll() {
  BeforeRelease(*this);
  if (config_) CDevConfigFactory::DeleteDevConfig(config_, GetUserLogin(1));
  config_ = nullptr;
  if (alarm_) CDevAlarmFactory::DeleteDevAlarm(alarm_, GetUserLogin(1));
  alarm_ = nullptr;
  for (auto& [n, ch] : channels_) ch->Release();
}
