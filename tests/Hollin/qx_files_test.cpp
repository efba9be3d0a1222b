// Recorded files on a recorder: search, playback control and download, and configuration,
// against the emulator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "StreamPlay.h"
#include "qx/QXConfigTable.h"
#include "qx/QXRemote.h"
#include "qx_fixture.h"

using namespace qx_test;
using localplay_test::Eventually;
using localplay_test::TempDir;
using localplay_test::Window;

namespace {

dvremu::RecordedFile File(int i, size_t bytes = 3000) {
  dvremu::RecordedFile f;
  f.name = "ch01_" + std::to_string(1000 + i) + ".mp4";
  f.channel = 1;
  f.start = {2026, 3, 5, 10, static_cast<uint32_t>(i % 60), 0};
  f.end = {2026, 3, 5, 11, static_cast<uint32_t>(i % 60), 30};
  f.data.resize(bytes);
  for (size_t k = 0; k < bytes; ++k) f.data[k] = static_cast<uint8_t>(k * 13 + i);
  return f;
}

tagSearchFileCondition AllOfChannel0() {
  tagSearchFileCondition c{};
  c.channel = 0;
  c.fileType = 255;
  c.start = {2026, 3, 1, 0, 0, 0};
  c.end = {2026, 3, 31, 23, 59, 59};
  return c;
}

TEST_F(RecorderTest, SearchDeliversEveryFileAcrossBatches) {
  for (int i = 0; i < 45; ++i) emu.services().addFile(File(i));
  LoggedIn();
  tagSearchFileCondition cond = AllOfChannel0();
  CDevRemoteFileFinder* finder = CDevRemoteFileFinderFactory::CreateFinder(login, &cond);
  ASSERT_NE(finder, nullptr);
  // Channel 0 of the caller is channel 1 of the device (0 on the wire, as channel - 1).
  auto finds = emu.requests(dvremu::kFileFind);
  ASSERT_EQ(finds.size(), 1u);
  EXPECT_EQ(finds[0].payload.at(0), 0);
  std::vector<std::string> names;
  for (int guard = 0; guard < 100; ++guard) {
    tagRemoteFileInfo info;
    std::memset(&info, 0, sizeof info);
    if (!finder->FindNext(&info)) break;
    names.push_back(info.fileName);
    if (names.size() == 1) {
      EXPECT_EQ(info.start.year, 2026);
      EXPECT_EQ(info.end.hour, 11);
      EXPECT_EQ(info.end.second, 30);
      EXPECT_EQ(info.fileSize, 3000u);
    }
  }
  ASSERT_EQ(names.size(), 45u);
  EXPECT_EQ(names[0], "ch01_1000.mp4");
  EXPECT_EQ(names[44], "ch01_1044.mp4");
  EXPECT_EQ(finder->FindClose(), 1);
  tagRemoteFileInfo info{};
  EXPECT_EQ(finder->FindNext(&info), 0);
  CDevRemoteFileFinderFactory::DeleteFinder(finder);
  EXPECT_TRUE(Eventually([&] { return emu.requests(dvremu::kFileFindClose).size() == 1; }));
}

TEST_F(RecorderTest, SdkSearchWalksSearchingFoundAndEnd) {
  for (int i = 0; i < 41; ++i) emu.services().addFile(File(i));
  const auto id = static_cast<int32_t>(LoggedIn());
  // The device's second batch is held back, so the search is seen still searching.
  plat::setTimeScale(1.0);
  emu.hold(dvremu::kFileFindNext, true);
  SdkFileCond c{};
  c.channel = 1;
  c.fileType = 255;
  c.start = {2026, 3, 1, 0, 0, 0};
  c.end = {2026, 3, 31, 0, 0, 0};
  const int32_t h = RecNet_FindFile(id, &c);
  ASSERT_NE(h, -1);
  SdkFindData d{};
  int found = 0;
  // The search asks the device for a batch and is held there: whatever the opening reply
  // carried comes first, then "searching" until the device answers.
  ASSERT_TRUE(Eventually([&] { return !emu.requests(dvremu::kFileFindNext).empty(); }));
  int32_t r;
  while ((r = RecNet_FindNextFile(h, &d)) == SDK_FIND_SUCCESS) ++found;
  EXPECT_EQ(r, SDK_FIND_SEARCHING);
  EXPECT_EQ(RecNet_FindNextFile(h, &d), SDK_FIND_SEARCHING);
  emu.hold(dvremu::kFileFindNext, false);
  emu.releaseHeld();
  for (int i = 0; i < 20000; ++i) {
    r = RecNet_FindNextFile(h, &d);
    if (r == SDK_FIND_SUCCESS) ++found;
    if (r != SDK_FIND_SUCCESS && r != SDK_FIND_SEARCHING) break;
    usleep(500);
  }
  EXPECT_EQ(found, 41);
  EXPECT_EQ(r, SDK_FIND_NOMORE);
  EXPECT_STREQ(d.fileName, "ch01_1040.mp4");
  EXPECT_EQ(RecNet_FindClose(h), 1);
  EXPECT_EQ(RecNet_FindNextFile(h, &d), SDK_FIND_EXCEPTION);
  EXPECT_EQ(RecNet_FindClose(h), 0);
}

TEST_F(RecorderTest, RefusedSearchesMakeNoFinder) {
  LoggedIn();
  tagSearchFileCondition cond = AllOfChannel0();
  cond.fileType = 4;  // no such type
  EXPECT_EQ(CDevRemoteFileFinderFactory::CreateFinder(login, &cond), nullptr);
  EXPECT_EQ(CDevRemoteFileFinderFactory::CreateFinder(login, static_cast<tagSearchFileCondition*>(nullptr)), nullptr);
  // Nothing on the device: the first FindNext is the end.
  cond = AllOfChannel0();
  CDevRemoteFileFinder* finder = CDevRemoteFileFinderFactory::CreateFinder(login, &cond);
  ASSERT_NE(finder, nullptr);
  tagRemoteFileInfo info{};
  EXPECT_EQ(finder->FindNext(&info), 0);
  // Destroyed without FindClose: the search is still given back to the device.
  CDevRemoteFileFinderFactory::DeleteFinder(finder);
  EXPECT_TRUE(Eventually([&] { return emu.requests(dvremu::kFileFindClose).size() == 1; }));
}

struct PlayCalls {
  static inline std::mutex mu;
  static inline std::vector<std::string> calls;
  static void Observe(const char* fn, int32_t, void*) {
    // The receive thread feeds the player all along; only the controls are of interest.
    if (std::string(fn) == "SPlay_InputData") return;
    std::lock_guard<std::mutex> lock(mu);
    calls.emplace_back(fn);
  }
  static std::vector<std::string> Take() {
    std::lock_guard<std::mutex> lock(mu);
    auto c = std::move(calls);
    calls.clear();
    return c;
  }
};

TEST_F(RecorderTest, PlaybackControlsMapOntoThePlayer) {
  emu.services().addFile(File(1, 20000));
  LoggedIn();
  Window wnd;
  EXPECT_EQ(CDevRemotePlaybackFactory::CreateRemotePlayback(login, wnd.handle, "nope.mp4"),
            nullptr);
  TIME t{};
  EXPECT_EQ(CDevRemotePlaybackFactory::CreateRemotePlayback(login, wnd.handle, 1, &t, &t),
            nullptr);
  CDevRemotePlayback* pb =
      CDevRemotePlaybackFactory::CreateRemotePlayback(login, wnd.handle, "ch01_1001.mp4");
  ASSERT_NE(pb, nullptr);
  StreamPlay_SetCallObserver(&PlayCalls::Observe, nullptr);
  PlayCalls::Take();
  struct Case {
    int (*op)(CDevRemotePlayback*);
    const char* call;
  } cases[] = {
      {[](CDevRemotePlayback* p) { return p->Start(0); }, "SPlay_Play"},
      {[](CDevRemotePlayback* p) { return p->Pause(); }, "SPlay_Pause"},
      {[](CDevRemotePlayback* p) { return p->Resume(); }, "SPlay_Pause"},
      {[](CDevRemotePlayback* p) { return p->Fast(); }, "SPlay_Fast"},
      {[](CDevRemotePlayback* p) { return p->Slow(); }, "SPlay_Slow"},
      {[](CDevRemotePlayback* p) { return p->Normal(); }, "SPlay_Play"},
      {[](CDevRemotePlayback* p) { return p->Frame(); }, "SPlay_OneByOne"},
      {[](CDevRemotePlayback* p) { return p->AudioOn(); }, "SPlay_PlaySound"},
      {[](CDevRemotePlayback* p) { return p->AudioOff(); }, "SPlay_StopSound"},
      {[](CDevRemotePlayback* p) { return p->Volume(0x7FFF); }, "SPlay_SetVolume"},
      {[](CDevRemotePlayback* p) { return p->SetPos(50.0f); }, "SPlay_SetPlayPos"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.op(pb), 1) << c.call;
    auto calls = PlayCalls::Take();
    EXPECT_NE(std::find(calls.begin(), calls.end(), c.call), calls.end()) << c.call;
  }
  pb->GetPos();
  auto calls = PlayCalls::Take();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "SPlay_GetPlayPos"), calls.end());
  // No out value, no call.
  EXPECT_EQ(pb->TotalTime(nullptr), 0);
  EXPECT_TRUE(PlayCalls::Take().empty());
  EXPECT_EQ(pb->CaptureFile(nullptr), 0);
  StreamPlay_SetCallObserver(nullptr, nullptr);
  // Destroyed while playing: the playback is stopped on the device.
  CDevRemotePlaybackFactory::DeleteRemotePlayback(pb);
  EXPECT_EQ(emu.requests(dvremu::kReplayStop).size(), 1u);

  // A stop the recorder refuses fails and leaves the playback going; the next one ends it.
  pb = CDevRemotePlaybackFactory::CreateRemotePlayback(login, wnd.handle, "ch01_1001.mp4");
  ASSERT_NE(pb, nullptr);
  ASSERT_EQ(pb->Start(0), 1);
  emu.refuse(dvremu::kReplayStop, true);
  EXPECT_EQ(pb->Stop(), 0);
  EXPECT_EQ(pb->Pause(), 1) << "the refused stop ended the playback";
  emu.refuse(dvremu::kReplayStop, false);
  EXPECT_EQ(pb->Stop(), 1);
  EXPECT_EQ(pb->Pause(), 0);
  CDevRemotePlaybackFactory::DeleteRemotePlayback(pb);
  EXPECT_EQ(emu.requests(dvremu::kReplayStop).size(), 3u);
}

TEST_F(RecorderTest, DownloadWritesTheFileAsTheDeviceHasIt) {
  const dvremu::RecordedFile f = File(7, 50000);
  emu.services().addFile(f);
  LoggedIn();
  TempDir dir;
  const std::string local = dir.file("down.dat");
  EXPECT_EQ(CDevRemoteFileDownloaderFactory::CreateDownloader(login, "missing.mp4",
                                                               local.c_str()),
            nullptr);
  TIME t{};
  char path[] = "x";
  EXPECT_EQ(CDevRemoteFileDownloaderFactory::CreateDownloader(login, 1, &t, &t, path), nullptr);
  CDevRemoteFileDownloader* d =
      CDevRemoteFileDownloaderFactory::CreateDownloader(login, f.name.c_str(), local.c_str());
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->IsDownloading(), 1);
  EXPECT_EQ(d->Start(), 1);
  EXPECT_TRUE(Eventually([&] { return d->GetPos() >= 100; }));
  EXPECT_EQ(d->Stop(), 1);
  EXPECT_EQ(d->IsDownloading(), 0);
  EXPECT_EQ(d->GetPos(), 0);
  CDevRemoteFileDownloaderFactory::DeleteDownloader(d);
  std::ifstream in(local, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  // The stream header first, then the file's bytes exactly.
  ASSERT_EQ(bytes.size(), 16 + f.data.size());
  EXPECT_TRUE(std::equal(f.data.begin(), f.data.end(), bytes.begin() + 16));
  EXPECT_EQ(emu.requests(dvremu::kDownloadStop).size(), 1u);
}

TEST_F(RecorderTest, DeletingARunningDownloadStopsIt) {
  emu.services().addFile(File(2, 400000));
  emu.services().setStreamChunk(1000);
  LoggedIn();
  TempDir dir;
  CDevRemoteFileDownloader* d = CDevRemoteFileDownloaderFactory::CreateDownloader(
      login, "ch01_1002.mp4", dir.file("d.dat").c_str());
  ASSERT_NE(d, nullptr);
  CDevRemoteFileDownloaderFactory::DeleteDownloader(d);
  EXPECT_EQ(emu.requests(dvremu::kDownloadStop).size(), 1u);
}

tagDevConfigRequest Request(int type, void* record, int size, int channel = 0) {
  tagDevConfigRequest r{};
  r.channel = channel;
  r.configType = type;
  r.record = record;
  r.recordSize = size;
  r.reserved = 3;
  return r;
}

TEST_F(RecorderTest, ConfigurationByTypeWithTheCallersRecordChecked) {
  const DevHandle id = LoggedIn();
  IDevConfig* config = CDevConfigFactory::CreateDevConfig(login);
  ASSERT_NE(config, nullptr);
  // The decoder record (type 12) with preset flags: the device keeps them at 20 of its own
  // record, the caller reads them at 16.
  std::vector<uint8_t> wire(dvremu::configRecordSize(41), 0);
  wire[20 + 0] = 1;
  wire[20 + 5] = 1;
  wire[20 + 63] = 1;
  emu.services().setConfigRecord(41, 1, wire);
  std::vector<uint8_t> ptz(784, 0xEE);
  tagDevConfigRequest req = Request(12, ptz.data(), 784, 1);
  ASSERT_EQ(config->GetConfig(&req), 1);
  EXPECT_EQ(req.returned, 784u);
  EXPECT_EQ(ptz[16], 1);
  EXPECT_EQ(ptz[21], 1);
  EXPECT_EQ(ptz[79], 1);
  EXPECT_EQ(ptz[17], 0);
  EXPECT_EQ(ptz[80], 0);
  // A record smaller than the type's is refused before anything is asked.
  const size_t asked = emu.requests(41).size();
  std::vector<uint8_t> small(100, 0);
  req = Request(12, small.data(), 100);
  EXPECT_EQ(config->GetConfig(&req), 0);
  EXPECT_EQ(config->SetConfig(&req), 0);
  EXPECT_EQ(emu.requests(41).size(), asked);
  req = Request(99, ptz.data(), 784);
  EXPECT_EQ(config->GetConfig(&req), 0);
  EXPECT_EQ(config->GetConfig(nullptr), 0);

  // Type 14 (recording) is read and written whole: 508 bytes.
  std::vector<uint8_t> rec(508, 0);
  req = Request(14, rec.data(), 508, 2);
  ASSERT_EQ(config->GetConfig(&req), 1);
  EXPECT_EQ(req.returned, 508u);
  rec[4] = 1;  // the recording switch
  ASSERT_EQ(config->SetConfig(&req), 1);
  auto sets = emu.requests(57);
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].payload.size(), 4u + 524);
  // A refused write is reported.
  emu.refuse(57, true);
  EXPECT_EQ(config->SetConfig(&req), 0);

  // The device record's write carries the name and two ints over the device's current
  // record: when that record cannot be read, nothing is written.
  std::vector<uint8_t> dev(132, 0);
  req = Request(0, dev.data(), 132);
  ASSERT_EQ(config->GetConfig(&req), 1);
  std::memcpy(dev.data() + 4, "renamed", 8);
  ASSERT_EQ(config->SetConfig(&req), 1);
  const size_t devWrites = emu.requests(63).size();
  EXPECT_EQ(devWrites, 1u);
  emu.refuse(62, true);
  EXPECT_EQ(config->SetConfig(&req), 0);
  EXPECT_EQ(emu.requests(63).size(), devWrites);
  CDevConfigFactory::DeleteDevConfig(config, login);

  // The SDK read of the picture record counts channels from 0 like every other record.
  std::vector<uint8_t> pic(7752, 0);
  uint32_t returned = 0;
  EXPECT_EQ(RecNet_ReadConfig(static_cast<int32_t>(id), 1002, 0, pic.data(), 7752, &returned), 1);
  EXPECT_EQ(returned, 7752u);
  auto picReads = emu.requests(54);
  ASSERT_FALSE(picReads.empty());
  EXPECT_EQ(picReads.back().payload.at(4), 0);  // channel word after the code word
}

TEST(RecorderConfigTable, SeventeenTypesWithTheirSizes) {
  size_t n = 0;
  const hollin::qx::ConfigType* t = hollin::qx::ConfigTypes(&n);
  ASSERT_EQ(n, 17u);
  uint32_t largest = 0;
  for (size_t i = 0; i < n; ++i) {
    EXPECT_EQ(t[i].setCommand, t[i].getCommand + 1);
    largest = std::max(largest, t[i].sdkSize);
  }
  EXPECT_EQ(largest, hollin::qx::kConfigBufferSize);
  EXPECT_EQ(hollin::qx::FindConfigType(14)->sdkSize, 508u);
  EXPECT_EQ(hollin::qx::FindConfigType(12)->sdkSize, 784u);
  EXPECT_EQ(hollin::qx::FindConfigType(13), nullptr);
  // The alarm-input record's own layout moves the SDK's blocks.
  const auto* alarmIn = hollin::qx::FindConfigType(18);
  std::vector<uint8_t> sdk(780, 0), caller(alarmIn->callerSize, 0), back(780, 0);
  for (size_t i = 0; i < sdk.size(); ++i) sdk[i] = static_cast<uint8_t>(i * 7 + 1);
  hollin::qx::CopyFromSdk(*alarmIn, sdk.data(), caller.data());
  EXPECT_EQ(caller[556], sdk[508]);
  EXPECT_EQ(caller[1004], sdk[764]);
  EXPECT_EQ(caller[38], sdk[38]);
  EXPECT_EQ(caller[39], 0);
  hollin::qx::CopyToSdk(*alarmIn, caller.data(), back.data());
  EXPECT_EQ(back[508], sdk[508]);
  EXPECT_EQ(back[779], sdk[779]);
  // The device record writes its name and two ints only.
  const auto* device = hollin::qx::FindConfigType(0);
  std::vector<uint8_t> in(132, 0xAA), out(132, 0);
  hollin::qx::CopyToSdk(*device, in.data(), out.data());
  EXPECT_EQ(out[4], 0xAA);
  EXPECT_EQ(out[43], 0xAA);
  EXPECT_EQ(out[44], 0);
  EXPECT_EQ(out[0], 0);
}

}  // namespace
