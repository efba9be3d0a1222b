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
  // On the device's queue: the device is looked up without ever making the list.
  CDevice* device = CDeviceManager::FindListed(guid_);
  CChannel* channel = device ? device->GetOrAddChannel(channel_) : nullptr;
  IDevPreview* p = channel ? channel->GetPreview(1) : nullptr;
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

// Stopping never fetches: an item whose start could not make its preview has nothing to
// stop, and a fetch would log in to the device again.
bool CPreviewItem::Stop() {
  IDevPreview* p = GetDevPreview();
  if (p) p->StopPreview();
  plat::postMessage(playWnd_, WM_PREVIEW_STOPPED, 0, 0);
  return p != nullptr;
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

bool CPreviewItem::StopRecord() {
  IDevPreview* p = GetDevPreview();
  return p && p->StopRecord();
}
bool CPreviewItem::OpenSound() { return GetPreview() && GetDevPreview()->OpenSound(); }
bool CPreviewItem::CloseSound() {
  IDevPreview* p = GetDevPreview();
  return p && p->CloseSound();
}
bool CPreviewItem::IsPreviewing() const {
  IDevPreview* p = GetDevPreview();
  return p && p->IsPreviewing();
}
bool CPreviewItem::IsSoundOpen() const {
  IDevPreview* p = GetDevPreview();
  return p && p->IsSoundOpen();
}
bool CPreviewItem::IsRecording() const {
  IDevPreview* p = GetDevPreview();
  return p && p->IsRecording();
}

void CPreviewItem::StopAll() {
  CloseSound();
  StopRecord();
  Stop();
}

bool CPreviewItem::SameSlot(const CPreviewItem& other) const {
  return window_ == other.window_ && guid_ == other.guid_ && channel_ == other.channel_;
}
