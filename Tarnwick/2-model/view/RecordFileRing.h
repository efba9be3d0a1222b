#pragma once
// Where manual live recordings go: picks a recording disk by free space, names the files,
// lists every file it handed out in record.db (one table per disk, in order of creation)
// and, when loop recording is on and every disk is short of room, deletes the oldest
// recordings that are not being written first. Used on the UI thread only (preview page,
// settings page).
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shell/CppSQLite3.h"

inline constexpr char16_t RECORD_DB_NAME[] = u"record.db";

class CRecordFileRing {
 public:
  static constexpr int kDiskFlagCount = 32;
  // A disk is full when it has less free space than this many pack sizes.
  static constexpr uint64_t kFullPackMultiple = 30;
  using DiskFlags = std::array<int, kDiskFlagCount>;
  // Free bytes on a disk root ("d:\\"); -1 when the system cannot tell.
  using FreeSpaceQuery = std::function<int64_t(const std::u16string& root)>;
  // Whether the channel of the device (by name) is recording now: its current file is then
  // open and is never deleted.
  using RecordingQuery = std::function<bool(const std::u16string& deviceName, int channel)>;
  // Why the last NewRecordFile gave no name.
  enum class Failure { None, NoDisk, DisksFull, AccessDenied, NoDatabase };

  CRecordFileRing();
  ~CRecordFileRing();
  CRecordFileRing(const CRecordFileRing&) = delete;
  CRecordFileRing& operator=(const CRecordFileRing&) = delete;

  // The one ring of the process, made on first use (record.db opened in the program folder).
  static CRecordFileRing* GetInstance();
  // At shut-down (and between tests): closes record.db; the next GetInstance starts over.
  static void ReleaseInstance();

  // Replaces the system's free-space question (tests); null restores it.
  void SetFreeSpaceQuery(FreeSpaceQuery query);
  // Replaces the question which channels record now (by default the device list's); null
  // restores it.
  void SetRecordingQuery(RecordingQuery query);

  void ClearDisks();
  // Flag i enables the drive letter 'c' + i: its table is made, its RecordFile folder created.
  void SetDisks(const DiskFlags& flags);
  void AddDisk(const std::u16string& root);
  void SetCircular(int on);
  void SetPackSize(unsigned bytes);

  // A new file name on the chosen disk (device type 1: the full name of a ".264" file;
  // types 2 and 4: the name prefix the recorder completes with its own stamp and extension),
  // listed in record.db and remembered as the current file of (device, channel). False when
  // no disk can take it: none enabled, every disk full with loop recording off, nothing left
  // to delete, an old recording that may not be deleted, or record.db not open (LastFailure
  // tells which). A recording still being written is never deleted: its row stays. Old
  // recordings are deleted only from the chosen disk and only when deleting them brings it
  // back to the reserve; otherwise none is, and the log gives the figures.
  bool NewRecordFile(int deviceType, const std::u16string& deviceName, int channel,
                     std::u16string& fileName);
  Failure LastFailure() const { return failure_; }
  // Why record.db is not open, as the user is told it (which file, and what stands there, or
  // that its tables are not the ring's, or that it took no row); empty while it is open. Local
  // recording stays off meanwhile: Failure::NoDatabase.
  const std::u16string& DatabaseProblem() const { return problem_; }
  // A name NewRecordFile gave that no recording was started under: its row goes, and it is
  // no channel's current file any more.
  void DropRecordFile(const std::u16string& fileName);
  std::u16string GetCurrentFile(const std::u16string& deviceName, int channel) const;
  // True when a file of that very name exists and holds more than the pack size (false for a
  // name prefix, whose recorder starts its next file by itself).
  bool NeedNewFile(const std::u16string& fileName) const;

  bool IsDatabaseOpen() const { return db_.IsOpen(); }
  const std::vector<std::u16string>& Disks() const { return disks_; }
  int SelectedDisk() const { return selected_; }
  int IsCircular() const { return circular_; }
  unsigned PackSize() const { return packSize_; }
  // The files listed for a disk root, oldest first (tests, diagnostics).
  std::vector<std::u16string> ListedFiles(const std::u16string& root);

  // The real files of a listed name: the file itself, or, for a name prefix, every file in
  // its folder named by the prefix followed by '_' or '.' (native paths).
  static std::vector<std::string> RecordingFilesOf(const std::u16string& listedName);

 private:
  struct Oldest {
    int disk = -1;
    int64_t rowId = 0;
    std::u16string file;
  };
  struct CurrentFile {
    std::u16string deviceName;
    int channel;
    std::u16string fileName;
  };
  enum class DeleteResult { Deleted, AccessDenied, Missing };

  // Free bytes of a disk root (-1: unknown) and the room a disk keeps for the ring's files.
  int64_t FreeBytes(const std::u16string& root);
  uint64_t ReserveBytes() const;
  bool IsDiskFull(const std::u16string& root);
  // What deleting the listed recordings of the disk that are not being written would free,
  // oldest first, counted until it reaches `enough`.
  uint64_t DeletableBytes(int disk, uint64_t enough);
  void LogShortOfRoom(int disk, const char* what);
  int SelectDisk();
  // The oldest listed file that is not being written, over every disk or on one disk only.
  Oldest FindOldestFile(int onlyDisk = -1);
  bool IsBeingWritten(const std::u16string& listedName) const;
  bool Fail(Failure why);
  std::u16string GetRecordFolder();
  DeleteResult DeleteRecording(const std::u16string& listedName);
  static std::u16string TableOf(const std::u16string& root);
  // record.db is closed for good (recording off); `reason` (a text id) goes into the problem,
  // which is told at once when `tell`.
  void GiveUpDatabase(uint32_t reason, bool tell);

  std::vector<std::u16string> disks_;
  int selected_ = -1;
  unsigned packSize_ = 32u << 20;
  std::vector<CurrentFile> current_;
  // The millisecond count of the last name given: two files asked for within one millisecond
  // would otherwise share a name and the second would overwrite the first.
  uint32_t lastTick_ = 0;
  bool tickGiven_ = false;
  CppSQLite3DB db_;
  int circular_ = 0;
  FreeSpaceQuery freeSpace_;
  RecordingQuery recording_;
  Failure failure_ = Failure::None;
  std::u16string problem_;
};
