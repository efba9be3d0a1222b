// The decode thread of a displayed stream: turns ready frames into pictures, keeps the
// presentation clock and the statistics line, and shows each picture as it is decoded,
// spaced by the pacer; a picture with more frames waiting behind it than the jitter
// allowance goes unshown: the newest picture wins. Showing on the thread that decoded
// saves a hand-off and a cold read of the picture per frame.
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
}  // namespace

std::shared_ptr<VideoPlayer> makeStreamPlayer(OsdHookOwner* owner) {
  return std::make_shared<VideoPlayer>(owner);
}

void setPlayerWindow(VideoPlayer& player, intptr_t window) { player.SetMainWindow(window); }

void LiveStream::decodeBody() {
  uint8_t* frame = nullptr;
  PictureSlot* slot = nullptr;
  // Waiting for a frame sleeps until the status is due: the receive thread's frame and the
  // stop wake the wait at once, so an idle stream costs no wake-ups in between.
  using Clock = std::chrono::steady_clock;
  Clock::time_point statusDue{};  // none while frames come
  bool haveTime = false;
  uint64_t lastTime = 0;
  FrameStats stats;
  // The pacer's turn with the picture just decoded. The frames still waiting stand for the
  // pictures behind it: beyond the jitter allowance the picture goes unshown and the next
  // frame is decoded at once, so the newest picture wins without a decode running ahead.
  struct Turn {
    LiveStream& stream;
    bool dropped = false;
    plat::Message m;
    int64_t nowMs() const { return plat::monotonicMs(); }
    int waiting() const { return stream.frames_.readyCount(); }
    void dropOldest() { dropped = true; }
    // The spacing after the last picture: only the stop cuts it short.
    bool wait(int ms) { return !(plat::getMessage(m, ms) && m.message == kMsgQuit); }
    bool painted(int ms) { return stream.player_->WaitPainted(ms); }
  } turn{*this, false, {}};
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
    if (!slot) slot = pictures_->takeFreeWait(kNoPictureSleepMs);
    if (!slot) continue;
    const MediaHeader mh = MediaHeader::read(frame);
    const uint64_t time = uint64_t{mh.seconds} * 1000 + mh.microseconds / 1000;
    clockMs_.store(haveTime ? clockMs_.load() + static_cast<uint32_t>(time - lastTime) : 0);
    haveTime = true;
    lastTime = time;
    const bool decoded = player_->DecodeFrame(frame + kMediaHeaderSize, mh.length, mh.codec, slot) != 0;
    stats.count(*player_, mh.length, plat::tickCount());
    frames_.giveFree(frame);
    frame = nullptr;
    if (!decoded) continue;
    slot->time = clockMs_.load();
    // Shown from here, while the decoder's picture is still warm in this core's cache.
    PictureRef picture = pictures_->share(slot);
    slot = nullptr;
    turn.dropped = false;
    if (!paceLive(*pacer_, turn)) break;
    if (turn.dropped) {
      droppedPictures_.fetch_add(1, std::memory_order_relaxed);
      continue;
    }
    player_->RenderPicture(picture);
    pacer_->shown(turn.nowMs(), picture->time);
  }
  if (frame) frames_.giveFree(frame);
  if (slot) pictures_->giveFree(slot);
}

}  // namespace corvane

namespace corvane {
void setPlayerRecordingIcon(VideoPlayer& player, bool on) {
  player.SetOsdFlag(kOsdFlagRecording, on);
}
}  // namespace corvane
