// Downloading recorded files by name: exact contents, progress, stop and failures.
#include <fstream>
#include <iterator>

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
