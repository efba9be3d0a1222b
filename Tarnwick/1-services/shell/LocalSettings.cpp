#include "shell/LocalSettings.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "plat/log.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/Disks.h"
#include "shell/FileDamage.h"
#include "shell/IniFile.h"
#include "shell/Singleton.h"

namespace {

constexpr char16_t kSection[] = u"";

bool fileExists(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Why the file is not a settings file as the program writes it (control bytes, text that is
// neither UTF-8 nor GBK, a line that is no section, comment or key); empty when it is.
std::string SettingsDamage(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  for (unsigned char c : raw)
    if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F)
      return "it holds control bytes";
  if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
  const std::u16string text = plat::isValidUtf8(raw) ? plat::utf8ToUtf16(raw) : plat::gbkToUtf16(raw);
  if (text.find(u'\uFFFD') != std::u16string::npos) return "its text cannot be decoded";
  size_t line = 1;
  for (size_t at = 0; at < text.size(); ++line) {
    size_t end = text.find(u'\n', at);
    if (end == std::u16string::npos) end = text.size();
    std::u16string_view l(text.data() + at, end - at);
    while (!l.empty() && (l.front() == u' ' || l.front() == u'\t')) l.remove_prefix(1);
    while (!l.empty() && (l.back() == u' ' || l.back() == u'\t' || l.back() == u'\r')) l.remove_suffix(1);
    const bool fine = l.empty() || l.front() == u';' || l.front() == u'#' ||
                      (l.front() == u'[' && l.find(u']') != std::u16string_view::npos) ||
                      l.find(u'=') != std::u16string_view::npos;
    if (!fine) return "line " + std::to_string(line) + " is no section, comment or key";
    at = end + 1;
  }
  return {};
}

}  // namespace

CLocalSettings::CLocalSettings() { Load(); }

CLocalSettings* CLocalSettings::GetInstance() {
  return SingletonAccess<CLocalSettings>::GetInstance();
}

void CLocalSettings::ReleaseInstance() { SingletonAccess<CLocalSettings>::ReleaseInstance(); }

std::string CLocalSettings::SettingsFilePath() {
  std::string exe = plat::programFilePath();
  size_t slash = exe.rfind('/');
  std::string name = slash == std::string::npos ? exe : exe.substr(slash + 1);
  return plat::inProgramDir(name + "vez.ini");
}

std::u16string CLocalSettings::SettingsFileName() {
  const std::string path = SettingsFilePath();
  return plat::utf8ToUtf16(path.substr(path.rfind('/') + 1));
}

int CLocalSettings::Load() {
  const std::string path = SettingsFilePath();
  if (std::string why = WhyFileUnreadable(path); !why.empty()) {
    // Nothing of it can be read: every value keeps what it has, and like a damaged file it
    // is told, and kept aside before anything is written in its place.
    PLAT_LOGW("settings", "%s cannot be used (%s): the settings keep their current values",
              path.c_str(), why.c_str());
    std::lock_guard<std::mutex> lk(m_mutex);
    m_damage = std::move(why);
    return 0;
  }
  if (!fileExists(path)) return 0;
  CIniFile ini(plat::utf8ToUtf16(path), 1);
  const std::string damage = SettingsDamage(path);
  if (!damage.empty())
    PLAT_LOGW("settings", "%s is damaged (%s): what can be read is used, the rest keeps its "
              "current value", path.c_str(), damage.c_str());

  std::lock_guard<std::mutex> lk(m_mutex);
  m_damage = damage;
  // A key missing from a whole file reads as 0 or empty; one missing from a damaged file may
  // have been lost with the damage and keeps the value it has.
  auto readable = [&](const char16_t* key) { return damage.empty() || ini.HasKey(key); };
  // Every read passes 0 or empty text: a key a whole file lacks sets its value to that. An
  // interval or pack size of 0 or less is taken care of where it is used (the cycling and the
  // recording ring).
  if (readable(u"CycleInterval")) m_cycleInterval = ini.GetInt(u"CycleInterval", 0);
  if (readable(u"FilePackSize")) m_filePackSize = ini.GetInt(u"FilePackSize", 0);
  if (readable(u"CircleVideo")) m_circleVideo = ini.GetBool(u"CircleVideo", false) ? 1 : 0;
  if (readable(u"DownLoadPath")) m_downLoadPath = ini.GetString(u"DownLoadPath", u"");
  if (readable(u"PictureSavePath")) m_pictureSavePath = ini.GetString(u"PictureSavePath", u"");
  if (readable(u"LangID")) m_langId = ini.GetInt(u"LangID", 0);
  if (readable(u"WndMode")) m_wndMode = ini.GetInt(u"WndMode", 0);
  std::u16string disks = ini.GetString(u"AllDisk", u"");
  for (size_t i = 0; i < disks.size() && i < DISK_FLAG_COUNT; ++i) m_diskFlags[i] = disks[i] - u'0';
  return 1;
}

int CLocalSettings::Reload() {
  Load();
  return 1;
}

bool CLocalSettings::IsDamaged() const {
  std::lock_guard<std::mutex> lk(m_mutex);
  return !m_damage.empty();
}

int CLocalSettings::Save() {
  const std::string path = SettingsFilePath();
  std::lock_guard<std::mutex> lk(m_mutex);
  // A damaged file is kept aside first (and not written over when it cannot be), and the
  // settings go into a new file beside it that replaces it whole: its damaged lines stay in
  // the copy, not in the settings.
  const bool damaged = !m_damage.empty();
  if (damaged && !KeepFileAsideNow(SettingsFileName(), m_damage)) return 0;
  const std::string target = damaged ? path + ".new" : path;
  std::error_code ec;
  if (damaged) std::filesystem::remove(target, ec);
  CIniFile ini(plat::utf8ToUtf16(target), 1);
  std::u16string disks;
  for (int i = 0; i < SAVED_DISK_FLAGS; ++i)
    disks += plat::utf8ToUtf16(std::to_string(m_diskFlags[i]));
  // One write of the whole file: a save cut short leaves the previous settings whole.
  bool ok = ini.WriteStrings({{u"CircleVideo", CIniFile::IntText(m_circleVideo)},
                              {u"WndMode", CIniFile::IntText(m_wndMode)},
                              {u"LangID", CIniFile::IntText(m_langId)},
                              {u"FilePackSize", CIniFile::IntText(m_filePackSize)},
                              {u"CycleInterval", CIniFile::IntText(m_cycleInterval)},
                              {u"AllDisk", disks},
                              {u"DownLoadPath", m_downLoadPath},
                              {u"PictureSavePath", m_pictureSavePath}},
                             kSection);
  if (damaged) {
    if (ok) std::filesystem::rename(target, path, ec);
    ok = ok && !ec;
    if (ok) m_damage.clear();
    else std::filesystem::remove(target, ec);
  }
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
