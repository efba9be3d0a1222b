#include "plat/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "plat/clock.h"

namespace plat {

WakeFd::WakeFd() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
WakeFd::~WakeFd() {
  if (fd_ >= 0) ::close(fd_);
}
void WakeFd::signal() {
  uint64_t one = 1;
  ssize_t r = ::write(fd_, &one, sizeof one);
  (void)r;
}
void WakeFd::clear() {
  uint64_t v;
  while (::read(fd_, &v, sizeof v) > 0) {
  }
}
bool WakeFd::signalled() const {
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

Socket::~Socket() { close(); }
Socket& Socket::operator=(Socket&& o) noexcept {
  if (this != &o) {
    close();
    fd_ = o.release();
  }
  return *this;
}
int Socket::release() {
  int f = fd_;
  fd_ = -1;
  return f;
}
void Socket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}
void Socket::shutdownBoth() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

namespace {

// Waits until `at` (monotonic ms; -1: without limit).
WaitResult waitUntil(int fd, short events, int64_t at, const WakeFd* wake) {
  if (fd < 0) return WaitResult::Error;
  pollfd p[2] = {{fd, events, 0}, {wake ? wake->fd() : -1, POLLIN, 0}};
  const int n = wake ? 2 : 1;
  for (;;) {
    int left = -1;
    if (at >= 0) {
      int64_t l = at - monotonicMs();
      left = l < 0 ? 0 : l > 0x7fffffff ? 0x7fffffff : static_cast<int>(l);
    }
    int r = ::poll(p, n, left);
    if (r < 0) {
      if (errno == EINTR) continue;
      return WaitResult::Error;
    }
    if (r == 0) return WaitResult::Timeout;
    if (n == 2 && (p[1].revents & POLLIN)) return WaitResult::Woken;
    if (p[0].revents & (events | POLLHUP | POLLERR)) return WaitResult::Ready;
    if (p[0].revents & POLLNVAL) return WaitResult::Error;
  }
}

// When a wait of productMs begun now ends (-1: never).
int64_t waitEnd(int productMs) { return productMs < 0 ? -1 : monotonicMs() + scaled(productMs); }

WaitResult waitFor(int fd, short events, int productMs, const WakeFd* wake) {
  return waitUntil(fd, events, waitEnd(productMs), wake);
}

// The transfer loops: every wait for the socket ends at nextEnd() (a wait of its own per
// arrival, or one deadline for the whole). What is already there is taken even once that has
// passed: only the waits end.
template <typename NextEnd>
size_t recvUntil(int fd, void* data, size_t len, NextEnd nextEnd, const WakeFd* wake) {
  char* p = static_cast<char*>(data);
  size_t got = 0;
  while (got < len) {
    const ssize_t n = ::recv(fd, p + got, len - got, MSG_DONTWAIT);
    if (n > 0) {
      got += static_cast<size_t>(n);
      continue;
    }
    if (n == 0) break;  // peer closed
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) break;
    if (waitUntil(fd, POLLIN, nextEnd(), wake) != WaitResult::Ready) break;
  }
  return got;
}

template <typename NextEnd>
bool sendUntil(int fd, const void* data, size_t len, NextEnd nextEnd, const WakeFd* wake) {
  const char* p = static_cast<const char*>(data);
  while (len > 0) {
    const ssize_t n = ::send(fd, p, len, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      p += n;
      len -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (waitUntil(fd, POLLOUT, nextEnd(), wake) != WaitResult::Ready) return false;
      continue;
    }
    return false;
  }
  return true;
}

void setBlocking(int fd, bool blocking) {
  int fl = fcntl(fd, F_GETFL, 0);
  fcntl(fd, F_SETFL, blocking ? (fl & ~O_NONBLOCK) : (fl | O_NONBLOCK));
}

}  // namespace

bool resolveIPv4(const std::string& host, uint32_t& addr) {
  in_addr a{};
  if (inet_pton(AF_INET, host.c_str(), &a) == 1) {
    addr = a.s_addr;
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) return false;
  addr = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
  freeaddrinfo(res);
  return true;
}

std::vector<std::string> resolveIPv4All(const std::string& host) {
  std::vector<std::string> out;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0) return out;
  for (addrinfo* a = res; a; a = a->ai_next) {
    char text[INET_ADDRSTRLEN] = {};
    const auto* sin = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
    if (inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text)) out.emplace_back(text);
  }
  freeaddrinfo(res);
  return out;
}

Socket connectTcp(const std::string& host, uint16_t port, int productMs, int* error,
                  const WakeFd* wake) {
  auto fail = [&](int e) {
    if (error) *error = e;
    return Socket();
  };
  uint32_t addr = 0;
  if (!resolveIPv4(host, addr)) return fail(EHOSTUNREACH);
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s.valid()) return fail(errno);
  setBlocking(s.fd(), false);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = addr;
  int r = ::connect(s.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
  if (r != 0) {
    if (errno != EINPROGRESS) return fail(errno);
    WaitResult w = waitFor(s.fd(), POLLOUT, productMs, wake);
    if (w == WaitResult::Timeout) return fail(ETIMEDOUT);
    if (w != WaitResult::Ready) return fail(w == WaitResult::Woken ? ECANCELED : EIO);
    int soerr = 0;
    socklen_t len = sizeof soerr;
    getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &soerr, &len);
    if (soerr != 0) return fail(soerr);
  }
  setBlocking(s.fd(), true);
  int one = 1;
  setsockopt(s.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (error) *error = 0;
  return s;
}

Socket listenLoopback(uint16_t port, uint16_t* boundPort, int backlog, uint32_t address) {
  // Nothing but the loopback network is ever listened on.
  if ((address >> 24) != 127) return Socket();
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s.valid()) return s;
  int one = 1;
  setsockopt(s.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = htonl(address);
  if (::bind(s.fd(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return Socket();
  if (::listen(s.fd(), backlog) != 0) return Socket();
  socklen_t len = sizeof sa;
  getsockname(s.fd(), reinterpret_cast<sockaddr*>(&sa), &len);
  if (boundPort) *boundPort = ntohs(sa.sin_port);
  return s;
}

Socket acceptTimeout(const Socket& listener, int productMs, const WakeFd* wake) {
  if (waitFor(listener.fd(), POLLIN, productMs, wake) != WaitResult::Ready) return Socket();
  Socket c(::accept4(listener.fd(), nullptr, nullptr, SOCK_CLOEXEC));
  if (c.valid()) {
    int one = 1;
    setsockopt(c.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  return c;
}

WaitResult waitReadable(int fd, int productMs, const WakeFd* wake) {
  return waitFor(fd, POLLIN, productMs, wake);
}
WaitResult waitWritable(int fd, int productMs, const WakeFd* wake) {
  return waitFor(fd, POLLOUT, productMs, wake);
}

WaitResult waitReadable(int fd, const Deadline& by, const WakeFd* wake) {
  return waitUntil(fd, POLLIN, by.at(), wake);
}

bool sendAll(int fd, const void* data, size_t len, int productMs, const WakeFd* wake) {
  return sendUntil(fd, data, len, [&] { return waitEnd(productMs); }, wake);
}

size_t recvAll(int fd, void* data, size_t len, int productMs, const WakeFd* wake) {
  return recvUntil(fd, data, len, [&] { return waitEnd(productMs); }, wake);
}

size_t recvAll(int fd, void* data, size_t len, const Deadline& by, const WakeFd* wake) {
  return recvUntil(fd, data, len, [&] { return by.at(); }, wake);
}

bool sendAll(int fd, const void* data, size_t len, const Deadline& by, const WakeFd* wake) {
  return sendUntil(fd, data, len, [&] { return by.at(); }, wake);
}

long recvSome(int fd, void* data, size_t len, int productMs, const WakeFd* wake) {
  for (;;) {
    ssize_t n = ::recv(fd, data, len, MSG_DONTWAIT);
    if (n > 0) return n;
    if (n == 0) return -1;  // peer closed
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    WaitResult w = waitFor(fd, POLLIN, productMs, wake);
    if (w == WaitResult::Timeout) return 0;
    if (w != WaitResult::Ready) return -1;
  }
}

size_t drain(int fd) {
  char buf[4096];
  size_t total = 0;
  for (;;) {
    ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n > 0) {
      total += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  return total;
}

std::string peerAddress(int fd) {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return {};
  char buf[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &sa.sin_addr, buf, sizeof buf);
  return buf;
}

}  // namespace plat
