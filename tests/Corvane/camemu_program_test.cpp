// The emulator's command-line program serves a camera that a session can log in to.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "plat/socket.h"
#include "session_fixture.h"

using namespace cvtest;

TEST(CamEmuProgram, ServesACameraASessionLogsInTo) {
  const auto exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "camemu";
  ASSERT_TRUE(std::filesystem::exists(exe)) << exe;
  const uint16_t port = deadPort();
  const std::string portText = std::to_string(port);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    execl(exe.c_str(), "camemu", "--port", portText.c_str(), "--seconds", "120", nullptr);
    _exit(127);
  }
  // Wait (bounded) until it listens.
  bool up = false;
  for (int i = 0; i < 200 && !up; ++i) {
    up = plat::connectTcp("127.0.0.1", port, 1000).valid();
    if (!up) usleep(20000);
  }
  if (up) {
    IpcLoginInfo li = makeLogin(port, true);
    IPC_HANDLE h = IPC_SessionOpen(&li);
    EXPECT_NE(h, nullptr);
    uint8_t factory[kIpcFactoryParamSize] = {};
    EXPECT_EQ(IPC_GetFactoryParam(h, factory), 1);
    EXPECT_EQ(IPC_SessionClose(h), 1);
    IpcLoginInfo wrong = makeLogin(port, true, "admin", "guess");
    EXPECT_EQ(IPC_SessionOpen(&wrong), nullptr);
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(up);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
