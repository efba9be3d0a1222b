// deadpeer: a device that accepts connections on 127.0.0.1 and then does not answer as it
// should (silent, trickling, cut short, wrong code), until interrupted; for measuring from
// outside what a client does while one of its devices hangs.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <string>
#include <thread>

#include "deadpeer/peer.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

void usage() {
  std::fprintf(stderr,
               "usage: deadpeer [--port N] [--address 127.X.Y.Z] [--device camera|recorder]\n"
               "                [--mode silent|trickle|cut-short|wrong-code] [--interval-ms N]\n"
               "                [--answer-first N]\n"
               "  listens on 127.0.0.1 or the loopback address given (port 0: any free port,\n"
               "  printed) as a camera (544-byte\n"
               "  messages) or a recorder (20-byte headers); the first N requests of each\n"
               "  connection are answered as the device would (0), every later one: silent, no\n"
               "  answer; trickle, the answer one byte every --interval-ms (250); cut-short, half\n"
               "  the answer and then silence; wrong-code, an answer with a code not asked for\n");
}

bool number(const char* text, long lo, long hi, long* out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!end || *end || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  deadpeer::Options o;
  long port = 0;
  std::string address = "127.0.0.1";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    long n = 0;
    bool ok = false;
    if (!v) {
      // every option takes a value
    } else if (a == "--port") {
      ok = number(v, 0, 65535, &port);
    } else if (a == "--address") {
      address = v;
      ok = true;
    } else if (a == "--device") {
      ok = deadpeer::parseDevice(v, &o.device);
    } else if (a == "--mode") {
      ok = deadpeer::parseMode(v, &o.mode);
    } else if (a == "--interval-ms") {
      ok = number(v, 0, 3600000, &n);
      o.intervalMs = static_cast<int>(n);
    } else if (a == "--answer-first") {
      ok = number(v, 0, 1000000, &n);
      o.answerFirst = static_cast<int>(n);
    }
    if (!ok) {
      usage();
      return 2;
    }
    ++i;
  }
  deadpeer::Peer peer(o);
  if (!peer.start(static_cast<uint16_t>(port), address)) {
    std::fprintf(stderr, "deadpeer: cannot listen on %s:%ld (a loopback address)\n", address.c_str(), port);
    return 1;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::printf("deadpeer listening on %s:%u\n", address.c_str(), peer.port());
  std::fflush(stdout);
  while (!g_stop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  peer.stop();
  return 0;
}
