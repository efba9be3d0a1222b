#include "video/display_stream.h"

#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace corvane {
namespace {

std::shared_mutex g_mutex;
std::unordered_map<IPC_HANDLE, DisplayStream*> g_streams;

}  // namespace

void registerDisplayStream(IPC_HANDLE handle, DisplayStream* stream) {
  if (!handle || !stream) return;
  std::unique_lock<std::shared_mutex> lk(g_mutex);
  g_streams[handle] = stream;
}

void unregisterDisplayStream(IPC_HANDLE handle) {
  std::unique_lock<std::shared_mutex> lk(g_mutex);
  g_streams.erase(handle);
}

int withDisplayStream(IPC_HANDLE handle, const std::function<int(DisplayStream&)>& fn,
                      int fallback) {
  std::shared_lock<std::shared_mutex> lk(g_mutex);
  auto it = g_streams.find(handle);
  if (it == g_streams.end() || !it->second) return fallback;
  return fn(*it->second);
}

}  // namespace corvane
