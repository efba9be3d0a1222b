// The decode and render threads of a displayed stream. The decode thread turns ready frames
// into pictures (only a decode that produced a picture queues one) and keeps the presentation
// clock and the statistics line; the render thread shows each picture as it comes, spaced by
// the pacer, and drops the pictures that wait beyond the jitter allowance: the newest
// picture wins.
#include <chrono>

#include "plat/clock.h"
#include "stream/frame_stats.h"
#include "stream/live_stream.h"
#include "video/frame_pacer.h"
#include "video/video_player.h"

namespace corvane {

namespace {
constexpr int kNoPictureSleepMs = 1;
// The connection status shows after this long without a frame (2,000 empty passes of 5 ms),
// and again each time as long again passes.
constexpr int kStatusAfterMs = 2000 * 5;
constexpr int kRenderWaitMs = 1000;
}  // namespace

std::shared_ptr<VideoPlayer> makeStreamPlayer(OsdHookOwner* owner) {
  return std::make_shared<VideoPlayer>(owner);
}

void setPlayerWindow(VideoPlayer& player, intptr_t window) { player.SetMainWindow(window); }

void LiveStream::decodeBody() {
  uint8_t* frame = nullptr;
  PictureSlot* picture = nullptr;
  // Waiting for a frame sleeps until the status is due: the receive thread's frame and the
  // stop wake the wait at once, so an idle stream costs no wake-ups in between.
  using Clock = std::chrono::steady_clock;
  Clock::time_point statusDue{};  // none while frames come
  bool haveTime = false;
  uint64_t lastTime = 0;
  FrameStats stats;
  // Ends on the quit message.
  while (!quitPosted()) {
    if (!frame) {
      if (statusDue == Clock::time_point{})
        statusDue = Clock::now() + plat::scaledDuration(kStatusAfterMs);
      frame = frames_.takeReadyUntil(statusDue);
      if (!frame) {
        if (Clock::now() >= statusDue) {
          player_->DrawStatusText(videoState_.load(), audioState_.load());
          statusDue = {};
        }
        continue;
      }
      statusDue = {};
      player_->ClearStatusText();
    }
    if (!picture) picture = pictures_->takeFreeWait(kNoPictureSleepMs);
    if (!picture) continue;
    const MediaHeader mh = MediaHeader::read(frame);
    const uint64_t time = uint64_t{mh.seconds} * 1000 + mh.microseconds / 1000;
    clockMs_.store(haveTime ? clockMs_.load() + static_cast<uint32_t>(time - lastTime) : 0);
    haveTime = true;
    lastTime = time;
    if (player_->DecodeFrame(frame + kMediaHeaderSize, mh.length, mh.codec, picture)) {
      picture->time = clockMs_.load();
      pictures_->putReady(picture);
      picture = nullptr;
    }
    stats.count(*player_, mh.length, plat::tickCount());
    frames_.giveFree(frame);
    frame = nullptr;
  }
  if (frame) frames_.giveFree(frame);
  if (picture) pictures_->giveFree(picture);
}

void LiveStream::renderBody() {
  // The pacer's turn over this stream's pictures, on the steady clock.
  struct Turn {
    LiveStream& stream;
    PictureRef picture;
    plat::Message m;
    int64_t nowMs() const { return plat::monotonicMs(); }
    int waiting() const { return stream.pictures_->readyCount(); }
    void dropOldest() {
      if (PictureRef newer = stream.pictures_->takeReady()) {
        picture = std::move(newer);
        stream.droppedPictures_.fetch_add(1, std::memory_order_relaxed);
      }
    }
    // The spacing after the last picture: only the stop cuts it short.
    bool wait(int ms) { return !(plat::getMessage(m, ms) && m.message == kMsgQuit); }
    bool painted(int ms) { return stream.player_->WaitPainted(ms); }
  } turn{*this, {}, {}};
  // Ends on the quit message; a picture wakes the wait at once, and so does the stop.
  while (!quitPosted()) {
    turn.picture = pictures_->takeReadyWait(kRenderWaitMs);
    if (!turn.picture) continue;
    if (!paceLive(*pacer_, turn)) break;
    player_->ClearStatusText();
    player_->RenderPicture(turn.picture);
    pacer_->shown(turn.nowMs(), turn.picture->time);
  }
}

}  // namespace corvane

namespace corvane {
void setPlayerRecordingIcon(VideoPlayer& player, bool on) {
  player.SetOsdFlag(kOsdFlagRecording, on);
}
}  // namespace corvane
