// Saving a recorder's live view onto a disk that fills up: the file ends at its last whole
// packet, the preview's flag clears, its play window hears of it and the user gets a notice;
// the device is not taken for lost.
#include <atomic>
#include <string>
#include <vector>

#include "camera_common/CameraPreview.h"
#include "ipc_fixture.h"
#include "qx_fixture.h"
#include "support/FileSizeLimit.h"
#include "support/RecorderFile.h"

using namespace qx_test;

namespace {

std::vector<std::string> g_notices;  // the notice handler runs on the pumping thread
void KeepNotice(HWND, const char* text, const char*) { g_notices.push_back(text); }
std::atomic<int> g_deviceExceptions{0};
void CountException(uint32_t, int32_t, int32_t, void*) { ++g_deviceExceptions; }

struct QXRecord : RecorderTest {
  void SetUp() override {
    RecorderTest::SetUp();
    g_notices.clear();
    g_deviceExceptions = 0;
    SetDevNoticeSink(&KeepNotice);
    // As the program starts the device side: the exception hooks are in place.
    CQXGlobal::RegisterHandleException(reinterpret_cast<void*>(&CountException));
    ASSERT_EQ(CQXGlobal::RegisterExceptionCallBack(), 1);
  }
  void TearDown() override {
    CQXGlobal::RegisterHandleException(nullptr);
    SetDevNoticeSink(nullptr);
    RecorderTest::TearDown();
  }
};

TEST_F(QXRecord, AFullDiskEndsSavingAtAWholePacketClearsTheFlagAndTellsThePlayWindow) {
  LoggedIn();
  hotest::PlayWindow wnd;
  localplay_test::TempDir dir;
  IDevPreview* preview = CDevPreviewFactory::CreateDevPreview(login, 1);
  ASSERT_NE(preview, nullptr);
  ASSERT_TRUE(preview->SetPlayWnd(wnd.handle));
  ASSERT_TRUE(preview->StartPreview());
  const std::string path = dir.file("full.264");
  {
    testsupport::FileSizeLimit disk(20000);
    ASSERT_TRUE(disk.ok());
    ASSERT_TRUE(preview->StartRecord(0, path.c_str()));
    // The flag clears on the SDK's thread; the play window's message follows.
    EXPECT_TRUE(wnd.pumpUntil([&] { return wnd.recordFailures > 0; }));
  }
  EXPECT_FALSE(preview->IsRecording());
  EXPECT_TRUE(preview->IsPreviewing());
  ASSERT_EQ(g_notices.size(), 1u);
  EXPECT_EQ(g_notices[0], hollin::kRecordFailedText);
  EXPECT_EQ(g_deviceExceptions.load(), 0);
  EXPECT_TRUE(preview->StopRecord());  // nothing is left to stop

  const testsupport::RecorderFileShape file = testsupport::ReadRecorderFile(path);
  EXPECT_LE(file.size, 20000u);
  EXPECT_TRUE(file.streamHeader);
  EXPECT_GT(file.frames, 0);
  EXPECT_TRUE(file.endsAtFrame);

  // With room again the same preview saves anew, and a stop the user asks for tells nobody.
  ASSERT_TRUE(preview->StartRecord(0, dir.file("again.264").c_str()));
  EXPECT_TRUE(preview->IsRecording());
  EXPECT_FALSE(preview->StartRecord(0, dir.file("third.264").c_str()));
  EXPECT_TRUE(preview->IsRecording());
  EXPECT_TRUE(preview->StopRecord());
  EXPECT_FALSE(preview->IsRecording());
  CDevPreviewFactory::DeleteDevPreview(preview, login);
  wnd.pumpUntil([] { return false; }, 300);
  EXPECT_EQ(wnd.recordFailures, 1);
  EXPECT_EQ(g_notices.size(), 1u);
}

}  // namespace
