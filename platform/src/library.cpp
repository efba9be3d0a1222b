#include "plat/library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <string>

namespace plat {
namespace {

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The folder this library was loaded from. A plain dlopen of a bare name searches the run
// path of its caller, and an interposing runtime (a sanitizer, say) can stand in as that
// caller, so the folders are tried explicitly.
std::string ownFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&openLibrary), &info) && info.dli_fname)
    return folderOf(info.dli_fname);
  return {};
}

std::string exeFolder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  buf[n] = 0;
  return folderOf(buf);
}

}  // namespace

void* openLibrary(const char* file, std::string* error) {
  if (!file || !*file) return nullptr;
  for (const std::string& dir : {ownFolder(), exeFolder()}) {
    if (dir.empty()) continue;
    std::string path = dir + file;
    if (access(path.c_str(), F_OK) != 0) continue;
    if (void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
  }
  void* h = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (!h && error) {
    const char* e = dlerror();
    *error = e ? e : "cannot load";
  }
  return h;
}

void* librarySymbol(void* library, const char* name) {
  return library && name ? dlsym(library, name) : nullptr;
}

}  // namespace plat
