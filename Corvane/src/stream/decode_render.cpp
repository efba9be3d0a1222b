// The decode and render threads of a displayed stream. The decode thread turns ready frames
// into pictures of the stream's pool (only a decode that produced a picture queues one) and
// keeps the presentation clock and the statistics line; the render thread shows the oldest
// ready picture on every tick of the pacer and adapts the pacer to how many pictures wait.
// Between them the ready pictures are the stream's jitter buffer. The decode thread polls its
// pools: it sleeps 5 ms when no frame is ready and 1 ms when no picture is free, and these
// sleeps set the rhythm at which pictures reach the render thread, which the pacer follows.
#include "plat/clock.h"
#include "plat/event.h"
#include "stream/frame_stats.h"
#include "stream/live_stream.h"
#include "video/frame_pacer.h"
#include "video/video_player.h"

namespace corvane {

namespace {
constexpr int kEmptyPassSleepMs = 5;
constexpr int kNoPictureSleepMs = 1;
constexpr int kEmptyPassesBeforeStatus = 2000;  // about 10 seconds without a frame
}  // namespace

std::shared_ptr<VideoPlayer> makeStreamPlayer(OsdHookOwner* owner) {
  return std::make_shared<VideoPlayer>(owner);
}

void setPlayerWindow(VideoPlayer& player, intptr_t window) { player.SetMainWindow(window); }
void endPlayerPaintWaits(VideoPlayer& player) { player.endPaintWaits(); }

void LiveStream::decodeBody() {
  uint8_t* frame = nullptr;
  PictureSlot* picture = nullptr;
  int emptyPasses = 0;
  bool haveTime = false;
  uint64_t lastTime = 0;
  FrameStats stats;
  plat::Message m;
  // A sleep that the stop's quit message ends at once; false when it came.
  auto sleep = [&m](int ms) { return !(plat::getMessage(m, ms) && m.message == kMsgQuit); };
  // Ends on the quit message.
  while (!quitPosted()) {
    if (!frame) {
      frame = frames_.takeReady();
      if (!frame) {
        if (++emptyPasses > kEmptyPassesBeforeStatus) {
          // A stopping stream's window may be the next stream's already.
          if (!stopping_.load()) player_->DrawStatusText(videoState_.load(), audioState_.load());
          emptyPasses = 0;
        }
        if (!sleep(kEmptyPassSleepMs)) break;
        continue;
      }
      emptyPasses = 0;
      player_->ClearStatusText();
    }
    if (!picture) picture = pictures_->takeFree();
    if (!picture) {
      if (!sleep(kNoPictureSleepMs)) break;
      continue;
    }
    const MediaBuffer mh = MediaBuffer::read(frame);
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
  const std::shared_ptr<FramePacer> pacer = pacer_;
  pacer->start();
  plat::Message m;
  // Ends on the quit message.
  for (;;) {
    if (!plat::getMessage(m, plat::kInfinite)) continue;
    if (m.message == kMsgQuit) break;
    if (m.message != kRenderTickMessage && m.message != plat::WM_TIMER) continue;
    // Once the stream is stopping its window may already show another stream: the pictures
    // still ready are not drawn over it.
    if (stopping_.load()) continue;
    PictureRef picture = pictures_->takeReady();
    if (!picture) continue;  // nothing decoded since the last tick
    player_->ClearStatusText();
    pacer->adapt(pictures_->readyCount());
    player_->RenderPicture(picture);
    // Back to the free list, unless a window still shows it (kept for its snapshots until
    // the next picture is drawn).
    picture.reset();
  }
  pacer->stop();
}

void LiveStream::postRenderTick(void* user) {
  const plat::ThreadId render = static_cast<LiveStream*>(user)->renderThread_.load();
  if (render) plat::postThreadMessage(render, kRenderTickMessage);
}

}  // namespace corvane

namespace corvane {
void setPlayerRecordingIcon(VideoPlayer& player, bool on) {
  player.SetOsdFlag(kOsdFlagRecording, on);
}
}  // namespace corvane
