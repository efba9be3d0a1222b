// The emulators as child processes, as the fault journeys use them: a frozen recorder takes
// connections but answers nothing, a resumed one answers again, a restarted one is back on
// the same ports. (Their request logs are read by the live journey.)
#include <gtest/gtest.h>

#include "plat/socket.h"
#include "support/Emulators.h"
#include "support/TestFolder.h"

namespace {

using testsupport::EmulatorProcess;

// Connects to the port and reports whether the emulator closed or answered within `ms`
// after a garbage request: a frozen process does neither.
bool Responds(uint16_t port, int ms) {
  plat::Socket s = plat::connectTcp("127.0.0.1", port, 5000);
  if (!s.valid()) return false;
  const char junk[64] = "not a request";
  if (!plat::sendAll(s.fd(), junk, sizeof junk)) return false;
  return plat::waitReadable(s.fd(), ms) == plat::WaitResult::Ready;
}

TEST(EmulatorProcesses, FreezeResumeStopAndRestartOnTheSamePorts) {
  testsupport::TestFolder folder;
  EmulatorProcess recorder(EmulatorProcess::kRecorder, folder.path());
  ASSERT_TRUE(recorder.Start()) << recorder.Printed();
  const uint16_t port = recorder.Port(), search = recorder.SearchPort();
  ASSERT_NE(port, 0);
  ASSERT_NE(search, 0) << "a search answerer of its own";
  EXPECT_TRUE(Responds(port, 10000));

  ASSERT_TRUE(recorder.Freeze());
  EXPECT_FALSE(Responds(port, 300));
  recorder.Resume();
  EXPECT_TRUE(Responds(port, 10000));

  ASSERT_TRUE(recorder.Stop());
  EXPECT_FALSE(recorder.Running());
  EXPECT_FALSE(plat::connectTcp("127.0.0.1", port, 2000).valid());
  ASSERT_TRUE(recorder.Start());
  EXPECT_EQ(recorder.Port(), port);
  EXPECT_EQ(recorder.SearchPort(), search);
  EXPECT_TRUE(Responds(port, 10000));
  recorder.Kill();
  EXPECT_FALSE(recorder.Running());

  EmulatorProcess camera(EmulatorProcess::kCamera, folder.path());
  ASSERT_TRUE(camera.Start()) << camera.Printed();
  EXPECT_NE(camera.Port(), port);
  EXPECT_TRUE(Responds(camera.Port(), 10000));
}

}  // namespace
