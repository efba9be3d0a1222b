// A recording cut short by the process dying (kill -9 stands in for a crash or a power cut)
// must still play up to its last few seconds, and one cut in its first moment must open and
// decode too.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "avi_readback.h"
#include "clipgen/clipgen.h"
#include "record/avi_recorder.h"
#include "support/ChildProcess.h"

namespace {

using namespace avitest;

// The child: records a clip at 25 frames per second, in real time, until it is killed. With
// `written` it tells each frame the recorder took with one byte there.
[[noreturn]] void recordForever(const clipgen::Clip& clip, const std::string& base, int written = -1) {
  corvane::AviRecorder rec;
  if (rec.StartRecord(base) != 1) _exit(2);
  const auto start = std::chrono::steady_clock::now();
  for (size_t n = 0;; ++n) {
    // Frame n is due at n × 40 ms: a busy machine makes the child catch up, not fall behind.
    std::this_thread::sleep_until(start + std::chrono::milliseconds(40 * n));
    const size_t i = n % clip.frames.size();
    const auto bytes = clip.frameBytes(i);
    const int took = rec.WriteRecordFrame(bytes.data(), static_cast<uint32_t>(bytes.size()), 2,
                                          clip.frames[i].key ? 0 : 1, clip.width, clip.height);
    if (written >= 0 && took == 1 && write(written, "f", 1) != 1) _exit(3);
  }
}

clipgen::Clip smallClip() {
  clipgen::Options o;
  o.width = 160;
  o.height = 120;
  o.frames = 50;
  clipgen::Clip clip;
  std::string error;
  EXPECT_TRUE(clipgen::generate(o, &clip, &error)) << error;
  return clip;
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder)) files.push_back(e.path());
  return files;
}

TEST(AviCrash, RecordingKilledAfterTenSecondsPlaysAtLeastSevenOfThem) {
  const clipgen::Clip clip = smallClip();
  ASSERT_FALSE(clip.frames.empty());
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

  const std::vector<std::string> files = filesIn(dir.path);
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

// Killed 0.3 s after its first frame, long before the header is first brought up to date:
// the header already says what the stream is, so libavformat opens the file and every frame
// the recorder took decodes.
TEST(AviCrash, RecordingKilledInItsFirstMomentOpensAndEveryFrameDecodes) {
  const clipgen::Clip clip = smallClip();
  ASSERT_FALSE(clip.frames.empty());
  TempDir dir;
  int written[2];
  ASSERT_EQ(pipe(written), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(written[0]);
    recordForever(clip, dir.file("cam"), written[1]);
  }
  close(written[1]);
  pollfd first{written[0], POLLIN, 0};
  const bool started = poll(&first, 1, testsupport::kPatienceMs) == 1;
  if (started) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(child, SIGKILL);
  const testsupport::ChildEnd end = testsupport::WaitChild(child);
  ASSERT_TRUE(started) << "the recorder child took no frame";
  ASSERT_TRUE(end.Signalled()) << end.Describe();
  int took = 0;
  for (char c; read(written[0], &c, 1) == 1;) ++took;
  close(written[0]);
  ASSERT_GT(took, 1);

  // The first frame's size differs from the empty start: an empty file may come first.
  Demuxed best;
  int decoded = -1;
  for (const auto& f : filesIn(dir.path)) {
    const Demuxed d = demux(f);
    EXPECT_TRUE(d.opened) << f;
    if (d.videoPackets <= best.videoPackets) continue;
    best = d;
    decoded = decodedFrames(f);
  }
  EXPECT_EQ(best.videoTag, fourcc("H264"));
  EXPECT_EQ(best.width, 160);
  EXPECT_EQ(best.height, 120);
  EXPECT_GE(decoded, took) << best.videoPackets << " packets read";
}

}  // namespace
