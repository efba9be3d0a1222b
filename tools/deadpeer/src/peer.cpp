#include "deadpeer/peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <list>
#include <mutex>
#include <thread>

#include "deadpeer/replies.h"

namespace deadpeer {

namespace {

// Waits for `fd` to be ready for `events`, or for the stop; timeoutMs -1 without limit.
// True when ready.
bool waitReady(int fd, short events, int stopFd, int timeoutMs) {
  pollfd p[2] = {{fd, events, 0}, {stopFd, POLLIN, 0}};
  for (;;) {
    const int r = ::poll(p, 2, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0 || (p[1].revents & POLLIN)) return false;
    return (p[0].revents & (events | POLLHUP | POLLERR)) != 0;
  }
}

// Pauses intervalMs; false when the stop came meanwhile.
bool pause(int stopFd, int intervalMs) {
  pollfd p{stopFd, POLLIN, 0};
  for (;;) {
    const int r = ::poll(&p, 1, intervalMs);
    if (r < 0 && errno == EINTR) continue;
    return r == 0;
  }
}

bool readFull(int fd, uint8_t* to, size_t n, int stopFd) {
  while (n > 0) {
    if (!waitReady(fd, POLLIN, stopFd, -1)) return false;
    const ssize_t r = ::recv(fd, to, n, MSG_DONTWAIT);
    if (r < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (r <= 0) return false;
    to += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool sendFull(int fd, const uint8_t* from, size_t n, int stopFd) {
  while (n > 0) {
    const ssize_t r = ::send(fd, from, n, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!waitReady(fd, POLLOUT, stopFd, -1)) return false;
      continue;
    }
    if (r <= 0) return false;
    from += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

}  // namespace

struct Peer::Impl {
  Options options;
  int listener = -1;
  int stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  uint16_t port = 0;
  std::thread acceptor;
  // One per accepted connection; its socket is closed, under the mutex, by its own thread
  // when it ends, so a stop never shuts a number down that was closed and taken again.
  struct Connection {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> ended{false};
  };
  std::mutex mutex;
  std::list<std::unique_ptr<Connection>> connectionsOpen;
  std::atomic<int> connections{0}, requests{0};
  bool stopped = false;

  bool readRequest(int fd, Bytes& request) {
    const Device d = options.device;
    request.assign(headBytes(d), 0);
    if (!readFull(fd, request.data(), request.size(), stopFd)) return false;
    const size_t size = requestSize(d, request.data());
    if (size < request.size()) return false;  // not the protocol: given up, as a device would
    const size_t head = request.size();
    request.resize(size);
    return readFull(fd, request.data() + head, size - head, stopFd);
  }

  bool trickle(int fd, const Bytes& bytes) {
    for (uint8_t b : bytes) {
      if (!sendFull(fd, &b, 1, stopFd) || !pause(stopFd, options.intervalMs)) return false;
    }
    return true;
  }

  void serve(Connection& c) {
    const int fd = c.fd;
    Bytes request;
    bool mute = false;  // after a reply cut short nothing more is said
    for (int n = 0; readRequest(fd, request); ++n) {
      ++requests;
      if (mute) continue;
      if (n < options.answerFirst) {
        const Bytes a = deviceAnswer(options.device, request);
        if (!sendFull(fd, a.data(), a.size(), stopFd)) break;
        continue;
      }
      bool ok = true;
      switch (options.mode) {
        case Mode::Silent:
          break;
        case Mode::Trickle:
          ok = trickle(fd, options.bytes.empty() ? deviceAnswer(options.device, request)
                                                 : options.bytes);
          break;
        case Mode::CutShort: {
          Bytes part = options.bytes;
          if (part.empty()) {
            part = deviceAnswer(options.device, request);
            part.resize(part.size() / 2);
          }
          ok = sendFull(fd, part.data(), part.size(), stopFd);
          mute = true;
          break;
        }
        case Mode::WrongCode: {
          const Bytes a = wrongCodeAnswer(options.device, request);
          ok = sendFull(fd, a.data(), a.size(), stopFd);
          break;
        }
      }
      if (!ok) break;
    }
    std::lock_guard<std::mutex> lock(mutex);
    ::close(c.fd);
    c.fd = -1;
    c.ended = true;
  }

  // Joins the threads of connections that have ended (a long-running peer keeps no more
  // than the connections still open).
  void reapEnded() {
    std::list<std::unique_ptr<Connection>> ended;
    {
      std::lock_guard<std::mutex> lock(mutex);
      for (auto it = connectionsOpen.begin(); it != connectionsOpen.end();) {
        auto next = std::next(it);
        if ((*it)->ended) ended.splice(ended.end(), connectionsOpen, it);
        it = next;
      }
    }
    for (auto& c : ended) c->thread.join();
  }

  void acceptAll() {
    for (;;) {
      if (!waitReady(listener, POLLIN, stopFd, -1)) return;
      const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) {
        if (errno == EINTR || errno == EAGAIN || errno == ECONNABORTED) continue;
        return;
      }
      int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      ++connections;
      reapEnded();
      std::lock_guard<std::mutex> lock(mutex);
      auto c = std::make_unique<Connection>();
      c->fd = fd;
      Connection* raw = c.get();
      connectionsOpen.push_back(std::move(c));
      raw->thread = std::thread([this, raw] { serve(*raw); });
    }
  }
};

Peer::Peer(Options options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  if (impl_->options.intervalMs < 0) impl_->options.intervalMs = 0;
}

Peer::~Peer() {
  stop();
  if (impl_->stopFd >= 0) ::close(impl_->stopFd);
}

bool Peer::start(uint16_t port, const std::string& address) {
  Impl& m = *impl_;
  if (m.listener >= 0 || m.stopped || m.stopFd < 0) return false;
  // Loopback only: a test's peers never listen where another machine could reach them.
  in_addr host{};
  if (::inet_pton(AF_INET, address.c_str(), &host) != 1 || (ntohl(host.s_addr) >> 24) != 127) return false;
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  int one = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr = host;
  socklen_t len = sizeof a;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s, 64) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    ::close(s);
    return false;
  }
  m.listener = s;
  m.port = ntohs(a.sin_port);
  m.acceptor = std::thread([&m] { m.acceptAll(); });
  return true;
}

uint16_t Peer::port() const { return impl_->port; }

void Peer::stop() {
  Impl& m = *impl_;
  if (m.stopped) return;
  m.stopped = true;
  const uint64_t one = 1;
  if (::write(m.stopFd, &one, sizeof one) < 0) {
    // The stop descriptor cannot fail to count one; the shutdowns below end the waits anyway.
  }
  if (m.listener >= 0) ::shutdown(m.listener, SHUT_RDWR);
  if (m.acceptor.joinable()) m.acceptor.join();
  std::list<std::unique_ptr<Impl::Connection>> all;
  {
    std::lock_guard<std::mutex> lock(m.mutex);
    for (auto& c : m.connectionsOpen)
      if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
    all.swap(m.connectionsOpen);
  }
  for (auto& c : all) c->thread.join();
  if (m.listener >= 0) ::close(m.listener);
  m.listener = -1;
}

int Peer::connections() const { return impl_->connections.load(); }
int Peer::requests() const { return impl_->requests.load(); }

}  // namespace deadpeer
