#include "shell/DeviceNote.h"

#include <map>
#include <mutex>

namespace {

constexpr size_t kMaxNotes = 1024;

std::mutex gNotesLock;
std::map<uintptr_t, DeviceNote> gNotes;
uintptr_t gNextNote = 1;

}  // namespace

uintptr_t AddDeviceNote(const std::u16string& deviceGuid, int channel, int alarmMark) {
  std::lock_guard<std::mutex> lock(gNotesLock);
  const uintptr_t id = gNextNote++;
  gNotes[id] = {deviceGuid, channel, alarmMark};
  while (gNotes.size() > kMaxNotes) gNotes.erase(gNotes.begin());
  return id;
}

bool TakeDeviceNote(uintptr_t id, DeviceNote* out) {
  std::lock_guard<std::mutex> lock(gNotesLock);
  auto it = gNotes.find(id);
  if (it == gNotes.end()) return false;
  if (out) *out = std::move(it->second);
  gNotes.erase(it);
  return true;
}

bool PostDeviceNote(plat::WindowHandle target, uint32_t message, const std::u16string& deviceGuid, int channel,
                    intptr_t lParam, int alarmMark) {
  if (!target) return false;
  const uintptr_t id = AddDeviceNote(deviceGuid, channel, alarmMark);
  if (plat::postMessage(target, message, id, lParam)) return true;
  TakeDeviceNote(id, nullptr);
  return false;
}
