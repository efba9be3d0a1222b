#include "dvremu/services.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <tuple>

#include "dvremu/wire.h"

namespace dvremu {

namespace {

constexpr size_t kDefaultChunk = 8192;
constexpr size_t kExportDefaultBytes = 50000;
constexpr uint32_t kOkStatus = 200, kFailStatus = 300;

// Wire file record offsets.
constexpr size_t kFileChannelAt = 0, kFileTypeAt = 4, kFileNameAt = 8, kFileNameChars = 32,
                 kFileStartAt = 40, kFileEndAt = 64, kFileMaskAt = 88, kFileSizeAt = 92;
// Log query offsets.
constexpr size_t kLogStartAt = 0, kLogEndAt = 24, kLogMajorAt = 72, kLogMinorAt = 76;
constexpr uint32_t kLogMajorAll = 16;

using Key = std::tuple<int, uint32_t>;  // connection, handle

uint32_t typeBit(uint32_t type) {
  switch (type) {
    case 0: return 2;
    case 1: return 4;
    case 2: return 8;
    case 6: return 1;
    default: return 0;
  }
}

void putTime(uint8_t* p, const Time6& t) {
  for (size_t i = 0; i < 6; ++i) put32(p + 4 * i, t[i]);
}
Time6 getTime(const uint8_t* p) {
  Time6 t{};
  for (size_t i = 0; i < 6; ++i) t[i] = get32(p + 4 * i);
  return t;
}

std::string text(const uint8_t* p, size_t n) {
  const char* c = reinterpret_cast<const char*>(p);
  return std::string(c, strnlen(c, n));
}

std::vector<uint8_t> fileRecord(const RecordedFile& f) {
  std::vector<uint8_t> r(kFileRecordBytes, 0);
  put32(&r[kFileChannelAt], f.channel - 1);
  put32(&r[kFileTypeAt], f.type);
  std::memcpy(&r[kFileNameAt], f.name.data(), std::min(f.name.size(), kFileNameChars));
  putTime(&r[kFileStartAt], f.start);
  putTime(&r[kFileEndAt], f.end);
  put32(&r[kFileMaskAt], typeBit(f.type));
  put32(&r[kFileSizeAt], static_cast<uint32_t>(f.data.size()));
  return r;
}

struct Cursor {
  std::vector<size_t> items;
  size_t next = 0;
};

struct ConfigCode {
  uint32_t get, set;
  size_t size;
  bool channel;
};
// The device's configuration records: read code, write code, wire size, kept per channel.
constexpr ConfigCode kConfigCodes[] = {
    {38, 39, 24, false},   {41, 40, 788, true},   {43, 42, 952, false},  {44, 45, 76, false},
    {46, 47, 84, false},   {48, 49, 176, false},  {50, 51, 168, false},  {52, 53, 4, false},
    {54, 55, 7336, true},  {56, 57, 524, true},   {58, 59, 28, true},    {60, 61, 4, false},
    {62, 63, 132, false},  {65, 64, 196, false},  {66, 67, 9504, false}, {68, 69, 572, true},
    {70, 71, 264, true},
};
constexpr uint32_t kPictureGet = 54;  // its read names the channel minus one
// The decoder record (read code 41) keeps a set-flag byte per preset 1..64 from byte 20.
constexpr uint32_t kDecoderGet = 41;
constexpr size_t kPresetFlagsAt = 20, kPresets = 64;
// PTZ request fields and the actions that change what the device keeps.
constexpr size_t kPtzChannelAt = 0, kPtzSpeedAt = 4, kPtzActionAt = 8, kPtzPresetAt = 12,
                 kPtzRouteAt = 16, kPtzPointAt = 20, kPtzDwellAt = 24;
constexpr uint32_t kPresetSet = 15, kPresetClear = 17;
constexpr uint32_t kCruisePreset = 30, kCruiseDwell = 31, kCruiseSpeed = 32, kCruiseClear = 33;
constexpr size_t kCruiseStopBytes = 4;  // preset, dwell, speed, reserved
constexpr uint32_t kTimeGet = 38, kNetworkGet = 43, kNtpGet = 44, kCompressionGet = 58, kDeviceGet = 62;
constexpr long kDeviceWritten = 44;  // the bytes of the device record a write carries
constexpr long kChannelWord = 4;     // a write's first word: the channel word, not a field

const ConfigCode* configCode(uint32_t code) {
  for (const ConfigCode& c : kConfigCodes)
    if (c.get == code || c.set == code) return &c;
  return nullptr;
}

std::vector<uint8_t> defaultRecord(const ConfigCode& c, uint32_t channel) {
  std::vector<uint8_t> r(c.size, 0);
  if (c.get == kTimeGet) {
    const uint32_t t[6] = {113, 1, 28, 12, 0, 0};  // 2013-02-28 12:00:00
    for (size_t i = 0; i < 6; ++i) put32(&r[4 * i], t[i]);
  } else if (c.get == kNetworkGet) {
    // A factory set-up on the loopback network: fixed address, no DHCP, no PPPoE.
    const auto text = [&r](size_t at, const char* s) { std::memcpy(&r[at], s, std::strlen(s)); };
    text(0, "127.0.0.1");           // address
    text(144, "255.0.0.0");         // mask
    put32(&r[288], 8000);           // device port
    text(292, "00:11:22:33:44:66");  // MAC address
    text(316, "127.0.0.254");       // gateway
    text(660, "127.0.0.1");         // DNS 1
    put32(&r[948], 80);             // HTTP port
  } else if (c.get == kPictureGet) {
    // The recorder SDK hands the first channel as word 1 (see above).
    if (channel > 0) {
      const std::string name = "Camera " + std::to_string(channel);
      std::memcpy(&r[4], name.data(), std::min<size_t>(name.size(), 31));
    }
  } else if (c.get == kNtpGet) {
    std::memcpy(&r[0], "127.0.0.1", 9);  // time server, switched off
    put32(&r[68], 123);                  // its port
  } else if (c.get == kCompressionGet) {
    // As a recorder leaves the factory: the main stream D1, variable rate up to 1536K at the
    // full frame rate; the sub-stream CIF, fixed 64K at 6 frames a second.
    const uint8_t main[4] = {0, 0, 0, 1}, sub[4] = {0, 3, 1, 2};  // type, resolution, rate type, quality
    std::memcpy(&r[4], main, 4);
    put32(&r[8], 21);
    put32(&r[12], 0);
    std::memcpy(&r[16], sub, 4);
    put32(&r[20], 4);
    put32(&r[24], 8);
  } else if (c.get == kDeviceGet) {
    put32(&r[0], 132);
    std::memcpy(&r[4], "DVR-EMU", 7);
    std::memcpy(&r[44], "DVR-EMU-0001", 12);  // serial number
    put32(&r[92], 0x00020001);  // software version 2.1
    put32(&r[96], 0x00120315);  // its build, 18-03-21
    put32(&r[108], 3);          // panel version
    put32(&r[112], 0x1010);     // hardware version
    r[116] = 4;  // alarm inputs
    r[117] = 2;  // alarm outputs
    r[122] = 1;  // disks
    r[123] = 1;  // a recorder
    r[124] = 4;  // channels
  }
  return r;
}

bool before(const Time6& a, const Time6& b) { return a < b; }

}  // namespace

bool requestLengthOk(uint32_t command, size_t length) {
  switch (command) {
    case 1: case 2: return length == 64;                       // user name and password
    case 3: case 4: return length == 12;                       // live-view record
    case kReplay: case kReplayStop: case kDownload: case kDownloadStop: case kFileInfo:
    case kFileFind: case kFileFindNext: case kFileFindClose:
      return length == kFileRecordBytes;
    case kPtzControl: case kPtzPreset: case kPtzCruise: case kPtzTrack: return length == 32;
    case 25: case 26: return length == 20;                     // video parameters
    case kFormatDisk: case kGetAlarmOut: case kStopManRec: return length == 4;
    case kSetAlarmOut: case kStartManRec: case kGetPtzCruise: return length == 8;
    case kQueryLog: case kGetNextLog: case kCloseLog: return length == kLogBlockBytes;
    case 10: case 11: case kReboot: case kShutdown: case kRestoreConfig: case kSetAlarm:
    case kStopAlarm: case kExportCfg:
      return length == 0;
    case 12: return length >= 12 && length <= 12 + 2036;     // three words and the audio
    case kImportCfg: case kUpdateDev: return length <= kTransferChunkBytes;  // header or chunk
    default:
      if (command >= kFirstConfig && command <= kLastConfig) {
        const ConfigCode* c = configCode(command);
        return c && length == 4 + c->size;  // code word and the whole record
      }
      return true;
  }
}

size_t configRecordSize(uint32_t getCode) {
  const ConfigCode* c = configCode(getCode);
  return c && c->get == getCode ? c->size : 0;
}

bool configPerChannel(uint32_t code) {
  const ConfigCode* c = configCode(code);
  return c && c->channel;
}

uint32_t configGetCodeOf(uint32_t setCode) {
  const ConfigCode* c = configCode(setCode);
  return c && c->set == setCode ? c->get : 0;
}

struct Services::Impl {
  mutable std::mutex mu;
  std::vector<RecordedFile> files;
  size_t batch = kFindBatchMax;
  std::vector<uint8_t> streamHeader = std::vector<uint8_t>(16, 0);
  size_t chunk = kDefaultChunk;
  std::vector<LogEntry> logs;
  std::string exportName = "config.bin";
  std::vector<uint8_t> exportBytes;
  std::vector<Transfer> transfers;
  std::map<std::tuple<int, uint32_t, uint32_t>, size_t> openTransfers;  // conn, handle, code
  std::map<std::pair<uint32_t, uint32_t>, std::vector<uint8_t>> config;
  std::array<uint8_t, kAlarmOutBytes> alarmOut{};
  std::map<std::pair<uint32_t, uint32_t>, std::array<uint8_t, kCruiseBytes>> cruises;
  std::map<uint32_t, size_t> failAfter, seen;
  std::set<std::pair<uint32_t, int>> configFaults;  // code, channel (-1 every channel)
  Services::ConfigStored configStored;
  // The record the request being handled stored: read code, channel word, record.
  std::optional<std::tuple<uint32_t, uint32_t, std::vector<uint8_t>>> stored;
  std::map<Key, Cursor> finds, logCursors;

  const RecordedFile* fileNamed(const std::string& name) const {
    for (const RecordedFile& f : files)
      if (f.name == name) return &f;
    return nullptr;
  }
  void stream(uint32_t code, const RecordedFile& f, std::vector<Outgoing>& out) const {
    out.push_back({6, kOkStatus, streamHeader});
    size_t at = 0;
    do {
      const size_t n = std::min(chunk, f.data.size() - at);
      out.push_back({code, kOkStatus, std::vector<uint8_t>(f.data.begin() + static_cast<long>(at),
                                                           f.data.begin() + static_cast<long>(at + n))});
      at += n;
    } while (at < f.data.size());
  }
  std::vector<uint8_t> recordFor(const ConfigCode& c, uint32_t channel) const {
    auto it = config.find({c.get, channel});
    return it != config.end() ? it->second : defaultRecord(c, channel);
  }
  std::array<uint8_t, kCruiseBytes> cruiseFor(uint32_t channel, uint32_t route) const {
    auto it = cruises.find({channel, route});
    if (it != cruises.end()) return it->second;
    std::array<uint8_t, kCruiseBytes> c{};
    c[0] = static_cast<uint8_t>(channel);
    c[1] = static_cast<uint8_t>(route);
    return c;
  }
  // What a PTZ request changes of the device's state: the presets set and the stops of
  // the cruise paths. Steering and going somewhere change nothing kept.
  void keepPtz(uint32_t cmd, const std::vector<uint8_t>& p);

  bool files_(int conn, uint32_t cmd, uint32_t handle, const std::vector<uint8_t>& p,
              std::vector<Outgoing>& out);
  bool logs_(int conn, uint32_t cmd, uint32_t handle, const std::vector<uint8_t>& p,
             std::vector<Outgoing>& out);
  bool control_(uint32_t cmd, const std::vector<uint8_t>& p, std::vector<Outgoing>& out);
  bool config_(uint32_t cmd, const std::vector<uint8_t>& p, std::vector<Outgoing>& out);
  bool transfer_(int conn, uint32_t cmd, uint32_t handle, const std::vector<uint8_t>& p,
                 std::vector<Outgoing>& out);
};

Services::Services() : impl_(std::make_unique<Impl>()) {
  impl_->exportBytes.resize(kExportDefaultBytes);
  for (size_t i = 0; i < kExportDefaultBytes; ++i)
    impl_->exportBytes[i] = static_cast<uint8_t>(i * 7 + 3);
}
Services::~Services() = default;

void Services::addFile(const RecordedFile& file) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->files.push_back(file);
}
void Services::setFindBatch(size_t records) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->batch = std::clamp<size_t>(records, 1, kFindBatchMax);
}
void Services::setStreamHeader(const std::vector<uint8_t>& header) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->streamHeader = header;
  impl_->streamHeader.resize(16, 0);
}
void Services::setStreamChunk(size_t bytes) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->chunk = std::clamp<size_t>(bytes, 1, 40000);
}
void Services::addLog(const LogEntry& entry) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->logs.push_back(entry);
}
void Services::setExportFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->exportName = name;
  impl_->exportBytes = bytes;
}
std::vector<Transfer> Services::transfers() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->transfers;
}
std::vector<uint8_t> Services::configRecord(uint32_t getCode, uint32_t channel) const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  const ConfigCode* c = configCode(getCode);
  return c ? impl_->recordFor(*c, c->channel ? channel : 0) : std::vector<uint8_t>{};
}
void Services::setConfigRecord(uint32_t getCode, uint32_t channel,
                               const std::vector<uint8_t>& record) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  const ConfigCode* c = configCode(getCode);
  if (!c) return;
  std::vector<uint8_t> r = record;
  r.resize(c->size, 0);
  impl_->config[{c->get, c->channel ? channel : 0}] = r;
}
std::array<uint8_t, kAlarmOutBytes> Services::alarmOut() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->alarmOut;
}
void Services::setCruise(uint32_t channel, uint32_t route,
                         const std::array<uint8_t, kCruiseBytes>& c) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->cruises[{channel, route}] = c;
}
void Services::onConfigStored(ConfigStored hook) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->configStored = std::move(hook);
}
void Services::failConfig(uint32_t code, int channel, bool on) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (on)
    impl_->configFaults.insert({code, channel});
  else
    impl_->configFaults.erase({code, channel});
}
void Services::failAfter(uint32_t command, size_t count) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->failAfter[command] = count;
  impl_->seen[command] = 0;
}

bool Services::handle(int connection, uint32_t command, uint32_t handle,
                      const std::vector<uint8_t>& payload, bool refuse,
                      std::vector<Outgoing>& out) {
  ConfigStored hook;
  std::optional<std::tuple<uint32_t, uint32_t, std::vector<uint8_t>>> stored;
  bool handled;
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    handled = handleLocked(connection, command, handle, payload, refuse, out);
    if (impl_->stored) {
      stored = std::move(impl_->stored);
      impl_->stored.reset();
      hook = impl_->configStored;
    }
  }
  if (stored && hook) hook(std::get<0>(*stored), std::get<1>(*stored), std::get<2>(*stored));
  return handled;
}

bool Services::handleLocked(int connection, uint32_t command, uint32_t handle,
                            const std::vector<uint8_t>& payload, bool refuse,
                            std::vector<Outgoing>& out) {
  const size_t seen = impl_->seen[command]++;
  auto limit = impl_->failAfter.find(command);
  if (limit != impl_->failAfter.end() && seen >= limit->second) refuse = true;
  if (refuse) {
    switch (command) {
      case kReplay: case kDownload: case kFileInfo: case kFileFind: case kFileFindNext:
      case kQueryLog: case kGetNextLog: case kGetAlarmOut: case kGetPtzCruise: case kExportCfg:
      case kImportCfg: case kUpdateDev:
        out.push_back({command, kFailStatus, {}});
        return true;
      default:
        if (command >= kFirstConfig && command <= kLastConfig) {
          out.push_back({command, kFailStatus, {}});
          return true;
        }
        return false;  // the emulator's own refusal
    }
  }
  return impl_->files_(connection, command, handle, payload, out) ||
         impl_->logs_(connection, command, handle, payload, out) ||
         impl_->control_(command, payload, out) || impl_->config_(command, payload, out) ||
         impl_->transfer_(connection, command, handle, payload, out);
}

bool Services::Impl::files_(int conn, uint32_t cmd, uint32_t handle,
                            const std::vector<uint8_t>& p, std::vector<Outgoing>& out) {
  const Key key{conn, handle};
  const bool full = p.size() >= kFileRecordBytes;
  switch (cmd) {
    case kFileInfo:
    case kReplay:
    case kDownload: {
      const RecordedFile* f = full ? fileNamed(text(&p[kFileNameAt], kFileNameChars)) : nullptr;
      if (!f) out.push_back({cmd, kFailStatus, {}});
      else if (cmd == kFileInfo) out.push_back({cmd, kOkStatus, fileRecord(*f)});
      else stream(cmd, *f, out);
      return true;
    }
    case kFileFind: {
      if (!full) {
        out.push_back({cmd, kFailStatus, {}});
        return true;
      }
      const uint32_t channel = get32(&p[0]) + 1, mask = get32(&p[kFileMaskAt]);
      const Time6 from = getTime(&p[kFileStartAt]), to = getTime(&p[kFileEndAt]);
      Cursor c;
      for (size_t i = 0; i < files.size(); ++i) {
        const RecordedFile& f = files[i];
        if (f.channel == channel && (typeBit(f.type) & mask) && !before(to, f.start) &&
            !before(f.end, from))
          c.items.push_back(i);
      }
      std::sort(c.items.begin(), c.items.end(),
                [&](size_t a, size_t b) { return before(files[a].start, files[b].start); });
      finds[key] = c;
      // The reply names the search; the client sends it back with every next batch.
      std::vector<uint8_t> r(kFileRecordBytes, 0);
      put32(&r[0], channel - 1);
      std::memcpy(&r[kFileStartAt], &p[kFileStartAt], 48);
      put32(&r[kFileMaskAt], mask);
      out.push_back({cmd, kOkStatus, r});
      return true;
    }
    case kFileFindNext: {
      auto it = finds.find(key);
      if (it == finds.end()) {
        out.push_back({cmd, kFailStatus, {}});
        return true;
      }
      Cursor& c = it->second;
      std::vector<uint8_t> r;
      for (size_t n = 0; n < batch && c.next < c.items.size(); ++n, ++c.next) {
        const auto rec = fileRecord(files[c.items[c.next]]);
        r.insert(r.end(), rec.begin(), rec.end());
      }
      out.push_back({cmd, kOkStatus, r});
      return true;
    }
    case kFileFindClose:
      finds.erase(key);
      out.push_back({cmd, kOkStatus, {}});
      return true;
    default:
      return false;
  }
}

bool Services::Impl::logs_(int conn, uint32_t cmd, uint32_t handle, const std::vector<uint8_t>& p,
                           std::vector<Outgoing>& out) {
  const Key key{conn, handle};
  if (cmd != kQueryLog && cmd != kGetNextLog && cmd != kCloseLog) return false;
  if (p.size() < kLogBlockBytes) {
    out.push_back({cmd, kFailStatus, {}});
    return true;
  }
  std::vector<uint8_t> block(p.begin(), p.begin() + kLogRecordAt);
  block.resize(kLogBlockBytes, 0);
  if (cmd == kQueryLog) {
    auto calendar = [&](size_t at) {
      Time6 t = getTime(&p[at]);
      t[0] += 1900;
      t[1] += 1;
      return t;
    };
    const Time6 from = calendar(kLogStartAt), to = calendar(kLogEndAt);
    const uint32_t major = get32(&p[kLogMajorAt]), minor = get32(&p[kLogMinorAt]);
    Cursor c;
    for (size_t i = 0; i < logs.size(); ++i) {
      const LogEntry& e = logs[i];
      if (before(e.time, from) || before(to, e.time)) continue;
      if (major != kLogMajorAll && e.major != major) continue;
      if (minor != 0 && (e.minorBit & minor) == 0) continue;
      c.items.push_back(i);
    }
    logCursors[key] = c;
    out.push_back({cmd, kOkStatus, block});
    return true;
  }
  if (cmd == kCloseLog) {
    logCursors.erase(key);
    out.push_back({cmd, kOkStatus, {}});
    return true;
  }
  auto it = logCursors.find(key);
  if (it == logCursors.end() || it->second.next >= it->second.items.size()) {
    out.push_back({cmd, kFailStatus, {}});
    return true;
  }
  const LogEntry& e = logs[it->second.items[it->second.next++]];
  uint8_t* r = &block[kLogRecordAt];
  Time6 t = e.time;
  t[0] -= 1900;
  t[1] -= 1;
  putTime(r, t);
  put32(r + 24, e.major);
  put32(r + 28, e.minorBit);
  std::memcpy(r + 32, e.text.data(), std::min<size_t>(e.text.size(), 128));
  out.push_back({cmd, kOkStatus, block});
  return true;
}

bool Services::Impl::control_(uint32_t cmd, const std::vector<uint8_t>& p,
                              std::vector<Outgoing>& out) {
  switch (cmd) {
    case kGetAlarmOut:
      out.push_back({cmd, kOkStatus, std::vector<uint8_t>(alarmOut.begin(), alarmOut.end())});
      return true;
    case kSetAlarmOut: {
      const bool ok = p.size() >= 8 && get32(&p[0]) < kAlarmOutBytes;
      if (ok) alarmOut[get32(&p[0])] = static_cast<uint8_t>(get32(&p[4]));
      out.push_back({cmd, ok ? kOkStatus : kFailStatus, {}});
      return true;
    }
    case kGetPtzCruise: {
      if (p.size() < 8) {
        out.push_back({cmd, kFailStatus, {}});
        return true;
      }
      const std::array<uint8_t, kCruiseBytes> c = cruiseFor(get32(&p[0]), get32(&p[4]));
      out.push_back({cmd, kOkStatus, std::vector<uint8_t>(c.begin(), c.end())});
      return true;
    }
    case kPtzPreset:
    case kPtzCruise:
      keepPtz(cmd, p);
      out.push_back({cmd, kOkStatus, {}});
      return true;
    case kRestoreConfig:
      config.clear();
      out.push_back({cmd, kOkStatus, {}});
      return true;
    case kExportCfg: {
      out.push_back({cmd, kOkStatus, std::vector<uint8_t>(exportName.begin(), exportName.end())});
      for (size_t at = 0; at < exportBytes.size(); at += kTransferChunkBytes) {
        const size_t n = std::min(kTransferChunkBytes, exportBytes.size() - at);
        out.push_back({cmd, kOkStatus,
                       std::vector<uint8_t>(exportBytes.begin() + static_cast<long>(at),
                                            exportBytes.begin() + static_cast<long>(at + n))});
      }
      return true;  // the stream has no end mark
    }
    default:
      return false;
  }
}

void Services::Impl::keepPtz(uint32_t cmd, const std::vector<uint8_t>& p) {
  if (p.size() < 32) return;
  const uint32_t channel = get32(&p[kPtzChannelAt]), action = get32(&p[kPtzActionAt]);
  if (cmd == kPtzPreset) {
    const uint32_t preset = get32(&p[kPtzPresetAt]);
    if ((action != kPresetSet && action != kPresetClear) || preset < 1 || preset > kPresets) return;
    std::vector<uint8_t> record = recordFor(*configCode(kDecoderGet), channel);
    record[kPresetFlagsAt + preset - 1] = action == kPresetSet ? 1 : 0;
    config[{kDecoderGet, channel}] = record;
    stored.emplace(kDecoderGet, channel, record);
    return;
  }
  // A stop is named by its index, but the clear request names it by its number.
  const uint32_t route = get32(&p[kPtzRouteAt]), point = get32(&p[kPtzPointAt]);
  const uint32_t stop = action == kCruiseClear ? point - 1 : point;
  if (stop >= kCruiseBytes / kCruiseStopBytes) return;
  std::array<uint8_t, kCruiseBytes> c = cruiseFor(channel, route);
  uint8_t* at = &c[stop * kCruiseStopBytes];
  switch (action) {
    case kCruisePreset: at[0] = static_cast<uint8_t>(get32(&p[kPtzPresetAt])); break;
    case kCruiseDwell: at[1] = static_cast<uint8_t>(get32(&p[kPtzDwellAt])); break;
    case kCruiseSpeed: at[2] = static_cast<uint8_t>(get32(&p[kPtzSpeedAt])); break;
    case kCruiseClear: std::fill(at, at + kCruiseStopBytes, uint8_t{0}); break;
    default: return;
  }
  cruises[{channel, route}] = c;
}

bool Services::Impl::config_(uint32_t cmd, const std::vector<uint8_t>& p,
                             std::vector<Outgoing>& out) {
  if (cmd < kFirstConfig || cmd > kLastConfig) return false;
  const ConfigCode* c = configCode(cmd);
  // A request starts with its own code word and carries the whole record.
  if (!c || p.size() != 4 + c->size || get32(p.data()) != cmd) {
    out.push_back({cmd, kFailStatus, {}});
    return true;
  }
  uint32_t channel = c->channel ? get32(&p[4]) : 0;
  if (cmd == kPictureGet) channel += 1;
  if (configFaults.count({cmd, -1}) || configFaults.count({cmd, static_cast<int>(channel)})) {
    out.push_back({cmd, kFailStatus, {}});
    return true;
  }
  if (cmd == c->get) {
    std::vector<uint8_t> r(4, 0);
    put32(r.data(), cmd);
    const auto rec = recordFor(*c, channel);
    r.insert(r.end(), rec.begin(), rec.end());
    out.push_back({cmd, kOkStatus, r});
  } else if (c->get == kDeviceGet) {
    // The device takes what its write carries (name, number and loop recording) and keeps
    // what it knows of itself: its record's size word (where the write carries the channel
    // word), counts, serial number, versions.
    std::vector<uint8_t> r = recordFor(*c, 0);
    std::copy(p.begin() + 4 + kChannelWord, p.begin() + 4 + kDeviceWritten, r.begin() + kChannelWord);
    config[{c->get, 0}] = r;
    stored.emplace(c->get, 0, r);
    out.push_back({cmd, kOkStatus, {}});
  } else {
    auto& r = config[{c->get, channel}];
    r.assign(p.begin() + 4, p.begin() + 4 + static_cast<long>(c->size));
    stored.emplace(c->get, channel, r);
    out.push_back({cmd, kOkStatus, {}});
  }
  return true;
}

bool Services::Impl::transfer_(int conn, uint32_t cmd, uint32_t handle,
                               const std::vector<uint8_t>& p, std::vector<Outgoing>& out) {
  if (cmd != kImportCfg && cmd != kUpdateDev) return false;
  const auto key = std::make_tuple(conn, handle, cmd);
  auto it = openTransfers.find(key);
  if (it == openTransfers.end()) {
    if (p.size() != kTransferHeaderBytes) {
      out.push_back({cmd, kFailStatus, {}});
      return true;
    }
    Transfer t;
    t.command = cmd;
    t.name = text(p.data(), 256);
    t.size = get32(&p[256]);
    transfers.push_back(t);
    openTransfers[key] = transfers.size() - 1;
  } else {
    Transfer& t = transfers[it->second];
    t.bytes.insert(t.bytes.end(), p.begin(), p.end());
    ++t.chunks;
    if (p.size() < kTransferChunkBytes) {
      t.complete = true;
      openTransfers.erase(it);
    }
  }
  out.push_back({cmd, kOkStatus, {}});
  return true;
}

}  // namespace dvremu
