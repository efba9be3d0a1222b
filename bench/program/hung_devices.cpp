// The program's UI thread while devices hang. The program (its own process, driven as in
// driven_program.cpp) plays four channels of the camera emulator and has four more windows
// on devices that accept a connection and then never answer or answer one byte every quarter
// second: a camera and a recorder of each kind, at addresses of their own on 127.0.0.0/8.
// The benchmark asks the program "count" every 50 ms and times each answer, which its UI
// thread gives: first with the hung devices' windows standing idle (the reference), then
// while those windows are opened again whenever they stand idle, so the devices are asked
// all the time. A UI thread that waited on a device would answer late by seconds.
#include "hung_devices.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_common.h"
#include "camemu/program.h"
#include "deadpeer/peer.h"
#include "devices/DevMgrModel.h"
#include "devices/DeviceManager.h"
#include "program_home.h"

namespace fs = std::filesystem;
using namespace benchprog;

namespace {

constexpr int kClipFrames = 100;
constexpr int kLiveWindows = 4;
constexpr int kReferenceSeconds = 10;
constexpr int kHungSeconds = 20;
constexpr int kAskEveryMs = 50;
constexpr char16_t kCameraGuid[] = u"BENCH-CAMERA";

struct Hung {
  const char16_t* name;
  const char* host;
  deadpeer::Device device;
  deadpeer::Mode mode;
  const char16_t* guid;
};
const Hung kHung[] = {
    {u"哑摄像机", "127.0.0.2", deadpeer::Device::Camera, deadpeer::Mode::Silent, u"BENCH-HUNG-1"},
    {u"慢摄像机", "127.0.0.3", deadpeer::Device::Camera, deadpeer::Mode::Trickle, u"BENCH-HUNG-2"},
    {u"哑录像机", "127.0.0.4", deadpeer::Device::Recorder, deadpeer::Mode::Silent, u"BENCH-HUNG-3"},
    {u"慢录像机", "127.0.0.5", deadpeer::Device::Recorder, deadpeer::Mode::Trickle, u"BENCH-HUNG-4"},
};

struct Answers {
  bool ok = false;
  std::vector<double> ms;  // one a "count"
  double paintedFps = 0;   // a live window, a second
};

// Asks "count" every kAskEveryMs for `seconds` (and "reopen" once a second when `reopen`).
Answers ask(bench::Child& program, int seconds, bool reopen) {
  Answers a;
  const auto t0 = std::chrono::steady_clock::now(), end = t0 + std::chrono::seconds(seconds);
  auto lastReopen = t0;
  long long firstPainted = -1, lastPainted = -1;
  auto firstAt = t0, lastAt = t0;
  while (std::chrono::steady_clock::now() < end) {
    if (reopen && std::chrono::steady_clock::now() - lastReopen >= std::chrono::seconds(1)) {
      if (!bench::writeLine(program, "reopen")) return a;
      lastReopen = std::chrono::steady_clock::now();
    }
    const auto asked = std::chrono::steady_clock::now();
    std::string rest;
    if (!bench::writeLine(program, "count") || !expect(program, "frames", &rest, 30000)) return a;
    const auto answered = std::chrono::steady_clock::now();
    a.ms.push_back(std::chrono::duration<double, std::milli>(answered - asked).count());
    long long v[5];
    if (std::sscanf(rest.c_str(), "%lld %lld %lld %lld %lld", &v[0], &v[1], &v[2], &v[3], &v[4]) == 5) {
      if (firstPainted < 0) firstPainted = v[2], firstAt = answered;
      lastPainted = v[2], lastAt = answered;
    }
    std::this_thread::sleep_until(asked + std::chrono::milliseconds(kAskEveryMs));
  }
  const double wall = std::chrono::duration<double>(lastAt - firstAt).count();
  a.ok = wall > 0 && a.ms.size() > 10;
  a.paintedFps = a.ok ? static_cast<double>(lastPainted - firstPainted) / wall / kLiveWindows : 0;
  return a;
}

double quantile(std::vector<double> v, double q) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())))];
}

void printAnswers(const char* what, const Answers& a, const std::string& meaning) {
  row(what, fmt("med %.1f, p95 %.1f, max %.0f", quantile(a.ms, 0.5), quantile(a.ms, 0.95), quantile(a.ms, 1.0)),
      meaning);
}

}  // namespace

bool RunHungDevicesCase(const fs::path& dir) {
  const clipgen::Clip clip = bench::makeClip(bench::kD1, kClipFrames);
  const std::string path = (dir / "hung-D1.264").string();
  clipgen::writeClip(clip, path);
  camemu::Program emu = camemu::startProgram(bench::selfDir() + "/camemu",
                                             {"--clip", path, "--streams", std::to_string(kLiveWindows + 1)});
  std::vector<std::unique_ptr<deadpeer::Peer>> peers;
  bool started = emu.pid > 0;
  for (const Hung& h : kHung) {
    deadpeer::Options o;
    o.device = h.device;
    o.mode = h.mode;
    o.intervalMs = 250;
    peers.push_back(std::make_unique<deadpeer::Peer>(o));
    started = started && peers.back()->start(0, h.host);
  }
  if (!started) {
    row("UI thread with 4 hung devices", "not measured", "the emulator or a hung device did not start");
    camemu::stopProgram(emu);
    return false;
  }
  const fs::path home = dir / "home-hung";
  seedHome(home, [&](CDevMgrModel& model, const std::u16string& region) {
    addDevice(model, u"Camera", u"127.0.0.1", emu.port, kLiveWindows, DEV_TYPE_IPC, kCameraGuid, region);
    for (size_t i = 0; i < std::size(kHung); ++i) {
      const std::string host = kHung[i].host;
      const bool camera = kHung[i].device == deadpeer::Device::Camera;
      addDevice(model, kHung[i].name, std::u16string(host.begin(), host.end()), peers[i]->port(), 1,
                camera ? DEV_TYPE_IPC : DEV_TYPE_DVR, kHung[i].guid, region);
    }
  });
  std::vector<std::pair<std::u16string, int>> windows;
  for (int c = 1; c <= kLiveWindows; ++c) windows.emplace_back(kCameraGuid, c);
  for (const Hung& h : kHung) windows.emplace_back(h.guid, 1);
  seedSavedPreviews(windows);
  unsetenv("TARNWICK_HOME");

  bench::Child program = bench::spawnChild(
      bench::selfDir() + "/bench_program", {"--drive", path, std::to_string(kLiveWindows)},
      programEnv(home, dir / "run-hung"), (dir / "hung.log").string());
  std::string rest;
  Answers reference, hung;
  bool ok = program.pid > 0 && expect(program, "opened", &rest, 120000) && std::atoi(rest.c_str()) == kLiveWindows;
  if (ok) {
    // The first opens of the hung devices end at their reply times; then the reference.
    std::this_thread::sleep_for(std::chrono::seconds(6));
    reference = ask(program, kReferenceSeconds, false);
    const int asked = [&] {
      int n = 0;
      for (const auto& p : peers) n += p->requests();
      return n;
    }();
    hung = ask(program, kHungSeconds, true);
    int askedSince = -asked;
    for (const auto& p : peers) askedSince += p->requests();
    ok = reference.ok && hung.ok && askedSince > 0;
  }
  bench::writeLine(program, "quit");
  bench::killChild(program);
  camemu::stopProgram(emu);
  for (auto& p : peers) p->stop();
  if (!ok) {
    row("UI thread with 4 hung devices", "not measured", "the program did not open its live windows or stopped answering");
    return false;
  }
  printAnswers("UI answer, live devices only (ms)", reference,
               fmt("\"count\" answered by the UI thread every %.0f ms over %.0f s; 4 live D1 windows", kAskEveryMs,
                   kReferenceSeconds));
  printAnswers("UI answer, 4 hung devices asked (ms)", hung,
               fmt("the same over %.0f s while a silent and a trickling camera and recorder are opened whenever "
                   "their windows stand idle",
                   kHungSeconds));
  row("  ratio of the p95s", fmt("%.2f x", quantile(hung.ms, 0.95) / std::max(0.001, quantile(reference.ms, 0.95))),
      "hung over live only (1.0 = the hung devices cost the UI thread nothing)");
  row("  live windows' frame rate", fmt("%.1f / %.1f", reference.paintedFps, hung.paintedFps),
      "pictures painted a second a live window, live only / with the hung devices (the camera sends 25)");
  return true;
}
