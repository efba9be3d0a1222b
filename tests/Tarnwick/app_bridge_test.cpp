// The alarm block pool and the device side's callbacks: blocks reused last in first out, a
// hard limit, callbacks from other threads that only post, and no block lost at shut-down.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>

#include "Hollin/Global.h"
#include "devices/DeviceManager.h"
#include "devices/MemoryPool.h"
#include "devices/TreeCtrlTarget.h"
#include "dvremu/emulator.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "settings_fixture.h"
#include "shell/AppMessages.h"
#include "shell/DeviceNote.h"
#include "view/DlgPreview.h"
#include "view/SystemBridge.h"

namespace {

TEST(MemoryPoolTest, GrowsToItsLimitThenRefusesAndReusesLastInFirstOut) {
  MemoryPool pool(kMsgBlockSize, kMsgBlocksAtStart, kMsgBlocksMax);
  EXPECT_EQ(pool.BlockSize(), 400);
  EXPECT_EQ(MemoryPool(401, 0, 0).BlockSize(), 408);
  EXPECT_EQ(pool.CreatedCount(), 100);
  std::set<void*> blocks;
  for (int i = 0; i < 300; ++i) blocks.insert(pool.Alloc());
  EXPECT_EQ(blocks.size(), 300u);
  EXPECT_EQ(pool.CreatedCount(), 300);
  try {
    pool.Alloc();
    ADD_FAILURE() << "a 301st block";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "MemoryPool exhausted");
  }
  void* a = *blocks.begin();
  void* b = *blocks.rbegin();
  pool.Free(a);
  pool.Free(b);
  EXPECT_EQ(pool.Alloc(), b);
  EXPECT_EQ(pool.Alloc(), a);
  for (void* block : blocks) pool.Free(block);
  EXPECT_EQ(pool.FreeCount(), 300);
}

class Bridge : public TempHomeTest {
 protected:
  void SetUp() override {
    TempHomeTest::SetUp();
    ASSERT_TRUE(StartSystem());
  }
  void TearDown() override {
    StopSystem();
    TempHomeTest::TearDown();
  }
};

TEST_F(Bridge, AllocatorHandsOutPoolBlocksUpToTheLimit) {
  ASSERT_NE(MsgBufferPool(), nullptr);
  std::vector<MsgAlarmInfo*> blocks;
  for (int i = 0; i < kMsgBlocksMax; ++i) {
    // The device layer asks through its registered allocator.
    MsgAlarmInfo* block = CQXGlobal::GetBuffer();
    ASSERT_NE(block, nullptr) << i;
    blocks.push_back(block);
  }
  EXPECT_EQ(CQXGlobal::GetBuffer(), nullptr) << "exhausted: the alarm is dropped";
  EXPECT_EQ(OutstandingMsgBuffers(), kMsgBlocksMax);
  FreeMsgBuffer(blocks.back());
  FreeMsgBuffer(blocks.back());  // a second give-back of the same block is ignored
  FreeMsgBuffer(nullptr);
  EXPECT_EQ(MsgBufferPool()->FreeCount(), 1);
  EXPECT_EQ(CQXGlobal::GetBuffer(), blocks.back());
  for (MsgAlarmInfo* block : blocks) FreeMsgBuffer(block);
  EXPECT_EQ(OutstandingMsgBuffers(), 0);
}

TEST_F(Bridge, CallbacksPostToThePreviewPageWhichGivesTheBlockBack) {
  // No page yet: the block goes straight back, the exception is ignored.
  MsgAlarmInfo* early = CQXGlobal::GetBuffer();
  ASSERT_NE(early, nullptr);
  CQXGlobal::HandleMsg(early);
  EXPECT_EQ(OutstandingMsgBuffers(), 0);

  QWidget main;
  CDlgPreview page;
  ASSERT_TRUE(page.Create(&main));
  SetDeviceMessageTarget(page.GetSafeHwnd());

  // From an SDK thread: the callback posts and returns without the UI thread's help.
  std::thread sdk([] {
    for (int i = 0; i < 3; ++i) CQXGlobal::HandleMsg(CQXGlobal::GetBuffer());
    OnDeviceExceptionCallback(0, -1, 0, nullptr);
  });
  sdk.join();
  EXPECT_EQ(OutstandingMsgBuffers(), 3) << "posted, not yet handled";
  harness::Pump();
  EXPECT_EQ(OutstandingMsgBuffers(), 0) << "the page's handler gave every block back";
  EXPECT_EQ(page.OnDeviceAlarm(nullptr), -1);

  // Posted to a page that goes away before the messages run: shut-down takes them back.
  std::thread late([] { CQXGlobal::HandleMsg(CQXGlobal::GetBuffer()); });
  late.join();
  SetDeviceMessageTarget(0);
  EXPECT_EQ(OutstandingMsgBuffers(), 1);
  StopSystem();
  EXPECT_EQ(MsgBufferPool(), nullptr);
  EXPECT_EQ(OutstandingMsgBuffers(), 0);
  EXPECT_EQ(CQXGlobal::GetBuffer(), nullptr) << "no allocator after shut-down";
  ASSERT_TRUE(StartSystem());
}

TEST_F(Bridge, ExceptionsArePostedWithTheLoginIdOnly) {
  std::vector<std::pair<uint32_t, uintptr_t>> seen;
  auto dispatcher = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle target = plat::registerWindow(
      [&](uint32_t m, uintptr_t w, intptr_t) {
        seen.emplace_back(m, w);
        return 0;
      },
      dispatcher);
  SetDeviceMessageTarget(target);
  std::thread sdk([] {
    CQXGlobal::HandleException(0x8000, 7, 3, nullptr);
    OnDeviceExceptionCallback(0x8000, -1, 3, nullptr);
  });
  sdk.join();
  dispatcher->pump(1000);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, WM_DEVICE_EXCEPTION);
  EXPECT_EQ(seen[0].second, 7u);
  SetDeviceMessageTarget(0);
  plat::unregisterWindow(target);
}

TEST(BridgeWithoutStart, StopSystemStopsOnlyWhatExists) {
  StopSystem();
  StopSystem();
  EXPECT_EQ(MsgBufferPool(), nullptr);
  EXPECT_EQ(AllocMsgBuffer(), nullptr);
}

}  // namespace

namespace {

// A recorder on the recorder emulator in the device list, and a preview page that receives
// the device side's messages.
class RecorderBridge : public Bridge {
 protected:
  void SetUp() override {
    Bridge::SetUp();
    ASSERT_TRUE(emu.start());
    // By the loopback's name, as the demo folder has it.
    CDevInfo info(u"Recorder", u"localhost", emu.port(), u"admin", u"12345", 4, u"", u"", u"", u"", 0, 0,
                  DEV_TYPE_DVR, u"{0}", u"");
    device = new CDevice(info);
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(device));
    ASSERT_TRUE(page.Create(&main));
    SetDeviceMessageTarget(page.GetSafeHwnd());
    // The page shows alarms of devices its tree holds.
    node.object = device;
    auto* item = new QTreeWidgetItem(page.GetDeviceTree(), QStringList{QStringLiteral("Recorder")});
    item->setData(0, kTreeNodeRole, QVariant::fromValue<quintptr>(reinterpret_cast<quintptr>(&node)));
  }
  void TearDown() override {
    SetDeviceMessageTarget(0);
    page.GetDeviceTree()->clear();
    harness::ResetServices();
    emu.stop();
    Bridge::TearDown();
  }
  // Runs the UI thread's messages until `done` holds (bounded).
  template <class Done>
  static void PumpUntil(Done done) {
    for (int i = 0; i < 600 && !done(); ++i) {
      harness::Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  dvremu::Emulator emu;
  CDevice* device = nullptr;
  DeviceTreeNode node{DeviceTreeNode::kDevice, nullptr};
  QWidget main;
  CDlgPreview page;
};

// The road of a recorder alarm: the recorder emulator pushes it, the device layer fills a
// block from the program's pool on its receive thread, the bridge posts it to the preview
// page, whose handler marks the channels and gives the block back.
TEST_F(RecorderBridge, AlarmReachesThePreviewPageAndItsBlockComesBack) {
  IDevAlarm* alarm = device->GetAlarm(1);
  ASSERT_NE(alarm, nullptr);
  ASSERT_TRUE(alarm->SetupAlarmChan());
  device->SetAlarmState(1);
  auto armed = emu.requests(dvremu::kSetAlarm);
  ASSERT_EQ(armed.size(), 1u);
  std::array<uint8_t, 16> bits{};
  bits[2] = 0x02;  // motion on channel 3
  ASSERT_TRUE(emu.pushAlarm(armed[0].handle, dvremu::alarmRecord("DVR-EMU-0001", "front", "127.0.0.1", bits)));

  CChannel* third = CDeviceManager::GetInstance()->GetChannel(device, 3);
  PumpUntil([&] { return third->GetAlarmFlag() != 0; });
  EXPECT_EQ(third->GetAlarmFlag(), 1);
  EXPECT_EQ(CDeviceManager::GetInstance()->GetChannel(device, 2)->GetAlarmFlag(), 0);
  EXPECT_FALSE(device->HasChannel(5)) << "no channels beyond the device's four";
  ASSERT_EQ(page.GetAlarmList()->topLevelItemCount(), 1);
  EXPECT_EQ(page.GetAlarmList()->topLevelItem(0)->text(1),
            QStringLiteral("Motion Detect:User:admin Device:Recorder IP:127.0.0.1 Chn3 "));
  EXPECT_EQ(OutstandingMsgBuffers(), 0);
  EXPECT_EQ(MsgBufferPool()->FreeCount(), kMsgBlocksAtStart);
}

// A recorder that drops its connection: the SDK's exception reaches the preview page by a
// posted message and the device is released and logged out; a reboot asked through the
// page reaches the recorder and logs the device out too.
TEST_F(RecorderBridge, LostConnectionAndRebootLogTheRecorderOut) {
  IDevUserLogin* login = device->GetUserLogin(1);
  ASSERT_NE(login, nullptr);
  ASSERT_GE(login->GetLoginID(1), 0);
  emu.closeConnections();
  PumpUntil([&] { return !login->IsLogin(); });
  EXPECT_FALSE(login->IsLogin()) << "the exception logged the device out";

  ASSERT_GE(login->GetLoginID(1), 0);
  SendWidgetMessage(&page, WM_DEVICE_REBOOT, AddDeviceNote(device->GetGuid(), 0), 0);
  EXPECT_TRUE(emu.waitForRequests(dvremu::kReboot, 1));
  PumpUntil([&] { return !login->IsLogin(); });  // the logout follows the reboot on the device's queue
  EXPECT_FALSE(login->IsLogin());
  CDevice stranger;
  EXPECT_EQ(SendWidgetMessage(&page, WM_DEVICE_REBOOT, AddDeviceNote(stranger.GetGuid(), 0), 0), 0)
      << "a device that is not in the list is left alone";
}

}  // namespace
