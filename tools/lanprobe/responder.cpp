#include "lanprobe/responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <thread>

#include "peerbytes/le.h"
#include "plat/socket.h"

namespace lanprobe {

namespace {

constexpr size_t kProbeBytes = 16;
constexpr size_t kAnswerBytes = 160;

using peerbytes::get16;
using peerbytes::get32;
using peerbytes::put16;
using peerbytes::put32;

// Copies text into a zero-filled field, leaving at least one terminating zero.
void putText(uint8_t* field, size_t size, const std::string& text) {
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

std::string MacFor(uint32_t seed) {
  char text[24];
  std::snprintf(text, sizeof text, "02:54:57:%02X:%02X:%02X", (seed >> 16) & 0xFF, (seed >> 8) & 0xFF,
                seed & 0xFF);
  return text;
}

struct Responder::State {
  Identity identity;
  int fd = -1;
  uint16_t port = 0;
  plat::WakeFd wake;
  std::thread thread;
  std::atomic<size_t> probes{0};

  void run() {
    uint8_t in[512];
    for (;;) {
      const plat::WaitResult r = plat::waitReadable(fd, 1000000000, &wake);
      if (r == plat::WaitResult::Woken || r == plat::WaitResult::Error) return;
      if (r != plat::WaitResult::Ready) continue;
      sockaddr_in from{};
      socklen_t fromLen = sizeof from;
      const ssize_t n = recvfrom(fd, in, sizeof in, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
      if (n != static_cast<ssize_t>(kProbeBytes) || std::memcmp(in, "FLKP", 4) != 0 || get16(in + 4) != 1)
        continue;
      uint8_t out[kAnswerBytes] = {};
      std::memcpy(out, "FLKA", 4);
      put16(out + 4, 1);
      put32(out + 8, get32(in + 8));
      put16(out + 12, identity.port);
      out[14] = static_cast<uint8_t>(identity.channels);
      out[15] = static_cast<uint8_t>(identity.deviceType);
      putText(out + 16, 48, identity.address);
      putText(out + 64, 24, identity.mac);
      putText(out + 88, 64, identity.name);
      sendto(fd, out, sizeof out, 0, reinterpret_cast<sockaddr*>(&from), fromLen);
      ++probes;
    }
  }
};

Responder::Responder() : state_(std::make_shared<State>()) {}

Responder::~Responder() { stop(); }

bool Responder::start(const Identity& identity, uint16_t udpPort) {
  if (state_->fd >= 0) return false;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(udpPort);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    return false;
  }
  state_->identity = identity;
  state_->fd = fd;
  state_->port = ntohs(addr.sin_port);
  state_->wake.clear();
  state_->thread = std::thread([s = state_] { s->run(); });
  return true;
}

bool Responder::startOnSearchPort(const Identity& identity) {
  for (int i = 0; i < kSearchPorts; ++i)
    if (start(identity, static_cast<uint16_t>(kSearchPort + i))) return true;
  return false;
}

void Responder::stop() {
  if (state_->fd < 0) return;
  state_->wake.signal();
  if (state_->thread.joinable()) state_->thread.join();
  ::close(state_->fd);
  state_->fd = -1;
}

uint16_t Responder::port() const { return state_->port; }

size_t Responder::probes() const { return state_->probes.load(); }

}  // namespace lanprobe
