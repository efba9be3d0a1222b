#pragma once
// An IP camera on 127.0.0.1 for tests and demos: one TCP connection per channel, each opened
// by a 544-byte channel-open request with user name and password; per-kind connection limits
// answered with the server-full code; a control channel with a parameter store; an alarm
// channel that pushes messages on demand; firmware upload. Fault switches let tests make it
// misbehave, and every request it receives is logged.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lanprobe/responder.h"
#include "plat/socket.h"

namespace camemu {

struct Config {
  uint16_t port = 0;  // 0: an ephemeral port
  // The loopback address it listens on (host order; 127.0.0.1 unless another of 127/8 is
  // chosen, so that two emulated devices on one machine have addresses of their own).
  uint32_t address = plat::kLoopbackAddress;
  std::string addressText() const {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
  }
  std::string user = "admin";
  std::string password = "admin";
  int controlLimit = 4;
  int alarmLimit = 4;
  int otherLimit = 4;  // every other kind of channel
  // What it says it is when searched for on the LAN: an IP camera (2, one channel) or an
  // NVR (4) of `channels` channels, which the camera protocol serves alike.
  int deviceType = 2;
  int channels = 1;
};
constexpr int kNvrDeviceType = 4;

// One logged request: a channel open (code = the channel code) or a control message.
struct Request {
  uint16_t channel = 0;  // the channel it arrived on (its own code for an open)
  uint16_t code = 0;
  uint16_t argument = 0;
  uint16_t length = 0;
  uint16_t option = 0;
  std::vector<uint8_t> payload;  // the 532 bytes after the header
  bool open = false;
};

class Media;

class Camera {
 public:
  explicit Camera(Config config = {});
  ~Camera();  // stops
  Camera(const Camera&) = delete;
  Camera& operator=(const Camera&) = delete;

  bool start();
  void stop();
  uint16_t port() const;

  // LAN search: after start(), answers search probes on UDP 127.0.0.1:udpPort (0: any free
  // port) with the name (default "IPCamera-EMU-<port>"), the port, one channel and a MAC
  // made from the port. False when the port cannot be bound.
  bool startDiscovery(uint16_t udpPort, const std::string& name = {});
  bool startDiscoveryOnSearchPort(const std::string& name = {});
  uint16_t discoveryPort() const { return discovery_.port(); }
  size_t discoveryProbes() const { return discovery_.probes(); }  // search probes answered

  // The log.
  std::vector<Request> requests() const;
  size_t opens(uint16_t channel) const;          // channel-open requests received
  size_t received(uint16_t code) const;          // control messages received
  int connections(uint16_t channel) const;       // open connections of the kind now
  size_t repliesSent() const;
  // Waits (bounded by realMs of real time) until pred() holds; false when it never did.
  bool waitUntil(const std::function<bool()>& pred, int realMs = 20000) const;

  // The parameter store, by the record's get code.
  std::vector<uint8_t> record(uint16_t getCode) const;
  void setRecord(uint16_t getCode, const std::vector<uint8_t>& bytes);
  // The get codes of every record kept.
  std::vector<uint16_t> recordCodes() const;
  // Called after a set request was stored, with the record as now kept, on the control
  // connection's thread with no emulator lock held (before the reply goes out).
  void onRecordStored(std::function<void(uint16_t getCode, const std::vector<uint8_t>& record)> hook);
  int reboots() const;

  // Alarm channel: writes one 544-byte message to every open alarm connection; the count.
  int pushAlarm(uint16_t code, uint16_t status, const std::vector<uint8_t>& payload);
  // The alarm of `step` in a cycle of channel (motion on channel 1), disk (disk 1) and
  // exception kinds: payload word 0 the kind (1, 2, 3), word 1 the channel or disk number.
  int raiseCycledAlarm(int step);

  // Firmware: the header's announced size and the bytes that arrived.
  uint32_t firmwareAnnounced() const;
  std::vector<uint8_t> firmwareReceived() const;
  size_t firmwareUploads() const;

  // Fault switches.
  void setNoReply(bool on);                       // control and firmware: never answer
  // The one-shot switches below act on the next request other than a keep-alive.
  void delayNextReply(int productMs);             // answer the next request late
  void splitNextReply();                          // next reply in two writes
  void splitOpenReplies(bool on);                 // channel-open replies in two writes
  void forceNextReply(int code, int status);      // -1 keeps the normal value
  void setIgnoreKeepAlive(bool on);               // keep-alives go unanswered
  void setRefuse(uint16_t channel, bool on);      // opens of the kind answered with status 0
  void strayAfterNextReply(size_t n);             // n junk bytes behind the next reply
  int drop(uint16_t channel);                     // ends every connection of the kind now

  struct State;

 private:
  friend class Media;
  lanprobe::Identity Identity(const std::string& name) const;
  std::shared_ptr<State> state_;
  lanprobe::Responder discovery_;
};

}  // namespace camemu
