#include "harness/Services.h"

#include <gtest/gtest.h>

#include "devices/DeviceWork.h"
#include "devices/SystemBridge.h"
#include "shell/Singleton.h"

namespace harness {

namespace {

// Runs after a test's fixture is gone, so what it left is released before the next begins.
class ResetAfterEachTest : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override { ResetServices(); }
};

}  // namespace

void ResetServices() {
  ReleaseServices();
  // The program's exit ends all device work, not only that of its device list: a dialog
  // closed by a test may still be closing its own camera session on a device queue, and
  // neither the next test nor the end of the process may find it half done.
  devwork::Drain();
  RenewServices();
}

void FailServiceMisuse(const char* type) { ADD_FAILURE() << type << " was asked for after its release"; }

void WatchServices() {
  SetServiceMisuseHandler(&FailServiceMisuse);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetAfterEachTest);
}

}  // namespace harness
