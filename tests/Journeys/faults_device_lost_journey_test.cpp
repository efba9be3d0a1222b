// Devices that go away while their windows play. The camera emulator is killed: its library
// opens the stream again by itself once the camera is back. The recorder emulator is killed:
// its windows stop, the device is logged out and shows offline, and once it is back the
// user's reopen plays. The recorder frozen (its connection open, nothing answered): closing
// its window returns within the reply wait, the device is taken for lost, and once the
// recorder runs again a reopen plays. A playback search that times out on the frozen
// recorder takes the recorder for lost too: the user is told which device went, with its
// windows, recording and arming, the windows say so, and every mark shows what is left.
#include "FaultSteps.h"
#include "devices/DeviceManager.h"
#include "devices/TreeCtrlTarget.h"
#include "shell/TarnwickDlg.h"
#include "view/DlgPlayback.h"
#include "view/PlayWnd.h"
#include "view/PreviewManager.h"

namespace {

constexpr int kOnline = 1, kOffline = 2, kArmed = 3, kChannelIdle = 4, kChannelPlaying = 5, kChannelRecording = 7;
constexpr unsigned kArm = 8262, kRecordingStarted = 8368, kRemotePlayback = 8140, kSearchFailed = 8514,
                   kDeviceLost = 9300, kWindowsClosed = 9301, kRecordingStopped = 9302, kDisarmed = 9303;

class DeviceLostJourney : public FaultJourney {
 protected:
  const QString kCamera = kCameraName, kRecorder = kRecorderName;
  CDevice* Device(const QString& name) {
    return CDeviceManager::GetInstance()->FindDevice(name.toStdU16String(), 0);
  }
  QTreeWidgetItem* DeviceNode(const QString& name) {
    return FindItem(Main()->GetPreviewDlg()->GetDeviceTree(), name);
  }
  bool WindowEmpty(int window) { return !CPreviewManager::GetInstance()->FindByWindow(window); }
};

TEST_F(DeviceLostJourney, WindowsStopTheDeviceLogsOutAndAReopenPlaysWhenItIsBack) {
  ASSERT_TRUE(StartEmulators());
  RunProgram([&] {
    AddRegionCameraAndRecorder();
    OpenInWindow(kCamera, 1, 0);
    OpenInWindow(kRecorder, 1, 1);
    OpenInWindow(kRecorder, 2, 2);
    ASSERT_TRUE(Plays(0) && Plays(1) && Plays(2)) << "before the faults";
    EXPECT_EQ(TreeItemImage(DeviceNode(kCamera)), kOnline);
    EXPECT_EQ(TreeItemImage(ChannelNode(kCamera, 1)), kChannelPlaying);

    // The camera goes without a word. Its library keeps the window and opens the stream
    // again by itself: once the camera is back on its port the pictures come back without
    // the user doing anything; the recorder plays on meanwhile.
    camera().Kill();
    EXPECT_TRUE(Plays(1)) << "the recorder plays on";
    EXPECT_FALSE(WindowEmpty(0));
    ASSERT_TRUE(camera().Start());
    EXPECT_TRUE(Plays(0)) << "the camera's video did not come back";
    EXPECT_EQ(TreeItemImage(DeviceNode(kCamera)), kOnline);

    // The recorder goes: its windows stop, it is logged out and shown offline; a reopen
    // while it is away fails and says so; once it is back, a reopen plays.
    recorder().Kill();
    EXPECT_TRUE(WaitUntil([&] { return WindowEmpty(1) && WindowEmpty(2) && !Device(kRecorder)->IsLoggedIn(); }))
        << "the recorder's loss was not handled";
    EXPECT_TRUE(WaitUntil([&] { return TreeItemImage(DeviceNode(kRecorder)) == kOffline; }));
    EXPECT_EQ(TreeItemImage(ChannelNode(kRecorder, 1)), kChannelIdle);
    Shot(Main(), "faults_recorder_lost");
    EXPECT_TRUE(Plays(0)) << "the camera plays on";
    const size_t notices = Ui().notices.size();
    OpenInWindow(kRecorder, 1, 1);
    EXPECT_GT(Ui().notices.size(), notices) << "a failed reopen is not told";
    EXPECT_TRUE(WindowEmpty(1));
    ASSERT_TRUE(recorder().Start());
    OpenInWindow(kRecorder, 1, 1);
    OpenInWindow(kRecorder, 2, 2);
    EXPECT_TRUE(Plays(1) && Plays(2)) << "the recorder's video did not come back";
    EXPECT_TRUE(WaitUntil([&] { return TreeItemImage(DeviceNode(kRecorder)) == kOnline; }));

    // The recorder stops answering with its connection open. Its windows show nothing new;
    // closing one waits at most the reply wait, and the device is then taken for lost.
    ASSERT_TRUE(recorder().Freeze());
    OpenInWindow(kRecorder, 1, 1);  // a double click on the playing channel closes it
    EXPECT_TRUE(WindowEmpty(1));
    EXPECT_TRUE(WaitUntil([&] { return WindowEmpty(2) && !Device(kRecorder)->IsLoggedIn(); }))
        << "the frozen recorder was not taken for lost";
    EXPECT_TRUE(WaitUntil([&] { return TreeItemImage(DeviceNode(kRecorder)) == kOffline; }));
    EXPECT_TRUE(Plays(0)) << "the camera plays on";
    recorder().Resume();
    OpenInWindow(kRecorder, 1, 1);
    EXPECT_TRUE(Plays(1)) << "the recorder's video did not come back";
    Shot(Main(), "faults_devices_back");
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

TEST_F(DeviceLostJourney, ASearchThatTimesOutOnAHungRecorderSaysWhatTheLiveViewLost) {
  ASSERT_TRUE(StartEmulators());
  SeedDevices();
  const QString seededCamera = QString::fromStdU16String(JourneyTest::kCameraName);
  const QString seededRecorder = QString::fromStdU16String(JourneyTest::kRecorderName);
  RunProgram([&] {
    ChooseRecordingDisk(1);
    OpenInWindow(seededRecorder, 1, 0);
    OpenInWindow(seededRecorder, 2, 1);
    OpenInWindow(seededCamera, 1, 2);
    ASSERT_TRUE(Plays(0) && Plays(1) && Plays(2)) << "before the fault";
    CDlgPreview* live = ShowLivePage();
    QTreeWidget* tree = live->GetDeviceTree();
    Click(LiveWindow(0));
    ClickId(live, CDlgPreview::ID_RECORD);
    ASSERT_TRUE(SaidNotice(kRecordingStarted)) << Said();
    ContextMenu(tree, DeviceNode(seededRecorder), Text(kArm));
    ASSERT_TRUE(WaitUntil([&] { return TreeItemImage(DeviceNode(seededRecorder)) == kArmed; }));
    EXPECT_EQ(TreeItemImage(ChannelNode(seededRecorder, 1)), kChannelRecording);

    // A search on the remote playback page while the recorder hangs: it fails, and the
    // recorder is taken for lost.
    CDlgPlayback* playback = Main()->GetPlaybackDlg();
    OnMenu(Text(kRemotePlayback));
    ClickId(Main(), CTarnwickDlg::IDC_BtnPlayback);
    ASSERT_TRUE(WaitUntil([&] { return playback->isVisible(); }));
    QTreeWidget* files = playback->GetDeviceTree();
    ASSERT_TRUE(WaitUntil([&] { return ChannelItem(files, JourneyTest::kRecorderName, 1) != nullptr; }));
    SelectItem(files, ChannelItem(files, JourneyTest::kRecorderName, 1));
    const size_t before = Ui().notices.size();
    ASSERT_TRUE(recorder().Freeze());
    ClickId(playback, CPlaybackPageBase::IDC_FIND);
    const std::u16string lost = Text(kDeviceLost).toStdU16String() + seededRecorder.toStdU16String();
    auto toldLost = [&] {
      for (size_t i = before; i < Ui().notices.size(); ++i)
        if (Ui().notices[i].starts_with(lost)) return Ui().notices[i];
      return std::u16string();
    };
    ASSERT_TRUE(WaitUntil([&] { return SaidNotice(kSearchFailed) && !toldLost().empty(); })) << Said();
    // Told in words: the device, its windows closed, the recording stopped, the arming gone.
    const std::u16string told = toldLost();
    for (unsigned part : {kWindowsClosed, kRecordingStopped, kDisarmed})
      EXPECT_NE(told.find(Text(part).toStdU16String()), std::u16string::npos) << part << ": " << Said();
    recorder().Resume();

    // On the live page the recorder's windows say it was lost, the alarm list keeps the
    // words, the camera plays on, and the marks are true: offline, neither live nor recording.
    live = ShowLivePage();
    EXPECT_EQ(LiveWindow(0)->GetState(), CPlayWnd::State::kDeviceLost);
    EXPECT_EQ(LiveWindow(1)->GetState(), CPlayWnd::State::kDeviceLost);
    EXPECT_TRUE(WindowEmpty(0) && WindowEmpty(1));
    auto* alarms = Find<QTreeWidget>(live, CDlgPreview::kAlarmListId);
    ASSERT_NE(alarms, nullptr);
    ASSERT_GT(alarms->topLevelItemCount(), 0);
    EXPECT_TRUE(alarms->topLevelItem(0)->text(1).toStdU16String().starts_with(told)) << Said();
    EXPECT_TRUE(Plays(2)) << "the camera plays on";
    EXPECT_TRUE(WaitUntil([&] { return TreeItemImage(DeviceNode(seededRecorder)) == kOffline; }));
    EXPECT_EQ(TreeItemImage(ChannelNode(seededRecorder, 1)), kChannelIdle);
    EXPECT_EQ(TreeItemImage(ChannelNode(seededRecorder, 2)), kChannelIdle);
    EXPECT_FALSE(Recording(seededRecorder, 1));
    Shot(Main(), "faults_search_device_lost");

    // Reopened by hand it plays, and is shown online but not armed, which it is not.
    OpenInWindow(seededRecorder, 1, 0);
    EXPECT_TRUE(Plays(0)) << "the recorder's video did not come back";
    EXPECT_TRUE(WaitUntil([&] { return TreeItemImage(DeviceNode(seededRecorder)) == kOnline; }))
        << "image " << TreeItemImage(DeviceNode(seededRecorder));
    EXPECT_EQ(LiveWindow(1)->GetState(), CPlayWnd::State::kDeviceLost) << "a window not reopened keeps its words";
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0);
}

}  // namespace
