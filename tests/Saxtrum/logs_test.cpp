// Device log search: request encoding, the type tables, and a search against the emulator.
#include <cstring>
#include <vector>

#include "control_support.h"
#include "fixture.h"
#include "logs/log_query.h"
#include "protocol/library.h"

using namespace saxtrum_test;
using namespace saxtrum::logs;

TEST(DvrLogQuery, TimesAsTheDeviceKeepsThem) {
  const QX_DVR_TIME start{2012, 3, 5, 6, 7, 8}, end{2012, 12, 31, 23, 59, 59};
  std::vector<uint8_t> q(saxtrum::kLogBlockSize, 0xEE);
  buildLogQuery(2, 3, 65, start, end, q.data());
  const std::vector<uint8_t> head = {
      112, 0, 0, 0,  2, 0, 0, 0,  5, 0, 0, 0,  6, 0, 0, 0,  7, 0, 0, 0,  8, 0, 0, 0,
      112, 0, 0, 0,  11, 0, 0, 0,  31, 0, 0, 0,  23, 0, 0, 0,  59, 0, 0, 0,  59, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(q.begin(), q.begin() + 48), head);
  EXPECT_EQ(std::vector<uint8_t>(q.begin() + 72, q.begin() + 92),
            (std::vector<uint8_t>{1, 0, 0, 0,  1, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0,  2, 0, 0, 0}));
  EXPECT_EQ(std::count(q.begin() + 92, q.end(), 0), static_cast<long>(q.size() - 92));
  EXPECT_EQ(start.dwYear, 2012u);  // the caller's records stay as they were
}

TEST(DvrLogQuery, TypeTables) {
  struct Row {
    uint32_t major, minor, code, mask;
  } rows[] = {
      {1, 1, 4, 0x2},      {1, 2, 4, 0x4},       {1, 3, 4, 0x8},        {1, 4, 4, 0x8},
      {1, 5, 4, 0x10},     {1, 6, 4, 0x10},      {1, 7, 4, 0x20},       {1, 8, 4, 0x20},
      {1, 9, 4, 0},        {1, 0, 4, 0},         {2, 33, 6, 0x1},       {2, 34, 2, 0x1},
      {2, 35, 2, 0x2},     {2, 36, 2, 0x4},      {2, 38, 2, 0x8},       {2, 40, 2, 0x20},
      {2, 37, 2, 0x40},    {2, 39, 2, 0x40},     {2, 41, 2, 0x40},      {2, 42, 2, 0x40},
      {2, 43, 2, 0x40},    {2, 44, 2, 0},        {3, 65, 1, 0x1},       {3, 66, 1, 0x2},
      {3, 131, 1, 0x2},    {3, 68, 1, 0x4},      {3, 123, 1, 0x4},      {3, 80, 1, 0x8},
      {3, 112, 1, 0x8},    {3, 81, 1, 0x10},     {3, 113, 1, 0x10},     {3, 90, 1, 0x80},
      {3, 126, 1, 0x80},   {3, 85, 1, 0x400},    {3, 114, 1, 0x400},    {3, 86, 1, 0x800},
      {3, 115, 1, 0x800},  {3, 87, 1, 0x1000},   {3, 129, 1, 0x1000},   {3, 137, 1, 0x2000},
      {3, 92, 1, 0x4000},  {3, 130, 1, 0x4000},  {3, 83, 1, 0x8000},    {3, 84, 1, 0x8000},
      {3, 127, 1, 0x8000}, {3, 128, 1, 0x8000},  {3, 93, 1, 0x10000},   {3, 134, 1, 0x10000},
      {3, 94, 1, 0x20000}, {3, 135, 1, 0x20000}, {3, 91, 1, 0x40000},   {3, 95, 1, 0x40000},
      {3, 102, 1, 0x40000}, {3, 103, 1, 0x40000}, {3, 136, 1, 0x40000}, {3, 98, 1, 0xd},
      {3, 69, 1, 0},       {3, 79, 1, 0},        {3, 109, 1, 0},        {3, 111, 1, 0},
      {3, 67, 1, 0x400000}, {3, 100, 1, 0x400000}, {3, 144, 1, 0x400000}, {3, 64, 1, 0},
      {3, 145, 1, 0},      {4, 161, 3, 0x1},     {4, 162, 3, 0x4},      {4, 168, 3, 0x4},
      {4, 169, 3, 0},      {4, 160, 3, 0},       {0, 1, 16, 0},         {5, 33, 16, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(majorCode(r.major, r.minor), r.code) << r.major << "/" << r.minor;
    EXPECT_EQ(minorMask(r.major, r.minor), r.mask) << r.major << "/" << r.minor;
  }
}

namespace {

class DvrLogSearchTest : public DvrLoggedInTest {
 protected:
  void SetUp() override {
    DvrLoggedInTest::SetUp();
    auto add = [&](uint32_t day, uint32_t major, uint32_t bit, const char* text) {
      dvremu::LogEntry e;
      e.time = {2012, 3, day, 10, 0, 0};
      e.major = major;
      e.minorBit = bit;
      e.text = text;
      emu->services().addLog(e);
    };
    add(5, 1, 0x1, "login");
    add(5, 4, 0x2, "motion");
    add(6, 1, 0x4, "reboot");
    add(9, 1, 0x1, "later");
  }
  const QX_DVR_TIME from{2012, 3, 5, 0, 0, 0}, to{2012, 3, 6, 23, 59, 59};
};

}  // namespace

TEST_F(DvrLogSearchTest, RecordsThenNoneThenClose) {
  // Operation logs (major code 1), any minor kind, over two days.
  const int32_t h = QX_DVR_FindDVRLog(id, 0, 3, 0, &from, &to);
  ASSERT_GE(h, 0);
  std::vector<uint8_t> record(QX_DVR_LOG_SIZE, 0xEE);
  ASSERT_EQ(QX_DVR_FindNextLog(h, record.data()), QX_DVR_FILE_SUCCESS);
  // The device's record: time as it keeps it, major code, minor bit, text.
  EXPECT_EQ(record[0], 112);
  EXPECT_EQ(record[4], 2);
  EXPECT_EQ(record[8], 5);
  EXPECT_EQ(record[24], 1);
  EXPECT_STREQ(reinterpret_cast<const char*>(&record[32]), "login");
  ASSERT_EQ(QX_DVR_FindNextLog(h, record.data()), QX_DVR_FILE_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<const char*>(&record[32]), "reboot");
  EXPECT_EQ(QX_DVR_FindNextLog(h, record.data()), QX_DVR_NOMOREFILE);
  // Each next request carries the block the last reply left.
  const auto next = emu->requests(33);
  ASSERT_EQ(next.size(), 3u);
  EXPECT_EQ(next[0].payload.size(), saxtrum::kLogBlockSize);
  EXPECT_EQ(next[1].payload[92 + 8], 5);  // the first record came back in the second request
  EXPECT_EQ(QX_DVR_FindLogClose(h), 1);
  EXPECT_EQ(QX_DVR_FindNextLog(h, record.data()), QX_DVR_FILE_EXCEPTION);
  EXPECT_EQ(busySlots(*saxtrum::loginConnection(id)), 0);
}

TEST_F(DvrLogSearchTest, MinorMaskAndFailures) {
  auto conn = saxtrum::loginConnection(id);
  // Operation kind 66 is the device's bit 0x2: nothing of that kind was logged.
  int32_t h = QX_DVR_FindDVRLog(id, 1, 3, 66, &from, &to);
  ASSERT_GE(h, 0);
  std::vector<uint8_t> record(QX_DVR_LOG_SIZE);
  EXPECT_EQ(QX_DVR_FindNextLog(h, record.data()), QX_DVR_NOMOREFILE);
  emu->silence(33, true);
  EXPECT_EQ(QX_DVR_FindNextLog(h, record.data()), QX_DVR_FILE_EXCEPTION);
  emu->silence(33, false);
  emu->refuse(34, true);
  EXPECT_EQ(QX_DVR_FindLogClose(h), 0);
  emu->refuse(34, false);
  EXPECT_EQ(QX_DVR_FindDVRLog(id, 0, 3, 0, nullptr, &to), -1);
  EXPECT_EQ(QX_DVR_FindDVRLog(id, 0, 3, 0, &from, nullptr), -1);
  EXPECT_EQ(QX_DVR_FindDVRLog(128, 0, 3, 0, &from, &to), -1);
  emu->refuse(32, true);
  EXPECT_EQ(QX_DVR_FindDVRLog(id, 0, 3, 0, &from, &to), -1);
  EXPECT_EQ(busySlots(*conn), 0);
  EXPECT_EQ(QX_DVR_FindNextLog(h, nullptr), QX_DVR_FILE_EXCEPTION);
}
