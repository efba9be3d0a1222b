#pragma once
// The emulator's program run as a process of its own (benchmarks measure the client alone;
// tests drive its command line).
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace camemu {

struct Program {
  pid_t pid = -1;
  uint16_t port = 0;
  int output = -1;  // its standard output, read until it ends
  std::string printed;  // what was read of the output while waiting for the port
};

// Starts the program at `exe` with `args` and "--port 0", and waits (up to 30 s) for the
// port it prints. pid -1 when it does not start or prints no port. Its error output goes to
// the file `errorPath` when one is given (appended).
Program startProgram(const std::string& exe, const std::vector<std::string>& args,
                     const std::string& errorPath = {});
// The video frames it has sent so far on all its connections (asked with SIGUSR1); -1 when
// it does not answer within `timeoutMs`.
long videoFramesSent(Program& program, int timeoutMs = 5000);
// Asks it to end (SIGTERM) and waits for it; its exit status, or -1.
int stopProgram(Program& program);

}  // namespace camemu
