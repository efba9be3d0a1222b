// Live video at scale, measured on the client alone: the camera emulator runs as a process of
// its own (the `camemu` program beside this one) and streams generated D1 and 1080p clips at
// 25 frames a second, on a fixed schedule, with the wall-clock send time in every frame.
// The client opens N displayed streams into headless windows. Measured in the same run:
//   - client cores (CPU seconds per second) against a bare libavcodec decode of the same
//     frames by N decoders taking turns on one thread, before and after the client's run
//     (beside it, against N times a single decoder on a warm cache);
//   - memory per displayed stream: resident memory while streaming, less before, over N;
//   - latency from the emulator's send time to the present of the picture showing that frame
//     (frame numbers read back from the presented pictures);
//   - the largest key frame and picture shown whole, and loading 10,000 devices.
// Each row of the table is printed with its goal beside it.
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Corvane.h"
#include "bench_common.h"
#include "camemu/camera.h"
#include "camemu/media.h"
#include "camemu/program.h"
#include "clipgen/clipgen.h"
#include "plat/audio.h"
#include "plat/log.h"
#include "plat/surface.h"
#include "plat/window.h"
#include "stream/live_stream.h"
#include "video/video_player.h"
#ifdef HAVE_TARNWICK
#include "devices/DeviceManager.h"
#include "shell/DbHelpers.h"
#endif

namespace {

using bench::ClipCase;
using bench::cpuSeconds;
using bench::k1080;
using bench::kD1;
using bench::kFps;
using bench::selfDir;

constexpr int kClipFrames = 100;  // 4 seconds: frame numbers stay unambiguous below that
constexpr int kWarmSeconds = 3;
constexpr int kMeasureSeconds = 6;

double residentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

int64_t wallUs() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return int64_t{tv.tv_sec} * 1000000 + tv.tv_usec;
}

// Tells the clip's frames apart by their length and 64 bytes at each of four places: the
// probe runs on the client's receive threads, so it reads little of each frame.
uint64_t hashBytes(const uint8_t* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](size_t from, size_t count) {
    for (size_t i = from; i < from + count && i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  };
  constexpr size_t kSpan = 64;
  if (n <= 4 * kSpan) {
    mix(0, n);
  } else {
    for (size_t k = 0; k < 4; ++k) mix((n - kSpan) * k / 3, kSpan);
  }
  return h ^ n;
}

// One displayed stream: the hook notes when each frame of the clip was sent, the window's
// present listener reads the frame number of each shown picture and takes the latency.
struct Probe {
  const std::unordered_map<uint64_t, int>* indexOf = nullptr;
  plat::WindowHandle window = 0;
  std::mutex m;
  int64_t sentUs[kClipFrames] = {};
  std::vector<int64_t> latencies;
  bool measuring = false;
  int64_t received = 0, presented = 0;

  static void hook(const uint8_t* data, int length, int, uint32_t seconds,
                   uint32_t microseconds, uint32_t, void* user) {
    auto* p = static_cast<Probe*>(user);
    auto it = p->indexOf->find(hashBytes(data, static_cast<size_t>(length)));
    std::lock_guard<std::mutex> lk(p->m);
    ++p->received;
    if (it != p->indexOf->end()) p->sentUs[it->second] = int64_t{seconds} * 1000000 + microseconds;
  }
  void presentedNow() {
    const int64_t now = wallUs();
    plat::PresentedFrame f;
    if (!plat::presentedFrame(window, &f)) return;
    const int index = clipgen::readFrameIndexBgrx(f.bits, f.stride, f.width, f.height);
    std::lock_guard<std::mutex> lk(m);
    ++presented;
    if (measuring && index >= 0 && index < kClipFrames && sentUs[index] > 0)
      latencies.push_back(now - sentUs[index]);
  }
};

struct LiveResult {
  double cores = 0, bareCores = 0, bareAlone = 0, memoryPerStream = 0;
  double receivedFps = 0, presentedFps = 0;
  double latencyMedianMs = 0, latencyP95Ms = 0, latencyMaxMs = 0;
  bool ok = false;
  bool ran = false;  // the part was asked for
};

LiveResult runLive(const ClipCase& cc, int n, const std::string& dir) {
  LiveResult r;
  r.ran = true;
  const clipgen::Clip clip = bench::makeClip(cc, kClipFrames);
  if (clip.frames.size() != static_cast<size_t>(kClipFrames)) return r;
  // One decoder per stream, fed in turn (the client's caches hold as much), before and
  // after the client's run (the machine's load moves meanwhile); one decoder alone on a warm
  // cache beside it.
  const double bareBefore = bench::bareCoresPerStream(clip, 2, n) * n;
  r.bareAlone = bench::bareCoresPerStream(clip, 6) * n;
  const std::string path = dir + "/" + cc.name + ".264";
  clipgen::writeClip(clip, path);
  std::unordered_map<uint64_t, int> indexOf;
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    const auto bytes = clip.frameBytes(i);
    indexOf[hashBytes(bytes.data(), bytes.size())] = static_cast<int>(i);
  }
  if (indexOf.size() != clip.frames.size())
    std::fprintf(stderr, "%zu frames share a probe hash: their latencies are not taken\n",
                 clip.frames.size() - indexOf.size());
  camemu::Program emu = camemu::startProgram(
      selfDir() + "/camemu", {"--clip", path, "--streams", std::to_string(n + 1), "--wall-clock"});
  if (emu.pid < 0) {
    std::fprintf(stderr, "the camera emulator did not start\n");
    return r;
  }
  const double rss0 = residentBytes();
  IpcLoginInfo li{};
  li.address = INADDR_LOOPBACK;
  li.port = emu.port;
  std::strcpy(li.user, "admin");
  std::strcpy(li.password, "admin");
  li.connectNow = 1;
  IPC_HANDLE session = IPC_SessionOpen(&li);
  auto dispatcher = std::make_shared<plat::QueueDispatcher>();
  std::vector<std::unique_ptr<Probe>> probes;
  std::vector<IPC_HANDLE> streams;
  for (int i = 0; i < n && session; ++i) {
    auto p = std::make_unique<Probe>();
    p->indexOf = &indexOf;
    p->window = plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; },
                                     dispatcher);
    Probe* raw = p.get();
    plat::setPresentListener(p->window, [raw] { raw->presentedNow(); });
    IPC_HANDLE s = IPC_StreamOpen(session, 0, p->window, 1);
    if (s) IPC_SetStreamHook(s, Probe::hook, raw);
    streams.push_back(s);
    probes.push_back(std::move(p));
  }
  std::this_thread::sleep_for(std::chrono::seconds(kWarmSeconds));
  auto counts = [&](int64_t& received, int64_t& presented) {
    received = presented = 0;
    for (auto& p : probes) {
      std::lock_guard<std::mutex> lk(p->m);
      received += p->received;
      presented += p->presented;
      p->measuring = true;
    }
  };
  int64_t rx0, pr0, rx1, pr1;
  counts(rx0, pr0);
  const double cpu0 = cpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(kMeasureSeconds));
  const double cpu = cpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double rss = residentBytes();
  counts(rx1, pr1);
  std::vector<int64_t> all;
  for (auto& p : probes) {
    std::lock_guard<std::mutex> lk(p->m);
    p->measuring = false;
    all.insert(all.end(), p->latencies.begin(), p->latencies.end());
  }
  for (IPC_HANDLE s : streams)
    if (s) IPC_StreamClose(s);
  if (session) IPC_SessionClose(session);
  for (auto& p : probes) {
    plat::setPresentListener(p->window, {});
    plat::unregisterWindow(p->window);
  }
  camemu::stopProgram(emu);
  r.bareCores = (bareBefore + bench::bareCoresPerStream(clip, 2, n) * n) / 2;
  r.cores = cpu / wall;
  r.memoryPerStream = (rss - rss0) / n;
  r.receivedFps = static_cast<double>(rx1 - rx0) / wall / n;
  r.presentedFps = static_cast<double>(pr1 - pr0) / wall / n;
  if (!all.empty()) {
    std::sort(all.begin(), all.end());
    r.latencyMedianMs = all[all.size() / 2] / 1000.0;
    r.latencyP95Ms = all[all.size() * 95 / 100] / 1000.0;
    r.latencyMaxMs = all.back() / 1000.0;
  }
  r.ok = session && !streams.empty();
  return r;
}

// The largest key frame or picture the client shows: an in-process emulator streams the
// frames, and the result is whether (and at what size) the frame's own picture was shown.
struct ShownResult {
  bool shown = false;
  int width = 0, height = 0, cut = 0;
};

ShownResult showFrames(std::vector<camemu::MediaFrame> frames, int target) {
  ShownResult r;
  camemu::Camera cam{camemu::Config{}};
  if (!cam.start()) return r;
  camemu::Media media(cam);
  media.setLiveFrames(std::move(frames), true);
  auto dispatcher = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle w = plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; },
                                              dispatcher);
  std::mutex m;
  plat::setPresentListener(w, [&] {
    plat::PresentedFrame f;
    if (!plat::presentedFrame(w, &f)) return;
    if (clipgen::readFrameIndexBgrx(f.bits, f.stride, f.width, f.height) != target) return;
    std::lock_guard<std::mutex> lk(m);
    r.shown = true;
    r.width = f.width;
    r.height = f.height;
  });
  IpcLoginInfo li{};
  li.address = INADDR_LOOPBACK;
  li.port = cam.port();
  std::strcpy(li.user, "admin");
  std::strcpy(li.password, "admin");
  li.connectNow = 1;
  IPC_HANDLE session = IPC_SessionOpen(&li);
  IPC_HANDLE s = session ? IPC_StreamOpen(session, 0, w, 1) : nullptr;
  for (int i = 0; i < 100; ++i) {
    {
      std::lock_guard<std::mutex> lk(m);
      if (r.shown) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (auto st = corvane::findLiveStream(s)) r.cut = st->cutFrames();
  if (s) IPC_StreamClose(s);
  if (session) IPC_SessionClose(session);
  plat::setPresentListener(w, {});
  plat::unregisterWindow(w);
  cam.stop();
  return r;
}

std::vector<camemu::MediaFrame> mediaFrames(const clipgen::Clip& clip) {
  std::vector<camemu::MediaFrame> out;
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    camemu::MediaFrame f;
    f.data = clip.frameBytes(i);
    f.key = clip.frames[i].key;
    f.width = static_cast<uint16_t>(clip.width);
    f.height = static_cast<uint16_t>(clip.height);
    out.push_back(std::move(f));
  }
  return out;
}

ShownResult largestKeyFrame() {
  clipgen::Options o;
  o.frames = 10;
  o.gop = 10;
  clipgen::Clip clip;
  if (!clipgen::generate(o, &clip)) return {};
  auto frames = mediaFrames(clip);
  frames[0].data = clipgen::padKeyFrame(frames[0].data, kIpcMaxFrameBytes);
  return showFrames(std::move(frames), 0);
}

ShownResult largestPicture() {
  clipgen::Options o;
  o.width = 3840;
  o.height = 2160;
  o.frames = 3;
  o.gop = 3;
  o.bitrate = 20000000;
  clipgen::Clip clip;
  if (!clipgen::generate(o, &clip)) return {};
  return showFrames(mediaFrames(clip), 2);
}

#ifdef HAVE_TARNWICK
// Seconds to load 10,000 devices from Tarnwick.db, and to read the same rows bare.
std::pair<double, double> loadDevices(const std::string& dir) {
  setenv("TARNWICK_HOME", dir.c_str(), 1);
  constexpr int kDevices = 10000;
  {
    CppSQLite3DB db;
    OpenDatabaseInProgramDir(db, u"Tarnwick.db");
    ExecuteSql(db, CDeviceManager::kCreateTable);
    RunInTransaction(db, [](CppSQLite3DB& d) {
      for (int i = 0; i < kDevices; ++i) {
        const std::string n = std::to_string(i);
        const std::u16string name(n.begin(), n.end());
        const std::string ip = "10." + std::to_string(i / 65536) + "." +
                               std::to_string(i / 256 % 256) + "." + std::to_string(i % 256);
        d.Execute(u"insert into Tb_Device values(?, ?, 8000, 'admin', '', 4, '', '', '', '', 0, 0, 2, ?, 'R')",
                  {u"camera " + name, std::u16string(ip.begin(), ip.end()), u"guid-" + name});
      }
      return true;
    });
    db.Close();
  }
  auto t0 = std::chrono::steady_clock::now();
  {
    CppSQLite3DB db;
    OpenDatabaseInProgramDir(db, u"Tarnwick.db");
    CppSQLite3Query q = db.Query(u"select * from Tb_Device;");
    size_t chars = 0;
    for (; !q.Eof(); q.NextRow())
      for (int f = 0; f < 15; ++f)
        if (const char16_t* t = q.FieldText(f)) chars += std::char_traits<char16_t>::length(t);
    db.Close();
    if (chars == 0) std::fprintf(stderr, "no rows read\n");
  }
  const double bare = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  t0 = std::chrono::steady_clock::now();
  CDeviceManager::GetInstance()->Load();
  const double load = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (CDeviceManager::GetInstance()->Count() != kDevices)
    std::fprintf(stderr, "loaded %d devices, not %d\n", CDeviceManager::GetInstance()->Count(), kDevices);
  CDeviceManager::ReleaseInstance();
  unsetenv("TARNWICK_HOME");
  return {load, bare};
}
#endif

void row(const std::string& measure, const std::string& now, const std::string& goal, bool met) {
  std::printf("| %-52s | %-40s | %-22s | %-4s |\n", measure.c_str(), now.c_str(), goal.c_str(),
              met ? "met" : "NOT");
  std::fflush(stdout);
}

std::string fmt(const char* f, double a, double b = 0, double c = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, f, a, b, c);
  return buf;
}

}  // namespace

// Arguments: none for every row, or the names of the parts to run ("D1", "1080p", "other";
// "devices" for the device load alone).
int main(int argc, char** argv) {
  auto runs = [&](const char* part) {
    if (argc < 2) return true;
    for (int i = 1; i < argc; ++i)
      if (std::strcmp(argv[i], part) == 0) return true;
    return false;
  };
  plat::setAudioBackend(plat::AudioBackendKind::Null);
  plat::setLogLevel(plat::LogLevel::Error);
  const std::string dir = std::filesystem::temp_directory_path() /
                          ("bench_streams_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::printf("Client only (the camera emulator is a process of its own); references in the same run.\n\n");
  std::printf("| %-52s | %-40s | %-22s | %-4s |\n", "measure", "measured", "goal", "");
  std::printf("|%s|%s|%s|%s|\n", std::string(54, '-').c_str(), std::string(42, '-').c_str(),
              std::string(24, '-').c_str(), std::string(6, '-').c_str());

  auto ratio = [](double a, double b) { return b > 0 ? a / b : 0; };
  // The client's cores against their goal and the two bare references.
  auto coreRows = [&](const LiveResult& r, int n, const char* kind, double maxCores,
                      double maxRatio) {
    if (!r.ran) return;
    row(std::to_string(n) + " live " + kind + " windows, client cores",
        fmt("%.2f (%.2fx the bare decode)", r.cores, ratio(r.cores, r.bareCores)),
        fmt("<= %.1f (<= %.1fx bare)", maxCores, maxRatio),
        r.ok && r.cores <= maxCores && r.cores <= maxRatio * r.bareCores);
    row("  bare decode: " + std::to_string(n) + " decoders in turn; one alone x " + std::to_string(n),
        fmt("%.2f; %.2f (%.2fx the second)", r.bareCores, r.bareAlone, ratio(r.cores, r.bareAlone)),
        "reference", true);
  };
  const LiveResult d1 = runs("D1") ? runLive(kD1, 25, dir) : LiveResult{};
  coreRows(d1, 25, "D1", 1.0, 2.0);
  const LiveResult hd = runs("1080p") ? runLive(k1080, 16, dir) : LiveResult{};
  coreRows(hd, 16, "1080p", 2.5, 1.5);
  if (d1.ran || hd.ran)
    std::printf("|   (bench/video prints the converter row: I420 -> RGB32 1080p, pictures not in cache)\n");
  if (d1.ran)
    row("memory per displayed stream, D1",
        fmt("%.1f MB", d1.memoryPerStream / 1e6), "<= 12 MB", d1.ok && d1.memoryPerStream <= 12e6);
  if (hd.ran)
    row("memory per displayed stream, 1080p",
        fmt("%.1f MB", hd.memoryPerStream / 1e6), "<= 40 MB", hd.ok && hd.memoryPerStream <= 40e6);
  for (const auto* r : {&d1, &hd}) {
    if (!r->ran) continue;
    row(std::string("live display latency at 25 fps, ") + (r == &d1 ? "25 D1" : "16 1080p"),
        fmt("median %.0f, p95 %.0f, max %.0f ms", r->latencyMedianMs, r->latencyP95Ms,
            r->latencyMaxMs),
        "steady, <= 250 ms", r->ok && r->latencyP95Ms > 0 && r->latencyP95Ms <= 250);
    row(std::string("  frames a second per stream, ") + (r == &d1 ? "25 D1" : "16 1080p"),
        fmt("sent %.2f, shown %.2f", r->receivedFps, r->presentedFps), "25 (camera's rate)",
        r->ok && r->receivedFps >= 24.8);
  }
  if (runs("other")) {
    const ShownResult key = largestKeyFrame();
    row("key frame of 4 MiB (4,194,304 bytes)",
        key.shown ? fmt("shown whole, %.0f frames cut", key.cut) : "not shown",
        "shown whole up to 4 MiB", key.shown && key.cut == 0);
    const ShownResult big = largestPicture();
    row("picture of 3840 x 2160",
        big.shown ? fmt("shown at %.0f x %.0f", big.width, big.height) : "not shown",
        "shown up to 3840 x 2160", big.shown && big.width == 3840 && big.height == 2160);
  }
  if (runs("other") || runs("devices")) {
#ifdef HAVE_TARNWICK
    const auto [load, bare] = loadDevices(dir);
    row("load 10,000 devices from Tarnwick.db",
        fmt("%.3f s (bare read of the rows %.3f s)", load, bare), "< 0.3 s", load < 0.3);
#else
    std::printf("| load 10,000 devices: not measured (built without the program's code)\n");
#endif
  }
  row("build type of this binary", TARNWICK_BUILD_TYPE,
      "-DCMAKE_BUILD_TYPE=Release builds", std::string(TARNWICK_BUILD_TYPE) == "Release");
  std::filesystem::remove_all(dir);
  return 0;
}
