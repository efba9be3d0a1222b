#pragma once
// Shows I420 pictures in one window through the display surfaces: a back surface of the
// picture's size in the display's RGB format, the OSD drawn into it, stretched onto the
// window's client area.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "plat/surface.h"
#include "video/osd_hook_owner.h"

namespace corvane {

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
  // Planes at strides width and width/2 of the bound size. 0 or a negative code.
  int BlitFrame(const plat::SurfaceRect* source, const uint8_t* y, const uint8_t* u,
                const uint8_t* v);
  int SetOsdItem(int x, int y, const char* text, int flag, int itemId);
  // Asks the owner's OSD hook for the next pictures' record, with no lock of the renderer
  // (or of the player that calls it) held; BlitFrame draws what it last gave.
  void PrepareOsd(int width, int height);

  // The back surface as 32-bit pixels (B, G, R, 0), bottom row first, taken under the lock
  // that keeps drawing out. False when there is no surface or it cannot be locked.
  bool CopySurface32(std::vector<uint8_t>* out, int* width, int* height);

  plat::WindowHandle window() const;
  int pixelFormatCode() const;
  std::string errorText() const;
  int width() const;
  int height() const;

 private:
  struct Items {
    int iconFlag[3] = {0, 0, 0};  // items 1, 2, 64
    int iconPos[3][2] = {};
    char text[3][kOsdTextMax] = {};  // items 16, 32, 256
    int textPos[3][2] = {};
  };
  void releaseLocked();
  int fail(const char* text, int code);
  void drawOsd(const plat::LockedSurface& ls);

  OsdHookOwner* owner_;
  mutable std::mutex mutex_;  // surfaces, window, size, error text, blink counter
  plat::WindowHandle window_ = 0;
  std::string error_;
  int width_ = 0, height_ = 0;
  int blink_ = 0;
  int pixelCode_ = 0;
  std::shared_ptr<plat::Display> display_;
  std::shared_ptr<plat::PrimarySurface> primary_;
  std::shared_ptr<plat::BackSurface> back_;

  mutable std::mutex itemMutex_;  // the OSD items, set from the decode thread
  Items items_;
  bool hooked_ = false;         // the hook is set: its record replaces the items
  IpcOsdItems hookItems_{};     // the hook's record as it last filled it
};

}  // namespace corvane
