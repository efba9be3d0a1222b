#include "view/DlgVideoParamController.h"

#include <algorithm>

#include "shell/Language.h"
#include "shell/Singleton.h"
#include "shell/User.h"

CVideoParamController::CVideoParamController(ActivePreview active, Notice notice)
    : active_(std::move(active)), notice_(std::move(notice)) {
  Bind(nullptr);
}

void CVideoParamController::Bind(IDevPreview* preview) {
  bound_ = preview;
  pending_ = false;
  DevVideoEffectCaps caps;
  if (preview) DevPreviewGetEffectCaps(preview, &caps);
  hasHue_ = caps.hasHue != 0;
  for (int i = 0; i < kVolume; ++i) {
    range_[i] = {caps.minimum, caps.maximum};
    device_[i] = kDefaultEffect;
  }
  range_[kVolume] = {0, kMaxVolume};
  int b = kDefaultEffect, c = kDefaultEffect, s = kDefaultEffect, h = kDefaultEffect;
  if (preview && preview->GetVideoEffect(&b, &c, &s, &h)) {
    device_[kBrightness] = b;
    device_[kContrast] = c;
    device_[kSaturation] = s;
    device_[kHue] = h;
  }
  for (int i = 0; i < kVolume; ++i) {
    pos_[i] = std::clamp(device_[i], range_[i].minimum, range_[i].maximum);
    keepDevice_[i] = pos_[i] != device_[i];
  }
  int volume = kDefaultVolume;
  if (preview) DevPreviewGetVolume(preview, &volume);
  pos_[kVolume] = std::clamp(volume, 0, kMaxVolume);
}

bool CVideoParamController::Allowed() {
  if (!SingletonAccess<CUser>::HasInstance() || CUser::GetInstance()->GetName().empty()) return false;
  if (CUser::GetInstance()->HasRight(kRightVideoAdjust)) return true;
  if (notice_) notice_(LoadResString(IDS_NO_VIDEO_RIGHT));
  return false;
}

bool CVideoParamController::OnSliderMoved(int slider, int value, bool released, int64_t nowMs) {
  if (slider < 0 || slider >= kSliderCount) return false;
  // Without the right the slider keeps where the user put it; nothing is written.
  pos_[slider] = std::clamp(value, range_[slider].minimum, range_[slider].maximum);
  if (!Allowed()) return false;
  IDevPreview* active = active_ ? active_() : nullptr;
  if (active != bound_) {
    // The positions belong to another channel: show the active one's instead of writing them.
    Bind(active);
    return false;
  }
  if (slider < kVolume) keepDevice_[slider] = false;
  pending_ = true;
  if (released) {
    Apply(nowMs);
  } else {
    Flush(nowMs);
  }
  return true;
}

void CVideoParamController::Flush(int64_t nowMs) {
  if (!pending_) return;
  if (sentOnce_ && nowMs - lastSent_ < kSendEveryMs) return;
  Apply(nowMs);
}

void CVideoParamController::RestoreDefaults() {
  if (!Allowed()) return;
  for (int i = 0; i < kVolume; ++i) {
    pos_[i] = std::clamp(kDefaultEffect, range_[i].minimum, range_[i].maximum);
    keepDevice_[i] = false;
  }
  pos_[kVolume] = kDefaultVolume;
  pending_ = true;
  Apply(lastSent_ + kSendEveryMs);
}

void CVideoParamController::Apply(int64_t nowMs) {
  pending_ = false;
  sentOnce_ = true;
  lastSent_ = nowMs;
  IDevPreview* preview = active_ ? active_() : nullptr;
  if (!preview) return;
  auto value = [&](int i) { return keepDevice_[i] ? device_[i] : pos_[i]; };
  preview->SetVideoEffect(value(kBrightness), value(kContrast), value(kSaturation), value(kHue));
  preview->SetVolume(pos_[kVolume]);
}
