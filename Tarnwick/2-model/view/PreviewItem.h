#pragma once
// One open live preview: which device channel plays in which play window, with which stream.
// The IDevPreview belongs to the channel object; the item only points at it and fetches it
// from the device list when it has none. Items are shared-owned (PreviewItemPtr), so a page
// or worker that found one keeps it alive while the manager unlinks it.
//
// Threads: the calls that reach the device (GetPreview, Start, Stop, the recording, snapshot
// and sound calls, StopAll) run on the device's queue (devices/DeviceWork.h). The state
// questions (IsPreviewing, IsRecording, IsSoundOpen) never fetch and may be asked anywhere.
#include <atomic>
#include <memory>
#include <string>

#include "Hollin.h"

class CPreviewItem {
 public:
  CPreviewItem(int window, HWND playWnd, IDevPreview* preview, int channel, int streamType,
               std::u16string deviceGuid);
  // An item as stored in preivew.db: no preview and no play-window handle yet.
  CPreviewItem(int window, int channel, int streamType, std::u16string deviceGuid);
  CPreviewItem(const CPreviewItem&) = delete;
  CPreviewItem& operator=(const CPreviewItem&) = delete;

  int GetWindow() const { return window_; }
  HWND GetPlayWnd() const { return playWnd_; }
  int GetChannel() const { return channel_; }
  int GetStreamType() const { return streamType_; }
  const std::u16string& GetDeviceGuid() const { return guid_; }

  // True when a preview is held, fetching it (which may log the device in) when missing.
  bool GetPreview();
  // The held pointer, never fetching.
  IDevPreview* GetDevPreview() const { return preview_.load(std::memory_order_acquire); }

  bool Start();
  // Stops the preview and posts WM_PREVIEW_STOPPED to the play window.
  bool Stop();
  bool StartRecord(int mode, const std::u16string& path);
  bool CapturePicture(const std::u16string& path, int mode);
  bool StopRecord();
  bool OpenSound();
  bool CloseSound();
  bool IsPreviewing() const;
  bool IsSoundOpen() const;
  bool IsRecording() const;
  // Sound, recording, preview: the order every removal stops an item in.
  void StopAll();

  // The same window, device and channel.
  bool SameSlot(const CPreviewItem& other) const;

  // Listed while its start is on its way.
  void SetConnecting(bool on) { connecting_.store(on); }
  bool IsConnecting() const { return connecting_.load(); }
  // Taken out because its device was lost (not closed by the user): a start still on its way
  // reports its failure all the same.
  void SetDeviceLost() { deviceLost_.store(true); }
  bool IsDeviceLost() const { return deviceLost_.load(); }

 private:
  int window_;
  std::u16string guid_;
  int channel_;
  int streamType_;
  std::atomic<IDevPreview*> preview_;
  HWND playWnd_;
  std::atomic<bool> connecting_{false};
  std::atomic<bool> deviceLost_{false};
};

using PreviewItemPtr = std::shared_ptr<CPreviewItem>;
