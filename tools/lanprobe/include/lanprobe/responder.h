#pragma once
// Answers LAN search probes for one emulated device on UDP 127.0.0.1. A probe is 16 bytes
// ("FLKP", version 1, a nonce); the answer 160 bytes ("FLKA", the nonce, the device's
// service port, channel count, device type, address, MAC and name). See docs/protocols.md.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace lanprobe {

// The fixed search port and the ports after it that devices on one machine take in turn.
constexpr uint16_t kSearchPort = 28288;
constexpr int kSearchPorts = 8;

struct Identity {
  std::string name;              // narrow text (GBK), at most 63 bytes are sent
  std::string address = "127.0.0.1";
  uint16_t port = 0;             // the device's service port
  int channels = 1;
  int deviceType = 0;            // the family's device type (1 DVR, 2 IP camera, 4 NVR; 0 not said)
  std::string mac;               // "00:1A:..." text, at most 23 bytes are sent
};

// A MAC text made from a seed (the emulators use their service port), "02:54:57:xx:xx:xx".
std::string MacFor(uint32_t seed);

class Responder {
 public:
  Responder();
  ~Responder();  // stops
  Responder(const Responder&) = delete;
  Responder& operator=(const Responder&) = delete;

  // Binds 127.0.0.1:udpPort (0: any free port) and answers until stop().
  bool start(const Identity& identity, uint16_t udpPort);
  // The same on the first free port of the search ports.
  bool startOnSearchPort(const Identity& identity);
  void stop();
  uint16_t port() const;
  size_t probes() const;  // well-formed probes answered so far

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace lanprobe
