#pragma once
// The program's picture of one device and its channels. Device-layer objects (login,
// configuration, alarm; per channel preview and PTZ) are made on first use through the
// factories and destroyed only through the matching Delete* functions.
//
// Threads: making a device-layer object may log in, and every call on one may wait for the
// device, so they are made and called on the device's work queue (devices/DeviceWork.h),
// never on the UI thread. The UI thread reads their state (logged in, previewing, recording,
// armed), which the device layer keeps in atomics, and owns the device record: it alone
// changes it (SetDevInfo). The object lock guards only the pointers and the channel map and
// is never held across a device call, so a look-up on the UI thread never waits for a device.
#include <map>
#include <mutex>
#include <string>

#include "Hollin.h"

class CDevice;

struct ChannelPreset {
  int32_t set = 0;  // 0 free
  std::u16string name;
};

class CChannel {
 public:
  static constexpr int kPresetSlots = 64;

  CChannel(int number, CDevice* device);
  ~CChannel();
  CChannel(const CChannel&) = delete;
  CChannel& operator=(const CChannel&) = delete;

  int GetChannelNo() const { return number_; }
  CDevice* GetDevice() const { return device_; }

  IDevPreview* GetPreview(int create);
  IDevCtlPtz* GetPtz(int create);
  IDevCtlPtz* GetPtzWithNumber(int create);
  bool IsPreviewing();
  bool IsRecording();
  int IsBusy();
  bool SetTransport(int value);
  int GetTransport() const { return transport_; }
  bool SetStreamType(int value);
  // The preview's stream when there is one, else the stream last set or stored.
  int GetStreamType() const;
  int GetUserNo() const { return userNo_; }
  void SetUserNo(int v) { userNo_ = v; }
  // The channel editor's values as stored: kept without making a preview.
  void SetStoredSettings(int userNo, int transport, int streamType);
  int GetAlarmFlag() const { return alarmFlag_; }
  void SetAlarmFlag(int v) { alarmFlag_ = v; }
  ChannelPreset& Preset(int i) { return presets_[i]; }
  void ClearPreset(int i);
  bool DeletePreview(IDevPreview* preview);
  bool ReleasePtz();
  void Release();

 private:
  std::unique_lock<std::recursive_mutex> HoldDevice() const;
  IDevCtlPtz* MakePtz(int create, bool withNumber);

  int number_;
  int userNo_ = 0;
  int transport_ = 0;
  int streamType_ = 0;
  int alarmFlag_ = 0;
  CDevice* device_;
  IDevPreview* preview_ = nullptr;
  IDevCtlPtz* ptz_ = nullptr;
  ChannelPreset presets_[kPresetSlots];
};

class CDevice {
 public:
  CDevice();
  explicit CDevice(const CDevInfo& info);
  explicit CDevice(CDevInfo&& info);
  virtual ~CDevice();
  CDevice(const CDevice&) = delete;
  CDevice& operator=(const CDevice&) = delete;

  // The record as the UI thread keeps it; change it with SetDevInfo.
  CDevInfo& GetDevInfo() { return info_; }
  const CDevInfo& GetDevInfo() const { return info_; }
  // UI thread. The login object goes on with the record it was made with (its own copy):
  // an edit that changes the address or account releases the login and refreshes that copy
  // on the device's queue (RelinkInfo).
  void SetDevInfo(const CDevInfo& info);
  // Device queue, with no login object in use: the next login uses the record as it is now.
  void RelinkInfo();
  int GetDevType() const { return info_.GetDevType(); }
  std::u16string GetGuid() const { return info_.GetGuid(); }
  std::u16string GetRegionGuid() const { return info_.GetRegionGuid(); }
  void SetGuid(std::u16string_view g) { info_.SetGuid(g); }
  void SetRegionGuid(std::u16string_view g) { info_.SetRegionGuid(g); }

  IDevUserLogin* GetUserLogin(int create);
  IDevConfig* GetConfig(int create);
  IDevAlarm* GetAlarm(int create);
  bool IsLoggedIn();
  int IsBusy();
  int RebootDevice();
  int StartVoiceCom(intptr_t a, intptr_t b, intptr_t callback, intptr_t user);
  int StopVoiceCom();
  int GetAlarmState() const { return alarmState_; }
  void SetAlarmState(int state);
  // Lets whoever works on the device (the live list, the playback pages) let go of it: the
  // release hooks, on the UI thread. Called by ReleaseAll and before the device is retired.
  void RunReleaseHooks();

  CChannel* GetChannel(int number);
  bool HasChannel(int number) const;
  // The channel, added when missing (once, whichever thread asks first).
  CChannel* GetOrAddChannel(int number);
  bool AddChannel(int number);
  // The device owns the channel when this returns true; on false the caller keeps it.
  bool AddChannel(CChannel* channel);
  const std::map<int, CChannel*>& Channels() const { return channels_; }
  // UI thread: the release hooks, then the device-layer objects (configuration, alarm, every
  // channel's preview and PTZ) are stopped and deleted on the device's queue (ReleaseObjects).
  void ReleaseAll();
  void ReleaseObjects();

  // Guards making and taking out the device-layer objects and the channel map.
  std::recursive_mutex& ObjectLock() const { return objectsMu_; }

 private:
  mutable std::recursive_mutex objectsMu_;
  std::map<int, CChannel*> channels_;
  CDevInfo info_;
  std::mutex infoMu_;  // held by the UI thread's writes and by other threads' copies of info_
  CDevInfo linkInfo_;  // what the login object reads; see SetDevInfo
  bool hooksRun_ = false;
  IDevConfig* config_ = nullptr;
  IDevUserLogin* login_ = nullptr;
  IDevAlarm* alarm_ = nullptr;
  int alarmState_ = 0;
};

CChannel* NewChannel(int number, CDevice* device);

// Called with a device's GUID before the device lets go of its channels and its login
// (ReleaseAll, delete), so that whoever works on the device (the live list, the playback
// pages) stops that work first. Every hook added is called, in the order added; adding one
// twice keeps it once.
using DeviceReleaseHook = void (*)(const std::u16string& guid);
void AddDeviceReleaseHook(DeviceReleaseHook hook);
