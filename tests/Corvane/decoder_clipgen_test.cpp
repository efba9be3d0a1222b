// Test clips read back from disk: an index that points outside its stream is refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

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

}  // namespace
