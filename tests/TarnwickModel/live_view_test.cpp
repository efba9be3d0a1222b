// The live view's model driven without a window, over fake device families, rows as the
// device manager's tree builder fills the page's trees, and play windows of its own: channels
// opened, moved and closed, the stream type switched under a recording, recordings refused or
// named and rolled at midnight, the alarm list's texts and limit, arming, talk, exceptions,
// reboots and live windows that stopped getting pictures.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "LiveFakes.h"
#include "ModelServices.h"
#include "devices/DevMgrModel.h"
#include "devices/DeviceManager.h"
#include "harness/DeviceWorkWait.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/Singleton.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "support/FakeDevices.h"
#include "support/LiveViewSetUp.h"
#include "support/Wait.h"
#include "view/LiveViewModel.h"
#include "view/PreviewManager.h"
#include "view/RecordFileRing.h"
#include "view/ViewMessages.h"

namespace fs = std::filesystem;

namespace {

using modeltest::FakeAlarmRows;
using modeltest::FakeScreen;
using modeltest::FakeTree;
using Row = ILiveTree::Row;
using testsupport::AlarmBlock;
using State = ILiveWindow::State;

constexpr const char16_t* kGuid = testsupport::kFrontCameraGuid;

struct LiveView : ::testing::Test {
  testsupport::LiveViewHome home;
  fake::Families families;
  FakeScreen screen;
  FakeTree* devices = nullptr;
  FakeTree* groups = nullptr;
  FakeAlarmRows* alarms = nullptr;
  std::unique_ptr<CLiveViewModel> model;
  CDevice* device = nullptr;
  CRegionInfo& region = home.region;
  DeviceTreeNode& regionNode = home.regionNode;
  DeviceTreeNode& deviceNode = home.cameraNode;
  Row regionRow = 0;
  Row deviceRow = 0;
  std::vector<std::u16string>& notices = home.notices;
  std::tm& clock = home.clock;

  void SetUp() override {
    home.Make();
    device = home.camera;

    auto deviceTree = std::make_unique<FakeTree>();
    auto groupTree = std::make_unique<FakeTree>();
    auto alarmList = std::make_unique<FakeAlarmRows>();
    devices = deviceTree.get();
    groups = groupTree.get();
    alarms = alarmList.get();
    model = std::make_unique<CLiveViewModel>(std::move(deviceTree), std::move(groupTree), std::move(alarmList));
    // As the page registers its play screen.
    CPreviewManager::GetInstance()->SetPlayScreen(&screen);
    model->SetPlayScreen(&screen);
    home.Hear(model->GetHost());

    regionRow = devices->Add(0, region.Name, &regionNode);
    deviceRow = AddChannels(devices->Add(regionRow, device->GetDevInfo().GetName(), &deviceNode), 8);
  }

  void TearDown() override {
    model.reset();
    modeltest::ResetServices();
    home.Remove();
  }

  Row AddChannels(Row deviceAt, int channels) {
    for (int c = 1; c <= channels; ++c) devices->Add(deviceAt, CDevMgrModel::ChannelText(c), nullptr, c);
    return deviceAt;
  }
  // Another device under the region, with its channel rows.
  Row AddDevice(const std::u16string& name, int type, int channels, const std::u16string& guid, CDevice** out) {
    DeviceTreeNode* node = home.AddDevice(name, type, channels, guid);
    if (!node) return 0;
    *out = node->Device();
    return AddChannels(devices->Add(regionRow, name, node), channels);
  }

  Row ChannelRow(int c) const { return devices->Child(deviceRow, c - 1); }
  fake::Preview* FakePreview(int c) {
    return static_cast<fake::Preview*>(CDeviceManager::GetInstance()->GetChannelPreview(device, c, 0));
  }
  // Device work runs on the devices' queues: each step waits until its results are back.
  static void Settle() { EXPECT_TRUE(harness::SettleDeviceWork()); }
  // A channel row chosen and opened, as a double click on it does.
  void Open(int c) {
    devices->SetCurrent(ChannelRow(c));
    model->OpenSelectedChannel();
    Settle();
  }
  void Record() {
    model->ToggleRecord();
    Settle();
  }
  int ChannelIn(int window) {
    PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(window);
    return item ? item->GetChannel() : 0;
  }
  void UseDisks() {
    CRecordFileRing::DiskFlags flags{};
    flags[1] = 1;
    CRecordFileRing::GetInstance()->SetDisks(flags);
    CRecordFileRing::GetInstance()->SetFreeSpaceQuery([](const std::u16string&) { return int64_t{1} << 40; });
  }
};

TEST_F(LiveView, ChannelsOpenInTheActiveWindowMoveToAnotherAndClose) {
  screen.SetActiveIndex(0, 1);
  Open(2);
  EXPECT_EQ(ChannelIn(0), 2);
  ASSERT_NE(FakePreview(2), nullptr);
  EXPECT_TRUE(FakePreview(2)->previewing);
  EXPECT_EQ(FakePreview(2)->streamType, 0) << "a new preview starts on the main stream";
  EXPECT_EQ(devices->Image(ChannelRow(2)), 5);
  EXPECT_EQ(devices->Image(deviceRow), 1) << "logged in, not armed";
  EXPECT_EQ(screen.Wnd(0)->GetState(), State::kLive);
  EXPECT_EQ(screen.Wnd(0)->page, model.get()) << "the window reports to the page";

  Open(2);  // the active window shows it: closed
  EXPECT_EQ(ChannelIn(0), 0);
  EXPECT_FALSE(FakePreview(2)->previewing);
  EXPECT_EQ(devices->Image(ChannelRow(2)), 4);
  EXPECT_EQ(screen.Wnd(0)->GetState(), State::kIdle);

  Open(2);
  screen.SetActiveIndex(1, 1);
  Open(2);  // shown in window 0: moves to the active window
  EXPECT_EQ(ChannelIn(0), 0);
  EXPECT_EQ(ChannelIn(1), 2);
  EXPECT_TRUE(FakePreview(2)->previewing);
  Open(3);  // replaces what the active window showed
  EXPECT_EQ(ChannelIn(1), 3);
  EXPECT_FALSE(FakePreview(2)->previewing);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 1);

  // The channel number is the row's own, whatever its text says.
  devices->SetText(ChannelRow(7), u"Gate");
  screen.SetActiveIndex(3, 1);
  Open(7);
  EXPECT_EQ(ChannelIn(3), 7);
  EXPECT_EQ(CLiveViewModel::ChannelOf(7, u"Gate"), 7);
  EXPECT_EQ(CLiveViewModel::ChannelOf(0, u"通道07"), 7) << "no number: the text's last two digits";
  EXPECT_EQ(CLiveViewModel::ChannelOf(0, u"Gate"), -1);

  // Regions and devices open nothing, and the window stays as it was.
  devices->SetCurrent(deviceRow);
  model->OpenSelectedChannel();
  Settle();
  EXPECT_EQ(ChannelIn(3), 7);

  model->StopAllVideos();
  Settle();
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  for (int c : {3, 7}) {
    EXPECT_FALSE(FakePreview(c)->previewing) << c;
    EXPECT_EQ(devices->Image(ChannelRow(c)), 4) << c;
  }

  // A channel named by a device deleted since (a group member left behind) is refused by the
  // device's queue: the window says it could not open, rather than connecting for ever.
  CDevInfo goneInfo(u"后门", u"127.0.0.3", 9000, u"admin", u"admin", 2, u"", u"", u"", u"", 0, 0, DEV_TYPE_IPC,
                    u"{gone}", u"R-1");
  auto* gone = new CDevice(goneInfo);
  ASSERT_TRUE(CDeviceManager::GetInstance()->Add(gone));
  ASSERT_TRUE(CDeviceManager::GetInstance()->Remove(gone));
  notices.clear();
  model->OpenChannelInWindow(u"{gone}", 5, 1, true);
  ASSERT_TRUE(testsupport::Eventually([&] {
    QCoreApplication::processEvents();
    return !notices.empty();
  }));
  EXPECT_EQ(notices.back(), LoadResString(8546));
  EXPECT_EQ(screen.Wnd(5)->GetState(), State::kIdle);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
}

// A recordings' list that cannot be opened (a folder stands where record.db would be):
// Record gives the reason the start gave, not "the recording settings are wrong".
TEST_F(LiveView, RecordWithAnUnopenableRecordingsListSaysWhy) {
  fs::create_directories(home.root / "home" / "record.db");
  CRecordFileRing::ReleaseInstance();
  SingletonAccess<CRecordFileRing>::Renew();
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  ASSERT_FALSE(ring->IsDatabaseOpen());
  ASSERT_FALSE(ring->DatabaseProblem().empty());
  UseDisks();
  screen.SetActiveIndex(0, 1);
  Open(1);
  fake::Preview* preview = FakePreview(1);
  ASSERT_NE(preview, nullptr);
  Record();
  EXPECT_EQ(notices.back(), ring->DatabaseProblem());
  EXPECT_FALSE(preview->recording);
}

TEST_F(LiveView, AStreamSwitchStopsARecordingAndDoesNotStartItAgain) {
  screen.SetActiveIndex(0, 1);
  Open(1);
  fake::Preview* preview = FakePreview(1);
  ASSERT_NE(preview, nullptr);

  // No disk for the ring: the record command says the settings are wrong.
  Record();
  EXPECT_EQ(notices.back(), LoadResString(8620));
  EXPECT_FALSE(preview->recording);

  UseDisks();
  Record();
  EXPECT_EQ(notices.back(), LoadResString(8368));
  ASSERT_TRUE(preview->recording);
  EXPECT_EQ(devices->Image(ChannelRow(1)), 7);
  const std::u16string first = CRecordFileRing::GetInstance()->GetCurrentFile(u"前门", 1);
  EXPECT_FALSE(first.empty());

  // The switch restarts the preview on the other stream; the recording ends with the old one
  // and only the channel's mark says so.
  const size_t said = notices.size();
  devices->SetCurrent(ChannelRow(1));
  model->SetStreamType(1);
  Settle();
  EXPECT_EQ(preview->streamType, 1);
  EXPECT_TRUE(preview->previewing);
  EXPECT_FALSE(preview->recording) << "the recording was started again";
  EXPECT_EQ(devices->Image(ChannelRow(1)), 5);
  EXPECT_EQ(CRecordFileRing::GetInstance()->GetCurrentFile(u"前门", 1), first) << "a new file was begun";
  EXPECT_EQ(notices.size(), said);

  model->SetStreamType(1);  // the type it has: nothing
  Settle();
  EXPECT_EQ(preview->streamType, 1);
  EXPECT_EQ(notices.size(), said);

  // A second record command on a recording window stops it.
  Record();
  ASSERT_TRUE(preview->recording);
  Record();
  EXPECT_FALSE(preview->recording);
  EXPECT_EQ(devices->Image(ChannelRow(1)), 5);
}


TEST_F(LiveView, AlarmsOfArmedDevicesAreListedWithTheirTexts) {
  // Recorders are the devices that arm.
  CDevice* camera = device;
  const Row cameraRow = deviceRow;
  deviceRow = AddDevice(u"录像机", DEV_TYPE_DVR, 4, u"DEV-DVR", &device);
  ASSERT_NE(deviceRow, 0);
  IDevUserLogin* login = device->GetUserLogin(1);
  login->Login();
  const int id = login->GetLoginID(0);
  const MsgAlarmInfo motion = AlarmBlock(id, 3, {0, 2, 9});
  EXPECT_EQ(model->OnDeviceAlarm(motion), -1) << "not armed";
  EXPECT_TRUE(alarms->rows.empty());

  devices->SetCurrent(deviceRow);
  model->OnArm();
  Settle();
  EXPECT_EQ(device->GetAlarmState(), 1);
  EXPECT_EQ(devices->Image(deviceRow), 3);
  EXPECT_EQ(model->OnDeviceAlarm(motion), 0);
  ASSERT_EQ(alarms->rows.size(), 1u);
  EXPECT_EQ(alarms->rows[0].second, u"Motion Detect:User:admin Device:录像机 IP:127.0.0.1 Chn1 Chn3 ");
  EXPECT_EQ(alarms->rows[0].first, u"26-12-08 10:00:00");
  EXPECT_EQ(device->GetChannel(1)->GetAlarmFlag(), 1);
  EXPECT_EQ(device->GetChannel(2)->GetAlarmFlag(), 0);
  EXPECT_EQ(device->GetChannel(3)->GetAlarmFlag(), 1);
  EXPECT_EQ(device->GetChannel(4)->GetAlarmFlag(), 0);
  EXPECT_FALSE(device->HasChannel(10)) << "flags past the device's channels are ignored";
  EXPECT_FALSE(device->HasChannel(5));
  EXPECT_EQ(devices->Image(ChannelRow(3)), 10);

  model->OnDeviceAlarm(AlarmBlock(id, 1, {0, 1}));
  EXPECT_EQ(alarms->rows[0].second, u"HDD is Full:User:admin Device:录像机 IP:127.0.0.1 HDD1HDD2");
  model->OnDeviceAlarm(AlarmBlock(id, 4, {0}));
  EXPECT_EQ(alarms->rows[0].second, u"User:admin Device:录像机 IP:127.0.0.1 ");
  // By IP when the alarm came without a login; the IP field is read within its bounds.
  MsgAlarmInfo byIp = AlarmBlock(-1, 2, {1});
  std::strcpy(byIp.deviceIP, "127.0.0.2");
  EXPECT_EQ(model->OnDeviceAlarm(byIp), 0);
  EXPECT_EQ(alarms->rows[0].second.rfind(u"Video Loss:", 0), 0u);
  MsgAlarmInfo unterminated = AlarmBlock(-1, 2, {1});
  std::memset(unterminated.deviceIP, '7', sizeof unterminated.deviceIP);
  EXPECT_EQ(model->OnDeviceAlarm(unterminated), -1);
  EXPECT_EQ(model->OnDeviceAlarm(AlarmBlock(id + 77, 3, {0})), -1) << "a stranger's";
  EXPECT_EQ(alarms->rows.size(), 4u);

  // The 101st row empties the list first.
  for (int i = alarms->Count(); i < 100; ++i) {
    const std::u16string text = u"row";
    model->AddAlarmRow(&text);
  }
  EXPECT_EQ(alarms->rows.size(), 100u);
  model->OnDeviceAlarm(motion);
  EXPECT_EQ(alarms->rows.size(), 1u);
  model->AddAlarmRow(nullptr);
  EXPECT_EQ(alarms->rows.size(), 1u) << "no text, no row";
  model->ClearAlarms();
  EXPECT_TRUE(alarms->rows.empty());

  // A camera cannot be armed; its alarms are dropped.
  devices->SetCurrent(cameraRow);
  model->OnArm();
  Settle();
  EXPECT_EQ(notices.back(), LoadResString(8510));
  EXPECT_EQ(camera->GetAlarmState(), 0);
  devices->SetCurrent(deviceRow);

  // The alarm channel stays set up: arming again only toggles the state.
  fake::Journal().clear();
  model->OnArm();
  Settle();
  EXPECT_EQ(device->GetAlarmState(), 0);
  EXPECT_EQ(devices->Image(deviceRow), 1);
  EXPECT_EQ(model->OnDeviceAlarm(motion), -1) << "disarmed: dropped";
  EXPECT_EQ(device->GetChannel(1)->GetAlarmFlag(), 0);
  model->OnDeviceArming(device, 1);
  EXPECT_EQ(devices->Image(deviceRow), 3);
  CDevice gone;
  EXPECT_EQ(model->OnDeviceArming(&gone, 1), 0);
  EXPECT_EQ(gone.GetAlarmState(), 0) << "a device not in the list is left alone";

  // A cycle switch brings the channel's row up to date; one past 64 does nothing; the alarm
  // mark marks the channel, a switch without it leaves the flag.
  device->GetChannel(2)->SetAlarmFlag(1);
  EXPECT_EQ(devices->Image(ChannelRow(2)), 4);
  model->OnCycleSwitch(device, CycleSwitchValue(2, 0));
  EXPECT_EQ(devices->Image(ChannelRow(2)), 10);
  EXPECT_EQ(model->OnCycleSwitch(device, CycleSwitchValue(65, 1)), 0);
  device->GetChannel(4)->SetAlarmFlag(0);
  model->OnCycleSwitch(device, CycleSwitchValue(4, 1));
  EXPECT_EQ(device->GetChannel(4)->GetAlarmFlag(), 1);
  EXPECT_EQ(devices->Image(ChannelRow(4)), 10);
  device->GetChannel(4)->SetAlarmFlag(0);
  model->OnCycleSwitch(device, CycleSwitchValue(4, 0));
  EXPECT_EQ(device->GetChannel(4)->GetAlarmFlag(), 0);
  EXPECT_EQ(devices->Image(ChannelRow(4)), 4);
  model->OnCycleNoPreview(device);
  EXPECT_EQ(alarms->rows[0].second, u"127.0.0.2" + LoadResString(8601));
}

TEST_F(LiveView, ExceptionsAndRebootsEndTheDevicesWindowsAndTalkIsShownOnlyWhenItRuns) {
  screen.SetActiveIndex(0, 1);
  Open(1);
  screen.SetActiveIndex(1, 1);
  Open(2);
  // A live window that stops getting pictures is told once, naming the device and channel;
  // pictures coming back tell nothing.
  notices.clear();
  screen.Wnd(0)->nextWatch = ILiveWindow::Watch::kLost;
  model->OnTimer(CLiveViewModel::kVideoWatchTimer);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices.back(), LoadResString(9003) + u"前门 " + LoadResString(8186) + u"01");
  screen.Wnd(0)->nextWatch = ILiveWindow::Watch::kBack;
  model->OnTimer(CLiveViewModel::kVideoWatchTimer);
  EXPECT_EQ(notices.size(), 1u);

  // An item listed but not running goes too.
  ASSERT_TRUE(CPreviewManager::GetInstance()->Add(std::make_shared<CPreviewItem>(3, 4, 0, kGuid)));
  const int id = device->GetUserLogin(0)->GetLoginID(0);
  ASSERT_GE(id, 0);
  fake::Journal().clear();
  EXPECT_EQ(model->OnDeviceException(id + 5), -1);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 3);
  EXPECT_EQ(model->OnDeviceException(id), 0);
  Settle();
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  const auto& j = fake::Journal();
  EXPECT_NE(std::find(j.begin(), j.end(), "preview.stop.1"), j.end());
  EXPECT_NE(std::find(j.begin(), j.end(), "preview.stop.2"), j.end());
  EXPECT_NE(std::find(j.begin(), j.end(), "login.logout"), j.end());
  EXPECT_FALSE(device->IsLoggedIn());
  EXPECT_EQ(devices->Image(deviceRow), 2) << "logged out";
  // Its windows say the device was lost; the user is told what went, and the list keeps it.
  EXPECT_EQ(screen.Wnd(0)->GetState(), State::kDeviceLost);
  EXPECT_EQ(screen.Wnd(1)->GetState(), State::kDeviceLost);
  const std::u16string lost = LoadResString(9300) + u"前门" + LoadResString(9301);
  EXPECT_EQ(notices.back(), lost);
  ASSERT_FALSE(alarms->rows.empty());
  EXPECT_EQ(alarms->rows[0].second, lost + LoadResString(9305));

  screen.SetActiveIndex(0, 1);
  Open(3);
  ASSERT_EQ(ChannelIn(0), 3);
  fake::Journal().clear();
  EXPECT_EQ(model->OnDeviceReboot(device), 0);
  Settle();
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  EXPECT_NE(std::find(j.begin(), j.end(), "login.reboot"), j.end());
  EXPECT_EQ(devices->Image(ChannelRow(3)), 4);
  EXPECT_EQ(screen.Wnd(0)->GetState(), State::kIdle) << "a reboot is no loss";

  // Talk: shown as running only when the device took it.
  devices->SetCurrent(deviceRow);
  fake::TalkResult() = 0;
  model->OnVoiceTalk();
  Settle();
  EXPECT_TRUE(model->TalkDeviceName().empty());
  fake::TalkResult() = 1;
  fake::TalkCallback() = 0;
  model->OnVoiceTalk();
  Settle();
  EXPECT_EQ(model->TalkDeviceName(), u"前门");
  EXPECT_NE(fake::TalkCallback(), 0) << "the talk gets a data callback (one that does nothing)";
  model->OnVoiceTalk();
  Settle();
  EXPECT_TRUE(model->TalkDeviceName().empty());
  devices->SetCurrent(ChannelRow(1));
  model->OnVoiceTalk();
  EXPECT_EQ(notices.back(), LoadResString(8260));
  CUser::GetInstance()->SetPower(RIGHTS_ALL & ~RIGHT_VOICE_TALK);
  devices->SetCurrent(deviceRow);
  model->OnVoiceTalk();
  EXPECT_EQ(notices.back(), LoadResString(8611));
}

TEST_F(LiveView, MidnightRollsEachRecordingWindowOnceWithoutWaiting) {
  UseDisks();
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  std::vector<std::pair<int, int>> started;  // id, ms of one-shot timers
  model->GetHost().startTimer = [&](int id, int ms, bool once) {
    if (once) started.emplace_back(id, ms);
  };
  for (int w : {0, 1}) {
    screen.SetActiveIndex(w, 1);
    Open(w + 1);
    Record();
    ASSERT_TRUE(FakePreview(w + 1)->recording);
  }
  const std::u16string a0 = ring->GetCurrentFile(u"前门", 1);
  const std::u16string b0 = ring->GetCurrentFile(u"前门", 2);

  clock.tm_hour = 23;
  clock.tm_min = 59;
  clock.tm_sec = 45;
  model->OnTimer(CLiveViewModel::kRecordTimer);
  Settle();
  clock.tm_sec = 55;
  model->OnTimer(CLiveViewModel::kRecordTimer);
  Settle();
  ASSERT_EQ(started.size(), 1u) << "one roll is scheduled, however many ticks see 23:59";
  EXPECT_EQ(started[0].first, CLiveViewModel::kMidnightTimer);
  EXPECT_GE(started[0].second, 15000);
  EXPECT_LE(started[0].second, 16000);
  EXPECT_EQ(ring->GetCurrentFile(u"前门", 1), a0) << "nothing rolled before midnight";

  // The user restarts window 1's recording before midnight: it has its new file already.
  screen.SetActiveIndex(1, 1);
  Record();
  Record();
  const std::u16string b1 = ring->GetCurrentFile(u"前门", 2);
  ASSERT_NE(b1, b0);

  clock.tm_hour = 0;
  clock.tm_min = 0;
  clock.tm_sec = 1;
  model->OnTimer(CLiveViewModel::kMidnightTimer);
  Settle();
  const std::u16string a1 = ring->GetCurrentFile(u"前门", 1);
  EXPECT_NE(a1, a0);
  EXPECT_EQ(ring->GetCurrentFile(u"前门", 2), b1) << "window 1 is not rolled twice";
  EXPECT_TRUE(FakePreview(1)->recording);
  model->OnTimer(CLiveViewModel::kMidnightTimer);
  Settle();  // a late second firing rolls nothing
  EXPECT_EQ(ring->GetCurrentFile(u"前门", 1), a1);

  // A roll that finds no disk stops the recording and says so.
  clock.tm_hour = 23;
  clock.tm_min = 59;
  clock.tm_sec = 50;
  model->OnTimer(CLiveViewModel::kRecordTimer);
  Settle();
  ASSERT_EQ(started.size(), 2u);
  ring->ClearDisks();
  model->OnTimer(CLiveViewModel::kMidnightTimer);
  Settle();
  EXPECT_FALSE(FakePreview(1)->recording);
  EXPECT_EQ(notices.back(), LoadResString(8970) + u"前门");
}

}  // namespace
