#include <poll.h>
#include <sys/socket.h>

#include "plat/clock.h"
#include "state.h"

namespace camemu {

namespace {
constexpr int kIdleWaitMs = 1000;   // a connection re-checks the stop flag this often
constexpr int kMessageWaitMs = 5000;
constexpr int kSplitPauseMs = 50;
}  // namespace

Request loggedRequest(uint16_t channel, const Bytes& m, bool open) {
  const Header h = Header::parse(m.data());
  Request r;
  r.open = open;
  r.channel = channel;
  r.code = h.code;
  r.argument = h.argument;
  r.length = h.length;
  r.option = h.option;
  r.payload.assign(m.begin() + kHeaderSize, m.end());
  return r;
}

bool Connection::write(const void* data, size_t n) {
  std::lock_guard<std::mutex> lk(writeMutex);
  return sock.valid() && plat::sendAll(sock.fd(), data, n, kMessageWaitMs);
}

void Camera::State::logRequest(Request r) {
  {
    std::lock_guard<std::mutex> lk(mutex);
    log.push_back(std::move(r));
  }
  changed.notify_all();
}

void Camera::State::noteReply() {
  {
    std::lock_guard<std::mutex> lk(mutex);
    ++replies;
  }
  changed.notify_all();
}

bool Camera::State::pause(int productMs) {
  return plat::waitReadable(wake.fd(), productMs) == plat::WaitResult::Timeout;
}

bool Camera::State::pauseUntil(std::chrono::steady_clock::time_point until) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
  if (left.count() <= 0) return !stopping.load();
  pollfd p{wake.fd(), POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(left.count())) == 0;
}

bool Camera::State::reply(Connection& c, uint16_t code, uint16_t status,
                          const std::vector<uint8_t>& payload, bool keepAlive) {
  int delay = 0;
  bool split = false;
  size_t stray = 0;
  {
    std::lock_guard<std::mutex> lk(mutex);
    if (faults.noReply || (keepAlive && faults.ignoreKeepAlive)) return true;
    // The one-shot faults are aimed at the test's own request, never at a keep-alive.
    if (!keepAlive) {
      if (faults.forcedPending) {
        if (faults.forcedCode >= 0) code = static_cast<uint16_t>(faults.forcedCode);
        if (faults.forcedStatus >= 0) status = static_cast<uint16_t>(faults.forcedStatus);
        faults.forcedPending = false;
      }
      delay = faults.delayNextMs;
      faults.delayNextMs = 0;
      split = faults.splitNext;
      faults.splitNext = false;
      stray = faults.strayAfterNext;
      faults.strayAfterNext = 0;
    }
  }
  if (delay > 0 && !pause(delay)) return false;
  const Bytes m = message(code, status, payload);
  bool ok;
  if (stray > 0) {
    // One write: the stray bytes are there before the client can send its next request.
    std::vector<uint8_t> both(m.begin(), m.end());
    for (size_t i = 0; i < stray; ++i) both.push_back(static_cast<uint8_t>(0xA5 ^ i));
    ok = c.write(both.data(), both.size());
  } else if (split) {
    ok = c.write(m.data(), kHeaderSize / 2) && pause(kSplitPauseMs) &&
         c.write(m.data() + kHeaderSize / 2, m.size() - kHeaderSize / 2);
  } else {
    ok = c.write(m.data(), m.size());
  }
  if (ok) noteReply();
  return ok;
}

bool Camera::State::readMessage(Connection& c, Bytes& m) {
  const int fd = c.sock.fd();
  // Idle connections (a quiet control channel) are fine: wait in slices until data or stop.
  for (;;) {
    if (stopping.load()) return false;
    plat::WaitResult w = plat::waitReadable(fd, kIdleWaitMs, &wake);
    if (w == plat::WaitResult::Ready) break;
    if (w != plat::WaitResult::Timeout) return false;
  }
  return plat::recvAll(fd, m.data(), m.size(), kMessageWaitMs, &wake) == m.size();
}

}  // namespace camemu
