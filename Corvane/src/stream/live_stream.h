#pragma once
// LiveStream: one camera stream with its video, audio and talk connections and up to six
// threads (video receive; decode and render when it displays; audio receive, and audio play
// when it displays, while sound is on; talk while talking). Frames, pictures and blocks move
// between the threads through the stream's pools; nothing is allocated while media flows.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Corvane/stream.h"
#include "plat/hook.h"
#include "plat/msgthread.h"
#include "plat/socket.h"
#include "session/cam_session.h"
#include "video/display_stream.h"
#include "video/frame_pool.h"
#include "video/osd_hook_owner.h"
#include "video/picture_pool.h"

namespace corvane {

class VideoPlayer;
class AviRecorder;
class AudioDevice;
class FramePacer;

// Connection states of video and audio.
constexpr int kMediaConnected = 0;
constexpr int kMediaLost = 1;
constexpr int kMediaRefused = 2;

// One media connection of a stream: the socket, owned by one thread, and the wake that a
// stopper uses to end that thread's waits.
struct MediaConnection {
  std::mutex mutex;  // socket number against a concurrent shutdown
  plat::Socket sock;
  plat::WakeFd wake;

  int fd();
  void set(plat::Socket s);
  void close();
  // From the stopper: ends every wait of the owning thread.
  void interrupt();
};

// What one read on the video connection gave: a whole frame, a frame too large to keep that
// was read and dropped whole, nothing or a bad header (lost), a server-full status, or a
// frame that broke off.
enum class FrameRead { Frame, Dropped, Lost, Full, Cut };
// Reads one header and its frame into a frame buffer (media header, then the data) of
// `capacity` bytes. A frame beyond kIpcMaxFrameBytes or the capacity is never kept in part:
// it is read and dropped (the stream stays in step), or, announced more than 4 MiB beyond
// kIpcMaxFrameBytes, refused as a broken connection (lost).
FrameRead readFrame(int fd, uint8_t* buffer, size_t capacity, const plat::WakeFd* wake);
// The same into a buffer of kFrameBufferSize bytes.
FrameRead readFrame(int fd, uint8_t* buffer, const plat::WakeFd* wake);
// Reads one audio packet into an audio block; false when the packet is not taken.
bool readAudioPacket(int fd, uint8_t* block, const plat::WakeFd* wake);

class LiveStream : public DisplayStream, public OsdHookOwner {
 public:
  LiveStream(std::shared_ptr<CamSession> session, uint16_t streamNumber, bool display);
  ~LiveStream() override;

  // DisplayStream
  VideoPlayer* player() override { return player_.get(); }
  int videoState() override { return videoState_.load(); }
  void setOsdOn(int on) override { osdOn_.store(on); }
  // OsdHookOwner
  bool callOsdHook(IpcOsdItems* items, int width, int height) override;

  // Registers the handle's display and sound bindings and starts the video threads.
  void start(IPC_HANDLE handle, intptr_t window);
  // Sets the stopping flag, stops every thread and unbinds the handle.
  void stop();

  void setAudio(bool on);
  void setSpeak(bool on);
  void setStreamHook(IpcStreamHook hook, void* user);
  void setOsdHook(IpcOsdHook hook, void* user);

  CamSession& session() { return *session_; }
  std::shared_ptr<CamSession> sessionRef() const { return session_; }
  bool displaying() const { return display_; }
  int audioState() const { return audioState_.load(); }
  bool talking() const { return talking_.load(); }
  uint32_t presentationClock() const { return clockMs_.load(); }
  // Frames that arrived larger than the stream keeps, read and dropped whole.
  int droppedFrames() const { return droppedFrames_.load(); }
  // Bytes of the stream's buffers in memory now (their pages written so far).
  size_t committedBytes() const;
  const FramePool& framePool() const { return frames_; }
  const FramePool& audioPool() const { return audioBlocks_; }
  const FramePool& talkPool() const { return talkBlocks_; }
  // Decoded pictures and the pacer: only while the stream displays.
  const PicturePool* picturePool() const { return pictures_.get(); }
  const FramePacer* pacer() const { return pacer_.get(); }

  // Thread bodies (each in its own file).
  void videoReceiveBody();
  void decodeBody();
  void renderBody();
  void audioReceiveBody();
  void audioPlayBody();
  void talkBody();
  // Hands a received frame or audio block to the recorder and the stream hook.
  void deliverFrame(const uint8_t* buffer);
  void deliverAudio(const uint8_t* block);
  // The audio device's capture: 1 when a talk block took the data.
  int talkFeed(const uint8_t* data, int length, uint32_t stamp, int type);

 private:
  friend struct StreamThreads;
  // The pacer's callback, on the timer's thread: posts the render tick.
  static void postRenderTick(void* user);
  void raise(int event);
  void callStreamHook(const uint8_t* data, int length, int codec, uint32_t seconds,
                      uint32_t microseconds, uint32_t stamp);
  void writeRecord(const uint8_t* data, uint32_t length, int type, int keyFlag, int width,
                   int height);
  // Waits a product duration on a connection's wake; false when woken (stop).
  bool pause(MediaConnection& c, int productMs);
  bool quitPosted();
  bool openVideo();
  bool openAudio(bool first);
  // Stops the capture and the talk thread and drops the talk blocks not sent; under
  // threadMutex_.
  void endTalk();
  void stopThread(std::unique_ptr<plat::MessageThread>& t, MediaConnection* c);
  // Joins the threads that were told to stop from their own hooks (all but the calling one).
  void joinRetired();

  std::shared_ptr<CamSession> session_;
  IPC_HANDLE handle_ = nullptr;
  const uint16_t streamNumber_;
  const bool display_;

  std::shared_ptr<AviRecorder> recorder_;
  std::shared_ptr<VideoPlayer> player_;
  std::shared_ptr<AudioDevice> audio_;
  std::shared_ptr<FramePacer> pacer_;

  FramePool frames_;
  FramePool audioBlocks_;
  FramePool talkBlocks_;
  std::unique_ptr<PicturePool> pictures_;

  MediaConnection videoConn_, audioConn_, talkConn_;

  // The caller's hooks with their user values; clearing one waits for a call in progress.
  plat::Hook<std::function<void(const uint8_t*, int, int, uint32_t, uint32_t, uint32_t)>>
      streamHook_;
  plat::Hook<std::function<void(IpcOsdItems*, int, int)>> osdHook_;

  std::mutex threadMutex_;  // starting and stopping threads
  std::unique_ptr<plat::MessageThread> videoRx_, decode_, render_, audioRx_, audioPlay_, talk_;
  std::atomic<plat::ThreadId> renderThread_{0};  // where the pacer's ticks go
  std::vector<std::unique_ptr<plat::MessageThread>> retired_;

  std::atomic<int> videoState_{kMediaLost};
  // Audio that is off has nothing to report in the status text.
  std::atomic<int> audioState_{kMediaConnected};
  std::atomic<uint32_t> clockMs_{0};
  std::atomic<int> osdOn_{0};
  std::atomic<int> droppedFrames_{0};
  std::atomic<bool> talking_{false};
  std::atomic<bool> stopping_{false};
};

HandleRegistry<LiveStream>& liveStreams();
std::shared_ptr<LiveStream> findLiveStream(IPC_HANDLE handle);

// Made in files of their own: the player and its frame statistics, the recorder, the sound.
std::shared_ptr<VideoPlayer> makeStreamPlayer(OsdHookOwner* owner);
void setPlayerWindow(VideoPlayer& player, intptr_t window);
void endPlayerPaintWaits(VideoPlayer& player);
std::shared_ptr<AviRecorder> makeStreamRecorder(CamSession& session,
                                                const std::shared_ptr<VideoPlayer>& player);
int recordFrame(AviRecorder& recorder, const uint8_t* data, uint32_t length, int type,
                int keyFlag, int width, int height);
void shutdownRecorder(AviRecorder& recorder);

}  // namespace corvane
