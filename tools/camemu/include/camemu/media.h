#pragma once
// The camera emulator's media side: live video from a list of frames at a set rhythm, live
// audio (a synthesized tone in the chosen audio type), talk packets received and logged, file
// search from a configurable file list, download of a file's bytes, and playback of a stored
// clip split over several packets per frame. Fault switches make it misbehave on purpose.
// Attach one Media to a Camera before clients open media channels.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "camemu/camera.h"

namespace camemu {

struct MediaFrame {
  std::vector<uint8_t> data;
  uint16_t codec = 2;  // 1 MPEG-4, 2 H.264
  bool key = false;
  uint16_t width = 352;
  uint16_t height = 288;
};

// What the live video channel sent, one entry per frame header.
struct SentFrame {
  uint32_t stamp = 0;
  uint32_t length = 0;  // as announced
  uint16_t codec = 0;
  uint16_t keyFlag = 0;
  uint32_t seconds = 0;
  uint32_t microseconds = 0;
};

// A packet that arrived on a talk connection.
struct TalkPacket {
  size_t size = 0;  // bytes read for it (a whole packet is 1,064)
  uint16_t magic = 0;
  uint16_t status = 0;
  uint32_t stamp = 0;
  uint32_t length = 0;
  uint16_t type = 0;
};

struct StoredFile {
  std::string name;
  uint16_t channel = 1;
  uint16_t type = 0;
  uint32_t start = 0;  // seconds since 1970
  uint32_t end = 0;
  std::vector<uint8_t> bytes;      // what a download delivers
  std::vector<MediaFrame> frames;  // what a playback shows
};

enum class VideoFault { None, BadMagic, WrongFlag, Oversize, Truncated, Stall, ServerFull };
enum class AudioFault { None, OverLength, BadMagic, EndStatus, ZeroLength };
enum class FileFault { None, Refuse, RecordAfterEnd, PayloadOver532, DataLengthZero };

class Media {
 public:
  explicit Media(Camera& camera);

  // A clip and its index as the clip generator writes them: looped as live video at the
  // clip's rate, and kept as the one stored file (named after the clip) for search,
  // download and playback. False when the files cannot be read.
  bool loadClip(const std::string& path);

  // Live video: the frames in order, then again when `loop`; one every `intervalMs`
  // (product time).
  void setLiveFrames(std::vector<MediaFrame> frames, bool loop = false);
  void setFrameInterval(int productMs);
  // Frame times are the wall-clock time each frame is sent (for measuring latency), instead
  // of camera time counted from the first frame.
  void setWallClockTimes(bool on);
  // Acts on the next frame sent on any video connection.
  void injectVideoFault(VideoFault fault);
  std::vector<SentFrame> sentFrames() const;
  size_t videoFramesSent() const;

  // Live audio: 6 or 7 PCM, 8 IMA ADPCM, 10 mu-law.
  void setAudioType(uint16_t type);
  void setAudioInterval(int productMs);
  void injectAudioFault(AudioFault fault);
  size_t audioPacketsSent() const;

  std::vector<TalkPacket> talkPackets() const;

  // Files for search, download and playback.
  void setFiles(std::vector<StoredFile> files);
  // Dates every stored file (seconds since 1970).
  void setFileTimes(uint32_t start, uint32_t end);
  void injectFileFault(FileFault fault);  // acts on the next search, download or playback
  // Data bytes per playback packet (1 to 1,024), so a frame spans many packets.
  void setPlaybackPacketData(size_t bytes);
  // Every n-th playback frame is followed by one audio packet of the audio type (0: none).
  void setPlaybackAudioEvery(int n);
  std::vector<uint16_t> playbackArguments() const;  // argument of every 0x5001 received
  std::vector<std::vector<uint8_t>> searchConditions() const;
  size_t playbackFramesSent() const;
  size_t playbackAudioSent() const;

  // The payload of a file record as the search sends it.
  static std::vector<uint8_t> fileRecord(const StoredFile& file);

 private:
  Camera::State* st_;
};

}  // namespace camemu
