#pragma once
// The logic of the local settings page, without widgets: the values it edits, loaded from
// and stored into CLocalSettings, the checks of a save, and the recording ring configured
// from the values on load and on save.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/LocalSettings.h"

class LocalSettingsController {
 public:
  static constexpr int kMinCycleInterval = 5;
  static constexpr int kMaxCycleInterval = 500;
  // The pack sizes offered, in megabytes.
  static const std::vector<int>& PackSizes();

  // What the page shows and edits.
  struct Values {
    std::u16string downloadPath;
    std::u16string picturePath;
    std::u16string remoteCfgPath;
    CLocalSettings::DiskFlags diskFlags{};
    int cycleInterval = 0;
    int circleVideo = 0;
    int packSizeMB = 0;
  };
  // The page's controls at the time of a save.
  struct Form {
    std::u16string downloadPath;
    std::u16string picturePath;
    std::vector<int> diskChecks;  // one per listed disk, in list order
    std::u16string cycleIntervalText;
    int circleVideo = 0;
    int packSizeMB = -1;  // the selected item's size; -1 when none is selected
  };
  struct SaveResult {
    uint32_t notice = 0;  // the notice to show; 0 for none
    bool saved = false;   // vez.ini was written
    bool written = false; // the values passed the checks and a write was tried
  };

  // Fills the values from the settings and gives the ring its disks, loop flag and pack size.
  void LoadFromSettings();
  const Values& Current() const { return values_; }

  // Checks every input first, then stores: a refused save changes neither the settings in
  // memory, nor vez.ini, nor the ring. A write the file refuses is told with its own notice;
  // the values stay in use and the ring has them. The download folder gets its final
  // separator.
  SaveResult Save(const Form& form);

  // A folder the user may choose: it exists, is a folder and is not read-only (drive text).
  static bool IsValidFolder(const std::u16string& path);
  // Creates each missing folder of the path that ends before a backslash (drive text): the
  // part after the last backslash is not made.
  static void CreateFolders(const std::u16string& path);
  // "/" or the folder a drive letter maps to.
  static bool IsDriveRoot(const std::u16string& path);
  // A folder picked through the UI service (native path) as the program shows it.
  static std::u16string FromPickedFolder(const std::string& nativePath);

 private:
  static void ConfigureRing(const CLocalSettings::DiskFlags& flags, int circleVideo, int packSizeMB);
  // The values into the page's state and the settings in use.
  void Store(const Values& values);
  Values values_;
};
