// The log file as TARNWICK_LOG and TARNWICK_LOG_LEVEL set it up, in a process of its own
// (this test binary started again): it holds the chosen level and above only, and it is
// bounded: past its bound it becomes "<name>.1" and a new file starts.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "plat/log.h"
#include "support/TestFolder.h"
#include "support/Wait.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kChild = "TARNWICK_LOG_TEST_CHILD";
constexpr uint64_t kBound = 64 * 1024;
constexpr int kLines = 3000;

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// The child: a busy program's log, debug lines between the warnings.
TEST(LogFileChild, Writes) {
  if (!std::getenv(kChild)) GTEST_SKIP() << "only as a child of LogFile";
  plat::setLogFileLimit(kBound);
  for (int i = 0; i < kLines; ++i) {
    PLAT_LOGD("test", "frame %d decoded, nothing to see here at all, a line of the busy kind", i);
    PLAT_LOGW("test", "warning %d of a run that goes on for a while and writes a lot", i);
  }
}

TEST(LogFile, HoldsTheChosenLevelOnlyAndStaysWithinItsBound) {
  testsupport::TestFolder folder;
  const fs::path log = fs::path(folder.path()) / "tarnwick.log";
  setenv(kChild, "1", 1);
  setenv("TARNWICK_LOG", log.c_str(), 1);
  setenv("TARNWICK_LOG_LEVEL", "warn", 1);
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const pid_t child = fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 2);
    execl(self.c_str(), self.c_str(), "--gtest_filter=LogFileChild.Writes", static_cast<char*>(nullptr));
    _exit(127);
  }
  unsetenv(kChild);
  unsetenv("TARNWICK_LOG");
  unsetenv("TARNWICK_LOG_LEVEL");
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_TRUE(testsupport::Eventually([&] { return waitpid(child, &status, WNOHANG) == child; }));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const std::string now = ReadAll(log), before = ReadAll(log.string() + ".1");
  const size_t line = now.find('\n') + 1;
  EXPECT_LE(now.size(), kBound + line);
  EXPECT_GT(before.size(), kBound - line) << "the full file was kept as <name>.1";
  EXPECT_LE(before.size(), kBound + line);
  for (const std::string& text : {now, before}) {
    EXPECT_EQ(text.find("[debug]"), std::string::npos) << "a debug line below the chosen level";
    EXPECT_NE(text.find("[warn]"), std::string::npos);
  }
  EXPECT_NE(now.find("warning " + std::to_string(kLines - 1) + " "), std::string::npos) << "the newest line is in";
}

}  // namespace
