#include "harness/Services.h"

#include <gtest/gtest.h>

#include "shell/Singleton.h"
#include "view/SystemBridge.h"

namespace harness {

namespace {

// Runs after a test's fixture is gone, so what it left is released before the next begins.
class ResetAfterEachTest : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override { ResetServices(); }
};

}  // namespace

void ResetServices() {
  ReleaseServices();
  RenewServices();
}

void FailServiceMisuse(const char* type) { ADD_FAILURE() << type << " was asked for after its release"; }

void WatchServices() {
  SetServiceMisuseHandler(&FailServiceMisuse);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetAfterEachTest);
}

}  // namespace harness
