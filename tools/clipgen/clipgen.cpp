#include "clipgen/clipgen.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

namespace clipgen {
namespace {

constexpr uint8_t kDark = 16;
constexpr uint8_t kLight = 235;

void setError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

// Owns the encoder objects for one generate() call.
struct Encoder {
  AVCodecContext* ctx = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  ~Encoder() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&ctx);
  }
};

const AVCodec* findEncoder(Codec codec) {
  if (codec == Codec::H264) return avcodec_find_encoder_by_name("libx264");
  return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
}

bool drain(Encoder& enc, Clip* clip) {
  for (;;) {
    int r = avcodec_receive_packet(enc.ctx, enc.packet);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
    if (r < 0) return false;
    FrameEntry e;
    e.index = static_cast<int>(clip->frames.size());
    e.offset = clip->data.size();
    e.size = static_cast<uint32_t>(enc.packet->size);
    e.key = (enc.packet->flags & AV_PKT_FLAG_KEY) != 0;
    clip->data.insert(clip->data.end(), enc.packet->data, enc.packet->data + enc.packet->size);
    clip->frames.push_back(e);
    av_packet_unref(enc.packet);
  }
}

}  // namespace

std::vector<uint8_t> Clip::frameBytes(size_t i) const {
  if (i >= frames.size()) return {};
  const FrameEntry& e = frames[i];
  if (e.offset > data.size() || e.size > data.size() - e.offset) return {};
  return std::vector<uint8_t>(data.begin() + static_cast<ptrdiff_t>(e.offset),
                              data.begin() + static_cast<ptrdiff_t>(e.offset + e.size));
}

std::vector<uint8_t> patternPicture(int width, int height, int index) {
  const size_t ySize = static_cast<size_t>(width) * height;
  const int cw = width / 2, ch = height / 2;
  std::vector<uint8_t> pic(ySize + 2 * static_cast<size_t>(cw) * ch);
  uint8_t* y = pic.data();
  uint8_t* u = y + ySize;
  uint8_t* v = u + static_cast<size_t>(cw) * ch;
  // A smooth diagonal ramp that drifts with the frame, and a light square that moves.
  const int sq = 32, sx = (index * 4) % (width > sq ? width - sq : 1),
            sy = kIndexBlock + 8 + (index * 2) % (height > sq + 24 ? height - sq - 24 : 1);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < width; ++c) {
      int val = 40 + ((c + r + 2 * index) % 160);
      if (c >= sx && c < sx + sq && r >= sy && r < sy + sq) val = 220;
      y[static_cast<size_t>(r) * width + c] = static_cast<uint8_t>(val);
    }
  }
  for (int r = 0; r < ch; ++r) {
    for (int c = 0; c < cw; ++c) {
      u[static_cast<size_t>(r) * cw + c] = static_cast<uint8_t>(64 + (c * 128) / (cw ? cw : 1));
      v[static_cast<size_t>(r) * cw + c] = static_cast<uint8_t>(64 + (r * 128) / (ch ? ch : 1));
    }
  }
  if (width >= kIndexBits * kIndexBlock && height >= kIndexBlock) {
    for (int bit = 0; bit < kIndexBits; ++bit) {
      uint8_t val = (index >> bit) & 1 ? kLight : kDark;
      for (int r = 0; r < kIndexBlock; ++r)
        std::memset(y + static_cast<size_t>(r) * width + bit * kIndexBlock, val, kIndexBlock);
      for (int r = 0; r < kIndexBlock / 2; ++r) {
        std::memset(u + static_cast<size_t>(r) * cw + bit * kIndexBlock / 2, 128, kIndexBlock / 2);
        std::memset(v + static_cast<size_t>(r) * cw + bit * kIndexBlock / 2, 128, kIndexBlock / 2);
      }
    }
  }
  return pic;
}

int readFrameIndex(const uint8_t* y, int stride, int width, int height) {
  if (!y || width < kIndexBits * kIndexBlock || height < kIndexBlock) return -1;
  int index = 0;
  for (int bit = 0; bit < kIndexBits; ++bit) {
    // The mean of the block's inner 8 x 8 pixels, away from edges the coder may smear.
    int sum = 0;
    for (int r = 4; r < 12; ++r)
      for (int c = 4; c < 12; ++c) sum += y[static_cast<size_t>(r) * stride + bit * kIndexBlock + c];
    int mean = sum / 64;
    if (mean > 170) index |= 1 << bit;
    else if (mean >= 80) return -1;
  }
  return index;
}

std::vector<uint8_t> padKeyFrame(const std::vector<uint8_t>& frame, size_t total) {
  size_t slice = 0;
  bool found = false;
  for (size_t i = 0; i + 3 < frame.size() && !found; ++i) {
    if (frame[i] == 0 && frame[i + 1] == 0 && frame[i + 2] == 1 && (frame[i + 3] & 0x1F) == 5) {
      slice = i > 0 && frame[i - 1] == 0 ? i - 1 : i;
      found = true;
    }
  }
  // start code (4), NAL header, payload type, last size byte, trailing bits
  constexpr size_t kOverhead = 8;
  if (!found || total < frame.size() + kOverhead + 1) return {};
  const size_t sei = total - frame.size();
  size_t payload = sei - kOverhead;
  while (kOverhead + payload / 255 + payload > sei) --payload;
  std::vector<uint8_t> nal = {0, 0, 0, 1, 0x06, 0x05};
  for (size_t n = payload;; n -= 255) {
    if (n < 255) {
      nal.push_back(static_cast<uint8_t>(n));
      break;
    }
    nal.push_back(0xFF);
  }
  nal.insert(nal.end(), payload, 0x55);  // 16 bytes of identifier, then the data
  nal.push_back(0x80);
  nal.resize(sei, 0);  // zero bytes before the next start code
  std::vector<uint8_t> out(frame.begin(), frame.begin() + static_cast<ptrdiff_t>(slice));
  out.insert(out.end(), nal.begin(), nal.end());
  out.insert(out.end(), frame.begin() + static_cast<ptrdiff_t>(slice), frame.end());
  return out;
}

int readFrameIndexBgrx(const uint8_t* pixels, int stride, int width, int height) {
  if (!pixels || width < kIndexBits * kIndexBlock || height < kIndexBlock) return -1;
  constexpr int kW = kIndexBits * kIndexBlock;
  uint8_t luma[kIndexBlock * kW];
  for (int r = 0; r < kIndexBlock; ++r)
    for (int c = 0; c < kW; ++c) luma[r * kW + c] = pixels[static_cast<size_t>(r) * stride + c * 4 + 1];
  return readFrameIndex(luma, kW, kW, kIndexBlock);
}

int readFrameIndexBgrx(const uint8_t* pixels, int stride, int width, int height, int pictureWidth,
                       int pictureHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || (pictureWidth == width && pictureHeight == height))
    return readFrameIndexBgrx(pixels, stride, width, height);
  if (!pixels || width <= 0 || height <= 0) return -1;
  const double sx = double(width) / pictureWidth, sy = double(height) / pictureHeight;
  // The shown pixels that lie wholly inside a block's inner 8 x 8 (at least the one at its
  // centre).
  auto span = [](double from, double to, double scale, int limit, int* a, int* b) {
    *a = static_cast<int>(std::ceil(from * scale));
    *b = static_cast<int>(std::floor(to * scale));
    if (*b <= *a) {
      *a = static_cast<int>((from + to) / 2 * scale);
      *b = *a + 1;
    }
    return *b <= limit;
  };
  int r0, r1;
  if (!span(4, 12, sy, height, &r0, &r1)) return -1;
  int index = 0;
  for (int bit = 0; bit < kIndexBits; ++bit) {
    int c0, c1;
    if (!span(bit * kIndexBlock + 4, bit * kIndexBlock + 12, sx, width, &c0, &c1)) return -1;
    int sum = 0, n = 0;
    for (int r = r0; r < r1; ++r)
      for (int c = c0; c < c1; ++c, ++n) sum += pixels[static_cast<size_t>(r) * stride + c * 4 + 1];
    const int mean = sum / n;
    if (mean > 170) index |= 1 << bit;
    else if (mean >= 80) return -1;
  }
  return index;
}

bool generate(const Options& o, Clip* clip, std::string* error) {
  if (!clip || o.width < 16 || o.height < 16 || (o.width | o.height) & 1 || o.frames <= 0 ||
      o.fps <= 0 || o.gop <= 0) {
    setError(error, "bad options");
    return false;
  }
  const AVCodec* codec = findEncoder(o.codec);
  if (!codec) {
    setError(error, "encoder not available");
    return false;
  }
  Encoder enc;
  enc.ctx = avcodec_alloc_context3(codec);
  enc.frame = av_frame_alloc();
  enc.packet = av_packet_alloc();
  if (!enc.ctx || !enc.frame || !enc.packet) {
    setError(error, "out of memory");
    return false;
  }
  enc.ctx->width = o.width;
  enc.ctx->height = o.height;
  enc.ctx->time_base = AVRational{1, o.fps};
  enc.ctx->framerate = AVRational{o.fps, 1};
  enc.ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  enc.ctx->gop_size = o.gop;
  enc.ctx->max_b_frames = 0;
  enc.ctx->bit_rate = o.bitrate;
  enc.ctx->thread_count = 1;
  if (o.codec == Codec::H264) {
    // Live-camera style: no B-frames, no look-ahead, parameter sets before every key frame.
    av_opt_set(enc.ctx->priv_data, "preset", o.preset.c_str(), 0);
    av_opt_set(enc.ctx->priv_data, "tune", "zerolatency", 0);
    if (!o.profile.empty() && av_opt_set(enc.ctx->priv_data, "profile", o.profile.c_str(), 0) < 0) {
      setError(error, "unknown profile " + o.profile);
      return false;
    }
    std::string params = "repeat-headers=1:keyint=" + std::to_string(o.gop) +
                         ":min-keyint=" + std::to_string(o.gop) + ":scenecut=0";
    av_opt_set(enc.ctx->priv_data, "x264-params", params.c_str(), 0);
  }
  if (avcodec_open2(enc.ctx, codec, nullptr) < 0) {
    setError(error, "encoder refused the options");
    return false;
  }
  enc.frame->format = AV_PIX_FMT_YUV420P;
  enc.frame->width = o.width;
  enc.frame->height = o.height;
  if (av_frame_get_buffer(enc.frame, 0) < 0) {
    setError(error, "out of memory");
    return false;
  }
  *clip = Clip{};
  clip->codec = o.codec;
  clip->width = o.width;
  clip->height = o.height;
  clip->fps = o.fps;
  const int cw = o.width / 2, ch = o.height / 2;
  for (int i = 0; i < o.frames; ++i) {
    if (av_frame_make_writable(enc.frame) < 0) return false;
    std::vector<uint8_t> pic = patternPicture(o.width, o.height, i);
    const uint8_t* src = pic.data();
    for (int r = 0; r < o.height; ++r)
      std::memcpy(enc.frame->data[0] + static_cast<ptrdiff_t>(r) * enc.frame->linesize[0],
                  src + static_cast<size_t>(r) * o.width, o.width);
    src += static_cast<size_t>(o.width) * o.height;
    for (int p = 1; p <= 2; ++p, src += static_cast<size_t>(cw) * ch)
      for (int r = 0; r < ch; ++r)
        std::memcpy(enc.frame->data[p] + static_cast<ptrdiff_t>(r) * enc.frame->linesize[p],
                    src + static_cast<size_t>(r) * cw, cw);
    enc.frame->pts = i;
    enc.frame->pict_type = i % o.gop == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(enc.ctx, enc.frame) < 0 || !drain(enc, clip)) {
      setError(error, "encoding failed");
      return false;
    }
  }
  if (avcodec_send_frame(enc.ctx, nullptr) < 0 || !drain(enc, clip)) {
    setError(error, "encoding failed");
    return false;
  }
  if (static_cast<int>(clip->frames.size()) != o.frames) {
    setError(error, "encoder dropped frames");
    return false;
  }
  return true;
}

bool writeClip(const Clip& clip, const std::string& path, std::string* error) {
  std::ofstream data(path, std::ios::binary | std::ios::trunc);
  data.write(reinterpret_cast<const char*>(clip.data.data()),
             static_cast<std::streamsize>(clip.data.size()));
  std::ofstream idx(path + ".idx", std::ios::trunc);
  idx << "# " << (clip.codec == Codec::H264 ? "h264" : "mpeg4") << ' ' << clip.width << ' '
      << clip.height << ' ' << clip.fps << '\n';
  for (const FrameEntry& e : clip.frames)
    idx << e.index << ' ' << e.offset << ' ' << e.size << ' ' << (e.key ? 1 : 0) << '\n';
  data.close();
  idx.close();
  if (!data || !idx) {
    setError(error, "cannot write " + path);
    return false;
  }
  return true;
}

bool readClip(const std::string& path, Clip* clip, std::string* error) {
  std::ifstream data(path, std::ios::binary);
  std::ifstream idx(path + ".idx");
  if (!data || !idx || !clip) {
    setError(error, "cannot open " + path);
    return false;
  }
  Clip c;
  c.data.assign(std::istreambuf_iterator<char>(data), std::istreambuf_iterator<char>());
  std::string line;
  while (std::getline(idx, line)) {
    std::istringstream in(line);
    if (line.rfind("# ", 0) == 0) {
      std::string hash, codec;
      in >> hash >> codec >> c.width >> c.height >> c.fps;
      c.codec = codec == "mpeg4" ? Codec::Mpeg4 : Codec::H264;
      continue;
    }
    FrameEntry e;
    int key = 0;
    if (!(in >> e.index >> e.offset >> e.size >> key)) continue;
    e.key = key != 0;
    // Compared without a sum, which a hostile offset could wrap past the stream's end.
    if (e.offset > c.data.size() || e.size > c.data.size() - e.offset) {
      setError(error, "index points past the end of " + path);
      return false;
    }
    c.frames.push_back(e);
  }
  *clip = std::move(c);
  return true;
}

}  // namespace clipgen
