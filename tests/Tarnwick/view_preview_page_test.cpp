// The live page driven as a user drives it, over fake device families: channels opened by
// double click and by drag, moved and closed, the stream type switched under a recording,
// snapshots and recordings refused or named, group members counting as cycles, the alarm
// list's texts and limit, arming, talk, exceptions, reboots and the midnight file roll.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "devices/DevMgrModel.h"
#include "devices/DeviceManager.h"
#include "devices/TreeCtrlTarget.h"
#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/DeviceNote.h"
#include "shell/Language.h"
#include "shell/Text.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "support/FakeDevices.h"
#include <QElapsedTimer>
#include "plat/clock.h"
#include "support/TestFolder.h"
#include "support/Wait.h"
#include "view/DlgPreview.h"
#include "view/CyclePreview.h"
#include "shell/LocalSettings.h"
#include "view/DlgVideoParam.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"
#include "view/RecordFileRing.h"
#include "shell/Singleton.h"
#include "view/ViewMessages.h"
#include <QMenu>

namespace fs = std::filesystem;

namespace {

constexpr char16_t kGuid[] = u"DEV-FRONT";

struct PreviewPage : ::testing::Test {
  fs::path root;
  fake::Families families;
  QWidget main;
  std::unique_ptr<CDlgPreview> page;
  CDevice* device = nullptr;
  CRegionInfo region{u"总部", u"R-1", u""};
  DeviceTreeNode regionNode{DeviceTreeNode::kRegion, &region};
  DeviceTreeNode deviceNode{DeviceTreeNode::kDevice, nullptr};
  QTreeWidgetItem* deviceItem = nullptr;
  std::vector<std::u16string> notices;
  std::tm clock{};

  void SetUp() override {
    root = testsupport::NewTestFolder();
    fs::create_directories(root / "home");
    fs::create_directories(root / "c");
    fs::create_directories(root / "d");
    setenv("TARNWICK_HOME", (root / "home").c_str(), 1);
    setenv("TARNWICK_DRIVES", ((root / "c").string() + ":" + (root / "d").string()).c_str(), 1);
    plat::resetDriveMap();
    fake::TalkResult() = 1;
    CUser::GetInstance()->SetName(u"ann");
    CUser::GetInstance()->SetPower(RIGHTS_ALL);
    CDevInfo info(u"前门", u"127.0.0.1", 9000, u"admin", u"admin", 8, u"", u"", u"", u"", 0, 0, DEV_TYPE_IPC,
                  kGuid, u"R-1");
    device = new CDevice(info);
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(device));
    deviceNode.object = device;

    page = std::make_unique<CDlgPreview>();
    ASSERT_TRUE(page->Create(&main));
    main.resize(1280, 800);
    page->setGeometry(0, 0, 1280, 800);
    main.show();
    page->show();
    CPreviewController::Host& host = page->Controller().GetHost();
    host.notice = [this](const std::u16string& text) { notices.push_back(text); };
    host.now = [this] { return clock; };
    clock.tm_year = 126;
    clock.tm_mon = 11;
    clock.tm_mday = 8;
    clock.tm_hour = 10;

    CTreeCtrlTarget tree(page->GetDeviceTree());
    const auto regionItem = tree.Insert(0, region.Name, 0, &regionNode, true);
    const auto item = tree.Insert(regionItem, device->GetDevInfo().GetName(), 1, &deviceNode, true);
    for (int c = 1; c <= 8; ++c) tree.SetChannel(tree.Insert(item, CDevMgrModel::ChannelText(c), 4, nullptr, false), c);
    deviceItem = reinterpret_cast<QTreeWidgetItem*>(item);
    Screen()->SetMode(1, 0);
  }

  void TearDown() override {
    page.reset();
    harness::ResetServices();
    unsetenv("TARNWICK_HOME");
    unsetenv("TARNWICK_DRIVES");
    plat::resetDriveMap();
    fs::remove_all(root);
  }

  // Another device under the region, with its channel items.
  std::vector<std::unique_ptr<DeviceTreeNode>> extraNodes;
  QTreeWidgetItem* AddDevice(const std::u16string& name, int type, int channels, const std::u16string& guid,
                             CDevice** out) {
    CDevInfo info(name, u"127.0.0.2", 8000, u"admin", u"12345", channels, u"", u"", u"", u"", 0, 0, type, guid,
                  u"R-1");
    auto* d = new CDevice(info);
    if (!CDeviceManager::GetInstance()->Add(d)) return nullptr;
    extraNodes.push_back(std::make_unique<DeviceTreeNode>(DeviceTreeNode{DeviceTreeNode::kDevice, d}));
    CTreeCtrlTarget tree(page->GetDeviceTree());
    const auto item = tree.Insert(reinterpret_cast<intptr_t>(page->GetDeviceTree()->topLevelItem(0)), name, 1,
                                  extraNodes.back().get(), true);
    for (int c = 1; c <= channels; ++c)
      tree.SetChannel(tree.Insert(item, CDevMgrModel::ChannelText(c), 4, nullptr, false), c);
    *out = d;
    return reinterpret_cast<QTreeWidgetItem*>(item);
  }

  CPlayScreen* Screen() { return page->GetPlayScreen(); }
  CPreviewController& C() { return page->Controller(); }
  QTreeWidgetItem* ChannelItem(int c) { return deviceItem->child(c - 1); }
  fake::Preview* FakePreview(int c) {
    return static_cast<fake::Preview*>(CDeviceManager::GetInstance()->GetChannelPreview(device, c, 0));
  }
  // Device work runs on the devices' queues: each step waits until its results are back.
  static void Settle() { EXPECT_TRUE(harness::SettleDeviceWork()); }
  void DoubleClick(QTreeWidgetItem* item) {
    emit page->GetDeviceTree()->itemDoubleClicked(item, 0);
    Settle();
  }
  void Command(int id) {
    page->OnCommand(id);
    Settle();
  }
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    const intptr_t r = SendWidgetMessage(page.get(), message, wParam, lParam);
    Settle();
    return r;
  }
  bool Drop(QPoint at) {
    const bool r = page->EndDrag(at);
    Settle();
    return r;
  }
  int ChannelIn(int window) {
    PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(window);
    return item ? item->GetChannel() : 0;
  }
  QPoint CentreOf(int window) {
    CPlayWnd* w = Screen()->GetWnd(window);
    return w->mapToGlobal(w->rect().center());
  }
};

TEST_F(PreviewPage, ChannelsOpenByDoubleClickAndDragMoveBetweenWindowsAndClose) {
  Screen()->SetActiveIndex(0, 1);
  DoubleClick(ChannelItem(2));
  EXPECT_EQ(ChannelIn(0), 2);
  ASSERT_NE(FakePreview(2), nullptr);
  EXPECT_TRUE(FakePreview(2)->previewing);
  EXPECT_EQ(FakePreview(2)->streamType, 0) << "a new preview starts on the main stream";
  EXPECT_EQ(TreeItemImage(ChannelItem(2)), 5);
  EXPECT_EQ(TreeItemImage(deviceItem), 1) << "logged in, not armed";

  DoubleClick(ChannelItem(2));  // the active window shows it: closed
  EXPECT_EQ(ChannelIn(0), 0);
  EXPECT_FALSE(FakePreview(2)->previewing);
  EXPECT_EQ(TreeItemImage(ChannelItem(2)), 4);

  DoubleClick(ChannelItem(2));
  Screen()->SetActiveIndex(1, 1);
  DoubleClick(ChannelItem(2));  // shown in window 0: moves to the active window
  EXPECT_EQ(ChannelIn(0), 0);
  EXPECT_EQ(ChannelIn(1), 2);
  EXPECT_TRUE(FakePreview(2)->previewing);
  DoubleClick(ChannelItem(3));  // replaces what the active window showed
  EXPECT_EQ(ChannelIn(1), 3);
  EXPECT_FALSE(FakePreview(2)->previewing);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 1);

  // Dragged onto window 2: it becomes active and shows the channel.
  page->BeginDrag(page->GetDeviceTree(), ChannelItem(4));
  ASSERT_TRUE(Drop(CentreOf(2)));
  EXPECT_EQ(Screen()->GetActiveIndex(), 2);
  EXPECT_EQ(ChannelIn(2), 4);
  // A device dropped on a window opens nothing.
  page->BeginDrag(page->GetDeviceTree(), deviceItem);
  ASSERT_TRUE(Drop(CentreOf(3)));
  EXPECT_EQ(ChannelIn(3), 0);
  ASSERT_FALSE(notices.empty());
  EXPECT_EQ(notices.back(), LoadResString(8546));
  // Dropped outside every play window: nothing happens.
  page->BeginDrag(page->GetDeviceTree(), ChannelItem(5));
  EXPECT_FALSE(Drop(page->GetDeviceTree()->mapToGlobal(QPoint(5, 5))));

  // The channel number is the item's own, whatever its text says.
  ChannelItem(7)->setText(0, QStringLiteral("Gate"));
  DoubleClick(ChannelItem(7));
  EXPECT_EQ(ChannelIn(3), 7);
  EXPECT_EQ(CPreviewController::ChannelOfNode(ChannelItem(7)), 7);
  QTreeWidgetItem loose(QStringList{QStringLiteral("通道07")});
  EXPECT_EQ(CPreviewController::ChannelOfNode(&loose), 7) << "no item data: the text's last two digits";

  // Regions and devices do nothing on a double click.
  const size_t before = notices.size();
  DoubleClick(deviceItem);
  EXPECT_EQ(notices.size(), before);

  Command(CDlgPreview::ID_STOP_ALL);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  for (int c : {3, 4, 7}) {
    EXPECT_FALSE(FakePreview(c)->previewing) << c;
    EXPECT_EQ(TreeItemImage(ChannelItem(c)), 4) << c;
  }

  // A channel named by a device deleted since (a group member left behind) is refused by the
  // device's queue: the window says it could not open, rather than connecting for ever.
  CDevInfo goneInfo(u"后门", u"127.0.0.3", 9000, u"admin", u"admin", 2, u"", u"", u"", u"", 0, 0, DEV_TYPE_IPC,
                    u"{gone}", u"R-1");
  auto* gone = new CDevice(goneInfo);
  ASSERT_TRUE(CDeviceManager::GetInstance()->Add(gone));
  ASSERT_TRUE(CDeviceManager::GetInstance()->Remove(gone));
  notices.clear();
  C().OpenChannelInWindow(u"{gone}", 5, 1, true);
  ASSERT_TRUE(testsupport::Eventually([&] {
    QCoreApplication::processEvents();
    return !notices.empty();
  }));
  EXPECT_EQ(notices.back(), LoadResString(8546));
  EXPECT_EQ(Screen()->GetWnd(5)->GetState(), CPlayWnd::State::kIdle);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
}

// A recordings' list that cannot be opened (a folder stands where record.db would be):
// Record gives the reason the start gave, not "the recording settings are wrong".
TEST_F(PreviewPage, RecordWithAnUnopenableRecordingsListSaysWhy) {
  fs::create_directories(root / "home" / "record.db");
  CRecordFileRing::ReleaseInstance();
  SingletonAccess<CRecordFileRing>::Renew();
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  ASSERT_FALSE(ring->IsDatabaseOpen());
  ASSERT_FALSE(ring->DatabaseProblem().empty());
  CRecordFileRing::DiskFlags flags{};
  flags[1] = 1;
  ring->SetDisks(flags);
  ring->SetFreeSpaceQuery([](const std::u16string&) { return int64_t{1} << 40; });
  Screen()->SetActiveIndex(0, 1);
  DoubleClick(ChannelItem(1));
  fake::Preview* preview = FakePreview(1);
  ASSERT_NE(preview, nullptr);
  Command(CDlgPreview::ID_RECORD);
  EXPECT_EQ(notices.back(), ring->DatabaseProblem());
  EXPECT_FALSE(preview->recording);
}

TEST_F(PreviewPage, StreamSwitchUnderARecordingTellsTheUserAndGoesOnInANewFile) {
  Screen()->SetActiveIndex(0, 1);
  DoubleClick(ChannelItem(1));
  fake::Preview* preview = FakePreview(1);
  ASSERT_NE(preview, nullptr);

  // No disk for the ring: the record command says the settings are wrong.
  Command(CDlgPreview::ID_RECORD);
  EXPECT_EQ(notices.back(), LoadResString(8620));
  EXPECT_FALSE(preview->recording);

  CRecordFileRing::DiskFlags flags{};
  flags[1] = 1;
  CRecordFileRing::GetInstance()->SetDisks(flags);
  CRecordFileRing::GetInstance()->SetFreeSpaceQuery([](const std::u16string&) { return int64_t{1} << 40; });
  Command(CDlgPreview::ID_RECORD);
  EXPECT_EQ(notices.back(), LoadResString(8368));
  ASSERT_TRUE(preview->recording);
  EXPECT_EQ(TreeItemImage(ChannelItem(1)), 7);
  const std::u16string first = CRecordFileRing::GetInstance()->GetCurrentFile(u"前门", 1);
  EXPECT_FALSE(first.empty());

  page->GetDeviceTree()->setCurrentItem(ChannelItem(1));
  Command(CDlgPreview::ID_SUB_STREAM);
  EXPECT_EQ(preview->streamType, 1);
  EXPECT_TRUE(preview->previewing);
  EXPECT_TRUE(preview->recording) << "recording goes on after the switch";
  const std::u16string second = CRecordFileRing::GetInstance()->GetCurrentFile(u"前门", 1);
  EXPECT_NE(second, first);
  EXPECT_EQ(notices.back(), LoadResString(8972) + LoadResString(8981) + plat::utf8ToUtf16(plat::toNativePath(second)))
      << "the new file, where it is on this machine";

  const size_t before = notices.size();
  Command(CDlgPreview::ID_SUB_STREAM);  // the type it has: nothing
  EXPECT_EQ(notices.size(), before);

  // With no disk left the recording cannot go on: the user is told it stopped.
  CRecordFileRing::GetInstance()->ClearDisks();
  Command(CDlgPreview::ID_MAIN_STREAM);
  EXPECT_EQ(preview->streamType, 0);
  EXPECT_FALSE(preview->recording);
  EXPECT_EQ(notices.back(), LoadResString(8971));

  // A second record command on a recording window stops it.
  CRecordFileRing::GetInstance()->SetDisks(flags);
  Command(CDlgPreview::ID_RECORD);
  ASSERT_TRUE(preview->recording);
  Command(CDlgPreview::ID_RECORD);
  EXPECT_FALSE(preview->recording);
  EXPECT_EQ(TreeItemImage(ChannelItem(1)), 5);
}

TEST_F(PreviewPage, SnapshotAndRecordAreRefusedWithoutPreviewOrRightAndNameTheirFile) {
  Screen()->SetActiveIndex(1, 1);
  Command(CDlgPreview::ID_SNAPSHOT);
  EXPECT_TRUE(notices.empty()) << "no preview: no snapshot, no message";
  Command(CDlgPreview::ID_RECORD);
  EXPECT_EQ(notices.back(), LoadResString(8526));

  DoubleClick(ChannelItem(5));
  CUser::GetInstance()->SetPower(RIGHTS_ALL & ~RIGHT_LOCAL_RECORD);
  Send(WM_PLAYWND_RECORD, 0, 0);
  EXPECT_EQ(notices.back(), LoadResString(8610));
  EXPECT_FALSE(FakePreview(5)->recording);

  clock.tm_hour = 9;
  clock.tm_min = 5;
  clock.tm_sec = 7;
  Send(WM_PLAYWND_SNAPSHOT, 0, 0);
  // The result, then where the picture would be on this machine (drive C: is root/c).
  const std::u16string expected =
      LoadResString(8351) + LoadResString(8981) + plat::utf8ToUtf16((root / "c" / "Capture").string()) + u"/Preview_05_20261208_090507_";
  ASSERT_FALSE(notices.empty());
  EXPECT_EQ(notices.back().substr(0, expected.size()), expected) << "the fake refuses every picture";
  EXPECT_EQ(notices.back().substr(notices.back().size() - 4), u".bmp");
  EXPECT_TRUE(fs::is_directory(root / "c" / "Capture")) << "the folder is made when missing";
}

TEST_F(PreviewPage, GroupMembersCountAsCyclesWhileTheirWindowsHoldThem) {
  CGroupInfo group(u"大门", u"G-1");
  CGroupMemberInfo member;
  member.Chn = 6;
  member.Guid = u"G-1";
  member.DevGuid = kGuid;
  GroupTreeNode groupNode{GroupTreeNode::kGroup, u"大门", &group};
  GroupTreeNode memberNode{GroupTreeNode::kMember, u"前门06", &member};
  CTreeCtrlTarget groups(page->GetGroupTree());
  const auto g = groups.Insert(0, u"大门", 8, &groupNode, true);
  auto* memberItem = reinterpret_cast<QTreeWidgetItem*>(groups.Insert(g, u"前门06", 4, &memberNode, true));

  Screen()->SetActiveIndex(0, 1);
  DoubleClick(ChannelItem(1));
  Command(CDlgPreview::ID_TAB_GROUPS);
  EXPECT_EQ(notices.back(), LoadResString(8541));
  EXPECT_EQ(C().GetTreeMode(), 0);
  Command(CDlgPreview::ID_STOP_ALL);
  Command(CDlgPreview::ID_TAB_GROUPS);
  EXPECT_EQ(C().GetTreeMode(), 1);
  EXPECT_TRUE(page->GetGroupTree()->isVisibleTo(page.get()));

  Screen()->SetActiveIndex(2, 1);
  emit page->GetGroupTree()->itemDoubleClicked(memberItem, 0);
  Settle();
  EXPECT_EQ(ChannelIn(2), 6);
  EXPECT_EQ(C().GetRunCount(), 1);
  EXPECT_EQ(TreeItemImage(memberItem), 5) << "marks go to the group tree in group mode";
  Command(CDlgPreview::ID_TAB_DEVICES);
  EXPECT_EQ(notices.back(), LoadResString(8555));
  page->GetDeviceTree()->setCurrentItem(ChannelItem(1));
  C().OpenSelectedChannel();
  Settle();
  EXPECT_EQ(notices.back(), LoadResString(8555));
  EXPECT_EQ(ChannelIn(2), 6);

  // The count follows the windows: the member's preview closed from anywhere frees the user.
  CPreviewManager::GetInstance()->Remove(CPreviewManager::GetInstance()->FindByWindow(2));
  EXPECT_EQ(C().GetRunCount(), 0);
  Command(CDlgPreview::ID_TAB_DEVICES);
  EXPECT_EQ(C().GetTreeMode(), 0);
}

MsgAlarmInfo Alarm(int32_t login, int32_t type, std::initializer_list<int> set) {
  MsgAlarmInfo m;
  std::memset(&m, 0, sizeof m);
  m.loginId = login;
  m.alarmType = type;
  for (int i : set) m.flags[i] = 1;
  std::strcpy(m.deviceIP, "127.0.0.1");
  return m;
}

TEST_F(PreviewPage, AlarmsOfArmedDevicesAreListedWithTheirTexts) {
  QTreeWidget* list = page->GetAlarmList();
  // Recorders are the devices that arm.
  CDevice* camera = device;
  QTreeWidgetItem* cameraItem = deviceItem;
  deviceItem = AddDevice(u"录像机", DEV_TYPE_DVR, 4, u"DEV-DVR", &device);
  ASSERT_NE(deviceItem, nullptr);
  IDevUserLogin* login = device->GetUserLogin(1);
  login->Login();
  const int id = login->GetLoginID(0);
  MsgAlarmInfo motion = Alarm(id, 3, {0, 2, 9});
  EXPECT_EQ(C().OnDeviceAlarm(&motion), -1) << "not armed";
  EXPECT_EQ(list->topLevelItemCount(), 0);

  page->GetDeviceTree()->setCurrentItem(deviceItem);
  Command(CDlgPreview::ID_ARM);
  EXPECT_EQ(device->GetAlarmState(), 1);
  EXPECT_EQ(TreeItemImage(deviceItem), 3);
  EXPECT_EQ(Send(WM_DEVICE_ALARM, reinterpret_cast<uintptr_t>(&motion), 0), 0);
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->text(1),
            QStringLiteral("Motion Detect:User:admin Device:录像机 IP:127.0.0.1 Chn1 Chn3 "));
  EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("26-12-08 10:00:00"));
  EXPECT_EQ(device->GetChannel(1)->GetAlarmFlag(), 1);
  EXPECT_EQ(device->GetChannel(2)->GetAlarmFlag(), 0);
  EXPECT_EQ(device->GetChannel(3)->GetAlarmFlag(), 1);
  EXPECT_EQ(device->GetChannel(4)->GetAlarmFlag(), 0);
  EXPECT_FALSE(device->HasChannel(10)) << "flags past the device's channels are ignored";
  EXPECT_FALSE(device->HasChannel(5));
  EXPECT_EQ(TreeItemImage(ChannelItem(3)), 10);

  MsgAlarmInfo disk = Alarm(id, 1, {0, 1});
  C().OnDeviceAlarm(&disk);
  EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("HDD is Full:User:admin Device:录像机 IP:127.0.0.1 HDD1HDD2"));
  MsgAlarmInfo other = Alarm(id, 4, {0});
  C().OnDeviceAlarm(&other);
  EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("User:admin Device:录像机 IP:127.0.0.1 "));
  // By IP when the alarm came without a login; the IP field is read within its bounds.
  MsgAlarmInfo byIp = Alarm(-1, 2, {1});
  std::strcpy(byIp.deviceIP, "127.0.0.2");
  EXPECT_EQ(C().OnDeviceAlarm(&byIp), 0);
  EXPECT_TRUE(list->topLevelItem(0)->text(1).startsWith(QStringLiteral("Video Loss:")));
  MsgAlarmInfo unterminated = Alarm(-1, 2, {1});
  std::memset(unterminated.deviceIP, '7', sizeof unterminated.deviceIP);
  EXPECT_EQ(C().OnDeviceAlarm(&unterminated), -1);
  MsgAlarmInfo stranger = Alarm(id + 77, 3, {0});
  EXPECT_EQ(C().OnDeviceAlarm(&stranger), -1);
  EXPECT_EQ(list->topLevelItemCount(), 4);

  // The 101st row empties the list first.
  for (int i = list->topLevelItemCount(); i < 100; ++i) {
    const std::u16string text = u"row";
    C().AddAlarmRow(&text);
  }
  EXPECT_EQ(list->topLevelItemCount(), 100);
  C().OnDeviceAlarm(&motion);
  EXPECT_EQ(list->topLevelItemCount(), 1);
  Command(CDlgPreview::ID_CLEAR_ALARMS);
  EXPECT_EQ(list->topLevelItemCount(), 0);

  // A camera cannot be armed; its alarms are dropped.
  page->GetDeviceTree()->setCurrentItem(cameraItem);
  Command(CDlgPreview::ID_ARM);
  EXPECT_EQ(notices.back(), LoadResString(8510));
  EXPECT_EQ(camera->GetAlarmState(), 0);
  page->GetDeviceTree()->setCurrentItem(deviceItem);

  // The alarm channel stays set up: arming again only toggles the state.
  fake::Journal().clear();
  Command(CDlgPreview::ID_ARM);
  EXPECT_EQ(device->GetAlarmState(), 0);
  EXPECT_EQ(TreeItemImage(deviceItem), 1);
  EXPECT_EQ(C().OnDeviceAlarm(&motion), -1) << "disarmed: dropped";
  EXPECT_EQ(device->GetChannel(1)->GetAlarmFlag(), 0);
  Send(WM_DEVICE_ARMING, AddDeviceNote(device->GetGuid(), 0), 1);
  EXPECT_EQ(TreeItemImage(deviceItem), 3);
  CDevice gone;
  EXPECT_EQ(Send(WM_DEVICE_ARMING, AddDeviceNote(gone.GetGuid(), 0), 1), 0);
  EXPECT_EQ(gone.GetAlarmState(), 0) << "a device not in the list is left alone";

  // A cycle switch brings the channel's node up to date; one past 64 does nothing.
  device->GetChannel(2)->SetAlarmFlag(1);
  EXPECT_EQ(TreeItemImage(ChannelItem(2)), 4);
  C().OnCycleSwitch(device, CycleSwitchValue(2, 0));
  EXPECT_EQ(TreeItemImage(ChannelItem(2)), 10);
  EXPECT_EQ(C().OnCycleSwitch(device, CycleSwitchValue(65, 1)), 0);
  EXPECT_EQ(Send(WM_CYCLE_SWITCH, 12345, 2), 0) << "a note nobody wrote";
  // A switch carrying the alarm mark marks its channel; one without it leaves the flag.
  device->GetChannel(4)->SetAlarmFlag(0);
  Send(WM_CYCLE_SWITCH, AddDeviceNote(device->GetGuid(), 4, 1), CycleSwitchValue(4, 1));
  EXPECT_EQ(device->GetChannel(4)->GetAlarmFlag(), 1);
  EXPECT_EQ(TreeItemImage(ChannelItem(4)), 10);
  device->GetChannel(4)->SetAlarmFlag(0);
  Send(WM_CYCLE_SWITCH, AddDeviceNote(device->GetGuid(), 4), CycleSwitchValue(4, 0));
  EXPECT_EQ(device->GetChannel(4)->GetAlarmFlag(), 0);
  EXPECT_EQ(TreeItemImage(ChannelItem(4)), 4);
  C().OnCycleNoPreview(device);
  EXPECT_EQ(list->topLevelItem(0)->text(1), QString::fromStdU16String(u"127.0.0.2" + LoadResString(8601)));
}

TEST_F(PreviewPage, ExceptionsAndRebootsEndTheDevicesWindowsAndTalkIsShownOnlyWhenItRuns) {
  Screen()->SetActiveIndex(0, 1);
  DoubleClick(ChannelItem(1));
  Screen()->SetActiveIndex(1, 1);
  DoubleClick(ChannelItem(2));
  // An item listed but not running goes too.
  ASSERT_TRUE(CPreviewManager::GetInstance()->Add(std::make_shared<CPreviewItem>(3, 4, 0, kGuid)));
  const int id = device->GetUserLogin(0)->GetLoginID(0);
  ASSERT_GE(id, 0);
  fake::Journal().clear();
  EXPECT_EQ(Send(WM_DEVICE_EXCEPTION, static_cast<uintptr_t>(id + 5), 0), -1);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 3);
  EXPECT_EQ(Send(WM_DEVICE_EXCEPTION, static_cast<uintptr_t>(id), 0), 0);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  const auto& j = fake::Journal();
  EXPECT_NE(std::find(j.begin(), j.end(), "preview.stop.1"), j.end());
  EXPECT_NE(std::find(j.begin(), j.end(), "preview.stop.2"), j.end());
  EXPECT_NE(std::find(j.begin(), j.end(), "login.logout"), j.end());
  EXPECT_FALSE(device->IsLoggedIn());
  EXPECT_EQ(TreeItemImage(deviceItem), 2) << "logged out";

  Screen()->SetActiveIndex(0, 1);
  DoubleClick(ChannelItem(3));
  ASSERT_EQ(ChannelIn(0), 3);
  fake::Journal().clear();
  Send(WM_DEVICE_REBOOT, AddDeviceNote(device->GetGuid(), 0), 0);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  EXPECT_NE(std::find(j.begin(), j.end(), "login.reboot"), j.end());
  EXPECT_EQ(TreeItemImage(ChannelItem(3)), 4);

  // Talk: shown as running only when the device took it.
  page->GetDeviceTree()->setCurrentItem(deviceItem);
  fake::TalkResult() = 0;
  Command(CDlgPreview::ID_VOICE_TALK);
  EXPECT_TRUE(C().TalkDeviceName().empty());
  fake::TalkResult() = 1;
  Command(CDlgPreview::ID_VOICE_TALK);
  EXPECT_EQ(C().TalkDeviceName(), u"前门");
  std::unique_ptr<QMenu> menu(page->BuildDeviceTreeMenu(deviceItem));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->actions().at(1)->text(), Text(8594));
  Command(CDlgPreview::ID_VOICE_TALK);
  EXPECT_TRUE(C().TalkDeviceName().empty());
  page->GetDeviceTree()->setCurrentItem(ChannelItem(1));
  Command(CDlgPreview::ID_VOICE_TALK);
  EXPECT_EQ(notices.back(), LoadResString(8260));
}

TEST_F(PreviewPage, MidnightRollsEachRecordingWindowOnceWithoutWaiting) {
  CRecordFileRing::DiskFlags flags{};
  flags[1] = 1;
  CRecordFileRing* ring = CRecordFileRing::GetInstance();
  ring->SetDisks(flags);
  ring->SetFreeSpaceQuery([](const std::u16string&) { return int64_t{1} << 40; });
  std::vector<std::pair<int, int>> started;  // id, ms of one-shot timers
  C().GetHost().startTimer = [&](int id, int ms, bool once) {
    if (once) started.emplace_back(id, ms);
  };
  for (int w : {0, 1}) {
    Screen()->SetActiveIndex(w, 1);
    DoubleClick(ChannelItem(w + 1));
    Command(CDlgPreview::ID_RECORD);
    ASSERT_TRUE(FakePreview(w + 1)->recording);
  }
  const std::u16string a0 = ring->GetCurrentFile(u"前门", 1);
  const std::u16string b0 = ring->GetCurrentFile(u"前门", 2);

  clock.tm_hour = 23;
  clock.tm_min = 59;
  clock.tm_sec = 45;
  C().OnTimer(CPreviewController::kRecordTimer);
  Settle();
  clock.tm_sec = 55;
  C().OnTimer(CPreviewController::kRecordTimer);
  Settle();
  ASSERT_EQ(started.size(), 1u) << "one roll is scheduled, however many ticks see 23:59";
  EXPECT_EQ(started[0].first, CPreviewController::kMidnightTimer);
  EXPECT_GE(started[0].second, 15000);
  EXPECT_LE(started[0].second, 16000);
  EXPECT_EQ(ring->GetCurrentFile(u"前门", 1), a0) << "nothing rolled before midnight";

  // The user restarts window 1's recording before midnight: it has its new file already.
  Screen()->SetActiveIndex(1, 1);
  Command(CDlgPreview::ID_RECORD);
  Command(CDlgPreview::ID_RECORD);
  const std::u16string b1 = ring->GetCurrentFile(u"前门", 2);
  ASSERT_NE(b1, b0);

  clock.tm_hour = 0;
  clock.tm_min = 0;
  clock.tm_sec = 1;
  C().OnTimer(CPreviewController::kMidnightTimer);
  Settle();
  const std::u16string a1 = ring->GetCurrentFile(u"前门", 1);
  EXPECT_NE(a1, a0);
  EXPECT_EQ(ring->GetCurrentFile(u"前门", 2), b1) << "window 1 is not rolled twice";
  EXPECT_TRUE(FakePreview(1)->recording);
  C().OnTimer(CPreviewController::kMidnightTimer);
  Settle();  // a late second firing rolls nothing
  EXPECT_EQ(ring->GetCurrentFile(u"前门", 1), a1);

  // A roll that finds no disk stops the recording and says so.
  clock.tm_hour = 23;
  clock.tm_min = 59;
  clock.tm_sec = 50;
  C().OnTimer(CPreviewController::kRecordTimer);
  Settle();
  ASSERT_EQ(started.size(), 2u);
  ring->ClearDisks();
  C().OnTimer(CPreviewController::kMidnightTimer);
  Settle();
  EXPECT_FALSE(FakePreview(1)->recording);
  EXPECT_EQ(notices.back(), LoadResString(8970) + u"前门");
}

TEST_F(PreviewPage, AGroupCyclesInTheActiveWindowPausesResumesAndBindsTheVideoPanel) {
  CGroupInfo group(u"后门", u"G-2");
  std::vector<CGroupMemberInfo> members(3);
  std::vector<GroupTreeNode> memberNodes;
  memberNodes.reserve(3);
  GroupTreeNode groupNode{GroupTreeNode::kGroup, u"后门", &group};
  CTreeCtrlTarget groups(page->GetGroupTree());
  const auto g = groups.Insert(0, u"后门", 8, &groupNode, true);
  for (int i = 0; i < 3; ++i) {
    members[i].Chn = i + 1;
    members[i].Guid = u"G-2";
    members[i].DevGuid = kGuid;
    memberNodes.push_back({GroupTreeNode::kMember, u"m", &members[i]});
    groups.Insert(g, u"m", 4, &memberNodes.back(), true);
  }
  auto* groupItem = reinterpret_cast<QTreeWidgetItem*>(g);
  Command(CDlgPreview::ID_TAB_GROUPS);
  ASSERT_EQ(C().GetTreeMode(), 1);

  CCyclePreviewManager* cycles = CCyclePreviewManager::GetInstance();
  cycles->SetTickPeriod(0);
  Screen()->SetActiveIndex(3, 1);
  page->GetGroupTree()->setCurrentItem(groupItem);
  emit page->GetGroupTree()->itemDoubleClicked(groupItem, 0);
  Settle();
  ASSERT_TRUE(cycles->HasWindow(3));
  EXPECT_EQ(C().GetRunCount(), 1);
  // The worker posts on its own thread: wait in real time, bounded generously.
  auto WaitSteps = [&](int expected) {
    QElapsedTimer t;
    t.start();
    while (cycles->StepsHandled() < expected && t.elapsed() < 30000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      plat::sleepMs(1);
    }
  };
  auto step = [&](int expected) {
    ASSERT_TRUE(cycles->FindByWindow(3)->InjectTick());
    WaitSteps(expected);
    Settle();  // the switch starts the channel on the device's queue
    QCoreApplication::processEvents();  // the page's notes
    ASSERT_EQ(cycles->StepsHandled(), expected);
  };
  std::vector<int> shown;
  for (int s = 1; s <= 4; ++s) {
    step(s);
    shown.push_back(ChannelIn(3));
    // Only the tick that switches: the node's interval is the settings' cycle interval.
    for (int t = 1; t < cycles->FindByWindow(3)->GetInterval(); ++t)
      ASSERT_TRUE(cycles->FindByWindow(3)->InjectTick());
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 1}));
  EXPECT_EQ(TreeItemImage(page->GetGroupTree()->topLevelItem(0)->child(0)), 5) << "the page marked the shown member";
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 1);

  // The video panel binds the channel the cycle shows.
  Command(CDlgPreview::ID_PANEL_VIDEO);
  auto* panel = page->findChild<CDlgVideoParam*>();
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(panel->isVisibleTo(page.get()));
  EXPECT_TRUE(panel->Controller().Bound() == (PanelTarget{device->GetGuid(), 1}));
  Command(CDlgPreview::ID_PANEL_PTZ);
  EXPECT_FALSE(panel->isVisibleTo(page.get()));

  // Paused, ticks switch nothing; one resume undoes two pauses.
  Command(CDlgPreview::ID_PAUSE_CYCLES);
  Command(CDlgPreview::ID_PAUSE_CYCLES);
  for (int t = 0; t < 25; ++t) ASSERT_TRUE(cycles->FindByWindow(3)->InjectTick());
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(cycles->StepsHandled(), 4);
  EXPECT_EQ(ChannelIn(3), 1);
  Command(CDlgPreview::ID_RESUME_CYCLES);
  // Ticks the pause caught before the worker counted them are lost: one interval of ticks
  // holds exactly one switch either way.
  for (int t = 0; t < cycles->FindByWindow(3)->GetInterval(); ++t) ASSERT_TRUE(cycles->FindByWindow(3)->InjectTick());
  WaitSteps(5);
  Settle();  // the switch starts the channel on the device's queue
  QCoreApplication::processEvents();
  EXPECT_EQ(cycles->StepsHandled(), 5);
  EXPECT_EQ(ChannelIn(3), 2);

  // Stop all ends the cycle: the device tab is open again.
  Command(CDlgPreview::ID_STOP_ALL);
  EXPECT_EQ(C().GetRunCount(), 0);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  Command(CDlgPreview::ID_TAB_DEVICES);
  EXPECT_EQ(C().GetTreeMode(), 0);
}

}  // namespace

namespace {

TEST_F(PreviewPage, SidePanelsFollowThePanelTabsAndThePresetListTheActiveWindow) {
  QWidget* box = page->findChild<QWidget*>(QString::number(CDlgPreview::kPanelBoxId));
  QWidget* ptz = page->findChild<QWidget*>("140");
  QWidget* presets = page->findChild<QWidget*>("137");
  QWidget* cruise = page->findChild<QWidget*>("138");
  ASSERT_TRUE(box && ptz && presets && cruise);
  EXPECT_EQ(ptz->parentWidget(), box);
  EXPECT_TRUE(ptz->isVisible());
  EXPECT_FALSE(presets->isVisible());
  harness::SaveScreenshot(page.get(), "preview_page_ptz");
  Command(CDlgPreview::ID_PANEL_PRESETS);
  EXPECT_TRUE(presets->isVisible());
  EXPECT_FALSE(ptz->isVisible());
  EXPECT_EQ(presets->geometry(), box->rect());

  // A live preview in the active window binds the preset list: a camera cannot tell which
  // presets are set.
  Screen()->SetActiveIndex(0, 1);
  DoubleClick(ChannelItem(2));
  auto* list = presets->findChild<QTreeWidget*>("1064");
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(list->topLevelItem(0)->text(1), Text(8519));
  C().OnPlayWndSelected(3);  // an empty window
  EXPECT_EQ(list->topLevelItem(0)->text(1), QString()) << "unbound";

  Command(CDlgPreview::ID_PANEL_CRUISE);
  EXPECT_TRUE(cruise->isVisible());
  EXPECT_FALSE(presets->isVisible());
}

}  // namespace
