// The closed-file hook acting on its own recorder while a file switch is under way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "avi_readback.h"
#include "record/avi_recorder.h"

namespace {

using corvane::AviRecorder;
using namespace avitest;

int video(AviRecorder& rec, int w, int h) {
  std::vector<uint8_t> f(300, 7);
  return rec.WriteRecordFrame(f.data(), static_cast<uint32_t>(f.size()), 2, 0, w, h);
}

// One second for the whole test: a file switch in it reuses the empty first file's name.
void holdTheClock(AviRecorder& rec) {
  corvane::RecordClock c;
  c.tickMs = [] { return 5000u; };
  c.unixTime = [] { return 1796738587u; };
  c.localTime = [] { return plat::LocalTime{2026, 12, 8, 14, 3, 7, 0, 2}; };
  rec.SetClock(c);
}

std::vector<std::string> aviFiles(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path))
    if (e.path().extension() == ".avi") names.push_back(e.path().filename().string());
  return names;
}

TEST(RecorderHook, StopFromTheHookOfASwitchedFileEndsTheRecording) {
  TempDir dir;
  AviRecorder rec;
  holdTheClock(rec);
  int announced = 0;
  // The first announced file is the empty one the first frame closes.
  rec.SetClosedFileHook([&](const uint8_t*, size_t) {
    if (++announced == 2) {
      EXPECT_EQ(rec.StopRecord(), 0);  // the file is already closed
    }
  });
  ASSERT_EQ(rec.StartRecord(dir.file("cam")), 1);
  ASSERT_EQ(video(rec, 704, 576), 1);
  EXPECT_EQ(video(rec, 352, 288), 0);  // the size change closes the file; the hook stops
  EXPECT_FALSE(rec.IsRecording());
  EXPECT_EQ(announced, 2);
  EXPECT_EQ(aviFiles(dir).size(), 1u);  // no further file begun after the stop
  EXPECT_EQ(video(rec, 352, 288), 0);
}

TEST(RecorderHook, RestartFromTheHookOfASwitchedFileTakesTheFrame) {
  TempDir dir;
  AviRecorder rec;
  holdTheClock(rec);
  int announced = 0;
  rec.SetClosedFileHook([&](const uint8_t*, size_t) {
    if (++announced == 2) {
      EXPECT_EQ(rec.StartRecord(dir.file("other")), 1);
    }
  });
  ASSERT_EQ(rec.StartRecord(dir.file("cam")), 1);
  ASSERT_EQ(video(rec, 704, 576), 1);
  EXPECT_EQ(video(rec, 352, 288), 1);
  ASSERT_TRUE(rec.IsRecording());
  const std::string restarted = rec.FileName();
  EXPECT_NE(restarted.find("/other_"), std::string::npos) << restarted;
  ASSERT_EQ(rec.StopRecord(), 1);
  // The first frame's empty file (whose name the next one took), the switched file and the
  // restarted one.
  EXPECT_EQ(announced, 3);
  EXPECT_EQ(aviFiles(dir).size(), 2u);
  auto d = demux(restarted);
  ASSERT_TRUE(d.opened);
  EXPECT_EQ(d.videoPackets, 1);
  EXPECT_EQ(d.width, 352);
}

}  // namespace
