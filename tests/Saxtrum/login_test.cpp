#include <cstring>

#include "fixture.h"
#include "plat/socket.h"
#include "protocol/library.h"
#include "support/Ports.h"

using namespace saxtrum_test;

TEST_F(SaxtrumTest, LoginSendsCredentialsAndFillsDeviceInfo) {
  QX_DVR_DEVICEINFO info;
  std::memset(&info, 0x7F, sizeof info);
  const int32_t id = login("admin", "12345", &info);
  ASSERT_EQ(id, 0);
  EXPECT_EQ(sizeof(QX_DVR_DEVICEINFO), 80u);
  EXPECT_STREQ(info.sSerialNumber, "DVR-EMU-0001");
  EXPECT_EQ(info.byInfo[0], 4);
  EXPECT_EQ(info.byInfo[4], 4);
  EXPECT_EQ(info.byRes[0], 0);
  auto reqs = emu->requests(1);
  ASSERT_EQ(reqs.size(), 1u);
  ASSERT_EQ(reqs[0].payload.size(), 64u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(reqs[0].payload.data())), "admin");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(reqs[0].payload.data() + 32)), "12345");
  EXPECT_EQ(reqs[0].handle >> 16, 0u);
  EXPECT_EQ(QX_DVR_Login("127.0.0.1", emu->port(), "admin", "12345", nullptr), 1);

  EXPECT_EQ(QX_DVR_Logout(id), 1);
  ASSERT_TRUE(emu->waitForRequests(2, 1));
  auto out = emu->requests(2);
  EXPECT_EQ(out[0].payload, reqs[0].payload);
  EXPECT_EQ(QX_DVR_Logout(id), 0);  // gone
  EXPECT_EQ(QX_DVR_GetLastError(), 0u);
  EXPECT_EQ(QX_DVR_Logout(128), 0);
  EXPECT_EQ(QX_DVR_GetLastError(), 52u);
}

TEST_F(SaxtrumTest, RefusedLoginAndNoListenerFailAndFreeTheLoginSlot) {
  emu->refuse(1, false);
  EXPECT_EQ(login("admin", "wrong"), -1);
  EXPECT_EQ(QX_DVR_GetSDKVersion(), 0x30000u);

  // A port nobody listens on: the login gives up after the reply wait.
  testsupport::RefusingPort refusing;
  const uint16_t freePort = refusing.port();
  plat::setTimeScale(0.01);
  QX_DVR_SetConnectTime(100);
  EXPECT_EQ(QX_DVR_Login("127.0.0.1", freePort, "admin", "12345", nullptr), -1);
  EXPECT_EQ(QX_DVR_Login("not-an-address", emu->port(), "admin", "12345", nullptr), -1);
  testing::internal::CaptureStdout();
  EXPECT_EQ(QX_DVR_Login("127.0.0.1", 0, "admin", "12345", nullptr), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "invalid port \"0\"\n");
  EXPECT_EQ(QX_DVR_Login(nullptr, emu->port(), "admin", "12345", nullptr), -1);
  plat::setTimeScale(0.2);
  // Every failed attempt gave its entry back: the next login takes user id 0.
  EXPECT_EQ(login(), 0);
}

TEST_F(SaxtrumTest, FullLoginTableSetsLastError52) {
  for (int i = 0; i < 128; ++i) ASSERT_EQ(saxtrum::allocLoginSlot(), i);
  EXPECT_EQ(login(), -1);
  EXPECT_EQ(QX_DVR_GetLastError(), 52u);
  EXPECT_EQ(saxtrum::freeLoginSlot(77), 0);
  EXPECT_EQ(login(), 77);
  QX_DVR_Init();  // clears the table and the error
  EXPECT_EQ(QX_DVR_GetLastError(), 0u);
}

TEST_F(SaxtrumTest, NotInitialisedOrNullCallbacksAreRefused) {
  QX_DVR_Cleanup();
  saxtrum::library().initialised = false;
  EXPECT_EQ(login(), -1);
  QX_DVR_Init();
  EXPECT_EQ(QX_DVR_SetDVRMessageCallBack(nullptr, nullptr), 0);
  EXPECT_EQ(QX_DVR_SetExceptionCallBack(0, 0, nullptr, nullptr), 0);
  EXPECT_EQ(QX_DVR_SetPlayerBufNumber(0, 1), 0);
  EXPECT_EQ(QX_DVR_CaptureJPEGPicture(0, 1, nullptr, "x.jpg"), 1);
}

TEST_F(SaxtrumTest, SecondInitStopsRunningLogins) {
  const int32_t id = login();
  ASSERT_GE(id, 0);
  auto conn = saxtrum::loginConnection(id);
  ASSERT_TRUE(conn);
  QX_DVR_Init();
  EXPECT_FALSE(saxtrum::loginConnection(id));
  EXPECT_EQ(conn->state(), saxtrum::kStateEnded);  // its receive thread was joined
}
