// The list of open previews and preivew.db: items keyed by window, device and channel; stops
// in the order sound, recording, preview after the item is unlinked; device releases purge
// first; a worker and the UI thread sharing the list; the saved session written in one
// transaction and read back without listing anything as running.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "LiveFakes.h"
#include "ModelServices.h"
#include "devices/DeviceManager.h"
#include "harness/DeviceWorkWait.h"
#include "plat/text.h"
#include "plat/window.h"
#include "shell/DbHelpers.h"
#include "support/ChildProcess.h"
#include "support/FakeDevices.h"
#include "support/TestFolder.h"
#include "view/PreviewManager.h"
#include "view/ViewMessages.h"

namespace fs = std::filesystem;

namespace {

// A preview whose flags may be read from any thread; records its stops in order.
struct SharedPreview : IDevPreview {
  std::atomic<bool> previewing{false}, recording{false}, sound{false};
  std::mutex m;
  std::vector<std::string> calls;
  HWND window = 0;
  void Log(const char* c) {
    std::lock_guard<std::mutex> lk(m);
    calls.push_back(c);
  }
  bool SetPlayWnd(HWND w) override { return (window = w) != 0; }
  HWND GetPlayWnd() override { return window; }
  bool StartPreview() override { return previewing = true; }
  bool StopPreview() override {
    Log("stop");
    previewing = false;
    return true;
  }
  bool CapturePicture(const char*, int) override { return true; }
  bool StartRecord(int, const char*) override { return recording = true; }
  bool StopRecord() override {
    Log("stoprecord");
    recording = false;
    return true;
  }
  bool GetVideoEffect(int*, int*, int*, int*) override { return false; }
  bool SetVideoEffect(int, int, int, int) override { return false; }
  bool RegisterDrawFun(DrawFunCallback, void*) override { return false; }
  bool SetRealDataCallBack(RealDataCallback, void*) override { return false; }
  bool OpenSound() override { return sound = true; }
  bool CloseSound() override {
    Log("closesound");
    sound = false;
    return true;
  }
  bool SetVolume(int) override { return true; }
  bool IsPreviewing() override { return previewing; }
  bool IsSoundOpen() override { return sound; }
  bool IsRecording() override { return recording; }
  bool SetStreamType(int) override { return true; }
  int GetStreamType() override { return 0; }
  void GetRealHandle(DevHandle* out) override { *out = 0; }
};

PreviewItemPtr Item(int window, SharedPreview* p, int channel, const std::u16string& guid,
                    HWND wnd = 0) {
  return std::make_shared<CPreviewItem>(window, wnd, p, channel, 0, guid);
}

struct PreviewList : ::testing::Test {
  fs::path home;
  void SetUp() override {
    home = testsupport::NewTestFolder();
    setenv("TARNWICK_HOME", home.c_str(), 1);
  }
  void TearDown() override {
    modeltest::ResetServices();
    unsetenv("TARNWICK_HOME");
    fs::remove_all(home);
  }
};

TEST_F(PreviewList, ItemsAreFoundByWindowDeviceAndPreviewAndStopInOrderAfterUnlinking) {
  CPreviewManager m(false);
  SharedPreview a, b;
  auto dispatcher = std::make_shared<plat::QueueDispatcher>();
  std::vector<uint32_t> received;
  plat::WindowHandle wnd = plat::registerWindow(
      [&](uint32_t msg, uintptr_t, intptr_t) {
        received.push_back(msg);
        return intptr_t{0};
      },
      dispatcher);

  PreviewItemPtr first = Item(3, &a, 1, u"DEV-A", wnd);
  ASSERT_TRUE(first->Start());
  EXPECT_EQ(a.window, wnd);
  EXPECT_TRUE(m.Add(first));
  EXPECT_FALSE(m.Add(Item(3, &b, 1, u"DEV-A")));  // same window, device and channel
  EXPECT_FALSE(m.Add(nullptr));
  EXPECT_TRUE(m.Add(Item(3, &b, 2, u"DEV-A")));  // another channel, same window, not running
  EXPECT_EQ(m.GetCount(), 2);

  EXPECT_EQ(m.FindByWindow(3), first);  // the running one, whatever the list order
  EXPECT_EQ(m.FindByWindow(4), nullptr);
  EXPECT_TRUE(m.HasWindow(3));
  EXPECT_EQ(m.FindByDeviceChannel(u"DEV-A", 2)->GetDevPreview(), &b);
  EXPECT_EQ(m.FindByDeviceChannel(u"dev-a", 2), nullptr);  // exact text
  EXPECT_EQ(m.FindByPreview(&a), first);
  EXPECT_TRUE(m.IsShown(&a, -1));
  EXPECT_TRUE(m.IsShown(&a, 3));
  EXPECT_FALSE(m.IsShown(&a, 5));

  first->OpenSound();
  first->StartRecord(0, u"/tmp/x");
  ASSERT_TRUE(m.Remove(first));
  EXPECT_FALSE(m.Remove(first));  // no longer listed
  ASSERT_TRUE(harness::SettleDeviceWork());  // the stop runs on the device's queue
  EXPECT_EQ(a.calls, (std::vector<std::string>{"closesound", "stoprecord", "stop"}));
  EXPECT_FALSE(a.previewing);
  EXPECT_EQ(first->GetWindow(), 3);  // the caller's reference stays usable
  EXPECT_EQ(m.GetCount(), 1);
  dispatcher->pump(0);
  EXPECT_EQ(received, std::vector<uint32_t>{WM_PREVIEW_STOPPED});

  EXPECT_TRUE(m.StopDeviceAll(u"NO-SUCH"));
  EXPECT_EQ(m.GetCount(), 1);
  EXPECT_TRUE(m.StopDeviceAll(u"DEV-A"));
  EXPECT_EQ(m.GetCount(), 0);
  ASSERT_TRUE(harness::SettleDeviceWork());  // the stops end before the previews go
  plat::unregisterWindow(wnd);
}

TEST_F(PreviewList, ReleasingADeviceStopsAndDropsItsItemsBeforeItsPreviewsAreDeleted) {
  fake::Families families;
  CDevInfo info(u"cam", u"127.0.0.1", 8000, u"admin", u"admin", 4, u"", u"", u"", u"", 0, 0,
                DEV_TYPE_IPC, u"GUID-CAM", u"R");
  ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(info)));
  CPreviewManager* m = CPreviewManager::GetInstance();
  // An item without a preview fetches it from the device list by GUID.
  auto item = std::make_shared<CPreviewItem>(0, 0, nullptr, 2, 1, u"GUID-CAM");
  ASSERT_TRUE(item->Start());
  ASSERT_TRUE(m->Add(item));
  auto lost = std::make_shared<CPreviewItem>(1, 0, nullptr, 1, 0, u"GUID-GONE");
  EXPECT_FALSE(lost->Start());  // unknown device: false, nothing done
  EXPECT_TRUE(m->Add(lost));
  EXPECT_EQ(m->FindByWindow(1), nullptr);  // never fetches (and so never logs in) on a look-up

  CDevice* device = CDeviceManager::GetInstance()->FindDevice(u"GUID-CAM", 1);
  fake::Journal().clear();
  device->ReleaseAll();
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(m->GetCount(), 1);
  EXPECT_EQ(m->FindByDeviceChannel(u"GUID-CAM", 2), nullptr);
  auto& j = fake::Journal();
  const auto stop = std::find(j.begin(), j.end(), "preview.stop.2");
  const auto del = std::find(j.begin(), j.end(), "preview.delete.2");
  ASSERT_NE(stop, j.end());
  ASSERT_NE(del, j.end());
  EXPECT_LT(stop, del);
  EXPECT_EQ(device->GetChannel(2)->GetPreview(0), nullptr);
}

TEST_F(PreviewList, AWorkerAddingAndFindingWhileTheUiThreadRemovesKeepsTheListWhole) {
  CPreviewManager m(false);
  constexpr int kRounds = 2000;
  std::vector<std::unique_ptr<SharedPreview>> previews;
  for (int i = 0; i < 25; ++i) {
    previews.push_back(std::make_unique<SharedPreview>());
    previews.back()->previewing = true;
  }
  std::atomic<int> added{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int r = 0; r < kRounds; ++r) {
      const int w = r % 25;
      if (m.Add(Item(w, previews[w].get(), 1, u"DEV"))) ++added;
      if (PreviewItemPtr found = m.FindByWindow((w + 7) % 25)) {
        EXPECT_EQ(found->GetWindow(), (w + 7) % 25);  // still whole after being unlinked
      }
      m.FindByDeviceChannel(u"DEV", 1);
      m.HasWindow(w);
    }
    done = true;
  });
  int removed = 0;
  while (!done || m.GetCount() > 0) {
    for (int w = 0; w < 25; ++w) {
      if (PreviewItemPtr item = m.FindByWindow(w)) {
        if (m.Remove(item)) {
          ++removed;
          // The stop runs on the device's queue; once it has, the next round may list it again.
          ASSERT_TRUE(harness::SettleDeviceWork());
          previews[w]->previewing = true;
        }
      }
    }
  }
  worker.join();
  ASSERT_TRUE(harness::SettleDeviceWork());  // the stops end before the previews go
  EXPECT_EQ(removed, added.load());
  EXPECT_EQ(m.GetCount(), 0);
}

// One row of Tb_Preview.
struct SavedPreview {
  std::u16string deviceGuid;
  int channel = 0;
  int window = 0;
  int streamType = 0;
  bool operator==(const SavedPreview&) const = default;
};

int SavedMode() {
  CppSQLite3DB db;
  int mode = -1;
  CppSQLite3Table t;
  if (OpenDatabaseInProgramDir(db, CPreviewManager::kDatabase) &&
      GetTable(db, u"select DevideScreenMode from Tb_PlayScreen;", t) && GetTableRowCount(t) == 1) {
    SetTableRow(t, 0);
    mode = plat::textToInt(t.FieldText(0));
  }
  CloseDatabase(db);
  return mode;
}

std::vector<SavedPreview> ReadRows() {
  CppSQLite3DB db;
  std::vector<SavedPreview> rows;
  if (!OpenDatabaseInProgramDir(db, CPreviewManager::kDatabase)) return rows;
  CppSQLite3Table t;
  if (GetTable(db, u"select DevGuid, Chn, PlayWnd, IsSubStream from Tb_Preview;", t))
    for (int r = 0; r < GetTableRowCount(t); ++r) {
      SetTableRow(t, r);
      rows.push_back({t.FieldText(0), plat::textToInt(t.FieldText(1)),
                      plat::textToInt(t.FieldText(2)), plat::textToInt(t.FieldText(3))});
    }
  CloseDatabase(db);
  return rows;
}

TEST_F(PreviewList, TheSessionIsWrittenAtEachSaveAndNothingOfItComesBackAtTheLoad) {
  EXPECT_FALSE(CPreviewManager(false).SaveSession());  // only the persistent list saves
  EXPECT_FALSE(CPreviewManager(false).LoadSession());
  SharedPreview a, b;
  {
    CPreviewManager m;
    ASSERT_TRUE(m.SaveSession());  // empty list, no play screen
    EXPECT_TRUE(ReadRows().empty());
    EXPECT_EQ(SavedMode(), CPreviewManager::kModeWithoutScreen);
  }
  modeltest::FakeScreen screen;
  screen.SetMode(11, 0);
  {
    CPreviewManager m;
    m.SetPlayScreen(&screen);
    m.Add(std::make_shared<CPreviewItem>(2, 0, &a, 3, 1, u"O'Brien-'); drop table x;--"));
    // The rows are the list as it stands while they are written: one listed after the table
    // was made is among them.
    static CPreviewManager* saving = nullptr;
    static SharedPreview* late = nullptr;
    saving = &m;
    late = &b;
    CPreviewManager::SetSaveStepHook([](const char* step) {
      if (std::string(step) == "created") saving->Add(std::make_shared<CPreviewItem>(7, 0, late, 1, 0, u"DEV-B"));
    });
    const bool saved = m.SaveSession();
    CPreviewManager::SetSaveStepHook(nullptr);
    ASSERT_TRUE(saved);
  }
  ASSERT_TRUE(harness::SettleDeviceWork());  // the list's end stopped its items on their queues
  const std::vector<SavedPreview> expected = {{u"O'Brien-'); drop table x;--", 3, 2, 1},
                                              {u"DEV-B", 1, 7, 0}};
  EXPECT_EQ(ReadRows(), expected);
  EXPECT_EQ(SavedMode(), 11);

  // The load opens the file and closes it: nothing is listed, no layout is applied, now or
  // when a play screen registers, and the file stays as it was.
  screen.SetMode(0, 0);
  screen.SetActiveIndex(3, 0);
  CPreviewManager m;
  m.SetPlayScreen(&screen);
  EXPECT_FALSE(m.LoadSession());
  EXPECT_EQ(m.GetCount(), 0);
  EXPECT_FALSE(m.HasWindow(7));
  EXPECT_EQ(screen.GetLayoutMode(), 0);
  EXPECT_EQ(screen.GetActiveIndex(), 3);
  m.SetPlayScreen(nullptr);
  m.SetPlayScreen(&screen);
  EXPECT_EQ(screen.GetLayoutMode(), 0);
  EXPECT_EQ(ReadRows(), expected);
  EXPECT_EQ(SavedMode(), 11);
}

TEST_F(PreviewList, ACrashBetweenDroppingAndCreatingTheTableKeepsTheOldRows) {
  SharedPreview a;
  {
    CPreviewManager m;
    m.Add(std::make_shared<CPreviewItem>(5, 0, &a, 2, 0, u"KEEP"));
    ASSERT_TRUE(m.SaveSession());
  }
  ASSERT_TRUE(harness::SettleDeviceWork());
  const testsupport::ChildEnd end = testsupport::RunForked([] {
    CPreviewManager::SetSaveStepHook([](const char* step) {
      if (std::string(step) == "dropped") _exit(7);  // dies with the table dropped
    });
    CPreviewManager m;
    m.SaveSession();
    return 0;
  });
  ASSERT_EQ(end.ExitCode(), 7) << end.Describe();
  const std::vector<SavedPreview> expected = {{u"KEEP", 2, 5, 0}};
  EXPECT_EQ(ReadRows(), expected);
}

}  // namespace
