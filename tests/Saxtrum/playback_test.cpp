// Playback by name: player calls, data callback, saving, control codes and stopping.
#include <fstream>
#include <iterator>
#include <map>

#include "control_support.h"
#include "files/file_records.h"
#include "fixture.h"
#include "protocol/library.h"
#include "support/TestFolder.h"

using namespace saxtrum_test;

namespace {

struct Received {
  std::mutex mu;
  size_t bytes = 0;
  int packets = 0;
  uint32_t type = 0;
  static void callback(int32_t, uint32_t type, uint8_t*, uint32_t length, void* user) {
    auto* self = static_cast<Received*>(user);
    std::lock_guard<std::mutex> lock(self->mu);
    self->bytes += length;
    ++self->packets;
    self->type = type;
  }
  size_t total() {
    std::lock_guard<std::mutex> lock(mu);
    return bytes;
  }
};

class DvrPlaybackTest : public DvrLoggedInTest {
 protected:
  void SetUp() override {
    DvrLoggedInTest::SetUp();
    dvremu::StreamClip clip;
    std::string error;
    ASSERT_TRUE(dvremu::generatedClip(false, 160, 120, 6, 25, false, &clip, &error)) << error;
    emu->setClip(clip);
    const auto whole = dvremu::streamFile(clip);
    header.assign(whole.begin(), whole.begin() + 16);
    file.name = "ch01_clip.rec";
    file.data.assign(whole.begin() + 16, whole.end());
    emu->services().addFile(file);
    emu->services().setStreamChunk(1000);
  }
  std::vector<uint8_t> header;
  dvremu::RecordedFile file;
};

}  // namespace

TEST(DvrPlaybackPosition, PercentAndFraction) {
  using namespace saxtrum::files;
  EXPECT_FLOAT_EQ(playPosFromPercent(50), 0.5f);
  EXPECT_FLOAT_EQ(playPosFromPercent(0), 0.0f);
  EXPECT_FLOAT_EQ(playPosFromPercent(100), 1.0f);
  EXPECT_EQ(percentFromPlayPos(0.257f), 25u);
  EXPECT_EQ(percentFromPlayPos(1.0f), 100u);
  EXPECT_EQ(percentFromPlayPos(-0.5f), 0u);
}

TEST_F(DvrPlaybackTest, StreamReachesCallbackAndFile) {
  CallLog log;
  StreamPlay_SetCallObserver(&CallLog::observe, &log);
  const int32_t h = QX_DVR_PlayBackByName(id, file.name.c_str(), 0);
  ASSERT_GE(h, 0);
  const auto calls = log.take();
  std::vector<std::string> expect = {"SPlay_GetPort2", "SPlay_SetStreamOpenMode",
                                     "SPlay_OpenStream", "SPlay_Play"};
  ASSERT_GE(calls.size(), expect.size());
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 4), expect);
  // The replay request names the file by the record the information reply left.
  const auto info = emu->requests(13);
  ASSERT_EQ(info.size(), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&info[0].payload[8])), file.name);
  const auto replay = emu->requests(5);
  ASSERT_EQ(replay.size(), 1u);
  EXPECT_EQ(dvremu::get32(&replay[0].payload[92]), file.data.size());
  EXPECT_EQ(QX_DVR_StopPlayBack(h), 1);
  // A replay reply that does not come in time fails and gives everything back.
  emu->hold(5, true);
  EXPECT_EQ(QX_DVR_PlayBackByName(id, file.name.c_str(), 0), -1);
  emu->hold(5, false);
  emu->releaseHeld();
  EXPECT_EQ(busySlots(*saxtrum::loginConnection(id)), 0);
}

TEST_F(DvrPlaybackTest, DataCallbackAndSavedCopy) {
  // The whole recording in the replay reply itself, so nothing of it arrives later.
  ASSERT_LE(file.data.size(), 40000u);
  emu->services().setStreamChunk(40000);
  const int32_t h = QX_DVR_PlayBackByName(id, file.name.c_str(), 0);
  ASSERT_GE(h, 0);
  Received got;
  const std::string path = testsupport::TestFile("saxtrum_pb_save.rec");
  EXPECT_EQ(QX_DVR_SetPlayDataCallBack(h, &Received::callback, &got), 1);
  EXPECT_EQ(QX_DVR_PlayBackSaveData(h, path.c_str()), 1);
  EXPECT_EQ(QX_DVR_PlayBackSaveData(h, path.c_str()), 0);  // already saving
  // More of the stream, after both were set up.
  const std::vector<uint8_t> more(file.data.begin(), file.data.begin() + 600);
  ASSERT_TRUE(emu->sendPacket(5, static_cast<uint32_t>(h), 200, more));
  ASSERT_TRUE(emu->sendPacket(5, static_cast<uint32_t>(h), 200, more));
  EXPECT_TRUE(eventually([&] { return got.total() >= 1200; }));
  EXPECT_EQ(got.total(), 1200u);
  EXPECT_EQ(got.type, static_cast<uint32_t>(QX_DVR_DATA_STREAM));
  EXPECT_EQ(QX_DVR_StopPlayBackSave(h), 1);
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> saved((std::istreambuf_iterator<char>(in)), {});
  ASSERT_EQ(saved.size(), 16u + 1200u);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), saved.begin()));
  EXPECT_TRUE(std::equal(more.begin(), more.end(), saved.begin() + 16));
  EXPECT_EQ(QX_DVR_StopPlayBack(h), 1);
  EXPECT_EQ(QX_DVR_SetPlayDataCallBack(h, &Received::callback, &got), 0);
  EXPECT_EQ(QX_DVR_PlayBackByName(id, "", 0), 0);
  EXPECT_EQ(QX_DVR_PlayBackByName(id, nullptr, 0), 0);
  EXPECT_EQ(QX_DVR_PlayBackByName(id, "missing.rec", 0), -1);
  EXPECT_EQ(QX_DVR_PlayBackByName(120, file.name.c_str(), 0), -1);
  EXPECT_EQ(busySlots(*saxtrum::loginConnection(id)), 0);
}

TEST_F(DvrPlaybackTest, ControlCodesDriveThePlayerOnly) {
  const int32_t h = QX_DVR_PlayBackByName(id, file.name.c_str(), 0);
  ASSERT_GE(h, 0);
  CallLog log;
  StreamPlay_SetCallObserver(&CallLog::observe, &log);
  const std::map<uint32_t, std::string> codes = {
      {1, "SPlay_Play"},      {2, "SPlay_Stop"},       {3, "SPlay_Pause"},
      {4, "SPlay_Pause"},     {5, "SPlay_Fast"},       {6, "SPlay_Slow"},
      {7, "SPlay_Play"},      {8, "SPlay_OneByOne"},   {9, "SPlay_PlaySound"},
      {10, "SPlay_StopSound"}, {11, "SPlay_SetVolume"}, {12, "SPlay_SetPlayPos"},
      {13, "SPlay_GetPlayPos"}};
  const size_t before = emu->requests().size();
  for (const auto& [code, fn] : codes) {
    uint32_t out = 777;
    EXPECT_EQ(QX_DVR_PlayBackControl(h, code, 50, &out), 1) << code;
    // Only the control functions count: the receive thread may be feeding the player.
    std::vector<std::string> calls;
    for (const auto& c : log.take())
      if (c != "SPlay_InputData") calls.push_back(c);
    ASSERT_EQ(calls.size(), 1u) << code;
    EXPECT_EQ(calls[0], fn) << code;
    if (code == 13) {
      EXPECT_LE(out, 100u);
    }
  }
  EXPECT_EQ(QX_DVR_PlayBackControl(h, 99, 0, nullptr), 1);
  for (const auto& c : log.take()) EXPECT_EQ(c, "SPlay_InputData");
  EXPECT_EQ(emu->requests().size(), before);
  EXPECT_EQ(QX_DVR_PlayBackControl(0x7FFF05, 1, 0, nullptr), 0);
  EXPECT_EQ(QX_DVR_StopPlayBack(h), 1);
}

// A stop the device refuses fails and leaves the playback as it was: its slot and its player
// stay, and a later stop the device takes ends it.
TEST_F(DvrPlaybackTest, RefusedStopLeavesPlayerAndSlot) {
  auto conn = saxtrum::loginConnection(id);
  const int32_t h = QX_DVR_PlayBackByName(id, file.name.c_str(), 0);
  ASSERT_GE(h, 0);
  const int32_t port = QX_DVR_GetRealPlayerIndex(h);
  ASSERT_GT(port, 0);
  CallLog log;
  // The player's shut-down calls (its input goes on meanwhile).
  auto ends = [&] {
    std::vector<std::string> out;
    for (const std::string& c : log.take())
      if (c == "SPlay_Stop" || c == "SPlay_CloseStream" || c == "SPlay_FreePort") out.push_back(c);
    return out;
  };
  StreamPlay_SetCallObserver(&CallLog::observe, &log);
  emu->refuse(7, true);
  EXPECT_EQ(QX_DVR_StopPlayBack(h), 0);
  EXPECT_EQ(busySlots(*conn), 1);
  EXPECT_EQ(QX_DVR_GetRealPlayerIndex(h), port);
  EXPECT_TRUE(ends().empty()) << "the player was stopped";
  emu->refuse(7, false);
  EXPECT_EQ(QX_DVR_StopPlayBack(h), 1);
  StreamPlay_SetCallObserver(nullptr, nullptr);
  EXPECT_EQ(busySlots(*conn), 0);
  EXPECT_EQ(ends(), (std::vector<std::string>{"SPlay_Stop", "SPlay_CloseStream", "SPlay_FreePort"}));
}
