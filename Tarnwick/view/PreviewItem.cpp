#include "view/PreviewItem.h"

#include "plat/text.h"

#include "devices/DeviceManager.h"
#include "plat/window.h"
#include "view/ViewMessages.h"

CPreviewItem::CPreviewItem(int window, HWND playWnd, IDevPreview* preview, int channel,
                           int streamType, std::u16string deviceGuid)
    : window_(window),
      guid_(std::move(deviceGuid)),
      channel_(channel),
      streamType_(streamType),
      preview_(preview),
      playWnd_(playWnd) {}

CPreviewItem::CPreviewItem(int window, int channel, int streamType, std::u16string deviceGuid)
    : CPreviewItem(window, 0, nullptr, channel, streamType, std::move(deviceGuid)) {}

bool CPreviewItem::GetPreview() {
  if (GetDevPreview()) return true;
  IDevPreview* p = CDeviceManager::GetInstance()->GetChannelPreviewByGuid(guid_, channel_, 1);
  if (!p) return false;
  preview_.store(p, std::memory_order_release);
  return true;
}

bool CPreviewItem::Start() {
  if (!GetPreview()) return false;
  IDevPreview* p = GetDevPreview();
  p->SetPlayWnd(playWnd_);
  p->SetStreamType(streamType_);
  return p->StartPreview();
}

bool CPreviewItem::Stop() {
  if (!GetPreview()) return false;
  GetDevPreview()->StopPreview();
  plat::postMessage(playWnd_, WM_PREVIEW_STOPPED, 0, 0);
  return true;
}

bool CPreviewItem::StartRecord(int mode, const std::u16string& path) {
  if (!GetPreview()) return false;
  // File names reach the file system in its own encoding, not the narrow display text's.
  return GetDevPreview()->StartRecord(mode, plat::utf16ToUtf8(path).c_str());
}

bool CPreviewItem::CapturePicture(const std::u16string& path, int mode) {
  if (!GetPreview()) return false;
  return GetDevPreview()->CapturePicture(plat::utf16ToUtf8(path).c_str(), mode);
}

bool CPreviewItem::StopRecord() { return GetPreview() && GetDevPreview()->StopRecord(); }
bool CPreviewItem::OpenSound() { return GetPreview() && GetDevPreview()->OpenSound(); }
bool CPreviewItem::CloseSound() { return GetPreview() && GetDevPreview()->CloseSound(); }
bool CPreviewItem::IsPreviewing() { return GetPreview() && GetDevPreview()->IsPreviewing(); }
bool CPreviewItem::IsSoundOpen() { return GetPreview() && GetDevPreview()->IsSoundOpen(); }
bool CPreviewItem::IsRecording() { return GetPreview() && GetDevPreview()->IsRecording(); }

void CPreviewItem::StopAll() {
  CloseSound();
  StopRecord();
  Stop();
}

bool CPreviewItem::SameSlot(const CPreviewItem& other) const {
  return window_ == other.window_ && guid_ == other.guid_ && channel_ == other.channel_;
}
