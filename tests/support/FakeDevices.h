#pragma once
// Fake device families for tests that exercise code above the device access layer without
// devices. Every call that matters is appended to a shared journal, so tests can check the
// order of operations across objects.
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "Hollin.h"

namespace fake {

inline std::vector<std::string>& Journal() {
  static std::vector<std::string> j;
  return j;
}
// Objects may be made and deleted on several threads (the device model's own tests).
inline void Note(const std::string& s) {
  static std::mutex m;
  std::lock_guard<std::mutex> lock(m);
  Journal().push_back(s);
}

struct Counters {
  std::atomic<int> logins{0}, previews{0}, ptzs{0}, configs{0}, alarms{0};
};
inline Counters& Alive() {
  static Counters c;
  return c;
}

// What every fake login's StartVoiceCom answers.
inline int& TalkResult() {
  static int r = 1;
  return r;
}
// The data callback the last StartVoiceCom was given.
inline intptr_t& TalkCallback() {
  static intptr_t c = 0;
  return c;
}

struct UserLogin : IDevUserLogin {
  int type;
  DevHandle sessionWhenLoggedIn;
  DevHandle current;
  UserLogin(int t, DevHandle h) : type(t), sessionWhenLoggedIn(h), current(t == 1 ? -1 : 0) {
    ++Alive().logins;
  }
  ~UserLogin() override {
    --Alive().logins;
    Note("login.delete");
  }
  DevHandle none() const { return type == 1 ? -1 : 0; }
  int GetManufactureID() override { return 0; }
  DevHandle Login() override {
    Note("login.login");
    current = sessionWhenLoggedIn;
    return current;
  }
  int Logout() override {
    Note("login.logout");
    current = none();
    return 1;
  }
  bool IsLogin() override { return current != none(); }
  DevHandle GetLoginID(int loginIfNeeded) override {
    if (current == none() && loginIfNeeded == 1) Login();
    if (current == none() && loginIfNeeded == 0) return -1;
    return current;
  }
  bool HasLoginID() override { return false; }
  const uint8_t* GetDeviceInfo() override { return nullptr; }
  int GetAlarmInNum() override { return 0; }
  int GetAlarmOutNum() override { return 0; }
  int GetDiskNum() override { return 0; }
  int GetDVRType() override { return type; }
  int GetDeviceInfoByte56() override { return 0; }
  int GetChanNum() override { return 0; }
  int GetStartChan() override { return 0; }
  bool StartDVRRecord(int, int) override { return false; }
  bool StopDVRRecord(int) override { return false; }
  int RebootDVR() override {
    Note("login.reboot");
    return 1;
  }
  int ShutDownDVR() override { return 0; }
  bool FindDVRLog(int, int, int, TIME*, TIME*, int) override { return false; }
  bool FindLogClose() override { return false; }
  bool FindNextLog(int) override { return false; }
  int StartVoiceCom(intptr_t, intptr_t, intptr_t callback, intptr_t) override {
    Note("login.talk");
    TalkCallback() = callback;
    return TalkResult();
  }
  int StopVoiceCom() override { return 1; }
  int GetDevType() override { return type; }
};

struct Preview : IDevPreview {
  long channel;
  DevHandle real;
  bool previewing = false, recording = false;
  int streamType = 0;
  Preview(long ch, DevHandle r) : channel(ch), real(r) { ++Alive().previews; }
  ~Preview() override {
    --Alive().previews;
    Note("preview.delete." + std::to_string(channel));
  }
  bool SetPlayWnd(HWND) override { return true; }
  HWND GetPlayWnd() override { return 0; }
  bool StartPreview() override { return previewing = true; }
  bool StopPreview() override {
    Note("preview.stop." + std::to_string(channel));
    previewing = false;
    return true;
  }
  bool CapturePicture(const char*, int) override { return false; }
  bool StartRecord(int, const char*) override { return recording = true; }
  bool StopRecord() override {
    Note("preview.stoprecord." + std::to_string(channel));
    recording = false;
    return true;
  }
  bool GetVideoEffect(int*, int*, int*, int*) override { return false; }
  bool SetVideoEffect(int, int, int, int) override { return false; }
  bool RegisterDrawFun(DrawFunCallback, void*) override { return false; }
  bool SetRealDataCallBack(RealDataCallback, void*) override { return false; }
  bool OpenSound() override { return false; }
  bool CloseSound() override { return false; }
  bool SetVolume(int) override { return false; }
  bool IsPreviewing() override { return previewing; }
  bool IsSoundOpen() override { return false; }
  bool IsRecording() override { return recording; }
  bool SetStreamType(int t) override {
    streamType = t;
    return true;
  }
  int GetStreamType() override { return streamType; }
  void GetRealHandle(DevHandle* out) override { *out = real; }
};

struct Ptz : IDevCtlPtz {
  Ptz() { ++Alive().ptzs; }
  ~Ptz() override {
    --Alive().ptzs;
    Note("ptz.delete");
  }
  int GetStoredValue() override { return 0; }
  int SetStoredValue(int) override { return 0; }
  int PTZControl(int, int) override { return 1; }
  int PTZCruise(int, int, int, int) override { return 1; }
  int PTZPreset(int, int) override { return 1; }
  int GetPTZCruise(int, int*, int) override { return 0; }
  int PTZTrack(int) override { return 1; }
};

struct Config : IDevConfig {
  Config() { ++Alive().configs; }
  ~Config() override {
    --Alive().configs;
    Note("config.delete");
  }
  int GetConfig(tagDevConfigRequest*) override { return 1; }
  int SetConfig(tagDevConfigRequest*) override { return 1; }
};

struct Alarm : IDevAlarm {
  bool setup = false;
  Alarm() { ++Alive().alarms; }
  ~Alarm() override {
    --Alive().alarms;
    Note("alarm.delete");
  }
  bool SetupAlarmChan() override { return setup = true; }
  bool CloseAlarmChan() override {
    setup = false;
    return true;
  }
  bool IsSetup() override { return setup; }
};

// A family whose logins succeed with `session` (or fail when it is the type's none value).
struct Family : DevFamily {
  int type;
  DevHandle session;
  Family(int t, DevHandle s) : type(t), session(s) {}
  IDevUserLogin* MakeLogin(CDevInfo*) override { return new UserLogin(type, session); }
  IDevPreview* MakePreview(IDevUserLogin*, DevHandle, long channel) override {
    Note("preview.make." + std::to_string(channel));
    return new Preview(channel, 100 + channel);
  }
  IDevCtlPtz* MakePtz(IDevUserLogin*, DevHandle, long, IDevPreview*, bool) override {
    return new Ptz;
  }
  IDevConfig* MakeConfig(IDevUserLogin*, DevHandle) override { return new Config; }
  IDevAlarm* MakeAlarm(IDevUserLogin*, DevHandle) override { return new Alarm; }
};

// Installs fake families for types 1, 2 and 4 for the life of the object.
struct Families {
  Family dvr{1, 5}, ipc{2, 0x1000}, nvr{4, 0x2000};
  DevFamily* saved[5] = {};
  Families() {
    Journal().clear();
    saved[1] = SetDevFamily(1, &dvr);
    saved[2] = SetDevFamily(2, &ipc);
    saved[4] = SetDevFamily(4, &nvr);
  }
  ~Families() {
    for (int t : {1, 2, 4}) SetDevFamily(t, saved[t]);
  }
};

}  // namespace fake
