// The SPlay_* entry points: the port table, sound and the call observer.
#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "StreamPlay.h"
#include "bmp.h"
#include "port.h"
#include "talk.h"

using namespace streamplay;

namespace {

std::mutex g_mu;
std::array<std::shared_ptr<Port>, SPLAY_MAX_PORT + 1> g_ports;  // index 0 unused
std::atomic<int32_t> g_soundPort{0};
std::mutex g_observerMu;
StreamPlayCallObserver g_observer = nullptr;
void* g_observerUser = nullptr;

void observe(const char* fn, int32_t port) {
  StreamPlayCallObserver o;
  void* user;
  {
    std::lock_guard<std::mutex> lock(g_observerMu);
    o = g_observer;
    user = g_observerUser;
  }
  if (o) o(fn, port, user);
}

std::shared_ptr<Port> port(int32_t id) {
  if (id < 1 || id > SPLAY_MAX_PORT) return nullptr;
  std::lock_guard<std::mutex> lock(g_mu);
  return g_ports[static_cast<size_t>(id)];
}

int result(bool ok) { return ok ? 1 : 0; }

}  // namespace

extern "C" {

void StreamPlay_SetCallObserver(StreamPlayCallObserver observer, void* user) {
  std::lock_guard<std::mutex> lock(g_observerMu);
  g_observer = observer;
  g_observerUser = user;
}

int SPlay_SDKInit(void) {
  observe("SPlay_SDKInit", -1);
  return 1;
}

int SPlay_GetPort2(int32_t* out) {
  observe("SPlay_GetPort2", -1);
  if (!out) return 0;
  *out = -1;
  std::lock_guard<std::mutex> lock(g_mu);
  for (int32_t i = 1; i <= SPLAY_MAX_PORT; ++i) {
    if (!g_ports[static_cast<size_t>(i)]) {
      g_ports[static_cast<size_t>(i)] = std::make_shared<Port>(i);
      *out = i;
      return 1;
    }
  }
  return 0;
}

int SPlay_FreePort(int32_t id) {
  observe("SPlay_FreePort", id);
  std::shared_ptr<Port> p;
  {
    if (id < 1 || id > SPLAY_MAX_PORT) return 0;
    std::lock_guard<std::mutex> lock(g_mu);
    p = std::move(g_ports[static_cast<size_t>(id)]);
  }
  if (!p) return 0;
  int32_t expected = id;
  g_soundPort.compare_exchange_strong(expected, 0);
  p->shutdown();  // the port itself goes when its last user lets go
  return 1;
}

int SPlay_SetStreamOpenMode(int32_t id, uint32_t mode) {
  observe("SPlay_SetStreamOpenMode", id);
  auto p = port(id);
  return result(p && p->setStreamOpenMode(mode));
}

int SPlay_OpenStream(int32_t id, const uint8_t* header, uint32_t headerSize, uint32_t bufferSize) {
  observe("SPlay_OpenStream", id);
  auto p = port(id);
  return result(p && p->openStream(header, headerSize, bufferSize));
}

int SPlay_CloseStream(int32_t id) {
  observe("SPlay_CloseStream", id);
  auto p = port(id);
  return result(p && p->closeStream());
}

int SPlay_InputData(int32_t id, const uint8_t* data, uint32_t size) {
  observe("SPlay_InputData", id);
  auto p = port(id);
  return result(p && p->inputData(data, size));
}

int SPlay_OpenFile(int32_t id, const char* path) {
  observe("SPlay_OpenFile", id);
  auto p = port(id);
  return result(p && path && p->openFile(path));
}

int SPlay_CloseFile(int32_t id) {
  observe("SPlay_CloseFile", id);
  auto p = port(id);
  return result(p && p->closeFile());
}

int SPlay_Play(int32_t id, intptr_t window) {
  observe("SPlay_Play", id);
  auto p = port(id);
  return result(p && p->play(window));
}

int SPlay_Stop(int32_t id) {
  observe("SPlay_Stop", id);
  auto p = port(id);
  return result(p && p->stop());
}

int SPlay_Pause(int32_t id, uint32_t pause) {
  observe("SPlay_Pause", id);
  auto p = port(id);
  return result(p && p->pause(pause != 0));
}

int SPlay_Fast(int32_t id) {
  observe("SPlay_Fast", id);
  auto p = port(id);
  return result(p && p->fast());
}

int SPlay_Slow(int32_t id) {
  observe("SPlay_Slow", id);
  auto p = port(id);
  return result(p && p->slow());
}

int SPlay_OneByOne(int32_t id) {
  observe("SPlay_OneByOne", id);
  auto p = port(id);
  return result(p && p->oneByOne());
}

int SPlay_OneByOneBack(int32_t id) {
  observe("SPlay_OneByOneBack", id);
  auto p = port(id);
  return result(p && p->oneByOneBack());
}

int SPlay_SetPlayPos(int32_t id, float position) {
  observe("SPlay_SetPlayPos", id);
  auto p = port(id);
  return result(p && p->setPlayPos(position));
}

int SPlay_GetPlayPos(int32_t id, float* position) {
  observe("SPlay_GetPlayPos", id);
  auto p = port(id);
  return result(p && p->getPlayPos(position));
}

int SPlay_PlaySound(int32_t id) {
  observe("SPlay_PlaySound", id);
  auto p = port(id);
  if (!p) return 0;
  const int32_t previous = g_soundPort.exchange(id);
  if (previous != id)
    if (auto old = port(previous)) old->setSound(false);
  p->setSound(true);
  return 1;
}

int SPlay_StopSound(void) {
  observe("SPlay_StopSound", -1);
  const int32_t previous = g_soundPort.exchange(0);
  if (auto old = port(previous)) old->setSound(false);
  return 1;
}

int SPlay_SetVolume(int32_t id, uint16_t volume) {
  observe("SPlay_SetVolume", id);
  auto p = port(id);
  return result(p && p->setVolume(volume));
}

int SPlay_CaptureImage(int32_t id, uint8_t* buffer, uint32_t* width, uint32_t* height) {
  observe("SPlay_CaptureImage", id);
  auto p = port(id);
  return result(p && p->capture(buffer, width, height));
}

int SPlay_ConvertToBmpFile(const uint8_t* buffer, uint32_t size, uint32_t width,
                            uint32_t height, uint32_t, const char* path) {
  observe("SPlay_ConvertToBmpFile", -1);
  // Without a size the buffer is a capture buffer of 720 x 576 pixels: a picture said to be
  // larger than that is never read.
  const uint64_t bound = size != 0 ? size : kCaptureBufferBytes;
  if (static_cast<uint64_t>(width) * height * 3 > bound) return 0;
  return result(path && writeBmp24(buffer, width, height, path));
}

int SPlay_RigisterDrawFun(int32_t id, SPlayDrawFun fun, void* user) {
  observe("SPlay_RigisterDrawFun", id);
  auto p = port(id);
  if (!p) return 0;
  p->setDrawFun(fun, user);
  return 1;
}

int SPlay_OpenTalk(SPlayTalkCallBack callback, uint32_t value1, uint32_t value2) {
  observe("SPlay_OpenTalk", -1);
  return result(talk().open(callback, value1, value2));
}

int SPlay_InputTalkData(const uint8_t* data, uint32_t length, uint32_t value1, uint32_t value2) {
  observe("SPlay_InputTalkData", -1);
  return result(talk().input(data, length, value1, value2));
}

int SPlay_CloseTalk(void) {
  observe("SPlay_CloseTalk", -1);
  return result(talk().close());
}

int StreamPlay_FeedTalkCapture(const uint8_t* data, uint32_t length) {
  return talk().feedCapture(data, length);
}

}  // extern "C"
