#include "support/Emulators.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "camemu/program.h"
#include "clipgen/clipgen.h"

namespace testsupport {

namespace fs = std::filesystem;

namespace {

constexpr int kPatienceMs = 30000;

// Every thread of the process stopped ("T" or "t" in its stat line).
bool AllThreadsStopped(pid_t pid) {
  std::error_code ec;
  const fs::path tasks = fs::path("/proc") / std::to_string(pid) / "task";
  for (const auto& t : fs::directory_iterator(tasks, ec)) {
    std::ifstream f(t.path() / "stat");
    std::string stat((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    // "pid (name) S ...": the state follows the last ')'.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size()) return false;
    const char state = stat[close + 2];
    if (state != 'T' && state != 't') return false;
  }
  return !ec;
}

}  // namespace

EmulatorProcess::EmulatorProcess(Kind kind, std::string folder, std::vector<std::string> args)
    : kind_(kind), folder_(std::move(folder)), args_(std::move(args)) {
  logPath_ = (fs::path(folder_) / (kind_ == kCamera ? "camemu.log" : "dvremu.log")).string();
}

EmulatorProcess::~EmulatorProcess() { Kill(); }

bool EmulatorProcess::Start() {
  if (pid_ > 0) return true;
  const fs::path exe =
      fs::read_symlink("/proc/self/exe").parent_path() / (kind_ == kCamera ? "camemu" : "dvremu");
  std::vector<std::string> args = {"--log", logPath_, "--search-port", std::to_string(searchPort_)};
  // A camera without a clip sends no pictures: it gets the numbered test pattern, as the
  // recorder emulator has its own.
  if (kind_ == kCamera && std::find(args_.begin(), args_.end(), "--clip") == args_.end()) {
    const std::string clipPath = (fs::path(folder_) / "camera.264").string();
    if (!fs::exists(clipPath)) {
      clipgen::Options o;
      o.frames = 50;
      clipgen::Clip clip;
      if (!clipgen::generate(o, &clip) || !clipgen::writeClip(clip, clipPath)) return false;
    }
    args.insert(args.end(), {"--clip", clipPath});
  }
  if (port_ != 0) args.insert(args.end(), {"--port", std::to_string(port_)});  // the later --port holds
  args.insert(args.end(), args_.begin(), args_.end());
  // The same port again right after a stop: the old listener's socket may linger a moment.
  for (int attempt = 0; attempt < 50; ++attempt) {
    camemu::Program p = camemu::startProgram(exe.string(), args, logPath_ + ".err");
    if (p.pid > 0) {
      pid_ = p.pid;
      output_ = p.output;
      port_ = p.port;
      printed_ += p.printed;
      break;
    }
    if (port_ == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (pid_ <= 0) return false;
  // The second line names the search port.
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  const char* kSearch = "LAN search on UDP 127.0.0.1:";
  while (printed_.find(kSearch) == std::string::npos && std::chrono::steady_clock::now() < end) {
    ReadOutput();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const size_t at = printed_.rfind(kSearch);
  unsigned udp = 0;
  if (at != std::string::npos && std::sscanf(printed_.c_str() + at + std::strlen(kSearch), "%u", &udp) == 1)
    searchPort_ = static_cast<uint16_t>(udp);
  return true;
}

void EmulatorProcess::ReadOutput() {
  if (output_ < 0) return;
  for (;;) {
    pollfd pf{output_, POLLIN, 0};
    if (poll(&pf, 1, 0) <= 0) return;
    char buf[512];
    const ssize_t n = read(output_, buf, sizeof buf);
    if (n <= 0) return;
    printed_.append(buf, static_cast<size_t>(n));
  }
}

std::string EmulatorProcess::Printed() {
  ReadOutput();
  return printed_;
}

bool EmulatorProcess::Stop() {
  if (pid_ <= 0) return false;
  ReadOutput();
  camemu::Program p;
  p.pid = pid_;
  p.output = output_;
  kill(pid_, SIGCONT);  // a frozen program could not end
  const int status = camemu::stopProgram(p);
  pid_ = -1;
  output_ = -1;
  return status == 0;
}

void EmulatorProcess::Kill() {
  if (pid_ <= 0) return;
  ReadOutput();
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  close(output_);
  pid_ = -1;
  output_ = -1;
}

bool EmulatorProcess::Freeze() {
  if (pid_ <= 0) return false;
  kill(pid_, SIGSTOP);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  while (!AllThreadsStopped(pid_)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void EmulatorProcess::Resume() {
  if (pid_ > 0) kill(pid_, SIGCONT);
}

std::vector<std::string> EmulatorProcess::LogLines() const { return LogLines(std::string()); }

std::vector<std::string> EmulatorProcess::LogLines(const std::string& prefix) const {
  std::vector<std::string> lines;
  std::ifstream f(logPath_);
  std::string line;
  // A line still being written has no end yet: only whole lines count.
  while (std::getline(f, line)) {
    if (f.eof()) break;
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  }
  return lines;
}

bool EmulatorProcess::WaitForLog(const std::function<bool(const std::vector<std::string>&)>& done,
                                 int realMs) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
  while (!done(LogLines())) {
    if (std::chrono::steady_clock::now() >= end) return done(LogLines());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string SearchTargets(const std::vector<const EmulatorProcess*>& emulators) {
  std::string out;
  for (const EmulatorProcess* e : emulators) {
    if (!e->SearchPort()) continue;
    if (!out.empty()) out += ',';
    out += "127.0.0.1:" + std::to_string(e->SearchPort());
  }
  return out;
}

}  // namespace testsupport
