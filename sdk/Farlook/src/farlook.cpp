// The search: one thread per running search sends the probe a few times and reports every
// well-formed answer until the search time is over or the handle ends it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include "Farlook.h"
#include "plat/bytes.h"
#include "plat/clock.h"
#include "plat/log.h"
#include "plat/socket.h"
#include "plat/text.h"
#include "answer.h"
#include "targets.h"

namespace {

constexpr size_t kProbeBytes = 16;
constexpr int kRounds = 3;        // probes sent per target (datagrams can be lost)
constexpr int kRoundGapMs = 400;  // product time between rounds
constexpr int kSearchMs = 2500;   // product time a search listens in all

struct Search {
  CAMSEARCH_CALLBACK callback = nullptr;
  void* user = nullptr;
  plat::WakeFd wake;
  std::atomic<bool> stop{false};
  std::thread thread;

  void Run(const farlook::Plan& plan, uint32_t nonce);
  bool Report(int event, tagDEVICEINFO* info) {
    if (stop.load()) return false;
    callback(event, info, user);
    return true;
  }
};

struct Handle {
  std::mutex mutex;  // guards the pointer only; threads are never joined under it
  std::shared_ptr<Search> search;
};

std::mutex g_registryMutex;
std::map<intptr_t, std::shared_ptr<Handle>> g_handles;
intptr_t g_nextHandle = 1;

std::shared_ptr<Handle> Find(intptr_t h) {
  std::lock_guard<std::mutex> lk(g_registryMutex);
  auto it = g_handles.find(h);
  return it == g_handles.end() ? nullptr : it->second;
}

// Ends a search and waits for its thread, unless this is that thread (a callback ending its
// own search): then the thread finishes by itself after the callback returns.
void End(std::shared_ptr<Search>& search) {
  if (!search) return;
  search->stop = true;
  search->wake.signal();
  if (search->thread.joinable()) {
    if (search->thread.get_id() == std::this_thread::get_id())
      search->thread.detach();
    else
      search->thread.join();
  }
  search.reset();
}

void Search::Run(const farlook::Plan& plan, uint32_t nonce) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Report(CAMSEARCH_EVENT_DONE, nullptr);
    return;
  }
  // Only loopback targets: the socket stays on loopback too.
  const bool onlyLoopback = !plan.broadcast && std::all_of(plan.targets.begin(), plan.targets.end(),
                                                           [](const farlook::Target& t) { return t.address >> 24 == 127; });
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(onlyLoopback ? INADDR_LOOPBACK : INADDR_ANY);
  bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
  if (plan.broadcast) {
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  }
  uint8_t probe[kProbeBytes] = {'F', 'L', 'K', 'P', 1, 0, 0, 0};
  plat::putLe32(probe + 8, nonce);

  const int64_t start = plat::monotonicMs();
  const int64_t searchMs = plat::scaled(kSearchMs), gapMs = plat::scaled(kRoundGapMs);
  int sent = 0;
  while (!stop.load()) {
    const int64_t elapsed = plat::monotonicMs() - start;
    if (elapsed >= searchMs) break;
    if (sent < kRounds && elapsed >= sent * gapMs) {
      for (const farlook::Target& t : plan.targets) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(t.address);
        to.sin_port = htons(t.port);
        sendto(fd, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      }
      ++sent;
    }
    int64_t waitMs = searchMs - elapsed;
    if (sent < kRounds) waitMs = std::min<int64_t>(waitMs, sent * gapMs - elapsed);
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake.fd(), POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(std::max<int64_t>(waitMs, 1))) <= 0) continue;
    if (fds[1].revents) break;
    uint8_t in[512];
    sockaddr_in from{};
    socklen_t fromLen = sizeof from;
    const ssize_t n = recvfrom(fd, in, sizeof in, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
    tagDEVICEINFO rec;
    if (n > 0 && farlook::ReadAnswer(in, static_cast<size_t>(n), nonce, ntohl(from.sin_addr.s_addr), rec))
      Report(CAMSEARCH_EVENT_FOUND, &rec);
  }
  ::close(fd);
  Report(CAMSEARCH_EVENT_DONE, nullptr);
}

}  // namespace

extern "C" {

int CAMSEARCh_Startup(intptr_t* handle) {
  if (!handle) return 0;
  std::lock_guard<std::mutex> lk(g_registryMutex);
  *handle = g_nextHandle++;
  g_handles.emplace(*handle, std::make_shared<Handle>());
  return 1;
}

int CAMSEARCh_SearchCma(intptr_t handle, CAMSEARCH_CALLBACK callback, void* user) {
  std::shared_ptr<Handle> h = Find(handle);
  if (!h || !callback) return 0;
  std::shared_ptr<Search> previous;
  {
    std::lock_guard<std::mutex> lk(h->mutex);
    if (h->search && h->search->thread.get_id() == std::this_thread::get_id()) return 0;
    previous = std::move(h->search);
  }
  End(previous);
  const char* text = std::getenv(FARLOOK_TARGETS_VARIABLE);
  const farlook::Plan plan = farlook::PlanTargets(text ? text : "");
  auto search = std::make_shared<Search>();
  search->callback = callback;
  search->user = user;
  const uint32_t nonce = std::random_device{}();
  search->thread = std::thread([search, plan, nonce] { search->Run(plan, nonce); });
  {
    std::lock_guard<std::mutex> lk(h->mutex);
    previous = std::move(h->search);  // a search another thread started meanwhile
    h->search = std::move(search);
  }
  End(previous);
  return 1;
}

int CAMSEARCh_Cleanup(intptr_t handle) {
  std::shared_ptr<Handle> h;
  {
    std::lock_guard<std::mutex> lk(g_registryMutex);
    auto it = g_handles.find(handle);
    if (it == g_handles.end()) return 0;
    h = it->second;
    g_handles.erase(it);
  }
  std::shared_ptr<Search> search;
  {
    std::lock_guard<std::mutex> lk(h->mutex);
    search = std::move(h->search);
  }
  End(search);
  return 1;
}

}  // extern "C"
