#include "camera_common/CameraPreview.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "Corvane.h"
#include "camera_common/IpcHandle.h"
#include "Hollin/Notices.h"
#include "PreviewTokens.h"
#include "camera_common/SessionRoutes.h"
#include "plat/bytes.h"
#include "plat/log.h"
#include "plat/window.h"

namespace hollin {

const char* const kConnectionsFullText =
    "Please stop the window preview video number of connections is full!";
const char* const kConnectionsFullCaption = "Tip";
const char* const kRecordFailedText =
    "Recording stopped: the file could not be written (is the disk full?)";

CameraPreview::CameraPreview(int devType, DevHandle session, long channel)
    : devType_(devType), session_(session), channel_(channel), token_(NextPreviewToken()) {
  // Recorders of the camera family hear of their streams too: without the hook a refused
  // stream would retry unseen and a recording the disk ended would still show as running.
  routes::Attach(session_, this);
}

CameraPreview::~CameraPreview() {
  // The stream's threads have ended once the close returns, so no event for it follows.
  if (DevHandle s = stream_.exchange(0)) IPC_StreamClose(AsIpc(s));
  routes::Detach(session_, this);
}

bool CameraPreview::SetPlayWnd(HWND wnd) {
  if (!wnd) return false;
  window_ = wnd;
  return true;
}

bool CameraPreview::SetStreamType(int type) {
  streamType_ = type;
  return true;
}

void CameraPreview::GetRealHandle(DevHandle* out) {
  if (out) *out = stream_.load();
}

bool CameraPreview::StartPreview() {
  if (!session_) return false;
  // Recorders number their channels from 1 for the caller and from 0 on the wire; cameras
  // choose main or sub stream.
  long number = streamType_;
  if (devType_ == DEV_TYPE_NVR) {
    number = channel_ - 1;
    std::printf("m_lChannel:%i\n\n", static_cast<int>(channel_));
  }
  if (number < 0 || number > 0xFFFF) return false;
  noticeShown_ = false;
  routes::SetOpening(session_, this);
  IPC_HANDLE s = IPC_StreamOpen(AsIpc(session_), static_cast<uint16_t>(number), window_, 1);
  const DevHandle h = reinterpret_cast<DevHandle>(s);
  stream_ = h;
  routes::StreamChanged(session_, this, h, h != 0);
  routes::SetOpening(session_, nullptr);
  previewing_ = h != 0;
  return previewing_;
}

bool CameraPreview::StopPreview() {
  const DevHandle s = stream_.load();
  if (!s) return false;
  const int r = IPC_StreamClose(AsIpc(s));
  stream_ = 0;
  routes::StreamChanged(session_, this, 0, false);
  previewing_ = false;
  soundOpen_ = false;
  recording_ = false;  // the stream's recording ends with it
  noticeShown_ = false;
  return r == 1;
}

bool CameraPreview::CapturePicture(const char* path, int) {
  if (!path) return false;
  return IPC_Snapshot(AsIpc(stream_.load()), path) == 1;
}

bool CameraPreview::StartRecord(int, const char* path) {
  if (!path) return false;
  if (IPC_StartRecord(AsIpc(stream_.load()), path) != 1) return false;
  recording_ = true;
  return true;
}

bool CameraPreview::StopRecord() {
  const DevHandle s = stream_.load();
  if (!s || !recording_) return false;
  // Whatever the stop reports (a file whose end could not be written, a recording the
  // library already ended), the stream records no more afterwards.
  recording_ = false;
  return IPC_StopRecord(AsIpc(s)) == 1;
}

bool CameraPreview::GetVideoEffect(int* brightness, int* contrast, int* saturation, int* hue) {
  if (devType_ != DEV_TYPE_IPC) return false;
  uint8_t rec[kIpcPictureParamSize] = {};
  if (IPC_GetPictureParam(AsIpc(session_), rec) != 1) return false;
  // The camera's scale is 0..255, the caller's 0..10.
  if (brightness) *brightness = static_cast<int>(plat::getLe32(rec + 4) / 25.5);
  if (contrast) *contrast = static_cast<int>(plat::getLe32(rec + 8) / 25.5);
  if (saturation) *saturation = static_cast<int>(plat::getLe32(rec + 12) / 25.5);
  if (hue) *hue = 0;
  return true;
}

bool CameraPreview::SetVideoEffect(int brightness, int contrast, int saturation, int) {
  const double step = devType_ == DEV_TYPE_NVR ? 25.0 : 25.5;
  uint8_t rec[kIpcPictureParamSize] = {};
  rec[0] = static_cast<uint8_t>(channel_);
  plat::putLe32(rec + 4, static_cast<uint32_t>(static_cast<int>(brightness * step)));
  plat::putLe32(rec + 8, static_cast<uint32_t>(static_cast<int>(contrast * step)));
  plat::putLe32(rec + 12, static_cast<uint32_t>(static_cast<int>(saturation * step)));
  return IPC_SetPictureParam(AsIpc(session_), rec) == 1;
}

bool CameraPreview::OpenSound() {
  if (IPC_StreamAudio(AsIpc(stream_.load()), 1) != 1) return false;
  soundOpen_ = true;
  return true;
}

bool CameraPreview::CloseSound() {
  const DevHandle s = stream_.load();
  if (devType_ == DEV_TYPE_IPC && (!s || !soundOpen_)) return false;
  if (soundOpen_) IPC_StreamAudio(AsIpc(s), 0);
  soundOpen_ = false;
  return true;
}

bool CameraPreview::SetVolume(int volume) {
  return IPC_SetVolume(AsIpc(stream_.load()), static_cast<uint32_t>(volume)) == 1;
}

int CameraPreview::StartSpeak(intptr_t, intptr_t, intptr_t, intptr_t) {
  IPC_StartSpeak(AsIpc(stream_.load()), 1);
  return 0;
}

void CameraPreview::OnSessionEvent(int event, DevHandle stream) {
  if (event == kIpcEvVideoConnected) {
    // The open has not returned yet when the video connects first.
    DevHandle none = 0;
    stream_.compare_exchange_strong(none, stream);
    return;
  }
  if (event == kIpcEvRecordFailed) {
    // The library closed the file and ended the recording; the UI side tells the user.
    if (recording_.exchange(false) &&
        !plat::postMessage(window_, WM_DEV_RECORD_FAILED, token_, stream))
      PLAT_LOGW("hollin", "%s, but the play window is gone", kRecordFailedText);
    return;
  }
  if (event != kIpcEvVideoFull) return;
  if (noticeShown_.exchange(true)) return;  // one notice per preview run
  // The receive thread must not stop its own stream: the UI side does it.
  if (!plat::postMessage(window_, WM_DEV_PREVIEW_FULL, token_, stream))
    PLAT_LOGW("hollin", "connections full, but the play window is gone");
}

bool CameraPreview::OnFullOnUi(DevHandle stream) {
  if (!stream || stream_.load() != stream) return false;
  StopPreview();
  return true;
}

}  // namespace hollin
