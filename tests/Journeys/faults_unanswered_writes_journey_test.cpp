// A change the device takes after the program stopped waiting for its answer. The
// administrator turns PPPoE on in the recorder's configuration window and changes the
// camera's frame rate; each time the device freezes (its emulator stopped with SIGSTOP)
// just before Save. The program gives up after the reply wait and says that no answer came
// and the change may or may not have been made, never that it failed; the device, running
// again, holds the change.
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QToolButton>

#include "DeviceSteps.h"
#include "devices/DlgIPCParamSetting.h"
#include "harness/DeviceWorkWait.h"
#include "shell/StringIds.h"

namespace {

constexpr uint32_t kRecorderNetwork = 43;  // PPPoE on at 460, user name 468..499, password 500..515
constexpr uint16_t kCameraVideo = 0x0403;  // frame-rate index at 2
constexpr int kConfigWindow = 4000, kPageTree = 4000, kSave = 4001, kClose = 2;
constexpr int kPppoeOn = 4094, kPppoeUser = 4096, kPppoePassword = 4097, kPppoeConfirm = 4098;

std::string Text32(const std::vector<uint8_t>& r, size_t at) {
  if (r.size() < at + 32) return {};
  std::string s(reinterpret_cast<const char*>(r.data() + at), 32);
  return s.substr(0, s.find('\0'));
}

class UnansweredWrites : public DevicesJourney {
 protected:
  // Answers the next `count` message boxes with OK, keeping their texts in order (and a
  // picture of the last one).
  void AnswerBoxes(QStringList& texts, int count, const QString& shot) {
    for (int i = 0; i < count; ++i)
      OnModal<QMessageBox>([&texts, count, shot, this](QMessageBox* box) {
        texts << box->text();
        if (texts.size() == count) Shot(box, shot);
        Click(box->button(QMessageBox::Ok));
      });
  }
};

TEST_F(UnansweredWrites, AChangeTheDeviceTookLateIsToldAsMaybeMade) {
  ASSERT_TRUE(StartEmulatorsWithState());
  ASSERT_EQ(Text32(RecorderRecord(kRecorderNetwork, 0), 468), "");
  ASSERT_EQ(CameraRecord(kCameraVideo).size(), 5u);
  ASSERT_NE(CameraRecord(kCameraVideo)[2], 1) << "the camera starts at another frame rate";
  StartOptions start;
  start.timeScale = 0.5;  // reply waits of 2 s (recorder) and 2.5 s (camera)
  RunProgram([&] {
    AddRegionCameraAndRecorder();
    if (HasFatalFailure()) return;
    CDlgDevMgr* page = OpenDeviceManager();

    // The recorder: PPPoE turned on with a user name, saved while the recorder is frozen.
    QStringList boxes;
    bool recorderDone = false;
    OnModalId(kConfigWindow, [&](QWidget* window) {
      ASSERT_TRUE(WaitUntil([&] { return Find<QPushButton>(window, kSave)->isEnabled(); }));
      auto* tree = Find<QTreeWidget>(window, kPageTree);
      SelectItem(tree, FindItem(tree, "PPPoE设置"));
      auto* on = Find<QCheckBox>(window, kPppoeOn);
      ASSERT_NE(on, nullptr);
      if (!on->isChecked()) ClickAt(on, QPoint(8, on->height() / 2));  // on its box: the row is wide
      ASSERT_TRUE(on->isChecked());
      Type(Find<QLineEdit>(window, kPppoeUser), "dialer");
      Type(Find<QLineEdit>(window, kPppoePassword), "dial-pw");
      Type(Find<QLineEdit>(window, kPppoeConfirm), "dial-pw");
      ASSERT_TRUE(recorder().Freeze());
      AnswerBoxes(boxes, 2, "faults_unanswered_recorder_summary");  // the network warning, then the summary
      ClickId(window, kSave);
      EXPECT_TRUE(WaitUntil([&] { return boxes.size() == 2; })) << "the Save never ended";
      recorder().Resume();
      EXPECT_TRUE(WaitUntil([&] { return Text32(RecorderRecord(kRecorderNetwork, 0), 468) == "dialer"; }))
          << "the recorder never took the change";
      ClickId(window, kClose);
      recorderDone = true;
    });
    RemoteSetupFromMenu(page, kRecorderName);
    ASSERT_TRUE(WaitUntil([&] { return recorderDone; }));
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_EQ(boxes[1].toStdString(), "设备未及时应答，以下修改可能已生效，也可能未生效： 网络设置\n");

    // The camera: 15 FPS saved on the video page while the camera is frozen.
    bool cameraDone = false;
    OnModal<CDlgIPCParamSetting>([&](CDlgIPCParamSetting* dlg) {
      ASSERT_TRUE(harness::SettleDeviceWork(kPatienceMs)) << "the pages were never read";
      ClickAt(dlg->Tabs(), dlg->Tabs()->tabRect(2).center());
      Choose(Find<QComboBox>(dlg, CDlgIPCVideoParam::IDC_FRAME_RATE), "15 FPS");
      ASSERT_TRUE(camera().Freeze());
      ClickId(dlg, CDlgIPCVideoParam::IDC_SAVE);
      EXPECT_TRUE(WaitUntil([&] { return SaidNotice(IDS_IPC_NO_ANSWER) || SaidNotice(IDS_IPC_SET_FAILED); }));
      camera().Resume();
      EXPECT_TRUE(WaitUntil([&] { return CameraRecord(kCameraVideo).size() == 5 && CameraRecord(kCameraVideo)[2] == 1; }))
          << "the camera never took the change";
      Click(Find<QToolButton>(dlg, CDlgIPCParamSetting::IDC_CLOSE));
      cameraDone = true;
    });
    RemoteSetupFromMenu(page, kCameraName);
    ASSERT_TRUE(WaitUntil([&] { return cameraDone; }));
    EXPECT_TRUE(SaidNotice(IDS_IPC_NO_ANSWER)) << Said();
    EXPECT_FALSE(SaidNotice(IDS_IPC_SET_FAILED)) << "a change the camera took was told as failed";
  }, start);
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace
