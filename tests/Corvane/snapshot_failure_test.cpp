// Snapshots that cannot be taken leave the file system as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "render_fixture.h"
#include "video/video_player.h"
#include "support/TestFolder.h"

namespace corvane {
namespace {

using test::DisplayGuard;
using test::TestWindow;

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(SnapshotFailure, NoSurfaceKeepsAnEarlierFileAndMakesNoNewOne) {
  DisplayGuard guard;
  TestWindow w;
  VideoPlayer player(nullptr, DecoderEntries{});
  player.SetMainWindow(w.handle);
  test::TestPictures pictures;
  player.RenderPicture(pictures.flat(test::FlatPicture(16, 8, 100)));

  const std::string earlier = testsupport::TestFile("snapfail_earlier.bmp");
  ASSERT_EQ(player.SaveBmp(earlier.c_str()), 1);
  const std::string before = slurp(earlier);
  ASSERT_EQ(before.size(), 54u + 16 * 8 * 4);

  player.mainRenderer().ReleaseSurfaces();
  EXPECT_EQ(player.SaveBmp(earlier.c_str()), 0);
  EXPECT_EQ(slurp(earlier), before);  // the earlier snapshot is still whole

  const std::string fresh = testsupport::TestFile("snapfail_fresh.bmp");
  unlink(fresh.c_str());
  EXPECT_EQ(player.SaveBmp(fresh.c_str()), 0);
  struct stat st;
  EXPECT_NE(stat(fresh.c_str(), &st), 0);  // no empty file left behind
  unlink(earlier.c_str());
}

}  // namespace
}  // namespace corvane
