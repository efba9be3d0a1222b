// The alarm channel: the camera only pushes; the handler watches for the client leaving.
#include "state.h"

namespace camemu {

void serveAlarm(Camera::State& st, Connection& c, const Header&) {
  uint8_t junk[256];
  // Ends when the client closes, the connection is dropped or the camera stops.
  while (!st.stopping.load()) {
    long n = plat::recvSome(c.sock.fd(), junk, sizeof junk, 1000, &st.wake);
    if (n < 0) break;
  }
}

}  // namespace camemu
