// Alarm fan-out and the faults the receive side must survive, against the emulator.
#include <cstring>
#include <thread>

#include "fixture.h"
#include "protocol/fanout.h"
#include "protocol/library.h"
#include "support/Wait.h"

using namespace saxtrum_test;

namespace {

struct AlarmSeen {
  uint32_t type;
  std::vector<uint8_t> alarmer, info;
};

struct Alarms {
  std::mutex mu;
  std::vector<AlarmSeen> seen;
  Counter count;
  static void cb(int32_t command, char* alarmer, char* info, uint32_t len, void* user) {
    auto* self = static_cast<Alarms*>(user);
    if (command != QX_DVR_COMMAND_ALARM || len != QX_DVR_ALARM_INFO_SIZE) return;
    {
      std::lock_guard<std::mutex> lock(self->mu);
      self->seen.push_back({dvremu::get32(reinterpret_cast<uint8_t*>(info)),
                            std::vector<uint8_t>(alarmer, alarmer + QX_DVR_ALARMER_SIZE),
                            std::vector<uint8_t>(info, info + QX_DVR_ALARM_INFO_SIZE)});
    }
    self->count.hit();
  }
};

struct Exceptions {
  Counter count;
  std::atomic<int32_t> user{-2};
  std::atomic<uint32_t> type{99};
  std::atomic<intptr_t> window{0};
  static void cb(uint32_t type, int32_t userId, intptr_t window, void* u) {
    auto* self = static_cast<Exceptions*>(u);
    self->type = type;
    self->user = userId;
    self->window = window;
    self->count.hit();
  }
};

class DvrFaultTest : public SaxtrumTest {
 protected:
  void SetUp() override {
    SaxtrumTest::SetUp();
    ASSERT_EQ(QX_DVR_SetExceptionCallBack(0, 0x1234, &Exceptions::cb, &exc), 1);
    id = login();
    ASSERT_GE(id, 0);
    conn = saxtrum::loginConnection(id);
  }
  // A slot whose alarm packets reach the message callback (what arming the alarm channel does).
  int armedSlot() {
    const int s = conn->allocSlot();
    conn->withSlot(s, [](saxtrum::RequestSlot& r) { r.callbackOn = true; });
    return s;
  }
  uint32_t handle(int slot) { return static_cast<uint32_t>(id << 16 | slot); }
  // Waits until the connection has given up (or the bound passes).
  bool broken() {
    return testsupport::Eventually([&] { return conn->state() >= saxtrum::kStateStopRequested; });
  }
  Exceptions exc;
  int32_t id = -1;
  std::shared_ptr<saxtrum::DvrConnection> conn;
};

std::vector<uint8_t> header(uint32_t magic, uint32_t cmd, uint32_t len, uint32_t handle) {
  std::vector<uint8_t> h(20);
  dvremu::writeHeader(dvremu::Header{magic, cmd, len, handle, 200}, h.data());
  return h;
}

}  // namespace

TEST_F(DvrFaultTest, AlarmBitsFanOutToTypesAndChannelOrDiskBytes) {
  Alarms alarms;
  ASSERT_EQ(QX_DVR_SetDVRMessageCallBack(&Alarms::cb, &alarms), 1);
  const int slot = armedSlot();
  std::array<uint8_t, 16> bits{};
  bits[2] = 0x03;         // motion and input on channel byte 2
  bits[4] = 0x40;         // disk
  bits[7] = 0x40 | 0x08;  // disk and masking
  bits[9] = 0x04;         // video loss
  ASSERT_TRUE(emu->pushAlarm(handle(slot), dvremu::alarmRecord("SN-42", "front door", "10.1.2.3", bits)));
  ASSERT_TRUE(alarms.count.waitFor(5));
  std::lock_guard<std::mutex> lock(alarms.mu);
  ASSERT_EQ(alarms.seen.size(), 5u);
  const uint32_t types[] = {3, 0, 6, 2, 5};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(alarms.seen[i].type, types[i]) << i;
  const size_t ch = saxtrum::kInfoOffChannels, disk = saxtrum::kInfoOffDisks;
  EXPECT_EQ(alarms.seen[0].info[ch + 2], 1);
  EXPECT_EQ(alarms.seen[1].info[ch + 2], 1);
  EXPECT_EQ(alarms.seen[1].info[ch + 4], 0);
  EXPECT_EQ(alarms.seen[2].info[ch + 7], 1);
  EXPECT_EQ(alarms.seen[3].info[ch + 9], 1);
  EXPECT_EQ(alarms.seen[4].info[disk + 4], 1);  // only the first disk alarm
  EXPECT_EQ(alarms.seen[4].info[disk + 7], 0);
  EXPECT_EQ(alarms.seen[4].info[ch + 4], 0);
  const auto& a = alarms.seen[0].alarmer;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(a[static_cast<size_t>(i)], 1);
  EXPECT_EQ(dvremu::get32(&a[8]), static_cast<uint32_t>(id));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&a[12])), "SN-42");
  EXPECT_EQ(dvremu::get32(&a[60]), 0x30000u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&a[64])), "front door");
  EXPECT_EQ(a[96 + 5], 0x55);
  EXPECT_EQ(a[102] | a[103] << 8, 8000);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&a[104])), "10.1.2.3");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&a[232])), "10.1.2.3");
}

TEST_F(DvrFaultTest, AlarmOnASlotWithoutCallbackFlagIsDropped) {
  Alarms alarms;
  ASSERT_EQ(QX_DVR_SetDVRMessageCallBack(&Alarms::cb, &alarms), 1);
  EXPECT_EQ(QX_DVR_SetDVRMessageCallBack(nullptr, nullptr), 0);  // the callback above stays
  const int quiet = conn->allocSlot();
  const int armed = armedSlot();
  std::array<uint8_t, 16> bits{};
  bits[0] = 1;
  ASSERT_TRUE(emu->pushAlarm(handle(quiet), dvremu::alarmRecord("a", "b", "c", bits)));
  ASSERT_TRUE(emu->pushAlarm(handle(armed), dvremu::alarmRecord("a", "b", "c", bits)));
  ASSERT_TRUE(alarms.count.waitFor(1));
  EXPECT_EQ(alarms.count.value(), 1);  // the armed one; the quiet slot's came first
}

TEST_F(DvrFaultTest, AlarmCallbackRunsWithNoLibraryLockHeld) {
  // A client's alarm handler hands the alarm to another thread and waits for it (as a
  // program waits for its window to take the message); that thread uses the library.
  struct Ctx {
    Counter done;
    std::atomic<bool> otherFinished{false};
  } ctx;
  ASSERT_EQ(QX_DVR_SetDVRMessageCallBack(
                [](int32_t, char*, char*, uint32_t, void* u) {
                  auto* c = static_cast<Ctx*>(u);
                  if (c->done.value() > 0) return;
                  std::atomic<bool> finished{false};
                  std::thread other([&] {
                    QX_DVR_SetReconnect(0, 0);
                    QX_DVR_Logout(127);  // a login not in use
                    finished = true;
                  });
                  for (int i = 0; i < 200 && !finished; ++i) plat::sleepMs(100);
                  c->otherFinished = finished.load();
                  c->done.hit();
                  other.join();
                },
                &ctx),
            1);
  std::array<uint8_t, 16> bits{};
  bits[0] = 1;
  ASSERT_TRUE(emu->pushAlarm(handle(armedSlot()), dvremu::alarmRecord("a", "b", "c", bits)));
  ASSERT_TRUE(ctx.done.waitFor(1));
  EXPECT_TRUE(ctx.otherFinished.load());
}

TEST_F(DvrFaultTest, BadMagicEndsTheConnectionWithOneDisconnectReport) {
  ASSERT_TRUE(emu->sendRaw(header(0x12345678, 26, 0, handle(0))));
  ASSERT_TRUE(exc.count.waitFor(1));
  ASSERT_TRUE(broken());
  EXPECT_EQ(exc.user.load(), id);
  EXPECT_EQ(exc.type.load(), 0u);
  EXPECT_EQ(exc.window.load(), 0x1234);
  // The login stays; its requests fail without a second report.
  const int slot = conn->allocSlot();
  EXPECT_EQ(conn->sendPacket(handle(slot), 23, nullptr, 0), -1);
  EXPECT_EQ(exc.count.value(), 1);
  EXPECT_EQ(QX_DVR_Logout(id), 1);
}

TEST_F(DvrFaultTest, OversizedLengthEndsTheConnectionWithOneDisconnectReport) {
  ASSERT_TRUE(emu->sendRaw(header(dvremu::kMagic, 3, 40001, handle(0))));
  ASSERT_TRUE(exc.count.waitFor(1));
  ASSERT_TRUE(broken());
  EXPECT_EQ(exc.count.value(), 1);
}

TEST_F(DvrFaultTest, PeerClosingMidStreamIsReportedOnce) {
  dvremu::StreamClip clip;
  ASSERT_TRUE(dvremu::generatedClip(false, 64, 48, 4, 25, false, &clip));
  emu->setClip(clip);
  QX_DVR_CLIENTINFO ci{1, 0, 0};
  const int32_t h = QX_DVR_RealPlay(id, &ci, 0, 0, 1);
  ASSERT_GE(h, 0);
  ASSERT_TRUE(emu->waitForLivePackets(static_cast<uint32_t>(h), 1));
  emu->closeConnections();
  ASSERT_TRUE(exc.count.waitFor(1));
  ASSERT_TRUE(broken());
  // The open stream is stopped without a device: the request cannot go, the player is freed.
  int32_t port = QX_DVR_GetRealPlayerIndex(h);
  EXPECT_GE(port, 1);
  EXPECT_EQ(QX_DVR_StopRealPlay(h), 0);
  EXPECT_EQ(SPlay_Play(port, 0), 0);  // the port was freed
  QX_DVR_CLIENTINFO again{1, 0, 0};
  EXPECT_EQ(QX_DVR_RealPlay(id, &again, 0, 0, 1), -1);
  EXPECT_EQ(exc.count.value(), 1);
}

TEST_F(DvrFaultTest, SplitHeaderAndSeveralPacketsInOneWriteAreDispatched) {
  const int a = conn->allocSlot(), b = conn->allocSlot();
  auto expect = [&](int slot, uint32_t cmd) {
    conn->withSlot(slot, [&](saxtrum::RequestSlot& s) {
      s.replied = false;
      s.lastCommand = cmd;
    });
  };
  expect(a, 26);
  expect(b, 23);
  std::vector<uint8_t> params(20, 0);
  dvremu::put32(params.data() + 4, 64);
  ASSERT_TRUE(emu->sendSplit(dvremu::packet(26, handle(a), 200, params.data(), params.size())));
  EXPECT_EQ(conn->waitSlot(a, 4000), 0);
  EXPECT_EQ(conn->withSlot(a, [](saxtrum::RequestSlot& s) { return s.videoParams[4]; }), 64);
  auto two = dvremu::packet(23, handle(b), 300, nullptr, 0);
  auto one = dvremu::packet(26, handle(a), 200, params.data(), params.size());
  two.insert(two.end(), one.begin(), one.end());
  expect(a, 26);
  ASSERT_TRUE(emu->sendRaw(two));
  EXPECT_EQ(conn->waitSlot(b, 4000), 0);
  EXPECT_EQ(conn->waitSlot(a, 4000), 0);
  EXPECT_EQ(conn->withSlot(b, [](saxtrum::RequestSlot& s) { return s.status; }), 300u);
  EXPECT_EQ(exc.count.value(), 0);
}

TEST_F(DvrFaultTest, UnansweredRequestCountsAsLostConnection) {
  emu->hold(26, true);
  const int32_t live = [&] {
    QX_DVR_CLIENTINFO ci{1, 0, 0};
    return QX_DVR_RealPlay(id, &ci, 0, 0, 1);
  }();
  ASSERT_GE(live, 0);
  uint32_t b, c, s, h;
  EXPECT_EQ(QX_DVR_ClientGetVideoEffect(live, &b, &c, &s, &h), 0);  // times out
  ASSERT_TRUE(exc.count.waitFor(1));
  emu->hold(26, false);
  emu->releaseHeld();  // the late 200 for the read reaches nobody
  // The login is lost: later requests fail without reaching the device, and the stream's
  // stop still frees its slot.
  EXPECT_EQ(QX_DVR_ClientSetVideoEffect(live, 5, 5, 5, 5), 0);
  EXPECT_EQ(QX_DVR_StopRealPlay(live), 0);
  EXPECT_TRUE(emu->requests(25).empty());
  EXPECT_EQ(QX_DVR_GetRealPlayerIndex(live), 0);
  EXPECT_EQ(exc.count.value(), 1);
}

TEST_F(DvrFaultTest, LogoutFromInsideTheExceptionCallbackDoesNotHang) {
  struct Ctx {
    Counter done;
    std::atomic<int> result{-1};
  } ctx;
  ASSERT_EQ(QX_DVR_SetExceptionCallBack(
                0, 0,
                [](uint32_t, int32_t user, intptr_t, void* u) {
                  auto* c = static_cast<Ctx*>(u);
                  c->result = QX_DVR_Logout(user);
                  c->done.hit();
                },
                &ctx),
            1);
  std::weak_ptr<saxtrum::DvrConnection> weak = conn;
  conn.reset();
  ASSERT_TRUE(emu->sendRaw(header(0, 0, 0, 0)));
  ASSERT_TRUE(ctx.done.waitFor(1));
  EXPECT_EQ(ctx.result.load(), 1);
  EXPECT_FALSE(saxtrum::loginConnection(id));
  // The connection frees itself once its thread has left the callback.
  EXPECT_TRUE(testsupport::Eventually([&] { return weak.expired(); }));
}

TEST_F(DvrFaultTest, RepliesNeverCrossSlotsWithTwoRequestsInFlight) {
  QX_DVR_CLIENTINFO one{1, 0, 0}, two{2, 0, 0};
  const int32_t h1 = QX_DVR_RealPlay(id, &one, 0, 0, 1);
  const int32_t h2 = QX_DVR_RealPlay(id, &two, 0, 0, 1);
  ASSERT_GE(h1, 0);
  ASSERT_GE(h2, 0);
  ASSERT_EQ(QX_DVR_ClientSetVideoEffect(h1, 10, 10, 10, 10), 1);
  emu->hold(26, true);   // the read on h1 waits for its answer ...
  emu->refuse(25, true); // ... while a write on h2 is refused at once
  plat::setTimeScale(1.0);  // the held read must not time out meanwhile
  std::atomic<int> readResult{-1};
  uint32_t b = 0, c = 0, s = 0, hue = 0;
  std::thread reader([&] { readResult = QX_DVR_ClientGetVideoEffect(h1, &b, &c, &s, &hue); });
  ASSERT_TRUE(emu->waitForRequests(26, 1));
  EXPECT_EQ(QX_DVR_ClientSetVideoEffect(h2, 3, 3, 3, 3), 0);
  EXPECT_EQ(readResult.load(), -1);  // the refusal on h2 did not wake the read on h1
  emu->hold(26, false);
  emu->releaseHeld();
  reader.join();
  plat::setTimeScale(0.1);
  EXPECT_EQ(readResult.load(), 1);
  EXPECT_EQ(b, 10u);
  EXPECT_EQ(hue, 10u);
  EXPECT_EQ(QX_DVR_StopRealPlay(h1), 1);
  EXPECT_EQ(QX_DVR_StopRealPlay(h2), 1);
}
