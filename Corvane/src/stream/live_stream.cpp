#include "stream/live_stream.h"

#include "audio/audio_device.h"
#include "audio/stream_media.h"
#include "plat/log.h"
#include "record/avi_recorder.h"
#include "session/thread_owner.h"
#include "video/frame_pacer.h"

namespace corvane {

int MediaConnection::fd() {
  std::lock_guard<std::mutex> lk(mutex);
  return sock.fd();
}

void MediaConnection::set(plat::Socket s) {
  std::lock_guard<std::mutex> lk(mutex);
  sock = std::move(s);
}

void MediaConnection::close() {
  std::lock_guard<std::mutex> lk(mutex);
  sock.close();
}

void MediaConnection::interrupt() {
  wake.signal();
  std::lock_guard<std::mutex> lk(mutex);
  sock.shutdownBoth();
}

HandleRegistry<LiveStream>& liveStreams() {
  static HandleRegistry<LiveStream> registry;
  return registry;
}

std::shared_ptr<LiveStream> findLiveStream(IPC_HANDLE handle) {
  if (!handle) return nullptr;
  return liveStreams().find(reinterpret_cast<intptr_t>(handle));
}

LiveStream::LiveStream(std::shared_ptr<CamSession> session, uint16_t streamNumber, bool display)
    : session_(std::move(session)),
      streamNumber_(streamNumber),
      display_(display),
      frames_(display ? kLiveFramesDisplaying : kLiveFramesHeadless, kFrameBufferLimit),
      audioBlocks_(kLiveAudioBlocks, kAudioBufferSize),
      talkBlocks_(kLiveTalkBlocks, kAudioBufferSize) {
  if (display_) {
    player_ = makeStreamPlayer(this);
    pacer_ = std::make_shared<FramePacer>();
    pacer_->setCallback(&LiveStream::postRenderTick, this);
    pictures_ = std::make_unique<PicturePool>(kLivePictures);
  }
  recorder_ = makeStreamRecorder(*session_, player_);
  recorder_->SetFailureHook([this](int) { raise(kIpcEvRecordFailed); });
  audio_ = std::make_shared<AudioDevice>(
      [this](const uint8_t* data, int length, uint32_t stamp, int type) {
        return talkFeed(data, length, stamp, type);
      });
}

LiveStream::~LiveStream() { stop(); }

size_t LiveStream::committedBytes() const {
  return frames_.committedBytes() + audioBlocks_.committedBytes() +
         talkBlocks_.committedBytes() + (pictures_ ? pictures_->committedBytes() : 0);
}

void LiveStream::start(IPC_HANDLE handle, intptr_t window) {
  handle_ = handle;
  registerDisplayStream(handle, this);
  bindStreamMedia(handle, StreamMedia{audio_, recorder_});
  // The window first: a player without one decodes nothing, and the first frame carries
  // what every later one needs.
  if (display_) setPlayerWindow(*player_, window);
  std::lock_guard<std::mutex> lk(threadMutex_);
  videoRx_ = MakeOwnedThread("live-video", this, session_.get(), [this] { videoReceiveBody(); });
  if (display_) {
    decode_ = MakeOwnedThread("live-decode", this, session_.get(), [this] { decodeBody(); });
    render_ = MakeOwnedThread("live-render", this, session_.get(), [this] { renderBody(); });
    renderThread_.store(render_->id());
  }
  videoRx_->start();
  if (decode_) decode_->start();
  if (render_) render_->start();
}

void LiveStream::stopThread(std::unique_ptr<plat::MessageThread>& t, MediaConnection* c) {
  if (!t) return;
  if (t->isCurrent()) {
    // Asked from a hook on this very thread, which cannot wait for itself: it leaves on the
    // quit message at the top of its loop and is joined later, never left running detached.
    t->post(kMsgQuit);
    retired_.push_back(std::move(t));
    return;
  }
  if (c) c->interrupt();
  t->stop(kThreadStopMs, [c] { if (c) c->interrupt(); }, kMsgQuit);
  t.reset();
}

void LiveStream::joinRetired() {
  for (auto it = retired_.begin(); it != retired_.end();) {
    if ((*it)->isCurrent()) {
      ++it;
      continue;
    }
    (*it)->stop(kThreadStopMs, {}, kMsgQuit);
    it = retired_.erase(it);
  }
}

void LiveStream::stop() {
  if (stopping_.exchange(true)) return;
  // From here the window may be the next stream's: a draw waiting for its paint ends now,
  // not when its wait runs out, and nothing more is drawn into it.
  if (player_) endPlayerPaintWaits(*player_);
  {
    std::lock_guard<std::mutex> lk(threadMutex_);
    stopThread(audioRx_, &audioConn_);
    audioBlocks_.cancelWaits();
    stopThread(audioPlay_, nullptr);
    audioConn_.close();
    stopThread(videoRx_, &videoConn_);
    stopThread(decode_, nullptr);
    stopThread(render_, nullptr);
    renderThread_.store(0);
    videoConn_.close();
    if (audio_) audio_->StopCapture();
    talking_.store(false);
    stopThread(talk_, &talkConn_);
    talkConn_.close();
    joinRetired();
  }
  if (handle_) {
    unregisterDisplayStream(handle_);
    unbindStreamMedia(handle_);
  }
  if (recorder_) shutdownRecorder(*recorder_);
  pacer_.reset();
}

void LiveStream::setAudio(bool on) {
  std::lock_guard<std::mutex> lk(threadMutex_);
  if (stopping_.load()) return;
  if (on) {
    if (audioRx_) return;  // already running: a repeated start is ignored
    joinRetired();
    audioConn_.wake.clear();
    audioBlocks_.resumeWaits();
    audioRx_ = MakeOwnedThread("live-audio", this, session_.get(), [this] { audioReceiveBody(); });
    if (display_)
      audioPlay_ = MakeOwnedThread("audio-play", this, session_.get(), [this] { audioPlayBody(); });
    audioRx_->start();
    if (audioPlay_) audioPlay_->start();
    return;
  }
  stopThread(audioRx_, &audioConn_);
  audioBlocks_.cancelWaits();
  stopThread(audioPlay_, nullptr);
  audioConn_.close();
  audioState_.store(kMediaConnected);
  // Blocks left on the ready list are stale once the audio stops.
  while (uint8_t* b = audioBlocks_.takeReady()) audioBlocks_.giveFree(b);
}

void LiveStream::setSpeak(bool on) {
  std::lock_guard<std::mutex> lk(threadMutex_);
  if (stopping_.load()) return;
  if (on) {
    // A talk in progress goes on. One that failed has left its thread idle: it ends here
    // before the new talk opens the channel again (two threads would share the connection).
    if (talk_ && talking_.load()) return;
    if (talk_) endTalk();
    joinRetired();
    talkConn_.wake.clear();
    talking_.store(true);
    talk_ = MakeOwnedThread("live-talk", this, session_.get(), [this] { talkBody(); });
    talk_->start();
    audio_->StartCapture();
    return;
  }
  endTalk();
}

void LiveStream::endTalk() {
  audio_->StopCapture();
  talking_.store(false);
  stopThread(talk_, &talkConn_);
  talkConn_.close();
  while (uint8_t* b = talkBlocks_.takeReady()) talkBlocks_.giveFree(b);
}

void LiveStream::setStreamHook(IpcStreamHook hook, void* user) {
  if (!hook) {
    streamHook_.clear();
    return;
  }
  streamHook_.set([hook, user](const uint8_t* data, int length, int codec, uint32_t seconds,
                               uint32_t microseconds, uint32_t stamp) {
    hook(data, length, codec, seconds, microseconds, stamp, user);
  });
}

void LiveStream::setOsdHook(IpcOsdHook hook, void* user) {
  if (!hook) {
    osdHook_.clear();
    return;
  }
  osdHook_.set([hook, user](IpcOsdItems* items, int width, int height) {
    hook(items, width, height, user);
  });
}

bool LiveStream::callOsdHook(IpcOsdItems* items, int width, int height) {
  return osdHook_.call(items, width, height);
}

void LiveStream::callStreamHook(const uint8_t* data, int length, int codec, uint32_t seconds,
                                uint32_t microseconds, uint32_t stamp) {
  streamHook_.call(data, length, codec, seconds, microseconds, stamp);
}

void LiveStream::writeRecord(const uint8_t* data, uint32_t length, int type, int keyFlag,
                             int width, int height) {
  if (recorder_) recordFrame(*recorder_, data, length, type, keyFlag, width, height);
}

void LiveStream::raise(int event) {
  if (stopping_.load()) return;
  RaiseSessionEvent(*session_, event, handle_, 0);
}

bool LiveStream::pause(MediaConnection& c, int productMs) {
  return plat::waitReadable(c.wake.fd(), productMs) == plat::WaitResult::Timeout;
}

bool LiveStream::quitPosted() {
  plat::Message m;
  // Bounded by the queue's length; only the quit message matters to these threads.
  while (plat::peekMessage(m))
    if (m.message == kMsgQuit) return true;
  return false;
}

}  // namespace corvane
