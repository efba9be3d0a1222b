#include "video/video_player.h"

#include <cstdio>
#include <cstring>

#include "plat/log.h"
#include "audio/le.h"
#include "video/yuv_convert.h"

namespace corvane {

VideoPlayer::VideoPlayer(OsdHookOwner* owner) : VideoPlayer(owner, loadDecoders()) {}

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

uint8_t* VideoPlayer::ownPicture() {
  if (pictureBuffer_.empty()) {
    const size_t luma = static_cast<size_t>(width_) * height_;
    pictureBuffer_.assign(luma + 2 * (static_cast<size_t>(width_ / 2) * (height_ / 2)), 128);
    std::memset(pictureBuffer_.data(), 0, luma);  // black
  }
  return pictureBuffer_.data();
}

int VideoPlayer::SetPictureSize(int width, int height) {
  std::lock_guard<std::recursive_mutex> lk(drawMutex_);
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide) return 0;
  width_ = width;
  height_ = height;
  // The player's own picture is made when first drawn from (a live stream draws from its
  // pool); snapshots size their own buffer when one is taken.
  std::vector<uint8_t>().swap(snapshotBuffer_);
  std::vector<uint8_t>().swap(pictureBuffer_);
  main_.BindWindow(mainWindow_, width, height);
  return 1;
}

void VideoPlayer::GetPictureFormat(uint8_t out[kBitmapInfoHeaderSize]) const {
  using namespace le;
  std::memset(out, 0, kBitmapInfoHeaderSize);
  putU32(out + 0, kBitmapInfoHeaderSize);
  putU32(out + 4, static_cast<uint32_t>(width_.load()));
  putU32(out + 8, static_cast<uint32_t>(height_.load()));
  putU16(out + 12, 1);
  putU16(out + 14, kBytesPerPixel * 8);
  putU32(out + 20, imageSize_);
}

template <typename Sink>
int VideoPlayer::decodeLoop(const uint8_t* data, uint32_t length, int codec, Sink sink) {
  CTDecEntry entry = codec == kCodecH264 ? entries_.h264 : codec == kCodecMpeg4 ? entries_.mpeg4 : nullptr;
  CTDecHandleBlock* block = codec == kCodecH264 ? &h264Block_ : &mpeg4Block_;
  if (!entry || !block->handle || !data) return 0;
  int pictures = 0;
  uint32_t offset = 0;
  while (offset < length) {
    block->input = data + offset;
    block->length = length - offset;
    CTDecOutput out{};
    entry(CTDEC_DECODE, block, &out);
    if (out.pictureReady > 0) {
      if (out.width > 0 && out.height > 0 && out.y && out.u && out.v &&
          out.yStride >= out.width && out.uStride >= out.width / 2 && out.vStride >= out.width / 2 &&
          sink(Planes{out.width, out.height, out.y, out.u, out.v}, out)) {
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

namespace {

// The picture is read next when the render thread's turn comes, after the other streams'
// work has gone through the caches: it is written around them.
void copyPlanes(const CTDecOutput& out, uint8_t* y, uint8_t* u, uint8_t* v) {
  const int w = out.width, h = out.height;
  copyPlaneStreamed(out.y, out.yStride, w, h, y);
  copyPlaneStreamed(out.u, out.uStride, w / 2, h / 2, u);
  copyPlaneStreamed(out.v, out.vStride, w / 2, h / 2, v);
}

}  // namespace

int VideoPlayer::DecodeFrame(const uint8_t* data, uint32_t length, int codec, uint8_t* picture,
                             size_t capacity) {
  return DecodeFrame(data, length, codec, &picture, capacity, {});
}

int VideoPlayer::DecodeFrame(const uint8_t* data, uint32_t length, int codec, uint8_t** pictureIo,
                             size_t capacity, const PictureRoom& room) {
  if (!mainWindow_ && !secondWindow_) return 0;
  if (!pictureIo || !*pictureIo || capacity < kPictureHeaderSize) return 0;
  int n = decodeLoop(data, length, codec, [&](const Planes& p, const CTDecOutput& out) {
    const bool sane = p.width <= 0xFFFF && p.height <= 0xFFFF;
    const size_t bytes = sane ? PictureHeader::bytesFor(p.width, p.height) : 0;
    if (sane && bytes > capacity && room) {
      if (uint8_t* larger = room(bytes)) {
        *pictureIo = larger;
        capacity = bytes;
      }
    }
    uint8_t* picture = *pictureIo;
    // A picture the pooled buffer cannot hold is dropped, never written past its end.
    if (!sane || bytes > capacity) {
      if (droppedPictures_++ == 0)
        PLAT_LOGW("video", "dropping %dx%d pictures: larger than the picture buffer", p.width,
                  p.height);
      return false;
    }
    PictureHeader h = PictureHeader::read(picture);
    h.width = static_cast<uint16_t>(p.width);
    h.height = static_cast<uint16_t>(p.height);
    h.write(picture);
    copyPlanes(out, picture + kPictureHeaderSize,
               picture + PictureHeader::uOffset(p.width, p.height),
               picture + PictureHeader::vOffset(p.width, p.height));
    return true;
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

void VideoPlayer::drawLocked(const uint8_t* y, const uint8_t* u, const uint8_t* v) {
  main_.BlitFrame(nullptr, y, u, v);
  if (!secondShown_ || !second_.window()) return;
  // The second renderer reads the planes at its own size: follow the picture's first.
  if (second_.width() != width_ || second_.height() != height_)
    second_.BindWindow(secondWindow_, width_, height_);
  second_.BlitFrame(nullptr, y, u, v);
}

int VideoPlayer::RenderPicture(const uint8_t* picture, int width, int height) {
  prepareOsd(width, height);
  std::lock_guard<std::recursive_mutex> lk(drawMutex_);
  rebindIfNeeded();
  if (!picture || width <= 0 || height <= 0) return 1;
  if (width != width_ || height != height_) SetPictureSize(width, height);
  if (width != width_ || height != height_) return 1;  // a size refused: nothing to draw
  drawLocked(picture + kPictureHeaderSize, picture + PictureHeader::uOffset(width, height),
             picture + PictureHeader::vOffset(width, height));
  return 1;
}

void VideoPlayer::DecodeAndShow(const uint8_t* data, uint32_t length, int codec) {
  std::lock_guard<std::recursive_mutex> lk(drawMutex_);
  rebindIfNeeded();
  int n = decodeLoop(data, length, codec, [&](const Planes& p, const CTDecOutput& out) {
    if (p.width != width_ || p.height != height_) SetPictureSize(p.width, p.height);
    if (p.width != width_ || p.height != height_) return false;
    const size_t luma = static_cast<size_t>(p.width) * p.height;
    uint8_t* y = ownPicture();
    copyPlanes(out, y, y + luma, y + luma + static_cast<size_t>(p.width / 2) * (p.height / 2));
    return true;
  });
  if (n < 0) return;  // nothing taken, nothing shown
  if (n > 0) UpdateOsd();
  rebindIfNeeded();
  const size_t luma = static_cast<size_t>(width_) * height_;
  const uint8_t* y = ownPicture();
  drawLocked(y, y + luma, y + luma + (static_cast<size_t>(width_ / 2) * (height_ / 2)));
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
  main_.SetOsdItem(cw / 2 - 40, ch / 2 + 10, audio, 0, kOsdAudioText);
  const size_t luma = static_cast<size_t>(cw) * ch;
  const uint8_t* y = ownPicture();
  main_.BlitFrame(nullptr, y, y + luma, y + luma + static_cast<size_t>(cw / 2) * (ch / 2));
}

void VideoPlayer::ClearStatusText() {
  const int cw = width_, ch = height_;
  main_.SetOsdItem(cw / 2 - 40, ch / 2 - 10, "", 0, kOsdVideoText);
  main_.SetOsdItem(cw / 2 - 40, ch / 2 + 10, "", 0, kOsdAudioText);
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
