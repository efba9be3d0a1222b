#include "session_fixture.h"

#include <memory>
#include <vector>

#include "support/Ports.h"

namespace cvtest {

uint16_t deadPort() {
  // Held until the process ends.
  static std::vector<std::unique_ptr<testsupport::RefusingPort>> held;
  held.push_back(std::make_unique<testsupport::RefusingPort>());
  return held.back()->port();
}

}  // namespace cvtest
