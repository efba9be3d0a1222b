// PTZ payloads, and PTZ requests on a live handle against the emulator.
#include <cstring>
#include <vector>

#include "control_support.h"
#include "protocol/library.h"
#include "ptz/ptz_payload.h"

using namespace saxtrum_test;
using namespace saxtrum::ptz;

namespace {

std::vector<uint8_t> words(std::initializer_list<std::pair<size_t, uint32_t>> at) {
  std::vector<uint8_t> v(32, 0);
  for (auto [off, value] : at)
    for (size_t i = 0; i < 4; ++i) v[off + i] = static_cast<uint8_t>(value >> (8 * i));
  return v;
}

}  // namespace

TEST(DvrPtzPayload, ControlActions) {
  const std::pair<uint32_t, uint32_t> table[] = {
      {11, 11}, {12, 12}, {13, 13}, {14, 14}, {15, 10}, {16, 9},  {21, 3}, {22, 4},
      {23, 1},  {24, 2},  {25, 5},  {26, 7},  {27, 6},  {28, 8},  {29, 18}, {10, 0}, {30, 0}};
  for (auto [command, action] : table) {
    std::vector<uint8_t> p(32);
    buildControl(4, command, 0, p.data());
    EXPECT_EQ(p, words({{0, 4}, {8, action}})) << command;
    buildControl(4, command, 1, p.data());
    EXPECT_EQ(p, words({{0, 4}})) << command;  // a stop sends action 0
  }
}

TEST(DvrPtzPayload, PresetAndCruiseForms) {
  std::vector<uint8_t> p(32);
  buildPreset(0, 8, 7, p.data());
  EXPECT_EQ(p, words({{8, 15}, {12, 7}}));
  buildPreset(0, 9, 7, p.data());
  EXPECT_EQ(p, words({{8, 17}, {12, 7}}));
  buildPreset(0, 39, 7, p.data());
  EXPECT_EQ(p, words({{8, 16}, {12, 7}}));
  buildPreset(0, 10, 7, p.data());
  EXPECT_EQ(p, words({{12, 7}}));

  const uint8_t route = 2, point = 3;
  const uint16_t value = 0x1234;
  struct Row {
    uint32_t command;
    std::vector<uint8_t> expect;
  } rows[] = {
      {30, words({{0, 1}, {8, 30}, {12, value}, {16, route}, {20, point}})},
      {31, words({{0, 1}, {8, 31}, {24, value}, {16, route}, {20, point}})},
      {32, words({{0, 1}, {8, 32}, {4, value}, {16, route}, {20, point}})},
      {33, words({{0, 1}, {8, 33}, {12, value}, {16, route}, {20, point}})},
      {37, words({{0, 1}, {8, 20}, {16, route}})},
      {38, words({{0, 1}, {8, 21}, {16, route}})},
      {39, words({{0, 1}, {8, 39}})},
      {40, words({{0, 1}})},
  };
  for (const Row& r : rows) {
    buildCruise(1, r.command, route, point, value, p.data());
    EXPECT_EQ(p, r.expect) << r.command;
  }
}

namespace {

class DvrPtzTest : public DvrLoggedInTest {
 protected:
  void SetUp() override {
    DvrLoggedInTest::SetUp();
    QX_DVR_CLIENTINFO ci{3, 0, 0};
    live = QX_DVR_RealPlay(id, &ci, 0, 0, 1);
    ASSERT_GE(live, 0);
  }
  int32_t live = -1;
};

}  // namespace

TEST_F(DvrPtzTest, RequestsGoOutOnTheLiveHandle) {
  EXPECT_EQ(QX_DVR_PTZControl(live, 21, 0), 1);
  EXPECT_EQ(QX_DVR_PTZControl(live, 21, 1), 1);
  ASSERT_TRUE(emu->waitForRequests(18, 2));
  const auto ctl = emu->requests(18);
  EXPECT_EQ(ctl[0].handle, static_cast<uint32_t>(live));
  EXPECT_EQ(ctl[0].payload, words({{0, 2}, {8, 3}}));
  EXPECT_EQ(ctl[1].payload, words({{0, 2}}));
  EXPECT_EQ(QX_DVR_PTZPreset(live, 8, 5), 1);
  EXPECT_EQ(emu->requests(19)[0].payload, words({{0, 2}, {8, 15}, {12, 5}}));
  EXPECT_EQ(QX_DVR_PTZCruise(live, 37, 4, 0, 0), 1);
  EXPECT_EQ(emu->requests(20)[0].payload, words({{0, 2}, {8, 20}, {16, 4}}));
  // The track command is sent (code 21, same layout) and its reply waited for.
  EXPECT_EQ(QX_DVR_PTZTrack(live, 45), 1);
  ASSERT_EQ(emu->requests(21).size(), 1u);
  EXPECT_EQ(emu->requests(21)[0].payload, words({{0, 2}, {8, 45}}));
  emu->refuse(19, true);
  emu->refuse(20, true);
  emu->refuse(21, true);
  EXPECT_EQ(QX_DVR_PTZPreset(live, 9, 5), 0);
  EXPECT_EQ(QX_DVR_PTZCruise(live, 39, 0, 0, 0), 0);
  EXPECT_EQ(QX_DVR_PTZTrack(live, 45), 0);
  EXPECT_EQ(QX_DVR_GetPTZProtocol(live, nullptr), 1);
  // The live view is still there, and stops as usual.
  EXPECT_EQ(QX_DVR_StopRealPlay(live), 1);
  EXPECT_EQ(QX_DVR_PTZControl(live, 21, 0), 0);
  EXPECT_EQ(QX_DVR_PTZPreset(live, 8, 1), 0);
}

TEST_F(DvrPtzTest, CruiseRead) {
  std::array<uint8_t, QX_DVR_PTZCRUISE_SIZE> stored{};
  for (size_t i = 0; i < stored.size(); ++i) stored[i] = static_cast<uint8_t>(i + 1);
  emu->services().setCruise(3, 2, stored);
  uint8_t out[QX_DVR_PTZCRUISE_SIZE] = {};
  EXPECT_EQ(QX_DVR_GetPTZCruise(id, 3, 2, out), 1);
  EXPECT_EQ(std::memcmp(out, stored.data(), stored.size()), 0);
  const auto req = emu->requests(72);
  ASSERT_EQ(req.size(), 1u);
  EXPECT_EQ(req[0].payload, (std::vector<uint8_t>{3, 0, 0, 0, 2, 0, 0, 0}));
  EXPECT_EQ(QX_DVR_GetPTZCruise(300, 3, 2, out), -1);
  emu->refuse(72, true);
  EXPECT_EQ(QX_DVR_GetPTZCruise(id, 3, 2, out), 0);
}
