// Arbitrary bytes from a recorder, framed and dispatched by a login's connection: live data
// into a player port, alarms to the message callback, talk audio, kept replies and files.
#include <cstddef>
#include <cstdint>

#include "StreamPlay.h"
#include "Saxtrum.h"
#include "protocol/connection.h"
#include "protocol/library.h"

using namespace saxtrum;

namespace {

int32_t g_port = -1;

void onAlarm(int32_t, char* alarmer, char* info, uint32_t len, void*) {
  volatile uint8_t sink = static_cast<uint8_t>(alarmer[QX_DVR_ALARMER_SIZE - 1] + info[len - 1]);
  (void)sink;
}
void onData(int32_t, uint32_t, uint8_t* data, uint32_t len, void*) {
  volatile uint8_t sink = len ? data[len - 1] : 0;
  (void)sink;
}
void onException(uint32_t, int32_t, intptr_t, void*) {}

void setUpOnce() {
  static bool done = false;
  if (done) return;
  done = true;
  QX_DVR_Init();
  QX_DVR_SetDVRMessageCallBack(onAlarm, nullptr);
  QX_DVR_SetExceptionCallBack(0, 0, onException, nullptr);
  SPlay_GetPort2(&g_port);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  setUpOnce();
  if (size < 2) return 0;
  const uint8_t flags = data[0];
  const size_t step = 1 + data[1] % 64 * 97;  // reads of varied sizes, some cutting headers
  data += 2;
  size -= 2;

  SPlay_OpenStream(g_port, nullptr, 0, 1 << 16);
  auto conn = DvrConnection::createDetached(0);
  Library& lib = library();
  {
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    lib.logins[0].inUse = true;
    lib.logins[0].conn = conn;
    lib.logins[0].streams[0].live = onData;
    lib.logins[0].streams[1].playback = onData;
  }
  // Slots 0..7 busy in the ways the exports leave them.
  for (int i = 0; i < 8; ++i) {
    conn->allocSlot();
    conn->withSlot(i, [&](RequestSlot& s) {
      s.port = (flags & 1) ? g_port : 0;
      s.callbackOn = (flags >> 1) & 1;
      s.talk = (flags >> 2) & 1;
      s.writing = (flags >> 3) & 1;
      s.path = (flags >> 4) & 1 ? "/dev/null" : "";
      s.wakeOnFirst = (flags >> 5) & 1;
      s.lastCommand = static_cast<uint32_t>(i * 9 + (flags >> 6));
      s.replied = false;
    });
  }
  for (size_t at = 0; at < size; at += step) {
    const size_t n = size - at < step ? size - at : step;
    if (!conn->receiveBytes(data + at, n)) break;  // the connection is given up
  }
  {
    std::lock_guard<std::recursive_mutex> lock(lib.tableMutex);
    lib.logins[0] = LoginEntry{};
  }
  SPlay_CloseStream(g_port);
  return 0;
}
