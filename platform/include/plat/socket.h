#pragma once
// TCP helpers. Every wait is bounded. A thread blocked in a wait is woken by shutdown() of
// its socket or by its WakeFd; the socket is closed only after that thread has ended
// (closing under a blocked thread does not wake it on Linux, and the number is reused).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plat/deadline.h"

namespace plat {

enum class WaitResult { Ready, Timeout, Woken, Error };

// An eventfd a waiter polls beside its socket; signal() from any thread ends the wait.
class WakeFd {
 public:
  WakeFd();
  ~WakeFd();
  WakeFd(const WakeFd&) = delete;
  WakeFd& operator=(const WakeFd&) = delete;
  void signal();
  void clear();
  bool signalled() const;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// A TCP socket descriptor owned by value; closes on destruction.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket();
  Socket(Socket&& o) noexcept : fd_(o.release()) {}
  Socket& operator=(Socket&& o) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  int fd() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release();
  void close();
  // Ends both directions; a thread blocked on this socket sees end of stream. Safe from
  // any thread while another waits on the socket.
  void shutdownBoth();

 private:
  int fd_ = -1;
};

// Resolves host (dotted address or name) to an IPv4 address in network order; false when
// it cannot be resolved.
bool resolveIPv4(const std::string& host, uint32_t& addrNetOrder);
// Every IPv4 address the system resolver gives for host, as dotted text, in its order;
// empty when it gives none.
std::vector<std::string> resolveIPv4All(const std::string& host);

// Non-blocking connect with a time-out (product ms, scaled), then back to blocking mode
// with SIGPIPE suppressed on send. Invalid socket on failure; *error gets errno
// (ETIMEDOUT for the time-out) when given.
Socket connectTcp(const std::string& host, uint16_t port, int productMs, int* error = nullptr,
                  const WakeFd* wake = nullptr);

// Listening socket on 127.0.0.1, or on another loopback address of 127.0.0.0/8 given in host
// order (port 0 = ephemeral); *boundPort gets the port.
constexpr uint32_t kLoopbackAddress = 0x7F000001;
Socket listenLoopback(uint16_t port, uint16_t* boundPort, int backlog = 16, uint32_t address = kLoopbackAddress);
// Accepts with a time-out; invalid socket on time-out or wake.
Socket acceptTimeout(const Socket& listener, int productMs, const WakeFd* wake = nullptr);

WaitResult waitReadable(int fd, int productMs, const WakeFd* wake = nullptr);
WaitResult waitWritable(int fd, int productMs, const WakeFd* wake = nullptr);
WaitResult waitReadable(int fd, const Deadline& by, const WakeFd* wake = nullptr);

// Sends all bytes (looping over partial sends, no SIGPIPE); false on error or time-out.
bool sendAll(int fd, const void* data, size_t len, int productMs = 5000,
             const WakeFd* wake = nullptr);

// Receives exactly len bytes, waiting up to productMs (scaled) for each arrival; returns
// the bytes received (len on success; fewer on time-out, close, error or wake).
size_t recvAll(int fd, void* data, size_t len, int productMs, const WakeFd* wake = nullptr);

// The same with one deadline for the whole transfer, however the bytes trickle: a reply or a
// request ends by `by` (sendAll: false when not all went out by then).
size_t recvAll(int fd, void* data, size_t len, const Deadline& by, const WakeFd* wake = nullptr);
bool sendAll(int fd, const void* data, size_t len, const Deadline& by,
             const WakeFd* wake = nullptr);

// One receive of up to len bytes after waiting up to productMs; -1 error/closed, 0 time-out.
long recvSome(int fd, void* data, size_t len, int productMs, const WakeFd* wake = nullptr);

// Reads and discards whatever is already waiting (zero time-out poll); returns the count.
size_t drain(int fd);

// Local/peer address text "a.b.c.d".
std::string peerAddress(int fd);

}  // namespace plat
