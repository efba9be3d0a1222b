#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "AlarmTrampoline.h"
#include "RecNet.h"
#include "Hollin.h"

namespace {

std::vector<MsgAlarmInfo> g_received;
std::vector<void*> g_pool;
int g_poolLeft = 0;
std::vector<std::vector<int>> g_exceptions;

void* Allocate() {
  if (g_poolLeft <= 0) return nullptr;
  --g_poolLeft;
  void* b = ::operator new(400);
  g_pool.push_back(b);
  return b;
}
void Handle(MsgAlarmInfo* m) { g_received.push_back(*m); }
void OnException(uint32_t type, int32_t login, int32_t handle, void*) {
  g_exceptions.push_back({static_cast<int>(type), login, handle});
}

struct Global : ::testing::Test {
  SdkAlarmerRecord alarmer{};
  SdkAlarmRecord alarm{};
  void SetUp() override {
    g_received.clear();
    g_exceptions.clear();
    g_poolLeft = 10;
    CQXGlobal::RegisterHandleMessage(reinterpret_cast<void*>(&Handle));
    CQXGlobal::RegisterAllocator(reinterpret_cast<void*>(&Allocate));
    CQXGlobal::RegisterHandleException(reinterpret_cast<void*>(&OnException));
    alarmer.userId = 17;
    std::strcpy(alarmer.deviceName, "DVR-1");
    std::strcpy(alarmer.deviceIP, "127.0.0.1");
    for (int i = 0; i < 64; ++i) {
      alarm.relatedChannels[i] = static_cast<uint8_t>(i % 2);
      alarm.channels[i] = static_cast<uint8_t>(i % 3 == 0);
    }
    for (int i = 0; i < 33; ++i) alarm.disks[i] = static_cast<uint8_t>(i == 32);
  }
  void TearDown() override {
    CQXGlobal::RegisterHandleMessage(nullptr);
    CQXGlobal::RegisterAllocator(nullptr);
    CQXGlobal::RegisterHandleException(nullptr);
    for (void* b : g_pool) ::operator delete(b);
    g_pool.clear();
  }
  void raise(int type) {
    alarm.alarmType = type;
    hollin::AlarmTrampoline(SDK_COMM_ALARM, &alarmer, reinterpret_cast<char*>(&alarm),
                            sizeof alarm, nullptr);
  }
};

TEST_F(Global, AlarmFlagsFollowTheAlarmType) {
  for (int type : {0, 1, 2, 3, 4, 5, 6}) raise(type);
  ASSERT_EQ(g_received.size(), 7u);
  for (const auto& m : g_received) {
    EXPECT_EQ(m.loginId, 17);
    EXPECT_STREQ(m.deviceName, "DVR-1");
    EXPECT_STREQ(m.deviceIP, "127.0.0.1");
  }
  EXPECT_EQ(g_received[0].flagCount, 64);
  EXPECT_EQ(g_received[0].flags[1], 1);  // related channels for an input alarm
  EXPECT_EQ(g_received[1].flagCount, 33);
  EXPECT_EQ(g_received[1].flags[32], 1);
  EXPECT_EQ(g_received[1].flags[33], 0);
  EXPECT_EQ(g_received[3].flagCount, 64);
  EXPECT_EQ(g_received[3].flags[3], 1);  // channels for motion
  EXPECT_EQ(g_received[3].flags[1], 0);
  EXPECT_EQ(g_received[4].flagCount, 0);
  for (uint8_t f : g_received[4].flags) EXPECT_EQ(f, 0);
}

TEST_F(Global, ExhaustedPoolOrMissingHandlerDropsTheAlarm) {
  g_poolLeft = 1;
  raise(3);
  raise(3);
  EXPECT_EQ(g_received.size(), 1u);
  CQXGlobal::RegisterHandleMessage(nullptr);
  g_poolLeft = 5;
  raise(3);
  EXPECT_EQ(g_pool.size(), 1u);  // no block taken without a handler
  EXPECT_EQ(CQXGlobal::IsMessageCallbackRegistered(), 0);
  CQXGlobal::RegisterAllocator(nullptr);
  EXPECT_EQ(CQXGlobal::GetBuffer(), nullptr);  // never a block the pool did not make
}

TEST_F(Global, ShortOrMissingRecordsAreIgnored) {
  hollin::AlarmTrampoline(SDK_COMM_ALARM, &alarmer, reinterpret_cast<char*>(&alarm), 100, nullptr);
  hollin::AlarmTrampoline(SDK_COMM_ALARM, nullptr, reinterpret_cast<char*>(&alarm), 268, nullptr);
  EXPECT_TRUE(g_received.empty());
}

TEST_F(Global, ExceptionsWithoutALoginAreDropped) {
  hollin::ExceptionTrampoline(0x8000, -1, 5, nullptr);
  hollin::ExceptionTrampoline(0x8000, 3, 5, nullptr);
  ASSERT_EQ(g_exceptions.size(), 1u);
  EXPECT_EQ(g_exceptions[0], (std::vector<int>{0x8000, 3, 5}));
}

TEST_F(Global, StartupAndCleanupPairUp) {
  EXPECT_EQ(CQXGlobal::Startup(), 1);
  EXPECT_EQ(CQXGlobal::RegisterExceptionCallBack(), 1);
  EXPECT_EQ(CQXGlobal::Cleanup(), 1);
  EXPECT_EQ(CQXGlobal::Cleanup(), 0);  // not started any more
  EXPECT_EQ(CQXGlobal::StartListen(nullptr, 0, nullptr), 0);
}

TEST(DevInfo, CopyGoesThroughTheNarrowTextAndKeepsChinese) {
  CDevInfo a(u"前门摄像机", u"127.0.0.1", 9000, u"admin", u"pass'word", 4, u"", u"", u"SN1",
             u"maker", 3, 0, 2, u"GUID-1", u"REGION");
  CDevInfo b(a);
  EXPECT_EQ(b.GetName(), u"前门摄像机");
  EXPECT_STREQ(b.GetNarrowIP(), "127.0.0.1");
  EXPECT_EQ(b.GetPwd(), u"pass'word");
  EXPECT_EQ(b.GetDevType(), 2);
  CDevInfo empty;
  EXPECT_EQ(empty.GetChnNum(), 4);
  EXPECT_EQ(empty.GetDevType(), 1);
}

TEST(CTCharLimits, TooLongTextsChangeNothing) {
  CTChar t(u"keep");
  t.SetWide(std::u16string(1024, u'x'));
  EXPECT_EQ(t.Wide(), u"keep");
  t.SetWide(std::u16string(1023, u'x'));
  EXPECT_EQ(t.Wide().size(), 1023u);
  EXPECT_EQ(std::strlen(t.GetNarrow()), 511u);  // cut to the narrow buffer
  t.SetNarrow(std::string(512, 'y'));
  EXPECT_EQ(t.Wide().size(), 1023u);
  t.SetNarrow(std::string(511, 'y'));
  EXPECT_EQ(t.Wide(), std::u16string(511, u'y'));
  // Chinese text never splits a character at the narrow limit.
  CTChar c(std::u16string(300, u'录'));
  EXPECT_EQ(std::strlen(c.GetNarrow()), 510u);
  // Either form reads back as a terminated text: up to an embedded NUL.
  t.SetWide(std::u16string(u"ab\0cd", 5));
  EXPECT_EQ(t.Wide(), u"ab");
  EXPECT_STREQ(t.GetNarrow(), "ab");
  t.SetNarrow(std::string("xy\0z", 4));
  EXPECT_EQ(t.Wide(), u"xy");
  // The wide form takes the room of its text: ten thousand devices load without touching a
  // quarter of a gigabyte of buffers.
  EXPECT_LT(sizeof(CDevInfo), 8u * 1024u);
}

}  // namespace
