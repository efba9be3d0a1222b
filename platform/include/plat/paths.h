#pragma once
// The program folder, drive letters and disks.
// The databases and the ini file live beside the program: the folder of the running
// executable, or TARNWICK_HOME when set. The system names disks "C:\\", "D:\\" ...; here
// C: is the program's data root and further letters are the mounted local file systems,
// unless TARNWICK_DRIVES=/a:/b:... sets the map (C: = /a, D: = /b ...).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plat {

std::string programFilePath();  // full path of the running executable (UTF-8)
std::string programDir();       // TARNWICK_HOME or the executable's folder, no final '/'
std::string inProgramDir(const std::string& fileName);

struct Drive {
  char letter;        // 'C', 'D', ...
  std::string root;   // folder it maps to
};
std::vector<Drive> fixedDrives();  // the current map, C: first
void resetDriveMap();              // re-read TARNWICK_DRIVES (tests)

// "D:\\rec\\a.avi" -> "/mnt/d/rec/a.avi"; a path without a known drive letter is returned
// with backslashes turned into slashes.
std::string toNativePath(const std::u16string& windowsPath);
std::string toNativePath(const std::string& windowsPathUtf8);
// The inverse for paths under a mapped root; nullopt when no drive maps it.
std::optional<std::u16string> toWindowsPath(const std::string& nativePath);

// Free space for the caller in MB (1 MB = 1,048,576 bytes); -1 when the path is not there.
int64_t freeSpaceMB(const std::string& nativePath);
int64_t totalSpaceMB(const std::string& nativePath);

}  // namespace plat
