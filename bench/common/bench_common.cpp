#include "bench_common.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

extern char** environ;

namespace bench {

clipgen::Clip makeClip(const ClipCase& c, int frames) {
  clipgen::Options o;
  o.width = c.width;
  o.height = c.height;
  o.frames = frames;
  o.fps = kFps;
  o.gop = c.gop;
  o.bitrate = c.bitrate;
  o.preset = c.preset;
  o.profile = c.profile;
  clipgen::Clip clip;
  std::string error;
  av_log_set_level(AV_LOG_ERROR);  // the encoder's statistics are not the benchmark's output
  if (!clipgen::generate(o, &clip, &error)) std::fprintf(stderr, "clip %s: %s\n", c.name, error.c_str());
  return clip;
}

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

namespace {
std::string readText(const std::string& path) {
  std::ifstream f(path);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// User and system seconds from the text of a stat file of /proc; -1 when it holds none.
double statCpuSeconds(const std::string& text) {
  // The command name may hold blanks and parentheses: the fields start after the last ')'.
  const size_t close = text.rfind(')');
  if (close == std::string::npos || close + 2 > text.size()) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  // Fields 3..13 come first; utime and stime are fields 14 and 15.
  for (int i = 3; i <= 13 && fields >> field; ++i) {
  }
  if (!(fields >> utime >> stime)) return -1;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}
}  // namespace

double processCpuSeconds(pid_t pid) { return statCpuSeconds(readText("/proc/" + std::to_string(pid) + "/stat")); }

ThreadWatch::ThreadWatch(pid_t pid) : pid_(pid) { sample(); }

void ThreadWatch::sample() {
  const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(tasks, ec)) {
    const std::string dir = entry.path().string();
    ThreadSample t;
    t.name = readText(dir + "/comm");
    if (!t.name.empty() && t.name.back() == '\n') t.name.pop_back();
    t.cpuSeconds = statCpuSeconds(readText(dir + "/stat"));
    const std::string status = readText(dir + "/status");
    const char* const field = "\nvoluntary_ctxt_switches:";
    const size_t at = status.find(field);
    if (t.cpuSeconds < 0 || at == std::string::npos) continue;  // ended meanwhile
    t.voluntarySwitches = std::atoll(status.c_str() + at + std::strlen(field));
    const pid_t tid = static_cast<pid_t>(std::atoi(entry.path().filename().c_str()));
    auto it = spans_.find(tid);
    if (it == spans_.end()) {
      ThreadSample born{t.name, 0, 0};
      it = spans_.emplace(tid, Span{sampled_ ? born : t, t}).first;
    }
    it->second.last = t;
  }
  sampled_ = true;
}

ThreadKindCost ThreadWatch::cost(const std::string& name, double wall) const {
  ThreadKindCost k;
  if (wall <= 0) return k;
  double cpu = 0, switches = 0;
  for (const auto& [tid, span] : spans_) {
    if (span.last.name != name) continue;
    ++k.threads;
    cpu += span.last.cpuSeconds - span.first.cpuSeconds;
    switches += static_cast<double>(span.last.voluntarySwitches - span.first.voluntarySwitches);
  }
  k.cores = cpu / wall;
  k.switchesPerSecond = switches / wall;
  return k;
}

bool Arguments::runs(const char* part) const {
  return parts.empty() || std::find(parts.begin(), parts.end(), part) != parts.end();
}

Arguments parseArguments(int argc, char** argv, int defaultSeconds) {
  Arguments a;
  a.seconds = defaultSeconds;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) a.seconds = std::max(1, std::atoi(argv[++i]));
    else a.parts.push_back(argv[i]);
  }
  return a;
}

double residentBytes() { return processResidentBytes(getpid()); }
double residentFileBytes() { return processResidentFileBytes(getpid()); }

namespace {
// A field of /proc/PID/statm in bytes: 1 resident, 2 resident pages of files.
double statmBytes(pid_t pid, int field) {
  long value[3] = {};
  FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/statm").c_str(), "r");
  if (!f) return -1;
  const bool ok = std::fscanf(f, "%ld %ld %ld", &value[0], &value[1], &value[2]) == 3;
  std::fclose(f);
  return ok ? static_cast<double>(value[field]) * static_cast<double>(sysconf(_SC_PAGESIZE)) : -1;
}
}  // namespace

double processResidentBytes(pid_t pid) { return statmBytes(pid, 1); }
double processResidentFileBytes(pid_t pid) { return statmBytes(pid, 2); }

int64_t wallUs() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return int64_t{tv.tv_sec} * 1000000 + tv.tv_usec;
}

namespace {
uint64_t frameHash(const uint8_t* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&](size_t from, size_t count) {
    for (size_t i = from; i < from + count && i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  };
  constexpr size_t kSpan = 64;
  if (n <= 4 * kSpan) {
    mix(0, n);
  } else {
    for (size_t k = 0; k < 4; ++k) mix((n - kSpan) * k / 3, kSpan);
  }
  return h ^ n;
}
}  // namespace

ClipFrames::ClipFrames(const clipgen::Clip& clip) : frames_(static_cast<int>(clip.frames.size())) {
  for (size_t i = 0; i < clip.frames.size(); ++i) {
    const auto bytes = clip.frameBytes(i);
    index_[frameHash(bytes.data(), bytes.size())] = static_cast<int>(i);
  }
  if (index_.size() != clip.frames.size())
    std::fprintf(stderr, "%zu frames share a probe hash: their latencies are not taken\n",
                 clip.frames.size() - index_.size());
}

int ClipFrames::indexOf(const uint8_t* data, size_t length) const {
  auto it = index_.find(frameHash(data, length));
  return it == index_.end() ? -1 : it->second;
}

namespace {
// The p-th percentile (0..100) of the samples in milliseconds; -1 for none.
double percentileOf(std::vector<int64_t> us, double p) {
  if (us.empty()) return -1;
  const size_t at = std::min(us.size() - 1, static_cast<size_t>(p / 100.0 * static_cast<double>(us.size())));
  std::nth_element(us.begin(), us.begin() + static_cast<ptrdiff_t>(at), us.end());
  return static_cast<double>(us[at]) / 1000.0;
}
}  // namespace

double Latencies::percentileMs(double p) const {
  std::lock_guard<std::mutex> lk(m_);
  return percentileOf(us_, p);
}

void Latencies::lap(double* medianMs, double* p95Ms, size_t* count) {
  std::vector<int64_t> since;
  {
    std::lock_guard<std::mutex> lk(m_);
    since.assign(us_.begin() + static_cast<ptrdiff_t>(std::min(lapStart_, us_.size())), us_.end());
    lapStart_ = us_.size();
  }
  *medianMs = percentileOf(since, 50);
  *p95Ms = percentileOf(since, 95);
  *count = since.size();
}

void PaintTally::paint(uint64_t serial, int index, int clipFrames, const SendTimes& sent, Latencies& latencies) {
  if (serial == lastSerial) return;  // painted again without a new picture
  lastSerial = serial;
  ++painted;
  if (index < 0) return;
  ++numbered;
  if (lastIndex >= 0 && index != lastIndex) skipped += static_cast<uint64_t>((index - lastIndex - 1 + clipFrames) % clipFrames);
  lastIndex = index;
  if (const int64_t at = sent.sentUs(index)) latencies.add(wallUs() - at);
}

double bareCoresPerStream(const clipgen::Clip& clip, int passes, int streams) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  std::vector<AVCodecContext*> contexts;
  for (int s = 0; s < std::max(1, streams); ++s) {
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->thread_count = 1;
    ctx->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
      avcodec_free_context(&ctx);
      break;
    }
    contexts.push_back(ctx);
  }
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  std::vector<std::vector<uint8_t>> frames;
  for (size_t i = 0; i < clip.frames.size(); ++i) frames.push_back(clip.frameBytes(i));
  int64_t decoded = 0;
  auto pass = [&] {
    for (const auto& bytes : frames) {
      for (AVCodecContext* ctx : contexts) {
        av_new_packet(pkt, static_cast<int>(bytes.size()));
        std::memcpy(pkt->data, bytes.data(), bytes.size());
        avcodec_send_packet(ctx, pkt);
        av_packet_unref(pkt);
        while (avcodec_receive_frame(ctx, frame) == 0) ++decoded;
      }
    }
  };
  // The program is measured in its steady state: so is the reference. A first pass, not
  // counted, lets every decoder make its picture buffers and tables (and the system map
  // their memory), which a clip of a few seconds would otherwise charge to the decoding.
  if (!contexts.empty()) pass();
  decoded = 0;
  const double cpu0 = cpuSeconds();
  for (int p = 0; p < passes && !contexts.empty(); ++p) pass();
  const double cpu = cpuSeconds() - cpu0;
  av_frame_free(&frame);
  av_packet_free(&pkt);
  for (AVCodecContext* ctx : contexts) avcodec_free_context(&ctx);
  return decoded ? cpu / static_cast<double>(decoded) * kFps : 0;
}

double bareCores(const clipgen::Clip& clip, int streams, int runs, std::vector<double>* passes) {
  std::vector<double> cores;
  for (int i = 0; i < std::max(1, runs); ++i) cores.push_back(bareCoresPerStream(clip, 1, streams) * streams);
  if (passes) passes->insert(passes->end(), cores.begin(), cores.end());
  std::sort(cores.begin(), cores.end());
  return cores[cores.size() / 2];
}

void BareReference::take(const clipgen::Clip& clip, int streams) {
  medians_.push_back(bareCores(clip, streams, 3, &passes_));
}

double BareReference::cores() const {
  return medians_.empty() ? 0 : std::accumulate(medians_.begin(), medians_.end(), 0.0) / static_cast<double>(medians_.size());
}

double BareReference::low() const { return passes_.empty() ? 0 : *std::min_element(passes_.begin(), passes_.end()); }

double BareReference::high() const { return passes_.empty() ? 0 : *std::max_element(passes_.begin(), passes_.end()); }

std::string selfDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

Child spawnChild(const std::string& exe, const std::vector<std::string>& args,
                 const std::vector<std::string>& env, const std::string& errPath) {
  Child c;
  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) return c;
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    return c;
  }
  // Everything the child needs is made before the fork: after it, only exec.
  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    const std::string name(*e, eq ? static_cast<size_t>(eq - *e) : std::strlen(*e));
    bool replaced = false;
    for (const std::string& add : env) replaced |= add.compare(0, name.size() + 1, name + "=") == 0;
    if (!replaced) envText.emplace_back(*e);
  }
  envText.insert(envText.end(), env.begin(), env.end());
  std::vector<char*> envp, argv;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argText{exe};
  argText.insert(argText.end(), args.begin(), args.end());
  for (std::string& a : argText) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int err = errPath.empty() || errPath == "-" ? -1 : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    if (err >= 0) dup2(err, 2);
    if (errPath == "-") dup2(fromChild[1], 2);
    execve(exe.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  if (err >= 0) close(err);
  close(toChild[0]);
  close(fromChild[1]);
  if (pid < 0) {
    close(toChild[1]);
    close(fromChild[0]);
    return c;
  }
  c.pid = pid;
  c.in = toChild[1];
  c.out = fromChild[0];
  return c;
}

bool readLine(Child& child, std::string* line, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const size_t nl = child.pending.find('\n');
    if (nl != std::string::npos) {
      *line = child.pending.substr(0, nl);
      child.pending.erase(0, nl + 1);
      return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (child.out < 0 || left.count() <= 0) return false;
    pollfd p{child.out, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buf[4096];
    const ssize_t n = read(child.out, buf, sizeof buf);
    if (n <= 0) return false;
    child.pending.append(buf, static_cast<size_t>(n));
  }
}

bool writeLine(Child& child, const std::string& line) {
  const std::string text = line + "\n";
  return child.in >= 0 && write(child.in, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void killChild(Child& child) {
  if (child.pid > 0) {
    kill(child.pid, SIGKILL);
    waitpid(child.pid, nullptr, 0);
  }
  for (int* fd : {&child.in, &child.out})
    if (*fd >= 0) close(*fd);
  child = Child{};
}

}  // namespace bench
