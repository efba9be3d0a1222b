// Live streams at scale: N streams (1, 4, 16, 25) of a generated 1080p and a D1 clip from one
// camera emulator at 25 frames a second into headless windows. Reported per stream: frames
// decoded and presented per second, and CPU seconds per stream-second; the reference is a bare
// libavcodec decode of the same clip in the same run, and the CPU ratio is printed against it.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "Corvane.h"
#include "audio/stream_media.h"
#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "plat/audio.h"
#include "plat/surface.h"
#include "plat/window.h"
#include "stream/live_stream.h"
#include "video/video_player.h"

namespace {

constexpr int kFps = 25;
constexpr int kRunSeconds = 3;

struct ClipCase {
  const char* name;
  int width, height;
};
const ClipCase kClips[] = {{"1080p", 1920, 1080}, {"D1", 704, 576}};

const clipgen::Clip& clip(int which) {
  static std::map<int, clipgen::Clip> clips;
  auto it = clips.find(which);
  if (it != clips.end()) return it->second;
  clipgen::Options o;
  o.width = kClips[which].width;
  o.height = kClips[which].height;
  o.frames = 50;
  o.fps = kFps;
  o.gop = 25;
  o.bitrate = which == 0 ? 4000000 : 1500000;
  clipgen::Clip c;
  std::string error;
  if (!clipgen::generate(o, &c, &error)) std::fprintf(stderr, "clip: %s\n", error.c_str());
  return clips.emplace(which, std::move(c)).first->second;
}

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// CPU seconds a bare libavcodec decode needs per second of the clip (25 frames).
std::map<int, double> g_bareCpuPerStreamSecond;

void BM_BareDecode(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const clipgen::Clip& c = clip(which);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->thread_count = 1;
  avcodec_open2(ctx, codec, nullptr);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int64_t frames = 0;
  const double cpu0 = cpuSeconds();
  for (auto _ : state) {
    for (size_t i = 0; i < c.frames.size(); ++i) {
      std::vector<uint8_t> bytes = c.frameBytes(i);
      av_new_packet(pkt, static_cast<int>(bytes.size()));
      std::memcpy(pkt->data, bytes.data(), bytes.size());
      avcodec_send_packet(ctx, pkt);
      av_packet_unref(pkt);
      while (avcodec_receive_frame(ctx, frame) == 0) ++frames;
    }
  }
  const double cpu = cpuSeconds() - cpu0;
  state.counters["frames_per_cpu_s"] = frames / cpu;
  g_bareCpuPerStreamSecond[which] = cpu / frames * kFps;
  state.counters["cpu_s_per_stream_s"] = g_bareCpuPerStreamSecond[which];
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
  state.SetLabel(kClips[which].name);
}

void BM_LiveStreams(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  const int n = static_cast<int>(state.range(1));
  plat::setAudioBackend(plat::AudioBackendKind::Null);
  camemu::Config cfg;
  cfg.otherLimit = 64;
  cfg.controlLimit = 64;
  cfg.alarmLimit = 64;
  camemu::Camera cam(cfg);
  cam.start();
  camemu::Media media(cam);
  std::vector<camemu::MediaFrame> frames;
  const clipgen::Clip& c = clip(which);
  for (size_t i = 0; i < c.frames.size(); ++i) {
    camemu::MediaFrame f;
    f.data = c.frameBytes(i);
    f.key = c.frames[i].key;
    f.width = static_cast<uint16_t>(c.width);
    f.height = static_cast<uint16_t>(c.height);
    frames.push_back(std::move(f));
  }
  media.setLiveFrames(frames, true);
  media.setFrameInterval(1000 / kFps);

  IpcLoginInfo li{};
  li.address = INADDR_LOOPBACK;
  li.port = cam.port();
  std::strcpy(li.user, "admin");
  std::strcpy(li.password, "admin");
  li.connectNow = 1;
  IPC_HANDLE session = IPC_SessionOpen(&li);
  auto dispatcher = std::make_shared<plat::QueueDispatcher>();
  std::vector<plat::WindowHandle> windows;
  std::vector<IPC_HANDLE> streams;
  for (int i = 0; i < n; ++i) {
    windows.push_back(plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; },
                                           dispatcher));
    streams.push_back(IPC_StreamOpen(session, 0, windows.back(), 1));
  }
  // Let every stream connect and fill its pipeline before measuring.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  auto counts = [&](int64_t& decoded, int64_t& presented) {
    decoded = presented = 0;
    for (int i = 0; i < n; ++i) {
      if (auto st = corvane::findLiveStream(streams[i]))
        decoded += st->player()->decodedFrames();
      plat::PresentedPicture pic;
      if (plat::lastPresented(windows[i], &pic)) presented += static_cast<int64_t>(pic.serial);
    }
  };
  int64_t d0 = 0, p0 = 0, d1 = 0, p1 = 0;
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    counts(d0, p0);
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(kRunSeconds));
    wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    cpu = cpuSeconds() - cpu0;
    counts(d1, p1);
  }
  const double streamSeconds = wall * n;
  const double cpuPerStreamSecond = cpu / streamSeconds;
  state.counters["decoded_fps_per_stream"] = (d1 - d0) / streamSeconds;
  state.counters["presented_fps_per_stream"] = (p1 - p0) / streamSeconds;
  state.counters["cpu_s_per_stream_s"] = cpuPerStreamSecond;
  const double bare = g_bareCpuPerStreamSecond[which];
  if (bare > 0) state.counters["cpu_ratio_vs_bare_decode"] = cpuPerStreamSecond / bare;
  state.SetLabel(std::string(kClips[which].name) + " x" + std::to_string(n));
  for (IPC_HANDLE s : streams) IPC_StreamClose(s);
  IPC_SessionClose(session);
  for (auto w : windows) plat::unregisterWindow(w);
  cam.stop();
}

BENCHMARK(BM_BareDecode)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveStreams)
    ->ArgsProduct({{0, 1}, {1, 4, 16, 25}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
