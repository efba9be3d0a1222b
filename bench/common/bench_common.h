#pragma once
// Pieces every benchmark of the live picture needs: the clips the camera emulator streams,
// the reference they are measured against (a bare single-threaded libavcodec decode of the
// same frames, in the same run), CPU time of this process or of another one, and child
// processes spoken to line by line.
#include <sys/types.h>

#include <string>
#include <vector>

#include "clipgen/clipgen.h"

namespace bench {

inline constexpr int kFps = 25;

struct ClipCase {
  const char* name;
  int width, height, bitrate;
};
inline constexpr ClipCase kD1{"D1", 704, 576, 1500000};
inline constexpr ClipCase k1080{"1080p", 1920, 1080, 4000000};

// A clip of `frames` frames at 25 a second with a key frame every second; empty (and the
// reason on stderr) when the encoder refuses.
clipgen::Clip makeClip(const ClipCase& c, int frames);

// CPU seconds (user and system) this process has used.
double cpuSeconds();
// The same for another process, from /proc/<pid>/stat; -1 when it cannot be read.
double processCpuSeconds(pid_t pid);

// CPU seconds a bare single-threaded libavcodec decode of the clip needs per second of video
// at 25 frames a second: the cores one stream of it costs, decoded `passes` times over. With
// `streams` decoders fed in turn, frame by frame, as that many live streams arrive (each
// keeps its own pictures, so the caches hold what they would hold for a client of so many).
double bareCoresPerStream(const clipgen::Clip& clip, int passes = 3, int streams = 1);

// The folder of the running executable (where the other programs of the build lie).
std::string selfDir();

// A program started with its standard input and output on pipes; its standard error goes
// to the file `errPath`, to the output pipe when that is "-", or is inherited when empty.
struct Child {
  pid_t pid = -1;
  int in = -1;   // its standard input
  int out = -1;  // its standard output
  std::string pending;
};
// `env` entries ("NAME=value") are added to this process's environment for the child.
Child spawnChild(const std::string& exe, const std::vector<std::string>& args,
                 const std::vector<std::string>& env, const std::string& errPath = {});
// The next line the child writes, waiting up to `timeoutMs`; false on time-out or its end.
bool readLine(Child& child, std::string* line, int timeoutMs);
bool writeLine(Child& child, const std::string& line);
// Kills the child (SIGKILL) and reaps it.
void killChild(Child& child);

}  // namespace bench
