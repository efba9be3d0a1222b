#include "localplay/VideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstring>
#include <mutex>
#include <string>

#include "ctdec/ctdec.h"
#include "plat/library.h"
#include "plat/log.h"

namespace hollin::localplay {

namespace {

CTDecEntry LoadEntry(bool h264) {
  static std::mutex mu;
  static CTDecEntry entries[2] = {};
  static bool tried[2] = {};
  const int i = h264 ? 0 : 1;
  std::lock_guard<std::mutex> lock(mu);
  if (!tried[i]) {
    tried[i] = true;
    const char* lib = h264 ? kCTdec264Library : kCTMp4DecLibrary;
    std::string error;
    void* h = plat::openLibrary(lib, &error);
    if (!h) {
      PLAT_LOGW("localplay", "decoder library %s not loaded: %s", lib, error.c_str());
      return nullptr;
    }
    entries[i] = reinterpret_cast<CTDecEntry>(
        plat::librarySymbol(h, h264 ? kCTdec264Entry : kCTMp4DecEntry));
  }
  return entries[i];
}

void CopyPlanes(int width, int height, const uint8_t* y, int ys, const uint8_t* u, int us,
                const uint8_t* v, int vs, Picture& out) {
  const int w = width & ~1, h = height & ~1;
  out.width = w;
  out.height = h;
  out.i420.resize(static_cast<size_t>(w) * h * 3 / 2);
  uint8_t* dst = out.i420.data();
  for (int r = 0; r < h; ++r, dst += w) std::memcpy(dst, y + static_cast<ptrdiff_t>(r) * ys, w);
  for (int r = 0; r < h / 2; ++r, dst += w / 2)
    std::memcpy(dst, u + static_cast<ptrdiff_t>(r) * us, w / 2);
  for (int r = 0; r < h / 2; ++r, dst += w / 2)
    std::memcpy(dst, v + static_cast<ptrdiff_t>(r) * vs, w / 2);
}

class LibraryDecoder : public VideoDecoder {
 public:
  explicit LibraryDecoder(CTDecEntry entry) : entry_(entry) {}
  ~LibraryDecoder() override { Close(); }
  bool Open() {
    DecoderHandleBlock block{0, nullptr, 0};
    entry_(CTDEC_OPEN, &block, nullptr);
    handle_ = block.handle;
    return handle_ != 0;
  }
  bool Decode(const uint8_t* data, uint32_t length, Picture& out) override {
    if (!handle_ && !Open()) return false;
    bool got = false;
    uint32_t done = 0;
    // A packet normally is one access unit; the loop takes whatever else it holds.
    for (int guard = 0; done < length && guard < 64; ++guard) {
      DecoderHandleBlock block{handle_, data + done, length - done};
      DecoderOutput o{};
      entry_(CTDEC_DECODE, &block, &o);
      if (o.pictureReady > 0 && o.width > 1 && o.height > 1 && o.y && o.u && o.v) {
        CopyPlanes(o.width, o.height, o.y, o.yStride, o.u, o.uStride, o.v, o.vStride, out);
        got = true;
      }
      if (o.bytesConsumed <= 0) break;
      done += static_cast<uint32_t>(o.bytesConsumed);
    }
    return got;
  }
  void Reset() override { Close(); }

 private:
  void Close() {
    if (handle_) {
      DecoderHandleBlock block{handle_, nullptr, 0};
      entry_(CTDEC_CLOSE, &block, nullptr);
    }
    handle_ = 0;
  }
  CTDecEntry entry_;
  intptr_t handle_ = 0;
};

class AvcodecDecoder : public VideoDecoder {
 public:
  ~AvcodecDecoder() override {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&ctx_);
  }
  bool Open(const AVCodecParameters* params) {
    const AVCodec* codec = avcodec_find_decoder(params->codec_id);
    if (!codec) return false;
    ctx_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!ctx_ || !frame_ || !packet_) return false;
    if (avcodec_parameters_to_context(ctx_, params) < 0) return false;
    return avcodec_open2(ctx_, codec, nullptr) == 0;
  }
  bool Decode(const uint8_t* data, uint32_t length, Picture& out) override {
    packet_->data = const_cast<uint8_t*>(data);
    packet_->size = static_cast<int>(length);
    if (avcodec_send_packet(ctx_, packet_) < 0) return false;
    bool got = false;
    while (avcodec_receive_frame(ctx_, frame_) == 0) {
      const auto fmt = static_cast<AVPixelFormat>(frame_->format);
      if ((fmt == AV_PIX_FMT_YUV420P || fmt == AV_PIX_FMT_YUVJ420P) && frame_->width > 1 &&
          frame_->height > 1) {
        CopyPlanes(frame_->width, frame_->height, frame_->data[0], frame_->linesize[0],
                   frame_->data[1], frame_->linesize[1], frame_->data[2], frame_->linesize[2],
                   out);
        got = true;
      }
      av_frame_unref(frame_);
    }
    return got;
  }
  void Reset() override { avcodec_flush_buffers(ctx_); }

 private:
  AVCodecContext* ctx_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
};

}  // namespace

std::unique_ptr<VideoDecoder> VideoDecoder::Create(const AVCodecParameters* params) {
  if (!params) return nullptr;
  if (params->codec_id == AV_CODEC_ID_H264 || params->codec_id == AV_CODEC_ID_MPEG4) {
    if (CTDecEntry e = LoadEntry(params->codec_id == AV_CODEC_ID_H264))
      return std::make_unique<LibraryDecoder>(e);
    return nullptr;
  }
  auto d = std::make_unique<AvcodecDecoder>();
  if (!d->Open(params)) return nullptr;
  return d;
}

}  // namespace hollin::localplay
