// The decoder stand-ins loaded by name, as the player loads them, fed generated clips.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "clipgen/clipgen.h"
#include "ctdec/ctdec.h"
#include "plat/library.h"
#include "support/TestFolder.h"

namespace {

struct Library {
  void* module = nullptr;
  CTDecEntry entry = nullptr;
  std::string error;
  Library(const char* file, const char* name) {
    module = plat::openLibrary(file, &error);
    entry = reinterpret_cast<CTDecEntry>(plat::librarySymbol(module, name));
  }
};

struct DecoderParam {
  clipgen::Codec codec;
  const char* file;
  const char* entry;
};
void PrintTo(const DecoderParam& p, std::ostream* os) { *os << p.file; }

class DecoderTest : public ::testing::TestWithParam<DecoderParam> {
 protected:
  void SetUp() override {
    lib_ = std::make_unique<Library>(GetParam().file, GetParam().entry);
    ASSERT_NE(lib_->entry, nullptr) << lib_->error;
    clipgen::Options o;
    o.codec = GetParam().codec;
    o.frames = 14;
    o.gop = 6;
    std::string err;
    ASSERT_TRUE(clipgen::generate(o, &clip_, &err)) << err;
    lib_->entry(CTDEC_OPEN, &block_, nullptr);
    ASSERT_NE(block_.handle, 0);
  }
  void TearDown() override {
    if (lib_ && lib_->entry) lib_->entry(CTDEC_CLOSE, &block_, nullptr);
  }
  DecoderOutput decode(const uint8_t* data, size_t size) {
    DecoderOutput out;
    std::memset(&out, 0x5A, sizeof out);
    block_.input = data;
    block_.length = static_cast<uint32_t>(size);
    lib_->entry(CTDEC_DECODE, &block_, &out);
    return out;
  }
  std::unique_ptr<Library> lib_;
  clipgen::Clip clip_;
  DecoderHandleBlock block_{};
};

TEST_P(DecoderTest, DecodesEveryFrameOfAClipInOrder) {
  ASSERT_TRUE(clip_.frames[0].key);
  for (size_t i = 0; i < clip_.frames.size(); ++i) {
    auto bytes = clip_.frameBytes(i);
    DecoderOutput out = decode(bytes.data(), bytes.size());
    ASSERT_GT(out.pictureReady, 0) << "frame " << i;
    EXPECT_EQ(out.bytesConsumed, static_cast<int>(bytes.size()));
    EXPECT_EQ(out.width, 352);
    EXPECT_EQ(out.height, 288);
    EXPECT_GE(out.yStride, 352);
    EXPECT_GE(out.uStride, 176);
    EXPECT_EQ(clipgen::readFrameIndex(out.y, out.yStride, out.width, out.height),
              static_cast<int>(i));
  }
}

TEST_P(DecoderTest, TwoFramesInOneInputAreTakenOneCallEach) {
  auto f0 = clip_.frameBytes(0);
  auto f1 = clip_.frameBytes(1);
  std::vector<uint8_t> both = f0;
  both.insert(both.end(), f1.begin(), f1.end());
  DecoderOutput first = decode(both.data(), both.size());
  ASSERT_GT(first.pictureReady, 0);
  ASSERT_EQ(first.bytesConsumed, static_cast<int>(f0.size()));
  EXPECT_EQ(clipgen::readFrameIndex(first.y, first.yStride, first.width, first.height), 0);
  DecoderOutput second =
      decode(both.data() + first.bytesConsumed, both.size() - first.bytesConsumed);
  ASSERT_GT(second.pictureReady, 0);
  EXPECT_EQ(second.bytesConsumed, static_cast<int>(f1.size()));
  EXPECT_EQ(clipgen::readFrameIndex(second.y, second.yStride, second.width, second.height), 1);
}

TEST_P(DecoderTest, AUnitThatStartsTheNextPictureEndsTheFirst) {
  // A delimiter after the picture's slices begins the next access unit, whatever follows.
  if (GetParam().codec != clipgen::Codec::H264) GTEST_SKIP() << "an H.264 delimiter";
  auto f0 = clip_.frameBytes(0);
  auto f1 = clip_.frameBytes(1);
  const std::vector<uint8_t> delimiter = {0, 0, 0, 1, 9, 0xF0};
  std::vector<uint8_t> input = f0;
  input.insert(input.end(), delimiter.begin(), delimiter.end());
  input.insert(input.end(), f1.begin(), f1.end());
  DecoderOutput first = decode(input.data(), input.size());
  ASSERT_GT(first.pictureReady, 0);
  EXPECT_EQ(first.bytesConsumed, static_cast<int>(f0.size()));
  EXPECT_EQ(clipgen::readFrameIndex(first.y, first.yStride, first.width, first.height), 0);
  DecoderOutput second = decode(input.data() + first.bytesConsumed, input.size() - first.bytesConsumed);
  ASSERT_GT(second.pictureReady, 0);
  EXPECT_EQ(second.bytesConsumed, static_cast<int>(input.size() - f0.size()));
  EXPECT_EQ(clipgen::readFrameIndex(second.y, second.yStride, second.width, second.height), 1);
}

TEST_P(DecoderTest, GarbageAndEmptyInputGiveNoPictureAndNoCrash) {
  std::vector<uint8_t> junk(5000);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 37 + 11);
  DecoderOutput out = decode(junk.data(), junk.size());
  EXPECT_LE(out.pictureReady, 0);
  EXPECT_GE(out.bytesConsumed, 0);
  EXPECT_LE(out.bytesConsumed, static_cast<int>(junk.size()));
  out = decode(nullptr, 0);
  EXPECT_LE(out.pictureReady, 0);
  EXPECT_EQ(out.bytesConsumed, 0);
  // A truncated key frame must not read past what it was given.
  auto f0 = clip_.frameBytes(0);
  std::vector<uint8_t> cut(f0.begin(), f0.begin() + static_cast<ptrdiff_t>(f0.size() / 3));
  out = decode(cut.data(), cut.size());
  EXPECT_LE(out.bytesConsumed, static_cast<int>(cut.size()));
  // And the decoder still decodes whole frames afterwards.
  out = decode(f0.data(), f0.size());
  EXPECT_GT(out.pictureReady, 0);
}

// Input placed right before an unreadable page: the decoder may not look past its end, however
// the unit it ends on is cut.
class GuardedInput {
 public:
  explicit GuardedInput(size_t capacity) {
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_ = (capacity + page_ - 1) / page_ * page_ + page_;
    void* m = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    base_ = m == MAP_FAILED ? nullptr : static_cast<uint8_t*>(m);
    if (base_) mprotect(base_ + size_ - page_, page_, PROT_NONE);
  }
  ~GuardedInput() {
    if (base_) munmap(base_, size_);
  }
  // The bytes copied to end exactly at the guard page.
  const uint8_t* place(const uint8_t* data, size_t n) {
    uint8_t* at = base_ + size_ - page_ - n;
    std::memcpy(at, data, n);
    return at;
  }
  bool ok() const { return base_ != nullptr; }

 private:
  uint8_t* base_ = nullptr;
  size_t size_ = 0, page_ = 0;
};

TEST_P(DecoderTest, NeverReadsPastTheEndOfItsInput) {
  size_t largest = 0;
  for (size_t i = 0; i < clip_.frames.size(); ++i)
    largest = std::max(largest, clip_.frameBytes(i).size());
  GuardedInput guard(largest);
  ASSERT_TRUE(guard.ok());
  for (size_t i = 0; i < clip_.frames.size(); ++i) {
    const auto bytes = clip_.frameBytes(i);
    DecoderOutput out = decode(guard.place(bytes.data(), bytes.size()), bytes.size());
    EXPECT_GT(out.pictureReady, 0) << "frame " << i;
    // Every cut of the frame as well, down to its first bytes.
    for (size_t cut = bytes.size() - 1; cut > 0; cut = cut * 3 / 4)
      decode(guard.place(bytes.data(), cut), cut);
  }
}

TEST_P(DecoderTest, ForeignOrClosedHandleIsRefused) {
  DecoderHandleBlock other{};
  other.handle = block_.handle + 64;
  DecoderOutput out;
  auto f0 = clip_.frameBytes(0);
  other.input = f0.data();
  other.length = static_cast<uint32_t>(f0.size());
  lib_->entry(CTDEC_DECODE, &other, &out);
  EXPECT_EQ(out.pictureReady, 0);
  EXPECT_EQ(out.bytesConsumed, 0);
  lib_->entry(CTDEC_CLOSE, &other, nullptr);  // unknown: ignored, block zeroed
  EXPECT_EQ(other.handle, 0);

  DecoderHandleBlock closed = block_;
  lib_->entry(CTDEC_CLOSE, &closed, nullptr);
  EXPECT_EQ(closed.handle, 0);
  out = decode(f0.data(), f0.size());  // block_ still names the closed instance
  EXPECT_EQ(out.pictureReady, 0);
  lib_->entry(CTDEC_OPEN, &block_, nullptr);
  EXPECT_NE(block_.handle, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Both, DecoderTest,
    ::testing::Values(DecoderParam{clipgen::Codec::H264, kCTdec264Library, kCTdec264Entry},
                      DecoderParam{clipgen::Codec::Mpeg4, kCTMp4DecLibrary, kCTMp4DecEntry}),
    [](const auto& info) { return info.param.codec == clipgen::Codec::H264 ? "H264" : "Mpeg4"; });

TEST(ClipGen, IndexRoundTripsAndMarksKeyFrames) {
  clipgen::Options o;
  o.frames = 9;
  o.gop = 4;
  clipgen::Clip clip;
  ASSERT_TRUE(clipgen::generate(o, &clip));
  std::string path = testsupport::TestFile("clipgen_roundtrip.264");
  ASSERT_TRUE(clipgen::writeClip(clip, path));
  clipgen::Clip back;
  ASSERT_TRUE(clipgen::readClip(path, &back));
  EXPECT_EQ(back.data, clip.data);
  ASSERT_EQ(back.frames.size(), 9u);
  EXPECT_EQ(back.width, 352);
  for (size_t i = 0; i < back.frames.size(); ++i) {
    EXPECT_EQ(back.frames[i].key, i % 4 == 0) << i;
    EXPECT_EQ(back.frames[i].offset, clip.frames[i].offset);
  }
  EXPECT_FALSE(clipgen::generate(clipgen::Options{clipgen::Codec::H264, 15, 16}, &clip));
}

TEST(ClipGen, PatternCarriesItsFrameNumber) {
  for (int idx : {0, 1, 1234, 4095}) {
    auto pic = clipgen::patternPicture(320, 240, idx);
    EXPECT_EQ(clipgen::readFrameIndex(pic.data(), 320, 320, 240), idx);
  }
  auto small = clipgen::patternPicture(64, 32, 3);
  EXPECT_EQ(clipgen::readFrameIndex(small.data(), 64, 64, 32), -1);
}

}  // namespace

namespace {

TEST(Library, MissingLibraryOrSymbolIsNullWithAReason) {
  std::string error;
  EXPECT_EQ(plat::openLibrary("libNoSuchDecoder.so", &error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(plat::openLibrary(""), nullptr);
  void* lib = plat::openLibrary(kCTdec264Library);
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(plat::librarySymbol(lib, "CT_NoSuchEntry"), nullptr);
  EXPECT_EQ(plat::librarySymbol(lib, kCTMp4DecEntry), nullptr) << "each library has its own entry";
  EXPECT_NE(plat::librarySymbol(lib, kCTdec264Entry), nullptr);
}

}  // namespace
