#include "ctdec_core.h"

#include "av_log_route.h"

#include <cstring>
#include <mutex>
#include <unordered_set>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace ctdec {
namespace {

// One open decoder. The parser finds where the first access unit of the input ends (the
// "bytes consumed"); the decoder runs single-threaded with low delay so a live picture
// comes out of the call that fed its frame.
struct Instance {
  Codec codec;
  AVCodecContext* ctx = nullptr;
  AVFrame* frame = nullptr;  // holds the last picture until the next call
  AVPacket* packet = nullptr;
  // The context the parser reports through. A fresh parser per call does not know the
  // stream's parameter sets, so its complaints about them are moved to the debug level.
  AVCodecContext* parserCtx = nullptr;
  // The caller's input, copied with the zeroed tail the parser and bit readers may look into:
  // they read a few bytes past the end they are given.
  std::vector<uint8_t> padded;
  // The packet's memory, used again for the next unit once the decoder has let go of it:
  // a live stream then allocates nothing per frame.
  AVBufferRef* unitBuffer = nullptr;
};

std::mutex g_mutex;
std::unordered_set<Instance*> g_instances;
// Pictures kept past their decode: each a reference of its own to the decoder's buffers,
// which the decoder then leaves alone until it is given back.
std::unordered_set<AVFrame*> g_holds;

AVCodecID codecId(Codec c) { return c == Codec::H264 ? AV_CODEC_ID_H264 : AV_CODEC_ID_MPEG4; }

void destroy(Instance* inst) {
  av_buffer_unref(&inst->unitBuffer);
  avcodec_free_context(&inst->parserCtx);
  av_frame_free(&inst->frame);
  av_packet_free(&inst->packet);
  avcodec_free_context(&inst->ctx);
  delete inst;
}

Instance* create(Codec codec) {
  RouteLibavLog();  // its complaints about a damaged stream go to the log, not to stderr
  const AVCodec* dec = avcodec_find_decoder(codecId(codec));
  if (!dec) return nullptr;
  auto* inst = new Instance();
  inst->codec = codec;
  inst->ctx = avcodec_alloc_context3(dec);
  inst->frame = av_frame_alloc();
  inst->packet = av_packet_alloc();
  // Without a codec: the parser reports through the context's common fields only, and a
  // decoder's private state (three quarters of a megabyte for H.264) would be made and zeroed
  // for nothing in every stream.
  inst->parserCtx = avcodec_alloc_context3(nullptr);
  if (!inst->ctx || !inst->frame || !inst->packet || !inst->parserCtx) {
    destroy(inst);
    return nullptr;
  }
  inst->parserCtx->log_level_offset = AV_LOG_DEBUG;
  inst->parserCtx->codec_type = AVMEDIA_TYPE_VIDEO;
  inst->parserCtx->codec_id = codecId(codec);
  inst->ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
  inst->ctx->thread_count = 1;
  if (avcodec_open2(inst->ctx, dec, nullptr) < 0) {
    destroy(inst);
    return nullptr;
  }
  return inst;
}

Instance* lookup(intptr_t handle) {
  std::lock_guard<std::mutex> lk(g_mutex);
  auto* p = reinterpret_cast<Instance*>(handle);
  return g_instances.count(p) ? p : nullptr;
}

// Whether the input is one H.264 access unit, as a camera's frame is: it starts with a
// start code, holds a coded slice, and no later unit begins another picture (a slice that
// starts at the first macroblock, or a parameter set, SEI or delimiter after a slice).
// Anything else (data partitions, several pictures, no start code) goes to the parser.
bool singleAccessUnit(const uint8_t* p, int size) {
  if (size < 5 || p[0] != 0 || p[1] != 0 || !(p[2] == 1 || (p[2] == 0 && p[3] == 1))) return false;
  const uint8_t* end = p + size;
  bool slice = false;
  for (const uint8_t* q = p + 2; q < end;) {
    const auto* one = static_cast<const uint8_t*>(std::memchr(q, 1, static_cast<size_t>(end - q)));
    if (!one || one + 1 >= end) break;
    q = one + 1;
    if (one - p < 2 || one[-1] != 0 || one[-2] != 0) continue;
    const int type = one[1] & 0x1F;
    if (type == 1 || type == 5) {
      if (one + 2 >= end) return false;
      // first_mb_in_slice is 0 exactly when its code's first bit is set.
      if (slice && (one[2] & 0x80)) return false;
      slice = true;
    } else if (type >= 2 && type <= 4) {
      return false;
    } else if (slice && ((type >= 6 && type <= 9) || (type >= 14 && type <= 18))) {
      return false;
    }
  }
  return slice;
}

// The unit into the instance's packet, with the zeroed tail the decoder's readers look into.
bool fillPacket(Instance* inst, const uint8_t* unit, int unitSize) {
  const size_t needed = static_cast<size_t>(unitSize) + AV_INPUT_BUFFER_PADDING_SIZE;
  AVBufferRef*& buffer = inst->unitBuffer;
  if (!buffer || buffer->size < needed || !av_buffer_is_writable(buffer)) {
    av_buffer_unref(&buffer);
    buffer = av_buffer_alloc(needed + needed / 2);
    if (!buffer) return false;
  }
  AVPacket* packet = inst->packet;
  packet->buf = av_buffer_ref(buffer);
  if (!packet->buf) return false;
  packet->data = buffer->data;
  packet->size = unitSize;
  std::memcpy(packet->data, unit, static_cast<size_t>(unitSize));
  std::memset(packet->data + unitSize, 0, AV_INPUT_BUFFER_PADDING_SIZE);
  return true;
}

void decode(Instance* inst, const uint8_t* data, uint32_t length, DecoderOutput* out) {
  std::memset(out, 0, sizeof(*out));
  if (!data || length == 0) return;
  int size = length > INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE
                 ? INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE
                 : static_cast<int>(length);

  const uint8_t* unit = nullptr;
  int unitSize = 0;
  int consumed = 0;
  AVCodecParserContext* parser = nullptr;
  if (inst->codec == Codec::H264 && singleAccessUnit(data, size)) {
    // The whole input is the unit; the packet below gets the zeroed tail the decoder reads.
    unit = data;
    unitSize = size;
    consumed = size;
  } else {
    // A fresh parser per call keeps one call's leftovers out of the next: the input of a call
    // always ends at a frame boundary, so what the parser still holds at its end is the last
    // unit, whole.
    inst->padded.assign(static_cast<size_t>(size) + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::memcpy(inst->padded.data(), data, static_cast<size_t>(size));
    data = inst->padded.data();
    parser = av_parser_init(codecId(inst->codec));
    if (!parser) return;
    uint8_t* parsed = nullptr;
    while (consumed < size && unitSize == 0) {
      int used = av_parser_parse2(parser, inst->parserCtx, &parsed, &unitSize, data + consumed,
                                  size - consumed, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      if (used <= 0 && unitSize == 0) break;
      if (used > 0) consumed += used;
    }
    if (unitSize == 0) {
      // The parser holds the tail: it is the last unit of the input.
      av_parser_parse2(parser, inst->parserCtx, &parsed, &unitSize, nullptr, 0, AV_NOPTS_VALUE,
                       AV_NOPTS_VALUE, 0);
      consumed = size;
    }
    unit = parsed;
  }
  out->bytesConsumed = consumed;
  if (unitSize > 0 && fillPacket(inst, unit, unitSize)) {
    av_parser_close(parser);
    parser = nullptr;
    int sent = avcodec_send_packet(inst->ctx, inst->packet);
    av_frame_unref(inst->frame);
    if (sent == AVERROR(EAGAIN)) {
      // A picture from an earlier packet is still waiting: take it so this packet is not
      // lost, and show it; this packet's own picture comes with the next call.
      if (avcodec_receive_frame(inst->ctx, inst->frame) == 0) sent = 0;
      avcodec_send_packet(inst->ctx, inst->packet);
    } else if (sent == 0 && avcodec_receive_frame(inst->ctx, inst->frame) != 0) {
      sent = -1;
    }
    if (sent == 0) {
      AVFrame* f = inst->frame;
      bool planar420 = f->format == AV_PIX_FMT_YUV420P || f->format == AV_PIX_FMT_YUVJ420P;
      if (planar420 && f->width > 0 && f->height > 0) {
        out->pictureReady = 1;
        out->width = f->width;
        out->height = f->height;
        out->y = f->data[0];
        out->u = f->data[1];
        out->v = f->data[2];
        out->yStride = f->linesize[0];
        out->uStride = f->linesize[1];
        out->vStride = f->linesize[2];
      }
    }
    av_packet_unref(inst->packet);
  }
  if (parser) av_parser_close(parser);
}

}  // namespace

void dispatch(Codec codec, int operation, DecoderHandleBlock* block, void* output) {
  if (!block) return;
  switch (operation) {
    case CTDEC_OPEN: {
      Instance* inst = create(codec);
      if (!inst) return;
      std::lock_guard<std::mutex> lk(g_mutex);
      g_instances.insert(inst);
      block->handle = reinterpret_cast<intptr_t>(inst);
      return;
    }
    case CTDEC_DECODE: {
      auto* out = static_cast<DecoderOutput*>(output);
      if (!out) return;
      Instance* inst = lookup(block->handle);
      if (!inst || inst->codec != codec) {
        std::memset(out, 0, sizeof(*out));
        return;
      }
      decode(inst, block->input, block->length, out);
      return;
    }
    case CTDEC_HOLD: {
      auto* hold = static_cast<intptr_t*>(output);
      if (!hold) return;
      *hold = 0;
      Instance* inst = lookup(block->handle);
      if (!inst || inst->codec != codec || !inst->frame->buf[0]) return;
      AVFrame* kept = av_frame_clone(inst->frame);
      if (!kept) return;
      std::lock_guard<std::mutex> lk(g_mutex);
      g_holds.insert(kept);
      *hold = reinterpret_cast<intptr_t>(kept);
      return;
    }
    case CTDEC_RELEASE: {
      auto* hold = static_cast<intptr_t*>(output);
      if (!hold) return;
      AVFrame* kept = nullptr;
      {
        std::lock_guard<std::mutex> lk(g_mutex);
        auto* p = reinterpret_cast<AVFrame*>(*hold);
        if (g_holds.erase(p)) kept = p;
      }
      av_frame_free(&kept);
      *hold = 0;
      return;
    }
    case CTDEC_CLOSE: {
      Instance* inst = nullptr;
      {
        std::lock_guard<std::mutex> lk(g_mutex);
        auto* p = reinterpret_cast<Instance*>(block->handle);
        if (g_instances.erase(p)) inst = p;
      }
      if (inst) destroy(inst);
      block->handle = 0;
      return;
    }
    default:
      return;
  }
}

}  // namespace ctdec
