#include "shell/LocalSettings.h"

#include <sys/stat.h>

#include <vector>

#include "plat/paths.h"
#include "plat/text.h"
#include "shell/DiskHelpers.h"
#include "shell/IniFile.h"
#include "shell/Singleton.h"

namespace {

constexpr char16_t kSection[] = u"";

bool fileExists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A key the file lacks, or a value that is not a positive number, would stop recording
// files from ever filling or make cycling spin: such values load the built-in default.
int positiveOr(CIniFile& ini, const char16_t* key, int fallback) {
  if (!ini.HasKey(key)) return fallback;
  int v = ini.GetInt(key, 0);
  return v > 0 ? v : fallback;
}

}  // namespace

CLocalSettings::CLocalSettings() { Load(); }

CLocalSettings* CLocalSettings::GetInstance() {
  return SingletonAccess<CLocalSettings>::GetInstance();
}

void CLocalSettings::DeleteInstance() { SingletonAccess<CLocalSettings>::ReleaseInstance(); }

std::string CLocalSettings::SettingsFilePath() {
  std::string exe = plat::programFilePath();
  size_t slash = exe.rfind('/');
  std::string name = slash == std::string::npos ? exe : exe.substr(slash + 1);
  return plat::inProgramDir(name + "vez.ini");
}

int CLocalSettings::Load() {
  const std::string path = SettingsFilePath();
  if (!fileExists(path)) return 0;
  CIniFile ini(plat::utf8ToUtf16(path), 1);

  std::lock_guard<std::mutex> lk(m_mutex);
  m_cycleInterval = positiveOr(ini, u"CycleInterval", DEFAULT_CYCLE_INTERVAL);
  m_filePackSize = positiveOr(ini, u"FilePackSize", DEFAULT_FILE_PACK_SIZE);
  m_circleVideo = ini.GetBool(u"CircleVideo", false) ? 1 : 0;
  m_downLoadPath = ini.GetString(u"DownLoadPath", u"");
  m_pictureSavePath = ini.GetString(u"PictureSavePath", u"");
  m_langId = ini.GetInt(u"LangID", 0);
  m_wndMode = ini.GetInt(u"WndMode", 0);
  std::u16string disks = ini.GetString(u"AllDisk", u"");
  for (size_t i = 0; i < disks.size() && i < DISK_FLAG_COUNT; ++i) {
    char16_t c = disks[i];
    m_diskFlags[i] = (c >= u'0' && c <= u'9') ? c - u'0' : 0;
  }
  return 1;
}

int CLocalSettings::Reload() {
  Load();
  return 1;
}

int CLocalSettings::Save() {
  CIniFile ini(plat::utf8ToUtf16(SettingsFilePath()), 1);
  std::lock_guard<std::mutex> lk(m_mutex);
  std::u16string disks;
  for (int i = 0; i < SAVED_DISK_FLAGS; ++i)
    disks += plat::utf8ToUtf16(std::to_string(m_diskFlags[i]));
  // One write of the whole file: a save cut short leaves the previous settings whole.
  const bool ok = ini.WriteStrings({{u"CircleVideo", CIniFile::IntText(m_circleVideo)},
                                    {u"WndMode", CIniFile::IntText(m_wndMode)},
                                    {u"LangID", CIniFile::IntText(m_langId)},
                                    {u"FilePackSize", CIniFile::IntText(m_filePackSize)},
                                    {u"CycleInterval", CIniFile::IntText(m_cycleInterval)},
                                    {u"AllDisk", disks},
                                    {u"DownLoadPath", m_downLoadPath},
                                    {u"PictureSavePath", m_pictureSavePath}},
                                   kSection);
  return ok ? 1 : 0;
}

int CLocalSettings::GetCycleInterval() const {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_cycleInterval;
}

void CLocalSettings::SetCycleInterval(int v) {
  std::lock_guard<std::mutex> lk(m_mutex);
  m_cycleInterval = v;
}

int CLocalSettings::GetFilePackSize() const {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_filePackSize;
}

void CLocalSettings::SetFilePackSize(int v) {
  std::lock_guard<std::mutex> lk(m_mutex);
  m_filePackSize = v;
}

int CLocalSettings::GetCircleVideo() const {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_circleVideo;
}

void CLocalSettings::SetCircleVideo(int v) {
  std::lock_guard<std::mutex> lk(m_mutex);
  m_circleVideo = v;
}

int CLocalSettings::GetWndMode() const {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_wndMode;
}

void CLocalSettings::SetWndMode(int v) {
  std::lock_guard<std::mutex> lk(m_mutex);
  m_wndMode = v;
}

int CLocalSettings::GetLangID() const {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_langId;
}

void CLocalSettings::SetLangID(int v) {
  std::lock_guard<std::mutex> lk(m_mutex);
  m_langId = v;
}

CLocalSettings::DiskFlags CLocalSettings::GetDiskFlags() const {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_diskFlags;
}

void CLocalSettings::SetDiskFlags(const DiskFlags& v) {
  std::lock_guard<std::mutex> lk(m_mutex);
  m_diskFlags = v;
}

std::u16string CLocalSettings::GetDownLoadPath() const {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_downLoadPath;
}

void CLocalSettings::SetDownLoadPath(const std::u16string& v) {
  std::lock_guard<std::mutex> lk(m_mutex);
  m_downLoadPath = v;
}

std::u16string CLocalSettings::GetPictureSavePath() const {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_pictureSavePath;
}

void CLocalSettings::SetPictureSavePath(const std::u16string& v) {
  std::lock_guard<std::mutex> lk(m_mutex);
  m_pictureSavePath = v;
}

std::u16string CLocalSettings::GetRemoteCfgPath() const {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_remoteCfgPath;
}

int CLocalSettings::GetRecordPath(std::u16string& folder) {
  std::u16string current;
  {
    std::lock_guard<std::mutex> lk(m_mutex);
    current = m_recordPath;
  }
  if (GetFreeSpaceMB(current) > RECORD_MIN_FREE_MB) {
    folder = current;
    return 1;
  }
  std::vector<std::u16string> roots;
  ListFixedDrives(roots);
  for (const auto& root : roots) {
    if (GetFreeSpaceMB(root) <= RECORD_MIN_FREE_MB) continue;
    std::u16string path = root;
    if (path.empty() || path.back() != u'\\') path += u'\\';
    path += u"RecordFile\\";
    std::lock_guard<std::mutex> lk(m_mutex);
    m_recordPath = path;
    folder = path;
    return 1;
  }
  return 0;
}
