#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>

#include "Corvane.h"
#include "nvr/FileTimes.h"
#include "nvr/RemoteFiles.h"
#include "Trace.h"
#include "plat/bytes.h"

namespace hollin {

namespace {

std::mutex g_sizesMutex;
std::map<std::string, uint32_t> g_sizes;


// The name text of a result record, bounded by the record's end.
std::string ResultName(const uint8_t* r) {
  const char* s = reinterpret_cast<const char*>(r + kFileResultNameOffset);
  return std::string(s, strnlen(s, kFileResultSize - kFileResultNameOffset));
}

}  // namespace

void RememberFileSize(const std::string& name, uint32_t size) {
  std::lock_guard<std::mutex> lk(g_sizesMutex);
  g_sizes[name] = size;
}

uint32_t KnownFileSize(const std::string& name) {
  std::lock_guard<std::mutex> lk(g_sizesMutex);
  auto it = g_sizes.find(name);
  return it == g_sizes.end() ? 0 : it->second;
}

CDevNVRRemoteFileFinder::CDevNVRRemoteFileFinder(IDevUserLogin* login,
                                                 tagSearchFileCondition* cond) {
  if (!login) throw std::invalid_argument("Invalid device");
  session_ = login->GetLoginID(1);
  if (session_ < 0) throw std::invalid_argument("Invalid Login ID");
  if (session_ != 0) task_ = IPC_DvrFilOpen(reinterpret_cast<IPC_HANDLE>(session_));
  if (!task_ || !cond) return;
  IpcFileSearchCond c{};
  plat::putLe16(c.bytes, static_cast<uint16_t>(cond->channel));
  plat::putLe16(c.bytes + 2, static_cast<uint16_t>(cond->fileType));
  plat::putLe32(c.bytes + 8, SecondsFromLocal(cond->start));
  plat::putLe32(c.bytes + 12, SecondsFromLocal(cond->end));
  // Blocks until the recorder's list has ended; the callback runs meanwhile.
  IPC_DvrSearchFil(task_, c, &OnResult, this);
}

CDevNVRRemoteFileFinder::~CDevNVRRemoteFileFinder() { FindClose(); }

void CDevNVRRemoteFileFinder::OnResult(int kind, const void* record, void* user) {
  auto* self = static_cast<CDevNVRRemoteFileFinder*>(user);
  std::printf("DVR_FiSearch:nRet=%d \n", kind);
  if (kind != kIpcSearchRecord || !record) return;
  const auto* r = static_cast<const uint8_t*>(record);
  self->results_.emplace_back(r, r + kFileResultSize);
  const std::string name = ResultName(r);
  RememberFileSize(name, plat::getLe32(r + 4));
  std::printf("DVR_FiSearch:FileName=%s FileSize=%d\n", Printable(name).c_str(),
              static_cast<int>(plat::getLe32(r + 4)));
}

int CDevNVRRemoteFileFinder::FindNextFileRaw(void* record) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!task_ || next_ >= results_.size() || !record) return -1;
  std::memcpy(record, results_[next_].data(), kFileResultSize);
  ++next_;
  return 1;
}

int CDevNVRRemoteFileFinder::FindNext(tagRemoteFileInfo* out) {
  uint8_t r[kFileResultSize];
  if (!out || FindNextFileRaw(r) != 1) return 0;
  const std::string name = ResultName(r);
  std::snprintf(out->fileName, sizeof out->fileName, "%s", name.c_str());
  out->start = LocalFromSeconds(plat::getLe32(r + 8));
  out->end = LocalFromSeconds(plat::getLe32(r + 12));
  out->fileSize = plat::getLe32(r + 4);
  out->word0 = plat::getLe16(r);
  out->word1 = plat::getLe16(r + 2);
  return 1;
}

int CDevNVRRemoteFileFinder::FindClose() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (task_) {
    IPC_DvrFilClose(task_);
    task_ = nullptr;
  }
  return 1;
}

}  // namespace hollin
