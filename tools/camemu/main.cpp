// camemu: serves one emulated IP camera (or NVR, --nvr) on 127.0.0.1 (or --address) until
// interrupted (or for --seconds N).
#include <arpa/inet.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "camemu/camera.h"
#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "emustate/state_dir.h"
#include "plat/clock.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }
// SIGUSR1 asks for the count of video frames sent so far on the standard output.
volatile std::sig_atomic_t g_countAsked = 0;
void onCountAsked(int) { g_countAsked = 1; }

// The request log of --log: "open <channel>" for a channel open, "msg <channel> <code>
// <argument> <option> <payload hex>" for a control message (payload without its trailing
// zero bytes). Lines are appended as requests arrive, so a test reads what came so far.
class RequestLog {
 public:
  explicit RequestLog(const std::string& path) : file_(path.empty() ? nullptr : std::fopen(path.c_str(), "a")) {}
  ~RequestLog() {
    if (file_) std::fclose(file_);
  }
  void append(const std::vector<camemu::Request>& all) {
    if (!file_) return;
    for (; written_ < all.size(); ++written_) {
      const camemu::Request& r = all[written_];
      if (r.open) {
        std::fprintf(file_, "open %u\n", r.channel);
        continue;
      }
      size_t n = r.payload.size();
      while (n > 0 && r.payload[n - 1] == 0) --n;
      std::fprintf(file_, "msg %u %u %u %u ", r.channel, r.code, r.argument, r.option);
      for (size_t i = 0; i < n; ++i) std::fprintf(file_, "%02x", r.payload[i]);
      std::fputc('\n', file_);
    }
    std::fflush(file_);
  }

 private:
  std::FILE* file_;
  size_t written_ = 0;
};

void usage() {
  std::fprintf(stderr,
               "usage: camemu [--port N] [--user NAME] [--password TEXT] [--seconds N] [--clip FILE]\n"
               "              [--alarm-every SECONDS] [--streams N] [--wall-clock]\n"
               "              [--search-port N] [--log FILE] [--state-dir DIR] [--address A.B.C.D]\n"
               "              [--nvr CHANNELS]\n"
               "  serves an emulated IP camera on 127.0.0.1 (port 9000, admin/admin; port 0: any\n"
               "  free port, printed); --streams: connections of each media kind at once (4);\n"
               "  --wall-clock: frame times are the wall-clock time of sending;\n"
               "  --search-port: answer LAN search on this UDP port (0: any free port, printed)\n"
               "  rather than on the first free one of the fixed search ports;\n"
               "  --log: append every request received to FILE, one line each;\n"
               "  --address: listen on that address of 127.0.0.0/8 rather than 127.0.0.1;\n"
               "  --nvr: answer LAN search as an NVR of CHANNELS channels (the protocol is the same);\n"
               "  --state-dir: keeps DIR/camera-<code>.bin, each parameter record as the camera holds it;\n"
               "  without --clip the live stream is a generated clip of 50 numbered frames, looped\n");
}

// A camera always has a picture: without a clip of its own it streams the test pattern (each
// frame carrying its number), as the recorder emulator does.
bool serveGeneratedClip(camemu::Media& media) {
  clipgen::Options o;
  o.frames = 50;
  clipgen::Clip generated;
  std::string error;
  if (!clipgen::generate(o, &generated, &error)) {
    std::fprintf(stderr, "camemu: no clip: %s\n", error.c_str());
    return false;
  }
  std::vector<camemu::MediaFrame> frames;
  for (size_t i = 0; i < generated.frames.size(); ++i) {
    camemu::MediaFrame f;
    f.data = generated.frameBytes(i);
    f.codec = 2;  // H.264
    f.key = generated.frames[i].key;
    f.width = static_cast<uint16_t>(generated.width);
    f.height = static_cast<uint16_t>(generated.height);
    frames.push_back(std::move(f));
  }
  media.setLiveFrames(std::move(frames), true);
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  camemu::Config config;
  config.port = 9000;
  long seconds = 0;
  long alarmEvery = 0;  // seconds; 0: alarms only on request
  std::string clip;
  bool wallClock = false;
  long searchPort = -1;  // -1: the first free fixed search port
  std::string logPath;
  std::string stateDir;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--port" && hasValue) {
      long p = std::strtol(argv[++i], nullptr, 10);
      if (p < 0 || p > 65535) {  // 0: any free port (printed below)
        usage();
        return 2;
      }
      config.port = static_cast<uint16_t>(p);
    } else if (a == "--user" && hasValue) {
      config.user = argv[++i];
    } else if (a == "--password" && hasValue) {
      config.password = argv[++i];
    } else if (a == "--clip" && hasValue) {
      clip = argv[++i];
    } else if (a == "--alarm-every" && hasValue) {
      alarmEvery = std::strtol(argv[++i], nullptr, 10);
    } else if (a == "--streams" && hasValue) {
      const long n = std::strtol(argv[++i], nullptr, 10);
      if (n <= 0 || n > 1024) {
        usage();
        return 2;
      }
      config.otherLimit = static_cast<int>(n);
    } else if (a == "--search-port" && hasValue) {
      searchPort = std::strtol(argv[++i], nullptr, 10);
      if (searchPort < 0 || searchPort > 65535) {
        usage();
        return 2;
      }
    } else if (a == "--log" && hasValue) {
      logPath = argv[++i];
    } else if (a == "--state-dir" && hasValue) {
      stateDir = argv[++i];
    } else if (a == "--address" && hasValue) {
      in_addr parsed{};
      if (inet_pton(AF_INET, argv[++i], &parsed) != 1 || (ntohl(parsed.s_addr) >> 24) != 127) {
        usage();
        return 2;
      }
      config.address = ntohl(parsed.s_addr);
    } else if (a == "--nvr" && hasValue) {
      const long n = std::strtol(argv[++i], nullptr, 10);
      if (n < 1 || n > 255) {
        usage();
        return 2;
      }
      config.deviceType = camemu::kNvrDeviceType;
      config.channels = static_cast<int>(n);
    } else if (a == "--wall-clock") {
      wallClock = true;
    } else if (a == "--seconds" && hasValue) {
      seconds = std::strtol(argv[++i], nullptr, 10);
    } else {
      usage();
      return 2;
    }
  }
  camemu::Camera camera(config);
  if (!stateDir.empty()) {
    // What the camera holds from the start, then every record a client sets, as stored.
    for (uint16_t code : camera.recordCodes()) {
      if (!emustate::writeFile(stateDir, emustate::cameraRecordName(code), camera.record(code))) {
        std::fprintf(stderr, "camemu: cannot write into %s\n", stateDir.c_str());
        return 1;
      }
    }
    camera.onRecordStored([stateDir](uint16_t code, const std::vector<uint8_t>& record) {
      if (!emustate::writeFile(stateDir, emustate::cameraRecordName(code), record))
        std::fprintf(stderr, "camemu: cannot write into %s\n", stateDir.c_str());
    });
  }
  if (!camera.start()) {
    std::fprintf(stderr, "camemu: cannot listen on %s:%u\n", config.addressText().c_str(), config.port);
    return 1;
  }
  camemu::Media media(camera);
  if (!clip.empty() && !media.loadClip(clip)) {
    std::fprintf(stderr, "camemu: cannot read the clip %s (and its .idx)\n", clip.c_str());
    return 1;
  }
  if (clip.empty() && !serveGeneratedClip(media)) return 1;
  if (config.deviceType == camemu::kNvrDeviceType) {
    // An NVR's recording is found where a user looks first: today, from 01:00 for an hour.
    std::time_t now = std::time(nullptr);
    std::tm day{};
    localtime_r(&now, &day);
    day.tm_hour = 1;
    day.tm_min = day.tm_sec = 0;
    day.tm_isdst = -1;
    const auto start = static_cast<uint32_t>(std::mktime(&day));
    media.setFileTimes(start, start + 3599);
  }
  media.setWallClockTimes(wallClock);
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::signal(SIGUSR1, onCountAsked);
  std::printf("camemu: %s on %s:%u (user %s)\n", config.deviceType == camemu::kNvrDeviceType ? "NVR" : "camera",
              config.addressText().c_str(), camera.port(), config.user.c_str());
  std::fflush(stdout);  // a caller reading the port from a pipe sees it at once
  if (searchPort >= 0 ? camera.startDiscovery(static_cast<uint16_t>(searchPort)) : camera.startDiscoveryOnSearchPort())
    std::printf("camemu: answers LAN search on UDP 127.0.0.1:%u\n", camera.discoveryPort());
  else
    std::fprintf(stderr, "camemu: every LAN search port is taken; not answering searches\n");
  std::fflush(stdout);
  const int64_t end = seconds > 0 ? plat::monotonicMs() + seconds * 1000 : 0;
  int64_t nextAlarm = plat::monotonicMs() + alarmEvery * 1000;
  int step = 0;
  RequestLog log(logPath);
  while (!g_stop && (end == 0 || plat::monotonicMs() < end)) {
    plat::sleepMs(g_countAsked ? 0 : 100);
    if (g_countAsked) {
      g_countAsked = 0;
      std::printf("camemu: video frames sent %zu\n", media.videoFramesSent());
      std::fflush(stdout);
    }
    log.append(camera.requests());
    if (alarmEvery > 0 && plat::monotonicMs() >= nextAlarm) {
      nextAlarm += alarmEvery * 1000;
      if (camera.raiseCycledAlarm(step) > 0) ++step;
    }
  }
  camera.stop();
  log.append(camera.requests());
  return 0;
}
