#include "camemu/program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace camemu {

Program startProgram(const std::string& exe, const std::vector<std::string>& args, const std::string& errorPath) {
  Program p;
  int out[2];
  if (pipe(out) != 0) return p;
  std::vector<std::string> all = {"camemu", "--port", "0"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    close(out[0]);
    close(out[1]);
    return p;
  }
  if (pid == 0) {
    if (!errorPath.empty()) {
      const int err = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (err >= 0) dup2(err, STDERR_FILENO);
    }
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  // The first line names the port: "camemu: camera on 127.0.0.1:<port> ..." (or the NVR on
  // another loopback address).
  std::string line;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
    pollfd pf{out[0], POLLIN, 0};
    if (poll(&pf, 1, 100) <= 0) continue;
    char buf[256];
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  unsigned port = 0;
  const size_t at = line.find(" on 127.");
  if (at == std::string::npos || std::sscanf(line.c_str() + at, " on 127.%*u.%*u.%*u:%u", &port) != 1 ||
      port == 0 || port > 65535) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(out[0]);
    return p;
  }
  // Kept open: a program whose output is closed would die on its next line.
  p.output = out[0];
  p.pid = pid;
  p.port = static_cast<uint16_t>(port);
  p.printed = line;
  return p;
}

long videoFramesSent(Program& program, int timeoutMs) {
  if (program.pid <= 0 || program.output < 0) return -1;
  // Lines printed before (the search port) are passed over.
  program.printed.clear();
  kill(program.pid, SIGUSR1);
  const std::string prefix = "camemu: video frames sent ";
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    for (size_t nl; (nl = program.printed.find('\n')) != std::string::npos; program.printed.erase(0, nl + 1)) {
      const std::string line = program.printed.substr(0, nl);
      if (line.compare(0, prefix.size(), prefix) == 0) {
        program.printed.erase(0, nl + 1);
        return std::atol(line.c_str() + prefix.size());
      }
    }
    pollfd pf{program.output, POLLIN, 0};
    if (poll(&pf, 1, 50) <= 0) continue;
    char buf[256];
    const ssize_t n = read(program.output, buf, sizeof buf);
    if (n <= 0) return -1;
    program.printed.append(buf, static_cast<size_t>(n));
  }
  return -1;
}

int stopProgram(Program& program) {
  if (program.pid <= 0) return -1;
  kill(program.pid, SIGTERM);
  int status = 0;
  const pid_t r = waitpid(program.pid, &status, 0);
  program.pid = -1;
  close(program.output);
  program.output = -1;
  return r > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace camemu
