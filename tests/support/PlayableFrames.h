#pragma once
// What a player makes of a recording: the H.264 frames libavformat reads from it.
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

}  // namespace testsupport
