// A recorder that freezes (its process stopped) while four live views run on one login: the
// first unanswered request costs one reply time, the loss is reported once, and from then on
// every request on the login, the four stops included, gives up at once.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "fixture.h"

using namespace saxtrum_test;

namespace {

// The emulator program in a process of its own, so that it can be frozen with SIGSTOP.
class EmulatorProcess {
 public:
  bool start() {
    const auto exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "dvremu";
    if (!std::filesystem::exists(exe)) return false;
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      execl(exe.c_str(), "dvremu", "--port", "0", nullptr);
      _exit(127);
    }
    close(fds[1]);
    // The first line names the port it listens on.
    FILE* out = fdopen(fds[0], "r");
    char line[128] = {};
    unsigned port = 0;
    const bool ok = out && fgets(line, sizeof line, out) &&
                    std::sscanf(line, "dvremu listening on 127.0.0.1:%u", &port) == 1;
    if (out) fclose(out);
    port_ = static_cast<uint16_t>(port);
    return ok && port_ != 0;
  }
  void signal(int sig) {
    if (pid_ > 0) kill(pid_, sig);
  }
  // A stop takes effect thread by thread: true once every thread of it is stopped.
  bool waitStopped() {
    for (int i = 0; i < 1000; ++i) {
      bool all = true;
      const auto tasks = std::filesystem::path("/proc") / std::to_string(pid_) / "task";
      for (const auto& t : std::filesystem::directory_iterator(tasks)) {
        FILE* f = std::fopen((t.path() / "stat").c_str(), "r");
        char state = '?';
        if (f) {
          // "pid (name) S ...": the state follows the last ')'.
          char buf[512] = {};
          const size_t n = std::fread(buf, 1, sizeof buf - 1, f);
          std::fclose(f);
          const char* close = std::strrchr(buf, ')');
          if (n && close && close[1] == ' ') state = close[2];
        }
        if (state != 'T' && state != 't') all = false;
      }
      if (all) return true;
      usleep(5000);
    }
    return false;
  }
  ~EmulatorProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGCONT);
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  uint16_t port() const { return port_; }

 private:
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

std::mutex g_mu;
std::map<int32_t, int> g_exceptions;  // per login
Counter g_lost;
std::map<int32_t, int> g_packets;  // per live handle
Counter g_data;

void onException(uint32_t type, int32_t userId, intptr_t, void*) {
  if (type != QX_DVR_EXCEPTION_DISCONNECT) return;
  {
    std::lock_guard<std::mutex> lock(g_mu);
    ++g_exceptions[userId];
  }
  g_lost.hit();
}

void onData(int32_t handle, uint32_t, uint8_t*, uint32_t, void*) {
  std::lock_guard<std::mutex> lock(g_mu);
  if (++g_packets[handle] == 5) g_data.hit();
}

double realMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
      .count();
}

}  // namespace

TEST(FrozenRecorder, LossIsReportedOnceAndStopsNoLongerWait) {
  // Reply wait 4000 product ms = 2 s here: long beside a stop that does not wait, short
  // enough for a test.
  plat::setTimeScale(0.5);
  const double replyRealMs = 4000 * plat::timeScale();
  EmulatorProcess emu;
  ASSERT_TRUE(emu.start());
  QX_DVR_Init();
  ASSERT_EQ(QX_DVR_SetExceptionCallBack(0, 0, &onException, nullptr), 1);
  const int32_t id = QX_DVR_Login("127.0.0.1", emu.port(), "admin", "12345", nullptr);
  ASSERT_GE(id, 0);
  int32_t views[4];
  for (int i = 0; i < 4; ++i) {
    QX_DVR_CLIENTINFO ci{i + 1, 0, 0};
    views[i] = QX_DVR_RealPlay(id, &ci, 0, 0, 1);
    ASSERT_GE(views[i], 0);
    ASSERT_EQ(QX_DVR_SetRealDataCallBack(views[i], &onData, nullptr), 1);
  }
  ASSERT_TRUE(g_data.waitFor(4)) << "all four views receive pictures";

  emu.signal(SIGSTOP);
  ASSERT_TRUE(emu.waitStopped());
  // The first request the frozen device leaves unanswered costs one reply time and fails ...
  uint32_t b, c, s, h;
  EXPECT_EQ(QX_DVR_ClientGetVideoEffect(views[0], &b, &c, &s, &h), 0);
  // ... and the login is reported lost through the exception callback.
  ASSERT_TRUE(g_lost.waitFor(1));

  // Stopping all four windows now takes less than one reply time (each used to wait a whole
  // one). The device never answered: the stops report failure, but their slots and players
  // are free.
  const auto stopStart = std::chrono::steady_clock::now();
  for (int32_t v : views) EXPECT_EQ(QX_DVR_StopRealPlay(v), 0);
  EXPECT_LT(realMs(stopStart), replyRealMs);
  for (int32_t v : views) EXPECT_EQ(QX_DVR_GetRealPlayerIndex(v), 0) << "slot released";

  // Later requests on the lost login fail at once too, and the logout frees the login.
  const auto laterStart = std::chrono::steady_clock::now();
  QX_DVR_CLIENTINFO ci{1, 0, 0};
  EXPECT_EQ(QX_DVR_RealPlay(id, &ci, 0, 0, 1), -1);
  EXPECT_EQ(QX_DVR_Logout(id), 1);
  EXPECT_LT(realMs(laterStart), replyRealMs);

  plat::sleepMs(500);  // a second report would come from the receive thread meanwhile
  {
    std::lock_guard<std::mutex> lock(g_mu);
    EXPECT_EQ(g_exceptions.size(), 1u);
    EXPECT_EQ(g_exceptions[id], 1) << "one report per login";
  }

  // Once the device runs again, a new login works as before.
  emu.signal(SIGCONT);
  const int32_t again = QX_DVR_Login("127.0.0.1", emu.port(), "admin", "12345", nullptr);
  EXPECT_GE(again, 0);
  EXPECT_EQ(QX_DVR_Logout(again), 1);
  QX_DVR_Cleanup();
  plat::setTimeScale(1.0);
}
