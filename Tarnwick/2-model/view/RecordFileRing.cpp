#include "view/RecordFileRing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>

#include "devices/DeviceManager.h"
#include "plat/clock.h"
#include "plat/log.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/DamagedFiles.h"
#include "shell/DbHelpers.h"
#include "shell/Disks.h"
#include "shell/Language.h"
#include "shell/Singleton.h"
#include "shell/StringIds.h"
#include "shell/UiService.h"
#include "view/PlaybackNames.h"

namespace fs = std::filesystem;

namespace {

constexpr char kLog[] = "recordring";

int64_t systemFreeBytes(const std::u16string& root) {
  std::error_code ec;
  fs::space_info info = fs::space(plat::toNativePath(root), ec);
  if (ec || info.available == static_cast<std::uintmax_t>(-1)) return -1;
  return info.available > static_cast<std::uintmax_t>(std::numeric_limits<int64_t>::max())
             ? std::numeric_limits<int64_t>::max()
             : static_cast<int64_t>(info.available);
}

// Creation time where the file system keeps one, else the last write, in whole seconds.
int64_t creationTime(const std::string& path) {
  struct statx sx{};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) return 0;
  const statx_timestamp& t = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
  return t.tv_sec;
}

bool driveIsMapped(char16_t letter) {
  char upper = static_cast<char>(letter >= u'a' && letter <= u'z' ? letter - u'a' + 'A' : letter);
  for (const auto& d : plat::fixedDrives())
    if (d.letter == upper) return true;
  return false;
}

}  // namespace

CRecordFileRing::CRecordFileRing() {
  if (!OpenDatabaseInProgramDir(db_, RECORD_DB_NAME)) {
    // What stands in its place is left as it is; the user learns at the start, and at each
    // press of Record, why nothing records.
    const std::string path = plat::inProgramDir(plat::utf16ToUtf8(RECORD_DB_NAME));
    std::string why = WhyFileUnreadable(path);
    std::u16string reason = UnreadableReasonText(path);
    if (why.empty()) {
      why = "it cannot be created";
      reason = LoadResString(IDS_CANNOT_BE_CREATED);
    }
    PLAT_LOGE(kLog, "%s cannot be opened (%s): local recording is off", path.c_str(), why.c_str());
    db_.Close();
    problem_ = UnopenableFileText(IDS_RECORD_LIST_UNOPENABLE, RECORD_DB_NAME, reason);
    UiService().Notice(problem_);
    return;
  }
  // A damaged list would take every insert and delete of the ring into a file that refuses
  // them: loop recording could never free a disk. The user is told, the file is kept aside
  // and the list starts anew; the recordings themselves stay where they are.
  if (CheckDatabaseHealth(db_) != DatabaseHealth::Damaged) return;
  db_.Close();
  ReportDamagedFile(RECORD_DB_NAME, "its integrity check fails");
  if (!KeepDamagedFileAside(RECORD_DB_NAME) || !StartDamagedDatabaseAnew(RECORD_DB_NAME) ||
      !OpenDatabaseInProgramDir(db_, RECORD_DB_NAME)) {
    PLAT_LOGE(kLog, "%s is damaged and could not be started anew: local recording is off",
              plat::inProgramDir(plat::utf16ToUtf8(RECORD_DB_NAME)).c_str());
    db_.Close();
  }
}

CRecordFileRing::~CRecordFileRing() {
  db_.Close();
  disks_.clear();
  current_.clear();
}

CRecordFileRing* CRecordFileRing::GetInstance() {
  return SingletonAccess<CRecordFileRing>::GetInstance();
}

void CRecordFileRing::ReleaseInstance() { SingletonAccess<CRecordFileRing>::ReleaseInstance(); }

void CRecordFileRing::SetFreeSpaceQuery(FreeSpaceQuery query) { freeSpace_ = std::move(query); }

void CRecordFileRing::SetRecordingQuery(RecordingQuery query) { recording_ = std::move(query); }

bool CRecordFileRing::IsBeingWritten(const std::u16string& listedName) const {
  for (const CurrentFile& c : current_) {
    if (c.fileName != listedName) continue;
    if (recording_) {
      if (recording_(c.deviceName, c.channel)) return true;
      continue;
    }
    if (!SingletonAccess<CDeviceManager>::HasInstance()) continue;
    CDevice* device = CDeviceManager::GetInstance()->FindDevice(c.deviceName, 0);
    CChannel* channel = device ? device->GetChannel(c.channel) : nullptr;
    if (channel && channel->IsRecording()) return true;
  }
  return false;
}

bool CRecordFileRing::Fail(Failure why) {
  failure_ = why;
  return false;
}

void CRecordFileRing::ClearDisks() {
  disks_.clear();
  selected_ = -1;
}

void CRecordFileRing::SetDisks(const DiskFlags& flags) {
  for (int i = 0; i < kDiskFlagCount; ++i) {
    if (flags[i] != 1) continue;
    const char16_t letter = static_cast<char16_t>(u'c' + i);
    // A letter no disk answers to would land the recordings in the working folder.
    if (!driveIsMapped(letter)) {
      PLAT_LOGW(kLog, "disk %c: is not there; not used for recording", static_cast<char>('c' + i));
      continue;
    }
    AddDisk(std::u16string{letter, u':', u'\\'});
    // A folder that cannot be made is not said: the recording start fails there and says so.
    MakeFolder(std::u16string{letter, u':', u'\\'} + u"RecordFile");
  }
}

std::u16string CRecordFileRing::TableOf(const std::u16string& root) {
  return QuoteIdentifier(root.substr(0, 1));
}

void CRecordFileRing::AddDisk(const std::u16string& root) {
  if (root.empty()) return;
  if (db_.IsOpen()) {
    try {
      if (!db_.TableExists(root.substr(0, 1)))
        db_.Execute(u"create table " + TableOf(root) +
                    u" (id integer primary key autoincrement,file vchar)");
    } catch (const CppSQLite3Exception& e) {
      PLAT_LOGW(kLog, "table for %s: %s", plat::utf16ToUtf8(root).c_str(), e.Detail().c_str());
    }
    // A table of that name made by something else would take no row of the ring's: every
    // recording would go unlisted, and loop recording would never find it to free a disk.
    try {
      db_.Query(u"select id, file from " + TableOf(root) + u" limit 0");
    } catch (const CppSQLite3Exception& e) {
      PLAT_LOGE(kLog, "table for %s is not the ring's: %s", plat::utf16ToUtf8(root).c_str(), e.Detail().c_str());
      GiveUpDatabase(IDS_NOT_A_RECORD_LIST, true);
    }
  }
  disks_.push_back(root);
}

void CRecordFileRing::GiveUpDatabase(uint32_t reason, bool tell) {
  PLAT_LOGE(kLog, "%s cannot be used: local recording is off",
            plat::inProgramDir(plat::utf16ToUtf8(RECORD_DB_NAME)).c_str());
  db_.Close();
  problem_ = UnopenableFileText(IDS_RECORD_LIST_UNOPENABLE, RECORD_DB_NAME, LoadResString(reason));
  if (tell) UiService().Notice(problem_);
}

void CRecordFileRing::SetCircular(int on) { circular_ = on; }

void CRecordFileRing::SetPackSize(unsigned bytes) { packSize_ = bytes; }

int64_t CRecordFileRing::FreeBytes(const std::u16string& root) {
  return freeSpace_ ? freeSpace_(root) : systemFreeBytes(root);
}

uint64_t CRecordFileRing::ReserveBytes() const { return kFullPackMultiple * static_cast<uint64_t>(packSize_); }

bool CRecordFileRing::IsDiskFull(const std::u16string& root) {
  const int64_t free = FreeBytes(root);
  if (free < 0) return false;  // unknown: used as if it had room
  return static_cast<uint64_t>(free) < ReserveBytes();
}

uint64_t CRecordFileRing::DeletableBytes(int disk, uint64_t enough) {
  uint64_t bytes = 0;
  if (!db_.IsOpen() || disk < 0 || disk >= static_cast<int>(disks_.size())) return 0;
  try {
    CppSQLite3Query q = db_.Query(u"select file from " + TableOf(disks_[disk]) + u" order by id");
    // Runs on the UI thread at each roll: a long list is read only as far as the room needs.
    for (; !q.Eof() && bytes < enough; q.NextRow()) {
      const char16_t* text = q.FieldText(0);
      const std::u16string name = text ? text : u"";
      if (name.empty() || IsBeingWritten(name)) continue;
      for (const std::string& path : RecordingFilesOf(name)) {
        std::error_code ec;
        const uintmax_t size = fs::file_size(path, ec);
        if (!ec) bytes += size;
      }
    }
  } catch (const CppSQLite3Exception& e) {
    // Counted as far as the list could be read: too little, and nothing is deleted.
    PLAT_LOGW(kLog, "old recordings of %s: %s", plat::utf16ToUtf8(disks_[disk]).c_str(), e.Detail().c_str());
  }
  return bytes;
}

void CRecordFileRing::LogShortOfRoom(int disk, const char* what) {
  const int64_t free = FreeBytes(disks_[disk]);
  constexpr double kMiB = 1024.0 * 1024.0;
  PLAT_LOGW(kLog, "disk %s has %.1f MB free, below the reserve of %.1f MB (%llu record files of %.1f MB): %s",
            plat::utf16ToUtf8(disks_[disk]).c_str(), static_cast<double>(std::max<int64_t>(free, 0)) / kMiB,
            static_cast<double>(ReserveBytes()) / kMiB, static_cast<unsigned long long>(kFullPackMultiple),
            static_cast<double>(packSize_) / kMiB, what);
}

int CRecordFileRing::SelectDisk() {
  for (size_t i = 0; i < disks_.size(); ++i) {
    if (!IsDiskFull(disks_[i])) {
      selected_ = static_cast<int>(i);
      return selected_;
    }
  }
  if (circular_) {
    Oldest oldest = FindOldestFile();
    if (oldest.disk >= 0) selected_ = oldest.disk;
  }
  return selected_;
}

CRecordFileRing::Oldest CRecordFileRing::FindOldestFile(int onlyDisk) {
  Oldest best;
  int64_t bestTime = 0;
  if (!db_.IsOpen()) return best;
  for (size_t i = 0; i < disks_.size(); ++i) {
    if (onlyDisk >= 0 && static_cast<int>(i) != onlyDisk) continue;
    int64_t rowId = 0;
    std::u16string file;
    try {
      // A file still being written is passed over, and its row kept: deleting it would cut
      // off the recording that writes it. Rows without a name are passed over too.
      CppSQLite3Query q = db_.Query(u"select id, file from " + TableOf(disks_[i]) + u" order by id");
      for (; !q.Eof(); q.NextRow()) {
        const char16_t* text = q.FieldText(1);
        std::u16string name = text ? text : u"";
        if (name.empty() || IsBeingWritten(name)) continue;
        rowId = q.FieldInt(0);
        file = std::move(name);
        break;
      }
    } catch (const CppSQLite3Exception& e) {
      PLAT_LOGW(kLog, "old recordings of %s: %s", plat::utf16ToUtf8(disks_[i]).c_str(), e.Detail().c_str());
      continue;  // a failed query counts as an empty table
    }
    if (file.empty()) continue;
    // A recording deleted by hand counts as the oldest possible.
    int64_t created = 0;
    bool first = true;
    for (const std::string& path : RecordingFilesOf(file)) {
      int64_t t = creationTime(path);
      if (first || t < created) created = t;
      first = false;
    }
    if (best.disk < 0 || created < bestTime) {
      best = Oldest{static_cast<int>(i), rowId, file};
      bestTime = created;
    }
  }
  return best;
}

std::u16string CRecordFileRing::GetRecordFolder() {
  int disk = SelectDisk();
  if (disk < 0 || disk >= static_cast<int>(disks_.size())) return {};
  return disks_[disk] + u"\\RecordFile\\";
}

std::vector<std::string> CRecordFileRing::RecordingFilesOf(const std::u16string& listedName) {
  std::vector<std::string> files;
  const std::string native = plat::toNativePath(listedName);
  std::error_code ec;
  if (fs::is_regular_file(native, ec)) {
    files.push_back(native);
    return files;
  }
  const fs::path path(native);
  const std::string prefix = path.filename().string();
  if (prefix.empty()) return files;
  for (fs::directory_iterator it(path.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const char next = name[prefix.size()];
    if (next != '_' && next != '.') continue;
    std::error_code ec2;
    if (it->is_regular_file(ec2)) files.push_back(it->path().string());
  }
  return files;
}

CRecordFileRing::DeleteResult CRecordFileRing::DeleteRecording(const std::u16string& listedName) {
  bool deleted = false;
  for (const std::string& path : RecordingFilesOf(listedName)) {
    if (::unlink(path.c_str()) == 0) {
      deleted = true;
    } else if (errno == EACCES || errno == EPERM) {
      PLAT_LOGW(kLog, "old recording %s may not be deleted", path.c_str());
      return DeleteResult::AccessDenied;
    }
  }
  return deleted ? DeleteResult::Deleted : DeleteResult::Missing;
}

bool CRecordFileRing::NewRecordFile(int deviceType, const std::u16string& deviceName, int channel,
                                    std::u16string& fileName) {
  failure_ = Failure::None;
  if (!db_.IsOpen()) return Fail(Failure::NoDatabase);
  std::u16string name;
  int disk = -1;
  uint32_t tick = static_cast<uint32_t>(plat::tickCount());
  if (tickGiven_ && static_cast<int32_t>(tick - lastTick_) <= 0) tick = lastTick_ + 1;
  int checkedDisk = -1;  // the disk whose old recordings were found to make the room
  // Every pass either stops or takes one row out of the tables, so the loop ends with them.
  for (;;) {
    plat::LocalTime now = plat::localTime();
    std::u16string folder = GetRecordFolder();
    // Disks listed but none chosen: every one is short of room and nothing could be freed.
    if (folder.empty()) return Fail(disks_.empty() ? Failure::NoDisk : Failure::DisksFull);
    disk = selected_;
    name = playback_names::RingRecordingName(folder, deviceType, deviceName, channel, now,
                                             tick);
    if (!IsDiskFull(disks_[disk])) break;
    // Without loop recording nothing is ever deleted to make room.
    if (!circular_) {
      LogShortOfRoom(disk, "loop recording is off, nothing is deleted");
      return Fail(Failure::DisksFull);
    }
    // Old recordings go only when their going makes the room: other data on the disk may
    // keep it below the reserve whatever the ring deletes, and then every one is kept.
    if (checkedDisk != disk) {
      checkedDisk = disk;
      const int64_t free = FreeBytes(disks_[disk]);
      const uint64_t needed = free >= 0 ? ReserveBytes() - std::min<uint64_t>(free, ReserveBytes()) : 0;
      const uint64_t gain = needed ? DeletableBytes(disk, needed) : 0;
      if (gain < needed) {
        LogShortOfRoom(disk, ("the old recordings on it hold only " +
                              std::to_string(gain / (1024 * 1024)) + " MB; nothing is deleted")
                                 .c_str());
        return Fail(Failure::DisksFull);
      }
    }
    Oldest oldest = FindOldestFile(disk);
    if (oldest.disk < 0) {  // nothing left that may go
      LogShortOfRoom(disk, "no old recording is left to delete");
      return Fail(Failure::DisksFull);
    }
    if (DeleteRecording(oldest.file) == DeleteResult::AccessDenied) return Fail(Failure::AccessDenied);
    try {
      db_.Execute(u"delete from " + TableOf(disks_[oldest.disk]) + u" where id = ?", {oldest.rowId});
      if (ChangedRows(db_) == 0) return Fail(Failure::NoDatabase);
    } catch (const CppSQLite3Exception& e) {
      PLAT_LOGW(kLog, "old recording row: %s", e.Detail().c_str());
      return Fail(Failure::NoDatabase);
    }
  }
  // A recording the list did not take would never be found to be deleted: none is started.
  if (!ExecuteSql(db_, u"insert into " + TableOf(disks_[disk]) + u"(file) values(?)", {name})) {
    GiveUpDatabase(IDS_CANNOT_BE_WRITTEN, false);
    return Fail(Failure::NoDatabase);
  }
  fileName = name;
  lastTick_ = tick;
  tickGiven_ = true;
  for (CurrentFile& c : current_) {
    if (c.deviceName == deviceName && c.channel == channel) {
      c.fileName = name;
      return true;
    }
  }
  current_.push_back(CurrentFile{deviceName, channel, name});
  return true;
}

void CRecordFileRing::DropRecordFile(const std::u16string& fileName) {
  if (fileName.empty()) return;
  std::erase_if(current_, [&](const CurrentFile& c) { return c.fileName == fileName; });
  if (!db_.IsOpen()) return;
  for (const std::u16string& root : disks_)
    ExecuteSql(db_, u"delete from " + TableOf(root) + u" where file = ?", {fileName});
}

std::u16string CRecordFileRing::GetCurrentFile(const std::u16string& deviceName, int channel) const {
  for (const CurrentFile& c : current_)
    if (c.deviceName == deviceName && c.channel == channel) return c.fileName;
  return {};
}

bool CRecordFileRing::NeedNewFile(const std::u16string& fileName) const {
  // The listed name itself: a camera's recorder, whose files only begin with it, starts its
  // next file by itself.
  std::error_code ec;
  const std::string path = plat::toNativePath(fileName);
  if (!fs::is_regular_file(path, ec)) return false;
  const uintmax_t size = fs::file_size(path, ec);
  return !ec && size > packSize_;
}

std::vector<std::u16string> CRecordFileRing::ListedFiles(const std::u16string& root) {
  std::vector<std::u16string> files;
  if (!db_.IsOpen() || root.empty()) return files;
  try {
    CppSQLite3Query q = db_.Query(u"select file from " + TableOf(root) + u" order by id");
    for (; !q.Eof(); q.NextRow()) {
      const char16_t* text = q.FieldText(0);
      files.push_back(text ? text : u"");
    }
  } catch (const CppSQLite3Exception& e) {
    PLAT_LOGW(kLog, "files listed for %s: %s", plat::utf16ToUtf8(root).c_str(), e.Detail().c_str());
  }
  return files;
}
