#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "Corvane.h"
#include "Trace.h"
#include "nvr/RemoteFiles.h"
#include "plat/bytes.h"
#include "plat/log.h"

namespace hollin {

namespace {

constexpr size_t kRequestNameOffset = 4;
constexpr size_t kRequestNameMax = 127;

}  // namespace

CDevNVRRemoteFileDownloader::CDevNVRRemoteFileDownloader(IDevUserLogin* login,
                                                         const char* remoteName,
                                                         const char* localPath) {
  Run(login, remoteName, localPath);
}

CDevNVRRemoteFileDownloader::CDevNVRRemoteFileDownloader(IDevUserLogin* login, long, TIME*,
                                                         TIME*, char* path) {
  // A recorder names files, not time ranges: the request goes out without a name.
  Run(login, "", path);
}

CDevNVRRemoteFileDownloader::~CDevNVRRemoteFileDownloader() {
  Stop();  // a part not put in place goes with part_
}

void CDevNVRRemoteFileDownloader::Run(IDevUserLogin* login, const char* remoteName,
                                      const char* localPath) {
  if (!login) throw std::invalid_argument("Invalid device");
  const DevHandle session = login->GetLoginID(1);
  if (session < 0) throw std::invalid_argument("Invalid Login ID");
  localPath_ = localPath ? localPath : "";
  IpcDownloadRequest req{};
  const std::string name(remoteName ? remoteName : "",
                         remoteName ? strnlen(remoteName, kRequestNameMax) : 0);
  std::memcpy(req.bytes + kRequestNameOffset, name.data(), name.size());
  plat::putLe32(req.bytes, KnownFileSize(name));
  if (session != 0) task_ = IPC_DvrFilOpen(reinterpret_cast<IPC_HANDLE>(session));
  if (!task_ || localPath_.empty()) {
    failed_ = true;
    return;
  }
  // The whole transfer runs during this call; the callback writes the pieces.
  IPC_DvrDonloadFil(task_, req, &OnData, this);
  if (progress_ != 100) Fail();  // ended before the recorder's end mark
  downloading_ = false;
}

void CDevNVRRemoteFileDownloader::Fail() {
  part_.discard();
  failed_ = true;
}

void CDevNVRRemoteFileDownloader::OnData(int kind, const void* info, const void* data,
                                         int length, void* user) {
  auto* self = static_cast<CDevNVRRemoteFileDownloader*>(user);
  std::printf(" DVR_FiDownload nRet=%d \n", kind);
  if (info) {
    const auto* i = static_cast<const uint8_t*>(info);
    // The recorder's name is shown only; the file goes where the caller asked.
    const char* n = reinterpret_cast<const char*>(i + kRequestNameOffset);
    std::printf("DVR_FiDownload,FileName=%s, FileSize=%d\n",
                Printable(std::string_view(n, strnlen(n, kRequestNameMax))).c_str(),
                static_cast<int>(plat::getLe32(i)));
  }
  if (self->failed_) return;
  if (info && kind == kIpcDownloadAccepted) self->expected_ = plat::getLe32(static_cast<const uint8_t*>(info));
  switch (kind) {
    case kIpcDownloadAccepted:
      if (!self->part_.active() && !self->part_.create(self->localPath_)) {
        PLAT_LOGW("hollin", "download: cannot create \"%s\"", self->localPath_.c_str());
        self->Fail();
        return;
      }
      self->downloading_ = true;
      break;
    case kIpcDownloadData:
      if (!self->part_.active() || !data || length <= 0) return;
      if (!self->part_.write(data, static_cast<size_t>(length))) {
        PLAT_LOGW("hollin", "download: cannot write \"%s\"", self->localPath_.c_str());
        self->Fail();
        return;
      }
      self->received_ += static_cast<uint64_t>(length);
      if (self->expected_ > 0)
        self->progress_ = static_cast<int>(
            std::min<uint64_t>(99, self->received_ * 100 / self->expected_));
      std::printf("DVR_FiDownload,GetPacksize=%d, GetProgress=%d\n", length, self->progress_);
      break;
    case kIpcDownloadEnd:
      // The recorder's end mark: the file is whole and takes the local path's place.
      if (!self->part_.active()) return;
      std::printf("DVR_FiDownload,GetEndFileSingn \n");
      self->downloading_ = false;
      if (!self->part_.commit()) {
        PLAT_LOGW("hollin", "download: \"%s\" not put in place", self->localPath_.c_str());
        self->Fail();
        return;
      }
      self->progress_ = 100;
      break;
    default:
      break;
  }
}

int CDevNVRRemoteFileDownloader::GetPos() { return failed_ ? -1 : progress_; }

int CDevNVRRemoteFileDownloader::Stop() {
  if (!task_) return 0;
  const int r = IPC_DvrFilClose(task_);
  task_ = nullptr;
  downloading_ = false;
  return r;
}

}  // namespace hollin
