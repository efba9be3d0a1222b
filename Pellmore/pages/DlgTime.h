#pragma once
// "Time Setting": sets the device clock to the computer's local time.
#include <array>
#include <cstdint>
#include <ctime>

#include "PageRegistry.h"

namespace pellmore {

// The 24-byte time record: year, month, day, hour, minute, second as 32-bit values.
std::array<uint8_t, 24> TimeRecord(const std::tm& local);

class CDlgTime : public ConfigPage {
 public:
  explicit CDlgTime(QWidget* parent);
  void Load(PageContext& context) override { exchange_ = context.exchange; }
  bool CollectChanges(ConfigRecords&) override { return false; }
  void OnSyncTime();

 private:
  std::function<void(std::function<void(int32_t)>)> exchange_;
};

}  // namespace pellmore
