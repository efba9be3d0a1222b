// The video receive thread: opens the video channel, reads header and frame, hands each frame
// to the recorder and the stream hook and, when displaying, to the decode thread. Any header
// that fails its checks ends the connection (it is never parsed on as frame data); a frame
// announced larger than a buffer is read and dropped whole, so the stream stays in step and
// nobody gets part of a frame.
#include <algorithm>

#include "plat/log.h"
#include "protocol/channel.h"
#include "stream/live_stream.h"
#include "stream/media_wire.h"

namespace corvane {

namespace {

constexpr int kMediaWaitMs = 5000;
constexpr int kRetrySleepMs = 100;
constexpr int kRetryPasses = 21;      // about one attempt every 2.1 seconds
// After a refusal, passes that do nothing but look for the stop before the back-off begins.
constexpr int kRefusedIdlePasses = 200;
constexpr int kNoBufferSleepMs = 10;
// A frame announcing more than this beyond the largest kept is not read and dropped but
// taken as a broken connection, and the channel is opened anew.
constexpr uint32_t kMaxDiscard = 4u * 1024 * 1024;

// Reads and drops `count` bytes; false when they did not all arrive.
bool discard(int fd, uint32_t count, const plat::WakeFd* wake) {
  uint8_t sink[4096];
  while (count > 0) {
    const size_t n = std::min<size_t>(count, sizeof sink);
    if (RecvAll(fd, sink, n, kMediaWaitMs, wake) != n) return false;
    count -= static_cast<uint32_t>(n);
  }
  return true;
}

}  // namespace

bool LiveStream::openVideo() {
  uint16_t replyCode = 0;
  plat::Socket s = OpenChannel(kIpcChanVideo, streamNumber_, session_->login, 1,
                               kReplyTimeoutSec, &replyCode, &videoConn_.wake);
  if (s.valid()) {
    videoConn_.set(std::move(s));
    videoState_.store(kMediaConnected);
    raise(kIpcEvVideoConnected);
    return true;
  }
  if (replyCode == kIpcServerFull) {
    videoState_.store(kMediaRefused);
    raise(kIpcEvVideoFull);
  } else {
    videoState_.store(kMediaLost);
    raise(kIpcEvVideoLost);
  }
  return false;
}

void LiveStream::videoReceiveBody() {
  bool streaming = openVideo();
  int idlePasses = 0;
  int refusedPasses = !streaming && videoState_.load() == kMediaRefused ? kRefusedIdlePasses : 0;
  uint8_t* held = nullptr;

  auto lose = [&](int state, int event) {
    videoState_.store(state);
    raise(event);
    videoConn_.close();
    streaming = false;
    idlePasses = 0;
    refusedPasses = state == kMediaRefused ? kRefusedIdlePasses : 0;
  };

  // Ends on the quit message; every wait inside is bounded and ended by the stopper's wake.
  while (!quitPosted()) {
    if (!streaming) {
      if (refusedPasses > 0) {
        --refusedPasses;
        continue;
      }
      // Back off about two seconds between attempts, refused or lost alike.
      if (session_->login.noMediaReconnect || idlePasses < kRetryPasses) {
        ++idlePasses;
        pause(videoConn_, kRetrySleepMs);
        continue;
      }
      idlePasses = 0;
      videoConn_.close();
      streaming = openVideo();
      if (!streaming) {
        if (videoState_.load() == kMediaRefused) refusedPasses = kRefusedIdlePasses;
        pause(videoConn_, kRetrySleepMs);
      }
      continue;
    }
    if (!held) held = frames_.takeFree();
    if (!held) {
      pause(videoConn_, kNoBufferSleepMs);
      continue;
    }
    const FrameRead r = readFrame(videoConn_.fd(), held, frames_.bufferSize(), &videoConn_.wake);
    if (r == FrameRead::Dropped) {
      if (droppedFrames_++ == 0)
        PLAT_LOGW("corvane", "video frames above %zu bytes are dropped", kIpcMaxFrameBytes);
      continue;
    }
    if (r == FrameRead::Lost) {
      lose(kMediaLost, kIpcEvVideoLost);
      continue;
    }
    if (r == FrameRead::Full) {
      lose(kMediaRefused, kIpcEvVideoFull);
      continue;
    }
    if (r == FrameRead::Cut) {
      lose(kMediaRefused, kIpcEvVideoLost);
      if (!stopping_.load()) RequestKeepAliveNow(*session_);
      continue;
    }
    deliverFrame(held);
    if (display_) {
      frames_.putReady(held);
      held = nullptr;
    }
  }
  if (held) frames_.giveFree(held);
}

FrameRead readFrame(int fd, uint8_t* buffer, const plat::WakeFd* wake) {
  return readFrame(fd, buffer, kFrameBufferSize, wake);
}

FrameRead readFrame(int fd, uint8_t* buffer, size_t capacity, const plat::WakeFd* wake) {
  uint8_t header[kIpcFrameHeaderSize] = {};
  const size_t got = RecvAll(fd, header, sizeof header, kMediaWaitMs, wake);
  if (got == 0) return FrameRead::Lost;
  const FrameHeader h = FrameHeader::read(header);
  if (got == sizeof header && h.magic == kIpcMagic && h.status == kStatusEnd)
    return FrameRead::Full;
  if (got != sizeof header || !h.wellFormed() ||
      (h.length > kIpcMaxFrameBytes && h.length - kIpcMaxFrameBytes > kMaxDiscard)) {
    if (!wake || !wake->signalled())
      PLAT_LOGW("corvane", "video header refused (%zu bytes, magic %04x, length %u)", got,
                h.magic, h.length);
    return FrameRead::Lost;
  }
  const size_t room = std::min(capacity - kMediaHeaderSize, kIpcMaxFrameBytes);
  if (h.length > room)
    return discard(fd, h.length, wake) ? FrameRead::Dropped : FrameRead::Cut;
  MediaBuffer mh;
  mh.stamp = h.stamp;
  mh.length = h.length;
  mh.width = h.width;
  mh.height = h.height;
  mh.codec = h.codec;
  mh.keyFrame = h.keyFlag;
  mh.seconds = h.seconds;
  mh.microseconds = h.microseconds;
  mh.write(buffer);
  return RecvAll(fd, buffer + kMediaHeaderSize, h.length, kMediaWaitMs, wake) == h.length
             ? FrameRead::Frame
             : FrameRead::Cut;
}

void LiveStream::deliverFrame(const uint8_t* buffer) {
  const MediaBuffer mh = MediaBuffer::read(buffer);
  const uint8_t* data = buffer + kMediaHeaderSize;
  writeRecord(data, mh.length, mh.codec, mh.keyFrame, mh.width, mh.height);
  callStreamHook(data, static_cast<int>(mh.length), mh.codec, mh.seconds, mh.microseconds,
                 mh.stamp);
}

}  // namespace corvane
