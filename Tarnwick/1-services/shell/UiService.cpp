#include "shell/UiService.h"

#include <cstdlib>
#include <mutex>

#include "plat/log.h"

namespace {

std::mutex gLock;
std::unique_ptr<IUiService> gService;
InteractiveUiFactory gInteractive = nullptr;

}  // namespace

IUiService& UiService() {
  std::lock_guard<std::mutex> lock(gLock);
  if (!gService) {
    // Asking before the program installed its windows' service is a fault in start-up order,
    // not something a user could answer: say so where it happens.
    if (!gInteractive) {
      PLAT_LOGE("ui", "asked for the UI service before the interactive one was installed");
      std::abort();
    }
    gService = gInteractive();
  }
  return *gService;
}

std::unique_ptr<IUiService> SetUiService(std::unique_ptr<IUiService> service) {
  std::lock_guard<std::mutex> lock(gLock);
  std::unique_ptr<IUiService> old = std::move(gService);
  gService = std::move(service);
  return old;
}

void SetInteractiveUiFactory(InteractiveUiFactory make) {
  std::lock_guard<std::mutex> lock(gLock);
  gInteractive = make;
}
