// The audio receive and audio play threads, the talk thread and the talk feed. Audio lengths
// from the wire are cut to the block and to what actually arrived.
#include <algorithm>
#include <cstring>

#include "audio/audio_device.h"
#include "plat/clock.h"
#include "protocol/channel.h"
#include "stream/live_stream.h"
#include "stream/media_wire.h"
#include "video/video_player.h"

namespace corvane {

namespace {
constexpr int kMediaWaitMs = 5000;
constexpr int kAudioRetrySleepMs = 200;
// After a failure, passes that do nothing but look for the stop before the next attempt.
constexpr int kAudioIdlePasses = 200;
constexpr int kNoBlockSleepMs = 10;
// The player's wait for a block: a block or the stop (which cancels the wait) ends it at
// once, so its length only bounds how long a forgotten stop could go unseen.
constexpr int kPlayWaitMs = 1000;
constexpr int kTalkIdleSleepMs = 40;
constexpr int kTalkEmptySleepMs = 100;
}  // namespace

bool LiveStream::openAudio(bool first) {
  uint16_t replyCode = 0;
  plat::Socket s = OpenChannel(kIpcChanAudio, streamNumber_, session_->login, 0,
                               kReplyTimeoutSec, &replyCode, &audioConn_.wake);
  if (s.valid()) {
    audioConn_.set(std::move(s));
    audioState_.store(kMediaConnected);
    if (player_) player_->SetOsdFlag(kOsdFlagAudio, true);
    raise(kIpcEvAudioConnected);
    return true;
  }
  if (first && replyCode == kIpcServerFull) {
    audioState_.store(kMediaRefused);
    raise(kIpcEvAudioFull);
  } else if (first) {
    audioState_.store(kMediaLost);
    raise(kIpcEvAudioLost);
  } else {
    audioState_.store(kMediaRefused);
    raise(kIpcEvAudioLost);
  }
  return false;
}

void LiveStream::audioReceiveBody() {
  bool streaming = openAudio(true);
  int idlePasses = 0;
  uint8_t* held = nullptr;
  // Ends on the quit message; every wait is bounded and ended by the stopper's wake.
  while (!quitPosted()) {
    if (!streaming) {
      if (idlePasses < kAudioIdlePasses) {
        ++idlePasses;
        continue;
      }
      audioConn_.close();
      if (session_->login.noMediaReconnect) {
        pause(audioConn_, kAudioRetrySleepMs);
        continue;
      }
      idlePasses = 0;
      streaming = openAudio(false);
      if (!streaming) pause(audioConn_, kAudioRetrySleepMs);
      continue;
    }
    if (!held) held = audioBlocks_.takeFree();
    if (!held) {
      pause(audioConn_, kNoBlockSleepMs);
      continue;
    }
    if (!readAudioPacket(audioConn_.fd(), held, &audioConn_.wake)) {
      audioState_.store(kMediaRefused);
      raise(kIpcEvAudioLost);
      audioConn_.close();
      streaming = false;
      idlePasses = 0;
      continue;
    }
    deliverAudio(held);
    if (display_) {
      audioBlocks_.putReady(held);
      held = nullptr;
    }
  }
  if (held) audioBlocks_.giveFree(held);
  if (player_) player_->SetOsdFlag(kOsdFlagAudio, false);
}

bool readAudioPacket(int fd, uint8_t* block, const plat::WakeFd* wake) {
  uint8_t packet[kIpcMediaPacketSize] = {};
  const size_t got = RecvAll(fd, packet, sizeof packet, kMediaWaitMs, wake);
  const PacketHeader h = PacketHeader::read(packet);
  // A short packet is taken too; its length is cut to what arrived (nothing of a packet
  // shorter than its header).
  if (got == 0 || h.magic != kIpcMagic || h.status == kStatusEnd) return false;
  writeAudioBlock(block, h, packet, packetDataBytes(h.length, got));
  return true;
}

void LiveStream::deliverAudio(const uint8_t* block) {
  const MediaBuffer mh = MediaBuffer::read(block);
  writeRecord(block + kMediaHeaderSize, mh.length, mh.codec, 1, 0, 0);
  callStreamHook(block + kMediaHeaderSize, static_cast<int>(mh.length), mh.codec, mh.seconds,
                 mh.microseconds, mh.stamp);
}

void LiveStream::audioPlayBody() {
  // Ends on the quit message.
  while (!quitPosted()) {
    uint8_t* block = audioBlocks_.takeReadyWait(kPlayWaitMs);
    if (!block) continue;
    const MediaBuffer mh = MediaBuffer::read(block);
    audio_->PlayAudio(block + kMediaHeaderSize, static_cast<int>(mh.length), mh.codec);
    audioBlocks_.giveFree(block);
  }
}

int LiveStream::talkFeed(const uint8_t* data, int length, uint32_t stamp, int type) {
  if (!talking_.load() || !data || length < 0) return 0;
  uint8_t* block = talkBlocks_.takeFree();
  if (!block) return 0;
  const size_t n = std::min(static_cast<size_t>(length), kAudioDataMax);
  const int64_t ms = plat::monotonicMs();
  MediaBuffer mh;
  mh.stamp = stamp;
  mh.length = static_cast<uint32_t>(n);
  mh.codec = static_cast<uint16_t>(type);
  mh.seconds = static_cast<uint32_t>(ms / 1000);
  mh.microseconds = static_cast<uint32_t>(ms % 1000 * 1000);
  mh.write(block);
  std::memcpy(block + kMediaHeaderSize, data, n);
  talkBlocks_.putReady(block);
  return 1;
}

void LiveStream::talkBody() {
  plat::Socket s = OpenChannel(kIpcChanTalk, session_->login.talkArgument, session_->login, 0,
                               kReplyTimeoutSec, nullptr, &talkConn_.wake);
  if (s.valid()) {
    talkConn_.set(std::move(s));
    if (player_) player_->SetOsdFlag(kOsdFlagTalk, true);
  } else {
    talking_.store(false);
    raise(kIpcEvTalkFailed);
  }
  uint8_t packet[kIpcMediaPacketSize];
  // Ends on the quit message.
  while (!quitPosted()) {
    if (!talking_.load()) {
      pause(talkConn_, kTalkIdleSleepMs);
      continue;
    }
    uint8_t* block = talkBlocks_.takeReady();
    if (!block) {
      pause(talkConn_, kTalkEmptySleepMs);
      continue;
    }
    const MediaBuffer mh = MediaBuffer::read(block);
    PacketHeader h;  // magic and status stay 0 in talk packets
    h.stamp = mh.stamp;
    h.length = mh.length;
    h.type = mh.codec;
    h.seconds = mh.seconds;
    h.microseconds = mh.microseconds;
    std::memset(packet, 0, sizeof packet);
    h.write(packet);
    std::memcpy(packet + kIpcMediaPacketHeaderSize, block + kMediaHeaderSize,
                std::min<size_t>(mh.length, kIpcMediaPacketDataSize));
    talkBlocks_.giveFree(block);
    if (SendAll(talkConn_.fd(), packet, sizeof packet, kMediaWaitMs, &talkConn_.wake) !=
        sizeof packet) {
      raise(kIpcEvTalkFailed);
      talking_.store(false);
    }
  }
  if (player_) player_->SetOsdFlag(kOsdFlagTalk, false);
}

}  // namespace corvane
