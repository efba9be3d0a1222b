#include "shell/Disks.h"

#include <climits>
#include <filesystem>
#include <mutex>

#include "plat/log.h"
#include "plat/paths.h"

namespace {

class SystemDisks : public DiskProvider {
 public:
  int64_t FreeSpaceMB(const std::u16string& path) override {
    return plat::freeSpaceMB(plat::toNativePath(path));
  }
  std::vector<std::u16string> FixedDriveRoots() override {
    std::vector<std::u16string> roots;
    for (const auto& d : plat::fixedDrives())
      roots.push_back(std::u16string{static_cast<char16_t>(d.letter), u':', u'\\'});
    return roots;
  }
};

std::mutex g_mutex;
std::shared_ptr<DiskProvider> g_provider;

std::shared_ptr<DiskProvider> provider() {
  std::lock_guard<std::mutex> lk(g_mutex);
  if (!g_provider) g_provider = std::make_shared<SystemDisks>();
  return g_provider;
}

}  // namespace

bool MakeFolder(const std::u16string& path) {
  const std::string native = plat::toNativePath(path);
  if (native.empty()) return false;
  std::error_code ec;
  if (std::filesystem::is_directory(native, ec)) return true;
  std::filesystem::create_directories(native, ec);
  if (!ec && std::filesystem::is_directory(native, ec)) return true;
  PLAT_LOGW("disks", "cannot create the folder %s: %s", native.c_str(),
            ec ? ec.message().c_str() : "something else is there");
  return false;
}

void SetDiskProvider(std::shared_ptr<DiskProvider> p) {
  std::lock_guard<std::mutex> lk(g_mutex);
  g_provider = std::move(p);
}

int GetFreeSpaceMB(const std::u16string& path) {
  int64_t mb = provider()->FreeSpaceMB(path);
  if (mb < 0) return -1;
  return mb > INT_MAX ? INT_MAX : static_cast<int>(mb);
}

int ListFixedDrives(std::vector<std::u16string>& list) {
  auto roots = provider()->FixedDriveRoots();
  list.insert(list.end(), roots.begin(), roots.end());
  return static_cast<int>(roots.size());
}
