#pragma once
// What a player makes of a recording: the H.264 frames libavformat reads from it.
#include <cstdint>
#include <fstream>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace testsupport {

// H.264 frames read from the file; -1 when it cannot be opened or holds no H.264 video.
inline int PlayableFrames(const std::string& path) {
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) != 0) return -1;
  int frames = -1;
  if (avformat_find_stream_info(ctx, nullptr) >= 0) {
    const int video = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0 && ctx->streams[video]->codecpar->codec_id == AV_CODEC_ID_H264) {
      frames = 0;
      AVPacket* packet = av_packet_alloc();
      while (av_read_frame(ctx, packet) >= 0) {
        frames += packet->stream_index == video;
        av_packet_unref(packet);
      }
      av_packet_free(&packet);
    }
  }
  avformat_close_input(&ctx);
  return frames;
}

// Whether an AVI file the library wrote holds no chunk at all: its "movi" list (at 2,036)
// is empty. A recording's first video frame closes the file its start opened, and when that
// frame comes in a later second the empty file stays beside the one with the pictures.
inline bool EmptyRecording(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  uint8_t list[12] = {};
  if (!in.seekg(2036) || !in.read(reinterpret_cast<char*>(list), sizeof list)) return false;
  const uint32_t size = list[4] | list[5] << 8 | list[6] << 16 | uint32_t{list[7]} << 24;
  return std::string(reinterpret_cast<const char*>(list), 4) == "LIST" &&
         std::string(reinterpret_cast<const char*>(list + 8), 4) == "movi" && size == 4;
}

}  // namespace testsupport
