#pragma once
// The makers of a family whose devices store recordings: the finder, the downloader and the
// remote playback of the family's own classes, each built from what the factory was given.
#include "Hollin/DevFamily.h"

namespace hollin {

template <class Base, class Finder, class Downloader, class Playback>
class RemoteFileMakers : public Base {
 public:
  CDevRemoteFileFinder* MakeFinder(IDevUserLogin* login, tagSearchFileCondition* c) override {
    return new Finder(login, c);
  }
  CDevRemoteFileDownloader* MakeDownloader(IDevUserLogin* login, const char* remote,
                                           const char* local) override {
    return new Downloader(login, remote, local);
  }
  CDevRemoteFileDownloader* MakeDownloader(IDevUserLogin* login, long channel, TIME* start,
                                           TIME* end, char* path) override {
    return new Downloader(login, channel, start, end, path);
  }
  CDevRemotePlayback* MakePlayback(IDevUserLogin* login, HWND window, const char* name) override {
    return new Playback(login, window, name);
  }
  CDevRemotePlayback* MakePlayback(IDevUserLogin* login, HWND window, long channel, TIME* start,
                                   TIME* end) override {
    return new Playback(login, window, channel, start, end);
  }
};

}  // namespace hollin
