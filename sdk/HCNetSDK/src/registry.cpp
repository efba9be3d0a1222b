#include "registry.h"

#include <map>
#include <mutex>
#include <set>

namespace hcnet {

namespace {
std::mutex g_mutex;
std::map<int32_t, LiveView> g_live;
std::set<int32_t> g_downloads;
}  // namespace

void AddLive(int32_t handle, const LiveView& live) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_live[handle] = live;
}

bool FindLive(int32_t handle, LiveView* out) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_live.find(handle);
  if (it == g_live.end()) return false;
  if (out) *out = it->second;
  return true;
}

void SetLiveData(int32_t handle, SdkRealDataCallBack cb, void* user) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_live.find(handle);
  if (it == g_live.end()) return;
  it->second.data = cb;
  it->second.dataUser = user;
}

void SetLiveDraw(int32_t handle, SdkDrawFun fun, void* user) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_live.find(handle);
  if (it == g_live.end()) return;
  it->second.draw = fun;
  it->second.drawUser = user;
}

void RemoveLive(int32_t handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_live.erase(handle);
}

void AddDownload(int32_t handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_downloads.insert(handle);
}

bool IsDownload(int32_t handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_downloads.count(handle) != 0;
}

void RemoveDownload(int32_t handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_downloads.erase(handle);
}

void ClearRegistry() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_live.clear();
  g_downloads.clear();
}

}  // namespace hcnet
