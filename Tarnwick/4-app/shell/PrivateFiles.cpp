#include "shell/PrivateFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "plat/log.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/LocalSettings.h"
#include "shell/UserStore.h"
#include "view/PreviewManager.h"
#include "view/RecordFileRing.h"

namespace fs = std::filesystem;

namespace {

constexpr mode_t kFileMode = S_IRUSR | S_IWUSR;
constexpr mode_t kFolderMode = S_IRWXU;

// The same folder, links and spellings aside; empty when it is not there.
fs::path Canonical(const fs::path& path) {
  std::error_code ec;
  fs::path p = fs::canonical(path, ec);
  return ec ? fs::path() : p;
}

// Folders that hold more than the program's files: the root of the file system, the user's
// home, the folder of the program's own files (others may run it from there), the disks' roots
// (but for the data folder, which the first disk names unless told otherwise).
bool HoldsMoreThanOurs(const fs::path& folder) {
  const fs::path p = Canonical(folder);
  if (p.empty() || p == p.root_path()) return true;
  const fs::path data = Canonical(plat::programDir());
  std::vector<fs::path> shared = {Canonical(fs::path(plat::programFilePath()).parent_path())};
  if (const char* home = std::getenv("HOME")) shared.push_back(Canonical(home));
  for (const plat::Drive& d : plat::fixedDrives())
    if (Canonical(d.root) != data) shared.push_back(Canonical(d.root));
  for (const fs::path& s : shared)
    if (!s.empty() && p == s) return true;
  return false;
}

}  // namespace

void KeepNewFilesPrivate() { ::umask(S_IRWXG | S_IRWXO); }

void TightenToOwner(const std::string& path) {
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode) || st.st_uid != ::geteuid()) return;
  const mode_t allowed = S_ISDIR(st.st_mode) ? kFolderMode : kFileMode;
  const mode_t mode = st.st_mode & 07777;
  if ((mode & ~allowed) == 0) return;
  if (::chmod(path.c_str(), mode & allowed) != 0)
    PLAT_LOGW("files", "cannot make %s private: %s", path.c_str(), std::strerror(errno));
}

void TightenPrivateFiles() {
  const fs::path data = plat::programDir();
  if (!HoldsMoreThanOurs(data)) TightenToOwner(data.string());

  // Databases with their copies, journals and new files in the making, the settings file with
  // its copies and temporary files: all begin with the file's name.
  const std::string settings = fs::path(CLocalSettings::SettingsFilePath()).filename().string();
  std::vector<std::string> names = {settings};
  for (const char16_t* db : {USER_DB_NAME, u"Tarnwick.db", CPreviewManager::kDatabase, RECORD_DB_NAME})
    names.push_back(plat::utf16ToUtf8(db));
  std::error_code ec;
  for (fs::directory_iterator it(data, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    for (const std::string& name : names)
      if (file.starts_with(name)) TightenToOwner(it->path().string());
  }

  if (const char* log = std::getenv("TARNWICK_LOG"); log && *log) TightenToOwner(log);
}
