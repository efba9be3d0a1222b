#include <gtest/gtest.h>

#include <stdexcept>

#include "Hollin.h"

namespace {

// A family that records what it was asked and can refuse.
struct FakeLogin : IDevUserLogin {
  int type;
  DevHandle handle;
  int loginCalls = 0;
  static inline int alive = 0;
  FakeLogin(int t, DevHandle h) : type(t), handle(h) { ++alive; }
  ~FakeLogin() override { --alive; }
  int GetManufactureID() override { return 0; }
  DevHandle Login() override { ++loginCalls; return handle; }
  int Logout() override { return 1; }
  bool IsLogin() override { return true; }
  DevHandle GetLoginID(int login) override {
    if (login) ++loginCalls;
    return handle;
  }
  bool HasLoginID() override { return false; }
  const uint8_t* GetDeviceInfo() override { return nullptr; }
  int GetAlarmInNum() override { return 0; }
  int GetAlarmOutNum() override { return 0; }
  int GetDiskNum() override { return 0; }
  int GetDVRType() override { return type; }
  int GetDeviceInfoByte56() override { return 0; }
  int GetChanNum() override { return 0; }
  int GetStartChan() override { return 0; }
  bool StartDVRRecord(int, int) override { return false; }
  bool StopDVRRecord(int) override { return false; }
  int RebootDVR() override { return 0; }
  int ShutDownDVR() override { return 0; }
  bool FindDVRLog(int, int, int, TIME*, TIME*, int) override { return false; }
  bool FindLogClose() override { return false; }
  bool FindNextLog(int) override { return false; }
  int StartVoiceCom(intptr_t, intptr_t, intptr_t, intptr_t) override { return 0; }
  int StopVoiceCom() override { return 0; }
  int GetDevType() override { return type; }
};

struct FakePreview : IDevPreview {
  DevHandle real;
  explicit FakePreview(DevHandle r) : real(r) {}
  bool SetPlayWnd(HWND) override { return true; }
  HWND GetPlayWnd() override { return 0; }
  bool StartPreview() override { return true; }
  bool StopPreview() override { return true; }
  bool CapturePicture(const char*, int) override { return false; }
  bool StartRecord(int, const char*) override { return false; }
  bool StopRecord() override { return false; }
  bool GetVideoEffect(int*, int*, int*, int*) override { return false; }
  bool SetVideoEffect(int, int, int, int) override { return false; }
  bool RegisterDrawFun(DrawFunCallback, void*) override { return false; }
  bool SetRealDataCallBack(RealDataCallback, void*) override { return false; }
  bool OpenSound() override { return false; }
  bool CloseSound() override { return false; }
  bool SetVolume(int) override { return false; }
  bool IsPreviewing() override { return false; }
  bool IsSoundOpen() override { return false; }
  bool IsRecording() override { return false; }
  bool SetStreamType(int) override { return true; }
  int GetStreamType() override { return 0; }
  void GetRealHandle(DevHandle* out) override { *out = real; }
};

struct FakeConfig : IDevConfig {
  int GetConfig(tagDevConfigRequest*) override { return 1; }
  int SetConfig(tagDevConfigRequest*) override { return 1; }
};

struct FakeFamily : DevFamily {
  int type;
  DevHandle handle;
  bool refuse = false;
  int previews = 0;
  FakeFamily(int t, DevHandle h) : type(t), handle(h) {}
  IDevUserLogin* MakeLogin(CDevInfo*) override {
    if (refuse) throw std::invalid_argument("Invalid device");
    return new FakeLogin(type, handle);
  }
  IDevPreview* MakePreview(IDevUserLogin*, DevHandle, long) override {
    ++previews;
    return new FakePreview(7);
  }
  IDevConfig* MakeConfig(IDevUserLogin*, DevHandle) override { return new FakeConfig; }
};

struct Factories : ::testing::Test {
  FakeFamily dvr{1, 0}, ipc{2, 0x1234}, nvr{4, 0x5678};
  DevFamily* saved[5] = {};
  void SetUp() override {
    saved[1] = SetDevFamily(1, &dvr);
    saved[2] = SetDevFamily(2, &ipc);
    saved[4] = SetDevFamily(4, &nvr);
  }
  void TearDown() override {
    for (int t : {1, 2, 4}) SetDevFamily(t, saved[t]);
    EXPECT_EQ(FakeLogin::alive, 0);
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
  EXPECT_GE(dvrNone.loginCalls, 1);  // the factory asked it to log in
}

TEST_F(Factories, FailedLoginIsNeverTakenAsASessionForConfigAndPtz) {
  FakeLogin ipcNone(2, 0);
  FakePreview preview(3);
  EXPECT_EQ(CDevConfigFactory::CreateDevConfig(&ipcNone), nullptr);
  EXPECT_EQ(CDevCtlPtzFactory::CreateDevCtlPtz(&ipcNone, 1, &preview), nullptr);
  FakeLogin ipcOk(2, 0x1234);
  IDevConfig* c = CDevConfigFactory::CreateDevConfig(&ipcOk);
  EXPECT_NE(c, nullptr);
  CDevConfigFactory::DeleteDevConfig(c, nullptr);  // deleted even without its login
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
  FakePreview notLive(-1);
  EXPECT_EQ(CDevCtlPtzFactory::CreateDevCtlPtz(&dvrOk, &notLive), nullptr);
  EXPECT_EQ(CDevCtlPtzFactory::CreateDevCtlPtz(&dvrOk, nullptr), nullptr);
}

}  // namespace
