#include "plat/paths.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "plat/text.h"

namespace plat {
namespace {

std::mutex g_mutex;
bool g_loaded = false;
std::vector<Drive> g_drives;

std::string stripSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::vector<Drive> buildMap() {
  std::vector<Drive> drives;
  if (const char* env = std::getenv("TARNWICK_DRIVES"); env && *env) {
    std::stringstream ss(env);
    std::string item;
    char letter = 'C';
    while (std::getline(ss, item, ':') && letter <= 'Z') {
      if (item.empty()) continue;
      drives.push_back(Drive{letter++, stripSlash(item)});
    }
    return drives;
  }
  drives.push_back(Drive{'C', programDir()});
  struct stat cst{};
  stat(drives[0].root.c_str(), &cst);
  std::set<dev_t> seen{cst.st_dev};
  std::ifstream mounts("/proc/self/mounts");
  std::string dev, dir, type, rest;
  static const std::set<std::string> local = {"ext2", "ext3", "ext4", "xfs",  "btrfs",
                                              "vfat", "exfat", "ntfs", "ntfs3", "f2fs"};
  std::vector<std::string> dirs;
  while (mounts >> dev >> dir >> type && std::getline(mounts, rest)) {
    if (dev.rfind("/dev/", 0) != 0 || !local.count(type)) continue;
    dirs.push_back(dir);
  }
  std::sort(dirs.begin(), dirs.end());
  char letter = 'D';
  for (const auto& d : dirs) {
    struct stat st{};
    if (stat(d.c_str(), &st) != 0 || seen.count(st.st_dev)) continue;
    if (access(d.c_str(), W_OK) != 0) continue;
    seen.insert(st.st_dev);
    if (letter > 'Z') break;
    drives.push_back(Drive{letter++, stripSlash(d)});
  }
  return drives;
}

const std::vector<Drive>& drives() {
  if (!g_loaded) {
    g_drives = buildMap();
    g_loaded = true;
  }
  return g_drives;
}

}  // namespace

std::string programFilePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string path(buf, static_cast<size_t>(n));
  // A program file replaced or removed while it runs (a rebuild, an update) reads back with this
  // mark; the settings file and the language library are still named after the file's own name.
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.size() > kDeleted.size() && path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
  return path;
}

std::string programDir() {
  if (const char* home = std::getenv("TARNWICK_HOME"); home && *home) return stripSlash(home);
  std::string exe = programFilePath();
  size_t slash = exe.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : exe.substr(0, slash);
}

std::string inProgramDir(const std::string& fileName) {
  std::string dir = programDir();
  return dir == "/" ? "/" + fileName : dir + "/" + fileName;
}

std::vector<Drive> fixedDrives() {
  std::lock_guard<std::mutex> lk(g_mutex);
  return drives();
}

void resetDriveMap() {
  std::lock_guard<std::mutex> lk(g_mutex);
  g_loaded = false;
  g_drives.clear();
}

std::string toNativePath(const std::string& p) {
  std::string rest = p;
  std::string root;
  if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
    std::lock_guard<std::mutex> lk(g_mutex);
    for (const auto& d : drives())
      if (d.letter == letter) root = d.root;
    if (!root.empty()) rest = p.substr(2);
  }
  std::replace(rest.begin(), rest.end(), '\\', '/');
  if (root.empty()) return rest;
  if (rest.empty()) return root;
  if (rest.front() != '/') rest.insert(rest.begin(), '/');
  return root == "/" ? rest : root + rest;
}

std::string toNativePath(const std::u16string& windowsPath) {
  return toNativePath(utf16ToUtf8(windowsPath));
}

std::optional<std::u16string> toWindowsPath(const std::string& nativePath) {
  std::lock_guard<std::mutex> lk(g_mutex);
  const Drive* best = nullptr;
  for (const auto& d : drives()) {
    const std::string& r = d.root;
    bool under = nativePath == r || (nativePath.rfind(r, 0) == 0 &&
                                     (r == "/" || nativePath[r.size()] == '/'));
    if (under && (!best || r.size() > best->root.size())) best = &d;
  }
  if (!best) return std::nullopt;
  std::u16string win;
  win.push_back(static_cast<char16_t>(best->letter));
  win.push_back(u':');
  std::u16string rest = utf8ToUtf16(nativePath.substr(best->root == "/" ? 0 : best->root.size()));
  std::replace(rest.begin(), rest.end(), u'/', u'\\');
  win += rest.empty() ? std::u16string(u"\\") : rest;
  return win;
}

int64_t freeSpaceMB(const std::string& nativePath) {
  struct statvfs st{};
  if (statvfs(nativePath.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(static_cast<unsigned long long>(st.f_bavail) * st.f_frsize /
                              (1024ULL * 1024ULL));
}

int64_t totalSpaceMB(const std::string& nativePath) {
  struct statvfs st{};
  if (statvfs(nativePath.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(static_cast<unsigned long long>(st.f_blocks) * st.f_frsize /
                              (1024ULL * 1024ULL));
}

}  // namespace plat
