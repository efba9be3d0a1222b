#pragma once
// The device-access interfaces. The program calls every device through these operations,
// in this order; families implement them. A family object is destroyed only through the
// matching Delete* function of its factory.
#include <cstdint>

#include "Hollin/Records.h"

using HWND = intptr_t;         // a window handle of the platform layer (0 = none)
using DevHandle = intptr_t;    // login ids and SDK handles (-1 none) or library handles (0 none)

using DrawFunCallback = void (*)(intptr_t realHandle, void* surface, void* user);
using RealDataCallback = void (*)(intptr_t realHandle, uint32_t dataType, const uint8_t* data,
                                  uint32_t size, void* user);

class IDevUserLogin {
 public:
  virtual int GetManufactureID() = 0;
  virtual DevHandle Login() = 0;
  virtual int Logout() = 0;
  virtual bool IsLogin() = 0;
  // 1: logs in first when not logged in. Type 1: -1 = none; types 2 and 4: 0 = no session
  // (and -1 only when not logged in and the argument is 0).
  virtual DevHandle GetLoginID(int loginIfNeeded) = 0;
  virtual bool HasLoginID() = 0;
  virtual const uint8_t* GetDeviceInfo() = 0;  // the 80-byte device information or null
  virtual int GetAlarmInNum() = 0;
  virtual int GetAlarmOutNum() = 0;
  virtual int GetDiskNum() = 0;
  virtual int GetDVRType() = 0;
  virtual int GetDeviceInfoByte56() = 0;
  virtual int GetChanNum() = 0;
  virtual int GetStartChan() = 0;
  virtual bool StartDVRRecord(int channel, int recordType) = 0;
  virtual bool StopDVRRecord(int channel) = 0;
  virtual int RebootDVR() = 0;
  virtual int ShutDownDVR() = 0;
  virtual int Reserved18(int) { return 0; }
  virtual int Reserved19() { return 0; }
  virtual int Reserved20() { return 0; }
  virtual bool FindDVRLog(int mode, int majorType, int minorType, TIME* start, TIME* end,
                          int flag) = 0;
  virtual bool FindLogClose() = 0;
  virtual bool FindNextLog(int flag) = 0;
  virtual int StartVoiceCom(intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4) = 0;
  virtual int StopVoiceCom() = 0;
  virtual int GetDevType() = 0;
  virtual ~IDevUserLogin() = default;
};

class IDevPreview {
 public:
  virtual bool SetPlayWnd(HWND wnd) = 0;
  virtual HWND GetPlayWnd() = 0;
  virtual bool StartPreview() = 0;
  virtual bool StopPreview() = 0;
  virtual bool CapturePicture(const char* path, int ignored) = 0;
  virtual bool StartRecord(int mode, const char* path) = 0;
  virtual bool StopRecord() = 0;
  virtual bool GetVideoEffect(int* brightness, int* contrast, int* saturation, int* hue) = 0;
  virtual bool SetVideoEffect(int brightness, int contrast, int saturation, int hue) = 0;
  virtual bool RegisterDrawFun(DrawFunCallback callback, void* user) = 0;
  virtual bool SetRealDataCallBack(RealDataCallback callback, void* user) = 0;
  virtual bool OpenSound() = 0;
  virtual bool CloseSound() = 0;
  virtual bool Reserved13(int) { return true; }
  virtual bool SetVolume(int volume) = 0;
  virtual bool IsPreviewing() = 0;
  virtual bool IsSoundOpen() = 0;
  virtual bool IsRecording() = 0;
  virtual bool Reserved18(int) { return true; }
  virtual bool SetStreamType(int type) = 0;
  virtual int GetStreamType() = 0;
  virtual void GetRealHandle(DevHandle* out) = 0;
  virtual ~IDevPreview() = default;
};

class IDevCtlPtz {
 public:
  virtual int GetStoredValue() = 0;
  virtual int SetStoredValue(int value) = 0;
  virtual int PTZControl(int command, int stop) = 0;
  virtual int PTZCruise(int command, int route, int point, int value) = 0;
  virtual int PTZPreset(int command, int preset) = 0;
  // 32 points of three ints (preset, dwell, speed).
  virtual int GetPTZCruise(int route, int* points, int channel) = 0;
  virtual int PTZTrack(int command) = 0;
  virtual ~IDevCtlPtz() = default;
};

class IDevConfig {
 public:
  virtual int GetConfig(tagDevConfigRequest* request) = 0;
  virtual int SetConfig(tagDevConfigRequest* request) = 0;
  virtual ~IDevConfig() = default;
};

class IDevAlarm {
 public:
  virtual bool SetupAlarmChan() = 0;
  virtual bool CloseAlarmChan() = 0;
  virtual bool IsSetup() = 0;
  virtual ~IDevAlarm() = default;
};

class IDevLocalPlayback {
 public:
  virtual int Open(const char* file, HWND window) = 0;
  virtual int Close() = 0;
  virtual int Play(HWND window) = 0;
  virtual int Stop() = 0;
  virtual int Pause(int pause) = 0;
  virtual int Fast() = 0;
  virtual int Slow() = 0;
  virtual int Step() = 0;
  virtual int StepBack() = 0;
  virtual int CapturePicture(const char* path, int ignored) = 0;
  virtual int SetPlayPos(float fraction) = 0;
  virtual float GetPlayPos() = 0;
  virtual int Reserved12(int, int) { return 0; }
  virtual int SetVolume(int volume) = 0;
  virtual int StopSound() = 0;
  virtual int PlaySound() = 0;
  virtual int OpenStream(const uint8_t* header, uint32_t headerSize, uint32_t bufferSize) = 0;
  virtual int InputData(const uint8_t* data, uint32_t length) = 0;
  virtual int CloseStream() = 0;
  virtual int Reserved19() { return 0; }
  virtual int GetTotalTime() = 0;   // seconds
  virtual int GetPlayedTime() = 0;  // seconds
  virtual int Reserved22() { return 0; }
  virtual ~IDevLocalPlayback() = default;
};

// Remote playback of a device file or time range into a window.
class CDevRemotePlayback {
 public:
  CDevRemotePlayback() = default;
  CDevRemotePlayback(IDevUserLogin*, HWND, const char*) {}
  CDevRemotePlayback(IDevUserLogin*, HWND, long, TIME*, TIME*) {}
  CDevRemotePlayback(const CDevRemotePlayback&) = default;
  CDevRemotePlayback& operator=(const CDevRemotePlayback&) = default;
  virtual ~CDevRemotePlayback() = default;
  virtual int Start(int) = 0;
  virtual int Pause() = 0;
  virtual int Resume() = 0;
  virtual int Fast() = 0;
  virtual int Slow() = 0;
  virtual int Frame() = 0;
  virtual int Normal() = 0;
  virtual int Reserved8() { return 0; }
  virtual int Reserved9() { return 0; }
  virtual int Reserved10() { return 0; }
  virtual int Reserved11() { return 0; }
  virtual void Reserved12() {}
  virtual int Reserved13(int) { return 0; }
  virtual int Stop() { return 1; }
  virtual int CaptureFile(const char* path) = 0;
  virtual int AudioOn() = 0;
  virtual int AudioOff() = 0;
  virtual int SetPos(float percent) = 0;
  virtual float GetPos() = 0;
  virtual int GetFrame(int* out) = 0;
  virtual int GetTime(int* out) = 0;
  virtual int TotalFrames(int* out) = 0;
  virtual int TotalTime(int* out) = 0;
  virtual int Volume(int volume) = 0;
};

class CDevRemoteFileFinder {
 public:
  CDevRemoteFileFinder() = default;
  CDevRemoteFileFinder(IDevUserLogin*, tagSearchFileCondition*) {}
  CDevRemoteFileFinder(IDevUserLogin*, tagSearchEventCondition*) {}
  CDevRemoteFileFinder(const CDevRemoteFileFinder&) = default;
  CDevRemoteFileFinder& operator=(const CDevRemoteFileFinder&) = default;
  virtual ~CDevRemoteFileFinder() = default;
  // 1 when a file was delivered, 0 at the end or on failure.
  virtual int FindNext(tagRemoteFileInfo* out) = 0;
  // May come from another thread while FindNext waits for the device: FindNext then returns 0
  // without waiting any longer.
  virtual int FindClose() { return 1; }
};

class CDevRemoteFileDownloader {
 public:
  CDevRemoteFileDownloader() = default;
  CDevRemoteFileDownloader(IDevUserLogin*, const char*, const char*) {}
  CDevRemoteFileDownloader(IDevUserLogin*, long, TIME*, TIME*, char*) {}
  CDevRemoteFileDownloader(const CDevRemoteFileDownloader&) = default;
  CDevRemoteFileDownloader& operator=(const CDevRemoteFileDownloader&) = default;
  virtual ~CDevRemoteFileDownloader() = default;
  virtual int Start() = 0;
  virtual int GetPos() = 0;  // percent; 100 or more when ended, negative on failure
  virtual int Stop() { return 1; }
  virtual int IsDownloading() { return 1; }
};
