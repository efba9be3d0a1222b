#pragma once
// Helpers of the file, log, control and PTZ tests.
#include <functional>

#include "fixture.h"
#include "plat/clock.h"
#include "protocol/connection.h"
#include "support/Wait.h"

namespace saxtrum_test {

inline int busySlots(saxtrum::DvrConnection& conn) {
  int n = 0;
  for (int i = 0; i < saxtrum::kSlotCount; ++i)
    n += conn.withSlot(i, [](saxtrum::RequestSlot& s) { return s.busy ? 1 : 0; });
  return n;
}

// Polls a condition, bounded in real time.
inline bool eventually(const std::function<bool()>& done) { return testsupport::Eventually(done); }

// The emulator, the library and one login.
class DvrLoggedInTest : public SaxtrumTest {
 protected:
  void SetUp() override {
    SaxtrumTest::SetUp();
    id = login();
    ASSERT_GE(id, 0);
  }
  int32_t id = -1;
};

}  // namespace saxtrum_test
