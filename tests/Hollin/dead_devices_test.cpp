// The device layer's logins add no wait of their own: against a camera and a recorder that
// accept and then send their replies one byte a second, each login ends within the library's
// reply time and fails.
#include <gtest/gtest.h>

#include "RecNet.h"
#include "Hollin.h"
#include "plat/clock.h"
#include "support/FakePeers.h"

namespace {

class DeadDevices : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::setTimeScale(0.2);
    ASSERT_EQ(CQXGlobal::Startup(), 1);
  }
  void TearDown() override {
    CQXGlobal::Cleanup();
    plat::setTimeScale(1.0);
  }
};

TEST_F(DeadDevices, LoginsToTricklingDevicesEndAndFail) {
  struct Case {
    int type;
    deadpeer::Device device;
    DevHandle none;
  };
  for (const Case& c : {Case{DEV_TYPE_IPC, deadpeer::Device::Camera, 0},
                        Case{DEV_TYPE_DVR, deadpeer::Device::Recorder, -1}}) {
    SCOPED_TRACE(c.type);
    deadpeer::Peer peer(testsupport::PeerOptions(c.device, deadpeer::Mode::Trickle, 0, 1000));
    ASSERT_TRUE(peer.start());
    CDevInfo info;
    info.DevType = c.type;
    info.IP.SetNarrow("127.0.0.1");
    info.Port = peer.port();
    info.UserName.SetNarrow("admin");
    info.Pwd.SetNarrow("admin");
    IDevUserLogin* login = CDevUserLoginFactory::CreateDevUserLogin(&info);
    ASSERT_NE(login, nullptr);
    const auto id = testsupport::CallWithin([&] { return login->GetLoginID(1); }, peer);
    EXPECT_TRUE(id.ended);
    EXPECT_EQ(id.value, c.none);
    EXPECT_FALSE(login->IsLogin());
    CDevUserLoginFactory::DeleteDevUserLogin(login);
  }
}

}  // namespace
