// Logins of cameras and recorders, and the factory matrix over the real families.
#include <typeinfo>
#include <cstring>

#include "ipc_fixture.h"

namespace hotest {
namespace {

using IpcLogin = CameraTest;

std::string UserOfOpen(const camemu::Request& r) {
  const char* p = reinterpret_cast<const char*>(r.payload.data() + kIpcOpenUserOffset -
                                          kIpcMsgHeaderSize);
  return std::string(p, strnlen(p, kIpcNameFieldSize));
}

TEST_F(IpcLogin, CameraLogsInOnDemandWithItsCredentialsAndLogsOutOnce) {
  Device dev(DEV_TYPE_IPC);
  LoginGuard g{dev.makeLogin()};
  ASSERT_NE(g.login, nullptr);
  EXPECT_EQ(g.login->GetDevType(), DEV_TYPE_IPC);
  EXPECT_EQ(g.login->GetLoginID(0), -1);
  EXPECT_FALSE(g.login->IsLogin());
  EXPECT_EQ(dev.cam.opens(kIpcChanControl), 0u);

  const DevHandle session = g.login->GetLoginID(1);
  EXPECT_NE(session, 0);
  EXPECT_NE(session, -1);
  EXPECT_TRUE(g.login->IsLogin());
  EXPECT_EQ(g.login->GetLoginID(0), session);
  EXPECT_EQ(g.login->GetLoginID(1), session);  // no second login
  EXPECT_EQ(dev.cam.opens(kIpcChanControl), 1u);
  for (const auto& r : dev.cam.requests()) {
    if (r.open && r.code == kIpcChanControl) {
      EXPECT_EQ(UserOfOpen(r), "admin");
    }
  }

  EXPECT_EQ(g.login->Logout(), 1);
  EXPECT_EQ(g.login->Logout(), 0);
  EXPECT_EQ(g.login->GetLoginID(0), -1);
  EXPECT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanControl) == 0; }));
  // The delete after a logout has nothing left to close.
  CDevUserLoginFactory::DeleteDevUserLogin(g.login);
  g.login = nullptr;
  EXPECT_EQ(dev.cam.opens(kIpcChanControl), 1u);
}

TEST_F(IpcLogin, DeletingALoggedInCameraClosesItsSession) {
  Device dev(DEV_TYPE_IPC);
  IDevUserLogin* login = dev.makeLogin();
  ASSERT_NE(login->GetLoginID(1), 0);
  EXPECT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanControl) == 1; }));
  CDevUserLoginFactory::DeleteDevUserLogin(login);
  EXPECT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanControl) == 0; }));
}

TEST_F(IpcLogin, RefusedOrUnreachableLoginGivesNoSession) {
  Device dev(DEV_TYPE_IPC);
  // A 20-character name is cut to the camera's field and refused like any wrong name.
  dev.info.UserName.SetNarrow("administrator-admin1");
  LoginGuard g{dev.makeLogin()};
  EXPECT_EQ(g.login->GetLoginID(1), 0);
  EXPECT_EQ(g.login->GetLoginID(0), -1);
  EXPECT_EQ(CDevPreviewFactory::CreateDevPreview(g.login, 1), nullptr);
  // A configuration object over no session reads nothing.
  IDevConfig* cfg = CDevConfigFactory::CreateDevConfig(g.login);
  ASSERT_NE(cfg, nullptr);
  std::vector<uint8_t> rec(784, 0xAA);
  tagDevConfigRequest req{0, 12, rec.data(), 784, 0, 3, 0};
  EXPECT_EQ(cfg->GetConfig(&req), 0);
  EXPECT_EQ(rec, std::vector<uint8_t>(784, 0xAA));
  EXPECT_EQ(cfg->SetConfig(&req), 0);
  CDevConfigFactory::DeleteDevConfig(cfg, g.login);

  // An empty host is not turned into some broadcast address: nothing is tried.
  CDevInfo nowhere = dev.info;
  nowhere.IP.SetNarrow("");
  LoginGuard g2{CDevUserLoginFactory::CreateDevUserLogin(&nowhere)};
  EXPECT_EQ(g2.login->GetLoginID(1), 0);
}

TEST_F(IpcLogin, HostNamesAreResolved) {
  Device dev(DEV_TYPE_IPC);
  dev.info.IP.SetNarrow("localhost");
  LoginGuard g{dev.makeLogin()};
  EXPECT_NE(g.login->GetLoginID(1), 0);
  EXPECT_EQ(dev.cam.opens(kIpcChanControl), 1u);
}

TEST_F(IpcLogin, RecorderSessionComesAtOnceAndConnectsBehind) {
  Device dev(DEV_TYPE_NVR);
  LoginGuard g{dev.makeLogin()};
  EXPECT_EQ(g.login->GetDevType(), DEV_TYPE_NVR);
  EXPECT_EQ(g.login->GetDVRType(), DEV_TYPE_NVR);
  EXPECT_NE(g.login->GetLoginID(1), 0);
  EXPECT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanControl) == 1; }));
  // No preview yet: talk has no stream to go to.
  EXPECT_EQ(g.login->StartVoiceCom(0, 0, 0, 0), 0);
  EXPECT_EQ(g.login->StopVoiceCom(), 0);
}

// Every factory for each device type, with and without its arguments. Types served by no
// family on this branch give no object; the camera types give their family's.
TEST_F(IpcLogin, FactoryMatrixOverTheCameraFamilies) {
  Device dev(DEV_TYPE_IPC);
  PlayWindow wnd;
  TIME t0{2026, 12, 1, 0, 0, 0}, t1{2026, 12, 1, 1, 0, 0};
  tagSearchFileCondition cond{0, 255, t0, t1};
  tagSearchEventCondition econd{};
  char path[] = "/nonexistent-dir/x";
  for (int type : {2, 3, 4, 99}) {
    SCOPED_TRACE(type);
    dev.info.DevType = type;
    IDevUserLogin* login = CDevUserLoginFactory::CreateDevUserLogin(&dev.info);
    if (type != DEV_TYPE_IPC && type != DEV_TYPE_NVR) {
      EXPECT_EQ(login, nullptr);
      continue;
    }
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->GetDevType(), type);
    const bool nvr = type == DEV_TYPE_NVR;

    IDevPreview* pv = CDevPreviewFactory::CreateDevPreview(login, 1);
    ASSERT_NE(pv, nullptr);
    EXPECT_FALSE(pv->SetPlayWnd(0));
    EXPECT_TRUE(pv->SetPlayWnd(wnd.handle));
    EXPECT_EQ(CDevCtlPtzFactory::CreateDevCtlPtz(login, 1, nullptr), nullptr);
    EXPECT_EQ(CDevCtlPtzFactory::CreateDevCtlPtz(nullptr, 1, pv), nullptr);
    IDevCtlPtz* ptz3 = CDevCtlPtzFactory::CreateDevCtlPtz(login, 1, pv);
    EXPECT_NE(ptz3, nullptr);
    IDevCtlPtz* ptz2 = CDevCtlPtzFactory::CreateDevCtlPtz(login, pv);
    EXPECT_NE(ptz2, nullptr);  // the camera families hold the session, not a live handle
    IDevConfig* cfg = CDevConfigFactory::CreateDevConfig(login);
    EXPECT_NE(cfg, nullptr);
    EXPECT_EQ(CDevAlarmFactory::CreateDevAlarm(login), nullptr);
    IDevLocalPlayback* local = CDevLocalPlaybackFactory::CreateDevLocalPlayback(login);
    ASSERT_NE(local, nullptr);
    EXPECT_NE(std::string(typeid(*local).name()).find(nvr ? "CDevNVRLocalPlayback" : "CDevIPCLocalPlayback"),
              std::string::npos);
    CDevLocalPlaybackFactory::DeleteDevLocalPlayback(local);
    EXPECT_EQ(CDevRemoteFileFinderFactory::CreateFinder(login, &econd), nullptr);
    EXPECT_EQ(CDevRemoteFileFinderFactory::CreateFinder(login, static_cast<tagSearchFileCondition*>(nullptr)),
              nullptr);
    EXPECT_EQ(CDevRemoteFileDownloaderFactory::CreateDownloader(login, "a", nullptr), nullptr);
    EXPECT_EQ(CDevRemoteFileDownloaderFactory::CreateDownloader(login, 1, &t0, nullptr, path),
              nullptr);
    EXPECT_EQ(CDevRemotePlaybackFactory::CreateRemotePlayback(login, wnd.handle, nullptr),
              nullptr);
    EXPECT_EQ(CDevRemotePlaybackFactory::CreateRemotePlayback(login, wnd.handle, 1, &t0, nullptr),
              nullptr);

    CDevRemoteFileFinder* finder = CDevRemoteFileFinderFactory::CreateFinder(login, &cond);
    CDevRemoteFileDownloader* dl =
        CDevRemoteFileDownloaderFactory::CreateDownloader(login, 1, &t0, &t1, path);
    CDevRemotePlayback* pb =
        CDevRemotePlaybackFactory::CreateRemotePlayback(login, wnd.handle, "f.h264");
    CDevRemotePlayback* pbt =
        CDevRemotePlaybackFactory::CreateRemotePlayback(login, wnd.handle, 1, &t0, &t1);
    EXPECT_EQ(finder != nullptr, nvr);
    EXPECT_EQ(dl != nullptr, nvr);
    EXPECT_EQ(pb != nullptr, nvr);
    EXPECT_EQ(pbt != nullptr, nvr);
    if (dl) {
      EXPECT_LT(dl->GetPos(), 0);
    }  // nothing to download by time, nowhere to write
    CDevRemoteFileFinderFactory::DeleteFinder(finder);
    CDevRemoteFileDownloaderFactory::DeleteDownloader(dl);
    CDevRemotePlaybackFactory::DeleteRemotePlayback(pb);
    CDevRemotePlaybackFactory::DeleteRemotePlayback(pbt);
    CDevConfigFactory::DeleteDevConfig(cfg, login);
    CDevCtlPtzFactory::DeleteDevCtlPtz(ptz2, login);
    CDevCtlPtzFactory::DeleteDevCtlPtz(ptz3, login);
    CDevPreviewFactory::DeleteDevPreview(pv, login);
    CDevUserLoginFactory::DeleteDevUserLogin(login);
  }
  // Null logins everywhere.
  EXPECT_EQ(CDevPreviewFactory::CreateDevPreview(nullptr, 1), nullptr);
  EXPECT_EQ(CDevConfigFactory::CreateDevConfig(nullptr), nullptr);
  EXPECT_EQ(CDevLocalPlaybackFactory::CreateDevLocalPlayback(nullptr), nullptr);
  EXPECT_EQ(CDevRemoteFileFinderFactory::CreateFinder(nullptr, &cond), nullptr);
  EXPECT_EQ(CDevRemotePlaybackFactory::CreateRemotePlayback(nullptr, wnd.handle, "f"), nullptr);
  EXPECT_EQ(CDevRemoteFileDownloaderFactory::CreateDownloader(nullptr, "a", "b"), nullptr);
  EXPECT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanControl) == 0; }));
}

}  // namespace
}  // namespace hotest
