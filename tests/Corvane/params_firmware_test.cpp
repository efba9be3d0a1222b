// Firmware upload on its own channel: the bytes arrive intact, progress only grows, and 100 %
// comes from the camera's confirmation alone.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "session_fixture.h"
#include "support/TestFolder.h"

using namespace cvtest;

namespace {

struct Progress {
  std::vector<int> values;
  static void cb(int kind, int value, void* user) {
    EXPECT_EQ(kind, 1);
    static_cast<Progress*>(user)->values.push_back(value);
  }
};

}  // namespace

class ParamsFirmware : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    IpcLoginInfo li = login();
    guard.h = IPC_SessionOpen(&li);
    ASSERT_NE(guard.h, nullptr);
    path = testsupport::TestFile(std::string("fw-") +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override {
    std::filesystem::remove(path);
    CameraTest::TearDown();
  }
  std::vector<uint8_t> writeFile(size_t n) {
    std::vector<uint8_t> data(n);
    std::mt19937 rng(42);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(data.data()), n);
    return data;
  }
  SessionGuard guard;
  std::filesystem::path path;
  Progress progress;
  uint8_t header[kIpcFirmwareHeaderSize] = {};
};

TEST_F(ParamsFirmware, UploadArrivesIntactWithGrowingProgress) {
  const auto data = writeFile(5000);
  header[0] = 0x77;
  ASSERT_EQ(IPC_FirewareUpdate(guard.h, header, path.c_str(), &Progress::cb, &progress), 1);
  EXPECT_EQ(cam.firmwareReceived(), data);
  EXPECT_EQ(cam.firmwareAnnounced(), 5000u);
  // The size went into the caller's header too, at offset 4.
  EXPECT_EQ(header[4] | header[5] << 8, 5000);
  EXPECT_EQ(header[0], 0x77);
  auto log = cam.requests();
  auto up = std::find_if(log.begin(), log.end(), [](auto& r) { return r.code == kIpcCmdFirmware; });
  ASSERT_NE(up, log.end());
  EXPECT_EQ(up->payload[0], 0x77);
  ASSERT_EQ(progress.values.size(), (5000 + 543) / 544 + 1);
  for (size_t i = 1; i < progress.values.size(); ++i)
    EXPECT_LE(progress.values[i - 1], progress.values[i]);
  EXPECT_EQ(progress.values.front(), 544 * 100 / 5000);
  EXPECT_EQ(progress.values.back(), 100);
}

TEST_F(ParamsFirmware, EmptyFileReachesHundredOnlyOnConfirmation) {
  writeFile(0);
  ASSERT_EQ(IPC_FirewareUpdate(guard.h, header, path.c_str(), &Progress::cb, &progress), 1);
  EXPECT_EQ(progress.values, std::vector<int>{100});
  EXPECT_EQ(cam.firmwareAnnounced(), 0u);
  EXPECT_EQ(cam.firmwareUploads(), 1u);

  Progress refused;
  cam.forceNextReply(0x1234, 1);
  EXPECT_EQ(IPC_FirewareUpdate(guard.h, header, path.c_str(), &Progress::cb, &refused), 0);
  EXPECT_TRUE(refused.values.empty());
}

TEST_F(ParamsFirmware, MissingFileOrRefusedChannelFails) {
  EXPECT_EQ(IPC_FirewareUpdate(guard.h, header, "/nonexistent/fw.bin", &Progress::cb, &progress),
            0);
  EXPECT_EQ(cam.opens(kIpcChanFirmware), 0u);
  writeFile(100);
  cam.setRefuse(kIpcChanFirmware, true);
  EXPECT_EQ(IPC_FirewareUpdate(guard.h, header, path.c_str(), &Progress::cb, &progress), 0);
  EXPECT_TRUE(progress.values.empty());
  // An upload the camera never confirms fails after the reply wait.
  cam.setRefuse(kIpcChanFirmware, false);
  cam.setNoReply(true);
  EXPECT_EQ(IPC_FirewareUpdate(guard.h, header, path.c_str(), &Progress::cb, &progress), 0);
  // The one piece was all sent (100 %), yet without confirmation the upload fails.
  EXPECT_EQ(progress.values, std::vector<int>{100});
}
