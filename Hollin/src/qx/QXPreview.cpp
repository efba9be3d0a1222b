#include "qx/QXPreview.h"

#include <algorithm>
#include <vector>

#include "Hollin/Notices.h"
#include "PreviewTokens.h"
#include "plat/log.h"
#include "plat/window.h"

namespace {

// Every preview that exists, for the SDK's thread to find one by live handle. A preview
// leaves before it goes, under the lock, so a report never reaches a freed one; the lock is
// never held across an SDK call.
std::mutex g_previewsMutex;
std::vector<CDevQXPreview*> g_previews;

}  // namespace

CDevQXPreview::CDevQXPreview(DevHandle loginId, long channel)
    : loginId_(static_cast<int32_t>(loginId)),
      channel_(static_cast<int32_t>(channel)),
      token_(hollin::NextPreviewToken()) {
  std::lock_guard<std::mutex> lock(g_previewsMutex);
  g_previews.push_back(this);
}

CDevQXPreview::~CDevQXPreview() {
  {
    std::lock_guard<std::mutex> lock(g_previewsMutex);
    g_previews.erase(std::find(g_previews.begin(), g_previews.end(), this));
  }
  if (recording_ && realHandle_ != -1) StopRecord();
  if (previewing_) StopPreview();
}

void CDevQXPreview::OnSaveStopped(int32_t realHandle) {
  if (realHandle == -1) return;
  std::lock_guard<std::mutex> lock(g_previewsMutex);
  for (CDevQXPreview* p : g_previews) {
    if (p->realHandle_.load() != realHandle) continue;
    // The SDK has cut the file at its last whole packet; the UI side tells the user.
    if (p->recording_.exchange(false) &&
        !plat::postMessage(p->window_, WM_DEV_RECORD_FAILED, p->token_, realHandle))
      PLAT_LOGW("hollin", "saving stopped on live handle %d, but the play window is gone",
                realHandle);
    return;
  }
}

bool CDevQXPreview::PlayWndOf(uintptr_t token, HWND* out) {
  std::lock_guard<std::mutex> lock(g_previewsMutex);
  for (CDevQXPreview* p : g_previews) {
    if (p->token_ != token) continue;
    if (out) *out = p->window_;
    return true;
  }
  return false;
}

bool CDevQXPreview::SetPlayWnd(HWND wnd) {
  if (!wnd) return false;
  window_ = wnd;
  return true;
}

bool CDevQXPreview::StartPreview() {
  SdkClientInfo client{};
  client.channel = channel_;
  client.linkMode = streamType_ == 1 ? SDK_LINK_SUBSTREAM : 0;
  client.window = window_;
  client.multicastIP = nullptr;
  const int32_t h = RecNet_RealPlay(loginId_, &client, nullptr, nullptr, 1);
  if (h == -1) return false;
  realHandle_ = h;
  previewing_ = true;
  return true;
}

bool CDevQXPreview::StopPreview() {
  if (previewing_) {
    // Saving and sound end with the stream: their flags must not outlive it.
    if (recording_) StopRecord();
    if (soundOpen_) CloseSound();
    RecNet_StopRealPlay(realHandle_);
    realHandle_ = -1;
    previewing_ = false;
  }
  return true;
}

bool CDevQXPreview::CapturePicture(const char* path, int) {
  if (realHandle_ == -1) return false;
  // A picture that was not written must not be reported as saved.
  return RecNet_CapturePicture(realHandle_, path) == 1;
}

bool CDevQXPreview::StartRecord(int mode, const char* path) {
  if (realHandle_ == -1 || !path) return false;
  // Set first: the disk may refuse the first packet before the call has returned. A refused
  // second save leaves the first one's flag as it was.
  const bool was = recording_.exchange(true);
  if (RecNet_SaveRealData(realHandle_, static_cast<uint32_t>(mode), path) == 1) return true;
  recording_ = was;
  return false;
}

bool CDevQXPreview::StopRecord() {
  if (realHandle_ == -1) return false;
  // Saving that the SDK already stopped (a refused write) has nothing left to stop.
  if (recording_.exchange(false)) RecNet_StopSaveRealData(realHandle_);
  return true;
}

bool CDevQXPreview::GetVideoEffect(int* brightness, int* contrast, int* saturation, int* hue) {
  if (realHandle_ == -1) return false;
  uint32_t b = 0, c = 0, s = 0, h = 0;
  if (RecNet_ClientGetVideoEffect(realHandle_, &b, &c, &s, &h) != 1) return false;
  if (brightness) *brightness = static_cast<int>(b);
  if (contrast) *contrast = static_cast<int>(c);
  if (saturation) *saturation = static_cast<int>(s);
  if (hue) *hue = static_cast<int>(h);
  return true;
}

bool CDevQXPreview::SetVideoEffect(int brightness, int contrast, int saturation, int hue) {
  if (realHandle_ == -1) return false;
  return RecNet_ClientSetVideoEffect(realHandle_, static_cast<uint32_t>(brightness),
                                      static_cast<uint32_t>(contrast),
                                      static_cast<uint32_t>(saturation),
                                      static_cast<uint32_t>(hue)) == 1;
}

void CDevQXPreview::OnDraw(int32_t realHandle, intptr_t dc, void* user, int32_t, int32_t,
                           int32_t, int32_t) {
  auto* self = static_cast<CDevQXPreview*>(user);
  DrawFunCallback draw;
  void* drawUser;
  {
    std::lock_guard<std::mutex> lock(self->receivers_);
    draw = self->draw_;
    drawUser = self->drawUser_;
  }
  if (draw) draw(realHandle, reinterpret_cast<void*>(dc), drawUser);
}

void CDevQXPreview::OnData(int32_t realHandle, uint32_t dataType, uint8_t* data, uint32_t size,
                           void* user) {
  auto* self = static_cast<CDevQXPreview*>(user);
  RealDataCallback receiver;
  void* receiverUser;
  {
    std::lock_guard<std::mutex> lock(self->receivers_);
    receiver = self->data_;
    receiverUser = self->dataUser_;
  }
  if (receiver) receiver(realHandle, dataType, data, size, receiverUser);
}

bool CDevQXPreview::RegisterDrawFun(DrawFunCallback callback, void* user) {
  {
    std::lock_guard<std::mutex> lock(receivers_);
    draw_ = callback;
    drawUser_ = user;
  }
  RecNet_RigisterDrawFun(realHandle_, callback ? &OnDraw : nullptr, callback ? this : nullptr);
  return true;
}

bool CDevQXPreview::SetRealDataCallBack(RealDataCallback callback, void* user) {
  {
    std::lock_guard<std::mutex> lock(receivers_);
    data_ = callback;
    dataUser_ = user;
  }
  if (realHandle_ == -1) return false;
  RecNet_SetRealDataCallBack(realHandle_, callback ? &OnData : nullptr, callback ? this : nullptr);
  return true;
}

bool CDevQXPreview::OpenSound() {
  if (realHandle_ == -1) return false;
  RecNet_OpenSound(realHandle_);
  soundOpen_ = true;
  return true;
}

bool CDevQXPreview::CloseSound() {
  if (soundOpen_) RecNet_CloseSound();
  soundOpen_ = false;
  return true;
}

bool CDevQXPreview::SetVolume(int volume) {
  if (realHandle_ == -1) return false;
  RecNet_Volume(realHandle_, static_cast<uint16_t>(volume));
  return true;
}

int CDevQXPreview::StartVoiceCom(intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4) {
  if (realHandle_ == -1) return 0;
  return RecNet_StartVoiceCom(realHandle_, a1, a2, a3, a4);
}
