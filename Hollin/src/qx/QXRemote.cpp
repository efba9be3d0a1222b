#include "qx/QXRemote.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "RecNet.h"
#include "plat/clock.h"
#include "qx/QXTime.h"

namespace {

constexpr int32_t kSearchClosed = 9999;
constexpr int kPollMs = 50;
// A search that keeps saying "searching" is given up after 40 s of polling.
constexpr int kMaxPolls = 40000 / kPollMs;

}  // namespace

// ---- Search ----

CDevQXRemoteFileFinder::CDevQXRemoteFileFinder(IDevUserLogin* login,
                                               tagSearchFileCondition* condition) {
  if (!login) throw std::invalid_argument("Invalid device");
  loginId_ = login->GetLoginID(1);
  if (loginId_ >= 0 && condition) {
    SdkFileCond c{};
    c.channel = condition->channel + 1;
    c.fileType = static_cast<uint32_t>(condition->fileType);
    c.isLocked = 255;
    c.start = hollin::qx::ToSdk(condition->start);
    c.end = hollin::qx::ToSdk(condition->end);
    handle_ = RecNet_FindFile(static_cast<int32_t>(loginId_), &c);
    if (handle_ != -1) {
      state_ = 0;
      return;
    }
  }
  throw std::invalid_argument("Invalid file search condition");
}

CDevQXRemoteFileFinder::~CDevQXRemoteFileFinder() { FindClose(); }

int CDevQXRemoteFileFinder::FindNextFileRaw(void* record) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (handle_ == -1 || state_ != 0) return SDK_FIND_EXCEPTION;
  return RecNet_FindNextFile(handle_, static_cast<SdkFindData*>(record));
}

int CDevQXRemoteFileFinder::FindNext(tagRemoteFileInfo* out) {
  if (!out) return 0;
  SdkFindData d;
  std::memset(&d, 0, sizeof d);
  int r = SDK_FIND_SEARCHING;
  for (int i = 0; i < kMaxPolls && r == SDK_FIND_SEARCHING; ++i) {
    plat::sleepMs(kPollMs);
    r = FindNextFileRaw(&d);
  }
  if (r != SDK_FIND_SUCCESS) return 0;
  d.fileName[sizeof d.fileName - 1] = 0;
  std::snprintf(out->fileName, sizeof out->fileName, "%s", d.fileName);
  out->start = hollin::qx::FromSdk(d.start);
  out->end = hollin::qx::FromSdk(d.end);
  out->fileSize = d.fileSize;
  out->locked = d.locked;
  return 1;
}

int CDevQXRemoteFileFinder::FindClose() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (handle_ != -1) {
    RecNet_FindClose(handle_);
    handle_ = -1;
  }
  state_ = kSearchClosed;
  return 1;
}

// ---- Playback ----

CDevQXRemotePlayback::CDevQXRemotePlayback(IDevUserLogin* login, HWND window,
                                           const char* fileName)
    : window_(window) {
  if (!login) throw std::invalid_argument("Invalid device");
  loginId_ = login->GetLoginID(1);
  if (loginId_ < 0) throw std::invalid_argument("Invalid Login id");
  if (fileName) handle_ = RecNet_PlayBackByName(static_cast<int32_t>(loginId_), fileName, window);
  if (handle_ == -1) throw std::invalid_argument("Invalid file name");
}

CDevQXRemotePlayback::CDevQXRemotePlayback(IDevUserLogin* login, HWND window, long, TIME*,
                                           TIME*)
    : window_(window), byTime_(true) {
  if (!login) throw std::invalid_argument("Invalid device");
  throw std::invalid_argument("Invalid time");
}

CDevQXRemotePlayback::~CDevQXRemotePlayback() { Stop(); }

int CDevQXRemotePlayback::Control(uint32_t code, uint32_t value) {
  if (handle_ == -1) return 0;
  return RecNet_PlayBackControl(handle_, code, value, nullptr);
}

int CDevQXRemotePlayback::Query(uint32_t code, int* out) {
  if (handle_ == -1 || !out) return 0;
  uint32_t v = 0;
  const int r = RecNet_PlayBackControl(handle_, code, 0, &v);
  *out = static_cast<int>(v);
  return r;
}

int CDevQXRemotePlayback::Stop() {
  if (handle_ == -1) return 0;
  const int r = RecNet_StopPlayBack(handle_);
  if (r == 1) handle_ = -1;
  return r;
}

int CDevQXRemotePlayback::CaptureFile(const char* path) {
  if (handle_ == -1 || !path) return 0;
  return RecNet_PlayBackCaptureFile(handle_, path);
}

int CDevQXRemotePlayback::SetPos(float percent) {
  if (handle_ == -1 || !std::isfinite(percent)) return 0;
  const float p = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
  return RecNet_PlayBackControl(handle_, 12, static_cast<uint32_t>(p), nullptr);
}

float CDevQXRemotePlayback::GetPos() {
  if (handle_ == -1) return 0;
  uint32_t v = 0;
  RecNet_PlayBackControl(handle_, 13, 0, &v);
  return static_cast<float>(v);
}

// ---- Download ----

CDevQXRemoteFileDownloader::CDevQXRemoteFileDownloader(IDevUserLogin* login,
                                                       const char* remoteName,
                                                       const char* localPath) {
  if (!login) throw std::invalid_argument("Invalid device");
  loginId_ = login->GetLoginID(1);
  if (loginId_ < 0) throw std::invalid_argument("Invalid Login ID");
  if (remoteName && localPath)
    handle_ = RecNet_GetFileByName(static_cast<int32_t>(loginId_), remoteName, localPath);
  if (handle_ == -1) throw std::invalid_argument("Invalid file name");
}

CDevQXRemoteFileDownloader::CDevQXRemoteFileDownloader(IDevUserLogin*, long, TIME*, TIME*,
                                                       char*) {
  throw std::invalid_argument("Invalid file name");
}

CDevQXRemoteFileDownloader::~CDevQXRemoteFileDownloader() { Stop(); }

int CDevQXRemoteFileDownloader::Start() {
  if (handle_ == -1) return 0;
  return RecNet_PlayBackControl(handle_, 1, 0, nullptr);
}

int CDevQXRemoteFileDownloader::GetPos() {
  if (handle_ == -1) return 0;
  return RecNet_GetDownloadPos(handle_);
}

int CDevQXRemoteFileDownloader::Stop() {
  if (handle_ == -1) return 0;
  if (RecNet_StopGetFile(handle_) != 1) return 0;
  handle_ = -1;
  return 1;
}
