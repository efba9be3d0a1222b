#pragma once
// A local recording opened with libavformat: its first video stream decoded picture by
// picture, its first audio stream (when it can be decoded) handed to the sound sink.
// Not thread-safe: the player serialises every call.
#include <memory>
#include <string>

#include "localplay/AudioSink.h"
#include "localplay/Picture.h"
#include "localplay/VideoDecoder.h"

struct AVFormatContext;
struct AVPacket;

namespace hollin::localplay {

class MediaFile {
 public:
  // Null when the file cannot be read or has no video that can be decoded.
  static std::unique_ptr<MediaFile> Open(const std::string& path);
  ~MediaFile();
  MediaFile(const MediaFile&) = delete;
  MediaFile& operator=(const MediaFile&) = delete;

  double Duration() const { return duration_; }          // seconds, 0 when unknown
  double FrameInterval() const { return frameInterval_; }  // seconds per picture
  AudioSink* Audio() const { return audio_.get(); }

  // The next picture; audio met on the way is played when playAudio. False at the end.
  bool Next(Picture& out, bool playAudio);
  // Positions the file at `seconds`: `out` is the last picture at or before it (the first
  // one after it when none is), and Next continues after `out`.
  bool SeekTo(double seconds, Picture& out);

 private:
  MediaFile() = default;
  double PacketTime(const AVPacket* p) const;
  AVFormatContext* fmt_ = nullptr;
  AVPacket* packet_ = nullptr;
  int video_ = -1;
  int audioIndex_ = -1;
  std::unique_ptr<VideoDecoder> decoder_;
  std::unique_ptr<AudioSink> audio_;
  double duration_ = 0;
  double frameInterval_ = 0.04;
  double timeBase_ = 0;
  int64_t startPts_ = 0;
  bool havePending_ = false;
  Picture pending_;
};

}  // namespace hollin::localplay
