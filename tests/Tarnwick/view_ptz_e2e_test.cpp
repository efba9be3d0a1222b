// The PTZ panel, the preset list and the cruise panels against both emulators: a camera in
// play window 0 and a recorder in window 1, both live. Every check reads what the device
// received: the camera's PTZ command records and the recorder's PTZ requests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "Journeys/JourneyDevices.h"
#include "camemu/camera.h"
#include "camera_clip.h"
#include "camemu/media.h"
#include "clipgen/clipgen.h"
#include "controls/BitmapButtonEx.h"
#include "controls/EditEx.h"
#include "controls/ListCtrlEx.h"
#include "devices/DeviceManager.h"
#include "devices/DeviceWork.h"
#include "dvremu/emulator.h"
#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "plat/audio.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "support/Emulators.h"
#include "support/TestFolder.h"
#include "support/UiTicker.h"
#include "view/DlgAddCruisePoint.h"
#include "view/DlgCruise.h"
#include "view/DlgCruisePathSetting.h"
#include "view/DlgPTZ.h"
#include "view/DlgPresetPoint.h"
#include "view/DlgVideoParam.h"
#include "view/PTZButton.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"
#include "view/ViewMessages.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kCamGuid[] = u"PTZ-CAM";
constexpr char16_t kDvrGuid[] = u"PTZ-DVR";
constexpr uint16_t kCamPtzCommand = 0x0905;
constexpr uint32_t kDvrControl = 18, kDvrPreset = 19, kDvrCruise = 20;

uint32_t U32(const std::vector<uint8_t>& p, size_t at) {
  return p.size() < at + 4 ? 0xFFFFFFFF
                           : uint32_t(p[at]) | uint32_t(p[at + 1]) << 8 |
                                 uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
}

// A recorder PTZ request as sent: action, preset, route, point, and the value slot of each.
struct DvrPtz {
  uint32_t channel, action, preset, route, point, value4, value24;
};
DvrPtz Decode(const dvremu::Request& r) {
  const auto& p = r.payload;
  return {U32(p, 0), U32(p, 8), U32(p, 12), U32(p, 16), U32(p, 20), U32(p, 4), U32(p, 24)};
}

// Calls `inside` with the next modal dialog that opens (other than `except`), from the
// dialog's own event loop.
void WhenModal(std::function<void(QWidget*)> inside, QWidget* except = nullptr) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, inside, except] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w || w == except) return;
    timer->stop();
    timer->deleteLater();
    inside(w);
  });
  timer->start();
}

struct PtzLive : ::testing::Test {
  fs::path home;
  std::unique_ptr<camemu::Camera> cam;
  std::unique_ptr<camemu::Media> media;
  std::unique_ptr<dvremu::Emulator> dvr;
  QWidget page;
  CPlayScreen* screen = nullptr;
  CPreviewListPanelHost host;
  std::unique_ptr<harness::ScopedScriptedUi> ui;

  void SetUp() override {
    home = testsupport::NewTestFolder();
    setenv("TARNWICK_HOME", home.c_str(), 1);
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    ASSERT_EQ(CQXGlobal::Startup(), 1);
    ui = std::make_unique<harness::ScopedScriptedUi>();
    CUser::GetInstance()->SetPower(RIGHT_PTZ);

    clipgen::Options o;
    o.frames = 25;
    clipgen::Clip clip;
    std::string error;
    ASSERT_TRUE(clipgen::generate(o, &clip, &error)) << error;
    cam = std::make_unique<camemu::Camera>();
    ASSERT_TRUE(cam->start());
    media = std::make_unique<camemu::Media>(*cam);
    media->setLiveFrames(harness::CameraFrames(clip), true);
    media->setFrameInterval(40);

    dvremu::StreamClip dclip;
    ASSERT_TRUE(dvremu::generatedClip(false, 320, 240, 25, 25, false, &dclip, &error)) << error;
    dvr = std::make_unique<dvremu::Emulator>();
    dvr->setClip(dclip);
    ASSERT_TRUE(dvr->start());

    CDevInfo camInfo(u"云台相机", u"127.0.0.1", cam->port(), u"admin", u"admin", 4, u"", u"",
                     u"", u"", 0, 0, DEV_TYPE_IPC, kCamGuid, u"REGION-1");
    CDevInfo dvrInfo(u"云台录像机", u"localhost", dvr->port(), u"admin", u"12345", 4, u"",
                     u"", u"", u"", 0, 0, DEV_TYPE_DVR, kDvrGuid, u"REGION-1");
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(camInfo)));
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(dvrInfo)));

    page.resize(640, 480);
    screen = new CPlayScreen(0, &page);
    screen->setGeometry(0, 0, 640, 480);
    screen->SetMode(1, 0);
    page.show();
    CPreviewManager::GetInstance()->SetPlayScreen(screen);
    Open(0, kCamGuid);
    Open(1, kDvrGuid);
  }

  void TearDown() override {
    harness::ResetServices();
    media.reset();
    cam.reset();
    dvr.reset();
    ui.reset();
    CQXGlobal::Cleanup();
    unsetenv("TARNWICK_HOME");
    fs::remove_all(home);
  }

  void Open(int window, const char16_t* guid) {
    auto item = std::make_shared<CPreviewItem>(window, screen->GetWnd(window)->GetSafeHwnd(),
                                               nullptr, 1, 0, guid);
    ASSERT_TRUE(item->Start()) << "window " << window;
    ASSERT_TRUE(CPreviewManager::GetInstance()->Add(item));
  }

  void Watch(int window) { screen->SetActiveIndex(window, 0); }

  // The camera's PTZ command records, in order of arrival.
  std::vector<std::vector<uint8_t>> CamCommands() const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& r : cam->requests())
      if (!r.open && r.code == kCamPtzCommand) out.push_back(r.payload);
    return out;
  }
  bool CamCount(size_t n) const {
    return cam->waitUntil([&] { return CamCommands().size() >= n; });
  }
  std::vector<DvrPtz> Dvr(uint32_t command) const {
    std::vector<DvrPtz> out;
    for (const auto& r : dvr->requests(command)) out.push_back(Decode(r));
    return out;
  }
};

TEST_F(PtzLive, EachButtonStartsOnPressAndStopsOnReleaseOnTheWatchedDevice) {
  CDlgPTZ panel(&host);
  panel.resize(200, 200);
  panel.show();
  // The speed slider and its end images stay hidden, and what it holds goes nowhere.
  auto* speed = panel.findChild<QSlider*>("1058");
  ASSERT_NE(speed, nullptr);
  EXPECT_FALSE(speed->isVisible());
  for (const char* end : {"1953", "1954"}) {
    auto* image = panel.findChild<QWidget*>(end);
    ASSERT_NE(image, nullptr) << end;
    EXPECT_FALSE(image->isVisible()) << end;
  }
  speed->setValue(5);
  ASSERT_EQ(speed->value(), 5);
  const int ids[] = {1043, 1044, 1045, 1048, 1049, 1050, 1053, 1054, 1055,
                     1046, 1047, 1051, 1052, 1056, 1057, 1060, 1061};
  const int codes[] = {25, 21, 26, 23, 29, 24, 27, 22, 28, 14, 13, 12, 11, 15, 16, 2, 3};

  // The camera in window 0: start (stop flag 0) then stop (1), command byte at 2.
  Watch(0);
  for (size_t i = 0; i < std::size(ids); ++i) {
    CPTZButton* b = panel.Button(ids[i]);
    ASSERT_NE(b, nullptr);
    harness::MousePress(b);
    harness::MouseRelease(b);
    ASSERT_TRUE(CamCount(2 * (i + 1))) << ids[i];
    const auto sent = CamCommands();
    EXPECT_EQ(sent[2 * i][2], codes[i]) << ids[i];
    EXPECT_EQ(sent[2 * i][3], 0) << ids[i];
    EXPECT_EQ(sent[2 * i][6], 0) << "no speed with " << ids[i];
    EXPECT_EQ(sent[2 * i + 1][2], codes[i]) << ids[i];
    EXPECT_EQ(sent[2 * i + 1][3], 1) << ids[i];
  }
  EXPECT_TRUE(Dvr(kDvrControl).empty()) << "the recorder is not watched";

  // The recorder in window 1: the direction's action, then the stop (action 0), channel 0.
  Watch(1);
  const int dirs[] = {1044, 1054, 1048, 1050};
  const uint32_t actions[] = {3, 4, 1, 2};
  for (size_t i = 0; i < std::size(dirs); ++i) {
    harness::MousePress(panel.Button(dirs[i]));
    harness::MouseRelease(panel.Button(dirs[i]));
    ASSERT_TRUE(dvr->waitForRequests(kDvrControl, 2 * (i + 1)));
    const auto sent = Dvr(kDvrControl);
    EXPECT_EQ(sent[2 * i].action, actions[i]);
    EXPECT_EQ(sent[2 * i].channel, 0u);
    EXPECT_EQ(sent[2 * i].value4, 0u) << "no speed";
    EXPECT_EQ(sent[2 * i + 1].action, 0u) << "stop";
  }
  const size_t camBefore = CamCommands().size();

  // Pressed on the camera, released after the user picked the recorder's window: the stop
  // goes to the camera the press started, and nothing to the recorder.
  Watch(0);
  harness::MousePress(panel.Button(1050));
  Watch(1);
  const size_t dvrBefore = Dvr(kDvrControl).size();
  harness::MouseRelease(panel.Button(1050));
  ASSERT_TRUE(harness::SettleDeviceWork());
  ASSERT_TRUE(CamCount(camBefore + 2));
  EXPECT_EQ(CamCommands().back()[3], 1);
  EXPECT_EQ(CamCommands().back()[2], 24);
  EXPECT_EQ(Dvr(kDvrControl).size(), dvrBefore);

  // Focus lost while held stops; so does the panel hiding.
  Watch(0);
  harness::MousePress(panel.Button(1044));
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(panel.Button(1044), &out);
  ASSERT_TRUE(CamCount(camBefore + 4));
  EXPECT_EQ(CamCommands().back()[3], 1);
  harness::MousePress(panel.Button(1054));
  panel.hide();
  ASSERT_TRUE(CamCount(camBefore + 6));
  EXPECT_EQ(CamCommands().back()[2], 22);
  EXPECT_EQ(CamCommands().back()[3], 1);

  // A user without the PTZ right is told so and nothing is sent; the 3D button sends nothing.
  panel.show();
  CUser::GetInstance()->SetPower(0);
  harness::MousePress(panel.Button(1044));
  harness::MouseRelease(panel.Button(1044));
  ASSERT_FALSE((*ui)->notices.empty());
  EXPECT_EQ((*ui)->notices.back(), LoadResString(IDS_NO_RIGHT_PTZ));
  const size_t told = (*ui)->notices.size();
  speed->setValue(1);
  EXPECT_EQ(speed->value(), 5) << "the slider moved without the right";
  ASSERT_EQ((*ui)->notices.size(), told + 1);
  EXPECT_EQ((*ui)->notices.back(), LoadResString(IDS_NO_RIGHT_PTZ));
  CUser::GetInstance()->SetPower(RIGHT_PTZ);
  harness::MousePress(panel.Button(1059));
  harness::MouseRelease(panel.Button(1059));
  // An empty window: nothing sent, no message.
  Watch(3);
  const size_t notices = (*ui)->notices.size();
  harness::MousePress(panel.Button(1044));
  harness::MouseRelease(panel.Button(1044));
  EXPECT_EQ((*ui)->notices.size(), notices);
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(CamCommands().size(), camBefore + 6);

  // The recorder's PTZ object follows a restarted preview: its next command goes out on the
  // new live handle, which the emulator accepts.
  Watch(1);
  auto item = CPreviewManager::GetInstance()->FindByWindow(1);
  ASSERT_TRUE(item->Stop());
  ASSERT_TRUE(item->Start());
  const size_t dvrSent = Dvr(kDvrControl).size();
  harness::MousePress(panel.Button(1044));
  harness::MouseRelease(panel.Button(1044));
  ASSERT_TRUE(dvr->waitForRequests(kDvrControl, dvrSent + 2));
  const auto last = dvr->requests(kDvrControl);
  EXPECT_NE(last.back().handle, last[dvrSent - 1].handle) << "still the closed live handle";

  panel.hide();
  harness::SaveScreenshot(&panel, "ptz_panel");
}

TEST_F(PtzLive, PresetsSetClearAndGoToOnBothFamilies) {
  // Presets 3 and 7 are set on the recorder's channel 1 (wire flags at 20 of the record).
  std::vector<uint8_t> decoder(788, 0);
  decoder[20 + 2] = 1;
  decoder[20 + 6] = 1;
  dvr->services().setConfigRecord(41, 0, decoder);

  CDlgPresetPoint panel(&host);
  panel.resize(180, 320);
  panel.show();
  CListCtrlEx* list = panel.List();
  ASSERT_EQ(list->GetItemCount(), 64);

  // The flags are read on the recorder's queue: the list is greyed until they come.
  Watch(1);
  ASSERT_EQ(panel.WindowProc(WM_PANEL_BIND, 1, 0), 1);
  EXPECT_FALSE(list->isEnabled());
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_TRUE(list->isEnabled());
  EXPECT_EQ(panel.Model().BindResult(), 1);
  const QString set = Text(8517);
  const QString notSet = Text(8518);
  EXPECT_EQ(list->GetItemText(2, 1), set);
  EXPECT_EQ(list->GetItemText(6, 1), set);
  EXPECT_EQ(list->GetItemText(0, 1), notSet);
  harness::SaveScreenshot(&panel, "preset_list");

  auto clickRow = [&](int row) {
    list->scrollToItem(list->topLevelItem(row));
    panel.ClickAt(list->visualItemRect(list->topLevelItem(row)).center(), false);
  };
  // Go to a preset that is not set: nothing; to preset 3: action 16 with the number.
  clickRow(0);
  panel.OnCommand(CDlgPresetPoint::kGoToId);
  clickRow(2);
  panel.OnCommand(CDlgPresetPoint::kGoToId);
  ASSERT_TRUE(harness::SettleDeviceWork());
  // Set on row 0 sends preset 1; clear on row 63 sends preset 64. A command given while the
  // one before is on its way follows it: nothing is greyed or refused.
  clickRow(0);
  panel.OnCommand(CDlgPresetPoint::kSetId);
  EXPECT_TRUE(panel.findChild<QWidget*>("1066")->isEnabled());
  clickRow(63);
  panel.OnCommand(CDlgPresetPoint::kMenuClear);
  ASSERT_TRUE(harness::SettleDeviceWork());
  const auto sent = Dvr(kDvrPreset);
  ASSERT_EQ(sent.size(), 3u) << "the unset preset was called";
  EXPECT_EQ(sent[0].action, 16u);
  EXPECT_EQ(sent[0].preset, 3u);
  EXPECT_EQ(sent[1].action, 15u);
  EXPECT_EQ(sent[1].preset, 1u);
  EXPECT_EQ(sent[2].action, 17u);
  EXPECT_EQ(sent[2].preset, 64u);
  EXPECT_EQ(list->GetItemText(0, 1), set);
  EXPECT_EQ(list->GetItemText(63, 1), notSet);

  // Unbinding empties the column; binding a failed read leaves it as it was.
  ASSERT_EQ(panel.WindowProc(WM_PANEL_BIND, 0, 0), 1);
  EXPECT_EQ(list->GetItemText(2, 1), QString());
  dvr->services().failConfig(41, -1, true);
  ASSERT_EQ(panel.WindowProc(WM_PANEL_BIND, 1, 0), 1);
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(panel.Model().BindResult(), -1);
  EXPECT_EQ(list->GetItemText(2, 1), QString());
  dvr->services().failConfig(41, -1, false);

  // The camera cannot tell which presets are set: unknown, and go-to is allowed.
  Watch(0);
  ASSERT_EQ(panel.WindowProc(WM_PANEL_BIND, 1, 0), 1);
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(list->GetItemText(4, 1), Text(8519));
  clickRow(4);
  for (int command : {CDlgPresetPoint::kGoToId, CDlgPresetPoint::kSetId, CDlgPresetPoint::kClearId}) {
    panel.OnCommand(command);
    ASSERT_TRUE(harness::SettleDeviceWork());
  }
  ASSERT_TRUE(CamCount(3));
  const auto cmds = CamCommands();
  EXPECT_EQ(cmds[0][2], 39);
  EXPECT_EQ(cmds[0][4], 5);
  EXPECT_EQ(cmds[1][2], 8);
  EXPECT_EQ(cmds[2][2], 9);
  EXPECT_EQ(cmds[2][4], 5);
  EXPECT_EQ(list->GetItemText(4, 1), notSet);

  // No right: told so, nothing sent.
  CUser::GetInstance()->SetPower(0);
  panel.OnCommand(CDlgPresetPoint::kGoToId);
  EXPECT_EQ((*ui)->notices.back(), LoadResString(IDS_NO_RIGHT_PTZ));
  ASSERT_TRUE(harness::SettleDeviceWork());
  EXPECT_EQ(CamCommands().size(), 3u);
}

TEST_F(PtzLive, CruiseRouteReadEditedStartedAndStopped) {
  // Route 2 of channel 1 on the recorder: stops 1 and 2 (preset, dwell, speed, reserved).
  std::array<uint8_t, dvremu::kCruiseBytes> route{};
  route[0] = 3, route[1] = 5, route[2] = 0;
  route[4] = 7, route[5] = 10, route[6] = 4;
  dvr->services().setCruise(0, 2, route);
  std::vector<uint8_t> decoder(788, 0);
  decoder[20 + 2] = decoder[20 + 6] = 1;
  dvr->services().setConfigRecord(41, 0, decoder);

  CDlgCruise panel(&host);
  panel.resize(240, 220);
  panel.show();
  harness::SaveScreenshot(&panel, "cruise_panel");
  Watch(1);

  EXPECT_EQ(panel.findChild<QWidget*>("1062")->toolTip(), QStringLiteral("停止 \n巡航"));
  // A right-click below the routes shows the menu too.
  QWidget* routes = panel.List()->viewport();
  QMouseEvent right(QEvent::MouseButtonPress, QPointF(5, routes->height() - 3), routes->mapToGlobal(QPointF(5, routes->height() - 3)),
                    Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(routes, &right);
  auto* menu = panel.findChild<QMenu*>();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible()) << "no menu below the routes";
  menu->hide();

  // Start with no row selected sends nothing; stop sends to all six routes.
  panel.OnCommand(CDlgCruise::kStartId);
  panel.OnCommand(CDlgCruise::kStopId);
  ASSERT_TRUE(harness::SettleDeviceWork());
  auto sent = Dvr(kDvrCruise);
  ASSERT_EQ(sent.size(), 6u);
  for (uint32_t r = 0; r < 6; ++r) {
    EXPECT_EQ(sent[r].action, 21u);
    EXPECT_EQ(sent[r].route, r);
  }
  // A stop pressed while a start is on its way follows it: nothing is greyed or lost.
  panel.List()->SelectRow(4);
  panel.OnCommand(CDlgCruise::kStartId);
  EXPECT_TRUE(panel.findChild<QWidget*>("1062")->isEnabled());
  panel.OnCommand(CDlgCruise::kStopId);
  ASSERT_TRUE(harness::SettleDeviceWork());
  sent = Dvr(kDvrCruise);
  ASSERT_EQ(sent.size(), 13u);
  EXPECT_EQ(sent[6].action, 20u);
  EXPECT_EQ(sent[6].route, 4u);
  for (uint32_t r = 0; r < 6; ++r) {
    EXPECT_EQ(sent[7 + r].action, 21u);
    EXPECT_EQ(sent[7 + r].route, r);
  }

  // Route 3 (index 2): the path dialog reads it over the channel's PTZ object made anew, as the
  // program makes it (with the channel's number); modify stop 2 (the editor opens with the
  // defaults), clear stop 1.
  CDevice* recorder = CDeviceManager::GetInstance()->FindDevice(kDvrGuid, 1);
  recorder->GetChannel(1)->ReleasePtz();
  ASSERT_NE(CDeviceManager::GetInstance()->GetChannelPtzByGuid(kDvrGuid, 1), nullptr);
  panel.List()->SelectRow(2);
  bool saw = false;
  WhenModal([&](QWidget* w) {
    auto* path = qobject_cast<CDlgCruisePathSetting*>(w);
    ASSERT_NE(path, nullptr);
    CListCtrlEx* stops = path->List();
    // The stops come from the recorder's queue.
    ASSERT_TRUE(harness::SettleDeviceWork());
    EXPECT_TRUE(stops->isEnabled());
    EXPECT_EQ(stops->GetItemCount(), 16);
    EXPECT_EQ(stops->GetItemText(0, 1), "3");
    EXPECT_EQ(stops->GetItemText(0, 2), "5");
    EXPECT_EQ(stops->GetItemText(0, 3), QString()) << "speed 0 shows empty";
    EXPECT_EQ(stops->GetItemText(1, 1), "7");
    harness::SaveScreenshot(path, "cruise_path_setting");
    path->SelectRow(1);
    WhenModal(
        [&](QWidget* e) {
          auto* editor = qobject_cast<CDlgAddCruisePoint*>(e);
          ASSERT_NE(editor, nullptr);
          auto* combo = editor->findChild<QComboBox*>("1459");
          ASSERT_TRUE(harness::SettleDeviceWork());
          EXPECT_TRUE(combo->isEnabled());
          EXPECT_EQ(combo->count(), 64);
          EXPECT_EQ(editor->windowTitle(), Text(8164)) << "opened as for a new stop";
          EXPECT_EQ(combo->currentIndex(), 0) << "not the stop's preset 7";
          EXPECT_EQ(editor->findChild<CEditEx*>("1456")->text(), "2");
          EXPECT_EQ(editor->findChild<CEditEx*>("1457")->text(), "0");
          EXPECT_EQ(editor->findChild<CEditEx*>("1452")->text(), "2");
          harness::SaveScreenshot(editor, "cruise_add_point");
          // Out of range: refused, kept open.
          editor->findChild<CEditEx*>("1457")->setText("9");
          EXPECT_FALSE(editor->OnOK());
          EXPECT_TRUE(editor->isVisible());
          combo->setCurrentIndex(2);
          editor->findChild<CEditEx*>("1457")->setText("6");
          editor->findChild<CEditEx*>("1456")->setText("12");
          EXPECT_TRUE(editor->OnOK());
        },
        path);
    path->OnModify();
    EXPECT_EQ(stops->GetItemText(1, 1), "3");
    EXPECT_EQ(stops->GetItemText(1, 2), "12");
    EXPECT_EQ(stops->GetItemText(1, 3), "6");
    path->SelectRow(0);
    path->OnClear();
    ASSERT_TRUE(harness::SettleDeviceWork());
    EXPECT_EQ(stops->GetItemText(0, 1), QString());
    saw = true;
    path->EndDialog(1);
  });
  panel.OnCommand(CDlgCruise::kSettingsId);
  EXPECT_TRUE(saw);

  // Then start route 3.
  panel.OnCommand(CDlgCruise::kStartId);
  ASSERT_TRUE(harness::SettleDeviceWork());
  ASSERT_TRUE(dvr->waitForRequests(kDvrCruise, 19));
  sent = Dvr(kDvrCruise);
  // Stop 2 stored as index 1: preset, dwell, speed, then the closing command.
  EXPECT_EQ(sent[13].action, 30u);
  EXPECT_EQ(sent[13].route, 2u);
  EXPECT_EQ(sent[13].point, 1u);
  EXPECT_EQ(sent[13].preset, 3u);
  EXPECT_EQ(sent[14].action, 31u);
  EXPECT_EQ(sent[14].value24, 12u);
  EXPECT_EQ(sent[15].action, 32u);
  EXPECT_EQ(sent[15].value4, 6u);
  EXPECT_EQ(sent[16].action, 39u);
  // Clearing stop row 0 sends stop number 1.
  EXPECT_EQ(sent[17].action, 33u);
  EXPECT_EQ(sent[17].point, 1u);
  EXPECT_EQ(sent[18].action, 20u);
  EXPECT_EQ(sent[18].route, 2u);
}

// Presets that cannot be read leave the editor nothing to choose: OK sends preset 0. An editor
// whose device goes away while it is open sends nothing and holds no pointer into it.
TEST_F(PtzLive, WithoutPresetsTheEditorSendsPresetZeroAndSurvivesTheDeviceGoingAway) {
  Watch(1);
  dvr->services().failConfig(41, -1, true);
  CDlgCruise panel(&host);
  panel.show();
  panel.List()->SelectRow(0);
  const size_t before = Dvr(kDvrCruise).size();
  QString shown;
  WhenModal([&](QWidget* w) {
    auto* path = qobject_cast<CDlgCruisePathSetting*>(w);
    ASSERT_NE(path, nullptr);
    ASSERT_TRUE(harness::SettleDeviceWork());
    WhenModal(
        [&](QWidget* e) {
          auto* editor = qobject_cast<CDlgAddCruisePoint*>(e);
          ASSERT_NE(editor, nullptr);
          ASSERT_TRUE(harness::SettleDeviceWork());
          auto* combo = editor->findChild<QComboBox*>("1459");
          EXPECT_EQ(combo->count(), 0);
          EXPECT_EQ(combo->currentIndex(), -1);
          EXPECT_TRUE(editor->OnOK());
        },
        path);
    path->OnModify();
    shown = path->List()->GetItemText(0, 1);
    WhenModal(
        [&](QWidget* e) {
          auto* editor = qobject_cast<CDlgAddCruisePoint*>(e);
          ASSERT_NE(editor, nullptr);
          ASSERT_TRUE(harness::SettleDeviceWork());
          CDevice* device = CDeviceManager::GetInstance()->FindDevice(kDvrGuid, 1);
          device->ReleaseAll();
          ASSERT_TRUE(CDeviceManager::GetInstance()->Remove(device));
          EXPECT_TRUE(editor->OnOK());
          int preset = -1, speed = -1, dwell = -1;
          EXPECT_EQ(editor->GetResult(&preset, &speed, &dwell), 0);
          EXPECT_EQ(preset, -1);
        },
        path);
    path->OnModify();
    path->OnClear();
    path->EndDialog(1);
  });
  panel.OnCommand(CDlgCruise::kSettingsId);
  ASSERT_TRUE(harness::SettleDeviceWork());
  const auto sent = Dvr(kDvrCruise);
  ASSERT_EQ(sent.size(), before + 4) << "the first stop stored, nothing after the device went";
  EXPECT_EQ(sent[before].action, 30u);
  EXPECT_EQ(sent[before].preset, 0u);
  EXPECT_EQ(shown, "0");
  dvr->services().failConfig(41, -1, false);
  panel.OnCommand(CDlgCruise::kStopId);
}

}  // namespace

namespace {

// A camera that stops answering (its emulator stopped with SIGSTOP) while the user presses a
// PTZ button, sets and clears a preset and drags a picture slider: the window keeps running,
// and once the camera runs again it gets the press, the release, the two preset commands and
// the last picture values, in that order.
struct PtzFrozenCamera : ::testing::Test {
  testsupport::TestFolder folder;
  std::unique_ptr<testsupport::EmulatorProcess> cam;
  std::unique_ptr<harness::ScopedScriptedUi> ui;
  QWidget page;
  CPlayScreen* screen = nullptr;
  CPreviewListPanelHost host;

  void SetUp() override {
    setenv("TARNWICK_HOME", folder.path().c_str(), 1);
    plat::setAudioBackend(plat::AudioBackendKind::Null);
    ui = std::make_unique<harness::ScopedScriptedUi>();
    CUser::GetInstance()->SetName(u"operator");
    CUser::GetInstance()->SetPower(RIGHT_PTZ | CVideoParamController::kRightVideoAdjust);
    cam = std::make_unique<testsupport::EmulatorProcess>(testsupport::EmulatorProcess::kCamera, folder.path());
    ASSERT_TRUE(cam->Start());
    CDevInfo info(u"冻结相机", u"127.0.0.1", cam->Port(), u"admin", u"admin", 4, u"", u"", u"", u"", 0, 0,
                  DEV_TYPE_IPC, kCamGuid, u"REGION-1");
    ASSERT_TRUE(CDeviceManager::GetInstance()->Add(new CDevice(info)));
    page.resize(900, 480);
    screen = new CPlayScreen(0, &page);
    screen->setGeometry(0, 0, 640, 480);
    page.show();
    CPreviewManager::GetInstance()->SetPlayScreen(screen);
    auto item = std::make_shared<CPreviewItem>(0, screen->GetWnd(0)->GetSafeHwnd(), nullptr, 1, 0, kCamGuid);
    ASSERT_TRUE(item->Start());
    ASSERT_TRUE(CPreviewManager::GetInstance()->Add(item));
    screen->SetActiveIndex(0, 0);
  }

  void TearDown() override {
    if (cam) cam->Resume();
    harness::SettleDeviceWork();
    harness::ResetServices();
    cam.reset();
    ui.reset();
    unsetenv("TARNWICK_HOME");
  }

  std::vector<journey::Logged> Messages(uint32_t code) const { return journey::Requests(*cam, code); }
};

TEST_F(PtzFrozenCamera, PressReleaseAndADragNeverStopTheWindowAndReachTheCameraInOrder) {
  constexpr uint32_t kSetPicture = 0x0405;
  CDlgPTZ ptz(&host);
  ptz.setParent(&page);
  ptz.setGeometry(640, 0, 200, 240);
  ptz.show();
  CDlgVideoParam video;
  ASSERT_TRUE(video.Create(&page));
  video.move(640, 240);
  video.show();
  video.BindPreview(kCamGuid, 1);
  ASSERT_TRUE(harness::SettleDeviceWork());
  auto* brightness = video.findChild<QSlider*>(QString::number(CVideoParamController::kFirstSliderId));
  ASSERT_TRUE(brightness && brightness->isEnabled());
  CDlgPresetPoint presets(&host);
  presets.setParent(&page);
  presets.setGeometry(640, 240, 200, 240);
  presets.show();
  ASSERT_EQ(presets.WindowProc(WM_PANEL_BIND, 1, 0), 1);
  ASSERT_TRUE(harness::SettleDeviceWork());
  const size_t ptzBefore = Messages(kCamPtzCommand).size();
  const size_t picturesBefore = Messages(kSetPicture).size();

  using Clock = std::chrono::steady_clock;
  auto pump = [](int realMs) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(realMs);
    while (Clock::now() < end) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  };

  ASSERT_TRUE(cam->Freeze());
  testsupport::UiTicker ticker;
  harness::MousePress(ptz.Button(1044));  // up
  pump(50);
  harness::MouseRelease(ptz.Button(1044));
  CListCtrlEx* rows = presets.List();
  presets.ClickAt(rows->visualItemRect(rows->topLevelItem(2)).center(), false);
  presets.OnCommand(CDlgPresetPoint::kSetId);
  EXPECT_TRUE(presets.findChild<QWidget*>("1067")->isEnabled()) << "greyed while the set is on its way";
  presets.OnCommand(CDlgPresetPoint::kClearId);
  brightness->setSliderDown(true);
  for (int v = 1; v <= 8; ++v) {
    brightness->setSliderPosition(v);
    pump(40);
  }
  brightness->setSliderPosition(7);
  brightness->setSliderDown(false);
  pump(1000);
  EXPECT_LT(ticker.LongestMs(), 1000)
      << "the UI thread waited for the stopped camera";
  EXPECT_GT(devwork::Pending(), 0) << "the commands did not wait for the camera";

  // Running again within the camera's reply time: every command arrives, none ran out of time.
  cam->Resume();
  ASSERT_TRUE(harness::SettleDeviceWork());
  ASSERT_TRUE(cam->WaitForLog([&](const std::vector<std::string>&) {
    return Messages(kCamPtzCommand).size() >= ptzBefore + 4 && Messages(kSetPicture).size() > picturesBefore;
  }));
  const auto steered = Messages(kCamPtzCommand);
  ASSERT_EQ(steered.size(), ptzBefore + 4);
  EXPECT_EQ(steered[ptzBefore].Byte(2), 21);
  EXPECT_EQ(steered[ptzBefore].Byte(3), 0) << "the press first";
  EXPECT_EQ(steered[ptzBefore + 1].Byte(2), 21);
  EXPECT_EQ(steered[ptzBefore + 1].Byte(3), 1) << "then the release";
  EXPECT_EQ(steered[ptzBefore + 2].Byte(2), 8) << "the preset set";
  EXPECT_EQ(steered[ptzBefore + 3].Byte(2), 9) << "the preset cleared after it";
  // The drag's writes waited behind the press: each took the newer values, so one went out,
  // with the value the user let go at (7 of 10 on the camera's 0..255).
  const auto pictures = Messages(kSetPicture);
  ASSERT_EQ(pictures.size(), picturesBefore + 1);
  EXPECT_EQ(pictures.back().U32(4), 178u) << "brightness";
}

}  // namespace
