#include "stream_format.h"

#include "plat/bytes.h"

namespace streamplay {

namespace {
bool frameHeaderSane(const uint8_t* p) {
  const uint8_t kind = p[4];
  const uint32_t len = plat::getLe32(p + 12);
  if (kind == kKindVideo) return len <= kMaxVideoFrame && (p[5] == kVideoH264 || p[5] == kVideoMpeg4);
  if (kind == kKindAudio) return len <= kMaxAudioFrame && (p[5] == kAudioMulaw || p[5] == kAudioPcm16);
  return false;
}
}  // namespace

ParseResult parseNext(const uint8_t* data, size_t n, size_t& pos, StreamInfo* info,
                      FrameRef* frame) {
  if (pos >= n || n - pos < 4) return ParseResult::NeedMore;
  const uint8_t* p = data + pos;
  const uint32_t magic = plat::getLe32(p);
  if (magic == kStreamMagic) {
    if (n - pos < kStreamHeaderSize) return ParseResult::NeedMore;
    if (info) {
      info->videoCodec = p[6];
      info->audioCodec = p[7];
      info->width = plat::getLe16(p + 8);
      info->height = plat::getLe16(p + 10);
      info->fps = plat::getLe16(p + 12);
    }
    pos += kStreamHeaderSize;
    return ParseResult::StreamHeader;
  }
  if (magic == kFrameMagic) {
    if (n - pos < kFrameHeaderSize) return ParseResult::NeedMore;
    if (frameHeaderSane(p)) {
      const uint32_t len = plat::getLe32(p + 12);
      if (n - pos - kFrameHeaderSize < len) return ParseResult::NeedMore;
      if (frame) {
        frame->kind = p[4];
        frame->codec = p[5];
        frame->flags = p[6];
        frame->timestamp = plat::getLe32(p + 8);
        frame->offset = pos + kFrameHeaderSize;
        frame->length = len;
      }
      pos += kFrameHeaderSize + len;
      return ParseResult::Frame;
    }
  }
  // Not a header here: look for the next byte that could start one.
  size_t q = pos + 1;
  while (q + 4 <= n) {
    const uint32_t m = plat::getLe32(data + q);
    if (m == kFrameMagic || m == kStreamMagic) break;
    ++q;
  }
  if (q + 4 > n) q = n - 3;  // keep a possible partial magic
  if (q <= pos) return ParseResult::NeedMore;
  pos = q;
  return ParseResult::Skipped;
}

}  // namespace streamplay
