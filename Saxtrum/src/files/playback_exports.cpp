// Playing a recorded file by name through the player library.
#include <cstring>

#include "StreamPlay.h"
#include "Saxtrum.h"
#include "api/requests.h"
#include "control/exchange.h"
#include "files/file_records.h"

using namespace saxtrum;
using namespace saxtrum::files;

namespace {

std::array<uint8_t, kFileRecordSize> keptRecord(DvrConnection& conn, int slot) {
  return conn.withSlot(slot, [](RequestSlot& s) { return s.fileRecord; });
}

}  // namespace

extern "C" {

int32_t QX_DVR_PlayBackByName(int32_t userId, const char* fileName, intptr_t window) {
  if (!fileName || !*fileName) return 0;
  auto conn = loginConnection(userId);
  if (!conn) return -1;
  uint8_t request[kFileRequestSize];
  buildNameRequest(fileName, request);
  const Exchange info = exchangeOnNewSlot(*conn, userId, NET_FILE_INFO, request, kFileRequestSize);
  if (info.outcome != Outcome::Ok) return -1;
  const int slot = info.slot;
  auto record = keptRecord(*conn, slot);

  int32_t port = -1;
  if (!SPlay_GetPort2(&port) || port <= 0) {
    conn->releaseSlot(slot);
    return -1;
  }
  // The stream header comes with the data; the player is told the file's size field.
  if (!SPlay_SetStreamOpenMode(port, SPLAY_STREAME_FILE) ||
      !SPlay_OpenStream(port, record.data() + kFileOffSize, 0, 0) ||
      !SPlay_Play(port, window)) {
    conn->stopStreamSlot(slot, port);
    return -1;
  }
  conn->withSlot(slot, [&](RequestSlot& s) {
    s.port = port;
    s.playWindow = window;
  });
  {
    Library& lib = library();
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    StreamEntry& e = lib.logins[userId].streams[slot];
    e = StreamEntry{};
    e.window = window;
  }
  const bool ok =
      conn->sendPacket(static_cast<uint32_t>(info.handle), NET_REPLAY, record.data(),
                       kFileRequestSize) == 0 &&
      conn->waitSlot(slot, replyWaitMs()) == 0 &&
      conn->withSlot(slot, [](RequestSlot& s) { return s.status == kStatusOk; });
  if (!ok) {
    conn->stopStreamSlot(slot, port);
    return -1;
  }
  return info.handle;
}

int QX_DVR_PlayBackControl(int32_t handle, uint32_t code, uint32_t valueIn, uint32_t* valueOut) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  int32_t port = 0;
  intptr_t window = 0;
  r.conn->withSlot(r.slot, [&](RequestSlot& s) {
    port = s.port;
    window = s.playWindow;
  });
  switch (code) {
    case QX_DVR_PLAYSTART:
    case QX_DVR_PLAYNORMAL: SPlay_Play(port, window); break;
    case QX_DVR_PLAYSTOP: SPlay_Stop(port); break;
    case QX_DVR_PLAYPAUSE: SPlay_Pause(port, 1); break;
    case QX_DVR_PLAYRESTART: SPlay_Pause(port, 0); break;
    case QX_DVR_PLAYFAST: SPlay_Fast(port); break;
    case QX_DVR_PLAYSLOW: SPlay_Slow(port); break;
    case QX_DVR_PLAYFRAME: SPlay_OneByOne(port); break;
    case QX_DVR_PLAYSTARTAUDIO: SPlay_PlaySound(port); break;
    case QX_DVR_PLAYSTOPAUDIO: SPlay_StopSound(); break;
    case QX_DVR_PLAYAUDIOVOLUME: SPlay_SetVolume(port, static_cast<uint16_t>(valueIn)); break;
    case QX_DVR_PLAYSETPOS: SPlay_SetPlayPos(port, playPosFromPercent(valueIn)); break;
    case QX_DVR_PLAYGETPOS: {
      float position = 0.0f;
      SPlay_GetPlayPos(port, &position);
      if (valueOut) *valueOut = percentFromPlayPos(position);
      break;
    }
    default: break;
  }
  return 1;
}

int QX_DVR_SetPlayDataCallBack(int32_t handle, QX_DVR_DataCallBack callback, void* user) {
  return setStreamCallback(handle, &StreamEntry::playback, callback, user);
}

int QX_DVR_PlayBackSaveData(int32_t handle, const char* path) {
  return QX_DVR_SaveRealData(handle, 0, path);
}

int QX_DVR_PlayBackCaptureFile(int32_t handle, const char* path) {
  return QX_DVR_CapturePicture(handle, path);
}

int QX_DVR_StopPlayBack(int32_t handle) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  auto record = keptRecord(*r.conn, r.slot);
  const int32_t port = slotPort(r);
  // A stop that did not go out or that the device refused leaves the playback as it is.
  if (sendStop(*r.conn, handle, NET_REPLAY_STOP, record.data(), kFileRequestSize) != 1) return 0;
  r.conn->stopStreamSlot(r.slot, port);
  return 1;
}

}  // extern "C"
