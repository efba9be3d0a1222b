// Cycle preview over fake device families: the rotation and its interval driven tick by tick
// from the resume on, a member whose device cannot log in, a channel open in another window,
// pause, resume and stop while the worker ticks, a device deleted under a running cycle, and
// the running count.
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

  // Runs the UI until the next switch has happened and its start has come back.
  int steps = 0;
  void Switched() {
    ++steps;
    ASSERT_TRUE(RunUntil([&] { return cycles->StepsHandled() == steps; })) << "step " << steps;
    // The switch starts the channel on its device's queue; then the notes reach the page.
    ASSERT_TRUE(harness::SettleDeviceWork());
    QCoreApplication::processEvents();
  }
  // The resume switches at once.
  void Resume(int window) {
    ASSERT_TRUE(cycles->ResumeByWindow(window));
    Switched();
  }
  // One tick; when it should switch, runs the UI until the switch has happened.
  void Tick(int window, bool switches) {
    CCyclePreviewNode* node = cycles->FindByWindow(window);
    ASSERT_NE(node, nullptr);
    ASSERT_TRUE(node->InjectTick());
    if (switches) Switched();
  }
};

TEST_F(CycleTest, SwitchesAtTheResumeAndEveryIntervalAndTriesAMemberWithoutPreviewAgain) {
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 2, 3, Dev(u"CAM-A"), 1), 1);
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 2, 3, Dev(u"NVR-B"), 1), 1);
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 2, 3, Dev(u"CAM-A"), 2), 1);
  EXPECT_EQ(Shown(2), "") << "nothing plays before the cycle is resumed";
  ASSERT_NO_FATAL_FAILURE(Resume(2));
  EXPECT_EQ(Shown(2), "CAM-A/1") << "the first channel comes with the resume";

  // The recorder cannot log in: from the first interval on, every switch stops what was shown,
  // tries it again and stays on it; the camera's second channel never comes.
  std::vector<std::string> seen;
  for (int tick = 1; tick <= 9; ++tick) {
    Tick(2, tick % 3 == 0);
    if (tick % 3 == 0) seen.push_back(Shown(2));
  }
  EXPECT_EQ(cycles->StepsHandled(), 4) << "a tick between the switches switched";
  EXPECT_EQ(seen, (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0) << "the channel stopped by its cycle stayed listed";
  EXPECT_EQ(Count("login.login"), 1 + 3) << "the camera once, the recorder at each switch";
  // The page hears of the first channel coming and, at the first interval, of it leaving;
  // then of the recorder at each switch.
  ASSERT_TRUE(RunUntil([&] { return notes.size() >= 5; })) << notes.size() << " notes";
  RunUntil([] { return false; }, 50);  // nothing more arrives
  ASSERT_EQ(notes.size(), 5u);
  for (size_t i = 0; i < notes.size(); ++i) {
    EXPECT_EQ(notes[i].first, i < 2 ? WM_CYCLE_SWITCH : WM_CYCLE_NO_PREVIEW) << i;
    EXPECT_EQ(notes[i].second.deviceGuid, i < 2 ? u"CAM-A" : u"NVR-B") << i;
    EXPECT_EQ(notes[i].second.channel, 1) << i;
  }

  // A stop ends the cycle and leaves its window as it is.
  ASSERT_EQ(cycles->AddChannelToCycle(u"H", 4, 5, Dev(u"CAM-C"), 1), 1);
  ASSERT_NO_FATAL_FAILURE(Resume(4));
  ASSERT_EQ(Shown(4), "CAM-C/1");
  EXPECT_TRUE(cycles->StopByName(u"H"));
  EXPECT_FALSE(cycles->HasWindow(4));
  EXPECT_EQ(Shown(4), "CAM-C/1") << "the stop took the shown channel off the window";
  EXPECT_TRUE(cycles->StopByName(u"G"));
  EXPECT_EQ(cycles->GetRunCount(), 0);
  EXPECT_FALSE(cycles->StopByName(u"G"));
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 1);
}

// A member open in another window is started where it is, in that window; the next switch
// stops it there.
TEST_F(CycleTest, AChannelOpenInAnotherWindowKeepsItsWindow) {
  auto open = std::make_shared<CPreviewItem>(6, screen->GetWnd(6)->GetSafeHwnd(), nullptr, 2, 0, u"CAM-C");
  ASSERT_TRUE(open->Start());
  ASSERT_TRUE(CPreviewManager::GetInstance()->Add(open));
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 7, 1, Dev(u"CAM-C"), 2), 1);
  ASSERT_NO_FATAL_FAILURE(Resume(7));
  EXPECT_EQ(Shown(6), "CAM-C/2");
  EXPECT_EQ(Shown(7), "") << "a second item of the channel was made in the cycle's window";
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 1);
  Tick(7, true);
  EXPECT_EQ(Shown(6), "");
  EXPECT_EQ(Shown(7), "CAM-C/2");
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 1);
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
  ASSERT_TRUE(harness::SettleDeviceWork());
  QCoreApplication::processEvents();
  // Each window keeps the channel it showed (or was starting) when its cycle ended.
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 2);
  EXPECT_NE(Shown(0), "");
  EXPECT_NE(Shown(1), "");
}

TEST_F(CycleTest, DeletingADeviceStopsItsCyclesFirstAndAGoneMemberLeavesTheRotation) {
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 0, 1, Dev(u"CAM-A"), 1), 1);
  ASSERT_EQ(cycles->AddChannelToCycle(u"G", 0, 1, Dev(u"CAM-C"), 1), 1);
  ASSERT_NO_FATAL_FAILURE(Resume(0));
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
  ASSERT_NO_FATAL_FAILURE(Resume(3));
  CLiveViewWork work;
  EXPECT_TRUE(work.RenameCycle(u"Old", u"New"));
  EXPECT_FALSE(work.RenameCycle(u"Old", u"Other"));
  EXPECT_EQ(cycles->GetRunCount(), 1);
  EXPECT_TRUE(work.StopCycle(u"New"));
  EXPECT_EQ(cycles->GetRunCount(), 0);
  EXPECT_EQ(Shown(3), "CAM-A/1") << "the window keeps what it showed";
  EXPECT_FALSE(work.StopCycle(u"New"));

  // A device about to be edited or deleted: every cycle holding one of its channels ends,
  // whichever group it came from; the others run on.
  ASSERT_EQ(cycles->AddChannelToCycle(u"X", 4, 5, Dev(u"CAM-C"), 1), 1);
  ASSERT_EQ(cycles->AddChannelToCycle(u"X", 4, 5, Dev(u"CAM-A"), 2), 1);
  ASSERT_EQ(cycles->AddChannelToCycle(u"Y", 5, 5, Dev(u"CAM-C"), 3), 1);
  ASSERT_NO_FATAL_FAILURE(Resume(4));
  ASSERT_NO_FATAL_FAILURE(Resume(5));
  ASSERT_EQ(Shown(4), "CAM-C/1");
  work.StopDevicePreviews(u"CAM-A");
  EXPECT_FALSE(cycles->HasWindow(4));
  EXPECT_TRUE(cycles->HasWindow(5));
  EXPECT_EQ(Shown(3), "") << "the device's channels stayed open";
  EXPECT_EQ(Shown(4), "CAM-C/1") << "another device's channel went with the cycle";
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
  ASSERT_NO_FATAL_FAILURE(Resume(1));
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
  ASSERT_NO_FATAL_FAILURE(Resume(1));
  // Twenty ticks make one switch after the first.
  for (int tick = 1; tick <= 20; ++tick) Tick(1, tick == 20);
  EXPECT_EQ(cycles->StepsHandled(), 2);
}

}  // namespace
