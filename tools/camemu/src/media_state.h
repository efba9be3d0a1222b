#pragma once
// The media side's share of the emulator state, hung off Camera::State and created on first
// use. Its own mutex; handlers never hold it while they wait on a socket.
#include <cstdint>
#include <mutex>
#include <vector>

#include "camemu/media.h"
#include "state.h"

namespace camemu {

constexpr size_t kFrameHeaderSize = 44;
constexpr size_t kPacketSize = 1064;
constexpr size_t kPacketHeaderSize = 40;
constexpr size_t kPacketDataSize = 1024;
constexpr uint32_t kMaxFrame = 4u * 1024 * 1024;  // the largest frame the client keeps
constexpr uint16_t kKeyFlagKey = 0;  // the key-frame flag: 0 key frame, 1 other frames
constexpr uint16_t kKeyFlagOther = 1;


struct MediaState {
  mutable std::mutex mutex;
  std::vector<MediaFrame> live;
  bool loop = false;
  int frameIntervalMs = 40;
  bool wallClock = false;
  VideoFault videoFault = VideoFault::None;
  std::vector<SentFrame> sent;
  uint32_t nextStamp = 1;

  uint16_t audioType = 7;
  int audioIntervalMs = 64;
  AudioFault audioFault = AudioFault::None;
  size_t audioSent = 0;

  std::vector<TalkPacket> talk;

  std::vector<StoredFile> files;
  FileFault fileFault = FileFault::None;
  size_t packetData = 1024;
  int playbackAudioEvery = 0;
  std::vector<uint16_t> playbackArgs;
  std::vector<std::vector<uint8_t>> conditions;
  size_t playbackFrames = 0;
  size_t playbackAudio = 0;

  // Takes a one-shot fault.
  template <typename F>
  F take(F& slot) {
    std::lock_guard<std::mutex> lk(mutex);
    F f = slot;
    slot = F::None;
    return f;
  }
};

MediaState& mediaOf(Camera::State& st);

// Waits until the peer closes the connection or the emulator stops (bounded by either).
void idleUntilClosed(Camera::State& st, Connection& c);

// One block of a 440 Hz tone in an audio type (6/7 PCM, 8 IMA ADPCM, 10 mu-law), at most
// 1,024 bytes; `phase` carries the tone across blocks.
std::vector<uint8_t> toneBlock(uint16_t type, uint32_t& phase);

void serveVideo(Camera::State& st, Connection& c, const Header& open);
void serveAudio(Camera::State& st, Connection& c, const Header& open);
void serveTalk(Camera::State& st, Connection& c, const Header& open);
void serveSearch(Camera::State& st, Connection& c, const Header& open);
void serveDownload(Camera::State& st, Connection& c, const Header& open);
void servePlayback(Camera::State& st, Connection& c, const Header& open);

}  // namespace camemu
