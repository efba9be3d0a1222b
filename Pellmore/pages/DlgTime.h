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
  void Load(PageContext& context) override { login_ = context.loginHandle; }
  bool CollectChanges(ConfigRecords&) override { return false; }
  void OnSyncTime();

 private:
  int32_t login_ = -1;
};

}  // namespace pellmore
