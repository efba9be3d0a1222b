#include "video/video_player.h"

#include <cstdio>
#include <cstring>

#include "plat/bytes.h"
#include "plat/log.h"
#include "plat/surface.h"
#include "video/osd_font.h"
#include "video/yuv_convert.h"

namespace corvane {

VideoPlayer::VideoPlayer(OsdHookOwner* owner) : VideoPlayer(owner, LoadDecoders()) {}

VideoPlayer::VideoPlayer(OsdHookOwner* owner, const DecoderEntries& entries)
    : owner_(owner), entries_(entries), main_(owner), second_(owner) {
  if (entries_.h264) entries_.h264(CTDEC_OPEN, &h264Block_, nullptr);
  if (entries_.mpeg4) entries_.mpeg4(CTDEC_OPEN, &mpeg4Block_, nullptr);
  SetPictureSize(kInitialPictureWidth, kInitialPictureHeight);
}

VideoPlayer::~VideoPlayer() {
  if (entries_.mpeg4 && mpeg4Block_.handle) entries_.mpeg4(CTDEC_CLOSE, &mpeg4Block_, nullptr);
  mpeg4Block_ = {};
  if (entries_.h264 && h264Block_.handle) entries_.h264(CTDEC_CLOSE, &h264Block_, nullptr);
  h264Block_ = {};
}

PictureRef VideoPlayer::blank() {
  if (blank_ && blank_->width() == width_ && blank_->height() == height_) return blank_;
  blank_.reset();
  PictureSlot* slot = own_.takeFree();
  if (!slot) return {};
  uint8_t* base = slot->copyInto(width_, height_);
  if (!base) {
    own_.giveFree(slot);
    return {};
  }
  const size_t luma = static_cast<size_t>(width_) * height_;
  std::memset(base + kPictureHeaderSize, 0, luma);
  std::memset(base + kPictureHeaderSize + luma, 128, 2 * (static_cast<size_t>(width_ / 2) * (height_ / 2)));
  blank_ = own_.share(slot);
  return blank_;
}

PictureRef VideoPlayer::shownPicture() {
  std::lock_guard<std::recursive_mutex> lk(drawMutex_);
  return shown_;
}

int VideoPlayer::SetPictureSize(int width, int height) {
  std::lock_guard<std::recursive_mutex> lk(drawMutex_);
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return 0;
  width_ = width;
  height_ = height;
  // The player's own pictures of the old size go; snapshots size their own buffer when one
  // is taken.
  std::vector<uint8_t>().swap(snapshotBuffer_);
  shown_.reset();
  blank_.reset();
  main_.BindWindow(mainWindow_, width, height);
  return 1;
}

void VideoPlayer::GetPictureFormat(uint8_t out[kBitmapInfoHeaderSize]) const {
  std::memset(out, 0, kBitmapInfoHeaderSize);
  plat::putLe32(out + 0, kBitmapInfoHeaderSize);
  plat::putLe32(out + 4, static_cast<uint32_t>(width_.load()));
  plat::putLe32(out + 8, static_cast<uint32_t>(height_.load()));
  plat::putLe16(out + 12, 1);
  plat::putLe16(out + 14, kBytesPerPixel * 8);
  plat::putLe32(out + 20, imageSize_);
}

template <typename Sink>
int VideoPlayer::decodeLoop(const uint8_t* data, uint32_t length, int codec, Sink sink) {
  CTDecEntry entry = codec == kCodecH264 ? entries_.h264 : codec == kCodecMpeg4 ? entries_.mpeg4 : nullptr;
  DecoderHandleBlock* block = codec == kCodecH264 ? &h264Block_ : &mpeg4Block_;
  if (!entry || !block->handle || !data) return 0;
  int pictures = 0;
  uint32_t offset = 0;
  while (offset < length) {
    block->input = data + offset;
    block->length = length - offset;
    DecoderOutput out{};
    entry(CTDEC_DECODE, block, &out);
    if (out.pictureReady > 0) {
      if (out.width > 0 && out.height > 0 && out.y && out.u && out.v &&
          out.yStride >= out.width && out.uStride >= out.width / 2 && out.vStride >= out.width / 2 &&
          sink(out, entry, block)) {
        ++pictures;
      }
    } else if (out.bytesConsumed <= 0) {
      return -1;
    }
    // A decoder that reports a picture without taking input would hold the loop forever.
    if (out.bytesConsumed <= 0) break;
    offset += static_cast<uint32_t>(out.bytesConsumed) > length - offset
                  ? length - offset
                  : static_cast<uint32_t>(out.bytesConsumed);
  }
  return pictures;
}

bool VideoPlayer::keepPicture(const DecoderOutput& out, CTDecEntry entry, DecoderHandleBlock* block,
                              PictureSlot* slot) {
  if (!slot) return false;
  const int w = out.width, h = out.height;
  // A picture larger than any kept is dropped whole, never drawn in part.
  if (w > kPictureMaxWidth || h > kPictureMaxHeight) {
    if (droppedPictures_++ == 0)
      PLAT_LOGW("video", "dropping %dx%d pictures: larger than %dx%d", w, h, kPictureMaxWidth, kPictureMaxHeight);
    slot->clear();
    return false;
  }
  const plat::I420Planes planes{out.y, out.u, out.v, out.yStride, out.uStride, out.vStride, w, h};
  // The decoder's own picture is kept where it lies: nothing is copied.
  intptr_t hold = 0;
  entry(CTDEC_HOLD, block, &hold);
  if (hold) {
    slot->keepHeld(entry, hold, planes);
    return true;
  }
  uint8_t* base = slot->copyInto(w, h);
  if (!base) return false;
  copyPlaneStreamed(out.y, out.yStride, w, h, base + kPictureHeaderSize);
  copyPlaneStreamed(out.u, out.uStride, w / 2, h / 2, base + DecodedPicture::uOffset(w, h));
  copyPlaneStreamed(out.v, out.vStride, w / 2, h / 2, base + DecodedPicture::vOffset(w, h));
  return true;
}

int VideoPlayer::DecodeFrame(const uint8_t* data, uint32_t length, int codec, PictureSlot* picture) {
  if (!mainWindow_ && !secondWindow_) return 0;
  if (!picture) return 0;
  int n = decodeLoop(data, length, codec, [&](const DecoderOutput& out, CTDecEntry entry, DecoderHandleBlock* block) {
    return keepPicture(out, entry, block, picture);
  });
  if (n <= 0) return 0;
  UpdateOsd();
  return 1;
}

void VideoPlayer::rebindIfNeeded() {
  plat::WindowHandle w = mainWindow_;
  if (rebindPending_.exchange(0)) {
    main_.BindWindow(w, width_, height_);
  } else if (w && plat::isWindow(w) && w != main_.window()) {
    main_.BindWindow(w, width_, height_);
  }
}

void VideoPlayer::drawLocked(const PictureRef& picture) {
  main_.BlitPicture(picture);
  if (!secondShown_ || !second_.window()) return;
  // The second renderer reads the planes at its own size: follow the picture's first.
  if (second_.width() != width_ || second_.height() != height_)
    second_.BindWindow(secondWindow_, width_, height_);
  second_.BlitPicture(picture);
}

int VideoPlayer::RenderPicture(const PictureRef& picture) {
  if (!picture) return 1;
  // Before any lock: the window's GUI thread may want the player (a snapshot) to paint.
  if (const plat::WindowHandle w = mainWindow_.load()) {
    paintWaitWindow_ = w;
    waitsForPaint_ = plat::waitPainted(w, waitsForPaint_ ? paintWaitMs_.load() : 0, &paintWaitsEnded_);
  }
  // The stream is stopping: its window may show the next stream's pictures already.
  if (paintWaitsEnded_.load()) return 1;
  const int width = picture->width(), height = picture->height();
  prepareOsd(width, height);
  std::lock_guard<std::recursive_mutex> lk(drawMutex_);
  rebindIfNeeded();
  if (width <= 0 || height <= 0) return 1;
  if (width != width_ || height != height_) SetPictureSize(width, height);
  if (width != width_ || height != height_) return 1;  // a size refused: nothing to draw
  drawLocked(picture);
  return 1;
}

void VideoPlayer::endPaintWaits() {
  // The flag first, then the window the draw may wait on: either the draw sees the flag
  // before it sleeps, or this sees its window and wakes it.
  paintWaitsEnded_ = true;
  if (const plat::WindowHandle w = paintWaitWindow_.load()) plat::wakePaintWaits(w);
}

void VideoPlayer::DecodeAndShow(const uint8_t* data, uint32_t length, int codec) {
  std::lock_guard<std::recursive_mutex> lk(drawMutex_);
  rebindIfNeeded();
  // The picture shown and the black one may be held by the renderers: a third slot takes
  // the new picture, and without one the frame still goes through the decoder.
  PictureSlot* slot = own_.takeFree();
  int n = decodeLoop(data, length, codec, [&](const DecoderOutput& out, CTDecEntry entry, DecoderHandleBlock* block) {
    return keepPicture(out, entry, block, slot);
  });
  if (n > 0) {
    if (slot->width() != width_ || slot->height() != height_) SetPictureSize(slot->width(), slot->height());
    if (slot->width() == width_ && slot->height() == height_) {
      shown_ = own_.share(slot);
      slot = nullptr;
    }
  }
  own_.giveFree(slot);
  if (n < 0) return;  // nothing taken, nothing shown
  // A frame that gave no picture still counts, and the picture before is drawn again.
  UpdateOsd();
  rebindIfNeeded();
  drawLocked(shown_ ? shown_ : blank());
}

void VideoPlayer::copyStats(char* out) const {
  std::lock_guard<std::mutex> lk(statsMutex_);
  std::memcpy(out, stats_, kStatsTextMax);
}

int VideoPlayer::UpdateOsd() {
  const int count = ++decodedFrames_;
  const int w = width_, h = height_;
  const uint32_t flags = osdFlags_;
  if (count % 5 == 0) {
    main_.SetOsdItem(w - 100, 50, nullptr, (flags & kOsdFlagAudio) ? 1 : 0, kOsdAudioIcon);
    main_.SetOsdItem(w - 100, 150, nullptr, (flags & kOsdFlagTalk) ? 1 : 0, kOsdTalkIcon);
    main_.SetOsdItem(w - 100, 250, nullptr, (flags & kOsdFlagRecording) ? 1 : 0, kOsdRecordIcon);
  }
  char text[kStatsTextMax] = {};
  if (flags & kOsdFlagStatistics) copyStats(text);
  main_.SetOsdItem(50, h - 30, text, 0, kOsdStatsText);
  return 1;
}

int VideoPlayer::SetOsdText(const char* text) {
  std::lock_guard<std::mutex> lk(statsMutex_);
  if (!text) text = "";
  size_t n = std::min(std::strlen(text), static_cast<size_t>(kStatsTextMax - 1));
  std::memcpy(stats_, text, n);
  stats_[n] = 0;
  return static_cast<int>(n + 1);
}

void VideoPlayer::SetOsdFlag(uint32_t bits, bool on) {
  if (on) osdFlags_ |= bits;
  else osdFlags_ &= ~bits;
}

void VideoPlayer::prepareOsd(int width, int height) {
  // The OSD hook runs before the draw lock is taken (a hook may snapshot or resize).
  main_.PrepareOsd(width, height);
  if (secondShown_) second_.PrepareOsd(width, height);
}

void VideoPlayer::DrawStatusText(int videoState, int audioState) {
  prepareOsd(width_, height_);
  std::lock_guard<std::recursive_mutex> lk(drawMutex_);
  auto text = [](int state, const char* connecting, const char* full, char* out, size_t n) {
    const char* s = state == kStateConnecting ? connecting : state == kStateServerFull ? full : nullptr;
    if (s) std::snprintf(out, n, "%s ", s);
    else out[0] = 0;
  };
  char video[64], audio[64];
  text(videoState, "Connecting Video...", "Video Server Full !", video, sizeof video);
  text(audioState, "Connecting Audio...", "Audio Server Full !", audio, sizeof audio);
  plat::WindowHandle w = mainWindow_;
  if (w && plat::isWindow(w) && w != main_.window()) main_.BindWindow(w, width_, height_);
  const int cw = width_, ch = height_;
  main_.SetOsdItem(cw / 2 - 40, ch / 2 - 10, video, 0, kOsdVideoText);
  main_.SetOsdItem(cw / 2 - 40, audioTextY(ch), audio, 0, kOsdAudioText);
  main_.BlitPicture(shown_ ? shown_ : blank());
}

int VideoPlayer::audioTextY(int height) {
  // The audio line begins a quarter cell below the video line's glyph cells: 20 rows apart,
  // as the glyphs are tall, the two lines touched, and merged in a window smaller than the
  // picture.
  return height / 2 - 10 + OsdFont::kHeight * 5 / 4;
}

void VideoPlayer::ClearStatusText() {
  const int cw = width_, ch = height_;
  main_.SetOsdItem(cw / 2 - 40, ch / 2 - 10, "", 0, kOsdVideoText);
  main_.SetOsdItem(cw / 2 - 40, audioTextY(ch), "", 0, kOsdAudioText);
}

int VideoPlayer::SetMainWindow(plat::WindowHandle window) {
  mainWindow_ = window;
  rebindPending_ = 1;
  return 1;
}

int VideoPlayer::SetSecondWindow(plat::WindowHandle window, int show) {
  std::lock_guard<std::recursive_mutex> lk(drawMutex_);
  if (show && window && plat::isWindow(window)) {
    second_.BindWindow(window, width_, height_);
    secondWindow_ = window;
    secondShown_ = 1;
  } else {
    second_.ReleaseSurfaces();
    secondShown_ = 0;
    secondWindow_ = 0;
  }
  return 1;
}

}  // namespace corvane
