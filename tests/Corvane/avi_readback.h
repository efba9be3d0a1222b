#pragma once
// Test helpers: a small RIFF reader for the recorder's AVI files and a read-back through
// libavformat and libavcodec, so a file is checked at its bytes, by a real demuxer and by a
// real decoder.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace avitest {

inline std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}
inline uint32_t u32(const std::vector<uint8_t>& b, size_t off) {
  return b[off] | b[off + 1] << 8 | b[off + 2] << 16 | static_cast<uint32_t>(b[off + 3]) << 24;
}
inline uint16_t u16(const std::vector<uint8_t>& b, size_t off) {
  return static_cast<uint16_t>(b[off] | b[off + 1] << 8);
}
inline std::string tag(const std::vector<uint8_t>& b, size_t off) {
  return std::string(reinterpret_cast<const char*>(b.data() + off), 4);
}

struct Chunk {
  std::string tag;
  uint32_t offset;  // of the chunk header
  uint32_t length;
  std::vector<uint8_t> data;
};
struct IndexEntry {
  std::string tag;
  uint32_t flags, offset, length;
};
struct AviFile {
  std::vector<uint8_t> bytes;
  uint32_t headerLength = 0;  // where JUNK starts
  uint32_t junkLength = 0;
  std::vector<Chunk> chunks;  // the movi list
  std::vector<IndexEntry> index;
  std::string error;          // empty when the structure is sound
};

// Walks the file as the recorder lays it out, checking every size on the way.
inline AviFile parse(const std::string& path) {
  AviFile f;
  f.bytes = readFile(path);
  auto& b = f.bytes;
  auto fail = [&](const std::string& e) {
    f.error = e;
    return f;
  };
  if (b.size() < 2048) return fail("short file");
  if (tag(b, 0) != "RIFF" || tag(b, 8) != "AVI ") return fail("no RIFF AVI");
  if (u32(b, 4) != b.size() - 8) return fail("RIFF length");
  if (tag(b, 12) != "LIST" || tag(b, 20) != "hdrl") return fail("no hdrl");
  f.headerLength = u32(b, 16) + 20;
  if (tag(b, f.headerLength) != "JUNK") return fail("no JUNK at header end");
  f.junkLength = u32(b, f.headerLength + 4);
  if (f.headerLength + 8 + f.junkLength != 2036) return fail("JUNK length");
  for (size_t i = f.headerLength + 8; i < 2036; ++i)
    if (b[i]) return fail("JUNK not zero");
  if (tag(b, 2036) != "LIST" || tag(b, 2044) != "movi") return fail("no movi");
  size_t moviEnd = 2044 + u32(b, 2040);
  if (moviEnd > b.size()) return fail("movi length");
  size_t pos = 2048;
  while (pos < moviEnd) {
    Chunk c{tag(b, pos), static_cast<uint32_t>(pos), u32(b, pos + 4), {}};
    size_t padded = c.length + (c.length & 1);
    if (pos + 8 + padded > moviEnd) return fail("chunk overruns movi");
    c.data.assign(b.begin() + pos + 8, b.begin() + pos + 8 + c.length);
    if ((c.length & 1) && b[pos + 8 + c.length] != 0) return fail("pad byte not zero");
    f.chunks.push_back(std::move(c));
    pos += 8 + padded;
  }
  if (pos == b.size()) return f;  // no index
  if (tag(b, pos) != "idx1") return fail("no idx1");
  uint32_t n = u32(b, pos + 4);
  if (pos + 8 + n != b.size() || n % 16) return fail("idx1 length");
  for (size_t e = pos + 8; e < b.size(); e += 16)
    f.index.push_back({tag(b, e), u32(b, e + 4), u32(b, e + 8), u32(b, e + 12)});
  return f;
}

struct Demuxed {
  bool opened = false;
  int streams = 0;
  uint32_t videoTag = 0;
  int64_t videoFrames = 0;  // as the header says
  int videoPackets = 0;     // as read
  int audioPackets = 0;
  int width = 0, height = 0;
  int audioFormatTag = 0;
  double frameRate = 0;     // as the header says
};

inline Demuxed demux(const std::string& path) {
  Demuxed d;
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return d;
  d.opened = true;
  d.streams = static_cast<int>(ctx->nb_streams);
  int video = -1, audio = -1;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    AVStream* s = ctx->streams[i];
    if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      video = static_cast<int>(i);
      d.videoTag = s->codecpar->codec_tag;
      d.videoFrames = s->nb_frames;
      d.width = s->codecpar->width;
      d.frameRate = s->time_base.num ? av_q2d(av_inv_q(s->time_base)) : 0;  // one frame a tick
      d.height = s->codecpar->height;
    } else if (s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
      audio = static_cast<int>(i);
      d.audioFormatTag = static_cast<int>(s->codecpar->codec_tag);
    }
  }
  AVPacket* pkt = av_packet_alloc();
  for (int guard = 0; guard < 1000000 && av_read_frame(ctx, pkt) >= 0; ++guard) {
    if (pkt->stream_index == video) d.videoPackets++;
    if (pkt->stream_index == audio) d.audioPackets++;
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  avformat_close_input(&ctx);
  return d;
}

// What a player makes of the file: the video frames libavcodec decodes from what libavformat
// reads (the decoder drained at the end); -1 when the file does not open as a stream a
// decoder takes.
inline int decodedFrames(const std::string& path) {
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return -1;
  int frames = -1;
  const int video = avformat_find_stream_info(ctx, nullptr) < 0
                        ? -1
                        : av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVCodec* codec = video < 0 ? nullptr : avcodec_find_decoder(ctx->streams[video]->codecpar->codec_id);
  AVCodecContext* dec = codec ? avcodec_alloc_context3(codec) : nullptr;
  if (dec && avcodec_parameters_to_context(dec, ctx->streams[video]->codecpar) >= 0 &&
      avcodec_open2(dec, codec, nullptr) >= 0) {
    frames = 0;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&] {
      while (avcodec_receive_frame(dec, frame) >= 0) {
        ++frames;
        av_frame_unref(frame);
      }
    };
    while (av_read_frame(ctx, pkt) >= 0) {
      if (pkt->stream_index == video && avcodec_send_packet(dec, pkt) >= 0) drain();
      av_packet_unref(pkt);
    }
    if (avcodec_send_packet(dec, nullptr) >= 0) drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
  }
  avcodec_free_context(&dec);
  avformat_close_input(&ctx);
  return frames;
}

inline uint32_t fourcc(const char* t) {
  return static_cast<uint8_t>(t[0]) | static_cast<uint8_t>(t[1]) << 8 |
         static_cast<uint8_t>(t[2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(t[3])) << 24;
}

}  // namespace avitest

#include <cstdlib>
#include <filesystem>

#include "support/TestFolder.h"

namespace avitest {
// A fresh folder for one test, removed afterwards.
struct TempDir {
  TempDir() {
    path = testsupport::NewTestFolder();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string file(const std::string& name) const { return path + "/" + name; }
  std::string path;
};
}  // namespace avitest
