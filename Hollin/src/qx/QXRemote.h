#pragma once
// Recorded files on a recorder: search, playback by name and download. Each object holds an
// SDK handle from its construction and gives it back when destroyed.
#include <mutex>

#include "Hollin/Interfaces.h"

class CDevQXRemoteFileFinder : public CDevRemoteFileFinder {
 public:
  // Throws std::invalid_argument ("Invalid device", "Invalid file search condition").
  CDevQXRemoteFileFinder(IDevUserLogin* login, tagSearchFileCondition* condition);
  ~CDevQXRemoteFileFinder() override;
  int FindNext(tagRemoteFileInfo* out) override;
  // Safe from another thread while FindNext polls: the poll after it ends the search.
  int FindClose() override;
  virtual int FindNextFileRaw(void* record);

 private:
  std::mutex mutex_;  // the handle against a close from another thread
  int state_ = 9999;  // 0 open, 9999 closed
  int32_t handle_ = -1;
  DevHandle loginId_ = -1;
};

class CDevQXRemotePlayback : public CDevRemotePlayback {
 public:
  // Throws std::invalid_argument ("Invalid device", "Invalid Login id", "Invalid file name").
  CDevQXRemotePlayback(IDevUserLogin* login, HWND window, const char* fileName);
  // Always throws: the recorder plays files by name only ("Invalid time").
  CDevQXRemotePlayback(IDevUserLogin* login, HWND window, long channel, TIME* start, TIME* end);
  ~CDevQXRemotePlayback() override;

  int Start(int value) override { return Control(1, static_cast<uint32_t>(value)); }
  int Pause() override { return Control(3); }
  int Resume() override { return Control(4); }
  int Fast() override { return Control(5); }
  int Slow() override { return Control(6); }
  int Frame() override { return Control(8); }
  int Normal() override { return Control(7); }
  int Stop() override;
  int CaptureFile(const char* path) override;
  int AudioOn() override { return Control(9); }
  int AudioOff() override { return Control(10); }
  int SetPos(float percent) override;
  float GetPos() override;
  int GetFrame(int* out) override { return Query(15, out); }
  int GetTime(int* out) override { return Query(14, out); }
  int TotalFrames(int* out) override { return Query(16, out); }
  int TotalTime(int* out) override { return Query(17, out); }
  int Volume(int volume) override { return Control(11, static_cast<uint32_t>(volume)); }

  int32_t Handle() const { return handle_; }

 private:
  int Control(uint32_t code, uint32_t value = 0);
  int Query(uint32_t code, int* out);
  DevHandle loginId_ = -1;
  int32_t handle_ = -1;
  HWND window_ = 0;
  bool byTime_ = false;
};

class CDevQXRemoteFileDownloader : public CDevRemoteFileDownloader {
 public:
  // Throws std::invalid_argument ("Invalid device", "Invalid Login ID", "Invalid file name").
  CDevQXRemoteFileDownloader(IDevUserLogin* login, const char* remoteName, const char* localPath);
  // Always throws "Invalid file name": the recorder downloads files by name only.
  CDevQXRemoteFileDownloader(IDevUserLogin* login, long channel, TIME* start, TIME* end,
                             char* path);
  ~CDevQXRemoteFileDownloader() override;  // stops an open download

  int Start() override;
  int GetPos() override;
  int Stop() override;
  int IsDownloading() override { return handle_ != -1 ? 1 : 0; }

 private:
  DevHandle loginId_ = -1;
  int32_t handle_ = -1;
};
