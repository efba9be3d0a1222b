#pragma once
#include <chrono>
// The emulator's shared state: configuration, log, parameter store, fault switches and the
// list of live connections. One mutex guards it; connection threads never hold it while they
// wait on a socket.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "camemu/camera.h"
#include "plat/socket.h"
#include "wire.h"

namespace camemu {

struct Connection {
  uint16_t channel = 0;
  plat::Socket sock;
  std::mutex writeMutex;
  std::thread thread;
  std::atomic<bool> ready{false};  // the open reply went out: pushes may follow it
  std::atomic<bool> done{false};

  // Writes under the connection's write lock (handlers and pushes from test threads).
  bool write(const void* data, size_t n);
};

struct Faults {
  bool noReply = false;
  int delayNextMs = 0;
  bool splitNext = false;
  size_t strayAfterNext = 0;
  bool splitOpens = false;
  int forcedCode = -1;
  int forcedStatus = -1;
  bool forcedPending = false;
  bool ignoreKeepAlive = false;
  std::map<uint16_t, bool> refuse;
};

struct MediaState;  // the media channels' share (media_state.h)

struct Camera::State {
  Config config;
  uint16_t port = 0;
  plat::Socket listener;
  plat::WakeFd wake;  // signalled at stop: ends every wait
  std::atomic<bool> stopping{false};
  std::thread acceptThread;

  mutable std::mutex mutex;
  mutable std::condition_variable changed;  // any log, connection or reply change
  std::vector<Request> log;
  std::vector<std::shared_ptr<Connection>> connections;
  size_t replies = 0;
  Faults faults;
  std::map<uint16_t, std::vector<uint8_t>> records;  // by get code
  std::function<void(uint16_t, const std::vector<uint8_t>&)> recordStored;  // see Camera
  int reboots = 0;
  uint32_t firmwareAnnounced = 0;
  std::vector<uint8_t> firmware;
  size_t firmwareUploads = 0;
  std::shared_ptr<MediaState> media;  // made on first use

  void logRequest(Request r);
  void noteReply();
  // Sleeps a product duration unless the emulator stops; false when stopping.
  bool pause(int productMs);
  // Waits until `until` (real time); false when the emulator stops meanwhile.
  bool pauseUntil(std::chrono::steady_clock::time_point until);
  // Sends a reply applying the reply faults (no reply, late, forced code/status, split).
  bool reply(Connection& c, uint16_t code, uint16_t status, const std::vector<uint8_t>& payload,
             bool keepAlive = false);
  // Reads one whole 544-byte message; false on peer close, stop, or a message that does
  // not arrive whole within the wait.
  bool readMessage(Connection& c, Bytes& m);
};

// The log entry of a message that arrived on a channel (an open names its own channel).
Request loggedRequest(uint16_t channel, const Bytes& m, bool open = false);

// One handler per kind of channel; media channels add theirs here.
using ChannelHandler = void (*)(Camera::State& st, Connection& c, const Header& open);
ChannelHandler handlerFor(uint16_t channel);
// The media and file channels (null for a code that is not one).
ChannelHandler mediaHandlerFor(uint16_t channel);

void serveControl(Camera::State& st, Connection& c, const Header& open);
void serveAlarm(Camera::State& st, Connection& c, const Header& open);
void serveFirmware(Camera::State& st, Connection& c, const Header& open);

// The parameter table: for a request code, its record (get code), size and whether it sets.
struct ParamCommand {
  uint16_t getCode;
  size_t size;
  bool sets;
};
bool findParamCommand(uint16_t code, ParamCommand& out);
void fillDefaultRecords(std::map<uint16_t, std::vector<uint8_t>>& records);

}  // namespace camemu
