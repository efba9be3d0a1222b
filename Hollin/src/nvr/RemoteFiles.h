#pragma once
// A recorder's own recordings over the camera library: search, download and playback.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Corvane/dvrfile.h"
#include "Hollin/Interfaces.h"
#include "plat/part_file.h"

namespace hollin {

// One found file as the recorder reports it: the first 144 bytes of its result record.
constexpr size_t kFileResultSize = 144;
constexpr size_t kFileResultNameOffset = 16;

class CDevNVRRemoteFileFinder : public CDevRemoteFileFinder {
 public:
  // Throws std::invalid_argument for a missing login or session. The search runs to its end
  // here; its results belong to this finder.
  CDevNVRRemoteFileFinder(IDevUserLogin* login, tagSearchFileCondition* cond);
  ~CDevNVRRemoteFileFinder() override;
  int FindNext(tagRemoteFileInfo* out) override;
  // Safe from another thread while FindNext runs.
  int FindClose() override;
  // Copies the next 144-byte result: 1, or -1 without a task or at the end.
  virtual int FindNextFileRaw(void* record);

 private:
  static void OnResult(int kind, const void* record, void* user);
  std::mutex mutex_;  // the task against a close from another thread
  DevHandle session_ = 0;
  IPC_HANDLE task_ = nullptr;
  std::vector<std::vector<uint8_t>> results_;
  size_t next_ = 0;
};

class CDevNVRRemoteFileDownloader : public CDevRemoteFileDownloader {
 public:
  // The whole transfer runs here, into a part beside localPath that takes its place at the
  // recorder's end mark: a download that breaks off leaves a file already there as it was.
  // Throws for a missing login or session.
  CDevNVRRemoteFileDownloader(IDevUserLogin* login, const char* remoteName,
                              const char* localPath);
  CDevNVRRemoteFileDownloader(IDevUserLogin* login, long channel, TIME* start, TIME* end,
                              char* path);
  ~CDevNVRRemoteFileDownloader() override;
  int Start() override { return 1; }
  int GetPos() override;  // percent; 100 when complete, -1 when it failed
  int Stop() override;
  int IsDownloading() override { return downloading_ ? 1 : 0; }

 private:
  void Run(IDevUserLogin* login, const char* remoteName, const char* localPath);
  static void OnData(int kind, const void* info, const void* data, int length, void* user);
  // The download cannot complete: its part is removed.
  void Fail();
  IPC_HANDLE task_ = nullptr;
  std::string localPath_;
  plat::PartFile part_;  // written through the descriptor it was made with
  uint32_t expected_ = 0;
  uint64_t received_ = 0;
  int progress_ = 0;
  bool downloading_ = false;
  bool failed_ = false;
};

class CDevNVRRemotePlayback : public CDevRemotePlayback {
 public:
  CDevNVRRemotePlayback(IDevUserLogin* login, HWND window, const char* name);
  CDevNVRRemotePlayback(IDevUserLogin* login, HWND window, long channel, TIME* start,
                        TIME* end);
  ~CDevNVRRemotePlayback() override;  // closes an open playback
  int Start(int) override;
  int Pause() override;
  int Resume() override;
  int Fast() override;
  int Slow() override;
  int Frame() override { return 0; }
  int Normal() override;
  int Stop() override;
  int CaptureFile(const char*) override { return 0; }
  int AudioOn() override;
  int AudioOff() override;
  int SetPos(float) override { return 0; }
  // 100 once the library's playback stream has ended, 0.0 while it plays or opens.
  float GetPos() override;
  int GetFrame(int*) override { return 0; }
  int GetTime(int*) override { return 0; }
  int TotalFrames(int*) override { return 0; }
  int TotalTime(int*) override { return 0; }
  int Volume(int) override { return 0; }

 private:
  void Init(IDevUserLogin* login, HWND window);
  int Speed(uint16_t code);
  DevHandle session_ = 0;
  HWND window_ = 0;
  IpcPlaybackRequest request_{};
  IPC_HANDLE playback_ = nullptr;
  int fastSteps_ = 0;
  int slowSteps_ = 0;
};

// Sizes of files seen by searches, by name (the last search's answer wins): a download asks
// the recorder for a file with its size.
void RememberFileSize(const std::string& name, uint32_t size);
uint32_t KnownFileSize(const std::string& name);

}  // namespace hollin
