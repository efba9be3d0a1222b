#pragma once
// Disk and screen questions for the settings page and the recording code. Disks are named
// as the program shows them ("C:\\", "D:\\" ...) and mapped by the platform layer. They
// tell the user nothing: a folder that cannot be made is said by DiskHelpers.h.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DiskProvider {
 public:
  virtual ~DiskProvider() = default;
  // Free space for the caller in MB, -1 when the path is not there.
  virtual int64_t FreeSpaceMB(const std::u16string& path) = 0;
  // Root paths of the fixed disks, in the system's order ("C:\\", "D:\\" ...).
  virtual std::vector<std::u16string> FixedDriveRoots() = 0;
};

// Replaces the system's disks (tests); nullptr restores them.
void SetDiskProvider(std::shared_ptr<DiskProvider> provider);

// Bytes free to the caller / 1048576; -1 when the path does not exist.
int GetFreeSpaceMB(const std::u16string& path);
// Appends every fixed disk's root path to the list; returns how many were appended.
int ListFixedDrives(std::vector<std::u16string>& list);
// Makes a folder (a drive text "C:\\Capture\\" or a native path) with every missing parent.
// False when no folder is there afterwards; the log says why.
bool MakeFolder(const std::u16string& path);
// Size of the primary screen in pixels; either output may be null.
void GetScreenSize(int* width, int* height);
