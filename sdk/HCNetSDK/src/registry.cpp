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

namespace {
std::shared_ptr<DrawSlot> DrawSlotOf(int32_t handle) {
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = g_live.find(handle);
  return it == g_live.end() ? nullptr : it->second.draw;
}
}  // namespace

void SetLiveDraw(int32_t handle, SdkDrawFun fun, void* user) {
  std::shared_ptr<DrawSlot> slot = DrawSlotOf(handle);
  if (!slot) return;
  std::lock_guard<std::recursive_mutex> lock(slot->mu);
  slot->fun = fun;
  slot->user = user;
}

void CallLiveDraw(int32_t handle, intptr_t dc, int32_t width, int32_t height) {
  std::shared_ptr<DrawSlot> slot = DrawSlotOf(handle);
  if (!slot) return;
  std::lock_guard<std::recursive_mutex> lock(slot->mu);
  if (slot->fun) slot->fun(handle, dc, slot->user, 0, 0, width, height);
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
