// A "recorder" at a loopback address that answers the recorder protocol with garbage: bytes
// without the protocol's mark, a length far above what the protocol allows, a reply cut
// short, no answer at all, and a correct login followed by garbage to the live request. Each
// open of its channel fails with a notice, the window stays empty, the device is not left
// logged in, and the program answers the next click: no crash, no hang.
#include "FaultSteps.h"
#include "devices/DeviceManager.h"
#include "view/PreviewManager.h"

namespace {

constexpr unsigned kCannotPreview = 8546;
const QString kName = QStringLiteral("坏录像机");

class GarbageRecorderJourney : public FaultJourney {
 protected:
  CDevice* Device() { return CDeviceManager::GetInstance()->FindDevice(kName.toStdU16String(), 0); }
};

TEST_F(GarbageRecorderJourney, AnswersOutsideTheProtocolFailClearlyAndNothingHangs) {
  GarbageRecorder dvr;
  ASSERT_TRUE(dvr.Start());
  RunProgram([&] {
    CDlgDevMgr* devices = OpenDeviceManager();
    AddRegion(devices);
    AddDevice(devices, kName, "DVR", 4, "127.0.0.1", dvr.Port(), kRecorderUser, kRecorderPassword);
    ASSERT_NE(Device(), nullptr);
    for (GarbageRecorder::Mode mode : {GarbageRecorder::kBadMagic, GarbageRecorder::kOversized,
                                       GarbageRecorder::kCutShort, GarbageRecorder::kSilent,
                                       GarbageRecorder::kLoginThenGarbage}) {
      SCOPED_TRACE(static_cast<int>(mode));
      dvr.SetMode(mode);
      const int connections = dvr.Connections();
      const size_t notices = Ui().notices.size();
      OpenInWindow(kName, 1, 0);  // returns when the double click's handler has
      EXPECT_GT(dvr.Connections(), connections) << "the program went to the device";
      // The open fails and says so; nothing is left playing in the window or logged in.
      EXPECT_TRUE(WaitUntil([&] {
        return !CPreviewManager::GetInstance()->FindByWindow(0) && !Device()->IsLoggedIn();
      })) << "window or login left behind";
      ASSERT_GT(Ui().notices.size(), notices) << "the user is not told";
      EXPECT_TRUE(SaidNotice(kCannotPreview)) << QString::fromStdU16String(Ui().notices.back()).toStdString();
      EXPECT_EQ(ShownFrame(LiveWindow(0)), -1);
    }
    EXPECT_EQ(dvr.Commands().front(), 1u) << "the first request is the login";
    // The program still answers the user.
    ClickId(Main(), CTarnwickDlg::IDC_BtnSettings);
    EXPECT_TRUE(WaitUntil([&] { return Main()->GetSettingsDlg()->isVisible(); }));
    Shot(Main(), "faults_garbage_recorder");
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace
