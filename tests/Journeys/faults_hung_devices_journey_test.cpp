// Devices that hang hold up only themselves. The camera emulator plays in one window and the
// recorder emulator in another while four windows open channels of devices that accept the
// connection and then never answer or answer one byte every quarter second (a camera and a
// recorder of each kind). All the while a timer on the UI thread keeps ticking, the two live
// windows keep getting new pictures, and the four windows say they connect, then go dark with
// the open's notice once each device's reply time is up. Closing a window still connecting
// and stopping all videos are immediate. The recorder emulator stopped (SIGSTOP) makes its
// window say its video is lost, and the pictures come back by themselves once it runs again.
// The program then closes, every device queue ending within its deadlines.
#include <QTimer>
#include <chrono>

#include "FaultSteps.h"
#include "devices/DeviceWork.h"
#include "harness/DeviceWorkWait.h"
#include "plat/text.h"
#include "view/DlgDivScreen.h"
#include "view/DlgPreview.h"
#include "view/PlayScreen.h"
#include "support/FakePeers.h"
#include "support/UiTicker.h"
#include "view/PlayWnd.h"

namespace {

constexpr unsigned kCannotPreview = 8546, kVideoLost = 9003;

struct Dead {
  const char16_t* name;
  const char16_t* host;
  deadpeer::Device device;
  deadpeer::Mode mode;
  int answerFirst;
};

// Cameras are asked for their login first (the control channel's open); recorders too.
const Dead kDead[] = {
    {u"哑摄像机", u"127.0.0.2", deadpeer::Device::Camera, deadpeer::Mode::Silent, 0},
    {u"慢摄像机", u"127.0.0.3", deadpeer::Device::Camera, deadpeer::Mode::Trickle, 0},
    {u"哑录像机", u"127.0.0.4", deadpeer::Device::Recorder, deadpeer::Mode::Silent, 0},
    {u"慢录像机", u"127.0.0.5", deadpeer::Device::Recorder, deadpeer::Mode::Trickle, 0},
};

class HungDevicesJourney : public FaultJourney {};

TEST_F(HungDevicesJourney, NoDeviceFreezesTheWindowNorTheVideoOfTheOthers) {
  ASSERT_TRUE(StartEmulators());
  std::vector<std::unique_ptr<deadpeer::Peer>> peers;
  SeedDevices();
  for (const Dead& d : kDead) {
    peers.push_back(std::make_unique<deadpeer::Peer>(testsupport::PeerOptions(d.device, d.mode, d.answerFirst, 250)));
    ASSERT_TRUE(peers.back()->start(0, plat::utf16ToUtf8(d.host)));
    const bool camera = d.device == deadpeer::Device::Camera;
    SeedDevice(d.name, d.host, peers.back()->port(), camera ? kCameraUser : kRecorderUser,
               camera ? kCameraPassword : kRecorderPassword, 4, camera ? 2 : 1, std::u16string(u"J-") + d.host);
  }
  settleAfterInput_ = false;  // the journey looks at the windows while the devices hang
  RunProgram([&] {
    // Nine windows: two live devices, four hung ones and room for two more.
    CDlgPreview* live = ShowLivePage();
    ClickId(live, CDlgPreview::ID_DIVIDE);
    QWidget* picker = Find(live, CDlgDivScreen::kTemplateId);
    ASSERT_TRUE(picker && picker->isVisible());
    ClickId(picker, CDlgDivScreen::kFirstButtonId + 4);
    ASSERT_EQ(live->GetPlayScreen()->GetLayoutMode(), CDlgDivScreen::ModeOfButton(CDlgDivScreen::kFirstButtonId + 4));

    OpenInWindow(QString::fromStdU16String(JourneyTest::kCameraName), 1, 0);
    OpenInWindow(QString::fromStdU16String(JourneyTest::kRecorderName), 1, 1);
    ASSERT_TRUE(Plays(0) && Plays(1)) << "the live devices first";

    testsupport::UiTicker ticker;
    for (int i = 0; i < 4; ++i) {
      OpenInWindow(QString::fromStdU16String(kDead[i].name), 1, 2 + i);
      EXPECT_EQ(LiveWindow(2 + i)->GetState(), CPlayWnd::State::kConnecting) << i;
    }
    // The other devices' windows keep their pictures coming while the four connect.
    EXPECT_TRUE(Plays(0) && Plays(1)) << "live video stood still behind the hung devices";
    for (int i = 0; i < 4; ++i) EXPECT_EQ(LiveWindow(2 + i)->GetState(), CPlayWnd::State::kConnecting) << i;

    // Each open ends at its device's reply time, a trickle included, and says so.
    EXPECT_TRUE(WaitUntil([&] {
      for (int i = 0; i < 4; ++i)
        if (LiveWindow(2 + i)->GetState() != CPlayWnd::State::kIdle) return false;
      return true;
    })) << "a hung device's open never ended";
    int refused = 0;
    for (const auto& n : Ui().notices) refused += n == Text(kCannotPreview).toStdU16String();
    EXPECT_GE(refused, 4) << Said();
    EXPECT_LT(ticker.LongestMs(), 1000) << "the UI thread stood still";

    // A window still connecting closes at once (a second double click on its channel), and
    // stop-all takes another one at once too.
    OpenInWindow(QString::fromStdU16String(kDead[0].name), 2, 6);
    OpenInWindow(QString::fromStdU16String(kDead[2].name), 2, 7);
    ASSERT_EQ(LiveWindow(6)->GetState(), CPlayWnd::State::kConnecting);
    OpenInWindow(QString::fromStdU16String(kDead[0].name), 2, 6);
    EXPECT_EQ(LiveWindow(6)->GetState(), CPlayWnd::State::kIdle);
    EXPECT_EQ(LiveWindow(7)->GetState(), CPlayWnd::State::kConnecting);
    ClickId(ShowLivePage(), CDlgPreview::ID_STOP_ALL);
    EXPECT_EQ(LiveWindow(7)->GetState(), CPlayWnd::State::kIdle);
    EXPECT_EQ(LiveWindow(0)->GetState(), CPlayWnd::State::kIdle);

    // The recorder stops sending without a word: its window says so instead of holding its
    // last picture, and plays again by itself once the recorder runs on.
    OpenInWindow(QString::fromStdU16String(JourneyTest::kRecorderName), 1, 1);
    ASSERT_TRUE(WaitUntil([&] { return LiveWindow(1)->GetState() == CPlayWnd::State::kLive; }));
    ASSERT_TRUE(Plays(1));
    ASSERT_TRUE(recorder().Freeze());
    EXPECT_TRUE(WaitUntil([&] { return LiveWindow(1)->GetState() == CPlayWnd::State::kLost; }))
        << "a window without pictures kept its last one";
    EXPECT_TRUE(WaitUntil([&] {
      const std::u16string lost = Text(kVideoLost).toStdU16String();
      for (const auto& n : Ui().notices)
        if (n.starts_with(lost)) return true;
      return false;
    })) << Said();
    Shot(Main(), "faults_video_lost");
    recorder().Resume();
    EXPECT_TRUE(WaitUntil([&] { return LiveWindow(1)->GetState() == CPlayWnd::State::kLive; }))
        << "the pictures did not come back";
    EXPECT_TRUE(Plays(1));
    EXPECT_LT(ticker.LongestMs(), 1000) << "the UI thread stood still";

    // Closing while the hung devices still owe answers: the windows go at once.
    for (int i = 0; i < 4; ++i) OpenInWindow(QString::fromStdU16String(kDead[i].name), 3, 2 + i);
  });
  // The program's end waited for every device queue, each bounded by its deadlines; what is
  // left is only results that no window takes any more.
  EXPECT_TRUE(harness::SettleDeviceWork(5000));
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace
