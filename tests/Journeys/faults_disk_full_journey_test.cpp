// A disk that fills while the recorder's window is recorded through the recording ring onto
// d: (chosen in the local settings). A first recording is ended by the user. The second runs
// into the full disk: it ends, the user is told, the window plays on, and the first recording
// is untouched while the second keeps what was written before the disk filled. Then the disk
// is full by the ring's measure (less free space than it keeps for its files): with loop
// recording on, the next recording frees the oldest file and records; nothing else goes.
// An NVR of the camera family that serves one stream at a time: a second channel's window is
// refused once, says so and stays so; the disk that fills under the first channel's recording
// ends it with its notice, and every mark follows.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "FaultSteps.h"
#include "devices/DeviceManager.h"
#include "shell/LocalSettings.h"
#include "support/ChildProcess.h"
#include "support/FileSizeLimit.h"
#include "support/RecorderFile.h"
#include "support/Wait.h"
#include "devices/TreeCtrlTarget.h"
#include "plat/clock.h"
#include "shell/CppSQLite3.h"
#include "shell/DbHelpers.h"
#include "view/PlayWnd.h"
#include "view/PreviewManager.h"
#include "view/RecordFileRing.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kRecordingStarted = 8368, kRecordingCutByTheDisk = 8993;

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

class DiskFullJourney : public FaultJourney {
 protected:
  bool Recording() { return FaultJourney::Recording(kRecorderName, 1); }
};

TEST_F(DiskFullJourney, NothingAnnouncedIsLostAndTheRingFreesTheOldestFile) {
  ASSERT_TRUE(StartEmulators());
  RunProgram([&] {
    AddRegionCameraAndRecorder();
    ChooseRecordingDisk(1);  // d:
    ASSERT_EQ(CLocalSettings::GetInstance()->GetCircleVideo(), 1) << "loop recording is on from the start";
    OpenInWindow(kRecorderName, 1, 0);
    ASSERT_TRUE(Plays(0));
    CDlgPreview* preview = ShowLivePage();

    // A first recording, started and ended by the user.
    ClickId(preview, CDlgPreview::ID_RECORD);
    EXPECT_TRUE(SaidNotice(kRecordingStarted));
    ASSERT_TRUE(WaitUntil([&] { return BytesOn('d') > 32 * 1024; }));
    ClickId(preview, CDlgPreview::ID_RECORD);
    EXPECT_FALSE(Recording());
    ASSERT_EQ(Recordings('d').size(), 1u);
    const fs::path first = Recordings('d')[0];
    const std::string firstBytes = ReadAll(first);
    EXPECT_GT(testsupport::ReadRecorderFile(first.string()).frames, 0);

    // The disk fills during the second: it ends and the user is told; the window plays on.
    {
      testsupport::FileSizeLimit disk(64 * 1024);
      ASSERT_TRUE(disk.ok());
      const size_t notices = Ui().notices.size();
      ClickId(preview, CDlgPreview::ID_RECORD);
      EXPECT_TRUE(SaidNotice(kRecordingStarted));
      // Started, then ended by the full disk: both told.
      ASSERT_TRUE(WaitUntil([&] { return !Recording() && Ui().notices.size() >= notices + 2; }))
          << "the recording did not end on the full disk, or the user was not told";
      EXPECT_TRUE(SaidNotice(kRecordingCutByTheDisk)) << Said();
    }
    EXPECT_TRUE(Plays(0)) << "the window plays on";
    Shot(Main(), "faults_disk_full");
    std::vector<fs::path> files = Recordings('d');
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(ReadAll(first), firstBytes) << "the first recording changed";
    const fs::path second = files[0] == first ? files[1] : files[0];
    const testsupport::RecorderFileShape cut = testsupport::ReadRecorderFile(second.string());
    EXPECT_TRUE(cut.streamHeader);
    EXPECT_GT(cut.frames, 0) << "what was written before the disk filled is lost";
    EXPECT_LE(cut.size, 64u * 1024);
    const std::string secondBytes = ReadAll(second);

    // d: now holds less room than the ring keeps for its files, as long as both recordings
    // are on it: the next recording deletes the oldest one, and only that one.
    const uint64_t keep = CRecordFileRing::kFullPackMultiple *
                          (static_cast<uint64_t>(CLocalSettings::GetInstance()->GetFilePackSize()) << 20);
    const uint64_t capacity = keep + secondBytes.size() + firstBytes.size() / 2;
    CRecordFileRing::GetInstance()->SetFreeSpaceQuery([&](const std::u16string& root) -> int64_t {
      const bool isD = root.size() >= 1 && (root[0] == u'd' || root[0] == u'D');
      return isD ? static_cast<int64_t>(capacity - std::min(capacity, BytesOn('d'))) : int64_t{1} << 40;
    });
    const size_t notices = Ui().notices.size();
    ClickId(preview, CDlgPreview::ID_RECORD);
    ASSERT_GT(Ui().notices.size(), notices);
    EXPECT_EQ(Ui().notices.back(), Text(kRecordingStarted).toStdU16String());
    EXPECT_TRUE(Recording());
    EXPECT_FALSE(fs::exists(first)) << "the oldest recording was not freed";
    EXPECT_EQ(ReadAll(second), secondBytes);
    ASSERT_TRUE(WaitUntil([&] { return Recordings('d').size() == 2 && BytesOn('d') > secondBytes.size() + 16 * 1024; }));
    ClickId(preview, CDlgPreview::ID_RECORD);
    CRecordFileRing::GetInstance()->SetFreeSpaceQuery(nullptr);
    files = Recordings('d');
    ASSERT_EQ(files.size(), 2u);
    const fs::path third = files[0] == second ? files[1] : files[0];
    EXPECT_GT(testsupport::ReadRecorderFile(third.string()).frames, 0);
    EXPECT_EQ(ReadAll(second), secondBytes);
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace

namespace {

constexpr const char* kLimitedChild = "TARNWICK_JOURNEY_FILE_SIZE_LIMIT";

// A file-size limit on the process (ulimit -f), with the signal the kernel raises past it
// left as the system sets it: a recording that meets the limit ends with its notice, as one
// onto a full disk does, and the program plays on. The journey runs in a child process of
// its own, so that a program the signal ends shows as a failed child.
TEST_F(DiskFullJourney, AFileSizeLimitEndsTheRecordingNotTheProgram) {
  if (!std::getenv(kLimitedChild)) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    testsupport::ChildRun run;
    run.filter = std::string(test->test_suite_name()) + "." + test->name();
    // The child makes its own offscreen screen (the parent's description is gone by now).
    run.env = {{kLimitedChild, "1"}, {"QT_QPA_PLATFORM", "offscreen"}};
    run.defaultSignals = {SIGXFSZ};
    run.realMs = 10 * 60 * 1000;
    const testsupport::ChildEnd end = testsupport::RunTestChild(run);
    ASSERT_TRUE(end.ended) << end.Describe();
    ASSERT_FALSE(end.Signalled()) << "the program was ended: " << end.Describe();
    EXPECT_TRUE(end.Succeeded()) << "the journey failed in its process (its output is above)";
    return;
  }
  ASSERT_TRUE(StartEmulators());
  RunProgram([&] {
    AddRegionCameraAndRecorder();
    ChooseRecordingDisk(1);
    OpenInWindow(kRecorderName, 1, 0);
    ASSERT_TRUE(Plays(0));
    ClickId(ShowLivePage(), CDlgPreview::ID_RECORD);
    EXPECT_TRUE(SaidNotice(kRecordingStarted));
    rlimit unlimited{}, limited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    limited = unlimited;
    limited.rlim_cur = 256 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool ended = WaitUntil([&] { return !Recording() && SaidNotice(kRecordingCutByTheDisk); });
    setrlimit(RLIMIT_FSIZE, &unlimited);
    ASSERT_TRUE(ended) << "the recording did not end at the limit, or the user was not told: " << Said();
    EXPECT_TRUE(Plays(0)) << "the window plays on";
    ASSERT_EQ(Recordings('d').size(), 1u);
    const testsupport::RecorderFileShape cut = testsupport::ReadRecorderFile(Recordings('d')[0].string());
    EXPECT_TRUE(cut.endsAtFrame);
    EXPECT_LE(cut.size, 256u * 1024);
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace

namespace {

TEST_F(DiskFullJourney, AnNvrSaysItsRefusedStreamAndItsFullDiskOnceAndItsMarksFollow) {
  constexpr unsigned kVideoLost = 9003;
  constexpr int kChannelPlaying = 5, kChannelRecording = 7;
  const std::u16string full = u"Please stop the window preview video number of connections is full!";
  // The seeded camera's address serves an NVR of two channels and one stream at a time.
  ASSERT_TRUE(StartEmulators(true, false, {"--nvr", "2", "--streams", "1"}));
  ASSERT_TRUE(StartEmulators(false, true));
  SeedDevices();
  {
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, u"Tarnwick.db"));
    db.Execute(u"update Tb_Device set ChnNum='2', DevType='4' where Guid='J-CAMERA'");
    CloseDatabase(db);
  }
  const QString nvr = QString::fromStdU16String(JourneyTest::kCameraName);
  auto count = [&](const std::u16string& head) {
    int n = 0;
    for (const auto& said : Ui().notices) n += said.starts_with(head);
    return n;
  };
  RunProgram([&] {
    ChooseRecordingDisk(1);
    OpenInWindow(nvr, 1, 0);
    ASSERT_TRUE(Plays(0));
    CDlgPreview* live = ShowLivePage();
    ClickId(live, CDlgPreview::ID_RECORD);
    ASSERT_TRUE(SaidNotice(kRecordingStarted)) << Said();
    ASSERT_TRUE(FaultJourney::Recording(nvr, 1));

    // The second channel is refused: told once, the window says so and stays so. Its preview
    // is closed, not left to the watch for pictures, which would say the video was lost once
    // its time ran out.
    OpenInWindow(nvr, 2, 1);
    EXPECT_TRUE(WaitUntil([&] { return LiveWindow(1)->GetState() == CPlayWnd::State::kRefused; }))
        << "state " << int(LiveWindow(1)->GetState()) << ": " << Said();
    EXPECT_TRUE(WaitUntil([&] {
      CPreviewManager* previews = CPreviewManager::GetInstance();
      return !previews->FindByWindow(1) && !previews->FindConnecting(1);
    })) << "the refused preview is still open";
    EXPECT_EQ(LiveWindow(1)->GetState(), CPlayWnd::State::kRefused);
    EXPECT_EQ(count(full), 1) << Said();
    EXPECT_EQ(count(Text(kVideoLost).toStdU16String()), 0) << Said();
    EXPECT_EQ(TreeItemImage(ChannelNode(nvr, 2)), 4);
    EXPECT_TRUE(Plays(0)) << "the first channel plays on";

    // The disk fills under the first channel's recording: it ends, the user is told once, and
    // the channel's mark loses its recording.
    EXPECT_EQ(TreeItemImage(ChannelNode(nvr, 1)), kChannelRecording);
    {
      testsupport::FileSizeLimit disk(BytesOn('d', ".avi") + 64 * 1024);
      ASSERT_TRUE(disk.ok());
      EXPECT_TRUE(WaitUntil([&] { return !FaultJourney::Recording(nvr, 1) && SaidNotice(kRecordingCutByTheDisk); }))
          << "the recording did not end on the full disk, or the user was not told: " << Said();
      // Frames that come after the end meet the full disk no more.
      EXPECT_TRUE(Plays(0) && Plays(0)) << "the window plays on";
    }
    EXPECT_EQ(count(Text(kRecordingCutByTheDisk).toStdU16String()), 1) << Said();
    EXPECT_TRUE(WaitUntil([&] { return TreeItemImage(ChannelNode(nvr, 1)) == kChannelPlaying; }));
    Shot(Main(), "faults_nvr_disk_full");
    // With room again, Record records anew rather than stopping what no longer runs.
    const size_t notices = Ui().notices.size();
    Click(LiveWindow(0));
    ClickId(live, CDlgPreview::ID_RECORD);
    ASSERT_GT(Ui().notices.size(), notices);
    EXPECT_EQ(Ui().notices.back(), Text(kRecordingStarted).toStdU16String());
    EXPECT_TRUE(FaultJourney::Recording(nvr, 1));
    ClickId(live, CDlgPreview::ID_RECORD);
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace
