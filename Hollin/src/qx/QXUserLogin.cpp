#include "qx/QXUserLogin.h"

#include <cstring>
#include <mutex>

#include "plat/clock.h"
#include "plat/socket.h"
#include "qx/QXTime.h"

namespace hollin::qx {

namespace {
std::mutex g_resolverMutex;
Resolver g_resolver;
}  // namespace

void SetResolver(Resolver resolver) {
  std::lock_guard<std::mutex> lock(g_resolverMutex);
  g_resolver = std::move(resolver);
}

std::vector<std::string> Resolve(const std::string& host) {
  Resolver r;
  {
    std::lock_guard<std::mutex> lock(g_resolverMutex);
    r = g_resolver;
  }
  return r ? r(host) : plat::resolveIPv4All(host);
}

}  // namespace hollin::qx

namespace {
// A log search that keeps saying "searching" is given up after this many polls.
constexpr int kMaxLogPolls = 800;
}  // namespace

CDevQXUserLogin::~CDevQXUserLogin() {
  if (talkHandle_ != -1) RecNet_StopVoiceCom(talkHandle_);
  if (logHandle_ != -1) RecNet_FindLogClose(logHandle_);
  if (loginId_ != -1) Logout();
}

DevHandle CDevQXUserLogin::Login() {
  if (!info_) return -1;
  // A name with several addresses logs in to the last one.
  const auto addresses = hollin::qx::Resolve(info_->IP.GetNarrow());
  if (addresses.empty()) return -1;
  SdkDeviceInfo di{};
  const int32_t id =
      RecNet_Login(addresses.back().c_str(), static_cast<uint16_t>(info_->Port),
                    info_->UserName.GetNarrow(), info_->Pwd.GetNarrow(), &di);
  loginId_ = id < 0 ? -1 : id;
  std::memset(deviceInfo_, 0, sizeof deviceInfo_);
  if (loginId_ != -1) {
    std::memcpy(deviceInfo_, di.serialNumber, sizeof di.serialNumber);
    deviceInfo_[48] = di.alarmInPortNum;
    deviceInfo_[49] = di.alarmOutPortNum;
    deviceInfo_[50] = di.diskNum;
    deviceInfo_[51] = di.dvrType;
    deviceInfo_[52] = di.chanNum;
    deviceInfo_[53] = di.startChan;
    deviceInfo_[54] = di.audioChanNum;
    deviceInfo_[55] = di.ipChanNum;
    deviceInfo_[56] = di.byte56;
  }
  return loginId_;
}

int CDevQXUserLogin::Logout() {
  int result = 0;
  if (loginId_ != -1) {
    result = RecNet_Logout(loginId_);
    loginId_ = -1;
  }
  std::memset(deviceInfo_, 0, sizeof deviceInfo_);
  return result;
}

DevHandle CDevQXUserLogin::GetLoginID(int loginIfNeeded) {
  if (loginId_ == -1 && loginIfNeeded == 1) Login();
  return loginId_;
}

const uint8_t* CDevQXUserLogin::GetDeviceInfo() { return loginId_ == -1 ? nullptr : deviceInfo_; }

int CDevQXUserLogin::InfoByte(size_t at) const { return loginId_ == -1 ? -1 : deviceInfo_[at]; }

bool CDevQXUserLogin::StartDVRRecord(int channel, int recordType) {
  if (loginId_ == -1) return false;
  return RecNet_StartDVRRecord(loginId_, channel, recordType) == 1;
}

bool CDevQXUserLogin::StopDVRRecord(int channel) {
  if (loginId_ == -1) return false;
  return RecNet_StopDVRRecord(loginId_, channel) == 1;
}

int CDevQXUserLogin::RebootDVR() {
  if (loginId_ != -1) RecNet_RebootDVR(loginId_);
  return 0;
}

int CDevQXUserLogin::ShutDownDVR() {
  if (loginId_ != -1) RecNet_ShutDownDVR(loginId_);
  return 0;
}

bool CDevQXUserLogin::FindDVRLog(int mode, int majorType, int minorType, TIME* start, TIME* end,
                                 int flag) {
  if (loginId_ == -1 || !start || !end) return false;
  const SdkTime s = hollin::qx::ToSdk(*start), e = hollin::qx::ToSdk(*end);
  logHandle_ = RecNet_FindDVRLog(loginId_, mode, static_cast<uint32_t>(majorType),
                                  static_cast<uint32_t>(minorType), &s, &e, flag);
  return logHandle_ != -1;
}

bool CDevQXUserLogin::FindLogClose() {
  if (logHandle_ != -1) {
    RecNet_FindLogClose(logHandle_);
    logHandle_ = -1;
  }
  return true;
}

bool CDevQXUserLogin::FindNextLog(int) {
  if (logHandle_ == -1) return false;
  uint8_t record[SDK_LOG_SIZE];
  int32_t r = SDK_FIND_SEARCHING;
  for (int i = 0; i < kMaxLogPolls && r == SDK_FIND_SEARCHING; ++i)
    r = RecNet_FindNextLog(logHandle_, record);
  return r == SDK_FIND_SUCCESS;
}

int CDevQXUserLogin::StartVoiceCom(intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4) {
  if (loginId_ == -1) return 0;
  talkHandle_ = RecNet_StartVoiceCom(loginId_, a1, a2, a3, a4);
  return talkHandle_ != -1 ? 1 : 0;
}

int CDevQXUserLogin::StopVoiceCom() {
  const int r = RecNet_StopVoiceCom(talkHandle_);
  talkHandle_ = -1;
  return r;
}
