#pragma once
// Live preview of one channel of an IP camera (type 2) or a recorder (type 4) over the
// camera library. The two families share this body; where they differ the family code
// decides.
#include <atomic>
#include <cstdint>

#include "Hollin/DevInfo.h"
#include "Hollin/Interfaces.h"
#include "Hollin/Notices.h"

namespace hollin {

class CameraPreview : public IDevPreview {
 public:
  CameraPreview(int devType, DevHandle session, long channel);
  ~CameraPreview() override;
  CameraPreview(const CameraPreview&) = delete;
  CameraPreview& operator=(const CameraPreview&) = delete;

  bool SetPlayWnd(HWND wnd) override;
  HWND GetPlayWnd() override { return window_; }
  bool StartPreview() override;
  bool StopPreview() override;
  bool CapturePicture(const char* path, int ignored) override;
  bool StartRecord(int mode, const char* path) override;
  bool StopRecord() override;
  bool GetVideoEffect(int* brightness, int* contrast, int* saturation, int* hue) override;
  bool SetVideoEffect(int brightness, int contrast, int saturation, int hue) override;
  bool RegisterDrawFun(DrawFunCallback, void*) override { return false; }
  bool SetRealDataCallBack(RealDataCallback, void*) override { return false; }
  bool OpenSound() override;
  bool CloseSound() override;
  bool SetVolume(int volume) override;
  bool IsPreviewing() override { return previewing_; }
  bool IsSoundOpen() override { return soundOpen_; }
  bool IsRecording() override { return recording_.load(); }
  bool SetStreamType(int type) override;
  int GetStreamType() override { return streamType_; }
  void GetRealHandle(DevHandle* out) override;
  // Talk on this preview's own stream (arguments unused); 0 as the families always gave.
  virtual int StartSpeak(intptr_t, intptr_t, intptr_t, intptr_t);

  // Session events for this preview's stream, on a camera library thread. Only cheap,
  // non-blocking work happens here.
  void OnSessionEvent(int event, DevHandle stream);
  // The UI side of a refused video: notice and stop, when `stream` is still this run's.
  bool OnFullOnUi(DevHandle stream);
  uintptr_t Token() const { return token_; }
  DevHandle Stream() const { return stream_.load(); }

 private:
  const int devType_;
  const DevHandle session_;
  const long channel_;
  const uintptr_t token_;
  // The state the program's UI thread reads while a device worker starts or stops the view.
  std::atomic<HWND> window_{0};
  std::atomic<DevHandle> stream_{0};
  std::atomic<int> streamType_{0};
  std::atomic<bool> previewing_{false};
  std::atomic<bool> soundOpen_{false};
  std::atomic<bool> recording_{false};  // cleared from a library thread when the disk fails
  std::atomic<bool> noticeShown_{false};
};

// The notice shown when a camera has no room for another video connection.
extern const char* const kConnectionsFullText;
extern const char* const kConnectionsFullCaption;

}  // namespace hollin
