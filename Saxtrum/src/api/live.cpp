// Live view: start and stop, data callback, saving, drawing, sound and video parameters.
#include <sys/stat.h>

#include "StreamPlay.h"
#include "Saxtrum.h"
#include "api/requests.h"
#include "control/exchange.h"
#include "plat/bytes.h"
#include "plat/log.h"

using namespace saxtrum;

namespace {
constexpr uint32_t kPreviewRequestSize = 12;
constexpr uint32_t kVideoParamRequestSize = 20;
constexpr uint32_t kLiveBufferSize = 1048576;

void previewPayload(uint32_t channelIndex, uint32_t windowField, uint32_t subStream,
                    uint8_t* out) {
  plat::putLe32(out, channelIndex);
  plat::putLe32(out + 4, windowField);
  plat::putLe32(out + 8, subStream);
}

uint32_t toWire(uint32_t v) { return v * 64 / 10; }
uint32_t fromWire(uint32_t v) { return v * 10 / 64; }
}  // namespace

extern "C" {

int32_t QX_DVR_RealPlay(int32_t userId, const QX_DVR_CLIENTINFO* client, intptr_t, intptr_t,
                        int wait) {
  if (!client || client->lChannel < 1 || client->lChannel > 16) return -1;
  auto conn = loginConnection(userId);
  if (!conn) return -1;
  const int slot = conn->allocSlot();
  if (slot < 0) return -1;
  const int32_t handle = makeStreamHandle(userId, slot);
  const intptr_t window = client->hPlayWnd;
  const uint32_t channelIndex = static_cast<uint32_t>(client->lChannel - 1);
  const uint32_t subStream = client->lLinkMode >> 31;
  uint8_t payload[kPreviewRequestSize];
  previewPayload(channelIndex, window ? static_cast<uint32_t>(window) : static_cast<uint32_t>(handle),
                 subStream, payload);

  int32_t port = -1;
  if (!SPlay_GetPort2(&port) || port <= 0) {
    conn->releaseSlot(slot);
    return -1;
  }
  PLAT_LOGD("Saxtrum", "start QX_DVR_RealPlay port:%d", port);
  if (!SPlay_SetStreamOpenMode(port, SPLAY_STREAME_REALTIME) ||
      !SPlay_OpenStream(port, nullptr, 0, kLiveBufferSize) || !SPlay_Play(port, window)) {
    conn->stopStreamSlot(slot, port);
    return -1;
  }
  // The port is in the slot before the request leaves, so the first data find it.
  conn->withSlot(slot, [&](RequestSlot& s) {
    s.port = port;
    s.playWindow = window;
    s.wakeOnFirst = wait != 0;
  });
  if (conn->sendPacket(static_cast<uint32_t>(handle), NET_PREVIEW, payload, kPreviewRequestSize) !=
      0) {
    conn->stopStreamSlot(slot, port);
    return -1;
  }
  if (wait) {
    const bool ok = conn->waitSlot(slot, replyWaitMs()) == 0 &&
                    conn->withSlot(slot, [](RequestSlot& s) { return s.status == kStatusOk; });
    if (!ok) {
      conn->stopStreamSlot(slot, port);
      return -1;
    }
  }
  Library& lib = library();
  std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
  StreamEntry& e = lib.logins[userId].streams[slot];
  e.channelIndex = channelIndex;
  e.window = window;
  e.subStream = subStream;
  return handle;
}

int QX_DVR_StopRealPlay(int32_t handle) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  const StreamEntry e = streamEntry(r);
  uint8_t payload[kPreviewRequestSize];
  previewPayload(e.channelIndex, static_cast<uint32_t>(e.window), e.subStream, payload);
  const int32_t port = slotPort(r);
  const int result = sendStop(*r.conn, handle, NET_PREVIEW_STOP, payload, kPreviewRequestSize);
  r.conn->stopStreamSlot(r.slot, port);
  return result;
}

int QX_DVR_SetRealDataCallBack(int32_t handle, QX_DVR_DataCallBack callback, void* user) {
  return setStreamCallback(handle, &StreamEntry::live, callback, user);
}

int QX_DVR_SaveRealData(int32_t handle, uint32_t, const char* path) {
  StreamRef r;
  if (!path || !*path || !resolveBusy(handle, r)) return 0;
  // A new file grows under its own name, so what was saved before a power loss is there to
  // play. Over a file that stands there already the stream goes into a part of its own, which
  // takes the file's place only when the saving ends with data: the earlier file is not lost
  // to a saving that breaks off or never gets any.
  const std::string target = fieldText(path, kLocalPathChars);
  if (r.conn->withSlot(r.slot, [](RequestSlot& s) { return s.writing; })) return 0;
  plat::PartFile part;
  struct stat st{};
  if (::lstat(target.c_str(), &st) == 0 && !part.create(target)) return 0;
  return r.conn->withSlot(r.slot, [&](RequestSlot& s) {
    if (s.writing) return 0;
    s.beginFile(target, std::move(part), true);
    return 1;
  });
}

int QX_DVR_StopSaveRealData(int32_t handle) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  return r.conn->withSlot(r.slot, [](RequestSlot& s) {
    if (!s.writing) return 0;
    s.writing = false;
    DvrConnection::endSlotFile(s);
    return 1;
  });
}

int QX_DVR_StopPlayBackSave(int32_t handle) { return QX_DVR_StopSaveRealData(handle); }

int QX_DVR_RigisterDrawFun(int32_t handle, QX_DVR_DrawFun fun, void* user) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  return SPlay_RigisterDrawFun(slotPort(r), fun, user);
}

int32_t QX_DVR_GetRealPlayerIndex(int32_t handle) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  return slotPort(r);
}

int QX_DVR_OpenSound(int32_t handle) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  return SPlay_PlaySound(slotPort(r));
}

int QX_DVR_CloseSound(void) { return SPlay_StopSound(); }

int QX_DVR_Volume(int32_t handle, uint16_t volume) {
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  return SPlay_SetVolume(slotPort(r), volume);
}

int QX_DVR_ClientSetVideoEffect(int32_t handle, uint32_t brightness, uint32_t contrast,
                                uint32_t saturation, uint32_t hue) {
  for (uint32_t v : {brightness, contrast, saturation, hue})
    if (v < 1 || v > 10) return 0;
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  uint8_t payload[kVideoParamRequestSize];
  plat::putLe32(payload, streamEntry(r).channelIndex);
  plat::putLe32(payload + 4, toWire(brightness));
  plat::putLe32(payload + 8, toWire(contrast));
  plat::putLe32(payload + 12, toWire(saturation));
  plat::putLe32(payload + 16, toWire(hue));
  if (r.conn->sendPacket(static_cast<uint32_t>(handle), NET_SETVEDIOPARAM, payload,
                         kVideoParamRequestSize) != 0)
    return 0;
  return r.conn->waitReplyOk(r.slot);
}

int QX_DVR_ClientGetVideoEffect(int32_t handle, uint32_t* brightness, uint32_t* contrast,
                                uint32_t* saturation, uint32_t* hue) {
  if (!brightness || !contrast || !saturation || !hue) return 0;
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  uint8_t payload[kVideoParamRequestSize] = {};
  plat::putLe32(payload, streamEntry(r).channelIndex);
  if (r.conn->sendPacket(static_cast<uint32_t>(handle), NET_GETVEDIOPARAM, payload,
                         kVideoParamRequestSize) != 0)
    return 0;
  if (r.conn->waitReplyOk(r.slot) != 1) return 0;
  const auto v = r.conn->withSlot(r.slot, [](RequestSlot& s) { return s.videoParams; });
  *brightness = fromWire(plat::getLe32(v.data() + 4));
  *contrast = fromWire(plat::getLe32(v.data() + 8));
  *saturation = fromWire(plat::getLe32(v.data() + 12));
  *hue = fromWire(plat::getLe32(v.data() + 16));
  return 1;
}

}  // extern "C"
