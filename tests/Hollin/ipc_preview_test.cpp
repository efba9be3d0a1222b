// Live previews of cameras and recorders against the camera emulator: streams, connections
// full, talk, PTZ, configuration and video effects.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "ipc_fixture.h"
#include "support/TestFolder.h"
#include "support/Wait.h"

namespace hotest {
namespace {

std::mutex g_noticeMutex;
std::vector<std::string> g_notices;
void RecordNotice(HWND, const char* text, const char* caption) {
  std::lock_guard<std::mutex> lk(g_noticeMutex);
  g_notices.push_back(std::string(caption) + "|" + text);
}

class IpcPreview : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    g_notices.clear();
    SetDevNoticeSink(&RecordNotice);
  }
  void TearDown() override {
    SetDevNoticeSink(nullptr);
    CameraTest::TearDown();
  }
  // The stream numbers asked for on video channels. A stream without frames reopens now and
  // then (slow builds see it), so this says which numbers were asked for, not how often.
  static std::vector<uint16_t> videoArguments(const camemu::Camera& cam) {
    std::vector<uint16_t> args;
    for (const auto& r : cam.requests())
      if (r.open && r.code == kIpcChanVideo) args.push_back(r.argument);
    std::sort(args.begin(), args.end());
    args.erase(std::unique(args.begin(), args.end()), args.end());
    return args;
  }
  static IDevPreview* start(IDevUserLogin* login, long channel, PlayWindow& w, int type = 0) {
    IDevPreview* p = CDevPreviewFactory::CreateDevPreview(login, channel);
    EXPECT_NE(p, nullptr);
    if (!p) return nullptr;
    p->SetPlayWnd(w.handle);
    p->SetStreamType(type);
    EXPECT_TRUE(p->StartPreview());
    return p;
  }
};

TEST_F(IpcPreview, CameraPreviewOpensTheChosenStreamAndClosesIt) {
  Device dev(DEV_TYPE_IPC);
  LoginGuard g{dev.makeLogin()};
  PlayWindow w;
  PreviewGuard p{start(g.login, 1, w, 1), g.login};
  EXPECT_TRUE(p.preview->IsPreviewing());
  EXPECT_EQ(p.preview->GetStreamType(), 1);
  EXPECT_EQ(p.preview->GetPlayWnd(), w.handle);
  DevHandle real = 0;
  p.preview->GetRealHandle(&real);
  EXPECT_NE(real, 0);
  ASSERT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanVideo) == 1; }));
  EXPECT_EQ(videoArguments(dev.cam), std::vector<uint16_t>{1});

  EXPECT_TRUE(p.preview->StopPreview());
  EXPECT_FALSE(p.preview->IsPreviewing());
  EXPECT_FALSE(p.preview->StopPreview());
  p.preview->GetRealHandle(&real);
  EXPECT_EQ(real, 0);
  EXPECT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanVideo) == 0; }));
  // Nothing to record, snapshot or hear without a stream.
  EXPECT_FALSE(p.preview->CapturePicture(testsupport::TestFile("never.bmp").c_str(), 0));
  EXPECT_FALSE(p.preview->StopRecord());
  EXPECT_FALSE(p.preview->OpenSound());
  EXPECT_FALSE(p.preview->CloseSound());
  EXPECT_FALSE(p.preview->SetVolume(100));
}

TEST_F(IpcPreview, RecorderChannelOneOpensStreamZero) {
  Device dev(DEV_TYPE_NVR);
  LoginGuard g{dev.makeLogin()};
  PlayWindow w;
  // Each open says its channel on standard output.
  testing::internal::CaptureStdout();
  PreviewGuard p1{start(g.login, 1, w), g.login};
  PreviewGuard p3{start(g.login, 3, w), g.login};
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "m_lChannel:1\n\nm_lChannel:3\n\n");
  ASSERT_TRUE(dev.cam.waitUntil([&] { return videoArguments(dev.cam).size() >= 2; }));
  EXPECT_EQ(videoArguments(dev.cam), (std::vector<uint16_t>{0, 2}));
}

TEST_F(IpcPreview, SoundOpensTheCameraAudioAndClosesWithThePreview) {
  Device dev(DEV_TYPE_IPC);
  LoginGuard g{dev.makeLogin()};
  PlayWindow w;
  PreviewGuard p{start(g.login, 1, w), g.login};
  EXPECT_TRUE(p.preview->OpenSound());
  EXPECT_TRUE(p.preview->IsSoundOpen());
  EXPECT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanAudio) == 1; }));
  EXPECT_TRUE(p.preview->CloseSound());
  EXPECT_FALSE(p.preview->IsSoundOpen());
  EXPECT_FALSE(p.preview->CloseSound());  // a camera needs the sound open to close it
  EXPECT_TRUE(p.preview->OpenSound());
  EXPECT_TRUE(p.preview->StopPreview());
  EXPECT_FALSE(p.preview->IsSoundOpen());
}

// Another login holds the camera's only video connection; previews of a second login are
// refused with "connections full" on their receive threads.
class ConnectionsFull : public IpcPreview {
 protected:
  static camemu::Config oneVideo() {
    camemu::Config c;
    c.otherLimit = 1;
    return c;
  }
  void SetUp() override {
    IpcPreview::SetUp();
    // Frames keep the holder's video connection alive (an idle one is dropped and opened
    // anew, and the slot could change hands).
    camemu::MediaFrame f;
    f.data.assign(64, 0);
    f.key = true;
    dev.media.setLiveFrames({f}, true);
    dev.media.setFrameInterval(1000);
    hog.login = dev.makeLogin();
    hogPreview.login = hog.login;
    hogPreview.preview = start(hog.login, 1, hogWindow);
    ASSERT_TRUE(dev.cam.waitUntil([&] { return dev.cam.connections(kIpcChanVideo) == 1; }));
    login.login = dev.makeLogin();
  }
  size_t refusals() const { return dev.cam.opens(kIpcChanVideo) - 1; }

  Device dev{DEV_TYPE_IPC, oneVideo()};
  LoginGuard hog;
  PlayWindow hogWindow;
  PreviewGuard hogPreview;
  LoginGuard login;
};

TEST_F(ConnectionsFull, OneNoticeAndAStopOnTheUiSide) {
  PlayWindow w;
  PreviewGuard p{start(login.login, 1, w), login.login};
  // Several refusals come and go before the UI side runs.
  ASSERT_TRUE(dev.cam.waitUntil([&] { return refusals() >= 3; }));
  EXPECT_TRUE(p.preview->IsPreviewing());  // nothing was stopped on the receive thread
  ASSERT_TRUE(w.pumpUntil([&] { return w.fullMessages > 0; }));
  EXPECT_EQ(w.fullMessages, 1);
  EXPECT_EQ(w.stopped, 1);
  EXPECT_FALSE(p.preview->IsPreviewing());
  ASSERT_EQ(g_notices.size(), 1u);
  EXPECT_EQ(g_notices[0],
            "Tip|Please stop the window preview video number of connections is full!");
  // The other login's preview is untouched.
  hogWindow.dispatcher->pump(0);
  EXPECT_EQ(hogWindow.fullMessages, 0);
  EXPECT_TRUE(hogPreview.preview->IsPreviewing());
}

TEST_F(ConnectionsFull, ALateNoticeForAStoppedOrDeletedPreviewDoesNothing) {
  // A window that keeps the notices for later, as a busy UI thread would.
  auto d = std::make_shared<plat::QueueDispatcher>();
  std::vector<std::pair<uintptr_t, intptr_t>> held;
  plat::WindowHandle w = plat::registerWindow(
      [&](uint32_t msg, uintptr_t wp, intptr_t lp) -> intptr_t {
        if (msg == WM_DEV_PREVIEW_FULL) held.emplace_back(wp, lp);
        return 0;
      },
      d);
  auto pumpUntilHeld = [&](size_t n) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (held.size() < n && std::chrono::steady_clock::now() < end) d->pump(10);
    return held.size();
  };
  IDevPreview* p = CDevPreviewFactory::CreateDevPreview(login.login, 1);
  p->SetPlayWnd(w);
  ASSERT_TRUE(p->StartPreview());
  ASSERT_EQ(pumpUntilHeld(1), 1u);
  // Stopped and started again: the old run's notice no longer applies.
  EXPECT_TRUE(p->StopPreview());
  EXPECT_EQ(DevPreviewOnFull(held[0].first, held[0].second), 0);
  ASSERT_TRUE(p->StartPreview());
  ASSERT_EQ(pumpUntilHeld(2), 2u);
  CDevPreviewFactory::DeleteDevPreview(p, login.login);
  EXPECT_EQ(DevPreviewOnFull(held[1].first, held[1].second), 0);
  EXPECT_TRUE(g_notices.empty());
  plat::unregisterWindow(w);
}

// Two previews of one camera each keep their own stream and events: deleting one leaves the
// other's notices coming.
TEST_F(ConnectionsFull, TwoPreviewsOfOneCameraKeepTheirOwnEvents) {
  PlayWindow wa, wb;
  IDevPreview* a = start(login.login, 1, wa, 0);
  PreviewGuard b{start(login.login, 1, wb, 1), login.login};
  DevHandle ha = 0, hb = 0;
  a->GetRealHandle(&ha);
  b.preview->GetRealHandle(&hb);
  EXPECT_NE(ha, hb);
  // Each refusal reaches its own preview's window, whenever its receive thread gets to it.
  ASSERT_TRUE(wa.pumpUntil([&] { return wa.stopped == 1; }));
  ASSERT_TRUE(wb.pumpUntil([&] { return wb.stopped == 1; }));

  CDevPreviewFactory::DeleteDevPreview(a, login.login);
  const size_t before = refusals();
  ASSERT_TRUE(b.preview->StartPreview());
  ASSERT_TRUE(dev.cam.waitUntil([&] { return refusals() > before; }));
  ASSERT_TRUE(wb.pumpUntil([&] { return wb.fullMessages == 2; }));
  EXPECT_EQ(wb.stopped, 2);
  EXPECT_EQ(wa.fullMessages, 1);
}

TEST_F(IpcPreview, TalkGoesToTheDeviceBeingTalkedTo) {
  Device a(DEV_TYPE_IPC), b(DEV_TYPE_IPC), r(DEV_TYPE_NVR);
  LoginGuard la{a.makeLogin()}, lb{b.makeLogin()}, lr{r.makeLogin()};
  PlayWindow w;
  EXPECT_EQ(la.login->StartVoiceCom(0, 0, 0, 0), 0);  // no stream of its own yet
  PreviewGuard pa{start(la.login, 1, w), la.login};
  PreviewGuard pr{start(lr.login, 1, w), lr.login};
  PreviewGuard pb{start(lb.login, 1, w), lb.login};  // the last camera previewed anywhere

  EXPECT_EQ(la.login->StartVoiceCom(1, 2, 3, 4), 1);
  EXPECT_TRUE(a.cam.waitUntil([&] { return a.cam.connections(kIpcChanTalk) == 1; }));
  EXPECT_EQ(b.cam.opens(kIpcChanTalk), 0u);
  EXPECT_EQ(la.login->StopVoiceCom(), 1);
  EXPECT_TRUE(a.cam.waitUntil([&] { return a.cam.connections(kIpcChanTalk) == 0; }));

  // A recorder talks on its own stream too.
  EXPECT_EQ(lr.login->StartVoiceCom(0, 0, 0, 0), 1);
  EXPECT_TRUE(r.cam.waitUntil([&] { return r.cam.connections(kIpcChanTalk) == 1; }));
  EXPECT_EQ(lr.login->StopVoiceCom(), 1);
  EXPECT_EQ(b.cam.opens(kIpcChanTalk), 0u);

  // Once the camera's preview stops, its talk has nowhere to go.
  pa.preview->StopPreview();
  EXPECT_EQ(la.login->StartVoiceCom(0, 0, 0, 0), 0);
}

TEST_F(IpcPreview, PtzSendsTheCommandByteOverTheSession) {
  Device dev(DEV_TYPE_IPC);
  LoginGuard g{dev.makeLogin()};
  PlayWindow w;
  PreviewGuard p{start(g.login, 1, w), g.login};
  IDevCtlPtz* ptz = CDevCtlPtzFactory::CreateDevCtlPtz(g.login, 1, p.preview);
  ASSERT_NE(ptz, nullptr);
  // The stored int is kept and never sent: a steering command carries no value.
  EXPECT_EQ(ptz->GetStoredValue(), 0);
  ptz->SetStoredValue(9);
  EXPECT_EQ(ptz->GetStoredValue(), 9);
  EXPECT_EQ(ptz->PTZControl(0x1215, 0), 1);
  EXPECT_EQ(ptz->PTZPreset(39, 5), 1);
  EXPECT_EQ(ptz->PTZCruise(30, 1, 2, 3), 1);
  EXPECT_EQ(ptz->PTZTrack(7), 1);
  std::vector<uint8_t> sent;
  std::vector<std::vector<uint8_t>> records;
  for (const auto& r : dev.cam.requests())
    if (!r.open && r.code == 0x0905) {
      sent.push_back(r.payload[kIpcPtzCommandByteOffset]);
      records.push_back(r.payload);
    }
  EXPECT_EQ(sent, (std::vector<uint8_t>{0x15, 39, 30, 7}));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0][kIpcPtzValueOffset], 0) << "a steering command carries no speed";
  EXPECT_EQ(records[0][kIpcPtzValueOffset + 1], 0);
  int points[96] = {};
  EXPECT_EQ(ptz->GetPTZCruise(1, points, 0), 0);
  CDevCtlPtzFactory::DeleteDevCtlPtz(ptz, g.login);

  // After a logout the session is gone and commands fail.
  IDevCtlPtz* ptz2 = CDevCtlPtzFactory::CreateDevCtlPtz(g.login, p.preview);
  ASSERT_NE(ptz2, nullptr);
  g.login->Logout();
  EXPECT_EQ(ptz2->PTZControl(1, 0), 0);
  CDevCtlPtzFactory::DeleteDevCtlPtz(ptz2, g.login);
}

TEST_F(IpcPreview, CameraConfigFillsTheCallersRecordOrFails) {
  Device dev(DEV_TYPE_IPC);
  LoginGuard g{dev.makeLogin()};
  IDevConfig* cfg = CDevConfigFactory::CreateDevConfig(g.login);
  ASSERT_NE(cfg, nullptr);
  std::vector<uint8_t> rec(784, 0xAA);
  tagDevConfigRequest req{0, 12, rec.data(), 784, 0, 3, g.login->GetLoginID(0)};
  // Nothing read yet: nothing is written back over the camera's parameters.
  EXPECT_EQ(cfg->SetConfig(&req), 0);
  EXPECT_EQ(dev.cam.received(0x0901), 0u);

  tagDevConfigRequest small{0, 12, rec.data(), 100, 0, 3, 0};
  EXPECT_EQ(cfg->GetConfig(&small), 0);
  EXPECT_EQ(rec[0], 0xAA);
  tagDevConfigRequest other{0, 3, rec.data(), 784, 0, 3, 0};
  EXPECT_EQ(cfg->GetConfig(&other), 0);
  EXPECT_EQ(cfg->GetConfig(nullptr), 0);

  EXPECT_EQ(cfg->GetConfig(&req), 1);
  EXPECT_EQ(req.returned, 784u);
  EXPECT_EQ(std::count(rec.begin(), rec.end(), 0), 784);  // no preset reported as set
  EXPECT_EQ(cfg->SetConfig(&req), 1);
  EXPECT_EQ(dev.cam.received(0x0901), 1u);
  CDevConfigFactory::DeleteDevConfig(cfg, g.login);

  Device nvr(DEV_TYPE_NVR);
  LoginGuard gn{nvr.makeLogin()};
  IDevConfig* ncfg = CDevConfigFactory::CreateDevConfig(gn.login);
  ASSERT_NE(ncfg, nullptr);
  std::fill(rec.begin(), rec.end(), 0xAA);
  EXPECT_EQ(ncfg->GetConfig(&req), 0);
  EXPECT_EQ(rec[0], 0xAA);
  CDevConfigFactory::DeleteDevConfig(ncfg, gn.login);
}

uint32_t U32At(const std::vector<uint8_t>& r, size_t off) {
  return uint32_t(r[off]) | uint32_t(r[off + 1]) << 8 | uint32_t(r[off + 2]) << 16 |
         uint32_t(r[off + 3]) << 24;
}

TEST_F(IpcPreview, VideoEffectsScaleToTheCamerasRange) {
  Device dev(DEV_TYPE_IPC);
  LoginGuard g{dev.makeLogin()};
  PreviewGuard p{CDevPreviewFactory::CreateDevPreview(g.login, 2), g.login};
  EXPECT_TRUE(p.preview->SetVideoEffect(4, 10, 0, 7));
  std::vector<uint8_t> r = dev.cam.record(0x0407);
  ASSERT_EQ(r.size(), kIpcPictureParamSize);
  EXPECT_EQ(r[0], 2);
  EXPECT_EQ(U32At(r, 4), 102u);
  EXPECT_EQ(U32At(r, 8), 255u);
  EXPECT_EQ(U32At(r, 12), 0u);
  int b = -1, c = -1, s = -1, h = -1;
  EXPECT_TRUE(p.preview->GetVideoEffect(&b, &c, &s, &h));
  EXPECT_EQ(b, 4);
  EXPECT_EQ(c, 10);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(h, 0);

  Device nvr(DEV_TYPE_NVR);
  LoginGuard gn{nvr.makeLogin()};
  PreviewGuard pn{CDevPreviewFactory::CreateDevPreview(gn.login, 1), gn.login};
  // The recorder's session connects behind the login; bounded retries until it is up.
  EXPECT_TRUE(testsupport::Eventually([&] { return pn.preview->SetVideoEffect(4, 10, 0, 7); }));
  EXPECT_EQ(U32At(nvr.cam.record(0x0407), 4), 100u);
  EXPECT_FALSE(pn.preview->GetVideoEffect(&b, &c, &s, &h));
}

}  // namespace
}  // namespace hotest
