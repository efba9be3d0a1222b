#pragma once
// Files of a test live in a folder of their own: made with a unique name under the system's
// temporary folder on first use, removed with everything in it when the process ends. Two
// test processes (ctest -j, or two checkouts testing at once) never share a file name, and
// nothing is ever deleted from the shared temporary folder by name or pattern.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testsupport {

class TestFolder {
 public:
  TestFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwick_test_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();  // never fall back to the shared folder
    path_ = tmpl;
  }
  ~TestFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The running process's own folder.
inline const TestFolder& ProcessFolder() {
  static const TestFolder folder;
  return folder;
}

// A path for `name` in the process's own folder.
inline std::string TestFile(const std::string& name) { return ProcessFolder().file(name); }

// A new folder of its own inside the process's folder (a test's program folder, say).
inline std::string NewTestFolder() {
  std::string tmpl = ProcessFolder().file("XXXXXX");
  if (!mkdtemp(tmpl.data())) std::abort();
  return tmpl;
}

}  // namespace testsupport
