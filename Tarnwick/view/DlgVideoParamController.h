#pragma once
// The video parameter panel without its widgets: brightness, saturation, contrast and hue of
// the active play window's preview and its volume.
//
// The sliders take the scale the preview's family reports. A value the device reported that
// its slider cannot show is sent back as the device had it until the user moves that slider.
// Binding reads the volume the preview plays at. Writes go to the active window's channel;
// when that is no longer the bound preview the panel binds it first and writes nothing it
// read from another channel. A drag sends at most one write per kSendEveryMs; the last value
// goes out on release.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "Hollin.h"

class CVideoParamController {
 public:
  enum Slider { kBrightness, kSaturation, kContrast, kHue, kVolume, kSliderCount };
  static constexpr int kFirstSliderId = 1068;  // 1068..1072 in Slider order
  static constexpr int kRestoreId = 1073;
  static constexpr int kDefaultEffect = 5;
  static constexpr int kDefaultVolume = 0x4000;
  static constexpr int kMaxVolume = 0xFFFF;
  static constexpr int kRightVideoAdjust = 2;
  static constexpr int kSendEveryMs = 100;
  static constexpr int IDS_NO_VIDEO_RIGHT = 8608;

  struct Range {
    int minimum = 1;
    int maximum = 10;
  };
  // The existing preview of the active window's channel (null when none).
  using ActivePreview = std::function<IDevPreview*()>;
  using Notice = std::function<void(const std::u16string&)>;

  CVideoParamController(ActivePreview active, Notice notice);

  // Loads the panel from the preview; null resets it to the defaults.
  void Bind(IDevPreview* preview);
  IDevPreview* Bound() const { return bound_; }
  int Position(int slider) const { return pos_[slider]; }
  Range RangeOf(int slider) const { return range_[slider]; }
  bool HueShown() const { return hasHue_; }

  // A slider moved to `value` (nowMs: monotonic milliseconds); `released` ends a drag.
  // False when the move was refused (no right, or the panel was rebound to the active
  // channel and the positions changed under the user).
  bool OnSliderMoved(int slider, int value, bool released, int64_t nowMs);
  // Sends a drag's held value when its time has come (the panel's timer calls it).
  void Flush(int64_t nowMs);
  bool HasPending() const { return pending_; }
  void RestoreDefaults();

 private:
  // The logged-in user may adjust video; tells the user when not. No user: silently no.
  bool Allowed();
  void Apply(int64_t nowMs);

  ActivePreview active_;
  Notice notice_;
  IDevPreview* bound_ = nullptr;
  std::array<int, kSliderCount> pos_{};
  std::array<Range, kSliderCount> range_{};
  std::array<int, kVolume> device_{};     // picture values as the device reported them
  std::array<bool, kVolume> keepDevice_{};  // reported outside the slider, untouched since
  bool hasHue_ = true;
  bool pending_ = false;
  int64_t lastSent_ = 0;
  bool sentOnce_ = false;
};
