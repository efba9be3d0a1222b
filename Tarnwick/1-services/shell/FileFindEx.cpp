#include "shell/FileFindEx.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "plat/paths.h"
#include "plat/text.h"

CFileFindEx::CFileFindEx() = default;
CFileFindEx::~CFileFindEx() = default;

void CFileFindEx::SetCallback(Callback cb, void* user) {
  callback_ = cb;
  user_ = user;
}

void CFileFindEx::Stop() { stop_.set(); }

int CFileFindEx::FindFiles(const std::u16string& folder) {
  // A drive-letter folder is walked through the drive map and reported with backslashes.
  const bool windowsForm = folder.find(u'\\') != std::u16string::npos ||
                           (folder.size() >= 2 && folder[1] == u':');
  const char16_t sep = windowsForm ? u'\\' : u'/';
  std::u16string prefix = folder;
  if (prefix.empty() || prefix.back() != sep) prefix += sep;

  const std::string native = plat::toNativePath(folder);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(native.empty() ? "." : native.c_str()),
                                          closedir);
  if (!dir) return 1;
  while (dirent* e = readdir(dir.get())) {
    if (stop_.isSet()) return 0;
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string full = (native.empty() || native.back() == '/' ? native : native + "/") + name;
    struct stat st{};
    if (lstat(full.c_str(), &st) != 0) continue;
    std::u16string reported = prefix + plat::utf8ToUtf16(name);
    if (S_ISDIR(st.st_mode)) {
      FindFiles(reported);
    } else if (S_ISREG(st.st_mode) && callback_) {
      callback_(reported, static_cast<uint32_t>(static_cast<uint64_t>(st.st_size) & 0xFFFFFFFFu),
                user_);
    }
  }
  return stop_.isSet() ? 0 : 1;
}
