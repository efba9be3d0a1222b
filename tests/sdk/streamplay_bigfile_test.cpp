// A recording longer than memory should hold: the player reads it from disk as it plays, so
// a file over 1 GiB plays to its end while the process's memory stays where it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "StreamPlay.h"
#include "dvremu/stream.h"
#include "plat/audio.h"
#include "plat/clock.h"
#include "plat/surface.h"
#include "plat/window.h"
#include "support/TestFolder.h"

namespace {

uint64_t ResidentBytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return static_cast<uint64_t>(resident) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

struct Folder {
  std::filesystem::path path;
  Folder() {
    path = testsupport::NewTestFolder();
  }
  ~Folder() { std::filesystem::remove_all(path); }
};

TEST(StreamPlayBigFile, AFileOverOneGibPlaysToItsEndInFlatMemory) {
  plat::setAudioBackend(plat::AudioBackendKind::Null);
  plat::setTimeScale(0.001);
  dvremu::StreamClip clip;
  std::string error;
  ASSERT_TRUE(dvremu::generatedClip(false, 160, 120, 10, 25, false, &clip, &error)) << error;

  // One block: a picture and sixteen long sound frames (about 1 MiB), repeated past 1 GiB.
  Folder dir;
  const std::string path = (dir.path / "long.rec").string();
  const size_t kBlocks = 1040;
  {
    std::ofstream out(path, std::ios::binary);
    const auto header = dvremu::streamHeader(clip);
    out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    dvremu::StreamFrame sound;
    sound.video = false;
    sound.codec = 1;
    sound.bytes.assign(64 * 1024 - 16, 0xFF);
    for (size_t b = 0; b < kBlocks && out; ++b) {
      std::vector<uint8_t> block;
      dvremu::StreamFrame picture = clip.frames[b % clip.frames.size()];
      picture.timestamp = static_cast<uint32_t>(b * 40);
      const auto p = dvremu::frameBytes(picture);
      block.insert(block.end(), p.begin(), p.end());
      sound.timestamp = picture.timestamp;
      const auto s = dvremu::frameBytes(sound);
      for (int i = 0; i < 16; ++i) block.insert(block.end(), s.begin(), s.end());
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    }
    ASSERT_TRUE(out.good());
  }
  ASSERT_GT(std::filesystem::file_size(path), uint64_t{1} << 30);

  plat::WindowHandle wnd = plat::registerWindow([](uint32_t, uintptr_t, intptr_t) { return 0; },
                                                std::make_shared<plat::QueueDispatcher>());
  plat::setWindowClientSize(wnd, 160, 120);
  int32_t port = -1;
  ASSERT_EQ(SPlay_GetPort2(&port), 1);
  const uint64_t before = ResidentBytes();
  ASSERT_EQ(SPlay_OpenFile(port, path.c_str()), 1);
  ASSERT_EQ(SPlay_Play(port, wnd), 1);
  for (int i = 0; i < 4; ++i) SPlay_Fast(port);
  uint64_t peak = ResidentBytes();
  float pos = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  while (SPlay_GetPlayPos(port, &pos) == 1 && pos < 1.0f && std::chrono::steady_clock::now() < end) {
    peak = std::max(peak, ResidentBytes());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_FLOAT_EQ(pos, 1.0f);  // every frame was taken
  plat::PresentedPicture shown;
  EXPECT_TRUE(plat::lastPresented(wnd, &shown));
  EXPECT_LT(peak - before, uint64_t{64} << 20) << "memory grew with the file";
  EXPECT_EQ(SPlay_Stop(port), 1);
  EXPECT_EQ(SPlay_CloseFile(port), 1);
  SPlay_FreePort(port);
  plat::unregisterWindow(wnd);
  plat::setTimeScale(1.0);
}

}  // namespace
