// File search against the recorder emulator: batches, end of list, request encoding.
#include <cstdio>
#include <cstring>

#include "control_support.h"
#include "files/file_records.h"
#include "fixture.h"
#include "protocol/library.h"

using namespace saxtrum_test;

namespace {

class DvrFindTest : public DvrLoggedInTest {
 protected:
  void SetUp() override {
    DvrLoggedInTest::SetUp();
  }
  void addFiles(int n, uint32_t channel = 1, uint32_t type = 0) {
    for (int i = 0; i < n; ++i) {
      dvremu::RecordedFile f;
      char name[32];
      std::snprintf(name, sizeof name, "ch%02u_%03d.rec", channel, i);
      f.name = name;
      f.channel = channel;
      f.type = type;
      f.start = {2013, 2, 28, static_cast<uint32_t>(i / 60), static_cast<uint32_t>(i % 60), 0};
      f.end = {2013, 2, 28, static_cast<uint32_t>(i / 60), static_cast<uint32_t>(i % 60), 30};
      f.data.assign(static_cast<size_t>(100 + i), static_cast<uint8_t>(i));
      emu->services().addFile(f);
    }
  }
  QX_DVR_FILECOND day(int32_t channel = 1, uint32_t type = QX_DVR_FILE_ALL) {
    QX_DVR_FILECOND c{};
    c.lChannel = channel;
    c.dwFileType = type;
    c.struStartTime = {2013, 2, 28, 0, 0, 0};
    c.struStopTime = {2013, 2, 28, 23, 59, 59};
    return c;
  }
  // Calls find-next until it stops returning files; how many came.
  int drain(int32_t h, int limit = 200) {
    QX_DVR_FIND_DATA d{};
    int n = 0;
    while (n < limit && QX_DVR_FindNextFile(h, &d) == QX_DVR_FILE_SUCCESS) ++n;
    return n;
  }
};

}  // namespace

TEST(DvrFileRecords, TypeMasksAndRequest) {
  const struct { uint32_t type; int32_t mask; } rows[] = {
      {0, 2}, {1, 4}, {2, 8}, {3, 12}, {6, 1}, {255, 15}, {4, -1}, {5, -1}, {7, -1}};
  for (auto r : rows) EXPECT_EQ(saxtrum::files::fileTypeMask(r.type), r.mask) << r.type;
  QX_DVR_FILECOND c{};
  c.lChannel = 3;
  c.struStartTime = {2013, 2, 28, 1, 2, 3};
  c.struStopTime = {2013, 3, 1, 4, 5, 6};
  uint8_t req[100];
  saxtrum::files::buildFindRequest(c, 12, req);
  uint8_t expect[100] = {};
  expect[0] = 2;
  const uint8_t start[24] = {0xDD, 7, 0, 0, 2, 0, 0, 0, 28, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
  const uint8_t end[24] = {0xDD, 7, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0};
  std::memcpy(expect + 40, start, 24);
  std::memcpy(expect + 64, end, 24);
  expect[88] = 12;
  EXPECT_EQ(std::memcmp(req, expect, 100), 0);
}

TEST_F(DvrFindTest, BadConditionsTakeNoSlot) {
  auto conn = saxtrum::loginConnection(id);
  QX_DVR_FILECOND c = day(1, 4);
  EXPECT_EQ(QX_DVR_FindFile(id, &c), -1);
  c = day(0);
  EXPECT_EQ(QX_DVR_FindFile(id, &c), -1);
  c = day(17);
  EXPECT_EQ(QX_DVR_FindFile(id, &c), -1);
  EXPECT_EQ(QX_DVR_FindFile(id, nullptr), -1);
  EXPECT_EQ(QX_DVR_FindFile(77, &c), -1);
  EXPECT_EQ(busySlots(*conn), 0);
  EXPECT_TRUE(emu->requests(14).empty());
  QX_DVR_FIND_DATA d{};
  EXPECT_EQ(QX_DVR_FindNextFile(0x7FFF1F, &d), 0);
}

TEST_F(DvrFindTest, SevenFilesThenTheEndWithoutAnotherRequest) {
  addFiles(7);
  addFiles(3, 2);  // another channel
  QX_DVR_FILECOND c = day();
  const int32_t h = QX_DVR_FindFile(id, &c);
  ASSERT_GE(h, 0);
  QX_DVR_FIND_DATA d{};
  for (int i = 0; i < 7; ++i) {
    ASSERT_EQ(QX_DVR_FindNextFile(h, &d), QX_DVR_FILE_SUCCESS) << i;
    char name[32];
    std::snprintf(name, sizeof name, "ch01_%03d.rec", i);
    EXPECT_STREQ(d.sFileName, name);
    EXPECT_EQ(d.dwFileSize, static_cast<uint32_t>(100 + i));
    EXPECT_EQ(d.struStartTime.dwYear, 2013u);
    EXPECT_EQ(d.struStartTime.dwMinute, static_cast<uint32_t>(i));
    EXPECT_EQ(d.struStopTime.dwSecond, 30u);
  }
  EXPECT_EQ(QX_DVR_FindNextFile(h, &d), QX_DVR_NOMOREFILE);
  EXPECT_EQ(QX_DVR_FindNextFile(h, &d), QX_DVR_NOMOREFILE);
  EXPECT_EQ(emu->requests(15).size(), 1u);
  // The next-batch request carries the record of the find reply.
  const auto find = emu->requests(14);
  ASSERT_EQ(find.size(), 1u);
  EXPECT_EQ(find[0].payload.size(), 100u);
  EXPECT_EQ(dvremu::get32(&find[0].payload[88]), 15u);
  EXPECT_EQ(dvremu::get32(&emu->requests(15)[0].payload[88]), 15u);
  EXPECT_EQ(QX_DVR_FindClose(h), 1);
  EXPECT_EQ(QX_DVR_FindNextFile(h, &d), 0);  // the handle is gone
  ASSERT_TRUE(emu->waitForRequests(16, 1));
  EXPECT_EQ(busySlots(*saxtrum::loginConnection(id)), 0);
}

TEST_F(DvrFindTest, FortyOneFilesAskForASecondBatch) {
  addFiles(41);
  QX_DVR_FILECOND c = day();
  const int32_t h = QX_DVR_FindFile(id, &c);
  ASSERT_GE(h, 0);
  QX_DVR_FIND_DATA d{};
  for (int i = 0; i < 40; ++i) ASSERT_EQ(QX_DVR_FindNextFile(h, &d), QX_DVR_FILE_SUCCESS) << i;
  EXPECT_EQ(emu->requests(15).size(), 1u);
  ASSERT_EQ(QX_DVR_FindNextFile(h, &d), QX_DVR_FILE_SUCCESS);
  EXPECT_STREQ(d.sFileName, "ch01_040.rec");
  EXPECT_EQ(emu->requests(15).size(), 2u);
  EXPECT_EQ(QX_DVR_FindNextFile(h, &d), QX_DVR_NOMOREFILE);
  EXPECT_EQ(emu->requests(15).size(), 2u);
  EXPECT_EQ(QX_DVR_FindClose(h), 1);
}

TEST_F(DvrFindTest, AnEmptyBatchIsTheEndNotAFile) {
  addFiles(40);
  QX_DVR_FILECOND c = day();
  const int32_t h = QX_DVR_FindFile(id, &c);
  ASSERT_GE(h, 0);
  EXPECT_EQ(drain(h), 40);
  EXPECT_EQ(emu->requests(15).size(), 2u);  // the second came back empty
  QX_DVR_FIND_DATA d{};
  EXPECT_EQ(QX_DVR_FindNextFile(h, &d), QX_DVR_NOMOREFILE);
  EXPECT_EQ(emu->requests(15).size(), 2u);
  QX_DVR_FindClose(h);
  // No file of the kind: the first batch is empty.
  c = day(1, 1);
  const int32_t none = QX_DVR_FindFile(id, &c);
  ASSERT_GE(none, 0);
  EXPECT_EQ(QX_DVR_FindNextFile(none, &d), QX_DVR_NOMOREFILE);
  QX_DVR_FindClose(none);
}

TEST_F(DvrFindTest, RefusedAndUnansweredBatches) {
  addFiles(3);
  QX_DVR_FILECOND c = day();
  emu->refuse(14, true);
  EXPECT_EQ(QX_DVR_FindFile(id, &c), -1);
  emu->refuse(14, false);
  int32_t h = QX_DVR_FindFile(id, &c);
  ASSERT_GE(h, 0);
  QX_DVR_FIND_DATA d{};
  emu->refuse(15, true);
  EXPECT_EQ(QX_DVR_FindNextFile(h, &d), QX_DVR_NOMOREFILE);
  emu->refuse(15, false);
  QX_DVR_FindClose(h);
  ASSERT_TRUE(emu->waitForRequests(16, 1));
  h = QX_DVR_FindFile(id, &c);
  emu->silence(15, true);
  EXPECT_EQ(QX_DVR_FindNextFile(h, &d), -1);
  emu->silence(15, false);
  // An unanswered batch loses the connection: the close cannot be sent, yet its slot is free.
  EXPECT_EQ(QX_DVR_FindClose(h), 0);
  EXPECT_EQ(busySlots(*saxtrum::loginConnection(id)), 0);
  EXPECT_EQ(emu->requests(16).size(), 1u);
}
