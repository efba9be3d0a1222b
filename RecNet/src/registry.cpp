#include "registry.h"

#include <array>
#include <map>
#include <mutex>

namespace recnet {

namespace {

constexpr int kLogins = 128, kSlots = 32;
constexpr int kStreamEntries = kLogins * kSlots;
constexpr int kIndexBits = 13;  // stream entries, then the logins
constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr uint32_t kGenerationMax = (1u << (31 - kIndexBits)) - 1;
static_assert(kStreamEntries + kLogins <= (1 << kIndexBits));

struct Entry {
  uint32_t generation = 0;
  Kind kind = Kind::Login;
  bool open = false;
};

std::mutex g_mutex;
std::array<Entry, kStreamEntries + kLogins> g_entries;
std::map<int32_t, LiveView> g_live;

// The entry of a library value: a login id (0..127) or a stream handle (user << 16 | slot).
int IndexOf(Kind kind, int32_t lib) {
  if (lib < 0) return -1;
  if (kind == Kind::Login) return lib < kLogins ? kStreamEntries + lib : -1;
  const int32_t user = lib >> 16, slot = lib & 0xFFFF;
  if (user >= kLogins || slot >= kSlots) return -1;
  return user * kSlots + slot;
}

int32_t LibOf(int index) {
  if (index >= kStreamEntries) return index - kStreamEntries;
  return ((index / kSlots) << 16) | (index % kSlots);
}

int32_t Compose(int index, uint32_t generation) {
  return static_cast<int32_t>((generation << kIndexBits) | static_cast<uint32_t>(index));
}

}  // namespace

int32_t Issue(Kind kind, int32_t libValue) {
  const int i = IndexOf(kind, libValue);
  if (i < 0) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  Entry& e = g_entries[i];
  e.generation = e.generation >= kGenerationMax ? 1 : e.generation + 1;
  e.kind = kind;
  e.open = true;
  return Compose(i, e.generation);
}

int32_t ToLib(int32_t handle, Kind kind) {
  if (handle <= 0) return -1;
  const uint32_t index = static_cast<uint32_t>(handle) & kIndexMask;
  if (index >= g_entries.size()) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  const Entry& e = g_entries[index];
  if (!e.open || e.kind != kind || Compose(static_cast<int>(index), e.generation) != handle)
    return -1;
  return LibOf(static_cast<int>(index));
}

int32_t ToOurs(int32_t libValue, Kind kind) {
  const int i = IndexOf(kind, libValue);
  if (i < 0) return -1;
  std::lock_guard<std::mutex> lock(g_mutex);
  const Entry& e = g_entries[i];
  return e.open && e.kind == kind ? Compose(i, e.generation) : -1;
}

void Retire(int32_t handle) {
  if (handle <= 0) return;
  const uint32_t index = static_cast<uint32_t>(handle) & kIndexMask;
  if (index >= g_entries.size()) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  Entry& e = g_entries[index];
  if (Compose(static_cast<int>(index), e.generation) == handle) e.open = false;
  g_live.erase(handle);
}

void RetireLogin(int32_t libUserId) {
  if (libUserId < 0 || libUserId >= kLogins) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_entries[kStreamEntries + libUserId].open = false;
  for (int slot = 0; slot < kSlots; ++slot) {
    const int i = libUserId * kSlots + slot;
    g_entries[i].open = false;
    g_live.erase(Compose(i, g_entries[i].generation));
  }
}

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

void ClearRegistry() {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (Entry& e : g_entries) e.open = false;  // generations stay: handles are never reused
  g_live.clear();
}

}  // namespace recnet
