#pragma once
// A recorder on 127.0.0.1 that speaks the recorder protocol: login, logout, live view with
// streamed clips, talk both ways, video parameters, alarm pushes on demand, a log of every
// request, and the faults a client must survive. Other codes are answered with status 200.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dvremu/services.h"
#include "dvremu/stream.h"
#include "dvremu/wire.h"

namespace dvremu {

struct Request {
  int connection = 0;  // in order of acceptance, from 1
  uint32_t command = 0;
  uint32_t handle = 0;
  uint32_t status = 0;
  std::vector<uint8_t> payload;
};

struct Options {
  std::string user = "admin";
  std::string password = "12345";
  std::string serial = "DVR-EMU-0001";
  std::array<uint8_t, 9> info = {4, 1, 1, 1, 4, 1, 0, 0, 0};  // the device's description bytes
  size_t chunk = 8192;      // live payload bytes per packet (at most 40,000)
  int maxClipLoops = 200;   // a live stream ends after this many runs through the clip
  bool pace = true;         // send frames at the clip's frame rate (scaled time)
};

class Emulator {
 public:
  explicit Emulator(Options options = {});
  ~Emulator();
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  bool start(uint16_t port = 0);  // 0: any free port
  uint16_t port() const;
  void stop();

  // LAN search: after start(), answers search probes on UDP 127.0.0.1:udpPort (0: any free
  // port) with the name (default "DVR-EMU-<port>"), the port, the channel count of the
  // device description and a MAC made from the port. False when the port cannot be bound.
  bool startDiscovery(uint16_t udpPort, const std::string& name = {});
  bool startDiscoveryOnSearchPort(const std::string& name = {});
  uint16_t discoveryPort() const;
  size_t discoveryProbes() const;  // search probes answered

  void setClip(const StreamClip& clip);
  // Files, logs, control, configuration and transfers of the recorder.
  Services& services();

  // What arrived so far, decoded.
  std::vector<Request> requests() const;
  std::vector<Request> requests(uint32_t command) const;
  // Waits (bounded, scaled) until `count` requests of the command arrived.
  bool waitForRequests(uint32_t command, size_t count, int productMs = 4000) const;
  int connections() const;
  int liveStreams() const;  // running now
  // Waits until at least `count` live packets went out on the handle.
  bool waitForLivePackets(uint32_t handle, uint64_t count, int productMs = 4000) const;

  // Behaviour.
  void refuse(uint32_t command, bool on);  // answer with status 300
  void silence(uint32_t command, bool on); // answer nothing
  // Replies to the command are held back until releaseHeld() sends them (late replies).
  void hold(uint32_t command, bool on);
  void releaseHeld();

  // On demand, on the connection that armed `handle` (the most recent connection when none
  // did); false when there is no connection.
  bool pushAlarm(uint32_t handle, const std::array<uint8_t, kAlarmRecordBytes>& record);
  // The alarm of `step` in a cycle of motion, video loss, disk, signal and mask alarms, to
  // every alarm handle armed and not disarmed, each on the connection that armed it; false
  // when nothing is armed.
  bool raiseCycledAlarm(int step);
  bool sendTalk(uint32_t handle, uint32_t value1, uint32_t value2, uint32_t counter,
                const std::vector<uint8_t>& audio);
  bool sendPacket(uint32_t command, uint32_t handle, uint32_t status,
                  const std::vector<uint8_t>& payload);
  bool sendRaw(const std::vector<uint8_t>& bytes);  // one write
  bool sendSplit(const std::vector<uint8_t>& bytes); // one write per byte
  void closeConnections();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The channel bits of cycle step `step` (see raiseCycledAlarm).
std::array<uint8_t, 16> cycledAlarmBits(int step);

// An alarm record of the wire: device fields and per channel (0..15) the alarm bits.
std::array<uint8_t, kAlarmRecordBytes> alarmRecord(const std::string& serial,
                                                   const std::string& name,
                                                   const std::string& ip,
                                                   const std::array<uint8_t, 16>& bits);

}  // namespace dvremu
