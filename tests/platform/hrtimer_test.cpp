// The periodic timer restarted from inside its own callback; the timer device's periods.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "plat/clock.h"
#include "plat/hrtimer.h"
#include "support/TimeScale.h"
#include "support/Wait.h"

namespace {

// A callback that starts its timer anew hands the ticking to one new thread: the thread it
// ran on ends instead of ticking on beside it.
TEST(PeriodicTimer, RestartedFromItsCallbackTicksOnOneThreadOnly) {
  testsupport::ScopedTimeScale fast(0.1);
  std::mutex mutex;
  std::set<std::thread::id> threads;
  std::atomic<int> ticks{0};
  std::function<void()> counting = [&] {
    {
      std::lock_guard<std::mutex> lk(mutex);
      threads.insert(std::this_thread::get_id());
    }
    ++ticks;
  };
  std::atomic<int> restarts{0};
  plat::PeriodicTimer t;
  ASSERT_TRUE(t.start(10, [&] {
    if (restarts++ == 0) t.start(10, counting);
  }));
  testsupport::Eventually([&] { return ticks >= 30; });
  t.stop();
  EXPECT_GE(ticks.load(), 30);
  EXPECT_EQ(restarts.load(), 1);
  std::lock_guard<std::mutex> lk(mutex);
  EXPECT_EQ(threads.size(), 1u);
}

TEST(TimerPeriods, OnlyPeriodsTheDeviceKeepsAreBegunAndEveryEndMatchesABegin) {
  plat::TimerCaps caps;
  ASSERT_TRUE(plat::timerCaps(&caps));
  EXPECT_GE(caps.periodMin, 1);
  EXPECT_GE(caps.periodMax, caps.periodMin);
  const int begun = plat::timerPeriodsBegun();
  EXPECT_FALSE(plat::beginTimerPeriod(0));
  EXPECT_FALSE(plat::beginTimerPeriod(caps.periodMax + 1));
  EXPECT_EQ(plat::timerPeriodsBegun(), begun);
  ASSERT_TRUE(plat::beginTimerPeriod(caps.periodMin));
  EXPECT_EQ(plat::timerPeriodsBegun(), begun + 1);
  EXPECT_TRUE(plat::endTimerPeriod(caps.periodMin));
  EXPECT_EQ(plat::timerPeriodsBegun(), begun);
  if (begun == 0) {
    EXPECT_FALSE(plat::endTimerPeriod(caps.periodMin)) << "an end without its begin";
  }
}

}  // namespace
