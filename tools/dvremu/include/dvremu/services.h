#pragma once
// What the emulated recorder keeps besides live view and talk: recorded files (information,
// search in batches, playback and download streams), the device log, alarm outputs, cruise
// records (changed by the cruise requests), configuration records per code and channel with
// defaults (the decoder record's preset flags changed by the preset requests), configuration
// export, import and firmware upgrade. Every request is answered from here; the emulator sends the
// packets it is given in order.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dvremu {

// Command codes served here.
enum : uint32_t {
  kReplay = 5, kReplayStop = 7, kDownload = 8, kDownloadStop = 9, kFileInfo = 13, kFileFind = 14,
  kFileFindNext = 15, kFileFindClose = 16, kPtzControl = 18, kPtzPreset = 19, kPtzCruise = 20,
  kPtzTrack = 21, kFormatDisk = 22, kReboot = 23, kShutdown = 24, kGetAlarmOut = 27,
  kSetAlarmOut = 28, kStartManRec = 29, kStopManRec = 30, kRestoreConfig = 31, kQueryLog = 32,
  kGetNextLog = 33, kCloseLog = 34, kSetAlarm = 35, kStopAlarm = 36, kFirstConfig = 38,
  kLastConfig = 71, kGetPtzCruise = 72, kExportCfg = 74, kImportCfg = 75, kUpdateDev = 76,
};

constexpr size_t kFileRecordBytes = 100;
constexpr size_t kLogBlockBytes = 4420;
constexpr size_t kLogRecordAt = 92;
constexpr size_t kFindBatchMax = 40;
constexpr size_t kTransferHeaderBytes = 264;
constexpr size_t kTransferChunkBytes = 20480;
constexpr size_t kAlarmOutBytes = 96;
constexpr size_t kCruiseBytes = 128;

using Time6 = std::array<uint32_t, 6>;  // year, month, day, hour, minute, second

struct RecordedFile {
  std::string name;       // at most 32 chars on the wire
  uint32_t channel = 1;   // 1..16
  uint32_t type = 0;      // 0 scheduled, 1 motion, 2 alarm, 6 manual
  Time6 start{}, end{};
  std::vector<uint8_t> data;  // the stream after its 16-byte header
};

struct LogEntry {
  Time6 time{};           // calendar time (year 2012, month 1..12)
  uint32_t major = 1;     // the device's major code
  uint32_t minorBit = 0;  // the device's minor bit
  std::string text;
};

struct Transfer {
  uint32_t command = 0;   // 75 import, 76 upgrade
  std::string name;       // name or path from the header
  uint32_t size = 0;      // declared in the header
  std::vector<uint8_t> bytes;
  size_t chunks = 0;      // chunk packets, the empty one included
  bool complete = false;  // a chunk shorter than 20,480 bytes ended it
};

struct Outgoing {
  uint32_t command = 0;
  uint32_t status = 200;
  std::vector<uint8_t> payload;
};

class Services {
 public:
  Services();
  ~Services();

  // Files and their search.
  void addFile(const RecordedFile& file);
  void setFindBatch(size_t records);  // 1..40, 40 by default
  void setStreamHeader(const std::vector<uint8_t>& header);  // 16 bytes
  void setStreamChunk(size_t bytes);  // playback and download payload per packet
  // The log.
  void addLog(const LogEntry& entry);
  // The exported configuration file.
  void setExportFile(const std::string& name, const std::vector<uint8_t>& bytes);
  std::vector<Transfer> transfers() const;
  // Configuration records as the device keeps them (wire layout), by read code and channel.
  std::vector<uint8_t> configRecord(uint32_t getCode, uint32_t channel) const;
  void setConfigRecord(uint32_t getCode, uint32_t channel, const std::vector<uint8_t>& record);
  // Called after a client's configuration write was stored, with the read code, the channel
  // word and the record as now kept, on the connection's thread with no lock held (before
  // the reply goes out).
  using ConfigStored =
      std::function<void(uint32_t getCode, uint32_t channel, const std::vector<uint8_t>& record)>;
  void onConfigStored(ConfigStored hook);
  std::array<uint8_t, kAlarmOutBytes> alarmOut() const;
  void setCruise(uint32_t channel, uint32_t route, const std::array<uint8_t, kCruiseBytes>& c);
  // Requests of a configuration code (read or write code) for one channel as the records
  // are kept (-1: every channel) are answered with status 300 while on.
  void failConfig(uint32_t code, int channel, bool on);
  // Requests of the command after the first `count` are answered with status 300.
  void failAfter(uint32_t command, size_t count);

  // Answers a request of a code served here (false: not one of them).
  bool handle(int connection, uint32_t command, uint32_t handle,
              const std::vector<uint8_t>& payload, bool refuse, std::vector<Outgoing>& out);

 private:
  bool handleLocked(int connection, uint32_t command, uint32_t handle,
                    const std::vector<uint8_t>& payload, bool refuse, std::vector<Outgoing>& out);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Whether a request's payload has the length the protocol gives its command (codes whose
// payload varies, or that no client sends, pass).
bool requestLengthOk(uint32_t command, size_t length);

// The wire size and channel use of a configuration read code; 0 for a code that is none.
size_t configRecordSize(uint32_t getCode);
// Whether the records of a configuration code are kept per channel word.
bool configPerChannel(uint32_t code);
// The read code a write code stores into, 0 for none.
uint32_t configGetCodeOf(uint32_t setCode);

}  // namespace dvremu
