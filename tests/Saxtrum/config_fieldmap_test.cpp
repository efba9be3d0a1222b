// Configuration records against the field tables, byte for byte. Expected bytes are written
// out here by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Saxtrum.h"
#include "config/config_table.h"

using namespace saxtrum::config;

namespace {

const RecordLayout& layout(uint32_t command) {
  bool isGet = false;
  const RecordLayout* l = layoutForCommand(command, &isGet);
  EXPECT_NE(l, nullptr) << command;
  return *l;
}

std::vector<uint8_t> setRequest(uint32_t command, int32_t channel, const std::vector<uint8_t>& client) {
  return buildSetRequest(layout(command), channel, client.data());
}

// A reply payload: code word then the given bytes at their wire offsets.
std::vector<uint8_t> reply(uint32_t code, size_t wireSize) {
  std::vector<uint8_t> r(4 + wireSize, 0);
  r[0] = static_cast<uint8_t>(code);
  return r;
}

std::vector<uint8_t> getClient(uint32_t command, const std::vector<uint8_t>& reply) {
  const RecordLayout& l = layout(command);
  std::vector<uint8_t> client(l.clientSize, 0xEE);  // stale bytes must not survive
  unpackReply(l, reply.data(), reply.size(), client.data());
  return client;
}

std::vector<uint8_t> bytesAt(const std::vector<uint8_t>& v, size_t at, size_t n) {
  return std::vector<uint8_t>(v.begin() + static_cast<long>(at), v.begin() + static_cast<long>(at + n));
}

}  // namespace

TEST(DvrConfigTable, EveryCommandHasItsCodesAndSizes) {
  struct Row {
    uint32_t get, set, getCode, setCode, wire, client;
  } rows[] = {
      {100, 101, 62, 63, 132, 132},     {118, 119, 38, 39, 24, 24},
      {222, 223, 48, 49, 176, 692},     {224, 225, 44, 45, 76, 80},
      {1000, 1001, 43, 42, 952, 1956},  {1002, 1003, 54, 55, 7336, 7752},
      {1004, 1005, 56, 57, 524, 508},   {1006, 1007, 66, 67, 9504, 9508},
      {1010, 1011, 46, 47, 84, 1960},   {1012, 1013, 50, 51, 168, 564},
      {1024, 1025, 68, 69, 572, 780},   {1026, 1027, 70, 71, 264, 280},
      {1028, 1029, 60, 61, 4, 1372},    {1040, 1041, 58, 59, 28, 116},
      {1042, 1043, 41, 40, 788, 784},   {1044, 1045, 52, 53, 4, 288},
      {1054, 1055, 65, 64, 196, 4760},
  };
  EXPECT_EQ(recordLayouts().size(), std::size(rows));
  for (const Row& r : rows) {
    bool isGet = false;
    const RecordLayout* l = layoutForCommand(r.get, &isGet);
    ASSERT_NE(l, nullptr) << r.get;
    EXPECT_TRUE(isGet);
    EXPECT_EQ(layoutForCommand(r.set, &isGet), l);
    EXPECT_FALSE(isGet);
    EXPECT_EQ(l->getCode, r.getCode) << r.get;
    EXPECT_EQ(l->setCode, r.setCode) << r.get;
    EXPECT_EQ(l->wireSize, r.wire) << r.get;
    EXPECT_EQ(l->clientSize, r.client) << r.get;
    // Every field lies inside both records.
    for (const Field& f : l->fields) {
      EXPECT_LE(f.client + f.clientSize, l->clientSize) << r.get << " client " << f.client;
      EXPECT_LE(f.wire + f.wireSize, l->wireSize) << r.get << " wire " << f.wire;
    }
    EXPECT_EQ(buildGetRequest(*l, 1).size(), 4 + r.wire);
  }
  EXPECT_EQ(layoutForCommand(102, nullptr), nullptr);
  EXPECT_EQ(QX_PIC_RECORD_SIZE, 7752);
  EXPECT_EQ(sizeof(QX_DVR_TIME), 24u);
  EXPECT_EQ(offsetof(QX_DVR_FILECOND, struStartTime), 48u);
  EXPECT_EQ(offsetof(QX_DVR_FILECOND, struStopTime), 72u);
}

TEST(DvrConfigTable, ChannelWordOfReadsAndWrites) {
  // Read of the picture record: channel minus one; the other reads and all writes as given.
  EXPECT_EQ(bytesAt(buildGetRequest(layout(1002), 1), 0, 8),
            (std::vector<uint8_t>{0x36, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(bytesAt(buildGetRequest(layout(1004), 1), 0, 8),
            (std::vector<uint8_t>{0x38, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(bytesAt(buildGetRequest(layout(1000), 5), 0, 8),
            (std::vector<uint8_t>{0x2B, 0, 0, 0, 0, 0, 0, 0}));
  std::vector<uint8_t> pic(7752, 0);
  EXPECT_EQ(bytesAt(setRequest(1003, 1, pic), 0, 8), (std::vector<uint8_t>{0x37, 0, 0, 0, 1, 0, 0, 0}));
  std::vector<uint8_t> dev(132, 0);
  EXPECT_EQ(bytesAt(setRequest(101, 2, dev), 0, 8), (std::vector<uint8_t>{0x3F, 0, 0, 0, 2, 0, 0, 0}));
}

TEST(DvrConfigFieldMap, TimeBothWays) {
  std::vector<uint8_t> client = {0xDC, 0x07, 0, 0,  3, 0, 0, 0,  5, 0, 0, 0,
                                 10, 0, 0, 0,  20, 0, 0, 0,  30, 0, 0, 0};  // 2012-03-05 10:20:30
  EXPECT_EQ(setRequest(119, 0, client),
            (std::vector<uint8_t>{0x27, 0, 0, 0,  0x70, 0, 0, 0,  2, 0, 0, 0,  5, 0, 0, 0,
                                  10, 0, 0, 0,  20, 0, 0, 0,  30, 0, 0, 0}));
  auto r = reply(38, 24);
  r[4] = 113;  // 2013
  r[8] = 1;    // February
  r[12] = 28;
  EXPECT_EQ(getClient(118, r), (std::vector<uint8_t>{0xDD, 0x07, 0, 0,  2, 0, 0, 0,  28, 0, 0, 0,
                                                     0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0}));
}

TEST(DvrConfigFieldMap, NtpWidensAndMoves) {
  std::vector<uint8_t> client(80, 0);
  std::memcpy(client.data(), "pool.example", 12);
  client[64] = 0x34; client[65] = 0x12;  // 16-bit at 64
  client[66] = 0x56;                     // 8-bit at 66
  client[70] = 0x9A; client[71] = 0x78;  // 16-bit at 70
  client[68] = 0xFF;                     // not a field
  std::vector<uint8_t> expect(80, 0);
  expect[0] = 0x2D;
  std::memcpy(expect.data() + 4, "pool.example", 12);
  expect[4 + 64] = 0x34; expect[4 + 65] = 0x12;
  expect[4 + 68] = 0x9A; expect[4 + 69] = 0x78;
  expect[4 + 72] = 0x56;
  EXPECT_EQ(setRequest(225, 0, client), expect);
  client[68] = 0;
  EXPECT_EQ(getClient(224, expect), client);
}

TEST(DvrConfigFieldMap, NetworkMacAsTextAndBack) {
  std::vector<uint8_t> client(1956, 0);
  const uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
  std::memcpy(&client[300], mac, 6);
  std::memcpy(&client[4], "192.168.1.64", 12);
  client[296] = 0x40; client[297] = 0x1F;  // port 8000
  client[1050] = 1;                        // DHCP
  std::memcpy(&client[1748], "10.0.0.9", 8);  // written, never read back
  const auto req = setRequest(1001, 0, client);
  ASSERT_EQ(req.size(), 956u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&req[4 + 292])), "00:1a:2b:3c:4d:5e");
  EXPECT_EQ(bytesAt(req, 4 + 0, 13), (std::vector<uint8_t>{'1', '9', '2', '.', '1', '6', '8', '.', '1', '.', '6', '4', 0}));
  EXPECT_EQ(bytesAt(req, 4 + 288, 4), (std::vector<uint8_t>{0x40, 0x1F, 0, 0}));
  EXPECT_EQ(bytesAt(req, 4 + 464, 4), (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(bytesAt(req, 4 + 516, 9), (std::vector<uint8_t>{'1', '0', '.', '0', '.', '0', '.', '9', 0}));
  auto back = getClient(1000, req);
  EXPECT_EQ(bytesAt(back, 300, 6), std::vector<uint8_t>(mac, mac + 6));
  EXPECT_EQ(bytesAt(back, 296, 2), (std::vector<uint8_t>{0x40, 0x1F}));
  EXPECT_EQ(back[1748], 0);  // left empty on reading
  // A MAC text with upper-case and over-long groups keeps the low byte of each.
  uint8_t parsed[6] = {};
  saxtrum::config::macFromText("0A:FF:0000000012:3:4:5", 24, parsed);
  EXPECT_EQ(std::vector<uint8_t>(parsed, parsed + 6), (std::vector<uint8_t>{0x0A, 0xFF, 0x12, 3, 4, 5}));
  uint8_t partial[6] = {};
  saxtrum::config::macFromText("11:22:zz", 24, partial);
  EXPECT_EQ(std::vector<uint8_t>(partial, partial + 6), (std::vector<uint8_t>{0x11, 0x22, 0, 0, 0, 0}));
}

TEST(DvrConfigFieldMap, SmallRecords) {
  std::vector<uint8_t> preview(288, 0);
  preview[4] = 1; preview[5] = 2; preview[6] = 3; preview[7] = 9;
  EXPECT_EQ(setRequest(1045, 0, preview), (std::vector<uint8_t>{0x35, 0, 0, 0, 1, 2, 3, 0}));

  std::vector<uint8_t> out(1372, 0);
  out[44] = 0x34; out[45] = 0x12;
  EXPECT_EQ(setRequest(1029, 0, out), (std::vector<uint8_t>{0x3D, 0, 0, 0, 0x34, 0x12, 0, 0}));
  auto r = reply(60, 4);
  r[4] = 0x78; r[5] = 0x56; r[6] = 0x34; r[7] = 0x12;
  const auto client = getClient(1028, r);
  EXPECT_EQ(bytesAt(client, 44, 2), (std::vector<uint8_t>{0x78, 0x56}));
  EXPECT_EQ(std::count(client.begin(), client.end(), 0), 1372 - 2);
}

TEST(DvrConfigFieldMap, CompressionGroups) {
  std::vector<uint8_t> client(116, 0);
  const uint8_t main[12] = {1, 2, 3, 4, 0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55};
  const uint8_t sub[12] = {5, 6, 7, 8, 9, 0, 0, 0, 10, 0, 0, 0};
  std::memcpy(&client[4], main, 12);
  std::memcpy(&client[88], sub, 12);
  EXPECT_EQ(setRequest(1041, 3, client),
            (std::vector<uint8_t>{0x3B, 0, 0, 0,  3, 0, 0, 0,
                                  1, 2, 3, 4, 0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55,
                                  5, 6, 7, 8, 9, 0, 0, 0, 10, 0, 0, 0}));
}

TEST(DvrConfigFieldMap, RecordPairsAndGroups) {
  std::vector<uint8_t> client(508, 0);
  client[4] = 7;                              // 32-bit at 4
  client[8] = 0x01; client[9] = 0x02;         // 16-bit at 8 -> wire 8
  client[10] = 0x03; client[11] = 0xFF;       // 8-bit at 10 -> wire 12 (11 is not moved)
  client[12] = 0x04; client[13] = 0x05;       // 16-bit at 12 -> wire 16
  client[34] = 0x09;                          // 8-bit at 34 -> wire 60
  for (int i = 0; i < 8; ++i) client[36 + i] = static_cast<uint8_t>(0xA0 + i);  // first group
  client[484] = 0x11; client[488] = 0x22; client[497] = 0x33;
  const auto req = setRequest(1005, 2, client);
  ASSERT_EQ(req.size(), 528u);
  EXPECT_EQ(bytesAt(req, 4, 24), (std::vector<uint8_t>{2, 0, 0, 0,  7, 0, 0, 0,  1, 2, 0, 0,
                                                       3, 0, 0, 0,  4, 5, 0, 0,  0, 0, 0, 0}));
  EXPECT_EQ(bytesAt(req, 4 + 60, 4), (std::vector<uint8_t>{9, 0, 0, 0}));
  EXPECT_EQ(bytesAt(req, 4 + 64, 8), (std::vector<uint8_t>{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0, 0, 0}));
  EXPECT_EQ(req[4 + 512], 0x11);
  EXPECT_EQ(req[4 + 516], 0x22);
  EXPECT_EQ(req[4 + 520], 0x33);
}

TEST(DvrConfigFieldMap, DiskCountLimitedToEight) {
  auto r = reply(65, 196);
  r[4] = 12;  // the device says 12 disks
  for (int i = 0; i < 8; ++i) {
    r[4 + 4 + i * 24] = static_cast<uint8_t>(i + 1);        // first word of entry i
    r[4 + 4 + i * 24 + 17] = static_cast<uint8_t>(0x40 + i);  // byte 17
  }
  const auto client = getClient(1054, r);
  EXPECT_EQ(bytesAt(client, 4, 4), (std::vector<uint8_t>{8, 0, 0, 0}));
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(client[8 + i * 144], i + 1);
    EXPECT_EQ(client[8 + i * 144 + 17], 0x40 + i);
  }
  EXPECT_EQ(client[8 + 8 * 144], 0);
  std::vector<uint8_t> set(4760, 0);
  set[4] = 33;
  for (int i = 0; i < 33; ++i) set[8 + i * 144 + 20] = static_cast<uint8_t>(i + 1);
  const auto req = setRequest(1055, 0, set);
  EXPECT_EQ(bytesAt(req, 0, 8), (std::vector<uint8_t>{0x40, 0, 0, 0, 8, 0, 0, 0}));
  EXPECT_EQ(req[4 + 4 + 7 * 24 + 20], 8);
  EXPECT_EQ(req.size(), 200u);
}

TEST(DvrConfigFieldMap, DeviceReadWholeWriteNamed) {
  auto r = reply(62, 132);
  for (size_t i = 4; i < r.size(); ++i) r[i] = static_cast<uint8_t>(i);
  const auto client = getClient(100, r);
  EXPECT_EQ(client, bytesAt(r, 4, 132));
  std::vector<uint8_t> dev(132, 0x5A);
  std::memcpy(&dev[4], "Front door", 11);
  const auto req = setRequest(101, 1, dev);
  std::vector<uint8_t> expect(136, 0);
  expect[0] = 0x3F;
  expect[4] = 1;
  std::memcpy(&expect[8], "Front door", 10);
  std::memset(&expect[40], 0x5A, 8);
  EXPECT_EQ(req, expect);
}

TEST(DvrConfigFieldMap, UserEntriesSitFourBytesFurther) {
  std::vector<uint8_t> client(9508, 0);
  // Entry 1: name, a word at 32, byte 774; byte 700 of the entry is not moved.
  const size_t e1 = 4 + 792;
  std::memcpy(&client[e1], "operator", 8);
  client[e1 + 32] = 0x21;
  client[e1 + 774] = 0x31;
  client[e1 + 700] = 0x99;
  const auto req = setRequest(1007, 0, client);
  ASSERT_EQ(req.size(), 9508u);
  const size_t w1 = 4 + 792;  // after the code word
  EXPECT_EQ(bytesAt(req, w1, 9), (std::vector<uint8_t>{'o', 'p', 'e', 'r', 'a', 't', 'o', 'r', 0}));
  EXPECT_EQ(req[w1 + 32], 0x21);
  EXPECT_EQ(req[w1 + 774], 0x31);
  EXPECT_EQ(req[w1 + 700], 0);
}

TEST(DvrConfigFieldMap, PictureWireLayout) {
  std::vector<uint8_t> pic(QX_PIC_RECORD_SIZE, 0);
  std::memcpy(&pic[QX_PIC_OFF_NAME], "Gate", 4);
  pic[QX_PIC_OFF_SHOW_NAME] = 1;
  pic[QX_PIC_OFF_NAME_X] = 0x10; pic[QX_PIC_OFF_NAME_X + 1] = 0x01;  // 272
  pic[QX_PIC_OFF_NAME_Y] = 0x20;
  pic[QX_PIC_OFF_SHOW_OSD] = 1;
  pic[QX_PIC_OFF_OSD_X] = 0x30;
  pic[QX_PIC_OFF_OSD_Y] = 0x40;
  pic[QX_PIC_OFF_OSD_TYPE] = 5;
  pic[QX_PIC_OFF_VIDEO_LOSS] = 1;
  pic[QX_PIC_OFF_MOTION + 6145] = 1;
  pic[QX_PIC_OFF_TAMPER] = 3;
  pic[QX_PIC_OFF_MASK_ENABLE] = 1;
  pic[QX_PIC_OFF_MASK_RECTS + 31] = 0x77;
  const auto req = setRequest(1003, 2, pic);
  ASSERT_EQ(req.size(), 7340u);
  // code 55, channel 2, "Gate", show name 1, name x 272, y 32, show date 1, date x 48, y 64,
  // format 5.
  std::vector<uint8_t> head(68, 0);
  head[0] = 0x37; head[4] = 2;
  std::memcpy(&head[8], "Gate", 4);
  head[40] = 1; head[44] = 0x10; head[45] = 0x01; head[48] = 0x20; head[52] = 1;
  head[56] = 0x30; head[60] = 0x40; head[64] = 5;
  EXPECT_EQ(bytesAt(req, 0, 68), head);
  EXPECT_EQ(req[4 + 64], 1);            // video loss block
  EXPECT_EQ(req[4 + 392 + 6145], 1);    // motion block
  EXPECT_EQ(req[4 + 6928], 3);          // tamper block
  EXPECT_EQ(req[4 + 7264], 1);          // mask enable
  EXPECT_EQ(req[4 + 7268 + 31], 0x77);  // last mask byte
  EXPECT_EQ(getClient(1002, req), pic);
}

TEST(DvrConfigFieldMap, ReplyUnpackedByTheCommandAskedFor) {
  // The unpacking reads by the layout it is given (the read looks at the reply's code before
  // it unpacks): a longer reply (the device record, 132 bytes) writes nothing beyond the
  // 24-byte record.
  std::vector<uint8_t> r = reply(62, 132);
  r[4] = 100;  // wire year
  std::vector<uint8_t> client(24 + 8, 0xEE);
  unpackReply(layout(118), r.data(), r.size(), client.data());
  EXPECT_EQ(bytesAt(client, 0, 8), (std::vector<uint8_t>{0xD0, 0x07, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(bytesAt(client, 24, 8), std::vector<uint8_t>(8, 0xEE));
  // An empty reply gives a zeroed record with the biases applied.
  unpackReply(layout(118), r.data(), 0, client.data());
  EXPECT_EQ(bytesAt(client, 0, 8), (std::vector<uint8_t>{0x6C, 0x07, 0, 0, 1, 0, 0, 0}));
}
