// Remote configuration, in Chinese and in English. The administrator opens the recorder's
// configuration window from the device manager: every page looked at and saved with no edit
// writes nothing; then the device is renamed and recording turned on for its second channel,
// saved, and both are seen again when the window is opened anew. The camera's parameter
// dialog: every page saved as it came changes nothing the camera holds; then the frame rate
// and the PTZ address are changed and saved, and the brightness slider moved (the camera
// follows at once). With both devices switched off, the set-up says it cannot log in. What
// the emulators hold is read back from their own state (wire records): the changed values are
// there and every value the user did not touch is as it was.
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>

#include "DeviceSteps.h"
#include "devices/DlgIPCParamSetting.h"
#include "harness/DeviceWorkWait.h"
#include "shell/StringIds.h"

namespace {

// Records as the emulators keep them (docs/protocols.md).
constexpr uint32_t kRecorderDevice = 62;   // device record: name 4..35, number 36, loop recording 40
constexpr uint32_t kRecorderSchedule = 56;  // per channel word: recording on at 4
constexpr uint32_t kRecorderNetwork = 43;
constexpr uint16_t kCameraVideo = 0x0403;   // frame-rate index at 2, rate control 3, level 4
constexpr uint16_t kCameraPtz = 0x0903;     // protocol name 1..32, address 33, speed 34
constexpr uint16_t kCameraNetwork = 0x0C03;
// The camera's set requests of the network, video, audio and PTZ pages.
constexpr int kSetNetwork = 0x0C01, kSetVideo = 0x0401, kSetAudio = 0x0501, kSetPtz = 0x0901;
constexpr uint16_t kCameraPicture = 0x0407;  // brightness (u32) at 4, contrast 8, saturation 12

// The configuration window's controls and texts.
constexpr int kConfigWindow = 4000, kPageTree = 4000, kSave = 4001, kClose = 2;
constexpr int kDeviceName = 1410, kChannelList = 4010, kRecordOn = 4046;
constexpr unsigned kCannotLogIn = 8301;  // "cannot log in to the device; try again later"
// The configuration library's own words, in the program's language (it is handed the
// language word: 9 English, otherwise Chinese).
struct WindowTexts {
  const char* recordItem;   // the tree item of the record page
  const char* configSaved;  // the summary of a Save that wrote everything
};
constexpr WindowTexts kChinese{"录像设置", "配置成功！"};
constexpr WindowTexts kEnglish{"Record Setting", "Config successful!"};

std::string Text32(const std::vector<uint8_t>& r, size_t at) {
  std::string s(reinterpret_cast<const char*>(r.data() + at), 32);
  return s.substr(0, s.find('\0'));
}
uint32_t U32(const std::vector<uint8_t>& r, size_t at) {
  return r[at] | r[at + 1] << 8 | r[at + 2] << 16 | static_cast<uint32_t>(r[at + 3]) << 24;
}
// The bytes of `after` that differ from `before`, by offset.
std::vector<size_t> Changed(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
  std::vector<size_t> at;
  for (size_t i = 0; i < std::max(before.size(), after.size()); ++i)
    if (i >= before.size() || i >= after.size() || before[i] != after[i]) at.push_back(i);
  return at;
}

// What the devices hold, read back from the emulators' own state.
struct Held {
  std::vector<uint8_t> device, schedule0, schedule1, network;  // the recorder's
  std::vector<uint8_t> video, ptz, cameraNetwork, picture;     // the camera's
};

class RemoteConfig : public DevicesJourney, public ::testing::WithParamInterface<bool> {
 protected:
  const WindowTexts& Texts() const { return GetParam() ? kEnglish : kChinese; }
  QString Suffix() const { return GetParam() ? "_en" : ""; }

  Held ReadHeld() const {
    return {RecorderRecord(kRecorderDevice, 0), RecorderRecord(kRecorderSchedule, 0),
            RecorderRecord(kRecorderSchedule, 1), RecorderRecord(kRecorderNetwork, 0),
            CameraRecord(kCameraVideo), CameraRecord(kCameraPtz), CameraRecord(kCameraNetwork),
            CameraRecord(kCameraPicture)};
  }

  void ClickTab(QTabBar* tabs, int index) {
    ASSERT_NE(tabs, nullptr);
    ClickAt(tabs, tabs->tabRect(index).center());
    EXPECT_EQ(tabs->currentIndex(), index);
  }
  // Arms the answer to the window's summary box (OK), keeping its text.
  void AnswerSummary(QString& text) {
    OnModal<QMessageBox>([&text, this](QMessageBox* box) {
      text = box->text();
      Click(box->button(QMessageBox::Ok));
    });
  }

  // The recorder's configuration window. It opens at once and reads the recorder meanwhile;
  // Save comes with the records. Every page looked at, nothing edited: Save writes nothing.
  // Then the device renamed and recording turned on for the second channel, saved; a second
  // Save with nothing new writes nothing and says so all the same. `done` once it is closed.
  void RenameAndRecordOnTheRecorder(QWidget* window, bool& done) {
    ASSERT_TRUE(WaitUntil([&] { return Find<QPushButton>(window, kSave)->isEnabled(); }))
        << "the recorder's records never arrived";
    auto* name = Find<QLineEdit>(window, kDeviceName);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), "DVR-EMU") << "the window shows what the recorder holds";

    auto* tree = Find<QTreeWidget>(window, kPageTree);
    const auto untouched = StateSnapshot();
    for (int g = 0; g < tree->topLevelItemCount(); ++g)
      for (int i = 0; i < tree->topLevelItem(g)->childCount(); ++i) SelectItem(tree, tree->topLevelItem(g)->child(i));
    SelectItem(tree, tree->topLevelItem(0)->child(0));
    AnswerSummary(untouchedSummary_);
    ClickId(window, kSave);
    EXPECT_EQ(ChangedRecords(untouched, StateSnapshot()), std::vector<std::string>{})
        << "records written though nothing was edited";

    Type(name, "Hall-DVR");
    SelectItem(tree, FindItem(tree, Texts().recordItem));
    auto* channel = Find<QComboBox>(window, kChannelList);
    ASSERT_NE(channel, nullptr);
    ASSERT_GE(channel->count(), 2);
    Choose(channel, channel->itemText(1));
    auto* recordOn = Find<QCheckBox>(window, kRecordOn);
    ASSERT_NE(recordOn, nullptr);
    EXPECT_FALSE(recordOn->isChecked());
    Click(recordOn);
    EXPECT_TRUE(recordOn->isChecked());
    Shot(window, "journey_remote_config_recorder" + Suffix());

    AnswerSummary(firstSummary_);
    ClickId(window, kSave);
    EXPECT_TRUE(WaitUntil([&] { return !firstSummary_.isEmpty(); })) << "the Save never ended";
    AnswerSummary(secondSummary_);
    ClickId(window, kSave);
    ClickId(window, kClose);
    done = true;
  }

  // Opened again, the window reads the new name and the second channel's recording back.
  void ExpectRenameAndRecordingRead(QWidget* window, bool& done) {
    ASSERT_TRUE(WaitUntil([&] { return Find<QPushButton>(window, kSave)->isEnabled(); }));
    EXPECT_EQ(Find<QLineEdit>(window, kDeviceName)->text(), "Hall-DVR");
    auto* tree = Find<QTreeWidget>(window, kPageTree);
    SelectItem(tree, FindItem(tree, Texts().recordItem));
    auto* channel = Find<QComboBox>(window, kChannelList);
    EXPECT_FALSE(Find<QCheckBox>(window, kRecordOn)->isChecked()) << "the first channel records not";
    Choose(channel, channel->itemText(1));
    EXPECT_TRUE(Find<QCheckBox>(window, kRecordOn)->isChecked());
    ClickId(window, kClose);
    done = true;
  }

  // The camera's parameter dialog, every page saved as it came: the camera is told what it
  // holds, nothing changes.
  void SaveEveryCameraPageAsItCame(CDlgIPCParamSetting* dlg) {
    ASSERT_TRUE(harness::SettleDeviceWork(kPatienceMs)) << "the pages were never read";
    const auto untouched = StateSnapshot();
    const size_t boxes = Ui().boxes.size();
    Ui().boxAnswers.push_back(IDOK);  // the network page's word after its save
    const std::pair<int, int> saves[] = {{1, CDlgIPCNetParam::IDC_SAVE}, {2, CDlgIPCVideoParam::IDC_SAVE},
                                         {4, CDlgIPCAudioParam::IDC_SAVE}, {5, CDlgIPCPTZParam::IDC_SAVE}};
    for (const auto& [tab, save] : saves) {
      ClickTab(dlg->Tabs(), tab);
      ClickId(dlg, save);
    }
    EXPECT_TRUE(WaitUntil([&] {
      return CameraMessages(kSetNetwork) == 1 && CameraMessages(kSetVideo) == 1 && CameraMessages(kSetAudio) == 1 &&
             CameraMessages(kSetPtz) == 1;
    })) << "one set request from each page";
    EXPECT_TRUE(harness::SettleDeviceWork(kPatienceMs)) << "the answers never came back";
    EXPECT_EQ(ChangedRecords(untouched, StateSnapshot()), std::vector<std::string>{});
    ASSERT_EQ(Ui().boxes.size(), boxes + 1) << "the network page tells to reconnect";
    EXPECT_EQ(Ui().boxes.back().text, Text(IDS_IPC_NET_CHANGED).toStdU16String());
  }

  // Then the video page's frame rate, the picture page's brightness slider (no Save: the
  // camera follows the slider at once) and the PTZ page's address. `done` once it is closed.
  void ChangeRateBrightnessAndAddress(CDlgIPCParamSetting* dlg, uint32_t brightness, bool& done) {
    ClickTab(dlg->Tabs(), 2);
    auto* rate = Find<QComboBox>(dlg, CDlgIPCVideoParam::IDC_FRAME_RATE);
    ASSERT_NE(rate, nullptr);
    EXPECT_EQ(rate->currentText(), "25 FPS") << "the dialog shows what the camera holds";
    Choose(rate, "15 FPS");
    ClickId(dlg, CDlgIPCVideoParam::IDC_SAVE);
    ClickTab(dlg->Tabs(), 3);
    auto* slider = Find<QSlider>(dlg, CDlgIPCVideoParamII::IDC_BRIGHTNESS);
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->value(), static_cast<int>(brightness));
    ClickThumb(slider);
    Key(Qt::Key_Right);
    EXPECT_TRUE(WaitUntil([&] { return U32(CameraRecord(kCameraPicture), 4) == brightness + 1; }))
        << "the camera holds the slider's new brightness";
    ClickTab(dlg->Tabs(), 5);
    Type(Find<QLineEdit>(dlg, CDlgIPCPTZParam::IDC_ADDRESS), "7");
    Shot(dlg, "journey_remote_config_camera" + Suffix());
    ClickId(dlg, CDlgIPCPTZParam::IDC_SAVE);
    Click(Find<QToolButton>(dlg, CDlgIPCParamSetting::IDC_CLOSE));
    done = true;
  }

  // Both devices switched off: the set-up says it cannot log in, and opens nothing (the
  // recorder's login gives up after its reply wait, about 4 s).
  void SetUpDevicesThatAreOff(CDlgDevMgr* page) {
    ASSERT_TRUE(recorder().Stop());
    ASSERT_TRUE(camera().Stop());
    QTimer guard;  // a window that should not come is closed, so the journey goes on to fail
    QObject::connect(&guard, &QTimer::timeout, [&] {
      // The recorder's login and the camera dialog's say they are waiting meanwhile; those are
      // expected.
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
          d && d != Main() && d->objectName() != "loginWait") {
        if (auto* params = qobject_cast<CDlgIPCParamSetting*>(d); params && params->LoggingIn()) return;
        ADD_FAILURE() << "a dialog came up for a device that is off: " << d->objectName().toStdString();
        d->reject();
      }
    });
    guard.start(50);
    for (const char* device : {kRecorderName, kCameraName}) {
      const size_t said = Ui().notices.size();
      RemoteSetupFromMenu(page, device);
      const std::u16string notice = AwaitNewNotice(said, 30000);
      EXPECT_FALSE(notice.empty()) << device;
      EXPECT_EQ(notice, Text(kCannotLogIn).toStdU16String()) << device;
    }
  }

  // The recorder holds the new name; the number and loop recording went back as they were.
  // Recording is on for the second channel only; the rest of its schedule is untouched.
  void ExpectTheRecorderChangedOnlyThat(const Held& before) {
    const auto deviceAfter = RecorderRecord(kRecorderDevice, 0);
    ASSERT_EQ(deviceAfter.size(), 132u);
    EXPECT_EQ(Text32(deviceAfter, 4), "Hall-DVR");
    for (size_t at : Changed(before.device, deviceAfter)) EXPECT_TRUE(at >= 4 && at < 36) << "device record byte " << at;
    const auto schedule1After = RecorderRecord(kRecorderSchedule, 1);
    EXPECT_EQ(U32(schedule1After, 4), 1u);
    // (Its first word is the channel word the write names, no setting.)
    for (size_t at : Changed(before.schedule1, schedule1After)) EXPECT_TRUE(at < 4 || at == 4) << "schedule byte " << at;
    EXPECT_EQ(RecorderRecord(kRecorderSchedule, 0), before.schedule0) << "the first channel was not touched";
    EXPECT_EQ(RecorderRecord(kRecorderNetwork, 0), before.network);
  }

  // The camera holds 15 FPS (list position 1) and PTZ address 7; nothing else moved.
  void ExpectTheCameraChangedOnlyThat(const Held& before) {
    const auto videoAfter = CameraRecord(kCameraVideo);
    ASSERT_EQ(videoAfter.size(), 5u);
    EXPECT_EQ(videoAfter[2], 1);
    EXPECT_EQ(Changed(before.video, videoAfter), std::vector<size_t>{2});
    const auto ptzAfter = CameraRecord(kCameraPtz);
    ASSERT_EQ(ptzAfter.size(), 35u);
    EXPECT_EQ(ptzAfter[33], 7);
    EXPECT_EQ(Changed(before.ptz, ptzAfter), std::vector<size_t>{33}) << "protocol and speed untouched";
    EXPECT_EQ(CameraRecord(kCameraNetwork), before.cameraNetwork) << "the network page was not saved";
    const auto pictureAfter = CameraRecord(kCameraPicture);
    for (size_t at : Changed(before.picture, pictureAfter)) EXPECT_TRUE(at >= 4 && at < 8) << "picture byte " << at;
  }

  // The texts of the recorder window's summary boxes.
  QString untouchedSummary_, firstSummary_, secondSummary_;
};

TEST_P(RemoteConfig, RecorderWindowAndCameraDialogChangeOnlyWhatTheUserChanged) {
  ASSERT_TRUE(StartEmulatorsWithState());
  const Held before = ReadHeld();
  ASSERT_EQ(before.picture.size(), 16u);
  ASSERT_EQ(before.device.size(), 132u);
  ASSERT_EQ(Text32(before.device, 4), "DVR-EMU");
  ASSERT_EQ(before.schedule1.size(), 524u);
  ASSERT_EQ(U32(before.schedule1, 4), 0u) << "the recorder starts with recording off";
  ASSERT_EQ(before.video.size(), 5u);
  ASSERT_EQ(before.ptz.size(), 35u);

  RunProgram([&] {
    AddRegionCameraAndRecorder();
    if (HasFatalFailure()) return;
    CDlgDevMgr* page = OpenDeviceManager();

    // The recorder: its configuration window, opened from the device's menu, twice.
    bool recorderDone = false;
    OnModalId(kConfigWindow, [&](QWidget* window) { RenameAndRecordOnTheRecorder(window, recorderDone); });
    RemoteSetupFromMenu(page, kRecorderName);
    ASSERT_TRUE(WaitUntil([&] { return recorderDone; })) << "the configuration window never came and went";
    EXPECT_EQ(untouchedSummary_, Texts().configSaved);
    EXPECT_EQ(firstSummary_, Texts().configSaved);
    EXPECT_EQ(secondSummary_, Texts().configSaved);
    bool reopened = false;
    OnModalId(kConfigWindow, [&](QWidget* window) { ExpectRenameAndRecordingRead(window, reopened); });
    RemoteSetupFromMenu(page, kRecorderName);
    ASSERT_TRUE(WaitUntil([&] { return reopened; }));

    // The camera: its parameter dialog.
    bool cameraDone = false;
    OnModal<CDlgIPCParamSetting>([&](CDlgIPCParamSetting* dlg) {
      ASSERT_NO_FATAL_FAILURE(SaveEveryCameraPageAsItCame(dlg));
      ChangeRateBrightnessAndAddress(dlg, U32(before.picture, 4), cameraDone);
    });
    RemoteSetupFromMenu(page, kCameraName);
    ASSERT_TRUE(WaitUntil([&] { return cameraDone; })) << "the parameter dialog never came and went";
    EXPECT_TRUE(Ui().notices.empty()) << "no refusal or failure: " << Said();

    SetUpDevicesThatAreOff(page);
  }, StartOptions{GetParam()});

  ASSERT_NO_FATAL_FAILURE(ExpectTheRecorderChangedOnlyThat(before));
  ASSERT_NO_FATAL_FAILURE(ExpectTheCameraChangedOnlyThat(before));
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

INSTANTIATE_TEST_SUITE_P(InBothLanguages, RemoteConfig, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "English" : "Chinese"; });

}  // namespace
