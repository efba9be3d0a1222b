// Test clips read back from disk: an index that points outside its stream is refused. Clips
// made as a camera makes its stream carry the profile asked for.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "clipgen/clipgen.h"
#include "support/TestFolder.h"

namespace {

std::string writeStream(const std::string& name, const std::string& index) {
  const std::string path = testsupport::TestFile(name);
  std::ofstream(path, std::ios::binary) << "0123456789";
  std::ofstream(path + ".idx") << "# h264 16 16 25\n" << index;
  return path;
}

TEST(ClipgenIndex, EntriesPastTheStreamAreRefusedEvenWhenTheSumWraps) {
  struct Case {
    const char* index;
    bool accepted;
  } cases[] = {
      {"0 0 4 1\n1 4 6 0\n", true},
      {"0 8 3 1\n", false},
      {"0 18446744073709551615 2 1\n", false},  // offset + size wraps to 1
      {"0 18446744073709551614 4294967295 1\n", false},
  };
  for (const Case& c : cases) {
    const std::string path = writeStream("clipgen_index.264", c.index);
    clipgen::Clip clip;
    EXPECT_EQ(clipgen::readClip(path, &clip), c.accepted) << c.index;
    if (c.accepted) {
      ASSERT_EQ(clip.frames.size(), 2u);
      EXPECT_EQ(clip.frameBytes(1).size(), 6u);
    }
    unlink(path.c_str());
    unlink((path + ".idx").c_str());
  }
  // A frame entry changed after reading never reads outside the stream either.
  clipgen::Clip clip;
  clip.data.assign(10, 0);
  clip.frames.push_back({0, ~uint64_t{0}, 2, true});
  EXPECT_TRUE(clip.frameBytes(0).empty());
}

// The profile_idc of the stream's first sequence parameter set; -1 when there is none.
int profileOf(const std::vector<uint8_t>& stream) {
  for (size_t i = 0; i + 4 < stream.size(); ++i)
    if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1 && (stream[i + 3] & 0x1F) == 7)
      return stream[i + 4];
  return -1;
}

TEST(ClipgenCamera, AClipMadeAsACameraMakesItIsMainProfileWithAKeyFrameEachGop) {
  clipgen::Options o;
  o.frames = 12;
  o.gop = 6;
  o.preset = "veryfast";
  o.profile = "main";
  clipgen::Clip camera, cheapest;
  std::string error;
  ASSERT_TRUE(clipgen::generate(o, &camera, &error)) << error;
  EXPECT_EQ(profileOf(camera.data), 77);
  for (size_t i = 0; i < camera.frames.size(); ++i) EXPECT_EQ(camera.frames[i].key, i % 6 == 0) << i;
  ASSERT_TRUE(clipgen::generate(clipgen::Options{}, &cheapest));
  EXPECT_EQ(profileOf(cheapest.data), 66) << "the default stays the simplest";
  o.profile = "no such profile";
  EXPECT_FALSE(clipgen::generate(o, &camera, &error));
}

}  // namespace
