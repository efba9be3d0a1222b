#pragma once
// The video parameter panel without its widgets: brightness, saturation, contrast and hue of
// the active play window's preview and its volume.
//
// The panel is bound to a channel by name (device GUID and number), never to a device-layer
// object. Binding reads the picture values on the device's queue (devices/DeviceWork.h): the
// panel is Loading until they arrive, and values read for a binding that was replaced since
// are dropped. The four picture sliders run from 1 to 10 and the volume slider, set to 0x4000
// at every binding, from 0 to 0xFFFF. A value the device reported that its slider cannot show
// is sent back as the device had it until the user moves that slider.
//
// Writes go to the active window's channel; when that is no longer the bound channel the
// panel binds it first and writes nothing it read from another channel. Every move sends a
// set request; while one is on its way to the device the one waiting behind it takes the
// newer values instead of queueing another, so a slow device ends at the last values the
// user chose and is not left working off a backlog.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "devices/DeviceWork.h"
#include "view/PanelTarget.h"

class CVideoParamController {
 public:
  enum Slider { kBrightness, kSaturation, kContrast, kHue, kVolume, kSliderCount };
  static constexpr int kFirstSliderId = 1068;  // 1068..1072 in Slider order
  static constexpr int kRestoreId = 1073;
  static constexpr int kDefaultEffect = 5;
  static constexpr int kMinEffect = 1;
  static constexpr int kMaxEffect = 10;
  static constexpr int kDefaultVolume = 0x4000;
  static constexpr int kMaxVolume = 0xFFFF;
  static constexpr int kRightVideoAdjust = 2;

  struct Range {
    int minimum = 1;
    int maximum = 10;
  };
  // The channel of the active window (invalid when it shows nothing).
  using ActiveChannel = std::function<PanelTarget()>;
  using Notice = std::function<void(const std::u16string&)>;

  CVideoParamController(ActiveChannel active, Notice notice);
  ~CVideoParamController();

  // Called on the UI thread when values read at a binding arrive.
  void SetOnChanged(std::function<void()> changed) { changed_ = std::move(changed); }
  // Loads the panel from the channel's preview: at once with the defaults for an invalid
  // target, else Loading until the values come from the device's queue.
  void Bind(const PanelTarget& target);
  const PanelTarget& Bound() const { return bound_; }
  bool Loading() const { return loading_; }
  int Position(int slider) const { return pos_[slider]; }
  static Range RangeOf(int slider) {
    return slider == kVolume ? Range{0, kMaxVolume} : Range{kMinEffect, kMaxEffect};
  }

  // A slider moved to `value`. False when the move was refused (no right, still loading, or
  // the panel was rebound to the active channel and the positions changed under the user).
  bool OnSliderMoved(int slider, int value);
  void RestoreDefaults();

  // What a binding reads and a write sends.
  struct Values {
    int brightness = kDefaultEffect, contrast = kDefaultEffect, saturation = kDefaultEffect,
        hue = kDefaultEffect, volume = kDefaultVolume;
  };
  struct Write;

 private:
  // The logged-in user may adjust video; tells the user when not. No user: silently no.
  bool Allowed();
  void Apply();
  void Show(const Values& values);

  ActiveChannel active_;
  Notice notice_;
  std::function<void()> changed_;
  PanelTarget bound_;
  bool loading_ = false;
  unsigned bindings_ = 0;  // a read for an older binding is dropped
  std::array<int, kSliderCount> pos_{};
  std::array<int, kVolume> device_{};     // picture values as the device reported them
  std::array<bool, kVolume> keepDevice_{};  // reported outside the slider, untouched since
  std::shared_ptr<Write> write_;  // the last write queued
  devwork::Owner owner_;
};
