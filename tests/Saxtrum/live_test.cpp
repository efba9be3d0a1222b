#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "clipgen/clipgen.h"
#include "fixture.h"
#include "plat/surface.h"
#include "plat/window.h"
#include "protocol/library.h"
#include "support/TestFolder.h"
#include "support/Wait.h"
#include "support/FileSizeLimit.h"
#include "support/RecorderFile.h"
#include "support/ShownFrame.h"

using namespace saxtrum_test;

namespace {

class DvrLiveTest : public SaxtrumTest {
 protected:
  void SetUp() override {
    SaxtrumTest::SetUp();
    std::string error;
    ASSERT_TRUE(dvremu::generatedClip(false, 320, 240, 12, 25, true, &clip, &error)) << error;
    emu->setClip(clip);
    id = login();
    ASSERT_GE(id, 0);
  }
  int32_t play(int channel, intptr_t window = 0, int wait = 1, uint32_t linkMode = 0) {
    QX_DVR_CLIENTINFO ci{channel, linkMode, window};
    return QX_DVR_RealPlay(id, &ci, 0, 0, wait);
  }
  dvremu::StreamClip clip;
  int32_t id = -1;
};

std::string temp(const char* name) {
  return testsupport::TestFile("saxtrum_" + std::string(name));
}

// A live-data callback that counts the stream's packets on the Counter given with it.
void CountStreamData(int32_t, uint32_t type, uint8_t*, uint32_t, void* counter) {
  if (type == QX_DVR_DATA_STREAM) static_cast<Counter*>(counter)->hit();
}

// Counts the stream's packets and moves the saved file away once the third has been written.
struct MoveAtThirdPacket : Counter {
  MoveAtThirdPacket(std::string from, std::string to) : from(std::move(from)), to(std::move(to)) {}
  static void OnData(int32_t, uint32_t type, uint8_t*, uint32_t, void* user) {
    auto* self = static_cast<MoveAtThirdPacket*>(user);
    if (type != QX_DVR_DATA_STREAM) return;
    if (self->value() == 2 && std::rename(self->from.c_str(), self->to.c_str()) == 0)
      self->sizeThen = std::filesystem::file_size(self->to);
    self->hit();
  }
  std::string from, to;
  std::atomic<std::uintmax_t> sizeThen{0};
};

}  // namespace

TEST_F(DvrLiveTest, ChannelBoundsAndNullRecordTakeNoSlot) {
  auto conn = saxtrum::loginConnection(id);
  const int next = conn->nextFree();
  EXPECT_EQ(play(0), -1);
  EXPECT_EQ(play(17), -1);
  EXPECT_EQ(QX_DVR_RealPlay(id, nullptr, 0, 0, 1), -1);
  EXPECT_EQ(QX_DVR_RealPlay(5, nullptr, 0, 0, 1), -1);
  EXPECT_EQ(conn->nextFree(), next);
  EXPECT_TRUE(emu->requests(3).empty());
}

TEST_F(DvrLiveTest, RequestCarriesChannelWindowOrHandleAndSubStream) {
  CallLog log;
  StreamPlay_SetCallObserver(&CallLog::observe, &log);
  const int32_t h = play(3, 0, 1, 0x80000000u);
  ASSERT_GE(h, 0);
  auto reqs = emu->requests(3);
  ASSERT_EQ(reqs.size(), 1u);
  ASSERT_EQ(reqs[0].payload.size(), 12u);
  EXPECT_EQ(dvremu::get32(reqs[0].payload.data()), 2u);
  EXPECT_EQ(dvremu::get32(reqs[0].payload.data() + 4), static_cast<uint32_t>(h));  // no window
  EXPECT_EQ(dvremu::get32(reqs[0].payload.data() + 8), 1u);
  const int32_t port = QX_DVR_GetRealPlayerIndex(h);
  EXPECT_GE(port, 1);
  auto calls = log.take();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls[0], "SPlay_GetPort2");
  EXPECT_EQ(calls[1], "SPlay_SetStreamOpenMode");
  EXPECT_EQ(calls[2], "SPlay_OpenStream");
  EXPECT_EQ(calls[3], "SPlay_Play");

  EXPECT_EQ(QX_DVR_StopRealPlay(h), 1);
  auto stops = emu->requests(4);
  ASSERT_EQ(stops.size(), 1u);
  EXPECT_EQ(dvremu::get32(stops[0].payload.data()), 2u);
  calls = log.take();
  std::vector<std::string> tail;
  for (auto& c : calls)
    if (c != "SPlay_InputData") tail.push_back(c);
  EXPECT_EQ(tail, (std::vector<std::string>{"SPlay_Stop", "SPlay_CloseStream", "SPlay_FreePort"}));
  EXPECT_EQ(QX_DVR_StopRealPlay(h), 0);  // stale handle
  EXPECT_EQ(QX_DVR_GetRealPlayerIndex(h), 0);
}

TEST_F(DvrLiveTest, NoWaitReturnsAtOnceAndRefusedPreviewFails) {
  emu->hold(3, true);
  const int32_t h = play(1, 0, 0);
  EXPECT_GE(h, 0);  // returned although the reply is held back
  emu->hold(3, false);
  emu->releaseHeld();
  EXPECT_EQ(QX_DVR_StopRealPlay(h), 1);
  emu->refuse(3, true);
  EXPECT_EQ(play(1), -1);
}

TEST_F(DvrLiveTest, VideoEffectIsScaledBothWays) {
  const int32_t h = play(2);
  ASSERT_GE(h, 0);
  EXPECT_EQ(QX_DVR_ClientSetVideoEffect(h, 5, 10, 1, 11), 0);  // 11 is out of range
  EXPECT_EQ(QX_DVR_ClientSetVideoEffect(h, 5, 10, 1, 7), 1);
  auto sets = emu->requests(25);
  ASSERT_EQ(sets.size(), 1u);
  const uint8_t* p = sets[0].payload.data();
  EXPECT_EQ(dvremu::get32(p), 1u);
  EXPECT_EQ(dvremu::get32(p + 4), 32u);
  EXPECT_EQ(dvremu::get32(p + 8), 64u);
  EXPECT_EQ(dvremu::get32(p + 12), 6u);
  EXPECT_EQ(dvremu::get32(p + 16), 44u);
  uint32_t b = 0, c = 0, s = 0, hue = 0;
  EXPECT_EQ(QX_DVR_ClientGetVideoEffect(h, &b, &c, &s, &hue), 1);
  EXPECT_EQ(b, 5u);
  EXPECT_EQ(c, 10u);
  EXPECT_EQ(s, 0u);  // 6 * 10 / 64
  EXPECT_EQ(hue, 6u);
  emu->refuse(26, true);
  EXPECT_EQ(QX_DVR_ClientGetVideoEffect(h, &b, &c, &s, &hue), 0);
  EXPECT_EQ(QX_DVR_StopRealPlay(h), 1);
}

TEST_F(DvrLiveTest, SaveRealDataWritesStreamHeaderFirstAndRefusesTwice) {
  emu->hold(3, true);  // the stream starts once the save is set up
  const int32_t h = play(1, 0, 0);
  ASSERT_GE(h, 0);
  const std::string path = temp("live.rec");
  std::remove(path.c_str());
  EXPECT_EQ(QX_DVR_SaveRealData(h, 0, path.c_str()), 1);
  EXPECT_EQ(QX_DVR_SaveRealData(h, 0, path.c_str()), 0);
  const std::string moved = temp("live.rec.moved");
  std::remove(moved.c_str());
  MoveAtThirdPacket data{path, moved};
  ASSERT_EQ(QX_DVR_SetRealDataCallBack(h, &MoveAtThirdPacket::OnData, &data), 1);
  emu->hold(3, false);
  emu->releaseHeld();
  ASSERT_TRUE(data.waitFor(6));
  // The file was moved away after the third packet: it went on growing where it went, and no
  // second file started under its old name.
  ASSERT_GT(data.sizeThen.load(), 0u);
  EXPECT_GT(std::filesystem::file_size(moved), data.sizeThen.load());
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(QX_DVR_StopSaveRealData(h), 1);
  EXPECT_EQ(QX_DVR_StopSaveRealData(h), 0);
  EXPECT_EQ(QX_DVR_StopRealPlay(h), 1);
  std::ifstream f(moved, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const auto header = dvremu::streamHeader(clip);
  ASSERT_GT(bytes.size(), header.size());
  EXPECT_TRUE(std::equal(header.begin(), header.end(), bytes.begin()));
  // The first live data follow at once: a frame header.
  EXPECT_EQ(dvremu::get32(bytes.data() + 16), 0x314D5246u);
}

TEST_F(DvrLiveTest, LiveFramesReachAHeadlessWindowDecoded) {
  auto dispatcher = std::make_shared<plat::QueueDispatcher>();
  const plat::WindowHandle wnd = plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return 0; },
                                                      dispatcher);
  plat::setWindowClientSize(wnd, 320, 240);
  const int32_t h = play(1, wnd);
  ASSERT_GE(h, 0);
  plat::PresentedPicture pic;
  const bool shown =
      testsupport::Eventually([&] { return plat::lastPresented(wnd, &pic) && pic.serial > 0; });
  ASSERT_TRUE(shown);
  EXPECT_EQ(pic.width, 320);
  EXPECT_EQ(pic.height, 240);
  // The picture carries its frame number along the top edge.
  const int index = testsupport::ShownFrameNumber(wnd);
  EXPECT_GE(index, 0);
  EXPECT_LT(index, 12);
  const std::string bmp = temp("live.bmp");
  EXPECT_EQ(QX_DVR_CapturePicture(h, bmp.c_str()), 1);
  std::ifstream f(bmp, std::ios::binary);
  char magic[2] = {};
  f.read(magic, 2);
  EXPECT_EQ(magic[0], 'B');
  EXPECT_EQ(QX_DVR_CapturePicture(h, ""), 0);
  std::vector<uint8_t> buf(720 * 576 * 3);
  uint32_t len = 0;
  EXPECT_EQ(QX_DVR_CapturePictureBuf(id, h & 0xFFFF, buf.data(), &len), 1);
  EXPECT_EQ(len, 320u * 240u * 3u);
  EXPECT_EQ(QX_DVR_OpenSound(h), 1);
  EXPECT_EQ(QX_DVR_Volume(h, 0x8000), 1);
  EXPECT_EQ(QX_DVR_CloseSound(), 1);
  EXPECT_EQ(QX_DVR_StopRealPlay(h), 1);
  plat::unregisterWindow(wnd);
}

// Logout and clean-up stop the connection only: the player of a stream left open stays taken
// (the client stops its streams first).
TEST_F(DvrLiveTest, StreamsLeftOpenAtLogoutOrCleanupKeepTheirPlayers) {
  // The lowest free player port is the one the next live view takes.
  int32_t lowest = -1;
  ASSERT_EQ(SPlay_GetPort2(&lowest), 1);
  ASSERT_EQ(SPlay_FreePort(lowest), 1);
  const int32_t live = play(1);
  ASSERT_GE(live, 0);
  ASSERT_EQ(QX_DVR_GetRealPlayerIndex(live), lowest);
  ASSERT_TRUE(emu->waitForLivePackets(static_cast<uint32_t>(live), 2));
  ASSERT_EQ(QX_DVR_Logout(id), 1);
  EXPECT_EQ(QX_DVR_StopRealPlay(live), 0);  // the handle went with the login
  int32_t next = -1;
  ASSERT_EQ(SPlay_GetPort2(&next), 1);
  EXPECT_NE(next, lowest);
  ASSERT_EQ(SPlay_FreePort(next), 1);

  // Clean-up likewise.
  id = login();
  ASSERT_GE(id, 0);
  const int32_t second = play(2);
  ASSERT_GE(second, 0);
  const int32_t secondPort = QX_DVR_GetRealPlayerIndex(second);
  QX_DVR_Cleanup();
  ASSERT_EQ(SPlay_GetPort2(&next), 1);
  EXPECT_NE(next, secondPort);
  for (int32_t p : {next, lowest, secondPort}) EXPECT_EQ(SPlay_FreePort(p), 1) << p;
  QX_DVR_Init();
}

// The disk fills while a live view is saved (the file-size limit stands in for a full disk):
// saving stops, and the file ends with its last whole packet, so it still plays.
TEST_F(DvrLiveTest, SavingOntoAFullDiskStopsAtTheLastWholePacket) {
  // The stream waits for the preview's reply, so every byte of it comes after the callback
  // and the saving are set: the clip runs out after two loops.
  emu->hold(3, true);
  const int32_t h = play(1, 0, 0);
  ASSERT_GE(h, 0);
  const std::string path = temp("full.rec");
  testsupport::FileSizeLimit disk(20000);
  ASSERT_TRUE(disk.ok());
  static std::atomic<uint64_t> seen{0};
  seen = 0;
  ASSERT_EQ(QX_DVR_SetRealDataCallBack(
                h, [](int32_t, uint32_t type, uint8_t*, uint32_t n, void*) {
                  if (type == QX_DVR_DATA_STREAM) seen += n;
                }, nullptr),
            1);
  // The client hears which stream stopped saving.
  static std::atomic<int32_t> stopped{-1};
  stopped = -1;
  ASSERT_EQ(QX_DVR_SetExceptionCallBack(
                0, 0, [](uint32_t type, int32_t value, intptr_t, void*) {
                  if (type == QX_DVR_EXCEPTION_SAVE_STOPPED) stopped = value;
                }, nullptr),
            1);
  ASSERT_EQ(QX_DVR_SaveRealData(h, 0, path.c_str()), 1);
  emu->hold(3, false);
  emu->releaseHeld();
  // Each packet is written before it reaches the callback: once twice the limit has passed
  // by, the disk has refused one.
  const bool passed = testsupport::Eventually([&] { return seen > 40000; });
  disk.Lift();
  ASSERT_TRUE(passed);
  EXPECT_TRUE(testsupport::Eventually([&] { return stopped.load() == h; }));
  EXPECT_EQ(QX_DVR_StopSaveRealData(h), 0);  // saving had stopped by itself
  EXPECT_EQ(QX_DVR_StopRealPlay(h), 1);
  const testsupport::RecorderFileShape file = testsupport::ReadRecorderFile(path);
  EXPECT_LE(file.size, 20000u);
  // Stream header, then frames that end exactly at the end of the file.
  EXPECT_TRUE(file.streamHeader);
  EXPECT_GT(file.frames, 0);
  EXPECT_TRUE(file.endsAtFrame);
}

// Saving set up while the stream runs, with packets that split the frames anywhere: the file
// holds the stream header and then every packet after the one whose callback set it up, as
// they came, wherever that cuts a frame.
TEST_F(DvrLiveTest, SavingStartedMidStreamHoldsEveryPacketFromTheNextOn) {
  QX_DVR_Logout(id);
  emu->stop();
  dvremu::Options o;
  o.pace = false;
  o.maxClipLoops = 2;
  o.chunk = 700;
  emu = std::make_unique<dvremu::Emulator>(o);
  ASSERT_TRUE(emu->start(0));
  emu->setClip(clip);
  id = login();
  ASSERT_GE(id, 0);
  emu->hold(3, true);
  const int32_t h = play(1, 0, 0);
  ASSERT_GE(h, 0);
  static std::string path;
  path = temp("midstream.rec");
  // The save is set up from the callback of the third packet, which was written (or not)
  // before the callback ran.
  static std::mutex lock;
  static std::vector<std::vector<uint8_t>> packets;
  static std::atomic<uint64_t> seen{0};
  static std::atomic<int32_t> handle{-1};
  {
    std::lock_guard<std::mutex> l(lock);
    packets.clear();
  }
  seen = 0;
  handle = h;
  ASSERT_EQ(QX_DVR_SetRealDataCallBack(
                h, [](int32_t, uint32_t type, uint8_t* data, uint32_t n, void*) {
                  if (type != QX_DVR_DATA_STREAM) return;
                  size_t count;
                  {
                    std::lock_guard<std::mutex> l(lock);
                    packets.emplace_back(data, data + n);
                    count = packets.size();
                  }
                  if (count == 3) QX_DVR_SaveRealData(handle, 0, path.c_str());
                  seen += n;
                }, nullptr),
            1);
  emu->hold(3, false);
  emu->releaseHeld();
  size_t clipBytes = 0;
  for (const dvremu::StreamFrame& f : clip.frames) clipBytes += dvremu::frameBytes(f).size();
  // Both loops received.
  ASSERT_TRUE(testsupport::Eventually([&] { return seen.load() >= 2 * clipBytes; }));
  EXPECT_EQ(QX_DVR_StopSaveRealData(h), 1);
  EXPECT_EQ(QX_DVR_StopRealPlay(h), 1);
  std::ifstream f(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const auto header = dvremu::streamHeader(clip);
  std::vector<uint8_t> expected(header.begin(), header.end());
  {
    std::lock_guard<std::mutex> l(lock);
    ASSERT_GT(packets.size(), 3u);
    for (size_t i = 3; i < packets.size(); ++i) expected.insert(expected.end(), packets[i].begin(), packets[i].end());
  }
  EXPECT_EQ(bytes.size(), expected.size());
  EXPECT_TRUE(bytes == expected) << "not the header and the packets from the fourth on";
}

// A live view whose frames are not of the format the library knows, saved over a file that
// was there before. A saving stopped before any data came leaves that file as it was. Saved
// again for 0.7 s, the earlier file stays until the saving ends, and the file then holds the
// stream header and every packet received after the call.
TEST_F(DvrLiveTest, AShortSaveOfAStreamWithoutKnownFramesHoldsEveryPacketAfterTheCall) {
  emu->hold(3, true);  // the device's own stream never starts: the packets are sent by hand
  const int32_t h = play(1, 0, 0);
  ASSERT_GE(h, 0);
  ASSERT_TRUE(emu->waitForRequests(3, 1));
  const uint32_t wire = emu->requests(3).back().handle;
  const std::string folder = testsupport::NewTestFolder();
  const std::string path = folder + "/foreign.rec";
  const std::string earlier = "an earlier recording";
  std::ofstream(path, std::ios::binary) << earlier;
  auto read = [&] {
    std::ifstream f(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  };
  auto names = [&] {
    std::vector<std::string> n;
    for (const auto& e : std::filesystem::directory_iterator(folder)) n.push_back(e.path().filename().string());
    return n;
  };

  ASSERT_EQ(QX_DVR_SaveRealData(h, 0, path.c_str()), 1);
  EXPECT_EQ(QX_DVR_StopSaveRealData(h), 1);
  EXPECT_EQ(read(), earlier);
  EXPECT_EQ(names(), std::vector<std::string>{"foreign.rec"});

  Counter data;
  ASSERT_EQ(QX_DVR_SetRealDataCallBack(h, &CountStreamData, &data), 1);
  std::vector<uint8_t> header(16);
  for (size_t i = 0; i < header.size(); ++i) header[i] = static_cast<uint8_t>(0xA0 + i);
  ASSERT_TRUE(emu->sendPacket(6, wire, 200, header));
  ASSERT_TRUE(emu->sendPacket(3, wire, 200, {}));  // the reply to the request: not stream data
  // Bytes that never hold a frame header: each is 7 more than the one before.
  uint8_t b = 0;
  auto packet = [&b] {
    std::vector<uint8_t> p(3000);
    for (uint8_t& x : p) x = b += 7;
    return p;
  };
  // A packet before the call is not saved.
  ASSERT_TRUE(emu->sendPacket(3, wire, 200, packet()));
  ASSERT_TRUE(data.waitFor(1));
  ASSERT_EQ(QX_DVR_SaveRealData(h, 0, path.c_str()), 1);
  // 0.7 s of a camera's rhythm: seven packets 100 ms apart.
  constexpr int kPackets = 7;
  std::string expected(header.begin(), header.end());
  for (int i = 0; i < kPackets; ++i) {
    const std::vector<uint8_t> p = packet();
    ASSERT_TRUE(emu->sendPacket(3, wire, 200, p));
    expected.append(p.begin(), p.end());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(data.waitFor(1 + kPackets));
  EXPECT_EQ(read(), earlier) << "the earlier file is replaced only when the saving ends";
  EXPECT_EQ(QX_DVR_StopSaveRealData(h), 1);
  EXPECT_EQ(QX_DVR_StopRealPlay(h), 1);
  EXPECT_EQ(names(), std::vector<std::string>{"foreign.rec"});
  const std::string saved = read();
  EXPECT_EQ(saved.size(), expected.size());
  EXPECT_TRUE(saved == expected) << "not the stream header and every packet after the call";
}
