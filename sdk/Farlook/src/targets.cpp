#include "targets.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>

#include "Farlook.h"
#include "plat/log.h"
#include "plat/socket.h"

namespace farlook {

namespace {

constexpr uint32_t kLoopback = 0x7F000001;
constexpr uint32_t kAllOnes = 0xFFFFFFFF;

void Add(Plan& plan, uint32_t address, uint16_t port) {
  const Target t{address, port};
  if (std::find(plan.targets.begin(), plan.targets.end(), t) == plan.targets.end()) plan.targets.push_back(t);
}

// "1.2.3.4" strictly: four decimal parts 0..255.
bool ParseDotted(const std::string& text, uint32_t& out) {
  uint32_t value = 0;
  int parts = 0;
  size_t i = 0;
  while (parts < 4) {
    size_t start = i;
    uint32_t part = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) part = part * 10 + (text[i++] - '0');
    if (i == start || part > 255) return false;
    value = value << 8 | part;
    ++parts;
    if (parts < 4) {
      if (i >= text.size() || text[i] != '.') return false;
      ++i;
    }
  }
  if (i != text.size()) return false;
  out = value;
  return true;
}

bool ParseNumber(const std::string& text, long low, long high, long& out) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::strtol(text.c_str(), nullptr, 10);
  return out >= low && out <= high;
}

}  // namespace

bool SystemResolve(const std::string& host, uint32_t& address) {
  uint32_t net = 0;
  if (!plat::resolveIPv4(host, net)) return false;
  address = ntohl(net);
  return true;
}

Plan PlanTargets(const std::string& text, const Resolver& resolve) {
  Plan plan;
  for (int i = 0; i < kLocalSearchPorts; ++i) Add(plan, kLoopback, static_cast<uint16_t>(FARLOOK_SEARCH_PORT + i));
  std::vector<std::pair<uint32_t, uint16_t>> networkBroadcasts;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = std::min(text.find_first_of(", \t;", pos), text.size());
    std::string entry = text.substr(pos, end - pos);
    pos = end + 1;
    if (entry.empty()) continue;
    if (entry == "broadcast") {
      plan.broadcast = true;
      continue;
    }
    long port = FARLOOK_SEARCH_PORT;
    if (const size_t colon = entry.rfind(':'); colon != std::string::npos) {
      if (!ParseNumber(entry.substr(colon + 1), 1, 65535, port)) {
        PLAT_LOGW("farlook", "search target \"%s\" skipped: bad port", entry.c_str());
        continue;
      }
      entry.resize(colon);
    }
    if (const size_t slash = entry.find('/'); slash != std::string::npos) {
      uint32_t network = 0;
      long prefix = 0;
      if (!ParseDotted(entry.substr(0, slash), network) ||
          !ParseNumber(entry.substr(slash + 1), kSmallestPrefix, 32, prefix)) {
        PLAT_LOGW("farlook", "search network \"%s\" skipped: A.B.C.D/N with N from %d to 32 expected",
                  entry.c_str(), kSmallestPrefix);
        continue;
      }
      const uint32_t mask = prefix == 32 ? kAllOnes : ~(kAllOnes >> prefix);
      const uint32_t first = network & mask, last = first | ~mask;
      if (prefix >= 31) {
        for (uint64_t a = first; a <= last; ++a) Add(plan, static_cast<uint32_t>(a), static_cast<uint16_t>(port));
      } else {
        for (uint32_t a = first + 1; a < last; ++a) Add(plan, a, static_cast<uint16_t>(port));
        networkBroadcasts.emplace_back(last, static_cast<uint16_t>(port));
      }
      continue;
    }
    uint32_t address = 0;
    if (ParseDotted(entry, address)) {
      Add(plan, address, static_cast<uint16_t>(port));
    } else if (uint32_t resolved = 0; resolve(entry, resolved)) {
      Add(plan, resolved, static_cast<uint16_t>(port));
    } else {
      PLAT_LOGW("farlook", "search host \"%s\" skipped: it does not resolve", entry.c_str());
    }
  }
  if (plan.broadcast) {
    Add(plan, kAllOnes, FARLOOK_SEARCH_PORT);
    for (auto [address, port] : networkBroadcasts) Add(plan, address, port);
  }
  return plan;
}

}  // namespace farlook
