// A recorder's own files through the device layer: search, download and playback (its end
// included) against the camera emulator, and the conversion of file times.
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "plat/socket.h"

#include "ipc_fixture.h"
#include "nvr/FileTimes.h"
#include "support/TestFolder.h"
#include "support/Wait.h"

namespace hotest {
namespace {

namespace fs = std::filesystem;

// Runs a test body in UTC, so expected calendar times are fixed numbers.
struct InUtc {
  std::string saved;
  bool had = false;
  InUtc() {
    if (const char* tz = std::getenv("TZ")) {
      saved = tz;
      had = true;
    }
    setenv("TZ", "UTC", 1);
    tzset();
  }
  ~InUtc() {
    if (had)
      setenv("TZ", saved.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
};

bool SameTime(const TIME& a, const TIME& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}

TEST(NvrFileTimes, CalendarTimesCarryIntoDaysMonthsAndYears) {
  InUtc utc;
  // 2026-12-31 23:30:00 UTC and half an hour later.
  const uint32_t s = 1798759800u;
  EXPECT_TRUE(SameTime(hollin::LocalFromSeconds(s), TIME{2026, 12, 31, 23, 30, 0}));
  EXPECT_TRUE(SameTime(hollin::LocalFromSeconds(s + 1800), TIME{2027, 1, 1, 0, 0, 0}));
  EXPECT_EQ(hollin::SecondsFromLocal(TIME{2027, 1, 1, 0, 0, 0}), s + 1800);
  EXPECT_EQ(hollin::SecondsFromLocal(TIME{2026, 12, 31, 23, 30, 0}), s);
  EXPECT_EQ(hollin::SecondsFromLocal(TIME{1960, 1, 1, 0, 0, 0}), 0u);
}

class NvrFiles : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    dir = testsupport::TestFile("nvr_files");
    fs::create_directories(dir);
    for (int i = 0; i < 3; ++i) {
      camemu::StoredFile f;
      f.name = "ch01_2026120" + std::to_string(i) + ".h264";
      f.channel = 1;
      f.type = static_cast<uint16_t>(i);
      f.start = 1798759800u + i * 1800;  // the second one starts at midnight
      f.end = f.start + 600;
      for (int b = 0; b < 2000 + i * 977; ++b) f.bytes.push_back(static_cast<uint8_t>(b * 7 + i));
      files.push_back(f);
    }
    dev.media.setFiles(files);
    login.login = dev.makeLogin();
    ASSERT_NE(login.login->GetLoginID(1), 0);
  }
  void TearDown() override {
    fs::remove_all(dir);
    CameraTest::TearDown();
  }
  std::vector<uint8_t> readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<uint16_t> playbackArgs() { return dev.media.playbackArguments(); }
  // A downloader of the device file `name` into `local`, deleted when it goes.
  using Download = std::unique_ptr<CDevRemoteFileDownloader, void (*)(CDevRemoteFileDownloader*)>;
  static Download download(IDevUserLogin* by, const std::string& name, const fs::path& local) {
    return Download(CDevRemoteFileDownloaderFactory::CreateDownloader(by, name.c_str(), local.c_str()),
                    &CDevRemoteFileDownloaderFactory::DeleteDownloader);
  }

  Device dev{DEV_TYPE_NVR};
  LoginGuard login;
  std::vector<camemu::StoredFile> files;
  fs::path dir;
  PlayWindow wnd;
};

TEST_F(NvrFiles, EachSearchDeliversItsOwnResultsWithTheCallersCondition) {
  InUtc utc;
  tagSearchFileCondition cond{2, 6, TIME{2026, 12, 31, 23, 0, 0}, TIME{2027, 1, 1, 1, 0, 0}};
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    CDevRemoteFileFinder* finder = CDevRemoteFileFinderFactory::CreateFinder(login.login, &cond);
    ASSERT_NE(finder, nullptr);
    std::vector<tagRemoteFileInfo> found;
    tagRemoteFileInfo info{};
    while (finder->FindNext(&info) == 1 && found.size() < 10) {
      found.push_back(info);
      info = tagRemoteFileInfo{};
    }
    EXPECT_EQ(finder->FindClose(), 1);
    EXPECT_EQ(finder->FindNext(&info), 0);
    CDevRemoteFileFinderFactory::DeleteFinder(finder);
    ASSERT_EQ(found.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
      EXPECT_STREQ(found[i].fileName, files[i].name.c_str());
      EXPECT_EQ(found[i].fileSize, files[i].bytes.size());
      EXPECT_EQ(found[i].word0, 1);
      EXPECT_EQ(found[i].word1, i);
    }
    EXPECT_TRUE(SameTime(found[0].start, TIME{2026, 12, 31, 23, 30, 0}));
    EXPECT_TRUE(SameTime(found[1].start, TIME{2027, 1, 1, 0, 0, 0}));
    EXPECT_TRUE(SameTime(found[1].end, TIME{2027, 1, 1, 0, 10, 0}));
  }
  const auto conds = dev.media.searchConditions();
  ASSERT_EQ(conds.size(), 2u);
  const auto& c = conds.back();
  EXPECT_EQ(c[0] | c[1] << 8, 2);
  EXPECT_EQ(c[2] | c[3] << 8, 6);
  uint32_t start, end;
  std::memcpy(&start, c.data() + 8, 4);
  std::memcpy(&end, c.data() + 12, 4);
  EXPECT_EQ(start, 1798758000u);
  EXPECT_EQ(end, 1798765200u);
}

TEST_F(NvrFiles, AClosedFinderDeliversNothingMore) {
  tagSearchFileCondition cond{0, 255, TIME{2026, 1, 1, 0, 0, 0}, TIME{2027, 1, 1, 0, 0, 0}};
  CDevRemoteFileFinder* finder = CDevRemoteFileFinderFactory::CreateFinder(login.login, &cond);
  ASSERT_NE(finder, nullptr);
  tagRemoteFileInfo info{};
  EXPECT_EQ(finder->FindNext(&info), 1);
  EXPECT_EQ(finder->FindClose(), 1);
  EXPECT_EQ(finder->FindNext(&info), 0);
  EXPECT_EQ(finder->FindNext(nullptr), 0);
  CDevRemoteFileFinderFactory::DeleteFinder(finder);
}

TEST_F(NvrFiles, RefusedSearchDeliversNothing) {
  dev.media.injectFileFault(camemu::FileFault::Refuse);
  tagSearchFileCondition cond{0, 255, TIME{2026, 1, 1, 0, 0, 0}, TIME{2027, 1, 1, 0, 0, 0}};
  CDevRemoteFileFinder* finder = CDevRemoteFileFinderFactory::CreateFinder(login.login, &cond);
  ASSERT_NE(finder, nullptr);
  tagRemoteFileInfo info{};
  EXPECT_EQ(finder->FindNext(&info), 0);
  CDevRemoteFileFinderFactory::DeleteFinder(finder);
}

// The search and the download trace what they get on standard output, the device's file name
// without the control bytes it may hold (here an escape sequence that clears a terminal).
TEST_F(NvrFiles, DownloadWritesTheCallersPathWithTheDevicesBytes) {
  files[1].name = "ch01_\x1b[2J\a.h264";
  dev.media.setFiles(files);
  const std::string shown = "ch01_[2J.h264";
  const fs::path local = dir / "copy.bin";
  testing::internal::CaptureStdout();
  tagSearchFileCondition cond{0, 255, TIME{2026, 1, 1, 0, 0, 0}, TIME{2027, 1, 1, 0, 0, 0}};
  CDevRemoteFileFinderFactory::DeleteFinder(CDevRemoteFileFinderFactory::CreateFinder(login.login, &cond));
  Download dl = download(login.login, files[1].name, local);
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_NE(dl, nullptr);
  EXPECT_EQ(dl->Start(), 1);
  EXPECT_EQ(dl->GetPos(), 100);
  EXPECT_EQ(dl->IsDownloading(), 0);
  EXPECT_EQ(readFile(local), files[1].bytes);
  // Never under the name the device reports.
  EXPECT_FALSE(fs::exists(files[1].name));

  for (const std::string& line : std::vector<std::string>{
           "DVR_FiSearch:nRet=0 \n", "DVR_FiSearch:FileName=" + shown + " FileSize=2977\n",
        "DVR_FiSearch:nRet=1 \n", " DVR_FiDownload nRet=2 \n",
        "DVR_FiDownload,FileName=" + shown + ", FileSize=2977\n", " DVR_FiDownload nRet=3 \n",
        "DVR_FiDownload,GetEndFileSingn \n"})
    EXPECT_NE(out.find(line), std::string::npos) << line << " not in:\n" << out;
  EXPECT_EQ(out.find_first_of("\x1b\a"), std::string::npos);
}

TEST_F(NvrFiles, FailedDownloadsAreReported) {
  // The device refuses the file.
  dev.media.injectFileFault(camemu::FileFault::Refuse);
  Download refused = download(login.login, files[0].name, dir / "a.bin");
  ASSERT_NE(refused, nullptr);
  EXPECT_LT(refused->GetPos(), 0);
  EXPECT_FALSE(fs::exists(dir / "a.bin"));

  // The local file cannot be made.
  Download nowhere = download(login.login, files[0].name, dir / "no" / "such" / "b.bin");
  ASSERT_NE(nowhere, nullptr);
  EXPECT_LT(nowhere->GetPos(), 0);

  // A name longer than the request's field is cut, not overrun.
  const std::string longName(400, 'x');
  Download cut = download(login.login, longName, dir / "d.bin");
  ASSERT_NE(cut, nullptr);
  EXPECT_LT(cut->GetPos(), 0);
}

// A recorder that accepts a download, sends one piece of it and hangs up.
class BreakingRecorder {
 public:
  BreakingRecorder() {
    listener_ = plat::listenLoopback(0, &port_);
    thread_ = std::thread([this] { serve(); });
  }
  ~BreakingRecorder() {
    stop_ = true;
    thread_.join();
  }
  uint16_t port() const { return port_; }

 private:
  static std::array<uint8_t, kIpcMsgSize> message(uint16_t code, uint16_t status,
                                                  const std::vector<uint8_t>& payload) {
    std::array<uint8_t, kIpcMsgSize> m{};
    auto put16 = [&](size_t off, uint16_t v) {
      m[off] = static_cast<uint8_t>(v);
      m[off + 1] = static_cast<uint8_t>(v >> 8);
    };
    put16(0, kIpcMagic);
    put16(2, code);
    put16(6, static_cast<uint16_t>(payload.size()));
    put16(8, status);
    std::copy(payload.begin(), payload.end(), m.begin() + kIpcMsgHeaderSize);
    return m;
  }
  void serve() {
    // Bounded: a few connections (the session's control retries among them).
    for (int i = 0; i < 50 && !stop_; ++i) {
      plat::Socket c = plat::acceptTimeout(listener_, 2000);
      if (!c.valid()) continue;
      std::array<uint8_t, kIpcMsgSize> in{};
      if (plat::recvAll(c.fd(), in.data(), in.size(), testsupport::ProductMsLasting()) != in.size()) continue;
      const uint16_t code = static_cast<uint16_t>(in[2] | in[3] << 8);
      if (code != kIpcChanDownload) {
        auto no = message(code, 0, {});
        plat::sendAll(c.fd(), no.data(), no.size());
        continue;
      }
      auto yes = message(code, 1, {});
      plat::sendAll(c.fd(), yes.data(), yes.size());
      if (plat::recvAll(c.fd(), in.data(), in.size(), testsupport::ProductMsLasting()) != in.size()) continue;
      std::vector<uint8_t> info(132, 0);
      info[0] = 0x88;  // 5,000 bytes announced
      info[1] = 0x13;
      auto accepted = message(0x5202, 1, info);
      plat::sendAll(c.fd(), accepted.data(), accepted.size());
      auto piece = message(0xFE03, 1, std::vector<uint8_t>(kIpcMsgPayloadSize, 0x5A));
      plat::sendAll(c.fd(), piece.data(), piece.size());
      // Hangs up here, long before the end mark.
    }
  }
  plat::Socket listener_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A file downloaded whole, then again into the same place from a recorder that breaks the
// download off after one piece: the failure is reported, the first copy stays as it was, and
// the piece that came is not left behind beside it.
TEST_F(NvrFiles, ADownloadBrokenOffLeavesTheEarlierFileAsItWas) {
  const fs::path local = dir / "again.bin";
  {
    Download whole = download(login.login, files[1].name, local);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->GetPos(), 100);
  }
  ASSERT_EQ(readFile(local), files[1].bytes);

  BreakingRecorder peer;
  CDevInfo info = dev.info;
  info.Port = peer.port();
  LoginGuard g{CDevUserLoginFactory::CreateDevUserLogin(&info)};
  Download dl = download(g.login, "ch01.h264", local);
  ASSERT_NE(dl, nullptr);
  EXPECT_LT(dl->GetPos(), 0);
  EXPECT_EQ(dl->IsDownloading(), 0);
  EXPECT_EQ(readFile(local), files[1].bytes);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"again.bin"});
}

TEST_F(NvrFiles, PlaybackStepsThroughItsSpeeds) {
  CDevRemotePlayback* pb =
      CDevRemotePlaybackFactory::CreateRemotePlayback(login.login, wnd.handle,
                                                      files[0].name.c_str());
  ASSERT_NE(pb, nullptr);
  EXPECT_EQ(pb->Fast(), 0);  // nothing open yet
  EXPECT_EQ(pb->Stop(), 0);
  pb->Normal();
  ASSERT_EQ(pb->Start(0), 1);
  ASSERT_TRUE(dev.cam.waitUntil([&] { return playbackArgs().size() == 1; }));
  EXPECT_EQ(playbackArgs()[0], 0x50AA);

  EXPECT_EQ(pb->Fast(), 1);
  EXPECT_EQ(pb->Fast(), 1);
  EXPECT_EQ(pb->Fast(), 1);
  EXPECT_EQ(pb->Fast(), 0);  // the fourth sends nothing
  EXPECT_EQ(pb->Slow(), 1);
  EXPECT_EQ(pb->Normal(), 1);
  EXPECT_EQ(pb->Fast(), 1);
  for (int i = 0; i < 5; ++i) pb->Slow();
  EXPECT_EQ(pb->Pause(), 1);
  EXPECT_EQ(pb->Resume(), 1);
  const std::vector<uint16_t> want{0x50AA, 0x50A3, 0x50A4, 0x50A5, 0x50A6, 0x50A2, 0x50A3,
                                   0x50A6, 0x50A7, 0x50A8, 0x50A9, 0x50A1, 0x50A2};
  ASSERT_TRUE(dev.cam.waitUntil([&] { return playbackArgs().size() >= want.size(); }));
  EXPECT_EQ(playbackArgs(), want);
  EXPECT_EQ(pb->AudioOn(), 1);
  EXPECT_EQ(pb->AudioOff(), 1);
  EXPECT_EQ(pb->CaptureFile(testsupport::TestFile("x.bmp").c_str()), 0);
  EXPECT_EQ(pb->Stop(), 1);
  EXPECT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanPlayback) == 0; }));
  CDevRemotePlaybackFactory::DeleteRemotePlayback(pb);
}

// The recorder's stream has no position of its own: GetPos is 0.0 while a file plays or
// is paused and 100 once the recorder has ended it (or refused it), which is how the page
// sees the end.
TEST_F(NvrFiles, PlaybackSaysItsEndOnceTheRecorderEndedTheFile) {
  constexpr size_t kFrames = 100;
  camemu::MediaFrame frame;
  frame.data.assign(64, 0x5A);
  frame.key = true;
  files[0].frames.assign(kFrames, frame);
  // A name that fills the request's 128 bytes, with no room for a terminating zero.
  camemu::StoredFile longest = files[0];
  longest.name = "ch01_" + std::string(128 - 5 - 5, 'n') + ".h264";
  ASSERT_EQ(longest.name.size(), 128u);
  files.push_back(longest);
  dev.media.setFiles(files);
  using Playback = std::unique_ptr<CDevRemotePlayback, void (*)(CDevRemotePlayback*)>;
  auto open = [&](const std::string& name) {
    return Playback(CDevRemotePlaybackFactory::CreateRemotePlayback(login.login, wnd.handle, name.c_str()),
                    &CDevRemotePlaybackFactory::DeleteRemotePlayback);
  };
  const Playback pb = open(files[0].name);
  ASSERT_NE(pb, nullptr);
  EXPECT_EQ(pb->GetPos(), 0.0f) << "not started";
  ASSERT_EQ(pb->Start(0), 1);
  ASSERT_TRUE(dev.cam.waitUntil([&] { return dev.media.playbackFramesSent() >= 3; }));
  // Paused, the recorder sends nothing: the file has not ended.
  ASSERT_EQ(pb->Pause(), 1);
  ASSERT_TRUE(dev.cam.waitUntil([&] { return playbackArgs().size() == 2; }));
  ASSERT_LT(dev.media.playbackFramesSent(), kFrames);
  EXPECT_EQ(pb->GetPos(), 0.0f) << "paused";
  ASSERT_EQ(pb->Resume(), 1);
  EXPECT_TRUE(testsupport::Eventually([&] { return pb->GetPos() == 100.0f; }))
      << dev.media.playbackFramesSent() << " frames sent";
  EXPECT_EQ(dev.media.playbackFramesSent(), kFrames);
  EXPECT_EQ(pb->Stop(), 1);
  EXPECT_EQ(pb->GetPos(), 0.0f) << "stopped";

  // The whole name reaches the recorder, which plays that file to its end.
  const Playback whole = open(longest.name);
  ASSERT_EQ(whole->Start(0), 1);
  EXPECT_TRUE(testsupport::Eventually([&] { return whole->GetPos() == 100.0f; }));
  EXPECT_EQ(dev.media.playbackFramesSent(), 2 * kFrames) << "the file was not found by its name";
  EXPECT_EQ(whole->Stop(), 1);

  // A file the recorder does not have is refused at once: that playback has ended too.
  const Playback refused = open("ch09_none.h264");
  ASSERT_EQ(refused->Start(0), 1);
  EXPECT_TRUE(testsupport::Eventually([&] { return refused->GetPos() == 100.0f; }));
}

TEST_F(NvrFiles, PlaybackClosesWhenDeletedAndFailsWithoutASession) {
  CDevRemotePlayback* pb =
      CDevRemotePlaybackFactory::CreateRemotePlayback(login.login, wnd.handle,
                                                      files[0].name.c_str());
  ASSERT_EQ(pb->Start(0), 1);
  ASSERT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanPlayback) == 1; }));
  CDevRemotePlaybackFactory::DeleteRemotePlayback(pb);
  EXPECT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanPlayback) == 0; }));

  CDevInfo nowhere = dev.info;
  nowhere.IP.SetNarrow("");
  LoginGuard bad{CDevUserLoginFactory::CreateDevUserLogin(&nowhere)};
  CDevRemotePlayback* none =
      CDevRemotePlaybackFactory::CreateRemotePlayback(bad.login, wnd.handle, "f.h264");
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(none->Start(0), 0);
  CDevRemotePlaybackFactory::DeleteRemotePlayback(none);
}

}  // namespace
}  // namespace hotest
