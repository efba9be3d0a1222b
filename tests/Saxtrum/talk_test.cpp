#include <dlfcn.h>

#include "fixture.h"

using namespace saxtrum_test;

namespace {
std::mutex g_talkMu;
std::vector<std::vector<uint8_t>> g_talkInput;  // what the library handed the player
std::vector<uint32_t> g_talkValues;
}  // namespace

// Stands between the library and the player to see exactly what talk input it gets.
extern "C" int SPlay_InputTalkData(const uint8_t* data, uint32_t length, uint32_t value1,
                                    uint32_t value2) {
  {
    std::lock_guard<std::mutex> lock(g_talkMu);
    g_talkInput.emplace_back(data, data + length);
    g_talkValues.push_back(value1);
    g_talkValues.push_back(value2);
  }
  using Fn = int (*)(const uint8_t*, uint32_t, uint32_t, uint32_t);
  static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "SPlay_InputTalkData"));
  return real ? real(data, length, value1, value2) : 0;
}

// The player's talk is opened by the start and left open by the stop and by a failed start:
// without an active talk its captured audio goes nowhere.
TEST_F(SaxtrumTest, TalkRoundTripAndTheStopLeavesThePlayersTalkOpen) {
  const int32_t id = login();
  ASSERT_GE(id, 0);
  EXPECT_EQ(QX_DVR_StartVoiceCom(id, 0), -1);
  EXPECT_EQ(TalkDataCallBack(reinterpret_cast<const uint8_t*>("x"), 1, 0, 0), -1);  // no talk
  CallLog log;
  StreamPlay_SetCallObserver(&CallLog::observe, &log);
  const int32_t talk = QX_DVR_StartVoiceCom(id, 2);
  ASSERT_GE(talk, 0);
  ASSERT_EQ(emu->requests(10).size(), 1u);
  EXPECT_TRUE(emu->requests(10)[0].payload.empty());

  // Device to client: the audio after the 12-byte prefix reaches the player's talk input,
  // with the length of the audio alone.
  {
    std::lock_guard<std::mutex> lock(g_talkMu);
    g_talkInput.clear();
    g_talkValues.clear();
  }
  std::vector<uint8_t> voice(160);
  for (size_t i = 0; i < voice.size(); ++i) voice[i] = static_cast<uint8_t>(i);
  ASSERT_TRUE(emu->sendTalk(static_cast<uint32_t>(talk), 1, 77, 0, voice));
  // Client to device: captured blocks go out with the two values and a counter.
  std::vector<uint8_t> block(100, 0x11);
  EXPECT_EQ(StreamPlay_FeedTalkCapture(block.data(), 100), 0);
  std::vector<uint8_t> big(5000, 0x22);
  EXPECT_EQ(StreamPlay_FeedTalkCapture(big.data(), 5000), 0);
  ASSERT_TRUE(emu->waitForRequests(12, 4));
  auto sent = emu->requests(12);
  ASSERT_EQ(sent.size(), 4u);  // 100, then 5000 as 2036 + 2036 + 928
  EXPECT_EQ(sent[0].handle, static_cast<uint32_t>(talk));
  EXPECT_EQ(dvremu::get32(sent[0].payload.data()), 1u);  // mu-law
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(dvremu::get32(sent[i].payload.data() + 8), i);
  EXPECT_EQ(sent[0].payload.size(), 112u);
  EXPECT_EQ(sent[1].payload.size(), 12u + 2036u);
  EXPECT_EQ(sent[3].payload.size(), 12u + 928u);
  EXPECT_EQ(sent[0].payload[12], 0x11);

  EXPECT_EQ(QX_DVR_StopVoiceCom(talk), 1);
  {
    std::lock_guard<std::mutex> lock(g_talkMu);
    ASSERT_EQ(g_talkInput.size(), 1u);
    EXPECT_EQ(g_talkInput[0], voice);
    EXPECT_EQ(g_talkValues, (std::vector<uint32_t>{1, 77}));
  }
  auto calls = log.take();
  auto has = [&](const char* fn) { return std::find(calls.begin(), calls.end(), fn) != calls.end(); };
  EXPECT_TRUE(has("SPlay_OpenTalk"));
  EXPECT_FALSE(has("SPlay_CloseTalk"));
  EXPECT_EQ(TalkDataCallBack(block.data(), 100, 1, 0), -1);
  EXPECT_EQ(StreamPlay_FeedTalkCapture(block.data(), 100), -1);
  EXPECT_EQ(QX_DVR_StopVoiceCom(talk), 0);

  emu->refuse(10, true);
  EXPECT_EQ(QX_DVR_StartVoiceCom(id, 1), -1);
  calls = log.take();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "SPlay_OpenTalk"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "SPlay_CloseTalk"), 0);
  EXPECT_EQ(emu->requests(12).size(), 4u) << "audio went out after the stop";
  StreamPlay_SetCallObserver(nullptr, nullptr);
  SPlay_CloseTalk();
}

TEST_F(SaxtrumTest, TalkCloseRefusedByTheDeviceStillEndsTheTalk) {
  const int32_t id = login();
  ASSERT_GE(id, 0);
  const int32_t talk = QX_DVR_StartVoiceCom(id, 1);
  ASSERT_GE(talk, 0);
  emu->refuse(11, true);
  EXPECT_EQ(QX_DVR_StopVoiceCom(talk), 0);
  // The slot went back to the library: captured audio must not go out on it any more, where
  // it would pass for the next request's traffic.
  std::vector<uint8_t> block(100, 0x33);
  EXPECT_EQ(TalkDataCallBack(block.data(), 100, 1, 0), -1);
  EXPECT_EQ(StreamPlay_FeedTalkCapture(block.data(), 100), -1);
  EXPECT_TRUE(emu->requests(12).empty());
  // A new talk can start at once.
  emu->refuse(11, false);
  const int32_t again = QX_DVR_StartVoiceCom(id, 1);
  ASSERT_GE(again, 0);
  EXPECT_EQ(QX_DVR_StopVoiceCom(again), 1);
}
