#pragma once
// Records one live stream, undecoded, into a series of AVI files: a new file starts when
// the picture size or the video codec changes, or at the first key frame once the size
// limit has been written. Each closed file is announced with a 272-byte record. The open
// file's header is brought up to date on the disk at its first frame, which gives the
// stream's codec and size, and then every few seconds, so a recording cut short by a crash
// opens in readers and plays up to then; a write the disk refuses ends the recording.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "plat/clock.h"
#include "plat/hook.h"
#include "record/avi_writer.h"

#include "codecs.h"

namespace corvane {

constexpr uint32_t kRecordSizeLimit = 0xC800000;  // 200 MiB
constexpr size_t kClosedFileRecordSize = 272;
constexpr size_t kRecordFileNameSize = 256;
constexpr int kRecordOsdFlag = 64;
constexpr uint32_t kRecordCheckpointMs = 2000;

// The closed-file record as written into the session event.
struct ClosedFileInfo {
  uint32_t startTime = 0;  // seconds since 1970
  uint32_t endTime = 0;
  uint32_t bytes = 0;
  std::string fileName;
};
std::array<uint8_t, kClosedFileRecordSize> encodeClosedFileRecord(const ClosedFileInfo& info);

// Where the recorder takes its times from (injected by tests).
struct RecordClock {
  std::function<uint32_t()> tickMs = [] { return plat::tickCount(); };
  std::function<uint32_t()> unixTime;            // default: time(nullptr)
  std::function<plat::LocalTime()> localTime = [] { return plat::localTime(); };
};

class AviRecorder {
 public:
  // The owning session's hook for event 10: the record is valid during the call only.
  using ClosedFileHook = std::function<void(const uint8_t* record, size_t size)>;
  // The player's recording icon (OSD flag 64): on while a file is open.
  using OsdHook = std::function<void(bool recording)>;
  // The disk refused a write: the file has been closed (and announced) and the recording
  // has ended. Called once per failed recording, after the closed-file hook.
  using FailureHook = std::function<void(int error)>;

  AviRecorder();
  ~AviRecorder();  // closes an open file as StopRecord does
  AviRecorder(const AviRecorder&) = delete;
  AviRecorder& operator=(const AviRecorder&) = delete;

  void SetClosedFileHook(ClosedFileHook hook);
  void SetOsdHook(OsdHook hook);
  void SetFailureHook(FailureHook hook);
  void SetClock(RecordClock clock);
  void SetSizeLimit(uint64_t bytes);
  void SetWriterOptions(AviWriterOptions options);

  // IPC_StartRecord: 1, or 0 when the file could not be created.
  int StartRecord(const std::string& baseName);
  // IPC_StopRecord: 1, or 0 when no file was open or it could not be finished.
  int StopRecord();
  // Every video frame (key flag 0 = key frame) and audio block (key flag 1, no size):
  // 1, or 0 when no file is open, the next file could not be made or the write failed.
  int WriteRecordFrame(const void* data, uint32_t length, int type, int keyFlag, int width,
                       int height);
  // Closes an open file and drops the hooks: the owner is going away. Like clearing a hook,
  // returns once a hook call in progress on another thread has ended.
  void Shutdown();

  bool IsRecording() const;
  std::string FileName() const;
  int FileIndex() const;

 private:
  // Both run with mutex_ held in lock and release it while the hooks are called, so a hook
  // may use the recorder (stop, restart) and other threads are not held up by it.
  // `replaceable`: the name of a file this recorder closed with nothing written, which the
  // next file may take over (the name it would give otherwise is numbered).
  bool OpenRecordFile(std::unique_lock<std::mutex>& lock, const std::string& baseName,
                      const std::string& replaceable = {});
  int CloseRecordFile(std::unique_lock<std::mutex>& lock);
  void describeFile();  // the header's picture and sound values, from what was written
  // 0, after closing the file the disk refused.
  int endOnDiskError(std::unique_lock<std::mutex>& lock);
  // Brings the header up to date every kRecordCheckpointMs, or now when `due`.
  void checkpoint(std::unique_lock<std::mutex>& lock, bool due);
  std::string pickFileName(const std::string& baseName, int attempt) const;

  mutable std::mutex mutex_;  // never held while a hook runs
  uint16_t width_ = 0, height_ = 0;
  int16_t codec_ = -1;
  int16_t audioType_ = -1;
  uint32_t startTick_ = 0;
  uint32_t checkpointTick_ = 0;
  uint32_t startTime_ = 0;
  std::string fileName_;
  std::string baseName_;
  uint64_t bytes_ = 0;
  uint32_t frames_ = 0;
  uint64_t sizeLimit_ = kRecordSizeLimit;
  int fileIndex_ = 0;
  // Counts starts and stops, so a file switch sees one made meanwhile (by a hook inside its
  // close or by another thread).
  uint32_t generation_ = 0;
  std::unique_ptr<AviWriter> writer_;
  ClosedFileHook closedHook_;
  OsdHook osdHook_;
  FailureHook failureHook_;
  plat::HookCalls hookCalls_;
  std::thread::id switcher_;           // the writer switching files, while it does
  std::condition_variable switched_;   // other writers wait for its switch
  RecordClock clock_;
  AviWriterOptions writerOptions_;
};

}  // namespace corvane
