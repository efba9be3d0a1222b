// Recording onto a real file system that fills up (a small memory-backed one, mounted in a
// mount namespace of the child's own where the machine allows it): the disk's refusal ends
// the recording with a playable file.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "avi_readback.h"
#include "clipgen/clipgen.h"
#include "record/avi_recorder.h"
#include "support/ChildProcess.h"

namespace {

using namespace avitest;

constexpr int kNoMount = 77;

// In the child: mounts 256 KiB at `disk`, records until the disk refuses, copies what was
// recorded out to `keep`. Exit 0 when the failure was reported as a full disk.
[[noreturn]] void recordOntoSmallDisk(const clipgen::Clip& clip, const std::string& disk,
                                      const std::string& keep) {
  if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0)
    _exit(kNoMount);
  corvane::AviRecorder rec;
  int failure = 0;
  std::string file;
  rec.SetFailureHook([&](int error) { failure = error; });
  rec.SetClosedFileHook([&](const uint8_t* r, size_t) { file = reinterpret_cast<const char*>(r + 16); });
  if (rec.StartRecord(disk + "/cam") != 1) _exit(2);
  for (size_t n = 0; n < 100000 && rec.IsRecording(); ++n) {
    const size_t i = n % clip.frames.size();
    const auto bytes = clip.frameBytes(i);
    rec.WriteRecordFrame(bytes.data(), static_cast<uint32_t>(bytes.size()), 2,
                         clip.frames[i].key ? 0 : 1, clip.width, clip.height);
  }
  std::error_code ec;
  std::filesystem::copy_file(file, keep, ec);
  _exit(failure == ENOSPC && !ec ? 0 : 3);
}

TEST(AviFullDisk, ARealFileSystemFillingUpEndsTheRecordingWithAPlayableFile) {
  clipgen::Options o;
  o.width = 160;
  o.height = 120;
  o.frames = 25;
  clipgen::Clip clip;
  std::string error;
  ASSERT_TRUE(clipgen::generate(o, &clip, &error)) << error;
  TempDir dir;
  const std::string disk = dir.file("disk"), keep = dir.file("kept.avi");
  std::filesystem::create_directory(disk);

  const testsupport::ChildEnd end = testsupport::RunForked([&] {
    recordOntoSmallDisk(clip, disk, keep);
    return 0;
  });
  ASSERT_TRUE(end.Exited()) << end.Describe();
  if (end.ExitCode() == kNoMount) GTEST_SKIP() << "no small file system can be mounted here";
  ASSERT_EQ(end.ExitCode(), 0) << "the full disk was not reported as such";

  auto avi = parse(keep);
  EXPECT_EQ(avi.error, "");
  EXPECT_LE(avi.bytes.size(), 256u * 1024);
  const Demuxed d = demux(keep);
  EXPECT_TRUE(d.opened);
  EXPECT_GT(d.videoPackets, 10);
}

}  // namespace
