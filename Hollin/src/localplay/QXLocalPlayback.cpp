#include "localplay/QXLocalPlayback.h"

#include <vector>

#include "StreamPlay.h"
#include "localplay/LocalPlayback.h"

namespace {
// The player library hands out captures of at most 720 x 576 pixels of 24-bit colour.
constexpr uint32_t kCaptureWidth = 720;
constexpr uint32_t kCaptureHeight = 576;
constexpr size_t kCaptureBytes = size_t{kCaptureWidth} * kCaptureHeight * 3;
}  // namespace

IDevLocalPlayback* MakeQXLocalPlayback() { return new CDevQXLocalPlayback(); }

int CDevQXLocalPlayback::Open(const char* file, HWND) {
  SPlay_GetPort2(&port_);
  if (port_ == -1) return 0;
  return SPlay_OpenFile(port_, file);
}

int CDevQXLocalPlayback::Close() {
  if (port_ >= 0) {
    SPlay_CloseFile(port_);
    SPlay_FreePort(port_);
    port_ = -1;
  }
  return 0;
}

int CDevQXLocalPlayback::Play(HWND window) {
  if (port_ == -1) return 0;
  state_ = 1;
  SPlay_SetStreamOpenMode(port_, SPLAY_STREAME_FILE);
  return SPlay_Play(port_, window);
}

// The port stays ours until Close: giving it back here would let Close free a port that
// another player may have been handed meanwhile.
int CDevQXLocalPlayback::Stop() {
  if (port_ == -1) return 0;
  state_ = -1;
  return SPlay_Stop(port_);
}

int CDevQXLocalPlayback::Pause(int pause) {
  if (port_ == -1) return 0;
  state_ = 0;
  return SPlay_Pause(port_, static_cast<uint32_t>(pause));
}

int CDevQXLocalPlayback::Fast() {
  if (port_ == -1) return 0;
  state_ = 2;
  return SPlay_Fast(port_);
}

int CDevQXLocalPlayback::Slow() { return port_ == -1 ? 0 : SPlay_Slow(port_); }
int CDevQXLocalPlayback::Step() { return port_ == -1 ? 0 : SPlay_OneByOne(port_); }
int CDevQXLocalPlayback::StepBack() { return port_ == -1 ? 0 : SPlay_OneByOneBack(port_); }

int CDevQXLocalPlayback::CapturePicture(const char* path, int) {
  if (port_ == -1 || !path) return 0;
  std::vector<uint8_t> buffer(kCaptureBytes);
  uint32_t width = 0, height = 0;
  if (!SPlay_CaptureImage(port_, buffer.data(), &width, &height)) return 0;
  return SPlay_ConvertToBmpFile(buffer.data(), 0, width, height, 0, path);
}

int CDevQXLocalPlayback::SetPlayPos(float fraction) {
  return port_ == -1 ? 0 : SPlay_SetPlayPos(port_, fraction);
}

float CDevQXLocalPlayback::GetPlayPos() {
  if (port_ == -1) return 0;
  float f = 0;
  SPlay_GetPlayPos(port_, &f);
  return f;
}

int CDevQXLocalPlayback::SetVolume(int volume) {
  return port_ == -1 ? 0 : SPlay_SetVolume(port_, static_cast<uint16_t>(volume));
}

int CDevQXLocalPlayback::StopSound() { return port_ == -1 ? 0 : SPlay_StopSound(); }
int CDevQXLocalPlayback::PlaySound() { return port_ == -1 ? 0 : SPlay_PlaySound(port_); }

int CDevQXLocalPlayback::OpenStream(const uint8_t* header, uint32_t headerSize,
                                    uint32_t bufferSize) {
  return port_ == -1 ? 0 : SPlay_OpenStream(port_, header, headerSize, bufferSize);
}

int CDevQXLocalPlayback::InputData(const uint8_t* data, uint32_t length) {
  return port_ == -1 ? 0 : SPlay_InputData(port_, data, length);
}

int CDevQXLocalPlayback::CloseStream() { return port_ == -1 ? 0 : SPlay_CloseStream(port_); }
