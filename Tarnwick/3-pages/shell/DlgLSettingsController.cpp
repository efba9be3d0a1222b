#include "shell/DlgLSettingsController.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "plat/paths.h"
#include "plat/text.h"
#include "shell/DiskHelpers.h"
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
  // One that cannot be made is refused by the check of the folder that follows.
  if (!path.empty()) MakeFolder(path);
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

  // A settings file that refuses the write keeps what it held, and so do the settings in
  // use: the page then shows what is stored.
  const Values before = values_;
  Store(next);
  SaveResult result;
  result.written = true;
  result.saved = CLocalSettings::GetInstance()->Save() != 0;
  if (!result.saved) Store(before);
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
