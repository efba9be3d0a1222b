#include "Hollin/Factories.h"

#include <array>
#include <atomic>

#include "Hollin/DevFamily.h"
#include "plat/log.h"

namespace {

std::array<std::atomic<DevFamily*>, 5> g_families{};

DevFamily* FamilyOf(IDevUserLogin* login) {
  if (!login) return nullptr;
  return GetDevFamily(login->GetDevType());
}

// A handle a preview can be opened on: recorders of type 1 use SDK login ids (-1 none), the
// others library sessions (0 none).
bool Usable(int devType, DevHandle h) { return devType == DEV_TYPE_DVR ? h != -1 : h != 0 && h != -1; }

// Constructors of family objects may throw; nothing leaves the library.
template <class F>
auto Guarded(const char* what, F&& make) -> decltype(make()) {
  try {
    return make();
  } catch (const std::exception& e) {
    PLAT_LOGI("hollin", "%s refused: %s", what, e.what());
  } catch (...) {
    PLAT_LOGI("hollin", "%s refused", what);
  }
  return nullptr;
}

}  // namespace

DevFamily* SetDevFamily(int devType, DevFamily* family) {
  if (devType < 0 || devType >= static_cast<int>(g_families.size())) return nullptr;
  return g_families[static_cast<size_t>(devType)].exchange(family);
}

DevFamily* GetDevFamily(int devType) {
  if (devType != DEV_TYPE_DVR && devType != DEV_TYPE_IPC && devType != DEV_TYPE_NVR) return nullptr;
  return g_families[static_cast<size_t>(devType)].load();
}

IDevUserLogin* CDevUserLoginFactory::CreateDevUserLogin(CDevInfo* info) {
  if (!info) return nullptr;
  DevFamily* f = GetDevFamily(info->DevType);
  if (!f) return nullptr;
  return Guarded("login", [&] { return f->MakeLogin(info); });
}

void CDevUserLoginFactory::DeleteDevUserLogin(IDevUserLogin* login) { delete login; }

IDevPreview* CDevPreviewFactory::CreateDevPreview(IDevUserLogin* login, long channel) {
  DevFamily* f = FamilyOf(login);
  if (!f) return nullptr;
  int type = login->GetDevType();
  DevHandle h = login->GetLoginID(1);
  if (!Usable(type, h)) return nullptr;
  return Guarded("preview", [&] { return f->MakePreview(login, h, channel); });
}

// Every object is destroyed through its own destructor, whatever login is passed: an object
// is never leaked because its login went first.
void CDevPreviewFactory::DeleteDevPreview(IDevPreview* preview, IDevUserLogin*) { delete preview; }

IDevCtlPtz* CDevCtlPtzFactory::CreateDevCtlPtz(IDevUserLogin* login, long channel,
                                               IDevPreview* preview) {
  DevFamily* f = FamilyOf(login);
  if (!f || !preview) return nullptr;
  // An object made over no session (0) fails its commands.
  DevHandle h = login->GetLoginID(1);
  if (h == -1) return nullptr;
  return Guarded("ptz", [&] { return f->MakePtz(login, h, channel, preview, true); });
}

IDevCtlPtz* CDevCtlPtzFactory::CreateDevCtlPtz(IDevUserLogin* login, IDevPreview* preview) {
  DevFamily* f = FamilyOf(login);
  if (!f || !preview) return nullptr;
  DevHandle h = login->GetLoginID(1);
  if (h == -1) return nullptr;
  DevHandle real = -1;
  preview->GetRealHandle(&real);
  if (real == -1) return nullptr;
  return Guarded("ptz", [&] { return f->MakePtz(login, h, 1, preview, false); });
}

void CDevCtlPtzFactory::DeleteDevCtlPtz(IDevCtlPtz* ptz, IDevUserLogin*) { delete ptz; }

IDevConfig* CDevConfigFactory::CreateDevConfig(IDevUserLogin* login) {
  DevFamily* f = FamilyOf(login);
  if (!f) return nullptr;
  DevHandle h = login->GetLoginID(1);
  if (h == -1) return nullptr;
  return Guarded("config", [&] { return f->MakeConfig(login, h); });
}

void CDevConfigFactory::DeleteDevConfig(IDevConfig* config, IDevUserLogin*) { delete config; }

IDevAlarm* CDevAlarmFactory::CreateDevAlarm(IDevUserLogin* login) {
  if (!login || login->GetDevType() != DEV_TYPE_DVR) return nullptr;
  DevFamily* f = FamilyOf(login);
  if (!f) return nullptr;
  // Made whatever the login gives: without a login id the object only fails to arm.
  DevHandle h = login->GetLoginID(1);
  return Guarded("alarm", [&] { return f->MakeAlarm(login, h); });
}

void CDevAlarmFactory::DeleteDevAlarm(IDevAlarm* alarm, IDevUserLogin*) { delete alarm; }

IDevLocalPlayback* CDevLocalPlaybackFactory::CreateDevLocalPlayback(IDevUserLogin* login) {
  DevFamily* f = FamilyOf(login);
  if (!f) return nullptr;
  login->GetLoginID(1);  // the player needs no session, but every factory logs in first
  return Guarded("local playback", [&] { return f->MakeLocalPlayback(login); });
}

void CDevLocalPlaybackFactory::DeleteDevLocalPlayback(IDevLocalPlayback* player) { delete player; }

CDevRemoteFileFinder* CDevRemoteFileFinderFactory::CreateFinder(IDevUserLogin* login,
                                                                tagSearchFileCondition* cond) {
  DevFamily* f = FamilyOf(login);
  if (!f || !cond) return nullptr;
  return Guarded("finder", [&] { return f->MakeFinder(login, cond); });
}

CDevRemoteFileFinder* CDevRemoteFileFinderFactory::CreateFinder(IDevUserLogin*,
                                                                tagSearchEventCondition*) {
  return nullptr;
}

void CDevRemoteFileFinderFactory::DeleteFinder(CDevRemoteFileFinder* finder) { delete finder; }

CDevRemoteFileDownloader* CDevRemoteFileDownloaderFactory::CreateDownloader(
    IDevUserLogin* login, const char* remoteName, const char* localPath) {
  DevFamily* f = FamilyOf(login);
  if (!f || !remoteName || !localPath) return nullptr;
  return Guarded("downloader", [&] { return f->MakeDownloader(login, remoteName, localPath); });
}

CDevRemoteFileDownloader* CDevRemoteFileDownloaderFactory::CreateDownloader(
    IDevUserLogin* login, long channel, TIME* start, TIME* end, char* path) {
  DevFamily* f = FamilyOf(login);
  if (!f || !start || !end || !path) return nullptr;
  return Guarded("downloader",
                 [&] { return f->MakeDownloader(login, channel, start, end, path); });
}

void CDevRemoteFileDownloaderFactory::DeleteDownloader(CDevRemoteFileDownloader* d) { delete d; }

CDevRemotePlayback* CDevRemotePlaybackFactory::CreateRemotePlayback(IDevUserLogin* login,
                                                                    HWND window,
                                                                    const char* fileName) {
  DevFamily* f = FamilyOf(login);
  if (!f || !fileName) return nullptr;
  return Guarded("playback", [&] { return f->MakePlayback(login, window, fileName); });
}

CDevRemotePlayback* CDevRemotePlaybackFactory::CreateRemotePlayback(IDevUserLogin* login,
                                                                    HWND window, long channel,
                                                                    TIME* start, TIME* end) {
  DevFamily* f = FamilyOf(login);
  if (!f || !start || !end) return nullptr;
  return Guarded("playback", [&] { return f->MakePlayback(login, window, channel, start, end); });
}

void CDevRemotePlaybackFactory::DeleteRemotePlayback(CDevRemotePlayback* p) { delete p; }
