// Arbitrary bytes as a local recording of an IP camera or NVR: opened, played picture by
// picture (sound included, into the null audio device) and sought, as the local file player
// does.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "localplay/MediaFile.h"
#include "plat/audio.h"

extern "C" {
#include <libavutil/log.h>
}

using hollin::localplay::MediaFile;
using hollin::localplay::Picture;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_QUIET);
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    return true;
  }();
  (void)quiet;
  if (size > (1u << 20)) return 0;
  const int fd = memfd_create("recording", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  {
    auto file = MediaFile::Open("/proc/self/fd/" + std::to_string(fd));
    if (file) {
      Picture p;
      for (int i = 0; i < 64 && file->Next(p, true); ++i) {
      }
      file->SeekTo(file->Duration() / 2, p);
      file->Next(p, false);
      file->SeekTo(0, p);
    }
  }
  close(fd);
  return 0;
}
