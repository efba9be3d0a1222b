#pragma once
// Turns received video frames into pictures on the screen: binds the decoder libraries,
// decodes into planar 4:2:0 pictures, keeps the picture format and the buffers snapshots
// read, decides what the OSD shows and drives the main and the second window's renderer.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "plat/window.h"
#include "video/ddraw_renderer.h"
#include "video/decoder_binding.h"
#include "video/frame_pool.h"
#include "video/picture_pool.h"
#include "codecs.h"

namespace corvane {

// OSD flag bits.
inline constexpr uint32_t kOsdFlagAudio = 1;
inline constexpr uint32_t kOsdFlagTalk = 2;
inline constexpr uint32_t kOsdFlagRecording = 64;
inline constexpr uint32_t kOsdFlagStatistics = 256;

inline constexpr int kStatsTextMax = 128;
inline constexpr int kBitmapInfoHeaderSize = 40;
inline constexpr int kInitialPictureWidth = 720;
inline constexpr int kInitialPictureHeight = 576;
// Pictures larger than this are refused rather than allocated for.
inline constexpr int kMaxPictureSide = 8192;

// Video and audio connection states of the status texts.
inline constexpr int kStateConnected = 0;
inline constexpr int kStateConnecting = 1;
inline constexpr int kStateServerFull = 2;

class VideoPlayer {
 public:
  explicit VideoPlayer(OsdHookOwner* owner);
  // With given decoder entries instead of the loaded libraries (null entries: none).
  VideoPlayer(OsdHookOwner* owner, const DecoderEntries& entries);
  ~VideoPlayer();
  VideoPlayer(const VideoPlayer&) = delete;
  VideoPlayer& operator=(const VideoPlayer&) = delete;

  // Live decode thread: decodes into a pooled picture, which keeps the decoder's own
  // picture (or a copy of it, from a decoder that cannot keep its pictures). 1 when a picture
  // was written, 0 when nothing was produced (or the picture was larger than any kept).
  int DecodeFrame(const uint8_t* data, uint32_t length, int codec, PictureSlot* picture);
  // Playback display thread: decodes into the player's own pictures and draws.
  void DecodeAndShow(const uint8_t* data, uint32_t length, int codec);
  // Live render thread: draws a decoded picture, which the renderers keep until they draw
  // the next one. Returns 1. A picture is not drawn over the one before until the main
  // window painted that one, for at most kPaintWaitMs: a tick that comes late, right behind
  // the one before, would otherwise replace a picture nobody saw. A window that let the
  // wait run out is not waited for again until it paints.
  int RenderPicture(const PictureRef& picture);
  // Longer than a GUI thread of many windows is held up on a busy machine; the pictures
  // behind wait in the stream's jitter buffer meanwhile.
  static constexpr int kPaintWaitMs = 200;
  // The longest a draw waits for that paint, in real milliseconds (kPaintWaitMs at first).
  void setPaintWait(int ms) { paintWaitMs_ = ms; }
  // The stream is stopping: a draw waiting for that paint ends at once, and neither it nor
  // a later one draws.
  void endPaintWaits();

  void DrawStatusText(int videoState, int audioState);
  void ClearStatusText();
  // The row of the audio status text's top, below the video status text.
  static int audioTextY(int height);
  int SetMainWindow(plat::WindowHandle window);
  int SetSecondWindow(plat::WindowHandle window, int show);
  void SetOsdFlag(uint32_t bits, bool on);
  int SetOsdText(const char* text);
  int UpdateOsd();
  int SetPictureSize(int width, int height);
  // The 40-byte bitmap information header of the picture format.
  void GetPictureFormat(uint8_t out[kBitmapInfoHeaderSize]) const;

  // Snapshots of what the main window shows: 1 on success, 0 on failure.
  int SaveBmp(const char* path);
  int SaveJpeg(const char* path);

  int pictureWidth() const { return width_; }
  int pictureHeight() const { return height_; }
  uint32_t osdFlags() const { return osdFlags_; }
  int decodedFrames() const { return decodedFrames_; }
  int droppedPictures() const { return droppedPictures_; }
  DdrawRenderer& mainRenderer() { return main_; }
  DdrawRenderer& secondRenderer() { return second_; }
  // The playback path's last picture (none before the first).
  PictureRef shownPicture();

 private:
  // Runs the decoder over the frame; calls `sink` with each picture the decoder reports.
  // Returns -1 when a call gave no picture and consumed nothing, else the number of
  // pictures the sink took.
  template <typename Sink>
  int decodeLoop(const uint8_t* data, uint32_t length, int codec, Sink sink);
  // The decoder's last picture into the slot: kept as it is when the decoder can keep it,
  // else copied. False when it is beyond the largest picture kept.
  bool keepPicture(const DecoderOutput& out, CTDecEntry entry, DecoderHandleBlock* block, PictureSlot* slot);
  void rebindIfNeeded();
  void drawLocked(const PictureRef& picture);
  // The black picture of the current size, drawn under the status texts before any picture.
  PictureRef blank();
  void prepareOsd(int width, int height);
  void copyStats(char* out) const;
  bool snapshot32(std::vector<uint8_t>* pixels, int* width, int* height);

  OsdHookOwner* owner_;
  mutable std::mutex statsMutex_;
  char stats_[kStatsTextMax] = {};
  std::atomic<int> secondShown_{0};
  std::atomic<uint32_t> osdFlags_{0};
  std::atomic<int> rebindPending_{0};
  std::atomic<int> width_{0}, height_{0};
  std::atomic<uint32_t> imageSize_{0};
  std::atomic<plat::WindowHandle> mainWindow_{0}, secondWindow_{0};
  static constexpr int kBytesPerPixel = 4;
  std::vector<uint8_t> snapshotBuffer_;
  // The player's own pictures: the playback path's, the black one, and one being decoded.
  PicturePool own_{4};
  PictureRef shown_;  // the playback path's last picture
  PictureRef blank_;
  DecoderEntries entries_;
  DecoderHandleBlock h264Block_{};
  DecoderHandleBlock mpeg4Block_{};
  DdrawRenderer main_;
  DdrawRenderer second_;
  std::atomic<int> decodedFrames_{0};
  std::atomic<int> droppedPictures_{0};
  // The render thread's.
  bool waitsForPaint_ = true;
  std::atomic<int> paintWaitMs_{kPaintWaitMs};
  std::atomic<bool> paintWaitsEnded_{false};
  std::atomic<plat::WindowHandle> paintWaitWindow_{0};  // the window a draw last waited on
  // Serialises size changes against drawing and against the player's own pictures (render,
  // status texts, playback, snapshots).
  std::recursive_mutex drawMutex_;
};

}  // namespace corvane
