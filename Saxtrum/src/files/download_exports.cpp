// Downloading a recorded file by name into a local file.
#include <cstring>
#include <string>

#include "Saxtrum.h"
#include "api/requests.h"
#include "control/exchange.h"
#include "files/file_records.h"

using namespace saxtrum;
using namespace saxtrum::files;

extern "C" {

int32_t QX_DVR_GetFileByName(int32_t userId, const char* remoteName, const char* localPath) {
  if (!remoteName || !*remoteName || !localPath || !*localPath) return -1;
  auto conn = loginConnection(userId);
  if (!conn) return -1;
  // The download goes into a part of its own: a file already at the local path stays as it
  // is until the download is whole, and is never lost to one that fails or is stopped.
  const std::string target = fieldText(localPath, kLocalPathChars);
  plat::PartFile part;
  if (!part.create(target)) return -1;

  uint8_t request[kFileRequestSize];
  buildNameRequest(remoteName, request);
  const Exchange info = exchangeOnNewSlot(*conn, userId, NET_FILE_INFO, request, kFileRequestSize);
  if (info.outcome != Outcome::Ok) return -1;
  const auto record = conn->withSlot(info.slot, [&](RequestSlot& s) {
    s.beginFile(target, std::move(part), false);
    s.whole = uint64_t{fileRecordSize(s.fileRecord.data())} + kStreamHeaderSize;
    return s.fileRecord;
  });
  if (conn->sendPacket(static_cast<uint32_t>(info.handle), NET_DOWNLOAD, record.data(),
                       kFileRequestSize) != 0) {
    conn->releaseSlot(info.slot);  // clears the file-writing flag too
    return -1;
  }
  // The first data are in the file before the reply wakes us; a failed write reads as 300.
  if (conn->waitReplyStatus(info.slot) != 1) return -1;
  return info.handle;
}

int QX_DVR_GetDownloadPos(int32_t handle) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return -1;
  return r.conn->withSlot(r.slot, [](RequestSlot& s) {
    // A download whose file could not be written or put in place never completes.
    return s.failed ? -1 : downloadPercent(s.written, fileRecordSize(s.fileRecord.data()));
  });
}

int QX_DVR_StopGetFile(int32_t handle) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  const auto record = r.conn->withSlot(r.slot, [](RequestSlot& s) { return s.fileRecord; });
  // Nothing more goes into the file once the stop is on its way; a download not yet whole
  // is removed (with the slot), and what stood at the local path before stays.
  r.conn->withSlot(r.slot, [](RequestSlot& s) { s.writing = false; });
  const int result =
      sendStop(*r.conn, handle, NET_DOWNLOAD_STOP, record.data(), kFileRequestSize);
  r.conn->releaseSlot(r.slot);
  return result;
}

}  // extern "C"
