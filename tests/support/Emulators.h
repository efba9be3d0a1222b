#pragma once
// The camera and recorder emulators as child processes of the test (the programs `camemu`
// and `dvremu` next to the test binary), so that a test can stop, kill, freeze and restart
// them as a real device goes away and comes back.
//
//   testsupport::EmulatorProcess cam(testsupport::EmulatorProcess::kCamera, folder);
//   ASSERT_TRUE(cam.Start());            // service port 0: a free port, read back
//   cam.Port();                          // the TCP service port
//   cam.SearchPort();                    // its LAN search answerer (UDP, a port of its own)
//   cam.Freeze(); cam.Resume();          // SIGSTOP (all threads stopped) / SIGCONT
//   cam.Stop(); cam.Start();             // ended (SIGTERM), started again on the same ports
//   cam.Kill();                          // SIGKILL: gone without closing its sockets itself
//   cam.WaitForLog([](auto& lines) { return lines.size() > 3; });
//
// The camera streams a 50-frame H.264 test pattern (clipgen: each picture carries its frame
// number) unless `args` name a --clip of their own; the recorder streams its own pattern.
//
// Every request the emulator receives is appended to its log (`LogLines()`, a file in the
// given folder): the camera writes "open <channel>" for a channel open and "msg <channel>
// <code> <argument> <option> <payload hex>" for a control message; the recorder writes "req
// <connection> <command> <handle> <status> <payload hex>". The log is written every 100 to
// 200 ms, so read it through WaitForLog. What the program printed is in Printed(), its error
// output in the file LogPath() + ".err".
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

class EmulatorProcess {
 public:
  enum Kind { kCamera, kRecorder };

  // `folder` holds the log (and nothing else); `args` go on the command line as they are
  // (say {"--user", "u", "--password", "p"} or {"--alarm-every", "5"}).
  EmulatorProcess(Kind kind, std::string folder, std::vector<std::string> args = {});
  ~EmulatorProcess();  // killed when still running
  EmulatorProcess(const EmulatorProcess&) = delete;
  EmulatorProcess& operator=(const EmulatorProcess&) = delete;

  // The first start takes free ports; later starts take the same ones again. False when the
  // program is missing or printed no port within the patience.
  bool Start();
  bool Stop();     // SIGTERM and waits; false when it was not running or ended abnormally
  void Kill();     // SIGKILL and waits
  bool Freeze();   // SIGSTOP; true once every thread of it is stopped
  void Resume();   // SIGCONT
  bool Restart() { return Stop() && Start(); }
  bool Running() const { return pid_ > 0; }

  uint16_t Port() const { return port_; }
  uint16_t SearchPort() const { return searchPort_; }
  pid_t Pid() const { return pid_; }
  const std::string& LogPath() const { return logPath_; }
  std::vector<std::string> LogLines() const;
  // Lines of the log starting with `prefix` (say "msg 0 " or "req ").
  std::vector<std::string> LogLines(const std::string& prefix) const;
  // Waits (real time, bounded) until `done` holds for the log's lines.
  bool WaitForLog(const std::function<bool(const std::vector<std::string>&)>& done, int realMs = 30000) const;
  // What the program printed so far (read on demand).
  std::string Printed();

 private:
  void ReadOutput();

  Kind kind_;
  std::string folder_, logPath_;
  std::vector<std::string> args_;
  pid_t pid_ = -1;
  int output_ = -1;
  uint16_t port_ = 0, searchPort_ = 0;
  std::string printed_;
};

// The "<address>:<port>" list of LAN search answerers a search should probe, for the search
// library's target variable (so a scan finds these emulators and no one else's).
std::string SearchTargets(const std::vector<const EmulatorProcess*>& emulators);

}  // namespace testsupport
