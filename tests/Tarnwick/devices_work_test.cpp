// The device queues: order per device, a hung device holding up only itself, results on the
// UI thread while their owner lives, retiring a device after its work in progress and
// refusing its work from then on, and workers that end when idle.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "devices/DeviceWork.h"
#include "harness/DeviceWorkWait.h"
#include "plat/event.h"
#include "support/Wait.h"

namespace {

struct Log {
  std::mutex mu;
  std::vector<int> entries;
  void Add(int v) {
    std::lock_guard<std::mutex> lock(mu);
    entries.push_back(v);
  }
  std::vector<int> Get() {
    std::lock_guard<std::mutex> lock(mu);
    return entries;
  }
};

TEST(DeviceWork, OneDeviceKeepsItsOrderAndAHungDeviceHoldsUpOnlyItself) {
  devwork::Owner owner;
  Log work, results;
  plat::Event release(true, false);
  std::atomic<bool> onUi{true};
  QThread* ui = QThread::currentThread();

  // The first device hangs in its first command; its later commands wait behind it.
  devwork::Run(u"hung", [&] { release.wait(60000); });
  devwork::Run<int>(
      u"hung", [&] { return work.Add(100), 100; }, [&](int v) { results.Add(v); }, owner, -1);

  for (int i = 0; i < 20; ++i)
    devwork::Run<int>(
        u"alive",
        [&, i] {
          if (QThread::currentThread() == ui) onUi = false;
          work.Add(i);
          return i;
        },
        [&](int v) {
          if (QThread::currentThread() != ui) onUi = false;
          results.Add(v);
        },
        owner, -1);

  ASSERT_TRUE(testsupport::Eventually([&] {
    QCoreApplication::processEvents();
    return results.Get().size() == 20;
  }));
  std::vector<int> expected;
  for (int i = 0; i < 20; ++i) expected.push_back(i);
  EXPECT_EQ(results.Get(), expected);
  EXPECT_EQ(work.Get(), expected);
  EXPECT_TRUE(onUi) << "work ran on the UI thread or a result did not";

  release.set();
  ASSERT_TRUE(harness::SettleDeviceWork());
  expected.push_back(100);
  EXPECT_EQ(results.Get(), expected);
}

TEST(DeviceWork, AResultWhoseOwnerIsGoneIsDropped) {
  auto owner = std::make_unique<devwork::Owner>();
  plat::Event release(true, false);
  bool delivered = false;
  devwork::Run(u"dev", [&] { release.wait(60000); }, [&] { delivered = true; }, *owner);
  owner.reset();  // the page closes while its request is on its way
  release.set();
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_FALSE(delivered);
}

TEST(DeviceWork, RetiringDropsWhatWaitsButReleasesAndEndsAfterTheWorkInProgress) {
  devwork::Owner owner;
  plat::Event started(true, false), release(true, false);
  Log log;
  devwork::Run(u"gone", [&] {
    started.set();
    release.wait(60000);
    log.Add(1);
  });
  bool queuedRan = false, queuedDelivered = false;
  devwork::Run(u"gone", [&] { queuedRan = true; }, [&] { queuedDelivered = true; }, owner);
  // A caller waiting for an answer to work dropped at the retirement gets its refusal.
  int droppedAnswer = 0;
  devwork::Ask<int>(u"gone", [] { return 1; }, [&](int v) { droppedAnswer = v; }, owner, -2);
  // What a page still holds on the device is let go before the device goes.
  devwork::RunRelease(u"gone", [&] { log.Add(6); });
  ASSERT_TRUE(started.wait(30000));

  devwork::Retire(u"gone", [&] { log.Add(2); });
  // From then on the device's queue refuses work of every kind, and a caller that waits for
  // an answer gets its refusal as one.
  EXPECT_FALSE(devwork::Run(u"gone", [&] { log.Add(7); }));
  EXPECT_FALSE(devwork::RunRelease(u"gone", [&] { log.Add(7); }));
  int answer = 0;
  EXPECT_FALSE(devwork::Ask<int>(u"gone", [] { return 1; }, [&](int v) { answer = v; }, owner, -1));
  // Listed again (a deletion undone), it takes work, which waits until the retired device is
  // gone; a second retirement drops it in turn and ends after the first.
  devwork::Reopen(u"gone");
  EXPECT_TRUE(devwork::Run(u"gone", [&] { log.Add(3); }));
  devwork::Retire(u"gone", [&] { log.Add(4); });
  devwork::Reopen(u"gone");
  EXPECT_TRUE(devwork::Run(u"gone", [&] { log.Add(5); }));
  EXPECT_TRUE(log.Get().empty());

  release.set();
  ASSERT_TRUE(harness::SettleDeviceWork());
  devwork::Drain();
  EXPECT_EQ(log.Get(), (std::vector<int>{1, 6, 2, 4, 5}));
  EXPECT_FALSE(queuedRan);
  EXPECT_FALSE(queuedDelivered);
  EXPECT_EQ(answer, -1);
  EXPECT_EQ(droppedAnswer, -2);
  EXPECT_EQ(devwork::Pending(), 0);
}

TEST(DeviceWork, AJobThatThrowsAnswersItsFailureNeverASuccess) {
  // The first value of a result type is often its success: a job that throws must not leave
  // its result at that.
  enum class Opened { kOk, kFailed };
  devwork::Owner owner;
  std::vector<Opened> asked, ran;
  auto throwing = []() -> Opened { throw std::runtime_error("device library failed"); };
  devwork::Ask<Opened>(u"thrower", throwing, [&](Opened o) { asked.push_back(o); }, owner, Opened::kFailed);
  devwork::Run<Opened>(u"thrower", throwing, [&](Opened o) { ran.push_back(o); }, owner, Opened::kFailed);
  // The queue goes on with the next work.
  devwork::Ask<Opened>(
      u"thrower", [] { return Opened::kOk; }, [&](Opened o) { asked.push_back(o); }, owner, Opened::kFailed);
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(asked, (std::vector<Opened>{Opened::kFailed, Opened::kOk}));
  EXPECT_EQ(ran, (std::vector<Opened>{Opened::kFailed}));
}

TEST(DeviceWork, RetiringADeviceThatNeverWorkedEndsItAtOnce) {
  bool ended = false;
  devwork::Retire(u"idle", [&] { ended = true; });
  EXPECT_TRUE(ended);
}

TEST(DeviceWork, DrainRunsWhatIsQueuedAndEndsEveryWorker) {
  Log log;
  for (int i = 0; i < 5; ++i) devwork::Run(u"a", [&, i] { log.Add(i); });
  devwork::Retire(u"b", nullptr);
  devwork::Drain();
  EXPECT_EQ(log.Get(), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_FALSE(devwork::OnWorker());
  // The queues work again afterwards, those of retired devices too.
  bool again = false;
  EXPECT_TRUE(devwork::Run(u"a", [&] { again = devwork::OnWorker(); }));
  EXPECT_TRUE(devwork::Run(u"b", [] {}));
  devwork::Drain();
  EXPECT_TRUE(again);
}

// A worker whose queue stays empty ends; the next work starts another. Work posted while a
// worker decides to end is neither lost nor run out of order: the posts below come one at a
// time, each after the one before ran, spaced around the idle time, so many land just as a
// worker ends, and one stranded there would never run.
TEST(DeviceWork, AnIdleWorkerEndsAndTheNextWorkStartsAnother) {
  struct Scale {
    double before = plat::timeScale();
    Scale() { plat::setTimeScale(0.001); }  // the idle time becomes a few milliseconds
    ~Scale() { plat::setTimeScale(before); }
  } scale;
  Log log;
  devwork::Run(u"idle", [&] { log.Add(0); });
  ASSERT_TRUE(testsupport::Eventually([] { return devwork::Workers() == 0; })) << "an idle worker lives on";
  EXPECT_EQ(log.Get(), std::vector<int>{0});

  std::vector<int> expected{0};
  plat::Event ran(false, false);
  for (int i = 1; i <= 150; ++i) {
    if (i % 3 == 0) {
      ASSERT_TRUE(devwork::Run(u"idle", [&, i] { log.Add(-i); }));
      expected.push_back(-i);
    }
    ASSERT_TRUE(devwork::Run(u"idle", [&, i] {
      log.Add(i);
      ran.set();
    }));
    expected.push_back(i);
    ASSERT_TRUE(ran.wait(testsupport::ProductMsLasting())) << "lost at " << i;
    // The idle time is 5 ms here: the next post comes 3.5 to 6.5 ms after this one ran.
    std::this_thread::sleep_for(std::chrono::microseconds(3500 + (i * 397) % 3000));
  }
  EXPECT_EQ(log.Get(), expected);
  ASSERT_TRUE(testsupport::Eventually([] { return devwork::Workers() == 0; }));

  // A device retired while its worker is gone still ends on its queue.
  bool ended = false;
  devwork::Retire(u"idle", [&] { ended = devwork::OnWorker(); });
  devwork::Drain();
  EXPECT_TRUE(ended);
  EXPECT_EQ(devwork::Pending(), 0);
}

}  // namespace
