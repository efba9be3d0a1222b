#include <gtest/gtest.h>

#include <stdexcept>

#include <algorithm>

#include "Hollin.h"
#include "support/FakeDevices.h"

namespace {

struct RefusingFamily : fake::Family {
  using fake::Family::Family;
  bool refuse = false;
  int previews = 0;
  IDevUserLogin* MakeLogin(CDevInfo* info) override {
    if (refuse) throw std::invalid_argument("Invalid device");
    return fake::Family::MakeLogin(info);
  }
  IDevPreview* MakePreview(IDevUserLogin* l, DevHandle h, long ch) override {
    ++previews;
    return fake::Family::MakePreview(l, h, ch);
  }
};

using FakeLogin = fake::UserLogin;
using FakePreview = fake::Preview;

struct Factories : ::testing::Test {
  RefusingFamily dvr{1, 0}, ipc{2, 0x1234}, nvr{4, 0x5678};
  DevFamily* saved[5] = {};
  void SetUp() override {
    saved[1] = SetDevFamily(1, &dvr);
    saved[2] = SetDevFamily(2, &ipc);
    saved[4] = SetDevFamily(4, &nvr);
  }
  void TearDown() override {
    for (int t : {1, 2, 4}) SetDevFamily(t, saved[t]);
    EXPECT_EQ(fake::Alive().logins, 0);
    EXPECT_EQ(fake::Alive().previews, 0);
  }
};

TEST_F(Factories, LoginFamilyIsChosenByDeviceType) {
  for (int type : {1, 2, 3, 4, 99, -1}) {
    CDevInfo info;
    info.DevType = type;
    IDevUserLogin* login = CDevUserLoginFactory::CreateDevUserLogin(&info);
    if (type == 1 || type == 2 || type == 4) {
      ASSERT_NE(login, nullptr) << type;
      EXPECT_EQ(login->GetDevType(), type);
    } else {
      EXPECT_EQ(login, nullptr) << type;
    }
    CDevUserLoginFactory::DeleteDevUserLogin(login);
  }
  EXPECT_EQ(CDevUserLoginFactory::CreateDevUserLogin(nullptr), nullptr);
}

TEST_F(Factories, ARefusingConstructorGivesNoObject) {
  ipc.refuse = true;
  CDevInfo info;
  info.DevType = 2;
  EXPECT_EQ(CDevUserLoginFactory::CreateDevUserLogin(&info), nullptr);
}

TEST_F(Factories, PreviewNeedsAUsableLoginHandle) {
  FakeLogin dvrLogin0(1, 0);  // 0 is a valid recorder login id
  IDevPreview* p = CDevPreviewFactory::CreateDevPreview(&dvrLogin0, 1);
  EXPECT_NE(p, nullptr);
  CDevPreviewFactory::DeleteDevPreview(p, &dvrLogin0);

  FakeLogin dvrNone(1, -1), ipcNone(2, 0), nvrNone(4, 0);
  EXPECT_EQ(CDevPreviewFactory::CreateDevPreview(&dvrNone, 1), nullptr);
  EXPECT_EQ(CDevPreviewFactory::CreateDevPreview(&ipcNone, 1), nullptr);
  EXPECT_EQ(CDevPreviewFactory::CreateDevPreview(&nvrNone, 1), nullptr);
  EXPECT_EQ(CDevPreviewFactory::CreateDevPreview(nullptr, 1), nullptr);
  FakeLogin other(3, 5);
  EXPECT_EQ(CDevPreviewFactory::CreateDevPreview(&other, 1), nullptr);
  EXPECT_EQ(dvr.previews + ipc.previews + nvr.previews, 1);
  EXPECT_EQ(std::count(fake::Journal().begin(), fake::Journal().end(), "login.login"), 4);
}

// Configuration, PTZ and alarm objects are refused only for a login id of -1; an object made
// over a camera session of 0 fails its calls. Every factory logs in first, the local player's
// too.
TEST_F(Factories, OnlyALoginIdOfMinusOneGivesNoConfigPtzOrAlarm) {
  FakePreview preview(1, 3);
  FakeLogin ipcNone(2, 0), nvrNone(4, 0);
  for (FakeLogin* none : {&ipcNone, &nvrNone}) {
    IDevConfig* c = CDevConfigFactory::CreateDevConfig(none);
    EXPECT_NE(c, nullptr);
    CDevConfigFactory::DeleteDevConfig(c, nullptr);  // deleted even without its login
    IDevCtlPtz* p = CDevCtlPtzFactory::CreateDevCtlPtz(none, 1, &preview);
    EXPECT_NE(p, nullptr);
    CDevCtlPtzFactory::DeleteDevCtlPtz(p, none);
    p = CDevCtlPtzFactory::CreateDevCtlPtz(none, &preview);
    EXPECT_NE(p, nullptr);
    CDevCtlPtzFactory::DeleteDevCtlPtz(p, none);
  }
  FakeLogin dvrNone(1, -1);
  EXPECT_EQ(CDevConfigFactory::CreateDevConfig(&dvrNone), nullptr);
  EXPECT_EQ(CDevCtlPtzFactory::CreateDevCtlPtz(&dvrNone, 1, &preview), nullptr);
  EXPECT_EQ(CDevCtlPtzFactory::CreateDevCtlPtz(&dvrNone, &preview), nullptr);
  IDevAlarm* a = CDevAlarmFactory::CreateDevAlarm(&dvrNone);
  EXPECT_NE(a, nullptr);
  CDevAlarmFactory::DeleteDevAlarm(a, &dvrNone);

  fake::Journal().clear();
  FakeLogin dvrOk(1, 3);
  EXPECT_EQ(CDevLocalPlaybackFactory::CreateDevLocalPlayback(&dvrOk), nullptr);  // none made here
  EXPECT_EQ(fake::Journal(), std::vector<std::string>{"login.login"});
}

TEST_F(Factories, OnlyRecordersGetAlarmsAndEventFindersNeverExist) {
  FakeLogin ipcOk(2, 1), nvrOk(4, 1);
  EXPECT_EQ(CDevAlarmFactory::CreateDevAlarm(&ipcOk), nullptr);
  EXPECT_EQ(CDevAlarmFactory::CreateDevAlarm(&nvrOk), nullptr);
  tagSearchEventCondition ev{};
  EXPECT_EQ(CDevRemoteFileFinderFactory::CreateFinder(&nvrOk, &ev), nullptr);
  EXPECT_EQ(CDevRemoteFileFinderFactory::CreateFinder(&nvrOk, static_cast<tagSearchFileCondition*>(nullptr)),
            nullptr);
  EXPECT_EQ(CDevRemoteFileDownloaderFactory::CreateDownloader(&nvrOk, nullptr, "x"), nullptr);
  TIME t{};
  EXPECT_EQ(CDevRemotePlaybackFactory::CreateRemotePlayback(&nvrOk, 0, 1, &t, nullptr), nullptr);
  // Deleters ignore null.
  CDevRemoteFileFinderFactory::DeleteFinder(nullptr);
  CDevRemotePlaybackFactory::DeleteRemotePlayback(nullptr);
  CDevRemoteFileDownloaderFactory::DeleteDownloader(nullptr);
  CDevLocalPlaybackFactory::DeleteDevLocalPlayback(nullptr);
}

TEST_F(Factories, TwoArgumentPtzNeedsALiveHandle) {
  FakeLogin dvrOk(1, 3);
  FakePreview notLive(1, -1);
  EXPECT_EQ(CDevCtlPtzFactory::CreateDevCtlPtz(&dvrOk, &notLive), nullptr);
  EXPECT_EQ(CDevCtlPtzFactory::CreateDevCtlPtz(&dvrOk, nullptr), nullptr);
}

}  // namespace
