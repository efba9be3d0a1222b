// dvremu: a recorder on 127.0.0.1 for demos and manual tests.
//   dvremu --port N [--user U] [--password P] [--clip FILE] [--mpeg4] [--alarm-every SECONDS]
//          [--export-files DIR] [--search-port N] [--log FILE] [--state-dir DIR]
// --export-files: each recording as a download delivers it (stream header and data), written
// to DIR under its name. --search-port answers LAN search on that UDP port (0: any free port,
// printed) rather than on the first free fixed search port; --log appends every request
// received to FILE, one line each: "req <connection> <command> <handle> <status> <payload hex>";
// --state-dir keeps DIR/recorder-<code>-<channel>.bin, each configuration record as the
// recorder holds it (at start, then after every write a client makes).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "dvremu/emulator.h"
#include "emustate/state_dir.h"
#include "plat/clock.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

class RequestLog {
 public:
  explicit RequestLog(const std::string& path) : file_(path.empty() ? nullptr : std::fopen(path.c_str(), "a")) {}
  ~RequestLog() {
    if (file_) std::fclose(file_);
  }
  void append(const std::vector<dvremu::Request>& all) {
    if (!file_) return;
    for (; written_ < all.size(); ++written_) {
      const dvremu::Request& r = all[written_];
      std::fprintf(file_, "req %d %u %u %u ", r.connection, r.command, r.handle, r.status);
      for (uint8_t b : r.payload) std::fprintf(file_, "%02x", b);
      std::fputc('\n', file_);
    }
    std::fflush(file_);
  }

 private:
  std::FILE* file_;
  size_t written_ = 0;
};

// Channel words a client may name: 0 and the 16 channels of the protocol.
constexpr uint32_t kLastChannelWord = 16;

// Writes every configuration record the recorder holds into `dir`, and has every record a
// client writes written there again as stored.
bool keepStateIn(dvremu::Services& services, const std::string& dir) {
  for (uint32_t code = dvremu::kFirstConfig; code <= dvremu::kLastConfig; ++code) {
    if (dvremu::configGetCodeOf(code) != 0) continue;  // a write code
    if (dvremu::configRecordSize(code) == 0) continue;
    const uint32_t last = dvremu::configPerChannel(code) ? kLastChannelWord : 0;
    for (uint32_t channel = 0; channel <= last; ++channel) {
      if (!emustate::writeFile(dir, emustate::recorderRecordName(code, channel), services.configRecord(code, channel)))
        return false;
    }
  }
  services.onConfigStored([dir](uint32_t code, uint32_t channel, const std::vector<uint8_t>& record) {
    if (!emustate::writeFile(dir, emustate::recorderRecordName(code, channel), record))
      std::fprintf(stderr, "dvremu: cannot write into %s\n", dir.c_str());
  });
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  dvremu::Options o;
  int port = 8000;
  std::string clipPath, exportDir, stateDir;
  bool mpeg4 = false;
  int alarmEvery = 0;  // seconds; 0: alarms only on request
  int searchPort = -1;  // -1: the first free fixed search port
  std::string logPath;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--port") port = std::atoi(next().c_str());
    else if (a == "--user") o.user = next();
    else if (a == "--password") o.password = next();
    else if (a == "--clip") clipPath = next();
    else if (a == "--mpeg4") mpeg4 = true;
    else if (a == "--alarm-every") alarmEvery = std::atoi(next().c_str());
    else if (a == "--export-files") exportDir = next();
    else if (a == "--search-port") searchPort = std::atoi(next().c_str());
    else if (a == "--log") logPath = next();
    else if (a == "--state-dir") stateDir = next();
    else {
      std::fprintf(stderr,
                   "usage: dvremu --port N [--user U] [--password P] [--clip FILE] [--mpeg4] [--alarm-every SECONDS]\n"
                   "              [--export-files DIR] [--search-port N] [--log FILE] [--state-dir DIR]\n");
      return 2;
    }
  }
  if (port < 0 || port > 65535 || searchPort < -1 || searchPort > 65535) {  // 0: any free port, told in the first line
    std::fprintf(stderr, "dvremu: bad port\n");
    return 2;
  }
  dvremu::StreamClip clip;
  std::string error;
  // Ten seconds of numbered frames: long enough to pause, step and seek in a recording.
  const bool ok = clipPath.empty()
                      ? dvremu::generatedClip(mpeg4, 352, 288, 250, 25, true, &clip, &error)
                      : dvremu::clipFromFile(clipPath, &clip, &error);
  if (!ok) {
    std::fprintf(stderr, "dvremu: no clip: %s\n", error.c_str());
    return 1;
  }
  dvremu::Emulator emu(o);
  emu.setClip(clip);
  // Recordings to search, play back and download: the clip, one per hour on channels 1 to 4,
  // on a fixed day and again on the day the emulator starts, so a search of today finds them.
  const std::vector<uint8_t> whole = dvremu::streamFile(clip);
  const std::vector<uint8_t> header(whole.begin(), whole.begin() + dvremu::kStreamHeaderBytes);
  const plat::LocalTime now = plat::localTime();
  const uint32_t today[3] = {static_cast<uint32_t>(now.year), static_cast<uint32_t>(now.month),
                             static_cast<uint32_t>(now.day)};
  const uint32_t fixedDay[3] = {2013, 2, 28};
  for (const uint32_t* day : {fixedDay, today}) {
    const std::string prefix = day == today ? "today_" : "";
    for (uint32_t channel = 1; channel <= 4; ++channel) {
      for (uint32_t hour = 0; hour < 4; ++hour) {
        dvremu::RecordedFile f;
        f.name = prefix + "ch" + std::to_string(channel) + "_" + std::to_string(hour) + "00.rec";
        f.channel = channel;
        f.type = hour % 2 ? 1 : 0;
        f.start = {day[0], day[1], day[2], hour, 0, 0};
        f.end = {day[0], day[1], day[2], hour, 59, 59};
        f.data.assign(whole.begin() + dvremu::kStreamHeaderBytes, whole.end());
        emu.services().addFile(f);
        if (!exportDir.empty()) {
          std::ofstream out(std::filesystem::path(exportDir) / f.name, std::ios::binary);
          out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
          out.write(reinterpret_cast<const char*>(f.data.data()), static_cast<std::streamsize>(f.data.size()));
          if (!out) {
            std::fprintf(stderr, "dvremu: cannot write %s into %s\n", f.name.c_str(), exportDir.c_str());
            return 1;
          }
        }
      }
    }
  }
  // A few log records, so a log search finds something.
  const char* kLogTexts[] = {"power on", "user admin logged in", "motion on channel 1", "disk check passed",
                             "video loss on channel 2", "configuration saved"};
  for (uint32_t i = 0; i < 6; ++i) {
    dvremu::LogEntry e;
    e.time = {2013, 2, 28, 8 + i, 10 * i, 0};
    e.major = 1 + i % 3;
    e.minorBit = i % 4;
    e.text = kLogTexts[i];
    emu.services().addLog(e);
  }
  if (!stateDir.empty() && !keepStateIn(emu.services(), stateDir)) {
    std::fprintf(stderr, "dvremu: cannot write into %s\n", stateDir.c_str());
    return 1;
  }
  if (!emu.start(static_cast<uint16_t>(port))) {
    std::fprintf(stderr, "dvremu: cannot listen on 127.0.0.1:%d\n", port);
    return 1;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::printf("dvremu listening on 127.0.0.1:%u\n", emu.port());
  if (searchPort >= 0 ? emu.startDiscovery(static_cast<uint16_t>(searchPort)) : emu.startDiscoveryOnSearchPort())
    std::printf("dvremu: answers LAN search on UDP 127.0.0.1:%u\n", emu.discoveryPort());
  else
    std::fprintf(stderr, "dvremu: every LAN search port is taken; not answering searches\n");
  std::fflush(stdout);
  int64_t nextAlarm = plat::monotonicMs() + alarmEvery * 1000LL;
  int step = 0;
  RequestLog log(logPath);
  while (!g_stop) {
    plat::sleepMs(200);
    log.append(emu.requests());
    if (alarmEvery > 0 && plat::monotonicMs() >= nextAlarm) {
      nextAlarm += alarmEvery * 1000LL;
      if (emu.raiseCycledAlarm(step)) ++step;
    }
  }
  emu.stop();
  log.append(emu.requests());
  return 0;
}
