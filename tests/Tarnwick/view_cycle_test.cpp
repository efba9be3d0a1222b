// Cycle preview over fake device families: the rotation and its interval driven tick by tick,
// a member whose device cannot log in, pause, resume and stop while the worker ticks, a
// device deleted under a running cycle, and the running count.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <fstream>
#include <functional>

#include "devices/DeviceManager.h"
#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "plat/clock.h"
#include "plat/qtwindow.h"
#include "shell/DeviceNote.h"
#include "shell/LocalSettings.h"
#include "support/FakeDevices.h"
#include "support/TestFolder.h"
#include "support/TimeScale.h"
#include "view/CyclePreview.h"
#include "view/LiveViewWork.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"
#include "view/ViewMessages.h"

namespace {

bool RunUntil(const std::function<bool()>& done, int realMs = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < realMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents();
  }
  return done();
}

struct CycleTest : ::testing::Test {
  testsupport::TestFolder home;
  fake::Families families;
  fake::Family unreachable{4, 0};  // NVR logins never succeed
  DevFamily* savedNvr = nullptr;
  QWidget page;
  QObject pageContext;
  CPlayScreen* screen = nullptr;
  CCyclePreviewManager* cycles = nullptr;  // the program's own, as the play windows reach it
  std::vector<std::pair<uint32_t, DeviceNote>> notes;  // what the page heard, in order

  void SetUp() override {
    setenv("TARNWICK_HOME", home.path().c_str(), 1);
    savedNvr = SetDevFamily(4, &unreachable);
    page.resize(400, 300);
    screen = new CPlayScreen(0, &page);
    screen->setGeometry(0, 0, 400, 300);
    page.show();
    CPreviewManager::GetInstance()->SetPlayScreen(screen);
    cycles = CCyclePreviewManager::GetInstance();
    cycles->SetPlayScreen(screen);
    cycles->SetTickPeriod(0);  // the test is the clock
    const plat::WindowHandle pageWnd = plat::registerWindow(
        [this](uint32_t m, uintptr_t w, intptr_t) -> intptr_t {
          DeviceNote n;
          if ((m == WM_CYCLE_SWITCH || m == WM_CYCLE_NO_PREVIEW) && TakeDeviceNote(w, &n)) notes.push_back({m, n});
          return 0;
        },
        plat::qtDispatcher(&pageContext));
    cycles->SetPage(pageWnd, nullptr, nullptr);
    Add(u"CAM-A", DEV_TYPE_IPC);
    Add(u"NVR-B", DEV_TYPE_NVR);
    Add(u"CAM-C", DEV_TYPE_IPC);
  }

  void TearDown() override {
    harness::ResetServices();
    SetDevFamily(4, savedNvr);
    unsetenv("TARNWICK_HOME");
  }

  static void Add(const std::u16string& guid, int type) {
    CDevInfo info(guid, u"127.0.0.1" + guid, 8000, u"admin", u"admin", 4, u"", u"", u"", u"", 0, 0, type, guid,
                  u"R");
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(info)));
  }
  static CDevice* Dev(const std::u16string& guid) { return CDeviceManager::GetInstance()->FindDevice(guid, 1); }

  // "guid/channel" of what window w shows, "" when nothing.
  static std::string Shown(int w) {
    PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(w);
    if (!item) return "";
    std::string g(item->GetDeviceGuid().begin(), item->GetDeviceGuid().end());
    return g + "/" + std::to_string(item->GetChannel());
  }

  static int Count(const std::string& entry) {
    int n = 0;
    for (const auto& e : fake::Journal()) n += e == entry;
    return n;
  }

  // One tick; when it should switch, runs the UI until the switch has happened.
  int steps = 0;
  void Tick(int window, bool switches) {
    CCyclePreviewNode* node = cycles->FindByWindow(window);
    ASSERT_NE(node, nullptr);
    ASSERT_TRUE(node->InjectTick());
    if (switches) {
      ++steps;
      ASSERT_TRUE(RunUntil([&] { return cycles->StepsHandled() == steps; })) << "step " << steps;
      // The switch starts the channel on its device's queue; then the notes reach the page.
      ASSERT_TRUE(harness::SettleDeviceWork());
      QCoreApplication::processEvents();
    }
  }
};

TEST_F(CycleTest, RotatesAtTheIntervalAndSkipsAMemberThatCannotLogInForTheRound) {
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 2, 3, Dev(u"CAM-A"), 1), 1);
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 2, 3, Dev(u"NVR-B"), 1), 1);
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 2, 3, Dev(u"CAM-A"), 2), 1);
  EXPECT_EQ(Shown(2), "") << "nothing plays before the cycle is resumed";
  ASSERT_TRUE(cycles->ResumeByWindow(2));

  std::vector<std::string> seen;
  for (int tick = 0; tick < 13; ++tick) {
    Tick(2, tick % 3 == 0);
    if (tick % 3 == 0) {
      seen.push_back(Shown(2));
      // The item of the previous channel was removed, not left behind.
      EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 1) << "tick " << tick;
    }
  }
  EXPECT_EQ(cycles->StepsHandled(), 5) << "a tick between the switches switched";
  EXPECT_EQ(seen, (std::vector<std::string>{"CAM-A/1", "CAM-A/2", "CAM-A/1", "CAM-A/2", "CAM-A/1"}));

  // The recorder was tried once per round (two rounds reached it), never at every tick.
  int tried = 0;
  for (const auto& e : fake::Journal()) tried += e == "login.login";
  EXPECT_EQ(tried, 1 + 2) << "camera once, recorder once per round";
  // The page hears of each switch through posted messages that may still be queued when the
  // step is counted: one for the first channel shown, then per switch one for the channel
  // leaving, one for the recorder skipped (twice) and one for the channel coming.
  ASSERT_TRUE(RunUntil([&] { return notes.size() >= 1 + 4 * 2 + 2; })) << notes.size() << " notes";
  RunUntil([] { return false; }, 50);  // nothing more arrives
  EXPECT_EQ(notes.size(), 11u);
  int noPreview = 0;
  for (const auto& [m, n] : notes)
    if (m == WM_CYCLE_NO_PREVIEW) {
      ++noPreview;
      EXPECT_EQ(n.deviceGuid, u"NVR-B");
      EXPECT_EQ(n.channel, 1);
    }
  EXPECT_EQ(noPreview, 2);
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes.back().first, WM_CYCLE_SWITCH);
  EXPECT_EQ(notes.back().second.deviceGuid, u"CAM-A");
  EXPECT_EQ(notes.back().second.channel, 1);

  // Stopping ends the worker and takes the shown channel off the window.
  EXPECT_TRUE(cycles->StopByName(u"G"));
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  EXPECT_EQ(cycles->GetRunCount(), 0);
  EXPECT_FALSE(cycles->StopByName(u"G"));
}

TEST_F(CycleTest, PauseResumeAndStopFromTheUiThreadWhileTheWorkerTicks) {
  testsupport::ScopedTimeScale scale(0.002);  // a tick every 2 ms
  cycles->SetTickPeriod(CCyclePreviewManager::kTickMs);
  for (int w : {0, 1}) {
    ASSERT_EQ(cycles->AddChannelToCycle(u"G" + std::u16string(1, u'0' + w), w, 1, Dev(u"CAM-A"), w + 1), 1);
    ASSERT_EQ(cycles->AddChannelToCycle(u"G" + std::u16string(1, u'0' + w), w, 1, Dev(u"CAM-C"), w + 1), 1);
    ASSERT_TRUE(cycles->ResumeByWindow(w));
  }
  ASSERT_TRUE(RunUntil([&] { return cycles->StepsHandled() > 20; }));
  for (int i = 0; i < 50; ++i) {
    cycles->SuspendAll();
    cycles->SuspendAll();  // pauses do not stack: one resume is enough
    QCoreApplication::processEvents();
    const int paused = cycles->StepsHandled();
    plat::sleepMs(20);
    QCoreApplication::processEvents();
    ASSERT_EQ(cycles->StepsHandled(), paused) << "a paused cycle switched";
    cycles->ResumeAll();
    const int resumed = cycles->StepsHandled();
    ASSERT_TRUE(RunUntil([&] { return cycles->StepsHandled() > resumed; })) << "one resume did not undo two pauses";
  }
  EXPECT_TRUE(cycles->StopByWindow(0));
  EXPECT_EQ(cycles->GetRunCount(), 1);
  cycles->DeleteAll();
  EXPECT_EQ(cycles->GetRunCount(), 0);
  RunUntil([] { return false; }, 50);  // steps still queued find no node
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
}

TEST_F(CycleTest, DeletingADeviceStopsItsCyclesFirstAndAGoneMemberLeavesTheRotation) {
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 0, 1, Dev(u"CAM-A"), 1), 1);
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 0, 1, Dev(u"CAM-C"), 1), 1);
  ASSERT_TRUE(cycles->ResumeByWindow(0));
  Tick(0, true);
  ASSERT_EQ(Shown(0), "CAM-A/1");

  // A device deleted behind the cycle's back (the list lets go of it and its items): the next
  // switch drops its member and goes on with the rest.
  ASSERT_TRUE(CDeviceManager::GetInstance()->Remove(Dev(u"CAM-A")));
  EXPECT_EQ(Shown(0), "");
  for (int i = 0; i < 3; ++i) {
    Tick(0, true);
    EXPECT_EQ(Shown(0), "CAM-C/1");
  }
  // With its last device gone the cycle ends by itself and stops counting.
  ASSERT_TRUE(CDeviceManager::GetInstance()->Remove(Dev(u"CAM-C")));
  Tick(0, true);
  EXPECT_EQ(cycles->NodeCount(), 0);
  EXPECT_EQ(cycles->GetRunCount(), 0);
}

TEST_F(CycleTest, TheDeviceManagerStopsAndRenamesCyclesByGroupName) {
  ASSERT_EQ(cycles->AddChannelToCycle(u"Old", 3, 5, Dev(u"CAM-A"), 1), 1);
  ASSERT_TRUE(cycles->ResumeByWindow(3));
  Tick(3, true);
  CLiveViewWork work;
  EXPECT_TRUE(work.RenameCycle(u"Old", u"New"));
  EXPECT_FALSE(work.RenameCycle(u"Old", u"Other"));
  EXPECT_EQ(cycles->GetRunCount(), 1);
  EXPECT_TRUE(work.StopCycle(u"New"));
  EXPECT_EQ(cycles->GetRunCount(), 0);
  EXPECT_EQ(Shown(3), "");
  EXPECT_FALSE(work.StopCycle(u"New"));

  // A device about to be edited or deleted: every cycle holding one of its channels ends,
  // whichever group it came from; the others run on.
  ASSERT_EQ(cycles->AddChannelToCycle(u"X", 4, 5, Dev(u"CAM-C"), 1), 1);
  ASSERT_EQ(cycles->AddChannelToCycle(u"X", 4, 5, Dev(u"CAM-A"), 2), 1);
  ASSERT_EQ(cycles->AddChannelToCycle(u"Y", 5, 5, Dev(u"CAM-C"), 3), 1);
  ASSERT_TRUE(cycles->ResumeByWindow(4));
  ASSERT_TRUE(cycles->ResumeByWindow(5));
  Tick(4, true);
  work.StopDevicePreviews(u"CAM-A");
  EXPECT_FALSE(cycles->HasWindow(4));
  EXPECT_TRUE(cycles->HasWindow(5));
  EXPECT_EQ(Shown(4), "");
}

TEST_F(CycleTest, RunCountFollowsWhatRunsAfterFailedStartsAndClosedMemberWindows) {
  cycles->SetPlayScreen(nullptr);
  EXPECT_EQ(cycles->AddChannelToCycle(u"G", 0, 5, Dev(u"CAM-A"), 1), 0) << "no play screen";
  cycles->SetPlayScreen(screen);
  EXPECT_EQ(cycles->AddChannelToCycle(u"G", 25, 5, Dev(u"CAM-A"), 1), 0) << "no such window";
  EXPECT_EQ(cycles->GetRunCount(), 0);

  // A member opened alone counts while its window lists it, whoever closes it.
  auto item = std::make_shared<CPreviewItem>(4, screen->GetWnd(4)->GetSafeHwnd(), nullptr, 2, 0, u"CAM-C");
  ASSERT_TRUE(item->Start());
  ASSERT_TRUE(CPreviewManager::GetInstance()->Add(item));
  cycles->AddGroupWindow(4);
  cycles->AddGroupWindow(4);
  EXPECT_EQ(cycles->GetRunCount(), 1);
  screen->GetWnd(4)->OnCommand(CPlayWnd::ID_STOP_PREVIEW);
  EXPECT_EQ(cycles->GetRunCount(), 0);

  // A cycle whose window is stopped from its menu ends with it.
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 1, 5, Dev(u"CAM-A"), 1), 1);
  ASSERT_TRUE(cycles->ResumeByWindow(1));
  Tick(1, true);
  EXPECT_EQ(cycles->GetRunCount(), 1);
  screen->GetWnd(1)->OnCommand(CPlayWnd::ID_STOP_PREVIEW);
  EXPECT_EQ(cycles->NodeCount(), 0);
  EXPECT_EQ(cycles->GetRunCount(), 0);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
}

TEST_F(CycleTest, AnIntervalOfZeroFromTheSettingsFileTakesTheDefault) {
  {
    std::ofstream ini(CLocalSettings::SettingsFilePath());
    ini << "[]\nCycleInterval=0\n";
  }
  CLocalSettings::GetInstance()->Reload();
  const int interval = CLocalSettings::GetInstance()->GetCycleInterval();
  EXPECT_EQ(interval, 0) << "read as it stands";
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 0, interval, Dev(u"CAM-A"), 1), 1);
  EXPECT_EQ(cycles->FindByWindow(0)->GetInterval(), CLocalSettings::DEFAULT_CYCLE_INTERVAL);
  ASSERT_EQ(cycles->AddChannelToCycle(u"H", 1, -3, Dev(u"CAM-A"), 2), 1);
  ASSERT_TRUE(cycles->ResumeByWindow(1));
  // Twenty ticks make one switch after the first.
  for (int tick = 0; tick <= 20; ++tick) Tick(1, tick % 20 == 0);
  EXPECT_EQ(cycles->StepsHandled(), 2);
}

}  // namespace
