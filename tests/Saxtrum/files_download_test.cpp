// Downloading recorded files by name: exact contents, progress, stop and failures.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "control_support.h"
#include "files/file_records.h"
#include "fixture.h"
#include "protocol/library.h"
#include "support/TestFolder.h"

using namespace saxtrum_test;

namespace {

std::string temp(const char* name) {
  return testsupport::TestFile("saxtrum_dl_" + std::string(name));
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The names in a folder.
std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class DvrDownloadTest : public DvrLoggedInTest {
 protected:
  void SetUp() override {
    DvrLoggedInTest::SetUp();
    header.resize(16);
    for (size_t i = 0; i < 16; ++i) header[i] = static_cast<uint8_t>(0xC0 + i);
    emu->services().setStreamHeader(header);
    emu->services().setStreamChunk(7000);
    file.name = "ch01_big.rec";
    file.data.resize(100000);
    for (size_t i = 0; i < file.data.size(); ++i) file.data[i] = static_cast<uint8_t>(i * 13);
    emu->services().addFile(file);
  }
  std::vector<uint8_t> header;
  dvremu::RecordedFile file;
};

}  // namespace

TEST(DvrDownloadProgress, SixtyFourBitPercent) {
  using saxtrum::files::downloadPercent;
  EXPECT_EQ(downloadPercent(500, 984), 50);
  EXPECT_EQ(downloadPercent(0, 0), 0);
  EXPECT_EQ(downloadPercent(16, 0), 100);
  EXPECT_EQ(downloadPercent(2000, 984), 100);  // never above 100
  // Above about 42 MB a 32-bit product would wrap.
  EXPECT_EQ(downloadPercent(50000000, 99999984), 50);
  EXPECT_EQ(downloadPercent(3000000000u, 3999999984u), 75);
}

TEST_F(DvrDownloadTest, WholeFileWithHeaderAndProgress) {
  const std::string path = temp("whole.rec");
  const int32_t h = QX_DVR_GetFileByName(id, file.name.c_str(), path.c_str());
  ASSERT_GE(h, 0);
  EXPECT_TRUE(eventually([&] { return QX_DVR_GetDownloadPos(h) == 100; }));
  const auto got = readFile(path);
  ASSERT_EQ(got.size(), 16 + file.data.size());
  EXPECT_TRUE(std::equal(header.begin(), header.end(), got.begin()));
  EXPECT_TRUE(std::equal(file.data.begin(), file.data.end(), got.begin() + 16));
  const auto req = emu->requests(8);
  ASSERT_EQ(req.size(), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&req[0].payload[8])), file.name);
  EXPECT_EQ(dvremu::get32(&req[0].payload[92]), 100000u);  // the kept file record goes back
  EXPECT_EQ(QX_DVR_StopGetFile(h), 1);
  EXPECT_EQ(QX_DVR_GetDownloadPos(h), -1);
  EXPECT_EQ(busySlots(*saxtrum::loginConnection(id)), 0);
}

TEST_F(DvrDownloadTest, FailuresReleaseTheirSlots) {
  auto conn = saxtrum::loginConnection(id);
  const std::string path = temp("fail.rec");
  EXPECT_EQ(QX_DVR_GetFileByName(id, "", path.c_str()), -1);
  EXPECT_EQ(QX_DVR_GetFileByName(id, nullptr, path.c_str()), -1);
  EXPECT_EQ(QX_DVR_GetFileByName(100, file.name.c_str(), path.c_str()), -1);
  EXPECT_EQ(QX_DVR_GetFileByName(id, file.name.c_str(), "/nonexistent-dir/x.rec"), -1);
  EXPECT_EQ(QX_DVR_GetFileByName(id, "no-such-file", path.c_str()), -1);
  emu->refuse(8, true);
  EXPECT_EQ(QX_DVR_GetFileByName(id, file.name.c_str(), path.c_str()), -1);
  emu->refuse(8, false);
  EXPECT_EQ(busySlots(*conn), 0);
  // A stop the device refuses still gives the slot back.
  const int32_t h = QX_DVR_GetFileByName(id, file.name.c_str(), path.c_str());
  ASSERT_GE(h, 0);
  emu->refuse(9, true);
  EXPECT_EQ(QX_DVR_StopGetFile(h), 0);
  EXPECT_EQ(busySlots(*conn), 0);
  EXPECT_EQ(QX_DVR_StopGetFile(h), 0);
}

// A file downloaded whole, then the same file asked for again into the same place: refused by
// the device, stopped by the user half way, and asked of a device that has stopped answering.
// The first download stays as it was every time; while a download runs, its bytes are in a
// part of its own beside the file, which is gone once it ends without completing.
TEST_F(DvrDownloadTest, AnEarlierDownloadSurvivesOnesThatFailStopOrHang) {
  const std::string folder = testsupport::NewTestFolder();
  const std::string path = folder + "/again.rec";
  const int32_t h = QX_DVR_GetFileByName(id, file.name.c_str(), path.c_str());
  ASSERT_GE(h, 0);
  ASSERT_TRUE(eventually([&] { return QX_DVR_GetDownloadPos(h) == 100; }));
  EXPECT_EQ(QX_DVR_StopGetFile(h), 1);
  const std::vector<uint8_t> whole = readFile(path);
  ASSERT_EQ(whole.size(), 16 + file.data.size());
  EXPECT_EQ(namesIn(folder), std::vector<std::string>{"again.rec"});

  // Refused by the device.
  emu->refuse(8, true);
  EXPECT_EQ(QX_DVR_GetFileByName(id, file.name.c_str(), path.c_str()), -1);
  emu->refuse(8, false);
  EXPECT_EQ(readFile(path), whole);
  EXPECT_EQ(namesIn(folder), std::vector<std::string>{"again.rec"});

  // Stopped half way: the device's own answer is held back and a first piece sent by hand.
  emu->hold(8, true);
  const size_t asked = emu->requests(8).size();
  int32_t running = -1;
  std::thread start([&] { running = QX_DVR_GetFileByName(id, file.name.c_str(), path.c_str()); });
  const bool reached = emu->waitForRequests(8, asked + 1);
  if (reached) {
    const uint32_t wire = emu->requests(8).back().handle;
    emu->sendPacket(6, wire, 200, header);
    emu->sendPacket(8, wire, 200, std::vector<uint8_t>(file.data.begin(), file.data.begin() + 7000));
  }
  start.join();
  ASSERT_TRUE(reached);
  ASSERT_GE(running, 0);
  EXPECT_EQ(QX_DVR_GetDownloadPos(running), 7);
  EXPECT_EQ(readFile(path), whole) << "the earlier file is left alone while the download runs";
  const std::vector<std::string> during = namesIn(folder);
  ASSERT_EQ(during.size(), 2u);
  const std::string partName = during[0] == "again.rec" ? during[1] : during[0];
  EXPECT_EQ(partName.rfind("again.rec.", 0), 0u) << partName;
  EXPECT_EQ(partName.substr(partName.size() - 5), ".part") << partName;
  EXPECT_EQ(readFile(folder + "/" + partName).size(), 16u + 7000u);
  EXPECT_EQ(QX_DVR_StopGetFile(running), 1);
  EXPECT_EQ(readFile(path), whole);
  EXPECT_EQ(namesIn(folder), std::vector<std::string>{"again.rec"});
  emu->hold(8, false);

  // The device has stopped answering: the request runs out of time.
  emu->silence(13, true);
  EXPECT_EQ(QX_DVR_GetFileByName(id, file.name.c_str(), path.c_str()), -1);
  EXPECT_EQ(readFile(path), whole);
  EXPECT_EQ(namesIn(folder), std::vector<std::string>{"again.rec"});
}
