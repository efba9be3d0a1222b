#include <cstring>
#include <stdexcept>

#include "Corvane.h"
#include "nvr/RemoteFiles.h"

namespace hollin {

namespace {
constexpr size_t kPlaybackNameOffset = 8;
constexpr size_t kPlaybackNameMax = 128;  // the whole field; the request is sent whole
constexpr uint16_t kFastCodes[] = {0x50A3, 0x50A4, 0x50A5};
constexpr uint16_t kSlowCodes[] = {0x50A6, 0x50A7, 0x50A8, 0x50A9};
}  // namespace

CDevNVRRemotePlayback::CDevNVRRemotePlayback(IDevUserLogin* login, HWND window,
                                             const char* name) {
  Init(login, window);
  if (name)
    std::memcpy(request_.bytes + kPlaybackNameOffset, name, strnlen(name, kPlaybackNameMax));
}

CDevNVRRemotePlayback::CDevNVRRemotePlayback(IDevUserLogin* login, HWND window, long, TIME*,
                                             TIME*) {
  Init(login, window);
}

void CDevNVRRemotePlayback::Init(IDevUserLogin* login, HWND window) {
  if (!login) throw std::invalid_argument("Invalid device");
  const DevHandle session = login->GetLoginID(1);
  if (session < 0) throw std::invalid_argument("Invalid Login id");
  session_ = session;
  window_ = window;
}

CDevNVRRemotePlayback::~CDevNVRRemotePlayback() { Stop(); }

int CDevNVRRemotePlayback::Start(int) {
  if (!session_) return 0;
  playback_ = IPC_DvrPlayBackOpen(reinterpret_cast<IPC_HANDLE>(session_), window_, &request_);
  return playback_ ? 1 : 0;
}

int CDevNVRRemotePlayback::Stop() {
  if (!playback_) return 0;
  const int r = IPC_DvrPlayBackClose(playback_);
  playback_ = nullptr;
  return r;
}

int CDevNVRRemotePlayback::Speed(uint16_t code) {
  return playback_ ? IPC_DvrPlayBackSpeedCtrl(playback_, code) : 0;
}

int CDevNVRRemotePlayback::Pause() { return Speed(kIpcPlayPause); }
int CDevNVRRemotePlayback::Resume() { return Speed(kIpcPlayNormal); }

int CDevNVRRemotePlayback::Normal() {
  fastSteps_ = 0;
  slowSteps_ = 0;
  return Speed(kIpcPlayNormal);
}

// Three faster and four slower speeds; a call beyond the last sends nothing.
int CDevNVRRemotePlayback::Fast() {
  if (fastSteps_ >= static_cast<int>(std::size(kFastCodes))) return 0;
  return Speed(kFastCodes[fastSteps_++]);
}

int CDevNVRRemotePlayback::Slow() {
  if (slowSteps_ >= static_cast<int>(std::size(kSlowCodes))) return 0;
  return Speed(kSlowCodes[slowSteps_++]);
}

// The stream has no position the recorder reports; its end is the one the page must see,
// so that it stops rather than show a playback that no longer runs.
float CDevNVRRemotePlayback::GetPos() {
  return playback_ && IPC_DvrPlayBackEnded(playback_) == 1 ? 100.0f : 0.0f;
}

int CDevNVRRemotePlayback::AudioOn() {
  return playback_ ? IPC_DvrPlayBackStartAudio(playback_, 1) : 0;
}
int CDevNVRRemotePlayback::AudioOff() {
  return playback_ ? IPC_DvrPlayBackStartAudio(playback_, 0) : 0;
}

}  // namespace hollin
