#include "audio/stream_media.h"

#include <map>
#include <mutex>

namespace corvane {
namespace {
std::mutex g_mutex;
std::map<IPC_HANDLE, StreamMedia>& registry() {
  static std::map<IPC_HANDLE, StreamMedia> r;
  return r;
}
}  // namespace

void bindStreamMedia(IPC_HANDLE stream, StreamMedia media) {
  if (!stream) return;
  std::lock_guard lock(g_mutex);
  registry()[stream] = std::move(media);
}

void unbindStreamMedia(IPC_HANDLE stream) {
  StreamMedia gone;  // released outside the lock
  std::lock_guard lock(g_mutex);
  auto it = registry().find(stream);
  if (it == registry().end()) return;
  gone = std::move(it->second);
  registry().erase(it);
}

StreamMedia findStreamMedia(IPC_HANDLE stream) {
  std::lock_guard lock(g_mutex);
  auto it = registry().find(stream);
  return it == registry().end() ? StreamMedia{} : it->second;
}

}  // namespace corvane
