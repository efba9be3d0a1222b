// Snapshots that cannot be taken, or that the disk refuses, leave the file system as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render_fixture.h"
#include "video/video_player.h"
#include "support/FileSizeLimit.h"
#include "support/TestFolder.h"

namespace corvane {
namespace {

using test::DisplayGuard;
using test::TestWindow;

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A player showing a flat picture of the given size in its main window.
struct ShowingPlayer {
  DisplayGuard guard;
  TestWindow w;
  test::TestPictures pictures;
  VideoPlayer player{nullptr, DecoderEntries{}};
  ShowingPlayer(int width, int height) {
    player.SetMainWindow(w.handle);
    player.RenderPicture(pictures.flat(test::FlatPicture(width, height, 100)));
  }
};

TEST(SnapshotFailure, NoSurfaceKeepsAnEarlierFileAndMakesNoNewOne) {
  ShowingPlayer shown(16, 8);
  VideoPlayer& player = shown.player;

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

// A disk that fills half way through a picture: in either format the snapshot fails, an
// earlier picture at the path stays whole, a new path gets no file, and no part is left.
TEST(SnapshotFailure, AFullDiskLeavesNothingAndKeepsAnEarlierPicture) {
  ShowingPlayer shown(64, 48);
  VideoPlayer& player = shown.player;
  const testsupport::TestFolder folder;
  using Save = int (VideoPlayer::*)(const char*);
  for (const auto& [name, save] : {std::pair<const char*, Save>{"full.bmp", &VideoPlayer::SaveBmp},
                                   std::pair<const char*, Save>{"full.jpg", &VideoPlayer::SaveJpeg}}) {
    SCOPED_TRACE(name);
    const std::string earlier = folder.file(std::string("earlier_") + name);
    ASSERT_EQ((player.*save)(earlier.c_str()), 1);
    const std::string before = slurp(earlier);
    ASSERT_GT(before.size(), 200u);
    const std::string fresh = folder.file(name);
    {
      testsupport::FileSizeLimit disk(before.size() / 2);
      ASSERT_TRUE(disk.ok());
      EXPECT_EQ((player.*save)(earlier.c_str()), 0);
      EXPECT_EQ((player.*save)(fresh.c_str()), 0);
    }
    EXPECT_EQ(slurp(earlier), before) << "the earlier picture changed";
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(folder.path())) left.push_back(e.path().string());
    EXPECT_EQ(left, std::vector<std::string>{earlier}) << "a failed snapshot left a file";
    std::filesystem::remove(earlier);
  }
}

// A path that names a device or a pipe is no place for a picture: the snapshot is refused and
// what stands there stays what it is.
TEST(SnapshotFailure, APathThatIsNoPlainFileIsLeftAsItIs) {
  ShowingPlayer shown(16, 8);
  const testsupport::TestFolder folder;
  const std::string pipe = folder.file("pipe.bmp");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(shown.player.SaveBmp(pipe.c_str()), 0);
  EXPECT_EQ(shown.player.SaveJpeg(pipe.c_str()), 0);
  struct stat st {};
  ASSERT_EQ(lstat(pipe.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the pipe was replaced";
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder.path())) entries += !e.path().empty();
  EXPECT_EQ(entries, 1u) << "a part was left";
}

}  // namespace
}  // namespace corvane
