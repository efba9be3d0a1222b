// Configuration records whose fields the other tests only round-trip: every field is written
// with its own marker and looked for at the device's offset, written out here by hand, then
// read back from that request. A field moved to the wrong place on both sides would survive a
// round trip through the emulator; it cannot survive this.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Saxtrum.h"
#include "config/config_table.h"

using namespace saxtrum::config;

namespace {

// One field: where it lies in the client record and in the wire record (after the code word).
struct Spot {
  uint32_t client, clientSize, wire, wireSize;
};

const RecordLayout& layoutOf(uint32_t command) {
  const RecordLayout* l = layoutForCommand(command, nullptr);
  EXPECT_NE(l, nullptr) << command;
  return *l;
}

uint8_t marker(size_t i, size_t byte) { return static_cast<uint8_t>(0x11 + 7 * i + byte); }

// Writes a marker into every spot, packs, checks each spot on the wire (integers widened with
// zeros), the channel word and that nothing else was written; then unpacks the request and
// checks every spot came back.
void checkSpots(uint32_t setCommand, uint32_t getCommand, bool channelWord,
                const std::vector<Spot>& spots) {
  SCOPED_TRACE(setCommand);
  const RecordLayout& l = layoutOf(setCommand);
  std::vector<uint8_t> client(l.clientSize, 0);
  for (size_t i = 0; i < spots.size(); ++i)
    for (uint32_t b = 0; b < spots[i].clientSize; ++b) client[spots[i].client + b] = marker(i, b);
  const std::vector<uint8_t> req = buildSetRequest(l, 3, client.data());
  ASSERT_EQ(req.size(), 4 + l.wireSize);
  std::vector<bool> used(req.size(), false);
  used[0] = used[1] = used[2] = used[3] = true;
  if (channelWord) {
    EXPECT_EQ(req[4], 3);
    used[4] = used[5] = used[6] = used[7] = true;
  }
  for (size_t i = 0; i < spots.size(); ++i) {
    const Spot& s = spots[i];
    for (uint32_t b = 0; b < s.wireSize; ++b) {
      const uint8_t want = b < s.clientSize ? marker(i, b) : 0;
      EXPECT_EQ(req[4 + s.wire + b], want) << "wire " << s.wire << " byte " << b;
      used[4 + s.wire + b] = true;
    }
  }
  for (size_t at = 0; at < req.size(); ++at) {
    if (used[at]) continue;
    EXPECT_EQ(req[at], 0) << "stray byte at wire " << at - 4;
  }
  std::vector<uint8_t> back(l.clientSize, 0xEE);
  unpackReply(layoutOf(getCommand), req.data(), req.size(), back.data());
  for (size_t i = 0; i < spots.size(); ++i)
    for (uint32_t b = 0; b < spots[i].clientSize; ++b)
      EXPECT_EQ(back[spots[i].client + b], marker(i, b)) << "client " << spots[i].client;
}

}  // namespace

TEST(DvrConfigWire, NetworkApplications) {
  checkSpots(223, 222, false,
             {{4, 16, 0, 16}, {20, 64, 16, 64}, {84, 2, 80, 4}, {86, 1, 88, 4}, {90, 2, 84, 4},
              {100, 32, 96, 32}, {132, 4, 128, 4}, {136, 4, 132, 4}, {140, 4, 136, 4},
              {144, 4, 140, 4}, {148, 32, 144, 32}, {212, 1, 92, 1}});
}

TEST(DvrConfigWire, DynamicDns) {
  checkSpots(1011, 1010, false,
             {{0, 1, 0, 1}, {1, 1, 1, 1}, {4, 32, 4, 32}, {36, 4, 36, 4}, {40, 4, 40, 4},
              {44, 4, 44, 4}, {48, 4, 48, 4}, {52, 32, 52, 32}});
}

TEST(DvrConfigWire, Email) {
  checkSpots(1013, 1012, false,
             {{4, 32, 0, 32}, {36, 32, 32, 32}, {148, 48, 64, 48}, {276, 48, 112, 48},
              {484, 1, 164, 1}, {486, 1, 166, 1}, {487, 1, 165, 1}, {488, 2, 160, 4}});
}

TEST(DvrConfigWire, AlarmOutput) {
  checkSpots(1027, 1026, true, {{4, 32, 4, 32}, {36, 4, 36, 4}, {40, 224, 40, 224}});
}

TEST(DvrConfigWire, Decoder) {
  checkSpots(1043, 1042, true,
             {{4, 4, 4, 4}, {8, 1, 8, 1}, {9, 1, 9, 1}, {10, 1, 10, 1}, {11, 1, 11, 1},
              {12, 2, 12, 4}, {14, 2, 16, 4}, {16, 256, 20, 256}, {272, 256, 276, 256},
              {528, 256, 532, 256}});
}

TEST(DvrConfigWire, AlarmInput) {
  std::vector<Spot> spots = {{4, 32, 4, 32},    {36, 1, 36, 1},     {37, 1, 37, 1},
                             {40, 4, 40, 4},    {44, 96, 44, 96},   {140, 224, 140, 224},
                             {364, 64, 364, 64}, {428, 64, 428, 64}, {492, 4, 492, 4},
                             {496, 4, 496, 4},  {500, 4, 500, 4},   {504, 4, 504, 4}};
  for (uint32_t j = 0; j < 16; ++j) spots.push_back({700 + 4 * j, 4, 508 + 4 * j, 4});
  checkSpots(1025, 1024, true, spots);
}

TEST(DvrConfigWire, NetworkAddressesAndPorts) {
  // The MAC is text on the wire and has its own test; the other fields of the record here.
  std::vector<Spot> spots = {{4, 16, 0, 16},      {148, 16, 144, 16},   {296, 2, 288, 4},
                             {1050, 1, 464, 4},   {1052, 16, 660, 16},  {1196, 16, 804, 16},
                             {1406, 2, 948, 4},   {1552, 16, 316, 16},  {1696, 4, 460, 4},
                             {1700, 32, 468, 32}, {1732, 16, 500, 16}};
  const RecordLayout& l = layoutOf(1001);
  std::vector<uint8_t> client(l.clientSize, 0);
  for (size_t i = 0; i < spots.size(); ++i)
    for (uint32_t b = 0; b < spots[i].clientSize; ++b) client[spots[i].client + b] = marker(i, b);
  const std::vector<uint8_t> req = buildSetRequest(l, 0, client.data());
  for (size_t i = 0; i < spots.size(); ++i)
    for (uint32_t b = 0; b < spots[i].wireSize; ++b)
      EXPECT_EQ(req[4 + spots[i].wire + b], b < spots[i].clientSize ? marker(i, b) : 0)
          << "wire " << spots[i].wire << " byte " << b;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&req[4 + 292])), "00:00:00:00:00:00");
}
