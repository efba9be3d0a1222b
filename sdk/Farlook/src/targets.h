#pragma once
// Where a search sends its probe: 127.0.0.1 on the search ports, then what FARLOOK_TARGETS
// lists.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace farlook {

struct Target {
  uint32_t address = 0;  // IPv4, host order
  uint16_t port = 0;
  bool operator==(const Target&) const = default;
};

struct Plan {
  std::vector<Target> targets;  // unicast, in order, without repeats
  bool broadcast = false;       // targets holds broadcast addresses only when set
};

constexpr int kLocalSearchPorts = 8;   // the search port and the ones after it, on 127.0.0.1
constexpr int kSmallestPrefix = 22;    // networks of at most 1022 hosts

// A host name's IPv4 address (host order); false when it does not resolve.
using Resolver = std::function<bool(const std::string& host, uint32_t& address)>;
bool SystemResolve(const std::string& host, uint32_t& address);

// The plan for a FARLOOK_TARGETS text; entries that cannot be read are logged and skipped.
// Host names go to `resolve`.
Plan PlanTargets(const std::string& text, const Resolver& resolve = SystemResolve);

}  // namespace farlook
