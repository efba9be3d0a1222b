#pragma once
// The factories: the only way the program makes device objects, and the matching deleters.
// Every factory reports failure as a null result and never throws.
#include "Hollin/DevInfo.h"
#include "Hollin/Interfaces.h"

class CDevUserLoginFactory {
 public:
  static IDevUserLogin* CreateDevUserLogin(CDevInfo* info);
  static void DeleteDevUserLogin(IDevUserLogin* login);
};

class CDevPreviewFactory {
 public:
  static IDevPreview* CreateDevPreview(IDevUserLogin* login, long channel);
  static void DeleteDevPreview(IDevPreview* preview, IDevUserLogin* login);
};

class CDevCtlPtzFactory {
 public:
  static IDevCtlPtz* CreateDevCtlPtz(IDevUserLogin* login, long channel, IDevPreview* preview);
  static IDevCtlPtz* CreateDevCtlPtz(IDevUserLogin* login, IDevPreview* preview);
  static void DeleteDevCtlPtz(IDevCtlPtz* ptz, IDevUserLogin* login);
};

class CDevConfigFactory {
 public:
  static IDevConfig* CreateDevConfig(IDevUserLogin* login);
  static void DeleteDevConfig(IDevConfig* config, IDevUserLogin* login);
};

class CDevAlarmFactory {
 public:
  static IDevAlarm* CreateDevAlarm(IDevUserLogin* login);
  static void DeleteDevAlarm(IDevAlarm* alarm, IDevUserLogin* login);
};

class CDevLocalPlaybackFactory {
 public:
  static IDevLocalPlayback* CreateDevLocalPlayback(IDevUserLogin* login);
  static void DeleteDevLocalPlayback(IDevLocalPlayback* player);
};

class CDevRemoteFileFinderFactory {
 public:
  static CDevRemoteFileFinder* CreateFinder(IDevUserLogin* login, tagSearchFileCondition* cond);
  static CDevRemoteFileFinder* CreateFinder(IDevUserLogin* login, tagSearchEventCondition* cond);
  static void DeleteFinder(CDevRemoteFileFinder* finder);
};

class CDevRemoteFileDownloaderFactory {
 public:
  static CDevRemoteFileDownloader* CreateDownloader(IDevUserLogin* login, const char* remoteName,
                                                    const char* localPath);
  static CDevRemoteFileDownloader* CreateDownloader(IDevUserLogin* login, long channel,
                                                    TIME* start, TIME* end, char* path);
  static void DeleteDownloader(CDevRemoteFileDownloader* downloader);
};

class CDevRemotePlaybackFactory {
 public:
  static CDevRemotePlayback* CreateRemotePlayback(IDevUserLogin* login, HWND window,
                                                  const char* fileName);
  static CDevRemotePlayback* CreateRemotePlayback(IDevUserLogin* login, HWND window,
                                                  long channel, TIME* start, TIME* end);
  static void DeleteRemotePlayback(CDevRemotePlayback* playback);
};
