#pragma once
// Shows I420 pictures in one window through the display surfaces: a back surface of the
// window's size in the display's RGB format (the picture's size while the window reports
// none or is larger than the picture), the picture scaled to it before the colour conversion
// so only the pixels the window shows are made, the OSD drawn into it in picture coordinates, then presented. The last
// picture drawn is kept, so a snapshot is made from it at the picture's own size.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "plat/picture_scale.h"
#include "plat/surface.h"
#include "video/osd_hook_owner.h"
#include "video/picture.h"

namespace corvane {

class OsdCanvas;

// OSD item ids.
inline constexpr int kOsdAudioIcon = 1;
inline constexpr int kOsdTalkIcon = 2;
inline constexpr int kOsdRecordIcon = 64;
inline constexpr int kOsdVideoText = 16;
inline constexpr int kOsdAudioText = 32;
inline constexpr int kOsdStatsText = 256;
inline constexpr int kOsdTextMax = 100;
inline constexpr int kBlinkMax = 40;
inline constexpr int kBlinkShownAbove = 20;

class DdrawRenderer {
 public:
  explicit DdrawRenderer(OsdHookOwner* owner);
  ~DdrawRenderer();
  DdrawRenderer(const DdrawRenderer&) = delete;
  DdrawRenderer& operator=(const DdrawRenderer&) = delete;

  // 0, or a negative code with the error text set; a failed bind leaves the renderer unbound.
  int BindWindow(plat::WindowHandle window, int width, int height);
  void ReleaseSurfaces();
  // Planes at strides width and width/2 of the bound size. 0 or a negative code. The planes
  // are the caller's: nothing of them is kept for a snapshot.
  int BlitFrame(const plat::SurfaceRect* source, const uint8_t* y, const uint8_t* u,
                const uint8_t* v);
  // A picture at the bound size, kept as the last one drawn. 0 or a negative code.
  int BlitPicture(const PictureRef& picture);
  int SetOsdItem(int x, int y, const char* text, int flag, int itemId);
  // Asks the owner's OSD hook for the next pictures' record, with no lock of the renderer
  // (or of the player that calls it) held; BlitFrame draws what it last gave.
  void PrepareOsd(int width, int height);

  // What the window shows at the picture's own size: the last picture drawn with its OSD, as
  // 32-bit pixels (B, G, R, 0), bottom row first, made under the lock that keeps drawing
  // out. False when there is no surface, it cannot be locked or no picture was kept.
  bool Snapshot32(std::vector<uint8_t>* out, int* width, int* height);

  plat::WindowHandle window() const;
  int pixelFormatCode() const;
  std::string errorText() const;
  int width() const;
  int height() const;
  // The last picture drawn (none after a bind or a draw from the caller's planes).
  PictureRef lastPicture() const;
  // The size pictures are shown at now (the back surface's).
  int shownWidth() const;
  int shownHeight() const;

 private:
  struct Items {
    int iconFlag[3] = {0, 0, 0};  // items 1, 2, 64
    int iconPos[3][2] = {};
    char text[3][kOsdTextMax] = {};  // items 16, 32, 256
    int textPos[3][2] = {};
  };
  void releaseLocked();
  int fail(const char* text, int code);
  // The window's client area; false when there is no window or it reports none.
  static bool clientRect(plat::WindowHandle window, plat::SurfaceRect* client);
  // The size pictures are made at for a window of `client` (in: the picture's size): its client
  // area, unless there is none or it is at least as large as the picture.
  static void shownSize(const plat::SurfaceRect* client, int* width, int* height);
  int drawLocked(const plat::SurfaceRect* source, const plat::I420Planes& planes);
  // Draws the items (or the hook's record) with the blink counter at `blink`; false when the
  // hook's record took the items' place.
  bool drawOsd(OsdCanvas& canvas, int blink);

  OsdHookOwner* owner_;
  mutable std::mutex mutex_;  // surfaces, window, size, error text, blink counter
  plat::WindowHandle window_ = 0;
  std::string error_;
  int width_ = 0, height_ = 0;
  int blink_ = 0;
  int drawnBlink_ = 0;  // the blink counter the last picture was drawn with
  bool systemMemory_ = false;
  int pixelCode_ = 0;
  std::shared_ptr<plat::Display> display_;
  std::shared_ptr<plat::PrimarySurface> primary_;
  std::shared_ptr<plat::BackSurface> back_;
  plat::PictureScaler scaler_;
  PictureRef last_;  // the last picture drawn, for snapshots

  mutable std::mutex itemMutex_;  // the OSD items, set from the decode thread
  Items items_;
  bool hooked_ = false;         // the hook is set: its record replaces the items
  IpcOsdItems hookItems_{};     // the hook's record as it last filled it
};

}  // namespace corvane
