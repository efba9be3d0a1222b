// Arbitrary camera bytes into the client's channel-open reply, control reply and alarm
// message handling. The camera is an in-memory peer (a socket pair) that has written the
// bytes and closed its side, so every read ends instead of waiting.
//
// Input: byte 0 chooses the path (mod 3); the rest is what the camera sends. On the control
// path the camera answers each request with the next piece of the input: a length byte
// (times 4, so short, whole and over-long replies all occur) and that many bytes.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>

#include "Corvane/records.h"
#include "plat/clock.h"
#include "protocol/channel.h"
#include "protocol/exchange.h"
#include "session/alarm.h"
#include "session/cam_session.h"

namespace {

using namespace corvane;

void hook(int event, void* data, int, void* user) {
  // Touch the whole payload so a short buffer shows up under the sanitizer.
  if (event == kIpcEvAlarm && data) {
    const auto* p = static_cast<const uint8_t*>(data);
    unsigned sum = 0;
    for (size_t i = 0; i < kIpcMsgPayloadSize; ++i) sum += p[i];
    *static_cast<unsigned*>(user) += sum;
  }
}

// The in-memory camera of the control path: reads a request, sends the next piece.
void answerRequests(int fd, const uint8_t* data, size_t size) {
  size_t at = 0;
  uint8_t req[kIpcMsgSize];
  while (at < size) {
    if (plat::recvAll(fd, req, sizeof req, 100000) != sizeof req) break;
    const size_t len = std::min<size_t>(static_cast<size_t>(data[at]) * 4, size - at - 1);
    ++at;
    if (len > 0 && !plat::sendAll(fd, data + at, len, 100000)) break;
    at += len;
  }
  ::shutdown(fd, SHUT_WR);
}

IpcLoginInfo fuzzLogin() {
  IpcLoginInfo li{};
  std::strcpy(li.user, "admin");
  std::strcpy(li.password, "admin");
  return li;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 64 * 1024) return 0;
  plat::setTimeScale(0.0001);  // a 5 s reply wait becomes 1 ms
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return 0;
  plat::Socket peer(sv[1]);
  const int mode = data[0] % 3;
  std::thread camera;
  if (mode == 1) {
    camera = std::thread(answerRequests, peer.fd(), data + 1, size - 1);
  } else {
    if (!plat::sendAll(peer.fd(), data + 1, size - 1, 1000)) {
      ::close(sv[0]);
      return 0;
    }
    ::shutdown(peer.fd(), SHUT_WR);
  }

  CamSession s;
  s.login = fuzzLogin();
  unsigned sum = 0;
  s.hook = hook;
  s.hookUser = &sum;
  if (mode == 0) {
    plat::Socket mine(sv[0]);
    uint16_t code = 0;
    handshakeChannel(mine.fd(), kIpcChanVideo, 1, s.login, 1, plat::Deadline::after(5000), &code);
  } else if (mode == 1) {
    s.control = plat::Socket(sv[0]);
    uint8_t buf[kIpcAbilityParamSize];
    // Alternate the two reply rules until the replies run out.
    for (int i = 0; i < 16; ++i) {
      std::memset(buf, 0, sizeof buf);
      const bool ok = (i % 2 == 0)
                          ? GetParam(s, 0x0D03, 0, buf, sizeof buf, 0x0D04)
                          : SetParam(s, 0x0601, 0, buf, kIpcMotionParamSize, 0x0602, 5);
      (void)ok;
    }
    // Unblocks the camera's read when the client stopped asking before the input ran out.
    s.control.shutdownBoth();
    camera.join();
  } else {
    s.alarm = plat::Socket(sv[0]);
    for (int i = 0; i < 256; ++i) {
      AlarmRead r = ReadAlarmMessage(s, s.alarm.fd());
      if (r == AlarmRead::Ended || r == AlarmRead::Failed) break;
    }
  }
  return 0;
}
