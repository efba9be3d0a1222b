#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <cerrno>
#include <cstdlib>
#include <thread>
#include <unistd.h>

#include "Corvane.h"
#include "audio/stream_media.h"
#include "avi_readback.h"
#include "plat/paths.h"
#include "record/avi_recorder.h"

namespace {

using corvane::AviRecorder;
using namespace avitest;

struct Closed {
  uint32_t zero, start, end, bytes;
  std::string name;
};

struct RecorderTest : ::testing::Test {
  void SetUp() override {
    corvane::RecordClock c;
    c.tickMs = [this] { return tick.load(); };
    c.unixTime = [this] { return unixNow.load(); };
    c.localTime = [this] {
      return plat::LocalTime{2026, 12, 8, 14, 3, second.load(), 0, 2};
    };
    rec.SetClock(c);
    rec.SetClosedFileHook([this](const uint8_t* r, size_t n) {
      ASSERT_EQ(n, corvane::kClosedFileRecordSize);
      std::vector<uint8_t> v(r, r + n);
      closed.push_back({u32(v, 0), u32(v, 4), u32(v, 8), u32(v, 12),
                        std::string(reinterpret_cast<const char*>(r + 16))});
      EXPECT_EQ(r[n - 1], 0);
      // The hook may ask the recorder about itself from inside a close.
      EXPECT_FALSE(rec.FileName().empty());
    });
    rec.SetOsdHook([this](bool on) { osd.push_back(on); });
  }
  std::string base() const { return dir.file("cam1"); }
  std::string name(const char* suffix = "") const {
    return base() + "_20261208_1403" + (second < 10 ? "0" : "") + std::to_string(second) + suffix + ".avi";
  }
  int video(int codec, int w, int h, bool key, size_t len = 600) {
    std::vector<uint8_t> f(len, static_cast<uint8_t>(len));
    return rec.WriteRecordFrame(f.data(), static_cast<uint32_t>(len), codec, key ? 0 : 1, w, h);
  }
  int audio(int type, size_t len = 160) {
    std::vector<uint8_t> a(len, 0xFF);
    return rec.WriteRecordFrame(a.data(), static_cast<uint32_t>(len), type, 1, 0, 0);
  }

  TempDir dir;
  AviRecorder rec;
  std::atomic<uint32_t> tick{5000};
  std::atomic<uint32_t> unixNow{1796738587};
  std::atomic<int> second{7};
  std::vector<Closed> closed;
  std::vector<bool> osd;
};

TEST_F(RecorderTest, TheFirstFrameClosesTheEmptyFileAndStopAnnouncesTheNext) {
  ASSERT_EQ(rec.StartRecord(base()), 1);
  EXPECT_EQ(rec.FileName(), name());
  EXPECT_EQ(osd, std::vector<bool>{true});
  // No picture is stored yet, so the first frame is a change: the file just opened is
  // closed and announced with nothing in it, and the frame goes into the next one, which in
  // the same second has its name and replaces it.
  EXPECT_EQ(video(2, 704, 576, true), 1);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].bytes, 0u);
  EXPECT_EQ(closed[0].name, name());
  EXPECT_EQ(rec.FileIndex(), 2);
  EXPECT_EQ(rec.FileName(), name());
  EXPECT_EQ(video(2, 704, 576, false), 1);
  unixNow += 12;
  ASSERT_EQ(rec.StopRecord(), 1);
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(closed[1].zero, 0u);
  EXPECT_EQ(closed[1].start, 1796738587u);
  EXPECT_EQ(closed[1].end, 1796738599u);
  EXPECT_EQ(closed[1].bytes, 1200u);
  EXPECT_EQ(closed[1].name, name());
  EXPECT_EQ(osd, (std::vector<bool>{true, false, true, false}));
  EXPECT_FALSE(rec.IsRecording());
  EXPECT_EQ(rec.StopRecord(), 0);
  EXPECT_EQ(video(2, 704, 576, true), 0);

  EXPECT_FALSE(std::filesystem::exists(name("_2")));
  auto d = demux(name());
  ASSERT_TRUE(d.opened);
  EXPECT_EQ(d.streams, 1);
  EXPECT_EQ(d.videoTag, fourcc("H264"));
  EXPECT_EQ(d.videoFrames, 2);
  EXPECT_EQ(d.videoPackets, 2);
  EXPECT_EQ(d.width, 704);

  // A first frame in the next second leaves the empty file as it was announced.
  second = 20;
  ASSERT_EQ(rec.StartRecord(base()), 1);
  const std::string empty = name();
  second = 21;
  EXPECT_EQ(video(2, 352, 288, true), 1);
  ASSERT_EQ(rec.StopRecord(), 1);
  ASSERT_EQ(closed.size(), 4u);
  EXPECT_EQ(closed[2].name, empty);
  EXPECT_EQ(closed[2].bytes, 0u);
  EXPECT_EQ(closed[3].name, name());
  auto left = parse(empty);
  ASSERT_EQ(left.error, "");
  EXPECT_TRUE(left.chunks.empty());
  EXPECT_EQ(demux(name()).videoPackets, 1);
}

TEST_F(RecorderTest, DriveLettersInTheBaseNameMapToFolders) {
  std::filesystem::create_directories(dir.file("d/rec"));
  setenv("TARNWICK_DRIVES", (dir.file("c") + ":" + dir.file("d")).c_str(), 1);
  plat::resetDriveMap();
  ASSERT_EQ(rec.StartRecord("D:\\rec\\cam1"), 1);
  ASSERT_EQ(rec.StopRecord(), 1);
  unsetenv("TARNWICK_DRIVES");
  plat::resetDriveMap();
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].name, "D:\\rec\\cam1_20261208_140307.avi");
  EXPECT_TRUE(std::filesystem::exists(dir.file("d/rec/cam1_20261208_140307.avi")));
}

TEST_F(RecorderTest, SizeChangeStartsANewFileAtTheNextKeyFrame) {
  ASSERT_EQ(rec.StartRecord(base()), 1);
  video(2, 704, 576, true);
  video(2, 704, 576, false);
  audio(10);
  EXPECT_EQ(video(2, 352, 288, false), 1);  // switch; not a key frame: not written
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(closed[1].bytes, 1360u);
  EXPECT_EQ(rec.FileIndex(), 3);
  // Same second: the new file gets its own name, the announced one that holds data stays.
  EXPECT_EQ(rec.FileName(), name("_2"));
  video(2, 352, 288, false);
  video(2, 352, 288, true);
  video(2, 352, 288, false);
  ASSERT_EQ(rec.StopRecord(), 1);
  ASSERT_EQ(closed.size(), 3u);
  EXPECT_EQ(closed[2].bytes, 1200u);

  auto first = demux(name());
  EXPECT_EQ(first.videoPackets, 2);
  EXPECT_EQ(first.width, 704);
  EXPECT_EQ(first.streams, 2);
  auto second = demux(name("_2"));
  EXPECT_EQ(second.videoPackets, 2);
  EXPECT_EQ(second.width, 352);
  EXPECT_EQ(second.streams, 1);
}

TEST_F(RecorderTest, CodecChangeClosesTheFileWithItsOwnCompressor) {
  ASSERT_EQ(rec.StartRecord(base()), 1);
  video(2, 704, 576, true);
  second = 8;
  video(1, 704, 576, true);
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(rec.FileName(), name());
  rec.StopRecord();
  EXPECT_EQ(demux(closed[1].name).videoTag, fourcc("H264"));
  EXPECT_EQ(demux(closed[2].name).videoTag, fourcc("XVID"));
}

TEST_F(RecorderTest, PastTheSizeLimitTheSwitchWaitsForAKeyFrame) {
  rec.SetSizeLimit(3000);
  ASSERT_EQ(rec.StartRecord(base()), 1);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(video(2, 64, 64, i == 0, 1000), 1);
  EXPECT_EQ(closed.size(), 1u);  // the empty first file; 5,000 bytes, but no key frame yet
  EXPECT_EQ(video(2, 64, 64, true, 1000), 1);
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(closed[1].bytes, 5000u);
  rec.StopRecord();
  EXPECT_EQ(demux(closed[1].name).videoPackets, 5);
  EXPECT_EQ(demux(closed[2].name).videoPackets, 1);
  EXPECT_EQ(closed[2].bytes, 1000u);
}

TEST_F(RecorderTest, AudioBeforeTheFirstKeyFrameIsKeptVideoIsNot) {
  ASSERT_EQ(rec.StartRecord(base()), 1);
  EXPECT_EQ(audio(10), 1);
  // The first frame closes the file with the audio so far and opens the next.
  EXPECT_EQ(video(2, 64, 64, false), 1);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].bytes, 160u);
  EXPECT_EQ(audio(10), 1);
  EXPECT_EQ(video(2, 64, 64, false), 1);
  EXPECT_EQ(audio(7, 1024), 1);  // counted, not written
  EXPECT_EQ(audio(10), 1);
  EXPECT_EQ(video(2, 64, 64, true), 1);
  ASSERT_EQ(rec.StopRecord(), 1);
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(closed[1].bytes, 160u + 1024 + 160 + 600);
  auto avi = parse(name("_2"));
  ASSERT_EQ(avi.error, "");
  ASSERT_EQ(avi.chunks.size(), 3u);
  EXPECT_EQ(avi.chunks[0].tag, "01wb");
  EXPECT_EQ(avi.chunks[1].tag, "01wb");
  EXPECT_EQ(avi.chunks[2].tag, "00dc");
  EXPECT_EQ(u16(avi.bytes, 312), 7);  // mu-law
}

TEST_F(RecorderTest, FrameRateComesFromFramesOverWholeSeconds) {
  ASSERT_EQ(rec.StartRecord(base()), 1);
  for (int i = 0; i < 250; ++i) video(2, 32, 32, i % 25 == 0, 10);
  tick += 10999;
  ASSERT_EQ(rec.StopRecord(), 1);
  auto avi = parse(name());
  EXPECT_EQ(u32(avi.bytes, 32), 40000u);

  // The picture stored from the recording before is no change: the frames go into the
  // file the start opened.
  second = 30;
  ASSERT_EQ(rec.StartRecord(base()), 1);
  video(2, 32, 32, true, 10);
  video(2, 32, 32, false, 10);
  tick += 3000;
  ASSERT_EQ(rec.StopRecord(), 1);
  EXPECT_EQ(u32(parse(name()).bytes, 32), 1000000u);  // 2 frames in 3 s: 1 per second
}

TEST_F(RecorderTest, WriteFailuresReachTheCaller) {
  auto failing = std::make_shared<std::atomic<bool>>(false);
  corvane::AviWriterOptions opts;
  opts.writeFn = [failing](int fd, const void* p, size_t n) -> ssize_t {
    if (*failing) {
      errno = ENOSPC;
      return -1;
    }
    return ::write(fd, p, n);
  };
  rec.SetWriterOptions(opts);
  std::vector<int> failures;
  rec.SetFailureHook([&](int error) {
    EXPECT_EQ(closed.size(), 2u);  // announced after the file was closed
    failures.push_back(error);
  });
  ASSERT_EQ(rec.StartRecord(base()), 1);
  EXPECT_EQ(video(2, 64, 64, true), 1);
  tick += corvane::kRecordCheckpointMs;  // the header on disk now counts that frame
  EXPECT_EQ(video(2, 64, 64, false), 1);
  auto early = parse(name());
  ASSERT_EQ(early.error, "");
  EXPECT_EQ(u32(early.bytes, 48), 2u);  // frames so far
  EXPECT_EQ(early.chunks.size(), 2u);
  *failing = true;
  EXPECT_EQ(video(2, 64, 64, false), 0);
  // The disk refused the write: the recording is over, the file closed and announced once.
  EXPECT_FALSE(rec.IsRecording());
  EXPECT_EQ(failures, (std::vector<int>{ENOSPC}));
  EXPECT_EQ(osd, (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(audio(10), 0);
  EXPECT_EQ(rec.StopRecord(), 0);
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(closed[1].bytes, 1200u);  // only what is in the file
  // Its header was written in place although the index could not be: it plays.
  auto avi = parse(name());
  ASSERT_EQ(avi.error, "");
  EXPECT_EQ(avi.chunks.size(), 2u);
  EXPECT_EQ(demux(name()).videoPackets, 2);
  EXPECT_EQ(failures.size(), 1u);
}

TEST_F(RecorderTest, AChunkPastTheFileSizeLimitIsCountedButNotWritten) {
  // Room for the header, one 600-byte chunk and a small one, with their index entries.
  corvane::AviWriterOptions opts;
  opts.maxFileBytes = 3000;
  rec.SetWriterOptions(opts);
  std::vector<int> failures;
  rec.SetFailureHook([&](int error) { failures.push_back(error); });
  ASSERT_EQ(rec.StartRecord(base()), 1);
  EXPECT_EQ(video(2, 64, 64, true), 1);
  EXPECT_EQ(video(2, 64, 64, false), 1);
  EXPECT_EQ(audio(10), 1);
  EXPECT_TRUE(rec.IsRecording());
  ASSERT_EQ(rec.StopRecord(), 1);
  EXPECT_TRUE(failures.empty());
  ASSERT_EQ(closed.size(), 2u);
  EXPECT_EQ(closed[1].bytes, 1360u);  // counted as written
  // The second frame did not fit; the smaller audio block behind it did.
  auto avi = parse(name());
  ASSERT_EQ(avi.error, "");
  ASSERT_EQ(avi.chunks.size(), 2u);
  EXPECT_EQ(avi.chunks[0].tag, "00dc");
  EXPECT_EQ(avi.chunks[1].tag, "01wb");
}

TEST_F(RecorderTest, FilesThatCannotBeCreatedEndTheRecording) {
  EXPECT_EQ(rec.StartRecord(dir.file("missing/cam1")), 0);
  EXPECT_FALSE(rec.IsRecording());
  EXPECT_EQ(video(2, 64, 64, true), 0);
  EXPECT_EQ(rec.StopRecord(), 0);
  EXPECT_TRUE(osd.empty());
  EXPECT_EQ(rec.StartRecord(std::string(300, 'x')), 0);  // name longer than its field

  ASSERT_EQ(rec.StartRecord(base()), 1);
  video(2, 64, 64, true);
  std::filesystem::remove_all(dir.path);  // the folder vanished mid-recording
  EXPECT_EQ(video(2, 32, 32, true), 0);   // the switch cannot open the next file
  EXPECT_FALSE(rec.IsRecording());
  EXPECT_EQ(closed.size(), 2u);
  EXPECT_EQ(osd, (std::vector<bool>{true, false, true, false}));
}

TEST_F(RecorderTest, RecordingExportsReachTheStreamsRecorder) {
  auto shared = std::make_shared<AviRecorder>();
  int streamTag = 0;
  IPC_HANDLE stream = &streamTag;
  EXPECT_EQ(IPC_StartRecord(stream, base().c_str()), 0);
  corvane::bindStreamMedia(stream, {nullptr, shared});
  EXPECT_EQ(IPC_StartRecord(stream, nullptr), 0);
  ASSERT_EQ(IPC_StartRecord(stream, base().c_str()), 1);
  EXPECT_TRUE(shared->IsRecording());
  EXPECT_EQ(IPC_StopRecord(stream), 1);
  EXPECT_EQ(IPC_StopRecord(stream), 0);
  corvane::unbindStreamMedia(stream);
  EXPECT_EQ(IPC_StopRecord(stream), 0);
}

// The video and audio receive threads write at once while files switch under them.
TEST_F(RecorderTest, TwoWritersAndFileSwitchesKeepEveryFileWhole) {
  rec.SetSizeLimit(20000);
  ASSERT_EQ(rec.StartRecord(base()), 1);
  std::atomic<int> videoOk{0}, audioOk{0};
  std::thread v([&] {
    for (int i = 0; i < 300; ++i) {
      videoOk += video(2, 64, 64, true, 333);
      if (i % 50 == 49) second = second + 1;
    }
  });
  std::thread a([&] {
    for (int i = 0; i < 300; ++i) audioOk += audio(8, 161);
  });
  v.join();
  a.join();
  ASSERT_EQ(rec.StopRecord(), 1);
  EXPECT_EQ(videoOk, 300);
  EXPECT_EQ(audioOk, 300);
  ASSERT_GT(closed.size(), 3u);
  size_t videoChunks = 0, audioChunks = 0;
  std::set<std::string> names;
  for (const auto& c : closed) {
    // Only the empty first file, when nothing was written to it, gives its name to the next.
    if (!names.insert(c.name).second) {
      EXPECT_EQ(&c, &closed[1]) << c.name;
      EXPECT_EQ(closed[0].bytes, 0u);
    }
    if (c.bytes == 0) continue;
    auto avi = parse(c.name);
    ASSERT_EQ(avi.error, "") << c.name;
    for (const auto& ch : avi.chunks) (ch.tag == "00dc" ? videoChunks : audioChunks)++;
    EXPECT_TRUE(demux(c.name).opened);
  }
  EXPECT_EQ(videoChunks, 300u);
  EXPECT_EQ(audioChunks, 300u);
}

TEST(ClosedFileRecord, LayoutAndSize) {
  corvane::ClosedFileInfo info{1, 2, 3, "/x/y.avi"};
  auto r = corvane::encodeClosedFileRecord(info);
  static_assert(corvane::kClosedFileRecordSize == 272);
  static_assert(IPC_RECORD_FILE_INFO_SIZE == 272);
  std::vector<uint8_t> v(r.begin(), r.end());
  EXPECT_EQ(u32(v, 0), 0u);
  EXPECT_EQ(u32(v, 4), 1u);
  EXPECT_EQ(u32(v, 8), 2u);
  EXPECT_EQ(u32(v, 12), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r.data() + 16)), "/x/y.avi");
}

}  // namespace
