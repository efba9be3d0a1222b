#include "shell/Singleton.h"

#include <cassert>

#include "plat/log.h"

namespace {
std::atomic<ServiceMisuseHandler> gHandler{nullptr};
}  // namespace

void ReportServiceUsedAfterRelease(const char* type) {
  PLAT_LOGE("services", "%s asked for after its release at shut-down; a fresh one is made", type);
  if (ServiceMisuseHandler handler = gHandler.load()) {
    handler(type);
    return;
  }
  assert(!"service asked for after its release");
}

void SetServiceMisuseHandler(ServiceMisuseHandler handler) { gHandler.store(handler); }
