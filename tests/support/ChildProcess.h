#pragma once
// Child processes of a test, waited for within a bound in real time. A child still running
// when the bound runs out is killed (SIGKILL) and reaped, so a hung child fails its test
// instead of hanging the run, and leaves no process behind.
//
//   ChildRun run;                                  // this test binary again
//   run.filter = "LogFileChild.Writes";            // the one test the child runs
//   run.env = {{"TARNWICK_LOG", path}};            // set in the child only
//   run.stderrPath = "/dev/null";
//   const ChildEnd end = RunTestChild(run);
//   ASSERT_TRUE(end.Succeeded()) << end.Describe();
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/Wait.h"

extern char** environ;

namespace testsupport {

// How a child ended.
struct ChildEnd {
  bool ended = false;  // false: it outran its bound and was killed
  int status = 0;      // as waitpid gave it
  bool Exited() const { return ended && WIFEXITED(status); }
  int ExitCode() const { return Exited() ? WEXITSTATUS(status) : -1; }
  bool Signalled() const { return ended && WIFSIGNALED(status); }
  bool Succeeded() const { return ExitCode() == 0; }
  std::string Describe() const {
    if (!ended) return "the child did not end in time and was killed";
    if (Signalled()) return "the child was ended by signal " + std::to_string(WTERMSIG(status));
    return "the child exited with " + std::to_string(ExitCode());
  }
};

// Waits for `child` up to `realMs`; kills and reaps it when it is still running then.
inline ChildEnd WaitChild(pid_t child, int realMs = kPatienceMs) {
  ChildEnd end;
  if (child <= 0) return end;
  end.ended = Eventually([&] { return waitpid(child, &end.status, WNOHANG) == child; }, realMs);
  if (!end.ended) {
    kill(child, SIGKILL);
    waitpid(child, &end.status, 0);
  }
  return end;
}

// Runs `body` in a forked copy of this process and exits with what it returns; the child
// never returns into the test.
inline ChildEnd RunForked(const std::function<int()>& body, int realMs = kPatienceMs) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  return WaitChild(child, realMs);
}

// A run of a test binary as a child process.
struct ChildRun {
  std::string program;  // empty: this test binary
  std::string filter;   // the child's --gtest_filter
  std::vector<std::pair<std::string, std::string>> env;  // set (or replaced) in the child
  std::string stdoutPath, stderrPath;                    // empty: the test's own
  std::vector<int> defaultSignals;  // signals put back to the system's handling in the child
  int realMs = kPatienceMs;
};

inline ChildEnd RunTestChild(const ChildRun& run) {
  const std::string program =
      run.program.empty() ? std::filesystem::read_symlink("/proc/self/exe").string() : run.program;
  const std::string filter = "--gtest_filter=" + run.filter;
  // Everything the child needs is made before the fork: between fork and exec the child of a
  // threaded process may only make calls that take no locks.
  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e) {
    bool replaced = false;
    for (const auto& [name, value] : run.env)
      replaced = replaced || std::strncmp(*e, (name + "=").c_str(), name.size() + 1) == 0;
    if (!replaced) envText.emplace_back(*e);
  }
  for (const auto& [name, value] : run.env) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(filter.c_str()), nullptr};
  auto openFor = [](const std::string& path) {
    return path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  };
  const int out = openFor(run.stdoutPath), err = openFor(run.stderrPath);
  const pid_t child = fork();
  if (child == 0) {
    if ((!run.stdoutPath.empty() && (out < 0 || dup2(out, 1) < 0)) ||
        (!run.stderrPath.empty() && (err < 0 || dup2(err, 2) < 0)))
      _exit(126);
    for (int sig : run.defaultSignals) signal(sig, SIG_DFL);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  if (out >= 0) ::close(out);
  if (err >= 0) ::close(err);
  return WaitChild(child, run.realMs);
}

}  // namespace testsupport
