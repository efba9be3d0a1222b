// A recording cut short by the process dying (kill -9 stands in for a crash or a power cut)
// must still play up to its last few seconds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "avi_readback.h"
#include "clipgen/clipgen.h"
#include "record/avi_recorder.h"

namespace {

using namespace avitest;

// The child: records a clip at 25 frames per second, in real time, until it is killed.
[[noreturn]] void recordForever(const clipgen::Clip& clip, const std::string& base) {
  corvane::AviRecorder rec;
  if (rec.StartRecord(base) != 1) _exit(2);
  const auto start = std::chrono::steady_clock::now();
  for (size_t n = 0;; ++n) {
    // Frame n is due at n × 40 ms: a busy machine makes the child catch up, not fall behind.
    std::this_thread::sleep_until(start + std::chrono::milliseconds(40 * n));
    const size_t i = n % clip.frames.size();
    const auto bytes = clip.frameBytes(i);
    rec.WriteRecordFrame(bytes.data(), static_cast<uint32_t>(bytes.size()), 2,
                         clip.frames[i].key ? 0 : 1, clip.width, clip.height);
  }
}

TEST(AviCrash, RecordingKilledAfterTenSecondsPlaysAtLeastSevenOfThem) {
  clipgen::Options o;
  o.width = 160;
  o.height = 120;
  o.frames = 50;
  clipgen::Clip clip;
  std::string error;
  ASSERT_TRUE(clipgen::generate(o, &clip, &error)) << error;
  TempDir dir;
  const std::string base = dir.file("cam");

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) recordForever(clip, base);
  std::this_thread::sleep_for(std::chrono::seconds(10));
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the recorder child ended by itself: " << status;

  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir.path)) files.push_back(e.path());
  ASSERT_FALSE(files.empty());
  // The first frame's size differs from the empty start, so the recording may have begun
  // with an empty file: the one with frames is the recording.
  Demuxed best;
  for (const auto& f : files) {
    const Demuxed d = demux(f);
    EXPECT_TRUE(d.opened) << f;
    if (d.videoPackets > best.videoPackets) best = d;
  }
  EXPECT_EQ(best.videoTag, fourcc("H264"));
  EXPECT_EQ(best.width, 160);
  EXPECT_EQ(best.height, 120);
  ASSERT_GT(best.frameRate, 0) << best.videoPackets << " packets in " << files.size() << " files";
  EXPECT_NEAR(best.frameRate, 25, 3);
  EXPECT_GE(best.videoPackets / best.frameRate, 7.0)
      << best.videoPackets << " frames at " << best.frameRate << " per second";
}

}  // namespace
