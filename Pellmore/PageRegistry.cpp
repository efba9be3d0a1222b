#include "PageRegistry.h"

#include <map>
#include <mutex>

namespace pellmore {

namespace {
std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}
std::map<uint32_t, PageFactory>& Factories() {
  static std::map<uint32_t, PageFactory> f;
  return f;
}
}  // namespace

const std::vector<PageEntry>& PageTable() {
  // Collect order: device information, display, video, record, motion, video loss, tamper,
  // privacy mask, network, PPPoE, NTP, DDNS, RS-485, alarm input, alarm output. Destroy order:
  // device, version, display, video, record, motion, video loss, mask, tamper, network,
  // PPPoE, DDNS, NTP, RS-485, alarm input, alarm output, time.
  static const std::vector<PageEntry> table = {
      {0x1, 4001, 4003, RecordMark::Device, 0, 0},
      {0x2, 4001, 4035, RecordMark::None, 100, 1},
      {0x4, 4002, 4004, RecordMark::None, 1, 2},
      {0x8, 4002, 4005, RecordMark::None, 2, 3},
      {0x10, 4002, 4006, RecordMark::None, 3, 4},
      {0x20, 4002, 4007, RecordMark::None, 4, 5},
      {0x40, 4002, 4008, RecordMark::None, 5, 6},
      {0x80, 4002, 4009, RecordMark::None, 6, 8},
      {0x100, 4002, 4010, RecordMark::None, 7, 7},
      {0x400, 4012, 4013, RecordMark::Network, 8, 9},
      {0x800, 4012, 4014, RecordMark::Network, 9, 10},
      {0x1000, 4012, 4015, RecordMark::Ddns, 11, 11},
      {0x2000, 4012, 4016, RecordMark::Ntp, 10, 12},
      {0x4000, 4017, 4018, RecordMark::None, 12, 13},
      {0x8000, 4019, 4020, RecordMark::None, 13, 14},
      {0x10000, 4019, 4021, RecordMark::None, 14, 15},
      {0x20000, 4205, 4211, RecordMark::None, 101, 16},
  };
  return table;
}

const PageEntry* FindPage(uint32_t bit) {
  for (const PageEntry& e : PageTable())
    if (e.bit == bit) return &e;
  return nullptr;
}

void RegisterPage(uint32_t bit, PageFactory factory) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  Factories()[bit] = std::move(factory);
}

PageFactory PageFactoryFor(uint32_t bit) {
  std::lock_guard<std::mutex> lock(RegistryLock());
  auto it = Factories().find(bit);
  return it != Factories().end() ? it->second : PageFactory{};
}

}  // namespace pellmore
