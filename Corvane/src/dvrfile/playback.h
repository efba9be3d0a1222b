#pragma once
// DvrPlayback: one remote playback into a window, with its receive, display and audio threads
// and two pools. The playback connection is opened once, when the receive thread starts.
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "Corvane/dvrfile.h"
#include "plat/msgthread.h"
#include "plat/socket.h"
#include "session/cam_session.h"
#include "video/frame_pool.h"

namespace corvane {

class VideoPlayer;
class AudioDevice;

// Audio packets met on the playback connection (the packet and the bytes that arrived).
using PlaybackAudioSink = std::function<void(const uint8_t* packet, size_t got)>;
enum class PlaybackRead { Frame, FrameEndedEarly, Audio, End };
// Reads one unit from the playback connection: a frame into `frame` (media header, then
// data), or an audio packet handed to `onAudio`. FrameEndedEarly: the frame holds what came
// before a failed read or the end status broke it off, and the stream ends. End: the file
// ended or the connection broke before a frame began.
PlaybackRead readPlaybackUnit(int fd, uint8_t* frame, const PlaybackAudioSink& onAudio,
                              const plat::WakeFd* wake);

class DvrPlayback {
 public:
  explicit DvrPlayback(std::shared_ptr<CamSession> session);
  ~DvrPlayback();

  void start(intptr_t window);
  void stop();
  // Queues a copy of the request and tells the receive thread; false when it has no queue.
  bool openFile(const IpcPlaybackRequest& request);
  bool speed(uint16_t code);
  void setAudio(bool on);
  // True once the stream has ended (the camera's end of the file, a connection that broke
  // or stayed silent, a request that could not be sent) and no open request waits.
  bool ended() const { return ended_.load(); }

  VideoPlayer* player() { return player_.get(); }
  CamSession* session() { return session_.get(); }
  // Audio blocks the sound device took.
  uint64_t audioPlayed() const;

  void receiveBody();
  void displayBody();
  void audioBody();

 private:
  struct Frame;
  bool post(uint32_t message, uintptr_t wParam);
  bool sendRequest(uint16_t argument);
  bool pause(int productMs);  // false when the stop ended it
  bool quitSeen(plat::Message& m);
  void routeAudio(const uint8_t* packet, size_t got);
  void noteStreaming(bool streaming);

  std::shared_ptr<CamSession> session_;
  std::shared_ptr<VideoPlayer> player_;
  std::shared_ptr<AudioDevice> audio_;
  FramePool frames_;
  FramePool audioBlocks_;

  std::mutex connMutex_;
  plat::Socket conn_;
  int fd_ = -1;           // the receive thread's copy
  plat::WakeFd stopWake_;  // ends every wait at stop
  plat::WakeFd kick_;      // a message was posted: ends the wait for the next packet

  std::mutex requestMutex_;
  std::deque<IpcPlaybackRequest> pending_;
  std::atomic<bool> ended_{false};  // written under requestMutex_
  uint8_t request_[kIpcMsgSize] = {};  // the kept 0x5001 message

  std::mutex threadMutex_;
  std::unique_ptr<plat::MessageThread> receive_, display_, audioThread_;
  std::atomic<bool> audioOn_{false};
  std::atomic<bool> stopping_{false};
};

HandleRegistry<DvrPlayback>& playbacks();

}  // namespace corvane
