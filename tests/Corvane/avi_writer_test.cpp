#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

#include "avi_readback.h"
#include "record/avi_writer.h"

namespace {

using corvane::AviWriter;
using namespace avitest;

std::vector<uint8_t> frame(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i);
  return v;
}

TEST(AviWriter, VideoOnlyFileHasOneStreamAndTheFixedHeader) {
  TempDir dir;
  auto path = dir.file("v.avi");
  auto w = AviWriter::Open(path);
  ASSERT_NE(w, nullptr);
  auto f1 = frame(1001, 1), f2 = frame(500, 2), f3 = frame(77, 3);
  ASSERT_EQ(w->WriteVideo(f1.data(), 1001, true), 0);
  ASSERT_EQ(w->WriteVideo(f2.data(), 500, false), 0);
  ASSERT_EQ(w->WriteVideo(f3.data(), 77, true), 0);
  w->SetVideo(704, 576, 25.0, "H264");
  w->SetAudio(1, 8000, 8, 1);  // no audio data: no audio stream
  ASSERT_EQ(AviWriter::Close(std::move(w)), 0);

  auto avi = parse(path);
  ASSERT_EQ(avi.error, "");
  const auto& b = avi.bytes;
  EXPECT_EQ(avi.headerLength, 220u);
  EXPECT_EQ(avi.junkLength, 1808u);
  EXPECT_EQ(tag(b, 24), "avih");
  EXPECT_EQ(u32(b, 32), 40000u);      // microseconds per frame
  EXPECT_EQ(u32(b, 36), 10000000u);
  EXPECT_EQ(u32(b, 44), 0x10010u);    // has index
  EXPECT_EQ(u32(b, 48), 3u);          // frames
  EXPECT_EQ(u32(b, 56), 1u);          // streams
  EXPECT_EQ(u32(b, 64), 704u);
  EXPECT_EQ(u32(b, 68), 576u);
  EXPECT_EQ(tag(b, 88), "LIST");
  EXPECT_EQ(u32(b, 92), 124u);
  EXPECT_EQ(tag(b, 100), "strh");
  EXPECT_EQ(tag(b, 108), "vids");
  EXPECT_EQ(tag(b, 112), "H264");
  EXPECT_EQ(u32(b, 128), 40000u);     // scale
  EXPECT_EQ(u32(b, 132), 1000000u);   // rate
  EXPECT_EQ(u32(b, 140), 3u);         // length
  EXPECT_EQ(u32(b, 148), 0xFFFFFFFFu);
  EXPECT_EQ(tag(b, 172), "strf");
  EXPECT_EQ(u32(b, 180), 40u);
  EXPECT_EQ(u16(b, 192), 1u);
  EXPECT_EQ(u16(b, 194), 24u);
  EXPECT_EQ(tag(b, 196), "H264");
  EXPECT_EQ(u32(b, 200), 704u * 576u);

  ASSERT_EQ(avi.chunks.size(), 3u);
  EXPECT_EQ(avi.chunks[0].data, f1);  // odd length: padded with a zero byte
  EXPECT_EQ(avi.chunks[1].offset, 2048u + 8 + 1002);
  ASSERT_EQ(avi.index.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(avi.index[i].tag, "00dc");
    EXPECT_EQ(avi.index[i].offset, avi.chunks[i].offset);
    EXPECT_EQ(avi.index[i].length, avi.chunks[i].length);
  }
  EXPECT_EQ(avi.index[0].flags, 0x10u);
  EXPECT_EQ(avi.index[1].flags, 0u);  // only key frames are marked as such
  EXPECT_EQ(avi.index[2].flags, 0x10u);

  auto d = demux(path);
  ASSERT_TRUE(d.opened);
  EXPECT_EQ(d.streams, 1);
  EXPECT_EQ(d.videoTag, fourcc("H264"));
  EXPECT_EQ(d.videoFrames, 3);
  EXPECT_EQ(d.videoPackets, 3);
  EXPECT_EQ(d.width, 704);
}

TEST(AviWriter, AudioAddsTheSecondStream) {
  TempDir dir;
  auto path = dir.file("va.avi");
  auto w = AviWriter::Open(path);
  ASSERT_NE(w, nullptr);
  auto a = frame(320, 9), v = frame(900, 4);
  ASSERT_EQ(w->WriteAudio(a.data(), 320), 0);
  ASSERT_EQ(w->WriteVideo(v.data(), 900, true), 0);
  ASSERT_EQ(w->WriteAudio(a.data(), 320), 0);
  EXPECT_EQ(w->audioBytes(), 640u);
  w->SetVideo(352, 288, 1.0, "XVID");
  w->SetAudio(1, 8000, 8, 7);
  ASSERT_EQ(AviWriter::Close(std::move(w)), 0);

  auto avi = parse(path);
  ASSERT_EQ(avi.error, "");
  const auto& b = avi.bytes;
  EXPECT_EQ(avi.headerLength, 328u);
  EXPECT_EQ(avi.junkLength, 1700u);
  EXPECT_EQ(u32(b, 56), 2u);
  EXPECT_EQ(u32(b, 32), 1000000u);
  EXPECT_EQ(tag(b, 220), "LIST");
  EXPECT_EQ(u32(b, 224), 100u);
  EXPECT_EQ(tag(b, 240), "auds");
  EXPECT_EQ(u32(b, 260), 1u);      // scale = block align
  EXPECT_EQ(u32(b, 264), 8000u);   // rate
  EXPECT_EQ(u32(b, 272), 640u);    // length in blocks
  EXPECT_EQ(u32(b, 284), 1u);      // sample size
  EXPECT_EQ(tag(b, 304), "strf");
  EXPECT_EQ(u16(b, 312), 7u);
  EXPECT_EQ(u16(b, 314), 1u);
  EXPECT_EQ(u32(b, 316), 8000u);
  EXPECT_EQ(u16(b, 326), 8u);
  ASSERT_EQ(avi.index.size(), 3u);
  EXPECT_EQ(avi.index[0].tag, "01wb");
  EXPECT_EQ(avi.index[0].flags, 0u);

  auto d = demux(path);
  ASSERT_TRUE(d.opened);
  EXPECT_EQ(d.streams, 2);
  EXPECT_EQ(d.videoTag, fourcc("XVID"));
  EXPECT_EQ(d.videoPackets, 1);
  EXPECT_EQ(d.audioFormatTag, 7);
  EXPECT_GE(d.audioPackets, 1);
}

TEST(AviWriter, FileSizeLimitRefusesTheChunkButKeepsTheFile) {
  TempDir dir;
  auto path = dir.file("limit.avi");
  corvane::AviWriterOptions opts;
  opts.maxFileBytes = 2048 + 3 * (8 + 1000) + 4 * 16 + 32;
  auto w = AviWriter::Open(path, opts);
  auto f = frame(1000, 0);
  int written = 0;
  for (int i = 0; i < 5; ++i) written += w->WriteVideo(f.data(), 1000, true) == 0;
  EXPECT_EQ(written, 3);
  EXPECT_EQ(w->frames(), 3u);
  w->SetVideo(16, 16, 1.0, "MJPG");
  ASSERT_EQ(AviWriter::Close(std::move(w)), 0);
  auto avi = parse(path);
  ASSERT_EQ(avi.error, "");
  EXPECT_EQ(avi.chunks.size(), 3u);
  EXPECT_EQ(demux(path).videoPackets, 3);
}

// The disk fills up: writes after a budget of bytes fail with ENOSPC.
struct FillingDisk {
  long budget;
  ssize_t operator()(int fd, const void* p, size_t n) {
    if (budget <= 0) {
      errno = ENOSPC;
      return -1;
    }
    size_t take = std::min<size_t>(n, static_cast<size_t>(budget));
    ssize_t r = ::write(fd, p, take);
    if (r > 0) budget -= r;
    return r;
  }
};

TEST(AviWriter, DiskFullRefusesTheChunkAndLaterChunksStillLand) {
  TempDir dir;
  auto path = dir.file("full.avi");
  auto disk = std::make_shared<FillingDisk>(FillingDisk{2048 + 2 * 508 + 100});
  corvane::AviWriterOptions opts;
  opts.writeFn = [disk](int fd, const void* p, size_t n) { return (*disk)(fd, p, n); };
  auto w = AviWriter::Open(path, opts);
  ASSERT_NE(w, nullptr);
  auto f = frame(500, 1);
  EXPECT_EQ(w->WriteVideo(f.data(), 500, true), 0);
  EXPECT_EQ(w->WriteVideo(f.data(), 500, false), 0);
  uint64_t before = w->position();
  EXPECT_EQ(w->WriteVideo(f.data(), 500, false), -1);  // half written, then refused
  EXPECT_EQ(w->position(), before);
  EXPECT_EQ(w->frames(), 2u);
  disk->budget = 1 << 20;  // space freed
  auto g = frame(300, 7);
  EXPECT_EQ(w->WriteVideo(g.data(), 300, true), 0);
  w->SetVideo(8, 8, 1.0, "H264");
  ASSERT_EQ(AviWriter::Close(std::move(w)), 0);
  auto avi = parse(path);
  ASSERT_EQ(avi.error, "");
  ASSERT_EQ(avi.chunks.size(), 3u);
  EXPECT_EQ(avi.chunks[2].data, g);  // the refused chunk's remains were overwritten
  EXPECT_EQ(demux(path).videoPackets, 3);
}

TEST(AviWriter, AFailedIndexWriteIsReportedAndTheHeaderSaysNoIndex) {
  TempDir dir;
  auto path = dir.file("noindex.avi");
  auto disk = std::make_shared<FillingDisk>(FillingDisk{508});
  corvane::AviWriterOptions opts;
  opts.writeFn = [disk](int fd, const void* p, size_t n) {
    // the header rewrite at the start of the file goes through; the index does not
    if (::lseek(fd, 0, SEEK_CUR) == 0) return ::write(fd, p, n);
    return (*disk)(fd, p, n);
  };
  auto w = AviWriter::Open(path, opts);
  auto f = frame(500, 1);
  ASSERT_EQ(w->WriteVideo(f.data(), 500, true), 0);
  w->SetVideo(8, 8, 1.0, "H264");
  EXPECT_EQ(AviWriter::Close(std::move(w)), -1);
  auto avi = parse(path);
  ASSERT_EQ(avi.error, "");
  EXPECT_TRUE(avi.index.empty());
  EXPECT_EQ(u32(avi.bytes, 44), 0x10000u);
  EXPECT_EQ(avi.chunks.size(), 1u);
}

TEST(AviWriter, OpenFailsCleanly) {
  EXPECT_EQ(AviWriter::Open("/nonexistent-dir/x.avi"), nullptr);
  TempDir dir;
  auto path = dir.file("x.avi");
  corvane::AviWriterOptions opts;
  opts.exclusive = true;
  ASSERT_NE(AviWriter::Open(path, opts), nullptr);
  int err = 0;
  EXPECT_EQ(AviWriter::Open(path, opts, &err), nullptr);  // never replaces a file
  EXPECT_EQ(err, EEXIST);
  opts.writeFn = [](int, const void*, size_t) -> ssize_t {
    errno = ENOSPC;
    return -1;
  };
  opts.exclusive = false;
  EXPECT_EQ(AviWriter::Open(dir.file("y.avi"), opts, &err), nullptr);
  EXPECT_EQ(err, ENOSPC);
  EXPECT_FALSE(std::filesystem::exists(dir.file("y.avi")));
}

}  // namespace
