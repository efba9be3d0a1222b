#include "qx/QXCtlPtz.h"

#include "RecNet.h"

int32_t CDevQXCtlPtz::RealHandle() const {
  DevHandle h = -1;
  if (preview_) preview_->GetRealHandle(&h);
  return static_cast<int32_t>(h);
}

int CDevQXCtlPtz::PTZControl(int command, int stop) {
  const int32_t h = RealHandle();
  if (h == -1) return 0;
  return RecNet_PTZControl(h, static_cast<uint32_t>(command), static_cast<uint32_t>(stop));
}

int CDevQXCtlPtz::PTZCruise(int command, int route, int point, int value) {
  const int32_t h = RealHandle();
  if (h == -1) return 0;
  return RecNet_PTZCruise(h, static_cast<uint32_t>(command),
                           static_cast<uint8_t>(route), static_cast<uint8_t>(point),
                           static_cast<uint16_t>(value));
}

int CDevQXCtlPtz::PTZPreset(int command, int preset) {
  const int32_t h = RealHandle();
  if (h == -1) return 0;
  return RecNet_PTZPreset(h, static_cast<uint32_t>(command),
                           static_cast<uint32_t>(preset));
}

int CDevQXCtlPtz::PTZTrack(int command) {
  const int32_t h = RealHandle();
  if (h == -1) return 0;
  return RecNet_PTZTrack(h, static_cast<uint32_t>(command));
}

int CDevQXCtlPtz::GetPTZCruise(int route, int* points, int channel) {
  if (loginId_ == -1 || !points) return 0;
  uint8_t answer[SDK_PTZCRUISE_SIZE] = {};
  if (RecNet_GetPTZCruise(loginId_, channel, route, answer) != 1) return 0;
  // 32 points of preset, dwell and speed.
  for (int i = 0; i < 32; ++i)
    for (int k = 0; k < 3; ++k) points[i * 3 + k] = answer[i * 4 + k];
  return 1;
}
