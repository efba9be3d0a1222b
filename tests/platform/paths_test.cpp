#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "plat/hrtimer.h"
#include "plat/clock.h"
#include "plat/instance.h"
#include "plat/paths.h"
#include "plat/text.h"

#include <atomic>
#include "support/TestFolder.h"
#include "support/Wait.h"

namespace {

struct DriveMap : ::testing::Test {
  void SetUp() override {
    setenv("TARNWICK_DRIVES", "/tmp/a:/tmp/b/", 1);
    plat::resetDriveMap();
  }
  void TearDown() override {
    unsetenv("TARNWICK_DRIVES");
    plat::resetDriveMap();
  }
};

TEST_F(DriveMap, LettersMapToTheConfiguredFolders) {
  auto drives = plat::fixedDrives();
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].letter, 'C');
  EXPECT_EQ(drives[1].root, "/tmp/b");
  EXPECT_EQ(plat::toNativePath(std::u16string(u"d:\\录像\\x.avi")), "/tmp/b/录像/x.avi");
  EXPECT_EQ(plat::toNativePath(std::u16string(u"C:\\")), "/tmp/a/");
  EXPECT_EQ(plat::toNativePath(std::u16string(u"Q:\\x")), "Q:/x");  // unknown letter
  EXPECT_EQ(plat::toWindowsPath("/tmp/b/rec/1.avi"), std::u16string(u"D:\\rec\\1.avi"));
  EXPECT_EQ(plat::toWindowsPath("/tmp/a"), std::u16string(u"C:\\"));
  EXPECT_FALSE(plat::toWindowsPath("/tmp/ab/x").has_value());
}

TEST(Paths, ProgramDirFollowsTarnwickHome) {
  setenv("TARNWICK_HOME", "/tmp/home/", 1);
  EXPECT_EQ(plat::programDir(), "/tmp/home");
  EXPECT_EQ(plat::inProgramDir("UserInfo.db"), "/tmp/home/UserInfo.db");
  unsetenv("TARNWICK_HOME");
  EXPECT_EQ(plat::programDir() + "/test_platform", plat::programFilePath());
}

TEST(Paths, FreeSpaceOfAMissingPathIsMinusOne) {
  EXPECT_EQ(plat::freeSpaceMB("/definitely/not/here"), -1);
  EXPECT_GE(plat::freeSpaceMB("/tmp"), 0);
}

TEST(Instance, ASecondHolderOfTheNameIsRefused) {
  std::string name = "TarnwickInstanceTest" + std::to_string(getpid());
  {
    plat::SingleInstanceLock first(name);
    ASSERT_TRUE(first.acquired());
    plat::SingleInstanceLock second(name);
    EXPECT_FALSE(second.acquired());
    EXPECT_TRUE(second.heldElsewhere());
  }
  plat::SingleInstanceLock again(name);
  EXPECT_TRUE(again.acquired());
  EXPECT_FALSE(again.heldElsewhere());
  // A lock file that cannot be made is no other holder.
  plat::SingleInstanceLock nowhere("no/such/folder/" + name);
  EXPECT_FALSE(nowhere.acquired());
  EXPECT_FALSE(nowhere.heldElsewhere());
}

TEST(PeriodicTimer, TicksUntilStoppedAndCanStopFromItsCallback) {
  plat::setTimeScale(0.1);
  std::atomic<int> ticks{0};
  plat::PeriodicTimer t;
  ASSERT_TRUE(t.start(10, [&] {
    if (++ticks == 5) t.stop();
  }));
  testsupport::Eventually([&] { return !t.running(); });
  EXPECT_FALSE(t.running());
  int after = ticks.load();
  plat::sleepMs(100);
  EXPECT_EQ(ticks.load(), after);
  EXPECT_EQ(after, 5);
  plat::setTimeScale(1.0);
}

}  // namespace

// The program's file replaced underneath the running program (a rebuild while it runs) still
// gives the file's own name: the settings file named after it stays the same file. A copy of
// this test binary, started with PLAT_PROGRAM_PATH_OUT set, removes its own file and writes
// what it reads for its path.
TEST(ProgramPath, SameNameAfterTheFileIsRemoved) {
  if (const char* out = std::getenv("PLAT_PROGRAM_PATH_OUT")) {
    const std::string before = plat::programFilePath();
    ASSERT_EQ(::unlink(before.c_str()), 0);
    std::ofstream(out) << before << '\n' << plat::programFilePath() << '\n';
    return;
  }
  testsupport::TestFolder dir;
  const std::string copy = dir.file("prog_copy");
  std::filesystem::copy_file(plat::programFilePath(), copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
  const std::string out = dir.file("out.txt");
  const std::string cmd = "PLAT_PROGRAM_PATH_OUT='" + out + "' '" + copy +
                          "' --gtest_filter=ProgramPath.SameNameAfterTheFileIsRemoved >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(out);
  std::string before, after;
  std::getline(in, before);
  std::getline(in, after);
  EXPECT_EQ(before, copy);
  EXPECT_EQ(after, copy);
}
