// The emulator's command-line program serves a camera that a session can log in to.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "camemu/program.h"
#include "plat/socket.h"
#include "session_fixture.h"
#include "stream_fixture.h"

using namespace cvtest;

TEST(CamEmuProgram, ServesACameraASessionLogsInTo) {
  const auto exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "camemu";
  ASSERT_TRUE(std::filesystem::exists(exe)) << exe;
  // The program picks a free port itself and prints it: no port is chosen here and then
  // lost to another process before the program binds it.
  camemu::Program emu = camemu::startProgram(exe.string(), {"--seconds", "120"});
  const bool up = emu.port != 0 && plat::connectTcp("127.0.0.1", emu.port, 5000).valid();
  if (up) {
    IpcLoginInfo li = makeLogin(emu.port, true);
    IPC_HANDLE h = IPC_SessionOpen(&li);
    EXPECT_NE(h, nullptr);
    uint8_t factory[kIpcFactoryParamSize] = {};
    EXPECT_EQ(IPC_GetFactoryParam(h, factory), 1);
    EXPECT_EQ(IPC_SessionClose(h), 1);
    IpcLoginInfo wrong = makeLogin(emu.port, true, "admin", "guess");
    EXPECT_EQ(IPC_SessionOpen(&wrong), nullptr);
  }
  const int status = camemu::stopProgram(emu);
  ASSERT_TRUE(up);
  EXPECT_EQ(status, 0) << "ends cleanly when asked";
}

// More live streams than the default four, on a port the system picks, with frame times
// that are the wall-clock send times; one stream beyond the limit is refused.
TEST(CamEmuProgram, ServesTheLiveStreamsItsCommandLineAllows) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("camemu_program_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string clipPath = (dir / "clip.264").string();
  clipgen::Options o;
  o.frames = 10;
  clipgen::Clip clip;
  ASSERT_TRUE(clipgen::generate(o, &clip));
  ASSERT_TRUE(clipgen::writeClip(clip, clipPath));
  const auto exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "camemu";
  camemu::Program emu =
      camemu::startProgram(exe.string(), {"--clip", clipPath, "--streams", "6", "--wall-clock"});
  ASSERT_GT(emu.pid, 0);
  ASSERT_GT(emu.port, 0);
  IpcLoginInfo li = makeLogin(emu.port, true);
  HookLog events;
  IPC_HANDLE session = IPC_SessionOpen(&li);
  ASSERT_NE(session, nullptr);
  IPC_SetSessionHook(session, HookLog::hook, &events);
  constexpr int kStreams = 7;
  FrameLog logs[kStreams];
  IPC_HANDLE streams[kStreams];
  for (int i = 0; i < kStreams; ++i) {
    streams[i] = IPC_StreamOpen(session, 0, 0, 0);
    ASSERT_NE(streams[i], nullptr);
    IPC_SetStreamHook(streams[i], FrameLog::hook, &logs[i]);
  }
  auto withFrames = [&] {
    int n = 0;
    for (const FrameLog& l : logs) n += l.size() > 0;
    return n;
  };
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while ((withFrames() < 6 || events.count(kIpcEvVideoFull) == 0) &&
         std::chrono::steady_clock::now() < until)
    usleep(20000);
  EXPECT_EQ(withFrames(), 6);
  EXPECT_GE(events.count(kIpcEvVideoFull), 1);
  for (const FrameLog& l : logs) {
    if (l.size() == 0) continue;
    const long age = static_cast<long>(time(nullptr)) - static_cast<long>(l.frames()[0].seconds);
    EXPECT_LT(std::labs(age), 3600) << "frame times are the time of sending";
  }
  for (IPC_HANDLE s : streams) IPC_StreamClose(s);
  IPC_SessionClose(session);
  EXPECT_EQ(camemu::stopProgram(emu), 0);
  std::filesystem::remove_all(dir);
}
