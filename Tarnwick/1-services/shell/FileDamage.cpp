#include "shell/FileDamage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

#include <sqlite3.h>

#include "plat/log.h"
#include "plat/part_file.h"
#include "plat/text.h"
#include "shell/DbHelpers.h"

namespace {

std::mutex g_mutex;
std::set<std::u16string> g_marked;

// A copy of `from` written beside `to` and renamed over it once whole and on the disk: a copy
// cut short never replaces one. The copy is its user's alone, as every file the program keeps.
std::error_code CopyOver(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  plat::PartFile part;
  struct stat st{};
  bool ok = in >= 0 && ::fstat(in, &st) == 0 && part.create(to) &&
            ::fchmod(part.fd(), S_IRUSR | S_IWUSR) == 0;
  std::vector<char> buffer(1 << 16);
  while (ok) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = part.write(buffer.data(), static_cast<size_t>(n));
  }
  ok = ok && part.commit();
  const std::error_code ec = ok ? std::error_code{} : std::error_code(errno ? errno : EIO,
                                                                       std::generic_category());
  if (in >= 0) ::close(in);
  return ec;
}

constexpr const char* kJournals[] = {"-journal", "-wal"};

// A database's copy is whole only with the journal its file left: a copy opened without it
// would show a change cut off half way. The journal of an earlier copy belongs to none and
// goes before the new copy takes its name.
std::error_code CopyWithJournals(const std::string& from, const std::string& to) {
  std::error_code ec;
  for (const char* suffix : kJournals)
    if (std::filesystem::remove(to + suffix, ec), ec) return ec;
  if ((ec = CopyOver(from, to))) return ec;
  for (const char* suffix : kJournals)
    if (std::filesystem::is_regular_file(from + suffix, ec) && (ec = CopyOver(from + suffix, to + suffix)))
      return ec;
  return {};
}

FileStanding Look(const std::string& path, int& error) {
  error = 0;
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) {
    error = errno;
    if (error == ENOENT) return FileStanding::Readable;  // nothing there
    return error == EACCES || error == EPERM ? FileStanding::NoPermission : FileStanding::Unreadable;
  }
  if (S_ISDIR(st.st_mode)) return FileStanding::Folder;
  if (!S_ISREG(st.st_mode)) return FileStanding::NotAFile;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
    return error == EACCES || error == EPERM ? FileStanding::NoPermission : FileStanding::Unreadable;
  }
  ::close(fd);
  return FileStanding::Readable;
}

}  // namespace

FileStanding StandingOf(const std::string& path) {
  int error = 0;
  return Look(path, error);
}

std::string WhyFileUnreadable(const std::string& path) {
  int error = 0;
  switch (Look(path, error)) {
    case FileStanding::Readable: return {};
    case FileStanding::Folder: return "it is a folder";
    case FileStanding::NotAFile: return "it is not a file";
    case FileStanding::NoPermission: return std::string("there is no permission to read it: ") + std::strerror(error);
    case FileStanding::Unreadable: break;
  }
  return std::string("it cannot be read: ") + std::strerror(error);
}

bool MarkDamagedFile(const std::u16string& fileName, const std::string& what) {
  bool first;
  {
    std::lock_guard<std::mutex> lk(g_mutex);
    first = g_marked.insert(fileName).second;
  }
  const std::string name = plat::utf16ToUtf8(fileName);
  if (WhyFileUnreadable(plat::utf16ToUtf8(ProgramDirPath(fileName))).empty())
    PLAT_LOGW("storage", "%s could not be read whole (%s); it is kept as %s.bak at the next save", name.c_str(),
              what.c_str(), name.c_str());
  else
    PLAT_LOGW("storage", "%s cannot be opened (%s); it is moved to %s.bak at the next save", name.c_str(),
              what.c_str(), name.c_str());
  return first;
}

bool KeepFileAsideNow(const std::u16string& fileName, const std::string& what) {
  PLAT_LOGW("storage", "%s could not be read whole (%s); it is kept as %s.bak",
            plat::utf16ToUtf8(fileName).c_str(), what.c_str(),
            plat::utf16ToUtf8(fileName).c_str());
  {
    std::lock_guard<std::mutex> lk(g_mutex);
    g_marked.insert(fileName);
  }
  return KeepDamagedFileAside(fileName);
}

DatabaseHealth CheckDatabaseHealth(CppSQLite3DB& db) {
  try {
    // quick_check answers one row "ok" for a whole file; a damaged one answers otherwise
    // or fails as corrupt or "not a database". Any other failure (busy, say) proves nothing.
    CppSQLite3Query q = db.Query(u"PRAGMA quick_check;");
    const bool ok = !q.Eof() && q.FieldText(0) && std::u16string(q.FieldText(0)) == u"ok";
    return ok ? DatabaseHealth::Whole : DatabaseHealth::Damaged;
  } catch (const CppSQLite3Exception& e) {
    return e.ErrorCode() == SQLITE_CORRUPT || e.ErrorCode() == SQLITE_NOTADB
               ? DatabaseHealth::Damaged
               : DatabaseHealth::Unknown;
  }
}

bool KeepDamagedFileAside(const std::u16string& fileName) {
  std::lock_guard<std::mutex> lk(g_mutex);
  if (!g_marked.count(fileName)) return true;
  const std::filesystem::path from = plat::utf16ToUtf8(ProgramDirPath(fileName));
  std::filesystem::path to = from;
  to += ".bak";
  std::error_code ec;
  const bool there = std::filesystem::exists(std::filesystem::symlink_status(from, ec));
  if (there && !WhyFileUnreadable(from.string()).empty()) {
    // What cannot be read cannot be copied: it is moved aside whole, and the save writes a
    // new file in its place.
    std::error_code ignored;
    if (std::filesystem::is_directory(from, ignored) && !std::filesystem::is_directory(to, ignored))
      std::filesystem::remove(to, ignored);
    std::filesystem::rename(from, to, ec);
  } else if (there) {
    ec = CopyWithJournals(from.string(), to.string());
  }
  if (ec) {
    PLAT_LOGE("storage", "cannot keep %s aside: %s; it is not written", from.string().c_str(),
              ec.message().c_str());
    return false;
  }
  g_marked.erase(fileName);
  return true;
}

bool StartDamagedDatabaseAnew(const std::u16string& fileName) {
  const std::filesystem::path file = plat::utf16ToUtf8(ProgramDirPath(fileName));
  std::filesystem::path kept = file;
  kept += ".bak";
  std::error_code ec;
  if (!std::filesystem::is_regular_file(kept, ec)) return false;
  bool whole = true;
  {
    CppSQLite3DB db;
    if (OpenDatabaseInProgramDir(db, fileName)) {
      whole = CheckDatabaseHealth(db) != DatabaseHealth::Damaged;
      db.Close();
    }
  }
  if (whole || !std::filesystem::remove(file, ec)) return false;
  PLAT_LOGW("storage", "%s is damaged beyond writing; started anew (the old one is %s)",
            file.string().c_str(), kept.string().c_str());
  return true;
}

bool SaveKeepingDamagedAside(const std::u16string& fileName, const std::function<bool()>& write) {
  if (!KeepDamagedFileAside(fileName)) return false;
  return write() || (StartDamagedDatabaseAnew(fileName) && write());
}

bool IsFileMarkedDamaged(const std::u16string& fileName) {
  std::lock_guard<std::mutex> lk(g_mutex);
  return g_marked.count(fileName) != 0;
}
