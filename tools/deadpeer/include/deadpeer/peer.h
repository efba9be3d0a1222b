#pragma once
// A peer on 127.0.0.1 that accepts every connection and then misbehaves as a dead or dying
// device does, for measuring what a client does meanwhile:
//
//   deadpeer::Options o;
//   o.device = deadpeer::Device::Camera;   // how requests are framed and answered
//   o.mode = deadpeer::Mode::Trickle;      // one byte of the reply every intervalMs
//   o.intervalMs = 250;
//   o.answerFirst = 1;                     // each connection's first request (a channel
//   deadpeer::Peer peer(o);                //   open, a login) is answered as the device would
//   peer.start();                          // port 0: a free port
//   ... connect to 127.0.0.1:peer.port() ...
//   peer.stop();                           // or the destructor: every connection is closed
//
// Each connection reads requests one by one (a camera's 544-byte messages; a recorder's 20-byte
// header and its payload). The first `answerFirst` of them get the device's own answer; every
// later one gets the mode's: nothing (Silent), the answer one byte every intervalMs (Trickle),
// a part of it and then nothing more on that connection (CutShort), or an answer whose code is
// not the one asked for (WrongCode). Times are real milliseconds: the product's time scale of
// a test process does not touch them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace deadpeer {

using Bytes = std::vector<uint8_t>;

enum class Device { Camera, Recorder };
enum class Mode { Silent, Trickle, CutShort, WrongCode };

struct Options {
  Device device = Device::Camera;
  Mode mode = Mode::Silent;
  int intervalMs = 250;  // Trickle: between two bytes
  int answerFirst = 0;   // requests of each connection answered whole first
  // Trickle and CutShort: these bytes as they are, in place of the device's answer (by
  // default Trickle sends the whole answer and CutShort its first half).
  Bytes bytes;
};

// "silent", "trickle", "cut-short", "wrong-code"; "camera", "recorder". False when unknown.
bool parseMode(const std::string& text, Mode* mode);
bool parseDevice(const std::string& text, Device* device);

class Peer {
 public:
  explicit Peer(Options options);
  ~Peer();  // stop()
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  // Listens on address:port (port 0: a free one), the address one of 127.0.0.0/8 (several
  // peers can stand for devices at addresses of their own); false when it cannot.
  bool start(uint16_t port = 0, const std::string& address = "127.0.0.1");
  uint16_t port() const;
  // Closes the listener and every connection and waits for their threads; a client waiting
  // on one sees the connection end.
  void stop();

  int connections() const;  // accepted so far
  int requests() const;     // requests read so far, all connections

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace deadpeer
