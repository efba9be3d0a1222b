#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plat/hrtimer.h"
#include "plat/clock.h"
#include "plat/instance.h"
#include "plat/paths.h"
#include "plat/text.h"

#include <atomic>
#include "support/ChildProcess.h"
#include "support/TestFolder.h"
#include "support/TimeScale.h"
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

// The lock's place, by what lstat says of it: only a plain file of the user's own counts, and
// only a folder of the user's own that no one else may write to holds it.
TEST(Instance, OnlyTheUsersOwnFileCountsInAFolderNoOneElseWritesTo) {
  struct stat st{};
  st.st_uid = 1000;
  st.st_mode = S_IFREG | 0600;
  EXPECT_TRUE(plat::lockFileCounts(st, 1000));
  EXPECT_FALSE(plat::lockFileCounts(st, 1001)) << "another user's lock file";
  EXPECT_FALSE(plat::lockFileCounts(st, 0)) << "not even the administrator's counts for another";
  st.st_mode = S_IFLNK | 0777;
  EXPECT_FALSE(plat::lockFileCounts(st, 1000)) << "a link may lead anywhere";
  st.st_mode = S_IFDIR | 0700;
  EXPECT_TRUE(plat::lockFolderIsPrivate(st, 1000));
  EXPECT_FALSE(plat::lockFolderIsPrivate(st, 1001));
  st.st_mode = S_IFDIR | 01777;
  EXPECT_FALSE(plat::lockFolderIsPrivate(st, 1000)) << "a folder everyone may fill";
  st.st_mode = S_IFDIR | 0770;
  EXPECT_FALSE(plat::lockFolderIsPrivate(st, 1000)) << "a folder the group may fill";
}

// Environment variables set for one test and put back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    had_ = std::getenv(name) != nullptr;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

// No runtime folder and no cache folder set; the home and the temporary folder the test's.
struct NoRuntimeFolder {
  NoRuntimeFolder(const std::string& home, const std::string& tmp)
      : noRuntime("XDG_RUNTIME_DIR", nullptr), noCache("XDG_CACHE_HOME", nullptr), homeEnv("HOME", home.c_str()),
        tmpEnv("TMPDIR", tmp.c_str()) {}
  ScopedEnv noRuntime, noCache, homeEnv, tmpEnv;
};

mode_t ModeOf(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 07777;
}

std::string HostName() {
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  return host;
}

// Without a runtime folder the lock lies in a folder of the user's own in the user's cache
// folder, where no one else can take the name first; the temporary folder is used only when
// the home has no place for it. A name another took first (here a link to a folder that is
// not the user's, as one made by another user would be) is never used: the lock still works,
// or, with no place left, it says it could not be made.
TEST(Instance, WithoutARuntimeFolderTheLockLiesInAFolderOfTheUsersOwn) {
  testsupport::TestFolder tmp;
  const std::string name = "TarnwickInstanceTest";
  const std::string home = tmp.file("home");
  const std::string cached = home + "/.cache/tarnwick-" + HostName();
  const std::string inTemp = tmp.file("tarnwick-" + std::to_string(geteuid()));
  const std::string elsewhere = tmp.file("elsewhere");
  const NoRuntimeFolder env(home, tmp.path());
  ASSERT_EQ(::mkdir(elsewhere.c_str(), 0777), 0);
  ASSERT_EQ(::symlink(elsewhere.c_str(), inTemp.c_str()), 0) << "the temporary folder's name taken first";
  std::filesystem::create_directories(home + "/.cache");
  ASSERT_EQ(::mkdir(cached.c_str(), 0755), 0);  // left open to others by an earlier run
  {
    plat::SingleInstanceLock first(name);
    ASSERT_TRUE(first.acquired());
    EXPECT_EQ(std::filesystem::path(first.path()).parent_path(), cached);
    EXPECT_EQ(ModeOf(cached), 0700u);
    EXPECT_EQ(ModeOf(first.path()), 0600u);
    plat::SingleInstanceLock second(name);
    EXPECT_TRUE(second.heldElsewhere());
  }
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere)) << "nothing was put where the link led";

  // A runtime folder everyone may write to is no place for it either.
  {
    testsupport::TestFolder open;
    ::chmod(open.path().c_str(), 01777);
    ScopedEnv runtime("XDG_RUNTIME_DIR", open.path().c_str());
    plat::SingleInstanceLock lock(name);
    ASSERT_TRUE(lock.acquired());
    EXPECT_EQ(std::filesystem::path(lock.path()).parent_path(), cached);
  }

  // No home: the temporary folder, where the name is now free and made the user's own.
  std::filesystem::remove(inTemp);
  {
    ScopedEnv noHome("HOME", nullptr);
    plat::SingleInstanceLock lock(name);
    ASSERT_TRUE(lock.acquired());
    EXPECT_EQ(std::filesystem::path(lock.path()).parent_path(), inTemp);
    EXPECT_EQ(ModeOf(inTemp), 0700u);
  }

  // Both names taken: no lock, and no other holder either, so the caller can say so.
  std::filesystem::remove_all(cached);
  std::filesystem::remove_all(inTemp);
  ASSERT_EQ(::symlink(elsewhere.c_str(), cached.c_str()), 0);
  ASSERT_EQ(::symlink(elsewhere.c_str(), inTemp.c_str()), 0);
  plat::SingleInstanceLock none(name);
  EXPECT_FALSE(none.acquired());
  EXPECT_FALSE(none.heldElsewhere());
  EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

// Another user's lock file, even one held, never keeps this user's program from starting: it is
// replaced by one of the user's own. Making a file of another user's needs the administrator;
// the rule itself is tested above for everyone.
TEST(Instance, ALockFileAnotherUserOwnsNeverCounts) {
  if (geteuid() != 0) GTEST_SKIP() << "only the administrator can make a file of another user's";
  testsupport::TestFolder run;
  ::chmod(run.path().c_str(), 0700);
  ScopedEnv runtime("XDG_RUNTIME_DIR", run.path().c_str());
  const std::string name = "TarnwickInstanceTest";
  const std::string path = run.file(name + "." + std::to_string(geteuid()) + ".lock");
  const int foreign = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(foreign, 0);
  ASSERT_EQ(::fchown(foreign, 12345, 12345), 0);
  ASSERT_EQ(flock(foreign, LOCK_EX | LOCK_NB), 0) << "held, as by the other user's process";
  {
    plat::SingleInstanceLock lock(name);
    EXPECT_TRUE(lock.acquired());
    EXPECT_FALSE(lock.heldElsewhere());
    struct stat st{};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, geteuid());
    plat::SingleInstanceLock second(name);
    EXPECT_TRUE(second.heldElsewhere()) << "the user's own lock counts";
  }
  ::close(foreign);

  // A link in its place, to a file of another user's, is replaced as well; what it led to stays.
  const std::string target = run.file("target");
  std::ofstream(target) << "keep";
  ASSERT_EQ(::chown(target.c_str(), 12345, 12345), 0);
  std::filesystem::remove(path);
  std::filesystem::create_symlink(target, path);
  plat::SingleInstanceLock lock(name);
  EXPECT_TRUE(lock.acquired());
  EXPECT_FALSE(std::filesystem::is_symlink(path));
  std::ifstream in(target);
  std::string kept;
  in >> kept;
  EXPECT_EQ(kept, "keep");

  // Without a runtime folder, a folder another user made first in the temporary folder is
  // never used: the lock lies in the user's cache folder; one there too leaves no lock at all.
  testsupport::TestFolder tmp;
  const std::string home = tmp.file("home");
  const std::string cached = home + "/.cache/tarnwick-" + HostName();
  const std::string inTemp = tmp.file("tarnwick-" + std::to_string(geteuid()));
  const NoRuntimeFolder env(home, tmp.path());
  ASSERT_EQ(::mkdir(inTemp.c_str(), 0700), 0);
  ASSERT_EQ(::chown(inTemp.c_str(), 12345, 12345), 0);
  {
    plat::SingleInstanceLock first(name);
    ASSERT_TRUE(first.acquired());
    EXPECT_EQ(std::filesystem::path(first.path()).parent_path(), cached);
    EXPECT_TRUE(plat::SingleInstanceLock(name).heldElsewhere());
  }
  std::filesystem::remove_all(cached);
  ASSERT_EQ(::mkdir(cached.c_str(), 0700), 0);
  ASSERT_EQ(::chown(cached.c_str(), 12345, 12345), 0);
  plat::SingleInstanceLock none(name);
  EXPECT_FALSE(none.acquired());
  EXPECT_FALSE(none.heldElsewhere());
  EXPECT_TRUE(std::filesystem::is_empty(inTemp) && std::filesystem::is_empty(cached));
}

TEST(PeriodicTimer, TicksUntilStoppedAndCanStopFromItsCallback) {
  testsupport::ScopedTimeScale fast(0.1);
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
  testsupport::ChildRun run;
  run.program = copy;
  run.filter = "ProgramPath.SameNameAfterTheFileIsRemoved";
  run.env = {{"PLAT_PROGRAM_PATH_OUT", out}};
  run.stdoutPath = run.stderrPath = "/dev/null";
  const testsupport::ChildEnd end = testsupport::RunTestChild(run);
  ASSERT_TRUE(end.Succeeded()) << end.Describe();
  std::ifstream in(out);
  std::string before, after;
  std::getline(in, before);
  std::getline(in, after);
  EXPECT_EQ(before, copy);
  EXPECT_EQ(after, copy);
}
