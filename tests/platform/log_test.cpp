// The log file as TARNWICK_LOG and TARNWICK_LOG_LEVEL set it up, in a process of its own
// (this test binary started again): it holds the chosen level and above only, and it is
// bounded: past its bound it becomes "<name>.1" and a new file starts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "plat/log.h"
#include "support/ChildProcess.h"
#include "support/TestFolder.h"

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
  testsupport::ChildRun run;
  run.filter = "LogFileChild.Writes";
  run.env = {{kChild, "1"}, {"TARNWICK_LOG", log.string()}, {"TARNWICK_LOG_LEVEL", "warn"}};
  run.stderrPath = "/dev/null";
  const testsupport::ChildEnd end = testsupport::RunTestChild(run);
  ASSERT_TRUE(end.Succeeded()) << end.Describe();

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
