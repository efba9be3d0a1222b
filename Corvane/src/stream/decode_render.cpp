// The decode and render threads of a displayed stream. The decode thread turns ready frames
// into pictures (only a decode that produced a picture queues one) and keeps the presentation
// clock and the statistics line; the render thread shows the oldest picture on every pacer
// tick and adapts the pacer to how many pictures wait.
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
  uint8_t* picture = nullptr;
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
    if (player_->DecodeFrame(frame + kMediaHeaderSize, mh.length, mh.codec, &picture,
                             pictures_->capacity(picture), [this, &picture](size_t bytes) {
                               return pictures_->grow(picture, bytes);
                             })) {
      PictureHeader ph = PictureHeader::read(picture);
      ph.time = clockMs_.load();
      ph.write(picture);
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
  pacer_->start();
  plat::Message m;
  // Ends on the quit message; the wait is bounded so a lost tick never stalls it.
  for (;;) {
    if (!plat::getMessage(m, kRenderWaitMs)) continue;
    if (m.message == kMsgQuit) break;
    if (m.message != kRenderTickMessage && m.message != plat::WM_TIMER) continue;
    uint8_t* picture = pictures_->takeReady();
    if (!picture) continue;
    player_->ClearStatusText();
    pacer_->adapt(pictures_->readyCount());
    const PictureHeader ph = PictureHeader::read(picture);
    player_->RenderPicture(picture, ph.width, ph.height);
    pictures_->giveFree(picture);
  }
  pacer_->stop();
}

}  // namespace corvane

namespace corvane {
void setPlayerRecordingIcon(VideoPlayer& player, bool on) {
  player.SetOsdFlag(kOsdFlagRecording, on);
}
}  // namespace corvane
