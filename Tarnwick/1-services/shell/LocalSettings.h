#pragma once
// The per-installation settings, kept in the settings file beside the program: the
// program's file name with "vez.ini" appended, all keys in the section with the empty
// name. Folders are stored as the program shows them ("C:\\Capture\\") and mapped to the
// file system through the platform's drive letters by whoever uses them.
#include <array>
#include <mutex>
#include <string>

class CLocalSettings {
 public:
  static constexpr int DISK_FLAG_COUNT = 32;
  static constexpr int SAVED_DISK_FLAGS = 10;  // drives "c" to "l" are written
  static constexpr int RECORD_MIN_FREE_MB = 2048;  // a recording disk needs more than this
  static constexpr int DEFAULT_CYCLE_INTERVAL = 20;
  static constexpr int DEFAULT_FILE_PACK_SIZE = 32;
  static constexpr int DEFAULT_LANG_ID = 99;
  using DiskFlags = std::array<int, DISK_FLAG_COUNT>;

  // Sets the built-in values and loads the settings file.
  CLocalSettings();
  CLocalSettings(const CLocalSettings&) = delete;
  CLocalSettings& operator=(const CLocalSettings&) = delete;

  // The one settings object of the process, made on first use.
  static CLocalSettings* GetInstance();
  static void ReleaseInstance();

  // Native path of the settings file.
  static std::string SettingsFilePath();
  // Its name in the program folder, the name its damage is reported by.
  static std::u16string SettingsFileName();

  // 1 when the file was read, 0 when there is none or it cannot be read (values unchanged;
  // one that cannot be read counts as damaged).
  int Load();
  // Loads again; 1. Whether the file is damaged (bytes or lines no settings file holds, or
  // one that cannot be read at all) is IsDamaged: the settings tell the user nothing, the
  // start tells it (ReloadSettingsTellingDamage).
  int Reload();
  // 1 when every value was written, 0 when a write failed. The first save after a damaged
  // file was loaded keeps it as "<name>.bak" first (a copy, or the file itself moved aside
  // when it cannot be read), and does not write when it cannot.
  int Save();
  bool IsDamaged() const;

  int GetCycleInterval() const;
  void SetCycleInterval(int seconds);
  int GetFilePackSize() const;
  void SetFilePackSize(int megabytes);
  int GetCircleVideo() const;
  void SetCircleVideo(int on);
  int GetWndMode() const;
  void SetWndMode(int mode);
  int GetLangID() const;
  void SetLangID(int lang);
  DiskFlags GetDiskFlags() const;
  void SetDiskFlags(const DiskFlags& flags);
  std::u16string GetDownLoadPath() const;
  void SetDownLoadPath(const std::u16string& path);
  std::u16string GetPictureSavePath() const;
  void SetPictureSavePath(const std::u16string& path);
  std::u16string GetRemoteCfgPath() const;

  // The record folder when it has room, else the first fixed disk with room (its root
  // followed by "RecordFile\\", which becomes the record folder). 1 when found.
  int GetRecordPath(std::u16string& folder);

 private:
  // Recording threads read the settings while the UI thread may change them.
  mutable std::mutex m_mutex;
  std::string m_damage;  // why the loaded file is damaged; empty when it is whole
  int m_cycleInterval = DEFAULT_CYCLE_INTERVAL;
  int m_filePackSize = DEFAULT_FILE_PACK_SIZE;
  int m_circleVideo = 1;
  int m_wndMode = 1;
  int m_langId = DEFAULT_LANG_ID;
  DiskFlags m_diskFlags{};
  std::u16string m_downLoadPath = u"C:\\DownloadFile\\";
  std::u16string m_pictureSavePath = u"C:\\Capture\\";
  std::u16string m_recordPath = u"C:\\RecordFile\\";
  std::u16string m_remoteCfgPath = u"C:\\RemoteCfg\\";
};
