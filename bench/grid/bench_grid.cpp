// The play grid's cost: 16 D1 live streams of one camera emulator at 25 frames a second,
// opened through the preview list into the windows of a 4 x 4 play screen that paints every
// presented picture (offscreen Qt). Reported: CPU seconds per stream-second and the ratio to a
// bare single-threaded libavcodec decode of the same clip measured in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "bench_common.h"
#include "camemu/camera.h"
#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "controls/InteractiveUi.h"
#include "devices/DeviceManager.h"
#include "plat/audio.h"
#include "plat/surface.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"

namespace {

using bench::kFps;
constexpr int kWindows = 16;
constexpr int kRunSeconds = 4;

const clipgen::Clip& D1Clip() {
  static clipgen::Clip clip = bench::makeClip(bench::kD1, 50);
  return clip;
}

double g_bareCpuPerStreamSecond = 0;

void BM_BareDecode(benchmark::State& state) {
  for (auto _ : state) g_bareCpuPerStreamSecond = bench::bareCoresPerStream(D1Clip(), kWindows);
  state.counters["cpu_s_per_stream_s"] = g_bareCpuPerStreamSecond;
  state.SetLabel("D1 x16 bare");
}

void BM_GridLive(benchmark::State& state) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/benchgridXXXXXX";
  const fs::path home = mkdtemp(tmpl);
  setenv("TARNWICK_HOME", home.c_str(), 1);
  plat::setAudioBackend(plat::AudioBackendKind::Null);
  camemu::Config cfg;
  cfg.otherLimit = 64;
  camemu::Camera cam(cfg);
  cam.start();
  camemu::Media media(cam);
  const clipgen::Clip& c = D1Clip();
  std::vector<camemu::MediaFrame> frames;
  for (size_t i = 0; i < c.frames.size(); ++i) {
    camemu::MediaFrame f;
    f.data = c.frameBytes(i);
    f.codec = 2;
    f.key = c.frames[i].key;
    f.width = static_cast<uint16_t>(c.width);
    f.height = static_cast<uint16_t>(c.height);
    frames.push_back(std::move(f));
  }
  media.setLiveFrames(std::move(frames), true);
  media.setFrameInterval(1000 / kFps);
  CDevInfo info(u"bench", u"127.0.0.1", cam.port(), u"admin", u"admin", kWindows, u"", u"", u"",
                u"", 0, 0, DEV_TYPE_IPC, u"BENCH-GUID", u"R");
  CDeviceManager::GetInstance()->Add(new CDevice(info));

  QWidget page;
  page.resize(1280, 960);
  auto* screen = new CPlayScreen(0, &page);
  screen->setGeometry(0, 0, 1280, 960);
  page.show();
  CPreviewManager* manager = CPreviewManager::GetInstance();
  manager->SetPlayScreen(screen);
  screen->SetMode(3, 0);
  int opened = 0;
  for (int i = 0; i < kWindows; ++i) {
    auto item = std::make_shared<CPreviewItem>(i, screen->GetWnd(i)->GetSafeHwnd(), nullptr, i + 1,
                                               0, u"BENCH-GUID");
    if (item->Start() && manager->Add(item)) ++opened;
  }
  // The GUI thread runs its event loop as the program does: asleep until an event comes.
  auto runUi = [](int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  };
  auto presented = [&] {
    uint64_t total = 0;
    for (int i = 0; i < kWindows; ++i) {
      plat::PresentedPicture pic;
      if (plat::lastPresented(screen->GetWnd(i)->GetSafeHwnd(), &pic)) total += pic.serial;
    }
    return total;
  };
  runUi(1500);  // every stream connected and its pipeline full
  double cpu = 0, wall = 0;
  uint64_t shown = 0;
  for (auto _ : state) {
    const uint64_t p0 = presented();
    const double cpu0 = bench::cpuSeconds();
    QElapsedTimer t;
    t.start();
    runUi(kRunSeconds * 1000);
    wall = t.elapsed() / 1000.0;
    cpu = bench::cpuSeconds() - cpu0;
    shown = presented() - p0;
  }
  const double streamSeconds = wall * kWindows;
  const double perStream = cpu / streamSeconds;
  state.counters["windows_playing"] = opened;
  state.counters["presented_fps_per_window"] = shown / streamSeconds;
  state.counters["cpu_s_per_stream_s"] = perStream;
  if (g_bareCpuPerStreamSecond > 0)
    state.counters["cpu_ratio_vs_bare_decode"] = perStream / g_bareCpuPerStreamSecond;
  state.SetLabel("D1 x16 in the 4x4 grid");
  FreePreviewManager();
  CDeviceManager::ReleaseInstance();
  cam.stop();
  unsetenv("TARNWICK_HOME");
  fs::remove_all(home);
}

BENCHMARK(BM_BareDecode)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridLive)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  InstallInteractiveUi();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
