// Arbitrary FARLOOK_TARGETS texts, as an operator may set them: the plan always starts with
// the local search ports, holds no target twice, never a port 0, and nothing broadcast
// unless "broadcast" was asked for. Names never reach a name server: they resolve here, the
// same text to the same address, or not at all.
#include <cstdint>
#include <set>
#include <string>
#include <utility>

#include "Farlook.h"
#include "targets.h"

namespace {

bool FakeResolve(const std::string& host, uint32_t& address) {
  uint32_t h = 2166136261u;
  for (unsigned char c : host) h = (h ^ c) * 16777619u;
  if (h % 3 == 0) return false;
  address = 0x0A000000u | (h & 0xFFFF);  // never looked up, never sent to
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const farlook::Plan plan = farlook::PlanTargets(text, FakeResolve);
  if (plan.targets.size() < farlook::kLocalSearchPorts) __builtin_trap();
  for (int i = 0; i < farlook::kLocalSearchPorts; ++i)
    if (plan.targets[i].address != 0x7F000001u || plan.targets[i].port != FARLOOK_SEARCH_PORT + i) __builtin_trap();
  std::set<std::pair<uint32_t, uint16_t>> seen;
  for (const farlook::Target& t : plan.targets) {
    if (t.port == 0 || !seen.insert({t.address, t.port}).second) __builtin_trap();
    if (!plan.broadcast && t.address == 0xFFFFFFFFu) __builtin_trap();
  }
  if (plan.broadcast && text.find("broadcast") == std::string::npos) __builtin_trap();
  return 0;
}
