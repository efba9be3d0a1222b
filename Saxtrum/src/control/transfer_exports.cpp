// Configuration export and import, firmware upgrade.
#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include "Saxtrum.h"
#include "api/requests.h"
#include "control/exchange.h"
#include "control/transfer.h"

using namespace saxtrum;
using namespace saxtrum::transfer;

namespace {

// Sends the header, then the file in chunks, each answered before the next; a file whose
// size is a multiple of the chunk ends with one empty chunk.
int sendFile(int32_t userId, uint32_t command, const std::string& path, const std::string& name,
             uint32_t size) {
  auto conn = loginConnection(userId);
  if (!conn) return -1;
  if (name.empty()) return 0;
  uint8_t header[kTransferHeaderSize];
  buildHeader(name, size, header);
  const Exchange e = exchangeOnNewSlot(*conn, userId, command, header, kTransferHeaderSize);
  if (e.outcome != Outcome::Ok) return 0;
  FILE* f = std::fopen(path.c_str(), "rb");
  int result = f ? 1 : 0;
  std::vector<uint8_t> chunk(kChunkSize);
  while (f && !std::feof(f)) {
    const size_t n = std::fread(chunk.data(), 1, kChunkSize, f);
    if (std::ferror(f) || !exchangeOnSlot(*conn, e.handle, command, chunk.data(),
                                          static_cast<uint32_t>(n))) {
      result = 0;
      break;
    }
  }
  if (f) std::fclose(f);
  conn->releaseSlot(e.slot);
  return result;
}

bool fileSize(const char* path, uint32_t* size) {
  struct stat st{};
  if (!path || ::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *size = static_cast<uint32_t>(st.st_size);
  return true;
}

}  // namespace

extern "C" {

int QX_DVR_GetConfigFile(int32_t userId, const char* path) {
  auto conn = loginConnection(userId);
  if (!conn) return -1;
  const int slot = conn->allocSlot();
  if (slot < 0) return 0;
  const int32_t handle = makeStreamHandle(userId, slot);
  conn->withSlot(slot, [&](RequestSlot& s) {
    s.packets = 0;
    s.written = 0;
    s.path = fieldText(path, kLocalPathChars);
    // An export goes straight into its file: nothing tells how large it will be or when it
    // has ended, so no moment says it is whole.
    s.direct = true;
  });
  if (conn->sendPacket(static_cast<uint32_t>(handle), NET_EXPORT_CFG, nullptr, 0) != 0) {
    conn->releaseSlot(slot);
    return 0;
  }
  // On success the slot stays with the stream for the rest of the login: it has no end mark.
  return conn->waitReplyStatus(slot) == 1 ? 1 : 0;
}

// A file that is not there is told (0) before the user id is looked at (-1).
int QX_DVR_SetConfigFile(int32_t userId, const char* path) {
  uint32_t size = 0;
  if (!fileSize(path, &size)) return 0;
  return sendFile(userId, NET_IMPORT_CFG, path, importName(path), size);
}

int QX_DVR_Upgrade(int32_t userId, const char* path) {
  uint32_t size = 0;
  if (!fileSize(path, &size)) return 0;
  return sendFile(userId, NET_UPDATE_DEV, path, path, size);
}

}  // extern "C"
