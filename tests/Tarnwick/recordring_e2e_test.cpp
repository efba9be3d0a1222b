// The ring in a real recording: a recorder emulator streams video, the device layer saves it
// under the names the ring hands out, and the loop the preview page runs rolls files whenever
// the ring says a file is full. The "disk" is a small folder whose free space is its capacity
// minus what it holds, so it fills within seconds and the ring must keep recording by deleting
// the oldest real files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "devices/DeviceManager.h"
#include "dvremu/emulator.h"
#include "dvremu/stream.h"
#include "harness/Services.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "plat/window.h"
#include "support/TestFolder.h"
#include "view/RecordFileRing.h"

namespace fs = std::filesystem;

namespace {

uintmax_t Used(const fs::path& dir) {
  uintmax_t total = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (it->is_regular_file(ec2)) total += it->file_size(ec2);
  }
  return total;
}

struct RingRecording : ::testing::Test {
  fs::path root;
  bool sdk = false;
  void SetUp() override {
    root = testsupport::NewTestFolder();
    fs::create_directories(root / "home");
    fs::create_directories(root / "c");
    fs::create_directories(root / "d");
    setenv("TARNWICK_HOME", (root / "home").c_str(), 1);
    setenv("TARNWICK_DRIVES", ((root / "c").string() + ":" + (root / "d").string()).c_str(), 1);
    plat::resetDriveMap();
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    plat::setTimeScale(0.05);
  }
  void TearDown() override {
    harness::ResetServices();
    if (sdk) CQXGlobal::Cleanup();
    plat::setTimeScale(1.0);
    unsetenv("TARNWICK_HOME");
    unsetenv("TARNWICK_DRIVES");
    plat::resetDriveMap();
    fs::remove_all(root);
  }
};

TEST_F(RingRecording, TheRecorderRollsFilesAndTheRingFreesTheOldestWhenTheDiskIsFull) {
  dvremu::StreamClip stream;
  std::string error;
  ASSERT_TRUE(dvremu::generatedClip(false, 352, 288, 50, 25, false, &stream, &error)) << error;
  dvremu::Emulator emu;
  emu.setClip(stream);
  ASSERT_TRUE(emu.start());
  ASSERT_EQ(CQXGlobal::Startup(), 1);
  sdk = true;

  constexpr unsigned kPack = 32 * 1024;
  constexpr int64_t kCapacity = 34LL * kPack;  // room for about four packs above the mark
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  ring->SetFreeSpaceQuery([this](const std::u16string& root16) -> int64_t {
    return kCapacity - static_cast<int64_t>(Used(plat::toNativePath(root16)));
  });
  ring->SetPackSize(kPack);
  CRecordFileRing::DiskFlags flags{};
  flags[1] = 1;  // d:
  ring->SetDisks(flags);
  ring->SetCircular(1);

  CDevInfo info(u"门口", u"localhost", emu.port(), u"admin", u"12345", 4, u"", u"", u"", u"", 0, 0,
                DEV_TYPE_DVR, u"DEV-RING-1", u"REGION-1");
  CDeviceManager* list = CDeviceManager::GetInstance();
  ASSERT_TRUE(list->Add(new CDevice(info)));
  auto dispatcher = std::make_shared<plat::QueueDispatcher>();
  plat::WindowHandle window =
      plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; }, dispatcher);
  IDevPreview* preview = list->GetChannelPreviewByGuid(u"DEV-RING-1", 1);
  ASSERT_NE(preview, nullptr);
  ASSERT_TRUE(preview->SetPlayWnd(window));
  ASSERT_TRUE(preview->StartPreview());

  // What the preview page does: a name from the ring, recording into it, and a new name
  // whenever the ring finds the current recording full.
  std::vector<std::u16string> names;
  auto roll = [&] {
    std::u16string name;
    if (!ring->NewRecordFile(DEV_TYPE_DVR, u"门口", 1, name)) return false;
    if (preview->IsRecording()) preview->StopRecord();
    names.push_back(name);
    return preview->StartRecord(0, plat::utf16ToUtf8(name).c_str());
  };
  ASSERT_TRUE(roll());
  const fs::path disk = root / "d";
  uintmax_t mostUsed = 0;
  const int64_t deadline = plat::monotonicMs() + 120000;
  while (names.size() < 14 && plat::monotonicMs() < deadline) {
    dispatcher->pump(0);
    mostUsed = std::max(mostUsed, Used(disk));
    if (ring->NeedNewFile(ring->GetCurrentFile(u"门口", 1))) {
      ASSERT_TRUE(roll()) << "recording stopped";
    }
    plat::sleepMs(200);  // 10 ms of real time
  }
  preview->StopRecord();
  ASSERT_GE(names.size(), 14u) << "the recorder never filled a file";

  // The first recordings were deleted for the later ones; the newest are still there.
  EXPECT_TRUE(CRecordFileRing::RecordingFilesOf(names[0]).empty());
  EXPECT_TRUE(CRecordFileRing::RecordingFilesOf(names[1]).empty());
  EXPECT_FALSE(CRecordFileRing::RecordingFilesOf(names.back()).empty());
  const auto listed = ring->ListedFiles(u"d:\\");
  EXPECT_LT(listed.size(), names.size());
  EXPECT_EQ(listed.back(), names.back());
  // The "disk" never ran out: the ring made room before every new file.
  EXPECT_LT(mostUsed, static_cast<uintmax_t>(kCapacity));
  for (const auto& path : CRecordFileRing::RecordingFilesOf(names.back()))
    EXPECT_EQ(fs::path(path).extension(), ".264");
  list->FindDevice(u"DEV-RING-1", 1)->ReleaseAll();
  emu.stop();
  plat::unregisterWindow(window);
}

}  // namespace
