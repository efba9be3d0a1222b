// The live page driven as a user drives it, over fake device families: channels opened by
// double click and by drag and closed, with their items marked; snapshots and recordings
// refused or named; group members counting as cycles and a group cycling; the device side's
// messages (alarms, arming, cycle switches, exceptions, reboots) reaching the page, whose
// items and list show what they did; the talk in the device's menu; the side panels. What
// the page's logic does with them, without the page, is the model's test
// (tests/TarnwickModel/live_view_test.cpp).
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
#include "shell/AppMessages.h"
#include "shell/DeviceNote.h"
#include "shell/Language.h"
#include "shell/Text.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "support/FakeDevices.h"
#include <QElapsedTimer>
#include "plat/clock.h"
#include "support/LiveViewSetUp.h"
#include "view/DlgPreview.h"
#include "view/CyclePreview.h"
#include "view/DlgVideoParam.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"
#include "view/ViewMessages.h"
#include <QMenu>

namespace fs = std::filesystem;

namespace {

using testsupport::AlarmBlock;

constexpr const char16_t* kGuid = testsupport::kFrontCameraGuid;

struct PreviewPage : ::testing::Test {
  testsupport::LiveViewHome home;
  fake::Families families;
  QWidget main;
  std::unique_ptr<CDlgPreview> page;
  CDevice* device = nullptr;
  CRegionInfo& region = home.region;
  DeviceTreeNode& regionNode = home.regionNode;
  DeviceTreeNode& deviceNode = home.cameraNode;
  QTreeWidgetItem* deviceItem = nullptr;
  std::vector<std::u16string>& notices = home.notices;
  std::tm& clock = home.clock;

  void SetUp() override {
    home.Make();
    device = home.camera;

    page = std::make_unique<CDlgPreview>();
    ASSERT_TRUE(page->Create(&main));
    main.resize(1280, 800);
    page->setGeometry(0, 0, 1280, 800);
    main.show();
    page->show();
    home.Hear(page->Controller().GetHost());

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
    home.Remove();
  }

  // Another device under the region, with its channel items.
  QTreeWidgetItem* AddDevice(const std::u16string& name, int type, int channels, const std::u16string& guid,
                             CDevice** out) {
    DeviceTreeNode* node = home.AddDevice(name, type, channels, guid);
    if (!node) return nullptr;
    CDevice* d = node->Device();
    CTreeCtrlTarget tree(page->GetDeviceTree());
    const auto item =
        tree.Insert(reinterpret_cast<intptr_t>(page->GetDeviceTree()->topLevelItem(0)), name, 1, node, true);
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

TEST_F(PreviewPage, ChannelsOpenByDoubleClickAndDragAndCloseWithTheirItemsMarked) {
  Screen()->SetActiveIndex(0, 1);
  DoubleClick(ChannelItem(2));
  EXPECT_EQ(ChannelIn(0), 2);
  ASSERT_NE(FakePreview(2), nullptr);
  EXPECT_TRUE(FakePreview(2)->previewing);
  EXPECT_EQ(TreeItemImage(ChannelItem(2)), 5);
  EXPECT_EQ(TreeItemImage(deviceItem), 1) << "logged in, not armed";
  EXPECT_EQ(Screen()->GetWnd(0)->GetState(), CPlayWnd::State::kLive);

  DoubleClick(ChannelItem(2));  // the active window shows it: closed
  EXPECT_EQ(ChannelIn(0), 0);
  EXPECT_FALSE(FakePreview(2)->previewing);
  EXPECT_EQ(TreeItemImage(ChannelItem(2)), 4);
  EXPECT_EQ(Screen()->GetWnd(0)->GetState(), CPlayWnd::State::kIdle);

  // Dragged onto window 2: it becomes active and shows the channel.
  page->BeginDrag(page->GetDeviceTree(), ChannelItem(4));
  ASSERT_TRUE(Drop(CentreOf(2)));
  EXPECT_EQ(Screen()->GetActiveIndex(), 2);
  EXPECT_EQ(ChannelIn(2), 4);
  // A channel's menu binds the video panel to the active window's channel.
  auto* videoParam = page->findChild<CDlgVideoParam*>();
  ASSERT_NE(videoParam, nullptr);
  videoParam->BindPreview(u"", 0);
  {
    std::unique_ptr<QMenu> menu(page->BuildDeviceTreeMenu(ChannelItem(6)));
    ASSERT_NE(menu, nullptr);
  }
  EXPECT_TRUE(videoParam->Controller().Bound() == (PanelTarget{device->GetGuid(), 4}));
  // Its menu's stream types switch the selected channel's preview.
  Command(CDlgPreview::ID_SUB_STREAM);
  EXPECT_EQ(FakePreview(4)->streamType, 1);
  Command(CDlgPreview::ID_MAIN_STREAM);
  EXPECT_EQ(FakePreview(4)->streamType, 0);
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
  EXPECT_EQ(C().FindChannelItem(device, 7), ChannelItem(7));
  EXPECT_EQ(C().FindDeviceItem(device), deviceItem);

  // Regions and devices do nothing on a double click.
  const size_t before = notices.size();
  DoubleClick(deviceItem);
  EXPECT_EQ(notices.size(), before);

  Command(CDlgPreview::ID_STOP_ALL);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  for (int c : {4, 7}) {
    EXPECT_FALSE(FakePreview(c)->previewing) << c;
    EXPECT_EQ(TreeItemImage(ChannelItem(c)), 4) << c;
  }
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
      LoadResString(8351) + LoadResString(8981) + plat::utf8ToUtf16((home.root / "c" / "Capture").string()) + u"/Preview_05_20261208_090507_";
  ASSERT_FALSE(notices.empty());
  EXPECT_EQ(notices.back().substr(0, expected.size()), expected) << "the fake refuses every picture";
  EXPECT_EQ(notices.back().substr(notices.back().size() - 4), u".bmp");
  EXPECT_TRUE(fs::is_directory(home.root / "c" / "Capture")) << "the folder is made when missing";
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


// The page routes the device side's messages to its logic, and the marks and rows land on
// its own items.
TEST_F(PreviewPage, AlarmsArmingAndCycleSwitchesReachThePageAsMessagesAndMarkItsItems) {
  QTreeWidget* list = page->GetAlarmList();
  // Recorders are the devices that arm.
  deviceItem = AddDevice(u"录像机", DEV_TYPE_DVR, 4, u"DEV-DVR", &device);
  ASSERT_NE(deviceItem, nullptr);
  IDevUserLogin* login = device->GetUserLogin(1);
  login->Login();
  const int id = login->GetLoginID(0);
  MsgAlarmInfo motion = AlarmBlock(id, 3, {0, 2, 9});
  EXPECT_EQ(Send(WM_DEVICE_ALARM, reinterpret_cast<uintptr_t>(&motion), 0), -1) << "not armed";
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
  EXPECT_EQ(TreeItemImage(ChannelItem(3)), 10);
  Command(CDlgPreview::ID_CLEAR_ALARMS);
  EXPECT_EQ(list->topLevelItemCount(), 0);

  // Disarmed from the menu, armed again from elsewhere.
  Command(CDlgPreview::ID_ARM);
  EXPECT_EQ(device->GetAlarmState(), 0);
  EXPECT_EQ(TreeItemImage(deviceItem), 1);
  Send(WM_DEVICE_ARMING, AddDeviceNote(device->GetGuid(), 0), 1);
  EXPECT_EQ(TreeItemImage(deviceItem), 3);
  CDevice gone;
  EXPECT_EQ(Send(WM_DEVICE_ARMING, AddDeviceNote(gone.GetGuid(), 0), 1), 0);
  EXPECT_EQ(gone.GetAlarmState(), 0) << "a device not in the list is left alone";

  // Cycle switches name a note: the channel's item follows, with the alarm mark or without.
  EXPECT_EQ(Send(WM_CYCLE_SWITCH, 12345, 2), 0) << "a note nobody wrote";
  device->GetChannel(4)->SetAlarmFlag(0);
  Send(WM_CYCLE_SWITCH, AddDeviceNote(device->GetGuid(), 4, 1), CycleSwitchValue(4, 1));
  EXPECT_EQ(device->GetChannel(4)->GetAlarmFlag(), 1);
  EXPECT_EQ(TreeItemImage(ChannelItem(4)), 10);
  device->GetChannel(4)->SetAlarmFlag(0);
  Send(WM_CYCLE_SWITCH, AddDeviceNote(device->GetGuid(), 4), CycleSwitchValue(4, 0));
  EXPECT_EQ(device->GetChannel(4)->GetAlarmFlag(), 0);
  EXPECT_EQ(TreeItemImage(ChannelItem(4)), 4);
  Send(WM_CYCLE_NO_PREVIEW, AddDeviceNote(device->GetGuid(), 0), 0);
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->text(1), QString::fromStdU16String(u"127.0.0.2" + LoadResString(8601)));
}

TEST_F(PreviewPage, ExceptionsAndRebootsReachThePageAsMessagesAndTalkShowsInTheDeviceMenu) {
  Screen()->SetActiveIndex(0, 1);
  DoubleClick(ChannelItem(1));
  Screen()->SetActiveIndex(1, 1);
  DoubleClick(ChannelItem(2));
  // An item listed but not running goes too.
  ASSERT_TRUE(CPreviewManager::GetInstance()->Add(std::make_shared<CPreviewItem>(3, 4, 0, kGuid)));
  const int id = device->GetUserLogin(0)->GetLoginID(0);
  ASSERT_GE(id, 0);
  EXPECT_EQ(Send(WM_DEVICE_EXCEPTION, static_cast<uintptr_t>(id + 5), 0), -1);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 3);
  EXPECT_EQ(Send(WM_DEVICE_EXCEPTION, static_cast<uintptr_t>(id), 0), 0);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  EXPECT_FALSE(device->IsLoggedIn());
  EXPECT_EQ(TreeItemImage(deviceItem), 2) << "logged out";
  EXPECT_EQ(Screen()->GetWnd(0)->GetState(), CPlayWnd::State::kDeviceLost);

  Screen()->SetActiveIndex(0, 1);
  DoubleClick(ChannelItem(3));
  ASSERT_EQ(ChannelIn(0), 3);
  fake::Journal().clear();
  Send(WM_DEVICE_REBOOT, AddDeviceNote(device->GetGuid(), 0), 0);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  const auto& j = fake::Journal();
  EXPECT_NE(std::find(j.begin(), j.end(), "login.reboot"), j.end());
  EXPECT_EQ(TreeItemImage(ChannelItem(3)), 4);

  // Talk: while it runs, the device's menu offers to close it.
  page->GetDeviceTree()->setCurrentItem(deviceItem);
  Command(CDlgPreview::ID_VOICE_TALK);
  EXPECT_EQ(C().TalkDeviceName(), u"前门");
  std::unique_ptr<QMenu> menu(page->BuildDeviceTreeMenu(deviceItem));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->actions().at(1)->text(), Text(8594));
  Command(CDlgPreview::ID_VOICE_TALK);
  EXPECT_TRUE(C().TalkDeviceName().empty());
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
  // The first member comes with the double click; then a switch at every interval of ticks
  // (the node's interval is the settings' cycle interval).
  auto step = [&](int expected) {
    if (expected > 1) {
      for (int t = 1; t < cycles->FindByWindow(3)->GetInterval(); ++t)
        ASSERT_TRUE(cycles->FindByWindow(3)->InjectTick());
      ASSERT_TRUE(cycles->FindByWindow(3)->InjectTick());
    }
    WaitSteps(expected);
    Settle();  // the switch starts the channel on the device's queue
    QCoreApplication::processEvents();  // the page's notes
    ASSERT_EQ(cycles->StepsHandled(), expected);
  };
  std::vector<int> shown;
  for (int s = 1; s <= 4; ++s) {
    step(s);
    shown.push_back(ChannelIn(3));
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

// The first Escape the page gets moves it to its normal place and shows its controls, in full
// screen or not; after that, only the Escape that ends a full screen does.
TEST_F(PreviewPage, TheFirstEscapeAndTheOneEndingAFullScreenPutThePageInItsNormalPlace) {
  const QRect normal(0, 40, 1280, 760);
  page->SetPaneRect2(normal);
  page->SetPaneRect(QRect(0, 0, 1280, 800));
  Send(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(page->geometry(), normal) << "outside full screen";
  page->setGeometry(0, 0, 1280, 800);
  Send(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(page->geometry(), QRect(0, 0, 1280, 800)) << "a second Escape moved the page";

  Command(CDlgPreview::ID_FULLSCREEN);
  EXPECT_TRUE(page->IsFullScreen());
  EXPECT_FALSE(page->GetDeviceTree()->isVisible());
  Send(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(page->IsFullScreen());
  EXPECT_EQ(page->geometry(), normal);
  EXPECT_TRUE(page->GetDeviceTree()->isVisible());
}

}  // namespace
