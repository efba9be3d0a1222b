#include "view/DlgVideoParamController.h"

#include <algorithm>
#include <mutex>

#include "shell/Language.h"
#include "shell/Singleton.h"
#include "shell/StringIds.h"
#include "shell/User.h"

// A write waiting on the device's queue; the UI thread may still replace its values.
struct CVideoParamController::Write {
  std::mutex mu;
  PanelTarget target;
  Values values;
  bool queued = true;  // not yet taken by the queue
};

namespace {

// Device queue: the channel's picture values (the defaults where it cannot tell them).
CVideoParamController::Values ReadValues(const PanelTarget& target) {
  CVideoParamController::Values v;
  IDevPreview* preview = target.Preview();
  int b = v.brightness, c = v.contrast, s = v.saturation, h = v.hue;
  if (preview && preview->GetVideoEffect(&b, &c, &s, &h)) {
    v.brightness = b;
    v.contrast = c;
    v.saturation = s;
    v.hue = h;
  }
  return v;
}

}  // namespace

CVideoParamController::CVideoParamController(ActiveChannel active, Notice notice)
    : active_(std::move(active)), notice_(std::move(notice)) {
  Show(Values{});
}

CVideoParamController::~CVideoParamController() = default;

void CVideoParamController::Bind(const PanelTarget& target) {
  const unsigned binding = ++bindings_;
  bound_ = target;
  loading_ = false;
  if (!target.valid()) {
    Show(Values{});
    return;
  }
  loading_ = devwork::Run<Values>(
      target.guid, [target] { return ReadValues(target); },
      [this, binding](Values values) {
        if (binding != bindings_) return;  // bound to another window since
        loading_ = false;
        Show(values);
        if (changed_) changed_();
      },
      owner_, Values{});
  if (!loading_) Show(Values{});
}

void CVideoParamController::Show(const Values& v) {
  device_[kBrightness] = v.brightness;
  device_[kContrast] = v.contrast;
  device_[kSaturation] = v.saturation;
  device_[kHue] = v.hue;
  for (int i = 0; i < kVolume; ++i) {
    pos_[i] = std::clamp(device_[i], kMinEffect, kMaxEffect);
    keepDevice_[i] = pos_[i] != device_[i];
  }
  pos_[kVolume] = std::clamp(v.volume, 0, kMaxVolume);
}

bool CVideoParamController::Allowed() {
  if (!SingletonAccess<CUser>::HasInstance() || CUser::GetInstance()->GetName().empty()) return false;
  if (CUser::GetInstance()->HasRight(kRightVideoAdjust)) return true;
  if (notice_) notice_(LoadResString(IDS_NO_RIGHT_VIDEO_ADJUST));
  return false;
}

bool CVideoParamController::OnSliderMoved(int slider, int value) {
  if (slider < 0 || slider >= kSliderCount || loading_) return false;
  // Without the right the slider keeps where the user put it; nothing is written.
  pos_[slider] = std::clamp(value, RangeOf(slider).minimum, RangeOf(slider).maximum);
  if (!Allowed()) return false;
  const PanelTarget active = active_ ? active_() : PanelTarget{};
  if (!(active == bound_)) {
    // The positions belong to another channel: show the active one's instead of writing them.
    Bind(active);
    return false;
  }
  if (slider < kVolume) keepDevice_[slider] = false;
  Apply();
  return true;
}

void CVideoParamController::RestoreDefaults() {
  if (loading_ || !Allowed()) return;
  for (int i = 0; i < kVolume; ++i) {
    pos_[i] = kDefaultEffect;
    keepDevice_[i] = false;
  }
  pos_[kVolume] = kDefaultVolume;
  Apply();
}

void CVideoParamController::Apply() {
  const PanelTarget target = active_ ? active_() : PanelTarget{};
  if (!target.valid()) return;
  auto value = [&](int i) { return keepDevice_[i] ? device_[i] : pos_[i]; };
  Values v;
  v.brightness = value(kBrightness);
  v.contrast = value(kContrast);
  v.saturation = value(kSaturation);
  v.hue = value(kHue);
  v.volume = pos_[kVolume];
  // The request before this one has not reached the device yet: it goes with these values.
  if (write_) {
    std::lock_guard<std::mutex> lock(write_->mu);
    if (write_->queued && write_->target == target) {
      write_->values = v;
      return;
    }
  }
  auto write = std::make_shared<Write>();
  write->target = target;
  write->values = v;
  write_ = write;
  const bool queued = devwork::Run(target.guid, [write] {
    Values sent;
    {
      std::lock_guard<std::mutex> lock(write->mu);
      write->queued = false;
      sent = write->values;
    }
    // Nothing happens when the channel has no preview by now.
    if (IDevPreview* preview = write->target.Preview()) {
      preview->SetVideoEffect(sent.brightness, sent.contrast, sent.saturation, sent.hue);
      preview->SetVolume(sent.volume);
    }
  });
  // Its device left the list: no later write waits on this one.
  if (!queued) write_.reset();
}
