// Remote playback. A frame arrives as one or more media packets: the first carries the whole
// frame's length, every packet its own data length. Audio blocks share the connection and
// are told from video by the packet's type field (video codecs 1 and 2; everything else is an
// audio type), one block per packet.
#include "dvrfile/playback.h"

#include <algorithm>
#include <cstring>

#include "audio/audio_device.h"
#include "plat/bytes.h"
#include "plat/clock.h"
#include "plat/log.h"
#include "protocol/channel.h"
#include "protocol/wire.h"
#include "session/thread_owner.h"
#include "stream/frame_stats.h"
#include "stream/media_wire.h"
#include "video/video_player.h"

namespace corvane {

namespace {
constexpr uint16_t kCmdPlayback = 0x5001;
constexpr int kSendWaitMs = 5000;
constexpr int kPacketWaitMs = 20000;
constexpr int kIdleSleepMs = 1000;
constexpr int kEndSleepMs = 2000;
constexpr int kNoBufferSleepMs = 10;
constexpr int kMaxEmptyPackets = 16;
}  // namespace

HandleRegistry<DvrPlayback>& playbacks() {
  static HandleRegistry<DvrPlayback> registry;
  return registry;
}

DvrPlayback::DvrPlayback(std::shared_ptr<CamSession> session)
    : session_(std::move(session)),
      player_(std::make_shared<VideoPlayer>(nullptr)),
      audio_(std::make_shared<AudioDevice>()),
      frames_(kPlaybackFrames, kFrameBufferSize),
      audioBlocks_(kPlaybackAudioBlocks, kAudioBufferSize) {
  MsgHeader h;
  h.code = kCmdPlayback;
  h.argument = kIpcPlayOpen;
  h.length = static_cast<uint16_t>(kIpcPlaybackRequestSize);
  h.write(request_);
}

DvrPlayback::~DvrPlayback() { stop(); }

void DvrPlayback::start(intptr_t window) {
  player_->SetMainWindow(window);
  std::lock_guard<std::mutex> lk(threadMutex_);
  receive_ = MakeOwnedThread("playback-rx", this, session_.get(), [this] { receiveBody(); });
  display_ = MakeOwnedThread("playback-show", this, session_.get(), [this] { displayBody(); });
  receive_->start();
  display_->start();
}

namespace {
void stopThread(std::unique_ptr<plat::MessageThread>& t, const std::function<void()>& unblock) {
  if (!t) return;
  t->stop(kThreadStopMs, unblock, kMsgQuit);
  t.reset();
}
}  // namespace

void DvrPlayback::stop() {
  if (stopping_.exchange(true)) return;
  auto unblock = [this] {
    stopWake_.signal();
    std::lock_guard<std::mutex> lk(connMutex_);
    conn_.shutdownBoth();
  };
  std::lock_guard<std::mutex> lk(threadMutex_);
  audioBlocks_.cancelWaits();
  stopThread(audioThread_, {});
  unblock();
  stopThread(receive_, unblock);
  frames_.cancelWaits();
  stopThread(display_, {});
  std::lock_guard<std::mutex> ck(connMutex_);
  conn_.close();
}

bool DvrPlayback::post(uint32_t message, uintptr_t wParam) {
  std::lock_guard<std::mutex> lk(threadMutex_);
  if (!receive_ || stopping_.load()) return false;
  if (!receive_->post(message, wParam)) return false;
  kick_.signal();
  return true;
}

bool DvrPlayback::openFile(const IpcPlaybackRequest& request) {
  {
    std::lock_guard<std::mutex> lk(requestMutex_);
    pending_.push_back(request);
    ended_.store(false);
  }
  if (post(kMsgOpenFile, 0)) return true;
  plat::sleepMs(1000);
  if (post(kMsgOpenFile, 0)) return true;
  std::lock_guard<std::mutex> lk(requestMutex_);
  if (!pending_.empty()) pending_.pop_back();
  return false;
}

// A request still queued is a playback on its way, not one that ended.
void DvrPlayback::noteStreaming(bool streaming) {
  std::lock_guard<std::mutex> lk(requestMutex_);
  ended_.store(!streaming && pending_.empty());
}

bool DvrPlayback::speed(uint16_t code) { return post(kMsgSpeed, code); }

uint64_t DvrPlayback::audioPlayed() const {
  plat::AudioOutput* out = audio_->output();
  return out ? out->stats().playedBlocks : 0;
}

void DvrPlayback::setAudio(bool on) {
  std::lock_guard<std::mutex> lk(threadMutex_);
  if (stopping_.load()) return;
  if (on) {
    if (audioThread_) return;  // already running: a repeated start is ignored
    audioOn_.store(true);
    audioBlocks_.resumeWaits();
    audioThread_ = MakeOwnedThread("playback-audio", this, session_.get(), [this] { audioBody(); });
    audioThread_->start();
    return;
  }
  audioOn_.store(false);
  audioBlocks_.cancelWaits();
  stopThread(audioThread_, {});
  while (uint8_t* b = audioBlocks_.takeReady()) audioBlocks_.giveFree(b);
}

bool DvrPlayback::sendRequest(uint16_t argument) {
  plat::putLe16(request_ + 4, argument);
  return fd_ >= 0 &&
         SendAll(fd_, request_, sizeof request_, plat::Deadline::after(kSendWaitMs), &stopWake_) ==
             sizeof request_;
}

bool DvrPlayback::pause(int productMs) {
  // Only the stop ends a sleep early: a request posted meanwhile waits for the sleep's end.
  return plat::waitReadable(stopWake_.fd(), productMs) == plat::WaitResult::Timeout;
}

void DvrPlayback::routeAudio(const uint8_t* packet, size_t got) {
  if (!audioOn_.load()) return;  // nobody plays it
  uint8_t* block = audioBlocks_.takeFree();
  if (!block) return;  // the player is behind: this block is skipped
  const PacketHeader h = PacketHeader::read(packet);
  writeAudioBlock(block, h, packet, packetDataBytes(h.packetLength, got));
  audioBlocks_.putReady(block);
}

namespace {

// Reads one packet into `packet`, zeroed first so that a packet cut short leaves nothing of
// the one before; the bytes that came.
size_t readPacket(int fd, uint8_t (&packet)[kIpcMediaPacketSize], const plat::WakeFd* wake) {
  std::memset(packet, 0, sizeof packet);
  return RecvAll(fd, packet, sizeof packet, kPacketWaitMs, wake);
}

// Reads the packets behind a frame's first one until the whole length is counted; false
// when the frame ended early.
bool gatherFrame(int fd, uint8_t* data, uint32_t whole, uint32_t& used,
                 const PlaybackAudioSink& onAudio, const plat::WakeFd* wake) {
  uint8_t packet[kIpcMediaPacketSize];
  uint64_t counted = used;
  int empty = 0;
  // Bounded by the camera's data: every pass takes a packet, and runs without data end it.
  while (counted < whole) {
    const size_t got = readPacket(fd, packet, wake);
    const PacketHeader h = PacketHeader::read(packet);
    // A read that fails ends the frame, and so does the end status, also on a whole packet:
    // the data of an end or failure mark is no part of the picture.
    if (got == 0 || h.status == kStatusEnd) return false;
    if (!isVideoCodec(h.type)) {
      onAudio(packet, got);
      continue;
    }
    // A packet cut short gives what came of its data.
    const size_t n = packetDataBytes(h.packetLength, got);
    // Packets without data do not bring the frame nearer its end: a run of them breaks it.
    if (n == 0) {
      if (++empty > kMaxEmptyPackets) return false;
      continue;
    }
    if (used + n <= kFrameDataMax) {
      std::memcpy(data + used, packet + kIpcMediaPacketHeaderSize, n);
      used += static_cast<uint32_t>(n);
    }
    counted += n;
  }
  return true;
}

}  // namespace

PlaybackRead readPlaybackUnit(int fd, uint8_t* frame, const PlaybackAudioSink& onAudio,
                              const plat::WakeFd* wake) {
  uint8_t packet[kIpcMediaPacketSize];
  const size_t got = readPacket(fd, packet, wake);
  const PacketHeader h = PacketHeader::read(packet);
  if (got == 0 || h.status == kStatusEnd || h.status == kStatusPlaybackEnd)
    return PlaybackRead::End;  // end of the file, camera gone or refused
  if (!isVideoCodec(h.type)) {
    onAudio(packet, got);
    return PlaybackRead::Audio;
  }
  uint8_t* data = frame + kMediaHeaderSize;
  uint32_t used = static_cast<uint32_t>(packetDataBytes(h.packetLength, got));
  std::memcpy(data, packet + kIpcMediaPacketHeaderSize, used);
  const bool whole = gatherFrame(fd, data, h.length, used, onAudio, wake);
  MediaBuffer mh;
  mh.stamp = h.stamp;
  mh.length = used;
  mh.width = h.width;
  mh.height = h.height;
  mh.codec = h.type;
  mh.keyFrame = h.keyFlag;
  mh.seconds = h.seconds;
  mh.microseconds = h.microseconds;
  mh.write(frame);
  return whole ? PlaybackRead::Frame : PlaybackRead::FrameEndedEarly;
}

bool DvrPlayback::quitSeen(plat::Message& m) {
  if (m.message == kMsgOpenFile) {
    IpcPlaybackRequest r{};
    {
      std::lock_guard<std::mutex> lk(requestMutex_);
      if (!pending_.empty()) {
        r = pending_.front();
        pending_.pop_front();
      }
    }
    std::memcpy(request_ + kIpcMsgHeaderSize, r.bytes, sizeof r.bytes);
    return false;
  }
  return m.message == kMsgQuit;
}

void DvrPlayback::receiveBody() {
  uint16_t replyCode = 0;
  plat::Socket s = OpenChannel(kIpcChanPlayback, 0, session_->login, 0, kReplyTimeoutSec,
                               &replyCode, &stopWake_);
  if (!s.valid() && !stopping_.load())
    RaiseSessionEvent(*session_, kIpcEvPlaybackNotOpened, nullptr, 0);
  {
    std::lock_guard<std::mutex> lk(connMutex_);
    conn_ = std::move(s);
    fd_ = conn_.fd();
  }
  bool streaming = false;
  uint8_t* frame = nullptr;
  // Ends on the quit message; every wait is bounded and ended by the stopper.
  for (;;) {
    plat::Message m;
    kick_.clear();
    if (plat::peekMessage(m)) {
      if (quitSeen(m)) break;
      if (m.message == kMsgOpenFile) {
        const bool sent = sendRequest(kIpcPlayOpen);
        streaming = streaming || sent;
        noteStreaming(streaming);  // before the hook hears of a request not sent
        if (!sent) RaiseSessionEvent(*session_, kIpcEvPlaybackNotSent, nullptr, 0);
      } else if (m.message == kMsgSpeed) {
        if (!sendRequest(static_cast<uint16_t>(m.wParam)))
          RaiseSessionEvent(*session_, kIpcEvPlaybackNotSent, nullptr, 0);
      }
      continue;  // one message per pass; look again before waiting
    }
    if (stopWake_.signalled()) {
      pause(kNoBufferSleepMs);
      continue;
    }
    if (!streaming) {
      pause(kIdleSleepMs);
      continue;
    }
    if (!frame) frame = frames_.takeFree();
    if (!frame) {
      pause(kNoBufferSleepMs);
      continue;
    }
    // Wait for the next packet, but take a speed code or a new request as soon as one is
    // posted: a paused camera sends nothing until it hears the resume.
    const plat::WaitResult w = plat::waitReadable(fd_, kPacketWaitMs, &kick_);
    if (w == plat::WaitResult::Woken) continue;
    const PlaybackRead r =
        w == plat::WaitResult::Ready
            ? readPlaybackUnit(fd_, frame, [this](const uint8_t* p, size_t n) { routeAudio(p, n); },
                               &stopWake_)
            : PlaybackRead::End;
    if (r == PlaybackRead::Audio) continue;
    // A frame that ended early is shown with what it gathered.
    if (r != PlaybackRead::End) {
      frames_.putReady(frame);
      frame = nullptr;
    }
    if (r != PlaybackRead::Frame) {
      streaming = false;
      noteStreaming(false);
      pause(kEndSleepMs);
    }
  }
  if (frame) frames_.giveFree(frame);
  RaiseSessionEvent(*session_, kIpcEvPlaybackEnded, nullptr, 0);
}

void DvrPlayback::displayBody() {
  FrameStats stats;
  plat::Message m;
  // Ends on the quit message.
  for (;;) {
    if (plat::peekMessage(m) && m.message == kMsgQuit) break;
    // Woken at once by the receive thread or by the stop.
    uint8_t* frame = frames_.takeReadyWait(kNoBufferSleepMs);
    if (!frame) continue;
    const MediaBuffer mh = MediaBuffer::read(frame);
    player_->DecodeAndShow(frame + kMediaHeaderSize, mh.length, mh.codec);
    stats.count(*player_, mh.length, plat::tickCount());
    frames_.giveFree(frame);
  }
}

void DvrPlayback::audioBody() {
  plat::Message m;
  // Ends on the quit message.
  for (;;) {
    if (plat::peekMessage(m) && m.message == kMsgQuit) break;
    // Woken at once by the receive thread or by the stop.
    uint8_t* block = audioBlocks_.takeReadyWait(kNoBufferSleepMs);
    if (!block) continue;
    const MediaBuffer mh = MediaBuffer::read(block);
    audio_->PlayAudio(block + kMediaHeaderSize, static_cast<int>(mh.length), mh.codec);
    audioBlocks_.giveFree(block);
  }
}

}  // namespace corvane
