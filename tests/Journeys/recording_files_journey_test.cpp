// Recording files as the ring hands them out. Two windows record onto d: when it is short of
// room with loop recording on: the recording still being written is never deleted to make room
// for the other, its row stays, and the user hears that the disk is full; once it has ended,
// whole and playable from its first frame, it is the file that goes. A camera named with the 63 Chinese characters the add dialog takes
// records under a name the file system holds, and a start that fails lists nothing.
#include <filesystem>
#include <fstream>

#include "FaultSteps.h"
#include "view/PlayWnd.h"
#include "plat/text.h"
#include "support/PlayableFrames.h"
#include "support/RecorderFile.h"
#include "view/PlaybackNames.h"
#include "view/RecordFileRing.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kRecordingStarted = 8368, kRecordingNotStarted = 8369, kDiskBelowReserve = 8525;

class RecordingFiles : public FaultJourney {
 protected:
  // Presses record for the window; the notice it gave.
  std::u16string Record(int window) {
    Click(LiveWindow(window));
    const size_t notices = Ui().notices.size();
    ClickId(Main()->GetPreviewDlg(), CDlgPreview::ID_RECORD);
    return Ui().notices.size() > notices ? Ui().notices.back() : std::u16string();
  }
  static std::u16string TextOf(unsigned id) { return Text(id).toStdU16String(); }
  static std::vector<std::u16string> Listed() { return CRecordFileRing::GetInstance()->ListedFiles(u"d:\\"); }
  // The recorder as SeedDevices stores it.
  const QString recorder = QString::fromStdU16String(JourneyTest::kRecorderName);
};

TEST_F(RecordingFiles, TheRecordingBeingWrittenIsNeverTheOneFreedForAnother) {
  ASSERT_TRUE(StartEmulators());
  SeedDevices();
  RunProgram([&] {
    ChooseRecordingDisk(1);  // d:, loop recording on
    OpenInWindow(recorder, 1, 0);
    OpenInWindow(recorder, 2, 1);
    ASSERT_TRUE(Plays(0) && Plays(1));
    ASSERT_EQ(Record(0), TextOf(kRecordingStarted));
    ASSERT_TRUE(WaitUntil([&] { return BytesOn('d') > 32 * 1024; }));
    ASSERT_EQ(Recordings('d').size(), 1u);
    const fs::path first = Recordings('d')[0];
    ASSERT_EQ(Listed().size(), 1u);

    // d: is a byte short of the ring's reserve as long as the first file is there, and that
    // file is being written; deleting it would make the room.
    const int64_t reserve = static_cast<int64_t>(CRecordFileRing::kFullPackMultiple *
                                                 CRecordFileRing::GetInstance()->PackSize());
    CRecordFileRing::GetInstance()->SetFreeSpaceQuery([first, reserve](const std::u16string& root) -> int64_t {
      if (root[0] != u'd') return int64_t{1} << 40;
      return fs::exists(first) ? reserve - 1 : reserve + 1;
    });
    EXPECT_EQ(Record(1), TextOf(kDiskBelowReserve)) << "the second window is told the disk is full";
    EXPECT_TRUE(Recording(recorder, 1)) << "the first window records on";
    EXPECT_FALSE(Recording(recorder, 2));
    EXPECT_TRUE(fs::exists(first));
    EXPECT_EQ(Listed().size(), 1u) << "the row of the file being written stays";
    const uint64_t size = fs::file_size(first);
    EXPECT_TRUE(WaitUntil([&] { return fs::file_size(first) > size + 16 * 1024; })) << "the first file grows on";

    // Ended, it is a whole recording that plays from its first key frame; now it may be freed.
    EXPECT_EQ(Record(0), std::u16string());
    EXPECT_FALSE(Recording(recorder, 1));
    const testsupport::RecorderFileShape shape = testsupport::ReadRecorderFile(first.string());
    EXPECT_TRUE(shape.streamHeader);
    EXPECT_TRUE(shape.endsAtFrame);
    EXPECT_GT(shape.keyFrames, 0) << "nothing in it a player can start from";
    EXPECT_GT(shape.frames, 10);
    EXPECT_EQ(Record(1), TextOf(kRecordingStarted));
    EXPECT_FALSE(fs::exists(first)) << "the ended recording is the one freed";
    EXPECT_EQ(Listed().size(), 1u);
    EXPECT_EQ(Record(1), std::u16string());
    CRecordFileRing::GetInstance()->SetFreeSpaceQuery(nullptr);
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

TEST_F(RecordingFiles, ALongChineseCameraNameRecordsAndAFailedStartListsNothing) {
  ASSERT_TRUE(StartEmulators());
  QString name;
  for (int i = 0; i < 63; ++i) name += QChar(0x95E8 + i % 20);  // 门 and its neighbours
  RunProgram([&] {
    CDlgDevMgr* page = OpenDeviceManager();
    AddRegion(page);
    AddDevice(page, name, "IPCamera", 1, "127.0.0.1", camera().Port(), kCameraUser, kCameraPassword);
    ChooseRecordingDisk(1);
    OpenInWindow(name, 1, 0);
    ASSERT_TRUE(Plays(0));
    ASSERT_EQ(Record(0), TextOf(kRecordingStarted)) << Said();
    ASSERT_TRUE(WaitUntil([&] { return BytesOn('d', ".avi") > 64 * 1024; }));
    EXPECT_EQ(Record(0), std::u16string());
    // The file the start opened is closed empty by the first frame, and stays when that frame
    // came in a later second.
    std::vector<fs::path> recorded = Recordings('d', ".avi");
    std::erase_if(recorded, [](const fs::path& p) { return testsupport::EmptyRecording(p.string()); });
    ASSERT_EQ(recorded.size(), 1u);
    const fs::path file = recorded[0];
    EXPECT_LE(file.filename().string().size(), 255u);
    EXPECT_GT(testsupport::PlayableFrames(file.string()), 0);
    // Named after the device, shortened at a character's end; listed by that name.
    const std::u16string part = playback_names::RingDevicePart(name.toStdU16String());
    EXPECT_LT(part.size(), 63u);
    EXPECT_EQ(name.toStdU16String().rfind(part, 0), 0u);
    EXPECT_EQ(plat::utf8ToUtf16(file.filename().string()).rfind(u"Preview_" + part + u"_01_", 0), 0u)
        << file.filename();
    ASSERT_EQ(Listed().size(), 1u);
    std::vector<std::string> listed = CRecordFileRing::RecordingFilesOf(Listed()[0]);
    std::erase_if(listed, [](const std::string& p) { return testsupport::EmptyRecording(p); });
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_TRUE(fs::equivalent(listed[0], file));

    // The record folder cannot take a file: the start fails, and no row names a file that
    // never came.
    const fs::path folder = fs::path(Drive('d')) / "RecordFile";
    fs::rename(folder, folder.string() + ".away");
    std::ofstream(folder) << "not a folder\n";
    EXPECT_EQ(Record(0), TextOf(kRecordingNotStarted));
    EXPECT_EQ(Listed().size(), 1u);
    fs::remove(folder);
    fs::rename(folder.string() + ".away", folder);
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace
