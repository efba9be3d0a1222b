#include "session/handle_registry.h"

#include <atomic>

namespace corvane {

intptr_t nextHandleNumber() {
  // Starts well above small integers so that 0, -1 and channel numbers never match.
  static std::atomic<intptr_t> next{0x10000};
  return next.fetch_add(0x10);
}

}  // namespace corvane
