// What a decoder says about a damaged stream reaches stderr through the program's log only:
// nothing at all at log level "error", and at "warn" log lines of a bounded rate. Run in a
// process of its own (this test binary started again) whose stderr is read back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "clipgen/clipgen.h"
#include "ctdec/ctdec.h"
#include "plat/library.h"
#include "plat/log.h"
#include "support/ChildProcess.h"
#include "support/TestFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kChild = "TARNWICK_DECODER_LOG_CHILD";
constexpr const char* kAtError = "--- at error ---\n";
constexpr const char* kAtWarn = "--- at warn ---\n";
constexpr int kRounds = 6;  // passes through the damaged clip at each level

void Say(const char* text) {
  // The child's own marks, written past the log so they are there whatever its level.
  const ssize_t n = ::write(2, text, std::strlen(text));
  (void)n;
}

// The child: a camera's damaged H.264 through the decoder library, loaded by name as the
// player loads it; every picture but the key frames has a stretch of its slice overwritten.
TEST(DecoderLogChild, DecodesADamagedStream) {
  if (!std::getenv(kChild)) GTEST_SKIP() << "only as a child of DecoderLog";
  clipgen::Options o;
  o.frames = 40;
  o.gop = 20;
  clipgen::Clip clip;
  std::string error;
  ASSERT_TRUE(clipgen::generate(o, &clip, &error)) << error;
  std::vector<std::vector<uint8_t>> frames;
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    std::vector<uint8_t> f = clip.frameBytes(i);
    if (!clip.frames[i].key)
      for (size_t k = f.size() / 3; k < f.size() * 2 / 3; ++k) f[k] ^= 0x5A;
    frames.push_back(std::move(f));
  }
  void* module = plat::openLibrary("libCTdec264.so", &error);
  auto entry = reinterpret_cast<CTDecEntry>(plat::librarySymbol(module, "CT_264Dec"));
  ASSERT_NE(entry, nullptr) << error;
  auto decodeAll = [&] {
    DecoderHandleBlock block{};
    entry(CTDEC_OPEN, &block, nullptr);
    ASSERT_NE(block.handle, 0);
    for (int round = 0; round < kRounds; ++round)
      for (const auto& f : frames) {
        DecoderOutput out{};
        block.input = f.data();
        block.length = static_cast<uint32_t>(f.size());
        entry(CTDEC_DECODE, &block, &out);
      }
    entry(CTDEC_CLOSE, &block, nullptr);
  };
  Say(kAtError);
  plat::setLogLevel(plat::LogLevel::Error);
  decodeAll();
  Say(kAtWarn);
  plat::setLogLevel(plat::LogLevel::Warn);
  decodeAll();
}

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

TEST(DecoderLog, ADamagedStreamWritesOnlyLogLinesAtTheirLevelAndRate) {
  testsupport::TestFolder folder;
  const fs::path err = fs::path(folder.path()) / "stderr.txt";
  testsupport::ChildRun run;
  run.filter = "DecoderLogChild.*";
  run.env = {{kChild, "1"}};
  run.stdoutPath = "/dev/null";
  run.stderrPath = err.string();
  const auto started = std::chrono::steady_clock::now();
  const testsupport::ChildEnd end = testsupport::RunTestChild(run);
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_TRUE(end.Succeeded()) << end.Describe() << "\n" << ReadAll(err);

  const std::string text = ReadAll(err);
  const size_t atError = text.find(kAtError), atWarn = text.find(kAtWarn);
  ASSERT_NE(atError, std::string::npos) << text;
  ASSERT_NE(atWarn, std::string::npos) << text;
  const size_t errorFrom = atError + std::strlen(kAtError);
  const std::string atErrorLevel = text.substr(errorFrom, atWarn - errorFrom);
  EXPECT_TRUE(atErrorLevel.empty()) << atErrorLevel.size() << " bytes on stderr at log level error, "
                                    << "the first line: " << atErrorLevel.substr(0, atErrorLevel.find('\n'));

  // At "warn": log lines only, the decoder's among them, no more than its rate lets through
  // in the time the child ran (and the lines that tell how many were held back).
  std::istringstream warn(text.substr(atWarn + std::strlen(kAtWarn)));
  const std::regex logLine(R"(^\d\d:\d\d:\d\d\.\d{3} \[(warn|error)\] [A-Za-z]+\(\d+\): .+$)");
  int decoderLines = 0, otherLines = 0;
  std::string firstOther;
  for (std::string line; std::getline(warn, line);) {
    if (!std::regex_match(line, logLine)) {
      if (otherLines++ == 0) firstOther = line;
    } else if (line.find("] libav(") != std::string::npos) {
      ++decoderLines;
    }
  }
  EXPECT_EQ(otherLines, 0) << "lines past the log, the first: " << firstOther;
  EXPECT_GT(decoderLines, 0) << "the damaged pictures were not reported at all";
  const auto windows =
      1 + std::chrono::duration_cast<std::chrono::milliseconds>(took).count() / plat::kRatedWindowMs;
  EXPECT_LE(decoderLines, (plat::kRatedLines + 1) * windows);
}

}  // namespace
