#include "shell/DlgLSettingsController.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "plat/paths.h"
#include "plat/text.h"
#include "shell/StringIds.h"
#include "view/RecordFileRing.h"

namespace fs = std::filesystem;

namespace {

std::string NormalNative(const std::u16string& path) {
  std::string native = plat::toNativePath(path);
  std::error_code ec;
  std::string normal = fs::path(native).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

}  // namespace

const std::vector<int>& LocalSettingsController::PackSizes() {
  static const std::vector<int> sizes = {32, 64, 128, 256};
  return sizes;
}

void LocalSettingsController::ConfigureRing(const CLocalSettings::DiskFlags& flags, int circleVideo,
                                            int packSizeMB) {
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  ring->ClearDisks();  // a reload must not list the same disk twice
  ring->SetDisks(flags);
  ring->SetCircular(circleVideo);
  if (packSizeMB > 0) ring->SetPackSize(static_cast<unsigned>(packSizeMB) << 20);
}

void LocalSettingsController::LoadFromSettings() {
  const CLocalSettings* s = CLocalSettings::GetInstance();
  values_.downloadPath = s->GetDownLoadPath();
  values_.picturePath = s->GetPictureSavePath();
  values_.remoteCfgPath = s->GetRemoteCfgPath();
  values_.diskFlags = s->GetDiskFlags();
  values_.cycleInterval = s->GetCycleInterval();
  values_.circleVideo = s->GetCircleVideo();
  values_.packSizeMB = s->GetFilePackSize();
  ConfigureRing(values_.diskFlags, values_.circleVideo, values_.packSizeMB);
}

bool LocalSettingsController::IsValidFolder(const std::u16string& path) {
  if (path.empty()) return false;
  const std::string native = plat::toNativePath(path);
  struct stat st{};
  if (stat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  // Read-only: no write permission bit at all, or none for this process.
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(native.c_str(), W_OK) == 0;
}

void LocalSettingsController::CreateFolders(const std::u16string& path) {
  // Each prefix that ends just before a backslash, in order; the part after the last one is
  // not made. One that cannot be made (or a drive this machine lacks, which maps to no
  // absolute path) is refused by the check of the folder that follows.
  for (size_t at = path.find(u'\\'); at != std::u16string::npos; at = path.find(u'\\', at + 1)) {
    const std::string native = plat::toNativePath(path.substr(0, at));
    if (native.empty() || native.front() != '/') continue;
    std::error_code ec;
    if (!fs::exists(native, ec)) fs::create_directory(native, ec);
  }
}

bool LocalSettingsController::IsDriveRoot(const std::u16string& path) {
  const std::string normal = NormalNative(path);
  if (normal == "/") return true;
  for (const plat::Drive& d : plat::fixedDrives())
    if (normal == fs::path(d.root).lexically_normal().string()) return true;
  return false;
}

std::u16string LocalSettingsController::FromPickedFolder(const std::string& nativePath) {
  if (auto win = plat::toWindowsPath(nativePath)) return *win;
  return plat::utf8ToUtf16(nativePath);
}

LocalSettingsController::SaveResult LocalSettingsController::Save(const Form& form) {
  if (form.cycleIntervalText.empty()) return {IDS_BAD_CYCLE_INTERVAL, false};
  Values next = values_;
  next.downloadPath = form.downloadPath;
  next.picturePath = form.picturePath;
  next.circleVideo = form.circleVideo;
  // No pack size selected keeps the stored one.
  if (form.packSizeMB > 0) next.packSizeMB = form.packSizeMB;
  next.cycleInterval = plat::textToInt(form.cycleIntervalText);
  if (next.downloadPath.find(u"RecordFile") != std::u16string::npos)
    return {IDS_DOWNLOAD_IS_RECORD_FOLDER, false};
  if (IsDriveRoot(next.downloadPath)) return {IDS_DOWNLOAD_IS_ROOT, false};
  for (size_t i = 0; i < form.diskChecks.size() && i < next.diskFlags.size(); ++i)
    next.diskFlags[i] = form.diskChecks[i] ? 1 : 0;
  CreateFolders(next.downloadPath);
  CreateFolders(next.picturePath);
  if (!IsValidFolder(next.downloadPath)) return {IDS_BAD_DOWNLOAD_FOLDER, false};
  if (!IsValidFolder(next.picturePath)) return {IDS_BAD_PICTURE_FOLDER, false};
  if (next.downloadPath.back() != u'\\') next.downloadPath += u'\\';
  if (next.cycleInterval < kMinCycleInterval || next.cycleInterval > kMaxCycleInterval)
    return {IDS_BAD_CYCLE_INTERVAL, false};

  // The values are in use from here on, and the ring is told them, also when the settings
  // file refuses the write: that is said (else the settings would be lost at the next start
  // without a word).
  Store(next);
  SaveResult result;
  result.written = true;
  result.saved = CLocalSettings::GetInstance()->Save() != 0;
  result.notice = result.saved ? IDS_SAVED : IDS_SAVE_FAILED;
  ConfigureRing(values_.diskFlags, values_.circleVideo, values_.packSizeMB);
  return result;
}

void LocalSettingsController::Store(const Values& values) {
  values_ = values;
  CLocalSettings* s = CLocalSettings::GetInstance();
  s->SetDiskFlags(values_.diskFlags);
  s->SetDownLoadPath(values_.downloadPath);
  s->SetPictureSavePath(values_.picturePath);
  s->SetCircleVideo(values_.circleVideo);
  s->SetFilePackSize(values_.packSizeMB);
  s->SetCycleInterval(values_.cycleInterval);
}
