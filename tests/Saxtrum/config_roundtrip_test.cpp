// Every configuration command written to the recorder emulator and read back.
#include <cstring>
#include <future>
#include <vector>

#include "config/config_table.h"
#include "control_support.h"
#include "fixture.h"
#include "protocol/library.h"

using namespace saxtrum_test;
using namespace saxtrum::config;

namespace {

using DvrConfigTest = DvrLoggedInTest;

// Non-zero bytes everywhere, so text fields run their whole width.
std::vector<uint8_t> filled(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(1 + (seed >> 16) % 255);
  }
  return v;
}

}  // namespace

TEST_F(DvrConfigTest, EveryCommandRoundTripsItsFields) {
  for (const RecordLayout& l : recordLayouts()) {
    SCOPED_TRACE(l.name);
    std::vector<uint8_t> written = filled(l.clientSize, l.getCommand);
    if (l.getCommand == 1054) written[4] = 5, written[5] = written[6] = written[7] = 0;
    const int32_t channel = 2;
    ASSERT_EQ(QX_DVR_SetPellmore(id, l.setCommand, channel, written.data(), l.clientSize), 1);
    std::vector<uint8_t> read(l.clientSize, 0xEE);
    uint32_t returned = 0;
    // The picture read names channel minus one; the device reads it so.
    ASSERT_EQ(QX_DVR_GetPellmore(id, l.getCommand, channel, read.data(), l.clientSize, &returned), 1);
    EXPECT_EQ(returned, l.clientSize);
    size_t compared = 0;
    for (const Field& f : l.fields) {
      if (f.dir != FieldDir::Both) continue;
      EXPECT_EQ(std::memcmp(&read[f.client], &written[f.client], f.clientSize), 0)
          << "client offset " << f.client;
      compared += f.clientSize;
    }
    if (l.getCommand == 100) {  // read whole, written by name and two words
      EXPECT_EQ(std::memcmp(&read[4], &written[4], 32), 0);
      EXPECT_EQ(std::memcmp(&read[36], &written[36], 8), 0);
      // The write names the channel in its first word; the device keeps its own size word.
      EXPECT_EQ(dvremu::get32(emu->requests(l.setCode).back().payload.data() + 4), static_cast<uint32_t>(channel));
      EXPECT_EQ(dvremu::get32(read.data()), 132u);
      compared += 40;
    }
    if (l.getCommand == 1054) {
      EXPECT_EQ(read[4], 5);
      for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::memcmp(&read[8 + i * 144], &written[8 + i * 144], 16), 0) << i;
      EXPECT_EQ(read[8 + 5 * 144], 0);
      compared += 80;
    }
    EXPECT_GT(compared, 0u);
  }
  // Each request carried its code word first and the table's length.
  for (const RecordLayout& l : recordLayouts()) {
    const auto gets = emu->requests(l.getCode);
    const auto sets = emu->requests(l.setCode);
    ASSERT_EQ(gets.size(), 1u) << l.name;
    ASSERT_EQ(sets.size(), 1u) << l.name;
    EXPECT_EQ(gets[0].payload.size(), 4 + l.wireSize) << l.name;
    EXPECT_EQ(dvremu::get32(gets[0].payload.data()), l.getCode);
    EXPECT_EQ(dvremu::get32(sets[0].payload.data()), l.setCode);
  }
}

TEST_F(DvrConfigTest, DefaultsAndChannelWords) {
  int32_t t[6] = {};
  uint32_t returned = 0;
  ASSERT_EQ(QX_DVR_GetPellmore(id, QX_DVR_GET_TIMECFG, 0, t, sizeof t, &returned), 1);
  EXPECT_EQ(t[0], 2013);
  EXPECT_EQ(t[1], 2);
  EXPECT_EQ(t[2], 28);
  std::vector<uint8_t> pic(QX_PIC_RECORD_SIZE);
  ASSERT_EQ(QX_DVR_GetPellmore(id, QX_DVR_GET_PICCFG, 1, pic.data(), pic.size(), &returned), 1);
  EXPECT_EQ(dvremu::get32(emu->requests(54)[0].payload.data() + 4), 0u);
  ASSERT_EQ(QX_DVR_SetPellmore(id, QX_DVR_SET_PICCFG, 1, pic.data(), pic.size()), 1);
  EXPECT_EQ(dvremu::get32(emu->requests(55)[0].payload.data() + 4), 1u);
}

// A reply names its code in its first word: one naming another code leaves the caller's record
// as it was (the device record of code 62 is 132 bytes, the time record 24).
TEST_F(DvrConfigTest, AReplyOfAnotherCodeLeavesTheRecordUntouched) {
  emu->silence(38, true);
  std::vector<uint8_t> time(24 + 8, 0xEE);
  uint32_t returned = 0;
  auto read = std::async(std::launch::async, [&] {
    return QX_DVR_GetPellmore(id, QX_DVR_GET_TIMECFG, 0, time.data(), 24, &returned);
  });
  ASSERT_TRUE(emu->waitForRequests(38, 1));
  std::vector<uint8_t> other(4 + 132, 0x5A);
  dvremu::put32(other.data(), 62);
  ASSERT_TRUE(emu->sendPacket(38, emu->requests(38)[0].handle, 200, other));
  EXPECT_EQ(read.get(), 1);
  EXPECT_EQ(time, std::vector<uint8_t>(32, 0xEE));
  EXPECT_EQ(returned, 24u);
  // The code asked for is read as usual.
  emu->silence(38, false);
  ASSERT_EQ(QX_DVR_GetPellmore(id, QX_DVR_GET_TIMECFG, 0, time.data(), 24, &returned), 1);
  EXPECT_EQ(dvremu::get32(time.data()), 2013u);
  EXPECT_EQ(std::vector<uint8_t>(time.begin() + 24, time.end()), std::vector<uint8_t>(8, 0xEE));
}

TEST_F(DvrConfigTest, RefusalsAndBadArgumentsFailCleanly) {
  auto conn = saxtrum::loginConnection(id);
  std::vector<uint8_t> buf(QX_DVR_HDCFG_SIZE, 0);
  uint32_t returned = 0;
  // An unknown command and a read command given to the write fail at once.
  EXPECT_EQ(QX_DVR_SetPellmore(id, 102, 0, buf.data(), buf.size()), 0);
  EXPECT_EQ(QX_DVR_SetPellmore(id, QX_DVR_GET_TIMECFG, 0, buf.data(), buf.size()), 0);
  EXPECT_EQ(QX_DVR_GetPellmore(id, QX_DVR_SET_TIMECFG, 0, buf.data(), buf.size(), &returned), 0);
  // A buffer smaller than the record is never written past.
  EXPECT_EQ(QX_DVR_GetPellmore(id, QX_DVR_GET_HDCFG, 0, buf.data(), 100, &returned), 0);
  EXPECT_EQ(QX_DVR_GetPellmore(99, QX_DVR_GET_TIMECFG, 0, buf.data(), buf.size(), &returned), 0);
  EXPECT_EQ(emu->requests().size(), 1u);  // the login only
  emu->refuse(38, true);
  EXPECT_EQ(QX_DVR_GetPellmore(id, QX_DVR_GET_TIMECFG, 0, buf.data(), buf.size(), &returned), 0);
  emu->refuse(38, false);
  emu->refuse(39, true);
  EXPECT_EQ(QX_DVR_SetPellmore(id, QX_DVR_SET_TIMECFG, 0, buf.data(), buf.size()), 0);
  EXPECT_EQ(busySlots(*conn), 0);  // the slots came back
  // A read whose reply is shorter than the record leaves no stale bytes.
  emu->refuse(39, false);
  emu->services().setConfigRecord(44, 0, std::vector<uint8_t>(76, 0x41));
  std::vector<uint8_t> ntp(QX_DVR_NTPCFG_SIZE, 0xEE);
  ASSERT_EQ(QX_DVR_GetPellmore(id, QX_DVR_GET_NTPCFG, 0, ntp.data(), ntp.size(), &returned), 1);
  EXPECT_EQ(ntp[0], 0x41);
  EXPECT_EQ(ntp[67], 0);  // not a field: zero, not the caller's 0xEE
}
