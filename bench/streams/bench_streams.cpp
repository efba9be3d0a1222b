// Live video at scale, measured on the library alone. Each case runs in a process of its own
// (this program started again with --case), which does nothing else: it starts the camera
// emulator's program (a process of its own too), which streams a generated D1 or 1080p clip
// (the cheapest stream to decode, or one made as a camera makes it) at 25 frames a second on a fixed schedule with the wall-clock send time in every frame;
// shows N play windows (plat::VideoWidget, offscreen) of the size a grid cell of the program
// has on a 1920 x 1080 screen; and opens one displayed stream into each. After a warm-up,
// over at least 60 s of steady state it measures:
//   - its own cores (CPU seconds per second), set against a bare single-threaded libavcodec
//     decode of the same frames by N decoders fed in turn, measured by the parent in the
//     same run before and after the case;
//   - private memory per window: its own resident memory while streaming, less what it held
//     with the windows shown before any stream opened, over N, apart from the library code
//     it read in once;
//   - latency from the emulator's send time of each frame to the paint of the window that
//     shows it (frame numbers read back from the painted pictures), with no goal: it is the
//     depth of the jitter buffer the streams' pacers keep;
//   - frames the emulator sent (asked for its count), received by the streams, presented to
//     the windows and painted by them, and frames never painted (gaps in the frame numbers).
// The parent also shows the largest key frame and picture and loads 10,000 devices.
// Rows with a goal print it beside them.
#include <unistd.h>

#include <QApplication>
#include <QGridLayout>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Corvane.h"
#include "bench_common.h"
#include "camemu/camera.h"
#include "camemu/media.h"
#include "camemu/program.h"
#include "clipgen/clipgen.h"
#include "plat/audio.h"
#include "plat/log.h"
#include "plat/qtvideowidget.h"
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
using bench::k1080;
using bench::k1080Camera;
using bench::kD1;
using bench::kD1Camera;
using bench::selfDir;

constexpr int kClipFrames = 100;  // 4 seconds: frame numbers stay unambiguous below that
constexpr int kWarmSeconds = 5;
constexpr int kMeasureSeconds = 60;

// A window of the program's live page on a 1920 x 1080 screen (as bench_program reports
// it): a cell of a 5 x 5 grid, of a 4 x 4 one, or the whole grid.
struct Cell {
  int width, height;
};
Cell cellOf(int windows) { return windows >= 25 ? Cell{330, 150} : windows >= 16 ? Cell{415, 188} : Cell{1660, 760}; }

// What a case measured, as its process reports it on one line.
struct CaseResult {
  bool ok = false;
  double cores = 0, rssBefore = 0, rssSteady = 0, filesBefore = 0, filesSteady = 0, wall = 0;
  long sent = 0;
  uint64_t received = 0, presented = 0, painted = 0, numbered = 0, skipped = 0;
  double latencyMed = -1, latencyP95 = -1, latencyMax = -1;
  int windows = 0, width = 0, height = 0;
};

// One window and its stream: the hook notes when each frame of the clip was sent, the paint
// takes the latency of the frame it shows.
class Window : public QObject {
 public:
  Window(const bench::ClipFrames& clip, bench::Latencies& latencies, int width, int height, QWidget* parent)
      : clip_(clip), sent_(clip.count()), latencies_(latencies), widget_(new plat::VideoWidget(parent)) {
    widget_->setFixedSize(width, height);
    widget_->installEventFilter(this);
  }
  plat::WindowHandle handle() const { return widget_->handle(); }
  QWidget* widget() const { return widget_; }
  static void hook(const uint8_t* data, int length, int codec, uint32_t seconds, uint32_t microseconds, uint32_t,
                   void* user) {
    if (codec > 2) return;  // audio
    auto* w = static_cast<Window*>(user);
    w->received_.fetch_add(1, std::memory_order_relaxed);
    w->sent_.note(w->clip_.indexOf(data, static_cast<size_t>(length)), int64_t{seconds} * 1000000 + microseconds);
  }
  uint64_t received() const { return received_.load(std::memory_order_relaxed); }
  const bench::PaintTally& tally() const { return tally_; }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::Paint) return false;
    plat::PresentedFrame f;
    if (!plat::presentedFrame(handle(), &f)) return false;
    const int index =
        clipgen::readFrameIndexBgrx(f.bits, f.stride, f.width, f.height, f.pictureWidth, f.pictureHeight);
    tally_.paint(f.serial, index, clip_.count(), sent_, latencies_);
    return false;
  }

 private:
  const bench::ClipFrames& clip_;
  bench::SendTimes sent_;
  bench::Latencies& latencies_;
  plat::VideoWidget* widget_;
  std::atomic<uint64_t> received_{0};
  bench::PaintTally tally_;  // GUI thread only
};

// The child: one case, then its result line on standard output.
int runCase(int argc, char** argv) {
  if (argc < 5) return 2;
  const std::string clipPath = argv[2];
  const int n = std::atoi(argv[3]);
  const int seconds = std::atoi(argv[4]);
  QApplication app(argc, argv);
  plat::setAudioBackend(plat::AudioBackendKind::Null);
  plat::setLogLevel(plat::LogLevel::Error);
  clipgen::Clip clip;
  if (n <= 0 || !clipgen::readClip(clipPath, &clip)) return 2;
  const bench::ClipFrames frames(clip);
  camemu::Program emu = camemu::startProgram(
      selfDir() + "/camemu", {"--clip", clipPath, "--streams", std::to_string(n + 1), "--wall-clock"});
  if (emu.pid < 0) return 3;
  const Cell cell = cellOf(n);
  bench::Latencies latencies;
  QWidget screen;
  auto* grid = new QGridLayout(&screen);
  grid->setSpacing(2);
  std::vector<std::unique_ptr<Window>> windows;
  const int columns = n >= 25 ? 5 : n >= 16 ? 4 : n >= 9 ? 3 : n >= 4 ? 2 : 1;
  for (int i = 0; i < n; ++i) {
    windows.push_back(std::make_unique<Window>(frames, latencies, cell.width, cell.height, &screen));
    grid->addWidget(windows.back()->widget(), i / columns, i % columns);
  }
  screen.show();
  QApplication::processEvents();
  CaseResult r;
  r.windows = n;
  r.width = cell.width;
  r.height = cell.height;
  r.rssBefore = bench::residentBytes();
  r.filesBefore = bench::residentFileBytes();
  IpcLoginInfo li{};
  li.address = INADDR_LOOPBACK;
  li.port = emu.port;
  std::strcpy(li.user, "admin");
  std::strcpy(li.password, "admin");
  li.connectNow = 1;
  IPC_HANDLE session = IPC_SessionOpen(&li);
  std::vector<IPC_HANDLE> streams;
  for (auto& w : windows) {
    IPC_HANDLE s = session ? IPC_StreamOpen(session, 0, w->handle(), 1) : nullptr;
    if (s) IPC_SetStreamHook(s, Window::hook, w.get());
    streams.push_back(s);
  }
  auto counts = [&](uint64_t* received, uint64_t* presented, bench::PaintTally* painted) {
    *received = *presented = 0;
    *painted = {};
    for (auto& w : windows) {
      *received += w->received();
      plat::PresentedFrame f;
      if (plat::presentedFrame(w->handle(), &f)) *presented += f.serial;
      painted->painted += w->tally().painted;
      painted->numbered += w->tally().numbered;
      painted->skipped += w->tally().skipped;
    }
  };
  uint64_t rx0 = 0, pr0 = 0, rx1 = 0, pr1 = 0;
  bench::PaintTally pa0, pa1;
  double cpu0 = 0;
  long sent0 = 0;
  std::chrono::steady_clock::time_point t0;
  QTimer::singleShot(kWarmSeconds * 1000, [&] {
    counts(&rx0, &pr0, &pa0);
    sent0 = camemu::videoFramesSent(emu);
    latencies.collect(true);
    cpu0 = bench::cpuSeconds();
    t0 = std::chrono::steady_clock::now();
    QTimer::singleShot(seconds * 1000, [&] {
      const double cpu = bench::cpuSeconds() - cpu0;
      r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      latencies.collect(false);
      r.rssSteady = bench::residentBytes();
      r.filesSteady = bench::residentFileBytes();
      counts(&rx1, &pr1, &pa1);
      r.sent = camemu::videoFramesSent(emu) - sent0;
      r.cores = cpu / r.wall;
      QApplication::quit();
    });
  });
  QApplication::exec();
  r.received = rx1 - rx0;
  r.presented = pr1 - pr0;
  r.painted = pa1.painted - pa0.painted;
  r.numbered = pa1.numbered - pa0.numbered;
  r.skipped = pa1.skipped - pa0.skipped;
  r.latencyMed = latencies.percentileMs(50);
  r.latencyP95 = latencies.percentileMs(95);
  r.latencyMax = latencies.percentileMs(100);
  r.ok = session && std::count(streams.begin(), streams.end(), nullptr) == 0 && r.sent >= 0;
  std::printf("bench: result %d %.4f %.0f %.0f %.0f %.0f %.3f %ld %lu %lu %lu %lu %lu %.2f %.2f %.2f %d %d %d\n",
              r.ok ? 1 : 0, r.cores, r.rssBefore, r.rssSteady, r.filesBefore, r.filesSteady, r.wall, r.sent,
              static_cast<unsigned long>(r.received),
              static_cast<unsigned long>(r.presented), static_cast<unsigned long>(r.painted),
              static_cast<unsigned long>(r.numbered), static_cast<unsigned long>(r.skipped), r.latencyMed,
              r.latencyP95, r.latencyMax, r.windows, r.width, r.height);
  std::fflush(stdout);
  for (IPC_HANDLE s : streams)
    if (s) IPC_StreamClose(s);
  if (session) IPC_SessionClose(session);
  camemu::stopProgram(emu);
  return 0;
}

struct LiveResult {
  bool ran = false;
  CaseResult run;
  bench::BareReference bare;
  double bareAlone = 0;
  std::string failure;
};

LiveResult runLive(const ClipCase& cc, int n, const std::string& dir, int seconds) {
  LiveResult r;
  r.ran = true;
  const clipgen::Clip clip = bench::makeClip(cc, kClipFrames);
  if (clip.frames.size() != static_cast<size_t>(kClipFrames)) {
    r.failure = "no clip";
    return r;
  }
  const std::string path = dir + "/" + cc.name + ".264";
  clipgen::writeClip(clip, path);
  // One decoder per stream, fed in turn (the client's caches hold as much), before and
  // after the case (the machine's load moves meanwhile); one decoder alone on a warm cache
  // beside it.
  r.bare.take(clip, n);
  r.bareAlone = bench::bareCoresPerStream(clip, 6) * n;
  bench::Child child = bench::spawnChild(
      selfDir() + "/bench_streams", {"--case", path, std::to_string(n), std::to_string(seconds)},
      {"QT_QPA_PLATFORM=offscreen"}, dir + "/" + cc.name + ".log");
  std::string line;
  bool got = false;
  while (child.pid > 0 && bench::readLine(child, &line, (kWarmSeconds + seconds + 120) * 1000)) {
    if (line.rfind("bench: result ", 0) != 0) continue;
    CaseResult& c = r.run;
    int ok = 0;
    unsigned long rx, pr, pa, nu, sk;
    got = std::sscanf(line.c_str() + 14, "%d %lf %lf %lf %lf %lf %lf %ld %lu %lu %lu %lu %lu %lf %lf %lf %d %d %d",
                      &ok, &c.cores, &c.rssBefore, &c.rssSteady, &c.filesBefore, &c.filesSteady, &c.wall, &c.sent,
                      &rx, &pr, &pa, &nu, &sk, &c.latencyMed, &c.latencyP95, &c.latencyMax, &c.windows, &c.width,
                      &c.height) == 19;
    c.received = rx;
    c.presented = pr;
    c.painted = pa;
    c.numbered = nu;
    c.skipped = sk;
    c.ok = got && ok;
    break;
  }
  // After its result the case closes its streams and stops its emulator: it is let end by
  // itself (its output closing), for a while, or the emulator would outlive it.
  while (got && bench::readLine(child, &line, 30000)) {
  }
  bench::killChild(child);
  if (!r.run.ok) r.failure = got ? "the case's streams did not all open" : "the case gave no result (see its log)";
  r.bare.take(clip, n);
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
  if (auto st = corvane::findLiveStream(s)) r.cut = st->droppedFrames();
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
  std::printf("| %-52s | %-44s | %-26s | %-4s |\n", measure.c_str(), now.c_str(), goal.c_str(), met ? "met" : "NOT");
  std::fflush(stdout);
}

void info(const std::string& measure, const std::string& now) {
  std::printf("| %-52s | %-44s | %-26s | %-4s |\n", measure.c_str(), now.c_str(), "", "");
  std::fflush(stdout);
}

std::string fmt(const char* f, double a, double b = 0, double c = 0, double d = 0) {
  char buf[200];
  std::snprintf(buf, sizeof buf, f, a, b, c, d);
  return buf;
}

// What a displaying stream's pools hold at the most (50 frames of 358,440 bytes, 8 pictures
// of 4,147,208 and 20 audio and talk blocks): its memory beyond the decoder's own.
constexpr double kPoolBoundMb = 51;

// The rows of one case. Its cost is set against the bare decode with no goal: the stream's
// threads, their sleeps and its jitter buffer are what they are, and the figures say what
// they cost.
void printLive(const char* kind, int n, const LiveResult& r) {
  if (!r.ran) return;
  const std::string what = std::to_string(n) + " live " + kind + " windows";
  if (!r.run.ok) {
    row(what, "not measured: " + r.failure, "", false);
    return;
  }
  const CaseResult& c = r.run;
  const double bare = r.bare.cores(), low = r.bare.low(), high = r.bare.high();
  const double ratio = bare > 0 ? c.cores / bare : 0;
  info(what, fmt("%.0f x %.0f each, %.0f s measured", c.width, c.height, c.wall));
  info("  ratio to the bare decode", fmt("%.2f x (%.2f cores; bare %.2f)", ratio, c.cores, bare));
  info("    bare decode, its six passes", fmt("%.2f to %.2f cores (%.2fx to %.2fx)", low, high,
                                                high > 0 ? c.cores / high : 0, low > 0 ? c.cores / low : 0));
  info("    bare: one decoder alone x " + std::to_string(n), fmt("%.2f cores (%.2fx of it)", r.bareAlone,
                                                                  r.bareAlone > 0 ? c.cores / r.bareAlone : 0));
  // The pictures wait in the stream's jitter buffer, which its pacer keeps a few pictures
  // deep: the latency is what that design gives, and no goal of its own.
  info("  latency send -> paint, steady (ms)",
       fmt("med %.0f, p95 %.0f, max %.0f", c.latencyMed, c.latencyP95, c.latencyMax));
  const double memory = ((c.rssSteady - c.filesSteady) - (c.rssBefore - c.filesBefore)) / n / 1e6;
  row("  private memory per window (MB)", fmt("%.1f", memory), fmt("<= %.0f (its pools' bound)", kPoolBoundMb),
      memory <= kPoolBoundMb);
  info("  library code read in, once (MB)", fmt("%.1f", (c.filesSteady - c.filesBefore) / 1e6));
  const double perWindow = c.wall * n;
  info("  frames sent / received / presented / painted",
       fmt("%.0f / %.0f / %.0f / ", static_cast<double>(c.sent), static_cast<double>(c.received),
           static_cast<double>(c.presented)) +
           fmt("%.0f (%.2f a second a window painted)", static_cast<double>(c.painted), c.painted / perWindow));
  if (c.numbered < c.painted * 9 / 10) {
    row("  frames dropped", fmt("not measured: %.0f of %.0f painted pictures unread", double(c.painted - c.numbered),
                                 double(c.painted)), "0", false);
    return;
  }
  row("  frames dropped", fmt("%.0f (%.2f %% of those sent)", double(c.skipped), c.sent > 0 ? 100.0 * c.skipped / c.sent : 0),
      "0", c.skipped == 0);
}

}  // namespace

// Arguments: none for every row, or the names of the parts to run ("D1", "1080p", "other";
// "devices" for the device load alone); "--seconds S" measures each case over S seconds.
int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--case") == 0) return runCase(argc, argv);
  const bench::Arguments args = bench::parseArguments(argc, argv, kMeasureSeconds);
  const int seconds = args.seconds;
  auto runs = [&](const char* part) { return args.runs(part); };
  plat::setAudioBackend(plat::AudioBackendKind::Null);
  plat::setLogLevel(plat::LogLevel::Error);
  const std::string dir = std::filesystem::temp_directory_path() / ("bench_streams_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::printf("The library alone: each case a process of its own, the camera emulator another; references\n"
              "in the same run.\n\n");
  std::printf("| %-52s | %-44s | %-26s | %-4s |\n", "measure", "measured", "goal", "");
  std::printf("|%s|%s|%s|%s|\n", std::string(54, '-').c_str(), std::string(46, '-').c_str(),
              std::string(28, '-').c_str(), std::string(6, '-').c_str());
  bool keep = false;
  // Each case with the cheapest clip to decode, and with one made as a camera makes it.
  for (const ClipCase* cc : {&kD1, &kD1Camera}) {
    if (!runs("D1")) break;
    const LiveResult one = runLive(*cc, 1, dir, seconds);
    printLive(cc->name, 1, one);
    const LiveResult d1 = runLive(*cc, 25, dir, seconds);
    printLive(cc->name, 25, d1);
    keep |= !one.run.ok || !d1.run.ok;
  }
  for (const ClipCase* cc : {&k1080, &k1080Camera}) {
    if (!runs("1080p")) break;
    const LiveResult hd = runLive(*cc, 16, dir, seconds);
    printLive(cc->name, 16, hd);
    keep |= !hd.run.ok;
  }
  if (runs("other")) {
    const ShownResult key = largestKeyFrame();
    row("key frame of 4 MiB (4,194,304 bytes)", key.shown ? fmt("shown whole, %.0f frames dropped", key.cut) : "not shown",
        "shown whole up to 4 MiB", key.shown && key.cut == 0);
    const ShownResult big = largestPicture();
    row("picture of 3840 x 2160", big.shown ? fmt("shown at %.0f x %.0f", big.width, big.height) : "not shown",
        "shown up to 3840 x 2160", big.shown && big.width == 3840 && big.height == 2160);
  }
  if (runs("other") || runs("devices")) {
#ifdef HAVE_TARNWICK
    const auto [load, bare] = loadDevices(dir);
    row("load 10,000 devices from Tarnwick.db", fmt("%.3f s (bare read of the rows %.3f s)", load, bare), "< 0.3 s",
        load < 0.3);
#else
    std::printf("| load 10,000 devices: not measured (built without the program's code)\n");
#endif
  }
  row("build type of this binary", TARNWICK_BUILD_TYPE, "-DCMAKE_BUILD_TYPE=Release builds",
      std::string(TARNWICK_BUILD_TYPE) == "Release");
  if (keep) std::printf("\nThe cases' logs are kept in %s\n", dir.c_str());
  else std::filesystem::remove_all(dir);
  return 0;
}
