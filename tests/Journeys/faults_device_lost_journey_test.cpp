// Devices that go away while their windows play. The camera emulator is killed: its library
// opens the stream again by itself once the camera is back. The recorder emulator is killed:
// its windows stop, the device is logged out and shows offline, and once it is back the
// user's reopen plays. The recorder frozen (its connection open, nothing answered): closing
// its window returns within the reply wait, the device is taken for lost, and once the
// recorder runs again a reopen plays.
#include "FaultSteps.h"
#include "devices/DeviceManager.h"
#include "devices/TreeCtrlTarget.h"
#include "view/PreviewManager.h"

namespace {

constexpr int kOnline = 1, kOffline = 2, kChannelIdle = 4, kChannelPlaying = 5;

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

}  // namespace
