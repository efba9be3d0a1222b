#pragma once
// What the two playback journeys share: the page chosen from the playback button's menu, the
// notices said since a moment, whether a play window plays or stands still, and the calls
// that reached the player (the player library reports them to an observer in this process).
#include <QString>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "JourneyDevices.h"
#include "JourneyFixture.h"
#include "StreamPlay.h"
#include "shell/TarnwickDlg.h"
#include "view/PlaybackPage.h"

class PlaybackJourney : public JourneyTest {
 protected:
  static constexpr unsigned kLocalPlayback = 8139, kRemotePlayback = 8140;  // the playback button's menu
  static constexpr unsigned kPathSeparator = 8981;

  void SetUp() override {
    JourneyTest::SetUp();
    volumeCalls() = 0;
    StreamPlay_SetCallObserver(&CountVolume, nullptr);
  }
  void TearDown() override {
    StreamPlay_SetCallObserver(nullptr, nullptr);
    JourneyTest::TearDown();
  }

  // The page of the playback button's menu entry, shown.
  void OpenPage(unsigned menuEntry, QWidget* page) { ASSERT_TRUE(ChoosePlayback(menuEntry, page)) << Said(); }
  // A click on the page's snapshot button: the picture goes into the recording folder (c:'s
  // here), and the notice says where it is on this machine, after the text and a separator.
  // The snapshot does not make the folder: before the first recording made it, the snapshot
  // fails and says where the picture would have gone.
  void TakeSnapshot(QWidget* page) {
    constexpr unsigned kSnapshotTaken = 8350, kSnapshotFailed = 8351;
    const std::filesystem::path folder = std::filesystem::path(Drive('c')) / "RecordFile";
    if (!std::filesystem::exists(folder)) {
      const size_t before = Ui().notices.size();
      ClickId(page, CPlaybackPageBase::IDC_SNAPSHOT);
      const QString failed = AwaitNotice(before, kSnapshotFailed);
      EXPECT_TRUE(failed.startsWith(Text(kPathSeparator))) << Said();
      EXPECT_EQ(std::filesystem::path(failed.mid(Text(kPathSeparator).size()).toStdString()).parent_path(), folder);
      std::filesystem::create_directories(folder);
    }
    const size_t notices = Ui().notices.size();
    ClickId(page, CPlaybackPageBase::IDC_SNAPSHOT);
    const QString snapped = AwaitNotice(notices, kSnapshotTaken);
    ASSERT_TRUE(snapped.startsWith(Text(kPathSeparator))) << Said();
    const std::filesystem::path snapshot = snapped.mid(Text(kPathSeparator).size()).toStdString();
    EXPECT_EQ(snapshot.parent_path(), std::filesystem::path(Drive('c')) / "RecordFile");
    EXPECT_TRUE(std::filesystem::is_regular_file(snapshot)) << snapshot;
    EXPECT_GT(std::filesystem::file_size(snapshot), 1000u) << snapshot;
  }
  // Pictures keep coming into the window: `more` after the present one.
  bool Playing(plat::WindowHandle wnd, uint64_t more = 5) {
    uint64_t since = 0;
    journey::FrameShown(wnd, &since);
    return WaitUntil([&] {
      uint64_t now = 0;
      return journey::FrameShown(wnd, &now) >= 0 && now >= since + more;
    });
  }
  // The picture stays: no new one for a while; the frame it shows.
  bool Still(plat::WindowHandle wnd, int* frame) {
    return WaitUntil([&] {
      uint64_t before = 0, after = 0;
      const int shown = journey::FrameShown(wnd, &before);
      PumpFor(500);
      *frame = journey::FrameShown(wnd, &after);
      return shown >= 0 && after == before;
    });
  }
  // Runs `turn` (a turn of the volume): true once a change of the volume reached the player.
  bool ReachesPlayer(const std::function<void()>& turn) {
    const int calls = volumeCalls();
    turn();
    return WaitUntil([&] { return volumeCalls() > calls; });
  }
  // Volume changes that reached the player so far.
  static std::atomic<int>& volumeCalls() {
    static std::atomic<int> calls{0};
    return calls;
  }

 private:
  static void CountVolume(const char* function, int32_t, void*) {
    if (std::strcmp(function, "SPlay_SetVolume") == 0) ++volumeCalls();
  }
};
