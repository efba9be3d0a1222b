// Arbitrary recorder configuration records as the configuration window reads them: every
// page loads them and hands back what it shows. Whatever a page's own rules make of a record
// the first time (a PPPoE user name "admin", NTP switched off without a server), pages
// loaded again from what was handed back show it and hand back nothing new: nothing the
// device sent is misread, cut or changed by merely being shown.
//
// Input: byte 0 the number of alarm inputs, byte 1 of alarm outputs, byte 2 of channels
// (each 0..3), then the records one after the other in the order of ConfigRecords (zero-filled
// when the input is short).
#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "PageRegistry.h"
#include "Records.h"
#include "Session.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  template <size_t N>
  void Fill(pellmore::Record<N>& r) {
    const size_t n = size < N ? size : N;
    if (n) std::memcpy(r.bytes.data(), data, n);
    data += n;
    size -= n;
    r.readOk = true;
  }
};

std::vector<uint8_t> Bytes(const pellmore::ConfigRecords& r) {
  std::vector<uint8_t> out;
  auto add = [&](const auto& rec) { out.insert(out.end(), rec.bytes.begin(), rec.bytes.end()); };
  add(r.device), add(r.network), add(r.ddns), add(r.ntp);
  for (const auto& a : r.alarmIn) add(a);
  for (const auto& a : r.alarmOut) add(a);
  for (const auto& b : r.channels) add(b.picture), add(b.compression), add(b.schedule), add(b.decoder);
  return out;
}

// Every page made and loaded from the records, then asked for its changes; true when any
// page reported one.
bool LoadAndCollect(pellmore::ConfigRecords& records) {
  pellmore::PageContext context;
  context.records = &records;
  context.exchange = [](std::function<void(int32_t)>) {};
  // No configuration window: the OSD editor's picture message goes nowhere.
  context.window = 0;
  std::vector<std::unique_ptr<pellmore::ConfigPage>> pages;
  for (const pellmore::PageEntry& e : pellmore::PageTable()) {
    const pellmore::PageFactory make = pellmore::PageFactoryFor(e.bit);
    if (!make) continue;
    pages.emplace_back(make(nullptr));
    pages.back()->Load(context);
  }
  bool changed = false;
  for (auto& page : pages) changed |= page->CollectChanges(records);
  return changed;
}

}  // namespace

// The font configuration the platform loads once is never given back; it is the system's.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication app(*argc, *argv);
  pellmore::SetMessageBoxHandler([](QWidget*, const QString&, const QString&) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  pellmore::ConfigRecords records;
  records.alarmIn.resize(data[0] % 4);
  records.alarmOut.resize(data[1] % 4);
  records.channels.resize(data[2] % 4);
  for (size_t i = 0; i < records.channels.size(); ++i) records.channels[i].channel = static_cast<int>(i);
  Input in{data + 3, size - 3};
  in.Fill(records.device), in.Fill(records.network), in.Fill(records.ddns), in.Fill(records.ntp);
  for (auto& a : records.alarmIn) in.Fill(a);
  for (auto& a : records.alarmOut) in.Fill(a);
  for (auto& b : records.channels) in.Fill(b.picture), in.Fill(b.compression), in.Fill(b.schedule), in.Fill(b.decoder);
  // The counts the pages read from the device record agree with what the window holds.
  records.device.bytes[pellmore::kAlarmInCountAt] = static_cast<uint8_t>(records.alarmIn.size());
  records.device.bytes[pellmore::kAlarmOutCountAt] = static_cast<uint8_t>(records.alarmOut.size());
  records.device.bytes[pellmore::kChannelCountAt] = static_cast<uint8_t>(records.channels.size());

  LoadAndCollect(records);
  const std::vector<uint8_t> handedBack = Bytes(records);
  if (LoadAndCollect(records)) __builtin_trap();
  if (Bytes(records) != handedBack) __builtin_trap();
  return 0;
}
