// The recorder SDK stand-in against the recorder emulator: a search and a view left open when
// their login went away, the handles the next login gets, and the last error each call leaves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecNet.h"
#include "dvremu/emulator.h"
#include "plat/clock.h"
#include "support/TimeScale.h"

namespace {

dvremu::RecordedFile File(int i) {
  dvremu::RecordedFile f;
  f.name = "ch01_" + std::to_string(2000 + i) + ".mp4";
  f.channel = 1;
  f.start = {2026, 3, 5, 10, static_cast<uint32_t>(i), 0};
  f.end = {2026, 3, 5, 11, static_cast<uint32_t>(i), 0};
  f.data.assign(64, static_cast<uint8_t>(i));
  return f;
}

SdkFileCond Channel1() {
  SdkFileCond c{};
  c.channel = 1;
  c.fileType = 255;
  c.isLocked = 255;
  c.start = {2026, 3, 1, 0, 0, 0};
  c.end = {2026, 3, 31, 23, 59, 59};
  return c;
}

// Polls a search until it ends (bounded); the names found and the closing status.
std::vector<std::string> Drain(int32_t handle, int32_t* last) {
  std::vector<std::string> names;
  *last = SDK_FIND_SEARCHING;
  for (int guard = 0; guard < 20000; ++guard) {
    SdkFindData d{};
    *last = RecNet_FindNextFile(handle, &d);
    if (*last == SDK_FIND_SUCCESS) {
      names.emplace_back(d.fileName);
    } else if (*last == SDK_FIND_SEARCHING) {
      plat::sleepMs(5);
    } else {
      break;
    }
  }
  return names;
}

class RecNetSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The recorder's replies are awaited for the product's own 5 s: a login under a sanitizer
    // on a busy machine can take longer than a scaled-down wait, and nothing here waits long.
    plat::setTimeScale(1.0);
    dvremu::Options o;
    o.pace = false;
    emu = std::make_unique<dvremu::Emulator>(o);
    ASSERT_TRUE(emu->start(0));
    for (int i = 0; i < 3; ++i) emu->services().addFile(File(i));
    RecNet_Init();
  }
  void TearDown() override {
    RecNet_Cleanup();
    emu->stop();
    plat::setTimeScale(1.0);
  }
  int32_t Login() {
    SdkDeviceInfo info{};
    return RecNet_Login("127.0.0.1", emu->port(), "admin", "12345", &info);
  }
  std::unique_ptr<dvremu::Emulator> emu;
};

TEST_F(RecNetSearchTest, HandlesOfAnEndedLoginStayStaleAfterTheNextLogin) {
  const int32_t first = Login();
  ASSERT_GE(first, 0);
  const SdkFileCond cond = Channel1();
  const int32_t stale = RecNet_FindFile(first, &cond);
  ASSERT_GE(stale, 0);
  int32_t last = 0;
  EXPECT_EQ(Drain(stale, &last).size(), 3u);
  EXPECT_EQ(last, SDK_FIND_NOMORE);
  SdkClientInfo view{1, 0, 0, nullptr};
  const int32_t staleLive = RecNet_RealPlay(first, &view, nullptr, nullptr, 1);
  ASSERT_GE(staleLive, 0);
  // The login goes without its search or view being closed (a device dropped, say).
  ASSERT_EQ(RecNet_Logout(first), 1);
  // Its search went with it.
  SdkFindData d{};
  EXPECT_EQ(RecNet_FindNextFile(stale, &d), SDK_FIND_EXCEPTION);

  // The recorder library gives the next login the same slot and its search and view the same
  // library handles, but ours are new, and the old ones reach nothing.
  const int32_t second = Login();
  ASSERT_GE(second, 0);
  EXPECT_NE(second, first);
  const int32_t fresh = RecNet_FindFile(second, &cond);
  ASSERT_GE(fresh, 0);
  EXPECT_NE(fresh, stale);
  const int32_t freshLive = RecNet_RealPlay(second, &view, nullptr, nullptr, 1);
  ASSERT_GE(freshLive, 0);
  EXPECT_NE(freshLive, staleLive);
  EXPECT_EQ(RecNet_StopRealPlay(staleLive), 0);  // another window's view stays
  EXPECT_EQ(RecNet_FindClose(stale), 0);
  EXPECT_EQ(RecNet_FindFile(first, &cond), -1);
  EXPECT_EQ(RecNet_Logout(first), 0);

  const std::vector<std::string> names = Drain(fresh, &last);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], "ch01_2000.mp4");
  EXPECT_EQ(last, SDK_FIND_NOMORE);
  EXPECT_EQ(RecNet_FindClose(fresh), 1);
  EXPECT_EQ(RecNet_StopRealPlay(freshLive), 1);
  EXPECT_EQ(RecNet_StopRealPlay(freshLive), 0);
  EXPECT_EQ(RecNet_Logout(second), 1);
}
}  // namespace

// The last error is that of the thread's last call, never one an earlier call left behind.
TEST_F(RecNetSearchTest, TheLastErrorIsTheLastCallsOwn) {
  const int32_t id = Login();  // at the full reply wait: logins are slow under a sanitizer
  ASSERT_GE(id, 0);
  testsupport::ScopedTimeScale fast(0.2);  // the unanswered write below waits 1 s
  // The time record's write (command 119, 24 bytes; 39 on the wire) goes unanswered.
  emu->hold(39, true);
  std::vector<uint8_t> time(24);
  EXPECT_EQ(RecNet_WriteConfig(id, 119, 0, time.data(), static_cast<uint32_t>(time.size())), 0);
  EXPECT_EQ(RecNet_GetLastError(), SDK_ERROR_NO_ANSWER);
  emu->hold(39, false);
  // A clean-up too many is told as such, and a start afterwards leaves no error.
  ASSERT_EQ(RecNet_Cleanup(), 1);
  EXPECT_EQ(RecNet_Cleanup(), 0);
  EXPECT_EQ(RecNet_GetLastError(), 3u);
  ASSERT_EQ(RecNet_Init(), 1);
  EXPECT_EQ(RecNet_GetLastError(), 0u);
}
