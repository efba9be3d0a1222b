#pragma once
// The login of an IP camera (type 2) or a recorder (type 4): one camera library session.
#include <atomic>

#include "Hollin/DevInfo.h"
#include "Hollin/Interfaces.h"

namespace hollin {

class CameraLogin : public IDevUserLogin {
 public:
  CameraLogin(int devType, CDevInfo* info) : devType_(devType), info_(info) {}
  ~CameraLogin() override;  // closes an open session
  CameraLogin(const CameraLogin&) = delete;
  CameraLogin& operator=(const CameraLogin&) = delete;

  int GetManufactureID() override { return info_ ? info_->ManufactureID : 0; }
  DevHandle Login() override;
  int Logout() override;
  bool IsLogin() override { return session_ != 0; }
  DevHandle GetLoginID(int loginIfNeeded) override;
  bool HasLoginID() override { return false; }
  const uint8_t* GetDeviceInfo() override { return nullptr; }
  int GetAlarmInNum() override { return 0; }
  int GetAlarmOutNum() override { return 0; }
  int GetDiskNum() override { return 0; }
  int GetDVRType() override { return devType_; }
  int GetDeviceInfoByte56() override { return 0; }
  int GetChanNum() override { return 0; }
  int GetStartChan() override { return 0; }
  bool StartDVRRecord(int, int) override { return false; }
  bool StopDVRRecord(int) override { return false; }
  int RebootDVR() override { return 0; }
  int ShutDownDVR() override { return 0; }
  bool FindDVRLog(int, int, int, TIME*, TIME*, int) override { return false; }
  bool FindLogClose() override { return false; }
  bool FindNextLog(int) override { return false; }
  // Talk goes to the stream most recently opened on this login's own session.
  int StartVoiceCom(intptr_t, intptr_t, intptr_t, intptr_t) override;
  int StopVoiceCom() override;
  int GetDevType() override { return devType_; }

 private:
  const int devType_;
  CDevInfo* info_;
  // Read by the program's UI thread (is it logged in?) while a device worker logs in.
  std::atomic<DevHandle> session_{0};
  DevHandle talkStream_ = 0;
};

}  // namespace hollin
