// The whole program under load, each part in a process of its own, everything on 127.0.0.1:
//   - live: the camera emulator's program streams a generated clip (D1, then 1080p; each as
//     the cheapest stream to decode and as a camera makes it) at 25 frames a second, each frame stamped with the wall-clock time it is sent; the program,
//     started on a folder of its own (automatic login of the administrator, one camera of N
//     channels, the last session's N previews in preivew.db), is driven by a user's clicks
//     to reopen those previews (driven_program.cpp). After a warm-up, over at least 60 s of
//     steady state: its CPU time is read from /proc and set against a bare single-threaded
//     libavcodec decode of the same frames by N decoders fed in turn, measured in the same
//     run (before and after); the cores and the voluntary context switches a second of each
//     kind of thread of the live path (decode, render, receive, timer), told apart by their
//     names in /proc; the latency from each frame's send to the paint of the window
//     showing it, over the whole steady state and over each minute of it; its private resident memory less what it held before the first preview
//     opened, over N windows, apart from the library code it read in once; the frames the emulator sent (asked for its count) against those the
//     program received, presented to its play windows and painted, and the frames never
//     painted, counted from the frame numbers the clip's pictures carry.
//   - start-up: build/bin/Tarnwick itself, from exec to the log line it writes (at level
//     info) once its main window is shown with the device tree filled, with 10,000 devices
//     in Tarnwick.db and with none.
//   - hung: the UI thread's answers while devices hang (hung_devices.cpp).
// Usage: bench_program [live] [startup] [hung] [--seconds S] (all parts when none is named;
// S seconds of steady state, 60 by default); live-d1, live-d1x25 and live-1080p run one
// live case alone with the cheapest clip to decode, live-d1-camera, live-d1x25-camera and
// live-1080p-camera with a clip made as a camera makes its stream. The long case is any of
// them with --seconds 300: the latency of each of its five minutes shows how the pacer's
// adaptation moves it.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_common.h"
#include "camemu/program.h"
#include "devices/DevMgrModel.h"
#include "devices/DeviceManager.h"
#include "driven_program.h"
#include "hung_devices.h"
#include "program_home.h"
#include "shell/DbHelpers.h"
#include "shell/GuidString.h"
#include "shell/UserStore.h"
#include "view/PreviewManager.h"

namespace fs = std::filesystem;
using namespace benchprog;

namespace {

constexpr int kClipFrames = 100;
constexpr int kWarmSeconds = 5;
constexpr int kMeasureSeconds = 60;
// The steady state's latency is also told for each window of this length.
constexpr int kLatencyWindowSeconds = 60;
constexpr int kStartupDevices = 10000;
constexpr int kStartupRuns = 3;
constexpr char16_t kCameraGuid[] = u"BENCH-CAMERA";
bool g_keep = false;  // something failed: the logs stay

// The last session: channel i + 1 of the camera in window i.
void seedCameraPreviews(int windows) {
  std::vector<std::pair<std::u16string, int>> channels;
  for (int i = 0; i < windows; ++i) channels.emplace_back(kCameraGuid, i + 1);
  seedSavedPreviews(channels);
}

// The threads of the live path by the names they give themselves.
struct ThreadKind {
  const char* kind;
  const char* name;
};
constexpr ThreadKind kThreadKinds[] = {
    {"decode", "live-decode"}, {"render", "live-render"}, {"receive", "live-video"}, {"timer", "timer"}};
constexpr int kThreadKindCount = sizeof kThreadKinds / sizeof kThreadKinds[0];

struct LatencyWindow {
  int seconds = 0;
  double median = -1, p95 = -1;
  size_t count = 0;
};

struct LiveResult {
  bool ok = false;
  int windows = 0, mainWidth = 0, mainHeight = 0, windowWidth = 0, windowHeight = 0;
  double cores = 0, wall = 0;
  bench::BareReference bare;
  double receivedFps = 0, paintedFps = 0;
  int64_t sent = 0, received = 0, presented = 0, painted = 0, numbered = 0, skipped = 0;
  double latencyMed = -1, latencyP95 = -1, latencyMax = -1;
  std::vector<LatencyWindow> latencyWindows;
  bench::ThreadKindCost threads[kThreadKindCount];
  double rssBefore = 0, rssSteady = 0, filesBefore = 0, filesSteady = 0;
  std::string failure;
};

// The child's frame counters: received, presented, painted, numbered, skipped.
struct Counts {
  int64_t v[5] = {};
};

bool readCounts(bench::Child& child, Counts* c) {
  std::string rest;
  return bench::writeLine(child, "count") && expect(child, "frames", &rest, 10000) &&
         std::sscanf(rest.c_str(), "%ld %ld %ld %ld %ld", &c->v[0], &c->v[1], &c->v[2], &c->v[3], &c->v[4]) == 5;
}

LiveResult runLive(const bench::ClipCase& cc, int n, const fs::path& dir, int seconds) {
  LiveResult r;
  const clipgen::Clip clip = bench::makeClip(cc, kClipFrames);
  if (clip.frames.size() != static_cast<size_t>(kClipFrames)) {
    r.failure = "no clip";
    return r;
  }
  // The reference is taken before the program runs and again after, and averaged, so a busy
  // moment of the machine weighs on it as on the program.
  r.bare.take(clip, n);
  const std::string path = (dir / (std::string(cc.name) + ".264")).string();
  clipgen::writeClip(clip, path);
  camemu::Program emu = camemu::startProgram(bench::selfDir() + "/camemu",
                                             {"--clip", path, "--streams", std::to_string(n + 1), "--wall-clock"});
  if (emu.pid < 0) {
    r.failure = "the camera emulator did not start";
    return r;
  }
  const fs::path home = dir / (std::string("home-") + cc.name);
  seedHome(home, [&](CDevMgrModel& model, const std::u16string& region) {
    addDevice(model, u"Camera", u"127.0.0.1", emu.port, n, DEV_TYPE_IPC, kCameraGuid, region);
  });
  seedCameraPreviews(n);
  unsetenv("TARNWICK_HOME");
  bench::Child program = bench::spawnChild(bench::selfDir() + "/bench_program", {"--drive", path},
                                           programEnv(home, dir / (std::string("run-") + cc.name)),
                                           (dir / (std::string(cc.name) + ".log")).string());
  std::string rest;
  long long before = 0, beforeFiles = 0;
  if (program.pid < 0 || !expect(program, "opened", &rest, 120000)) {
    r.failure = "the program did not open its windows (see its log)";
  } else {
    std::sscanf(rest.c_str(), "%d %dx%d %dx%d %lld %lld", &r.windows, &r.mainWidth, &r.mainHeight, &r.windowWidth,
                &r.windowHeight, &before, &beforeFiles);
    r.rssBefore = static_cast<double>(before);
    r.filesBefore = static_cast<double>(beforeFiles);
    std::this_thread::sleep_for(std::chrono::seconds(kWarmSeconds));
    Counts c0, c1;
    const bool first = readCounts(program, &c0);
    const long sent0 = camemu::videoFramesSent(emu);
    const bool measuring = bench::writeLine(program, "measure") && expect(program, "measuring", &rest, 10000);
    bench::ThreadWatch threads(program.pid);
    const double cpu0 = bench::processCpuSeconds(program.pid);
    const auto t0 = std::chrono::steady_clock::now();
    bool lapped = true;
    for (int done = 0; lapped && done < seconds;) {
      LatencyWindow w;
      w.seconds = std::min(kLatencyWindowSeconds, seconds - done);
      // The threads are looked at every second: a pacer's timer thread lasts from one of
      // its steps to the next.
      for (int i = 0; i < w.seconds; ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        threads.sample();
      }
      done += w.seconds;
      lapped = bench::writeLine(program, "lap") && expect(program, "lap", &rest, 10000) &&
               std::sscanf(rest.c_str(), "%lf %lf %zu", &w.median, &w.p95, &w.count) == 3;
      r.latencyWindows.push_back(w);
    }
    const double cpu1 = bench::processCpuSeconds(program.pid);
    threads.sample();
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    for (int k = 0; k < kThreadKindCount; ++k) r.threads[k] = threads.cost(kThreadKinds[k].name, r.wall);
    r.rssSteady = bench::processResidentBytes(program.pid);
    r.filesSteady = bench::processResidentFileBytes(program.pid);
    const long sent1 = camemu::videoFramesSent(emu);
    const bool second = readCounts(program, &c1);
    size_t latencies = 0;
    const bool timed = bench::writeLine(program, "latency") && expect(program, "latency", &rest, 10000) &&
                       std::sscanf(rest.c_str(), "%lf %lf %lf %zu", &r.latencyMed, &r.latencyP95, &r.latencyMax,
                                   &latencies) == 4;
    if (!first || !second || !measuring || !timed || !lapped || cpu0 < 0 || cpu1 < 0 || r.windows != n || sent0 < 0 ||
        sent1 < 0) {
      r.failure = "the program stopped answering or opened " + std::to_string(r.windows) + " windows";
    } else {
      r.ok = true;
      r.cores = (cpu1 - cpu0) / r.wall;
      r.sent = sent1 - sent0;
      r.received = c1.v[0] - c0.v[0];
      r.presented = c1.v[1] - c0.v[1];
      r.painted = c1.v[2] - c0.v[2];
      r.numbered = c1.v[3] - c0.v[3];
      r.skipped = c1.v[4] - c0.v[4];
      r.receivedFps = static_cast<double>(r.received) / r.wall / n;
      r.paintedFps = static_cast<double>(r.painted) / r.wall / n;
    }
  }
  bench::writeLine(program, "quit");
  bench::killChild(program);
  camemu::stopProgram(emu);
  r.bare.take(clip, n);
  return r;
}

// Seconds from exec of the program to its "main window shown" line; -1 when it never came.
struct TreeShown {
  int devices = -1, items = -1;
};

double startOnce(const fs::path& home, const fs::path& runtime, TreeShown* shown) {
  std::vector<std::string> env = programEnv(home, runtime);
  env.push_back("TARNWICK_LOG_LEVEL=info");
  const auto t0 = std::chrono::steady_clock::now();
  bench::Child program = bench::spawnChild(bench::selfDir() + "/Tarnwick", {}, env, "-");
  std::string line;
  double seconds = -1;
  while (program.pid > 0 && bench::readLine(program, &line, 120000)) {
    const size_t at = line.find("main window shown: ");
    if (at == std::string::npos) continue;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::sscanf(line.c_str() + at, "main window shown: %d devices, %d items", &shown->devices, &shown->items);
    break;
  }
  bench::killChild(program);
  return seconds;
}

struct StartupResult {
  double empty = -1, full = -1;
  TreeShown emptyTree, fullTree;
};

double median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

StartupResult runStartup(const fs::path& dir) {
  StartupResult r;
  const fs::path empty = dir / "home-empty", full = dir / "home-10000";
  seedHome(empty, [](CDevMgrModel&, const std::u16string&) {});
  // A hundred regions of 100 devices: three IP cameras of one channel for every recorder of
  // eight, on loopback addresses (nothing logs in at start-up, and nothing leaves this
  // machine): 37,601 items in each device tree.
  seedHome(full, [](CDevMgrModel& model, const std::u16string& root) {
    std::u16string region;
    for (int i = 0; i < kStartupDevices; ++i) {
      if (i % 100 == 0) {
        region = MakeGuidString();
        const std::string number = std::to_string(i / 100 + 1);
        model.AddRegionNode(u"区域 " + std::u16string(number.begin(), number.end()), region, root);
      }
      const std::string n = std::to_string(i + 1);
      const std::string host = "127.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
      const bool recorder = i % 4 == 3;
      addDevice(model, std::u16string(recorder ? u"录像机 " : u"摄像机 ") + std::u16string(n.begin(), n.end()),
                std::u16string(host.begin(), host.end()), 8000, recorder ? 8 : 1,
                recorder ? DEV_TYPE_DVR : DEV_TYPE_IPC, MakeGuidString(), region);
    }
  });
  unsetenv("TARNWICK_HOME");
  std::vector<double> emptyRuns, fullRuns;
  // Alternated, so a busy moment of the machine weighs on both alike.
  for (int i = 0; i < kStartupRuns; ++i) {
    emptyRuns.push_back(startOnce(empty, dir / "run-startup", &r.emptyTree));
    fullRuns.push_back(startOnce(full, dir / "run-startup", &r.fullTree));
  }
  if (std::count(emptyRuns.begin(), emptyRuns.end(), -1.0) == 0) r.empty = median(emptyRuns);
  if (std::count(fullRuns.begin(), fullRuns.end(), -1.0) == 0) r.full = median(fullRuns);
  return r;
}

void printLive(const char* name, int n, const LiveResult& r) {
  const std::string what = std::to_string(n) + " live " + name + " windows";
  if (!r.ok) {
    g_keep = true;
    row(what, "not measured", r.failure);
    return;
  }
  row(what, fmt("%.0f x %.0f each", r.windowWidth, r.windowHeight),
      fmt("in the main window of %.0f x %.0f (a screen of 1920 x 1080), %.0f s of steady state", r.mainWidth,
          r.mainHeight, r.wall));
  const double bare = r.bare.cores(), low = r.bare.low(), high = r.bare.high();
  row("  program cores", fmt("%.2f (bare decode %.2f)", r.cores, bare),
      "CPU seconds a second of the program process; bare: the same frames through one decoder a stream");
  row("    bare decode, its passes", fmt("%.2f to %.2f", low, high),
      fmt("the reference's six passes: the ratio would be %.2f x to %.2f x", high > 0 ? r.cores / high : 0,
          low > 0 ? r.cores / low : 0));
  row("  ratio to the bare decode", fmt("%.2f x", bare > 0 ? r.cores / bare : 0),
      "receive, decode, convert, present and paint, over decode alone (1.0 = no overhead)");
  for (int k = 0; k < kThreadKindCount; ++k) {
    const bench::ThreadKindCost& t = r.threads[k];
    row(std::string("  ") + kThreadKinds[k].kind + " threads: cores, switches/s",
        fmt("%.3f, %.0f", t.cores, t.switchesPerSecond / n),
        std::string("threads named ") + kThreadKinds[k].name +
            fmt(" (%.0f seen): their cores, and their voluntary context switches a second a stream (%.0f in all)",
                t.threads, t.switchesPerSecond));
  }
  row("  latency send -> paint, steady (ms)", fmt("med %.0f, p95 %.0f (max %.0f)", r.latencyMed, r.latencyP95, r.latencyMax),
      "from the emulator's send of each frame to the paint of the window that shows it");
  if (r.latencyWindows.size() > 1) {
    int from = 0;
    for (const LatencyWindow& w : r.latencyWindows) {
      row(fmt("    from %.0f s to %.0f s (ms)", from, from + w.seconds), fmt("med %.0f, p95 %.0f", w.median, w.p95),
          fmt("%.0f paints in this window", static_cast<double>(w.count)));
      from += w.seconds;
    }
  }
  const double privateBefore = r.rssBefore - r.filesBefore, privateSteady = r.rssSteady - r.filesSteady;
  row("  private memory per window (MB)", fmt("%.1f", (privateSteady - privateBefore) / n / 1e6),
      "the process's own resident memory while streaming, less before the first preview opened, over the windows");
  row("  library code read in, once (MB)", fmt("%.1f", (r.filesSteady - r.filesBefore) / 1e6),
      "pages of files (the decoder's code) first touched by the streams: read once for the process, shared");
  row("  frames sent / received / presented / painted",
      fmt("%.0f / %.0f / %.0f / ", static_cast<double>(r.sent), static_cast<double>(r.received),
          static_cast<double>(r.presented)) +
          fmt("%.0f", static_cast<double>(r.painted)),
      fmt("sent: the emulator's count; received %.2f, painted %.2f a second a window (the camera sends 25)",
          r.receivedFps, r.paintedFps));
  if (r.numbered < r.painted * 9 / 10) {
    row("  frames dropped", "not measured",
        fmt("the frame numbers of %.0f of %.0f painted pictures could not be read", static_cast<double>(r.painted - r.numbered),
            static_cast<double>(r.painted)));
    return;
  }
  row("  frames dropped",
      fmt("%.0f (%.2f %%)", static_cast<double>(r.skipped),
          r.sent > 0 ? 100.0 * static_cast<double>(r.skipped) / static_cast<double>(r.sent) : 0),
      "frames never painted: gaps in the frame numbers the painted pictures carry, against those sent");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--drive") == 0) return RunDrivenProgram(argc, argv);
  const bench::Arguments args = bench::parseArguments(argc, argv, kMeasureSeconds);
  const int seconds = args.seconds;
  auto runs = [&](const char* part) { return args.runs(part); };
  signal(SIGPIPE, SIG_IGN);  // a program that ended is noticed by its missing answer
  const fs::path dir = fs::temp_directory_path() / ("bench_program_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::printf("The program (its own process, offscreen) against references measured in the same run;\n"
              "the camera emulator streams from a process of its own. Other work on this machine moves\n"
              "the absolute figures; the ratios are what counts.\n\n");
  row("measure", "measured", "meaning");
  std::printf("|%s|%s|%s\n", std::string(46, '-').c_str(), std::string(32, '-').c_str(), std::string(40, '-').c_str());
  // One live case alone, only when named.
  auto named = [&](const char* part) { return !args.parts.empty() && args.runs(part); };
  // Each case with the cheapest clip to decode, then with one made as a camera makes it.
  struct Case {
    const char* part;
    const bench::ClipCase& clip;
    int windows;
  };
  const Case cases[] = {{"live-d1", bench::kD1, 1},
                        {"live-d1x25", bench::kD1, 25},
                        {"live-1080p", bench::k1080, 16},
                        {"live-d1-camera", bench::kD1Camera, 1},
                        {"live-d1x25-camera", bench::kD1Camera, 25},
                        {"live-1080p-camera", bench::k1080Camera, 16}};
  for (const Case& c : cases)
    if (named(c.part) || runs("live")) printLive(c.clip.name, c.windows, runLive(c.clip, c.windows, dir, seconds));
  if (runs("startup")) {
    const StartupResult s = runStartup(dir);
    g_keep |= s.empty < 0 || s.full < 0;
    row("start-up, empty Tarnwick.db", s.empty < 0 ? "not measured" : fmt("%.3f s", s.empty),
        fmt("exec to the main window shown with its trees filled (median of %.0f runs)", kStartupRuns));
    row("start-up, 10,000 devices in Tarnwick.db", s.full < 0 ? "not measured" : fmt("%.3f s", s.full),
        s.full < 0 || s.empty <= 0 ? "" : fmt("%.2f x the empty start, %.0f ms more", s.full / s.empty, (s.full - s.empty) * 1000));
    row("  devices / items in the live page's tree", fmt("%.0f / %.0f", s.fullTree.devices, s.fullTree.items),
        "as the program reported them once shown (regions, devices and channels)");
  }
  if (runs("hung")) g_keep |= !RunHungDevicesCase(dir);
  std::error_code ec;
  if (g_keep) std::printf("\nThe programs' logs are kept in %s\n", dir.c_str());
  else fs::remove_all(dir, ec);
  return 0;
}
