#pragma once
// Login of a recorder (device type 1) over the recorder SDK.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "RecNet.h"
#include "Hollin/DevInfo.h"
#include "Hollin/Interfaces.h"

namespace hollin::qx {
// Resolves a host name to its IPv4 addresses as dotted texts, in the resolver's order.
using Resolver = std::function<std::vector<std::string>(const std::string& host)>;
// Replaces the system resolver (tests); an empty function puts the system's back.
void SetResolver(Resolver resolver);
std::vector<std::string> Resolve(const std::string& host);
}  // namespace hollin::qx

class CDevQXUserLogin : public IDevUserLogin {
 public:
  explicit CDevQXUserLogin(CDevInfo* info) : info_(info) {}
  ~CDevQXUserLogin() override;  // logs out when logged in

  int GetManufactureID() override { return info_ ? info_->ManufactureID : 0; }
  DevHandle Login() override;
  int Logout() override;
  bool IsLogin() override { return loginId_ != -1; }
  DevHandle GetLoginID(int loginIfNeeded) override;
  bool HasLoginID() override { return loginId_ != -1; }
  const uint8_t* GetDeviceInfo() override;
  int GetAlarmInNum() override { return InfoByte(48); }
  int GetAlarmOutNum() override { return InfoByte(49); }
  int GetDiskNum() override { return InfoByte(50); }
  int GetDVRType() override { return InfoByte(51); }
  int GetDeviceInfoByte56() override { return InfoByte(56); }
  int GetChanNum() override { return InfoByte(52); }
  int GetStartChan() override { return InfoByte(53); }
  bool StartDVRRecord(int channel, int recordType) override;
  bool StopDVRRecord(int channel) override;
  int RebootDVR() override;
  int ShutDownDVR() override;
  bool FindDVRLog(int mode, int majorType, int minorType, TIME* start, TIME* end,
                  int flag) override;
  bool FindLogClose() override;
  bool FindNextLog(int flag) override;
  int StartVoiceCom(intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4) override;
  int StopVoiceCom() override;
  int GetDevType() override { return DEV_TYPE_DVR; }

 private:
  int InfoByte(size_t at) const;
  CDevInfo* info_;
  std::atomic<int32_t> loginId_{-1};  // read by the program's UI thread
  int32_t unused_ = -1;
  int32_t logHandle_ = -1;
  int32_t talkHandle_ = -1;
  uint8_t deviceInfo_[SDK_DEVICEINFO_SIZE] = {};
};
