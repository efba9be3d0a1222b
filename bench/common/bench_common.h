#pragma once
// Pieces every benchmark of the live picture needs: the clips the camera emulator streams,
// the reference they are measured against (a bare single-threaded libavcodec decode of the
// same frames, in the same run), CPU time of this process or of another one and of its
// threads, and child
// processes spoken to line by line.
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "clipgen/clipgen.h"

namespace bench {

inline constexpr int kFps = 25;

struct ClipCase {
  const char* name;
  int width, height, bitrate;
  const char* preset;   // the encoder's
  const char* profile;  // empty: the preset's
  int gop;              // frames from one key frame to the next
};
// The cheapest stream to decode there is (no CABAC, no deblocking), a key frame a second.
inline constexpr ClipCase kD1{"D1", 704, 576, 1500000, "ultrafast", "", kFps};
inline constexpr ClipCase k1080{"1080p", 1920, 1080, 4000000, "ultrafast", "", kFps};
// Streams as cameras make them: main profile (CABAC, deblocking), no B-frames, a key frame
// every two seconds, at a camera's usual bit rates.
inline constexpr ClipCase kD1Camera{"D1-camera", 704, 576, 1500000, "veryfast", "main", 2 * kFps};
inline constexpr ClipCase k1080Camera{"1080p-camera", 1920, 1080, 4000000, "veryfast", "main", 2 * kFps};

// A clip of `frames` frames at 25 a second; empty (and the reason on stderr) when the encoder
// refuses.
clipgen::Clip makeClip(const ClipCase& c, int frames);

// CPU seconds (user and system) this process has used.
double cpuSeconds();
// The same for another process, from /proc/<pid>/stat; -1 when it cannot be read.
double processCpuSeconds(pid_t pid);

// One thread of another process as /proc shows it: the name it gave itself, its CPU seconds
// and its voluntary context switches (each wait that slept) so far.
struct ThreadSample {
  std::string name;
  double cpuSeconds = 0;
  long long voluntarySwitches = 0;
};
// What the threads of one name cost over a measurement: how many there were, their cores and
// their voluntary switches a second, all of them together.
struct ThreadKindCost {
  int threads = 0;
  double cores = 0, switchesPerSecond = 0;
};
// The threads of another process followed through a measurement: sampled at its start, now
// and then during it, and at its end. A thread born meanwhile (a timer started again) counts
// from nothing, one that ended up to its last sample.
class ThreadWatch {
 public:
  explicit ThreadWatch(pid_t pid);
  void sample();
  // The threads named `name` over the `wall` seconds of the measurement.
  ThreadKindCost cost(const std::string& name, double wall) const;

 private:
  struct Span {
    ThreadSample first, last;
  };
  const pid_t pid_;
  std::map<pid_t, Span> spans_;
  bool sampled_ = false;
};

// CPU seconds a bare single-threaded libavcodec decode of the clip needs per second of video
// at 25 frames a second: the cores one stream of it costs, decoded `passes` times over. With
// `streams` decoders fed in turn, frame by frame, as that many live streams arrive (each
// keeps its own pictures, so the caches hold what they would hold for a client of so many).
double bareCoresPerStream(const clipgen::Clip& clip, int passes = 3, int streams = 1);
// The same for `streams` decoders, all of them: the median of `runs` single passes, so a busy
// moment of the machine during one pass does not move the reference. Each pass's figure is
// added to `passes` when given: on a shared host the same pass costs up to half as much
// again at times, and the spread shows how far.
double bareCores(const clipgen::Clip& clip, int streams, int runs = 3, std::vector<double>* passes = nullptr);

// The reference of one live case, taken before it and again after (the machine's load moves
// meanwhile, and weighs on both alike): the mean of those medians, and the lowest and the
// highest single pass.
class BareReference {
 public:
  void take(const clipgen::Clip& clip, int streams);
  double cores() const;
  double low() const;
  double high() const;

 private:
  std::vector<double> medians_, passes_;
};

// Resident memory of this process, or of another one (-1 when it cannot be read), in bytes.
double residentBytes();
double processResidentBytes(pid_t pid);
// Of that, the pages of files (the libraries' code among them): read in once for the
// process, shared with every other process that maps them, and given back under pressure.
// The rest is the process's private memory.
double residentFileBytes();
double processResidentFileBytes(pid_t pid);

// Wall-clock time in microseconds: what the camera emulator stamps each frame with when it
// sends it (--wall-clock).
int64_t wallUs();

// Tells a clip's frames apart by their bytes, so a client's stream hook, which sees each
// frame as it arrives, can note when that frame of the clip was sent. Reads little of each
// frame (its length and 64 bytes at four places): the hook runs on the receive threads.
class ClipFrames {
 public:
  explicit ClipFrames(const clipgen::Clip& clip);
  // The clip's frame number of these bytes, -1 when they are none of its frames.
  int indexOf(const uint8_t* data, size_t length) const;
  int count() const { return frames_; }

 private:
  std::unordered_map<uint64_t, int> index_;
  int frames_ = 0;
};

// When each frame of the clip was last sent to one window's stream, as its hook saw it.
class SendTimes {
 public:
  explicit SendTimes(int frames) : times_(std::make_unique<std::atomic<int64_t>[]>(static_cast<size_t>(frames))), frames_(frames) {}
  void note(int index, int64_t sentUs) {
    if (index >= 0 && index < frames_) times_[static_cast<size_t>(index)].store(sentUs, std::memory_order_relaxed);
  }
  // 0 when that frame was not seen yet.
  int64_t sentUs(int index) const {
    return index >= 0 && index < frames_ ? times_[static_cast<size_t>(index)].load(std::memory_order_relaxed) : 0;
  }

 private:
  std::unique_ptr<std::atomic<int64_t>[]> times_;
  int frames_;
};

// Latencies collected from several threads; percentiles of what was collected.
class Latencies {
 public:
  void add(int64_t us) {
    std::lock_guard<std::mutex> lk(m_);
    if (on_) us_.push_back(us);
  }
  // Collecting starts afresh (on) or stops.
  void collect(bool on) {
    std::lock_guard<std::mutex> lk(m_);
    on_ = on;
    if (on) {
      us_.clear();
      lapStart_ = 0;
    }
  }
  // The p-th percentile (0..100) in milliseconds; -1 when nothing was collected.
  double percentileMs(double p) const;
  // The median and the 95th percentile of what came since the last lap (or since collecting
  // started), and how many; the next lap starts here. Collecting goes on.
  void lap(double* medianMs, double* p95Ms, size_t* count);
  size_t size() const {
    std::lock_guard<std::mutex> lk(m_);
    return us_.size();
  }

 private:
  mutable std::mutex m_;
  bool on_ = false;
  std::vector<int64_t> us_;  // in the order they came
  size_t lapStart_ = 0;
};

// What a window painted, from the frame numbers of the pictures it painted: pictures
// painted anew, those whose number could be read, frames of the clip never painted (a jump
// from n to n + 3 skipped two) and the latency from each frame's send to its paint.
struct PaintTally {
  uint64_t painted = 0, numbered = 0, skipped = 0;
  uint64_t lastSerial = 0;
  int lastIndex = -1;
  // A paint of the picture presented `serial`-th, showing frame `index` (-1: unreadable).
  void paint(uint64_t serial, int index, int clipFrames, const SendTimes& sent, Latencies& latencies);
};

// A benchmark's command line: the parts named (all when none is) and "--seconds S", how
// long each live case is measured.
struct Arguments {
  int seconds = 60;
  std::vector<std::string> parts;
  bool runs(const char* part) const;
};
Arguments parseArguments(int argc, char** argv, int defaultSeconds);

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
