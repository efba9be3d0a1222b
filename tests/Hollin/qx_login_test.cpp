// The recorder family's login, device record and control requests against the emulator.
#include <gtest/gtest.h>

#include <cstring>

#include "qx/QXUserLogin.h"
#include "qx_fixture.h"

using namespace qx_test;

namespace {

TEST_F(RecorderTest, LogsInAndReadsTheDeviceRecord) {
  EXPECT_EQ(login->GetDevType(), 1);
  EXPECT_EQ(login->GetLoginID(0), -1);
  EXPECT_FALSE(login->IsLogin());
  // Counts of a logged-out login read -1.
  EXPECT_EQ(login->GetChanNum(), -1);
  EXPECT_EQ(login->GetAlarmInNum(), -1);
  EXPECT_EQ(login->GetDiskNum(), -1);
  EXPECT_EQ(login->GetDeviceInfo(), nullptr);

  const DevHandle id = LoggedIn();
  EXPECT_TRUE(login->IsLogin());
  EXPECT_TRUE(login->HasLoginID());
  ASSERT_NE(login->GetDeviceInfo(), nullptr);
  EXPECT_STREQ(reinterpret_cast<const char*>(login->GetDeviceInfo()), "DVR-EMU-0001");
  // The emulator's description bytes: inputs, outputs, disks, type, channels, first channel.
  EXPECT_EQ(login->GetAlarmInNum(), 4);
  EXPECT_EQ(login->GetAlarmOutNum(), 1);
  EXPECT_EQ(login->GetDiskNum(), 1);
  EXPECT_EQ(login->GetDVRType(), 1);
  EXPECT_EQ(login->GetChanNum(), 4);
  EXPECT_EQ(login->GetStartChan(), 1);
  EXPECT_EQ(login->GetDeviceInfoByte56(), 0);
  EXPECT_EQ(login->GetLoginID(1), id);  // no second login

  EXPECT_EQ(login->Logout(), 1);
  EXPECT_EQ(login->GetLoginID(0), -1);
  EXPECT_EQ(login->GetChanNum(), -1);
  EXPECT_EQ(login->Logout(), 0);
}

// Login logs in whenever it is called: a second call takes a new login id and leaves the first
// to the recorder (the program logs in only while logged out).
TEST_F(RecorderTest, LoggingInAgainTakesANewLoginId) {
  const DevHandle first = LoggedIn();
  const DevHandle second = login->Login();
  ASSERT_GE(second, 0);
  EXPECT_NE(second, first);
  EXPECT_EQ(login->GetLoginID(0), second);
  EXPECT_EQ(login->GetChanNum(), 4);
  EXPECT_TRUE(emu.requests(dvremu::kLogout).empty());
  EXPECT_EQ(RecNet_Logout(static_cast<int32_t>(first)), 1);
}

TEST_F(RecorderTest, RefusedLoginsAndMissingRecords) {
  info.Pwd.SetNarrow("wrong");
  EXPECT_EQ(login->Login(), -1);
  EXPECT_EQ(login->GetLoginID(1), -1);
  EXPECT_EQ(CDevPreviewFactory::CreateDevPreview(login, 1), nullptr);
  // An alarm object is made all the same, and cannot arm.
  IDevAlarm* alarm = CDevAlarmFactory::CreateDevAlarm(login);
  ASSERT_NE(alarm, nullptr);
  EXPECT_FALSE(alarm->SetupAlarmChan());
  EXPECT_FALSE(alarm->IsSetup());
  CDevAlarmFactory::DeleteDevAlarm(alarm, login);
  CDevQXUserLogin orphan(nullptr);
  EXPECT_EQ(orphan.Login(), -1);
  EXPECT_FALSE(orphan.StartDVRRecord(1, 0));
  EXPECT_EQ(orphan.StartVoiceCom(1, 0, 0, 0), 0);
}

TEST_F(RecorderTest, ANameWithSeveralAddressesLogsInToTheLast) {
  std::vector<std::string> asked;
  hollin::qx::SetResolver([&](const std::string& host) {
    asked.push_back(host);
    // The first entry is no address at all: using it could only fail.
    return std::vector<std::string>{"not-an-address", "127.0.0.1"};
  });
  info.IP.SetNarrow("recorder.example");
  EXPECT_GE(login->GetLoginID(1), 0);
  hollin::qx::SetResolver({});
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "recorder.example");
  // A name that resolves to nothing is no login.
  hollin::qx::SetResolver([](const std::string&) { return std::vector<std::string>{}; });
  login->Logout();
  EXPECT_EQ(login->Login(), -1);
  hollin::qx::SetResolver({});
}

TEST_F(RecorderTest, RecordRebootAndTalkReachTheDevice) {
  LoggedIn();
  EXPECT_TRUE(login->StartDVRRecord(2, 1));
  EXPECT_TRUE(login->StopDVRRecord(2));
  ASSERT_EQ(emu.requests(dvremu::kStartManRec).size(), 1u);
  // A refused manual recording is reported, not taken for success.
  emu.refuse(dvremu::kStartManRec, true);
  EXPECT_FALSE(login->StartDVRRecord(2, 1));
  EXPECT_EQ(login->RebootDVR(), 0);
  EXPECT_TRUE(emu.waitForRequests(dvremu::kReboot, 1));
  EXPECT_EQ(login->StartVoiceCom(1, 0, 0, 0), 1);
  EXPECT_EQ(login->StopVoiceCom(), 1);
  // The device may log a request after the client stopped waiting for its answer.
  EXPECT_TRUE(emu.waitForRequests(10, 1));  // talk open
  EXPECT_TRUE(emu.waitForRequests(11, 1));  // talk close
  EXPECT_EQ(emu.requests(10).size(), 1u);
  EXPECT_EQ(emu.requests(11).size(), 1u);
}

TEST_F(RecorderTest, LogSearchOpensReadsAndCloses) {
  LoggedIn();
  dvremu::LogEntry e;
  e.time = {2026, 3, 5, 10, 0, 0};
  e.major = 4;
  e.minorBit = 2;
  e.text = "disk";
  emu.services().addLog(e);
  TIME start{2026, 1, 1, 0, 0, 0}, end{2026, 12, 31, 23, 59, 59};
  EXPECT_FALSE(login->FindNextLog(0));  // no search open
  ASSERT_TRUE(login->FindDVRLog(0, 1, 1, &start, &end, 0));
  login->FindNextLog(0);
  EXPECT_TRUE(login->FindLogClose());
  EXPECT_EQ(emu.requests(dvremu::kQueryLog).size(), 1u);
  EXPECT_EQ(emu.requests(dvremu::kCloseLog).size(), 1u);
  EXPECT_FALSE(login->FindDVRLog(0, 1, 1, nullptr, &end, 0));
}

}  // namespace
