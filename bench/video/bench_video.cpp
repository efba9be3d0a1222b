// Video benchmarks. Each reference runs on the same pictures in the same run; the program
// prints our time as a ratio of each reference's after the table.
//   converter: I420 -> 32-bit RGB at D1, 720p and 1080p, warm and cold, against libyuv and
//              libswscale
//   decode:    the player's decode path (decoder library, the decoder's picture kept in a
//              pooled slot)
//              against a bare libavcodec decode of the same clip
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "plat/aligned_bytes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#ifdef HAVE_SWSCALE
#include <libswscale/swscale.h>
#endif
}
#ifdef HAVE_LIBYUV
#include <libyuv.h>
#endif

#include "clipgen/clipgen.h"
#include "plat/surface.h"
#include "plat/window.h"
#include "video/video_player.h"
#include "video/yuv_convert.h"

namespace {

// Pictures to convert. Warm: one picture, converted again and again, stays in the caches.
// Cold: enough pictures, rotated, to fill four times the last-level cache, so each one
// comes from memory as a live stream's pictures do.
size_t lastLevelCache() {
  size_t bytes = 0;
  if (FILE* f = std::fopen("/sys/devices/system/cpu/cpu0/cache/index3/size", "r")) {
    unsigned long kb = 0;
    if (std::fscanf(f, "%luK", &kb) == 1) bytes = kb * 1024;
    std::fclose(f);
  }
  if (!bytes) {
    const long l3 = sysconf(_SC_LEVEL3_CACHE_SIZE);
    bytes = l3 > 0 ? static_cast<size_t>(l3) : 0;
  }
  return std::clamp<size_t>(bytes, size_t{8} << 20, size_t{128} << 20);
}

struct Frames {
  int w, h;
  // The outputs start on a cache line, as the display's surfaces do.
  std::vector<std::vector<uint8_t>> i420;
  std::vector<plat::AlignedBytes> out;
  size_t next = 0;
  Frames(int width, int height, bool cold) : w(width), h(height) {
    const std::vector<uint8_t> pic = clipgen::patternPicture(width, height, 7);
    const size_t pair = pic.size() + size_t(width) * height * 4;
    const size_t count = cold ? std::max<size_t>(2, 4 * lastLevelCache() / pair + 1) : 1;
    for (size_t i = 0; i < count; ++i) {
      i420.push_back(pic);
      out.emplace_back(size_t(width) * height * 4, uint8_t(i));
    }
  }
  // The next picture and its output, in turn.
  size_t take() {
    const size_t i = next;
    next = (next + 1) % i420.size();
    return i;
  }
  const uint8_t* y(size_t i) const { return i420[i].data(); }
  const uint8_t* u(size_t i) const { return i420[i].data() + size_t(w) * h; }
  const uint8_t* v(size_t i) const { return u(i) + size_t(w / 2) * (h / 2); }
};

void BM_Convert_Ours(benchmark::State& st) {
  Frames f(int(st.range(0)), int(st.range(1)), st.range(2) != 0);
  for (auto _ : st) {
    const size_t i = f.take();
    corvane::convertI420(corvane::kPixelRgb32, f.y(i), f.u(i), f.v(i), f.w, f.h, f.out[i].data(), f.w * 4);
    benchmark::DoNotOptimize(f.out[i].data());
  }
}

// Width, height, cold (1) or warm (0).
void convertSizes(benchmark::internal::Benchmark* b) {
  for (int cold : {0, 1}) {
    b->Args({704, 576, cold});
    b->Args({1280, 720, cold});
    b->Args({1920, 1080, cold});
  }
  b->Unit(benchmark::kMicrosecond);
}

#ifdef HAVE_LIBYUV
void BM_Convert_Libyuv(benchmark::State& st) {
  Frames f(int(st.range(0)), int(st.range(1)), st.range(2) != 0);
  for (auto _ : st) {
    const size_t i = f.take();
    libyuv::I420ToARGB(f.y(i), f.w, f.u(i), f.w / 2, f.v(i), f.w / 2, f.out[i].data(), f.w * 4, f.w, f.h);
    benchmark::DoNotOptimize(f.out[i].data());
  }
}
BENCHMARK(BM_Convert_Libyuv)->Apply(convertSizes);
#endif

#ifdef HAVE_SWSCALE
void BM_Convert_Swscale(benchmark::State& st) {
  Frames f(int(st.range(0)), int(st.range(1)), st.range(2) != 0);
  SwsContext* ctx = sws_getContext(f.w, f.h, AV_PIX_FMT_YUV420P, f.w, f.h, AV_PIX_FMT_BGRA,
                                   SWS_POINT, nullptr, nullptr, nullptr);
  int srcStride[3] = {f.w, f.w / 2, f.w / 2};
  int dstStride[1] = {f.w * 4};
  for (auto _ : st) {
    const size_t i = f.take();
    const uint8_t* src[3] = {f.y(i), f.u(i), f.v(i)};
    uint8_t* dst[1] = {f.out[i].data()};
    sws_scale(ctx, src, srcStride, 0, f.h, dst, dstStride);
    benchmark::DoNotOptimize(f.out[i].data());
  }
  sws_freeContext(ctx);
}
BENCHMARK(BM_Convert_Swscale)->Apply(convertSizes);
#endif
BENCHMARK(BM_Convert_Ours)->Apply(convertSizes);

// Two clips of 720p: the simplest stream the encoder makes, and a camera-like one (CABAC,
// deblocking), where decoding costs what it costs on a live camera stream.
const clipgen::Clip& clip(int which) {
  static clipgen::Clip clips[2];
  clipgen::Clip& c = clips[which];
  if (c.frames.empty()) {
    clipgen::Options o;
    o.preset = which ? "veryfast" : "ultrafast";
    o.width = 1280;
    o.height = 720;
    o.frames = 50;
    o.gop = 25;
    o.bitrate = 3000000;
    clipgen::generate(o, &c);
  }
  return c;
}

void BM_Decode_Bare(benchmark::State& st) {
  const auto& c = clip(int(st.range(0)));
  for (auto _ : st) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
    ctx->thread_count = 1;
    avcodec_open2(ctx, codec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    for (size_t i = 0; i < c.frames.size(); ++i) {
      auto bytes = c.frameBytes(i);
      av_new_packet(pkt, int(bytes.size()));
      memcpy(pkt->data, bytes.data(), bytes.size());
      avcodec_send_packet(ctx, pkt);
      av_packet_unref(pkt);
      while (avcodec_receive_frame(ctx, frame) == 0) benchmark::DoNotOptimize(frame->data[0]);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * c.frames.size());
}
BENCHMARK(BM_Decode_Bare)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Decode_Ours(benchmark::State& st) {
  const auto& c = clip(int(st.range(0)));
  auto dispatcher = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle w = plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; }, dispatcher);
  corvane::PicturePool pictures(2);
  std::vector<std::vector<uint8_t>> frames;
  for (size_t i = 0; i < c.frames.size(); ++i) frames.push_back(c.frameBytes(i));
  for (auto _ : st) {
    corvane::VideoPlayer player(nullptr);
    player.SetMainWindow(w);
    for (const auto& f : frames) {
      // Each picture kept until the next is decoded, as a stream's render thread keeps it.
      corvane::PictureSlot* slot = pictures.takeFree();
      if (player.DecodeFrame(f.data(), uint32_t(f.size()), corvane::kCodecH264, slot)) {
        pictures.putReady(slot);
        benchmark::DoNotOptimize(pictures.takeReady());
      } else {
        pictures.giveFree(slot);
      }
    }
  }
  plat::unregisterWindow(w);
  st.SetItemsProcessed(int64_t(st.iterations()) * c.frames.size());
}
BENCHMARK(BM_Decode_Ours)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef HAVE_LIBYUV
// Ours against libyuv on cold 1080p pictures, taking turns: rounds of a few pictures each
// way, so both meet the same load on a shared machine. Returns libyuv's time over ours
// (the median of the rounds' ratios).
double coldTurns() {
  Frames f(1920, 1080, true);
  constexpr int kRounds = 21, kPerTurn = 96;
  std::vector<double> ratios;
  auto turn = [&](bool ours) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < kPerTurn; ++k) {
      const size_t i = f.take();
      if (ours)
        corvane::convertI420(corvane::kPixelRgb32, f.y(i), f.u(i), f.v(i), f.w, f.h, f.out[i].data(), f.w * 4);
      else
        libyuv::I420ToARGB(f.y(i), f.w, f.u(i), f.w / 2, f.v(i), f.w / 2, f.out[i].data(), f.w * 4, f.w, f.h);
      benchmark::DoNotOptimize(f.out[i].data());
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  };
  for (int r = 0; r < kRounds; ++r) {
    // Who goes first alternates, so neither always meets the other's leftovers.
    double ours, theirs;
    if (r % 2) {
      ours = turn(true);
      theirs = turn(false);
    } else {
      theirs = turn(false);
      ours = turn(true);
    }
    ratios.push_back(theirs / ours);
  }
  std::sort(ratios.begin(), ratios.end());
  return ratios[ratios.size() / 2];
}
#endif

// Collects the mean real time of each run to print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> times;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
};

void ratio(const RatioReporter& r, const std::string& ours, const std::string& ref, const char* what) {
  auto a = r.times.find(ours), b = r.times.find(ref);
  if (a == r.times.end() || b == r.times.end() || a->second <= 0) return;
  std::printf("%-44s %.2f x\n", what, b->second / a->second);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nRatios (reference time / ours; above 1 = ours faster):\n");
  for (const char* size : {"704/576", "1280/720", "1920/1080"}) {
    for (const char* cold : {"/0", "/1"}) {
      const std::string s = std::string(size) + cold;
      const std::string what = std::string("convert ") + size + (cold[1] == '1' ? " cold" : " warm");
      ratio(reporter, "BM_Convert_Ours/" + s, "BM_Convert_Libyuv/" + s, (what + " vs libyuv").c_str());
      ratio(reporter, "BM_Convert_Ours/" + s, "BM_Convert_Swscale/" + s, (what + " vs libswscale").c_str());
    }
  }
  std::printf("\n%-60s %-12s %s\n", "measure", "now", "goal");
  {
#ifdef HAVE_LIBYUV
    const double cold = coldTurns();
    std::printf("%-60s %-12s %s %s\n", "I420 -> RGB32 1080p, pictures not in cache (turns)",
                (std::to_string(cold).substr(0, 4) + "x libyuv").c_str(), ">= 1.0x libyuv",
                cold >= 1.0 ? "met" : "NOT");
#endif
    auto ours = reporter.times.find("BM_Convert_Ours/1920/1080/1");
    auto ref = reporter.times.find("BM_Convert_Libyuv/1920/1080/1");
    if (ours != reporter.times.end() && ref != reporter.times.end() && ours->second > 0)
      std::printf("%-60s %-12s %s\n", "  the same, one benchmark after the other",
                  (std::to_string(ref->second / ours->second).substr(0, 4) + "x libyuv").c_str(),
                  ">= 1.0x libyuv");
    ours = reporter.times.find("BM_Convert_Ours/1920/1080/0");
    ref = reporter.times.find("BM_Convert_Libyuv/1920/1080/0");
    if (ours != reporter.times.end() && ref != reporter.times.end() && ours->second > 0)
      std::printf("%-60s %-12s %s\n", "I420 -> RGB32 1080p, warm (for comparison)",
                  (std::to_string(ref->second / ours->second).substr(0, 4) + "x libyuv").c_str(),
                  "(1.17-1.26x before)");
  }
  for (int which : {0, 1}) {
    std::string arg = "/" + std::to_string(which);
    double ours = reporter.times["BM_Decode_Ours" + arg], bare = reporter.times["BM_Decode_Bare" + arg];
    if (ours > 0 && bare > 0)
      std::printf("decode 720p H.264 (%s) vs bare libavcodec %.3f x (our time / bare time)\n",
                  which ? "camera-like" : "simplest", ours / bare);
  }
  benchmark::Shutdown();
  return 0;
}
