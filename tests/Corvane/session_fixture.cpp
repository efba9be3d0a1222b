#include "session_fixture.h"

#include "plat/socket.h"

namespace cvtest {

uint16_t deadPort() {
  uint16_t port = 0;
  plat::Socket s = plat::listenLoopback(0, &port);
  s.close();
  return port;
}

}  // namespace cvtest
