#pragma once
// One player port: its input (a stream buffer, or a file read from disk as it plays), a play
// thread that decodes and shows video and plays sound, and the controls.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "StreamPlay.h"
#include "decoder.h"
#include "file_source.h"
#include "plat/audio.h"
#include "plat/hook.h"
#include "picture.h"
#include "stream_format.h"


namespace streamplay {

// Made shared: the play thread keeps its port alive, so a port stopped or freed from its own
// draw callback is not pulled from under the thread returning from that callback.
class Port : public std::enable_shared_from_this<Port> {
 public:
  explicit Port(int32_t id) : id_(id) {}
  ~Port();

  // Ends the play thread: joined, or from the play thread itself left to end on its return.
  void shutdown() { stopThread(); }

  bool setStreamOpenMode(uint32_t mode);
  bool openStream(const uint8_t* header, uint32_t headerSize, uint32_t bufferSize);
  bool closeStream();
  bool inputData(const uint8_t* data, uint32_t size);
  bool openFile(const std::string& path);
  bool closeFile();

  bool play(intptr_t window);
  bool stop();
  bool pause(bool on);
  bool fast();
  bool slow();
  bool oneByOne();
  bool oneByOneBack();
  bool setPlayPos(float position);
  bool getPlayPos(float* position);

  void setSound(bool on);
  bool setVolume(uint16_t volume);
  bool capture(uint8_t* buffer, uint32_t* width, uint32_t* height);
  void setDrawFun(SPlayDrawFun fun, void* user);

  // For tests: pictures shown and audio frames played so far.
  uint64_t picturesShown() const;

 private:
  struct Work {
    FrameRef frame;
    std::vector<uint8_t> payload;
    bool present = true;
  };
  void run(uint64_t generation);
  bool takeFrame(Work& w);  // under mu_
  void show(const Work& w);
  void playAudio(const Work& w);
  void pace(uint32_t timestamp, std::unique_lock<std::mutex>& lock);
  void stopThread();
  void seekToFrame(size_t target);  // under mu_: decode from the key frame before it
  // Under mu_: the number of the last video frame before frame `before`, or `before` itself
  // when there is none. Moves the file's reading place.
  size_t videoFrameBefore(size_t before);

  const int32_t id_;
  mutable std::mutex mu_;
  std::condition_variable cv_;
  uint32_t mode_ = SPLAY_STREAME_REALTIME;
  bool open_ = false;
  bool file_ = false;
  std::vector<uint8_t> data_;
  size_t readPos_ = 0;
  size_t capacity_ = 0;
  std::unique_ptr<Work> held_;  // streams: a frame taken off the buffer when a pause came, next
  std::unique_ptr<FileSource> source_;  // files
  size_t cursor_ = 0;                   // files: number of the next frame
  uint64_t streamLength_ = 0;  // streams of a recorded file: their length when told, else 0
  uint64_t streamPlayed_ = 0;  // bytes of the stream taken so far
  StreamInfo info_;

  bool playing_ = false;
  bool paused_ = false;
  int steps_ = 0;
  int speed_ = 0;  // 2^speed times normal
  bool stopFlag_ = false;
  uint64_t generation_ = 0;  // of the current play thread; an older one ends on seeing it
  bool inFlight_ = false;  // a video frame is being decoded and shown
  bool rebase_ = true;
  int64_t baseWall_ = 0;
  uint32_t baseStamp_ = 0;
  intptr_t window_ = 0;
  std::thread thread_;

  SPlayDrawFun drawFun_ = nullptr;
  void* drawUser_ = nullptr;
  plat::HookCalls drawCalls_;  // calls of the draw routine in progress (under mu_)
  bool sound_ = false;
  std::atomic<uint16_t> volume_{0xFFFF};

  mutable std::mutex decodeMu_;  // the play thread and seeks
  Decoder decoder_;
  Picture last_;
  std::unique_ptr<plat::AudioOutput> audio_;
  uint64_t shown_ = 0;
};

}  // namespace streamplay
