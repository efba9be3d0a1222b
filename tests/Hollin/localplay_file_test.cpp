// The file player of IP-camera and NVR recordings, over AVI files made by the camera
// library's recorder.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <thread>

#include "localplay/FileLocalPlayback.h"
#include "localplay/LocalPlayback.h"
#include "localplay_fixture.h"

using namespace localplay_test;
using hollin::localplay::PlayState;

namespace {

struct FilePlaybackTest : QuickClock {
  static void SetUpTestSuite() {
    dir = new TempDir();
    file = Record(*dir, "cam", 50);  // two seconds
  }
  static void TearDownTestSuite() {
    delete dir;
    dir = nullptr;
  }
  static TempDir* dir;
  static std::string file;
  Window wnd;
  CDevFileLocalPlayback player;
};
TempDir* FilePlaybackTest::dir = nullptr;
std::string FilePlaybackTest::file;

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}

TEST_F(FilePlaybackTest, OpensPausedOnTheFirstPictureWithItsLength) {
  ASSERT_FALSE(file.empty());
  ASSERT_EQ(player.Open(file.c_str(), wnd.handle), 1);
  EXPECT_EQ(wnd.FrameShown(), 0);
  EXPECT_EQ(player.Player()->State(), PlayState::Paused);
  EXPECT_EQ(player.GetTotalTime(), 2);
  EXPECT_EQ(player.GetPlayedTime(), 0);
  EXPECT_FLOAT_EQ(player.GetPlayPos(), 0.0f);
  // Opened silent.
  EXPECT_EQ(player.Player()->Volume(), -10000);
}

TEST_F(FilePlaybackTest, PositionsAsFractionsOfTheFile) {
  ASSERT_EQ(player.Open(file.c_str(), wnd.handle), 1);
  ASSERT_EQ(player.SetPlayPos(0.5f), 1);
  EXPECT_EQ(wnd.FrameShown(), 25);
  EXPECT_NEAR(player.GetPlayPos(), 0.5f, 0.001f);
  EXPECT_EQ(player.GetPlayedTime(), 1);
  // Between key frames the picture at the time is decoded, not the key frame before it.
  ASSERT_EQ(player.SetPlayPos(0.74f), 1);
  EXPECT_EQ(wnd.FrameShown(), 37);
  // Out-of-range fractions are held to the file.
  ASSERT_EQ(player.SetPlayPos(-3.0f), 1);
  EXPECT_EQ(wnd.FrameShown(), 0);
  ASSERT_EQ(player.SetPlayPos(7.0f), 1);
  EXPECT_EQ(wnd.FrameShown(), 49);
}

TEST_F(FilePlaybackTest, StepsOnePictureForwardAndBack) {
  ASSERT_EQ(player.Open(file.c_str(), wnd.handle), 1);
  ASSERT_EQ(player.Step(), 1);
  ASSERT_EQ(player.Step(), 1);
  EXPECT_EQ(wnd.FrameShown(), 2);
  ASSERT_EQ(player.SetPlayPos(0.5f), 1);
  ASSERT_EQ(player.StepBack(), 1);
  EXPECT_EQ(wnd.FrameShown(), 24);
  // Back across a key frame (frame 20) to the picture before it.
  ASSERT_EQ(player.SetPlayPos(20 / 50.0f), 1);
  ASSERT_EQ(player.StepBack(), 1);
  EXPECT_EQ(wnd.FrameShown(), 19);
  ASSERT_EQ(player.Step(), 1);
  EXPECT_EQ(wnd.FrameShown(), 20);
  // Nothing before the first picture.
  ASSERT_EQ(player.SetPlayPos(0), 1);
  EXPECT_EQ(player.StepBack(), 0);
  EXPECT_EQ(wnd.FrameShown(), 0);
  EXPECT_EQ(player.Player()->State(), PlayState::Paused);
}

TEST_F(FilePlaybackTest, PlaysToTheEndAndStopsBackOnTheFirstPicture) {
  ASSERT_EQ(player.Open(file.c_str(), wnd.handle), 1);
  ASSERT_EQ(player.Play(0), 1);
  EXPECT_EQ(player.Play(0), 1);  // already running
  EXPECT_TRUE(Eventually([&] { return wnd.FrameShown() == 49; }));
  // The last picture starts at 49/50 of the file; once nothing follows it the player is at
  // its end and says so, so a page polling the position sees the end.
  EXPECT_TRUE(Eventually([&] { return player.GetPlayPos() == 1.0f; }));
  ASSERT_EQ(player.Stop(), 1);
  EXPECT_EQ(player.GetPlayPos(), 0.0f);
  EXPECT_EQ(wnd.FrameShown(), 0);
  EXPECT_EQ(player.Player()->State(), PlayState::Stopped);
  ASSERT_EQ(player.Pause(1), 1);
  EXPECT_EQ(player.Player()->State(), PlayState::Paused);
}

// A picture the playing thread had already timed must not land after Stop put the first
// picture back: once the player is closed, the window still shows the first picture.
TEST_F(FilePlaybackTest, StopWhilePlayingIsNotUndoneByALatePicture) {
  int stopped = 0;
  for (int round = 0; round < 40; ++round) {
    CDevFileLocalPlayback p;
    ASSERT_EQ(p.Open(file.c_str(), wnd.handle), 1);
    // Another reader of the player (the UI asking for the position) keeps the picture lock
    // busy, so the playing thread often waits for it with a picture in hand.
    std::atomic<bool> done{false};
    std::thread reader([&] {
      for (int i = 0; i < 1000000 && !done; ++i) p.GetPlayPos();
    });
    ASSERT_EQ(p.Play(0), 1);
    const bool moving = Eventually([&] { return wnd.FrameShown() >= 2; });
    if (!moving || wnd.FrameShown() >= 45) {  // too near the end to be stopped while running
      done = true;
      reader.join();
      continue;
    }
    const bool stoppedOk = p.Stop() == 1;
    done = true;
    reader.join();
    ASSERT_TRUE(stoppedOk);
    ASSERT_EQ(p.Close(), 1);  // the playing thread has ended here
    ASSERT_EQ(wnd.FrameShown(), 0) << "round " << round;
    ++stopped;
  }
  EXPECT_GT(stopped, 0);
}

TEST_F(FilePlaybackTest, RatesDoubleAndHalveAndThePlayerRefusesWhatItCannotFollow) {
  ASSERT_EQ(player.Open(file.c_str(), wnd.handle), 1);
  ASSERT_EQ(player.Fast(), 1);
  ASSERT_EQ(player.Fast(), 1);
  ASSERT_EQ(player.Fast(), 1);
  EXPECT_DOUBLE_EQ(player.Player()->Rate(), 8.0);
  EXPECT_EQ(player.Player()->State(), PlayState::Running);
  ASSERT_EQ(player.Slow(), 1);
  EXPECT_DOUBLE_EQ(player.Player()->Rate(), 0.5);
  // The two rates are independent and go on doubling and halving; beyond 16 (or below 1/16)
  // the player refuses and plays on at the rate it had.
  EXPECT_EQ(player.Fast(), 1);
  EXPECT_EQ(player.Fast(), 0);
  EXPECT_DOUBLE_EQ(player.FastRate(), 32.0);
  EXPECT_DOUBLE_EQ(player.Player()->Rate(), 16.0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(player.Slow(), 1);
  EXPECT_EQ(player.Slow(), 0);
  EXPECT_DOUBLE_EQ(player.SlowRate(), 1.0 / 32);
  EXPECT_DOUBLE_EQ(player.Player()->Rate(), 1.0 / 16);
  EXPECT_EQ(player.Player()->State(), PlayState::Running);
}

TEST_F(FilePlaybackTest, VolumeMapsToHundredthsOfADecibel) {
  ASSERT_EQ(player.Open(file.c_str(), wnd.handle), 1);
  player.SetVolume(100);
  EXPECT_EQ(player.Player()->Volume(), 0);
  player.SetVolume(0);
  EXPECT_EQ(player.Player()->Volume(), -10000);
  player.SetVolume(60);
  EXPECT_EQ(player.Player()->Volume(), -4000);
  player.SetVolume(250);
  EXPECT_EQ(player.Player()->Volume(), 0);
  player.StopSound();
  EXPECT_EQ(player.Player()->Volume(), -10000);
  player.PlaySound();
  EXPECT_EQ(player.Player()->Volume(), 0);
  EXPECT_EQ(hollin::localplay::LinearLevel(0), 0xFFFF);
  EXPECT_EQ(hollin::localplay::LinearLevel(-10000), 0);
  EXPECT_EQ(hollin::localplay::LinearLevel(-600), 32845);  // -6 dB is about half
}

TEST_F(FilePlaybackTest, SoundReachesTheDeviceAtTheNormalRate) {
  ASSERT_EQ(player.Open(file.c_str(), wnd.handle), 1);
  player.PlaySound();
  ASSERT_EQ(player.Play(0), 1);
  EXPECT_TRUE(Eventually([&] {
    auto* dev = player.Player()->AudioDevice();
    return dev && dev->stats().playedBytes + dev->stats().queuedBytes > 0;
  }));
}

TEST_F(FilePlaybackTest, SnapshotIsABmpOfThePictureShown) {
  ASSERT_EQ(player.Open(file.c_str(), wnd.handle), 1);
  const std::string bmp = dir->file("shot.bmp");
  ASSERT_EQ(player.CapturePicture(bmp.c_str(), 1), 1);
  std::ifstream in(bmp, std::ios::binary);
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), {});
  ASSERT_GE(b.size(), 54u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(U32(b, 2), b.size());
  EXPECT_EQ(U32(b, 10), 54u);
  EXPECT_EQ(U32(b, 14), 40u);
  EXPECT_EQ(U32(b, 18), 320u);
  EXPECT_EQ(U32(b, 22), 240u);
  EXPECT_EQ(b[28], 24);
  EXPECT_EQ(b.size(), 54u + 320 * 240 * 3);
  EXPECT_EQ(player.CapturePicture(nullptr, 1), 0);
  EXPECT_EQ(player.CapturePicture(dir->file("no/such/dir.bmp").c_str(), 1), 0);
}

TEST_F(FilePlaybackTest, WithoutAFileEveryOperationFailsQuietly) {
  EXPECT_FLOAT_EQ(player.GetPlayPos(), 0.0f);
  EXPECT_EQ(player.Play(0), 0);
  EXPECT_EQ(player.Fast(), 0);
  EXPECT_EQ(player.SetPlayPos(0.5f), 0);
  EXPECT_EQ(player.GetTotalTime(), 0);
  EXPECT_EQ(player.Close(), 1);
  EXPECT_EQ(player.Open(dir->file("missing.avi").c_str(), wnd.handle), 0);
  const std::string junk = dir->file("junk.avi");
  {
    std::ofstream out(junk, std::ios::binary);
    out << "RIFF\x10\0\0\0AVI LIST garbage that is no recording";
  }
  EXPECT_EQ(player.Open(junk.c_str(), wnd.handle), 0);
  EXPECT_EQ(player.Open(nullptr, wnd.handle), 0);
  EXPECT_EQ(player.OpenStream(nullptr, 0, 0), 0);
}

TEST_F(FilePlaybackTest, OpeningAgainReplacesAndDeletingReleases) {
  IDevLocalPlayback* p = MakeFileLocalPlayback();
  ASSERT_EQ(p->Open(file.c_str(), wnd.handle), 1);
  ASSERT_EQ(p->Play(0), 1);
  ASSERT_EQ(p->Open(file.c_str(), wnd.handle), 1);
  EXPECT_EQ(wnd.FrameShown(), 0);
  ASSERT_EQ(p->Play(0), 1);
  delete p;  // while playing, without Close: the thread ends and the file is let go
  const uint64_t serial = wnd.Serial();
  usleep(20000);
  EXPECT_EQ(wnd.Serial(), serial);
}

TEST_F(FilePlaybackTest, PlaysMpeg4RecordingsAndWindowlessPlayers) {
  const std::string mp4 = Record(*dir, "mp4cam", 12, clipgen::Codec::Mpeg4, false);
  ASSERT_FALSE(mp4.empty());
  ASSERT_EQ(player.Open(mp4.c_str(), wnd.handle), 1);
  EXPECT_EQ(wnd.FrameShown(), 0);
  ASSERT_EQ(player.SetPlayPos(0.5f), 1);
  EXPECT_EQ(wnd.FrameShown(), 6);
  // A player without a window still keeps its place and takes snapshots.
  CDevFileLocalPlayback blind;
  ASSERT_EQ(blind.Open(mp4.c_str(), 0), 1);
  ASSERT_EQ(blind.Step(), 1);
  EXPECT_NEAR(blind.GetPlayPos(), 1 / 12.0f, 0.001f);
  EXPECT_EQ(blind.CapturePicture(dir->file("blind.bmp").c_str(), 1), 1);
}

}  // namespace
