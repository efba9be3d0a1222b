#pragma once
// Live preview of one recorder channel over the recorder SDK.
#include <atomic>
#include <mutex>

#include "RecNet.h"
#include "Hollin/Interfaces.h"

class CDevQXPreview : public IDevPreview {
 public:
  CDevQXPreview(DevHandle loginId, long channel);
  ~CDevQXPreview() override;  // stops saving and the live view

  // The SDK stopped saving the live view with this handle (the disk refused a write): its
  // preview records no more and tells its play window (WM_DEV_RECORD_FAILED). Any thread.
  static void OnSaveStopped(int32_t realHandle);
  // The play window of the preview with this token; false when it has gone.
  static bool PlayWndOf(uintptr_t token, HWND* out);

  bool SetPlayWnd(HWND wnd) override;
  HWND GetPlayWnd() override { return window_; }
  bool StartPreview() override;
  bool StopPreview() override;
  bool CapturePicture(const char* path, int ignored) override;
  bool StartRecord(int mode, const char* path) override;
  bool StopRecord() override;
  bool GetVideoEffect(int* brightness, int* contrast, int* saturation, int* hue) override;
  bool SetVideoEffect(int brightness, int contrast, int saturation, int hue) override;
  bool RegisterDrawFun(DrawFunCallback callback, void* user) override;
  bool SetRealDataCallBack(RealDataCallback callback, void* user) override;
  bool OpenSound() override;
  bool CloseSound() override;
  bool SetVolume(int volume) override;
  bool IsPreviewing() override { return previewing_; }
  bool IsSoundOpen() override { return soundOpen_; }
  bool IsRecording() override { return recording_; }
  bool SetStreamType(int type) override {
    streamType_ = type;
    return true;
  }
  int GetStreamType() override { return streamType_; }
  void GetRealHandle(DevHandle* out) override {
    if (out) *out = realHandle_.load();
  }
  // Talk through the live view's login and channel.
  virtual int StartVoiceCom(intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4);

 private:
  static void OnDraw(int32_t realHandle, intptr_t dc, void* user, int32_t, int32_t, int32_t,
                     int32_t);
  static void OnData(int32_t realHandle, uint32_t dataType, uint8_t* data, uint32_t size,
                     void* user);

  // The state the program's UI thread reads while a device worker starts or stops the view.
  std::atomic<HWND> window_{0};
  int32_t loginId_;
  int32_t channel_;
  std::atomic<int> streamType_{0};
  const uintptr_t token_;
  // Read on the SDK's thread when saving stops by itself.
  std::atomic<int32_t> realHandle_{-1};
  std::atomic<bool> previewing_{false};
  std::atomic<bool> soundOpen_{false};
  std::atomic<bool> recording_{false};
  // The receivers are read on the SDK's threads while the UI may change them: each is read
  // with its value as one pair.
  mutable std::mutex receivers_;
  void* drawUser_ = nullptr;
  DrawFunCallback draw_ = nullptr;
  RealDataCallback data_ = nullptr;
  void* dataUser_ = nullptr;
};
