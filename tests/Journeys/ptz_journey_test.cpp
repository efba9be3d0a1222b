// PTZ from the preview page's side panels, as a user steers: the camera's channel live in play
// window 0 and the recorder's channel 1 in window 1; the direction, lens, light and wiper
// buttons pressed and released at the speed the slider shows, a preset set and gone to, a
// cruise path stored, started and stopped. Every check reads what the device received from
// the emulator's own log, or what the recorder keeps (presets set, cruise stops).
#include <QComboBox>

#include "JourneyDevices.h"
#include "JourneyFixture.h"
#include "controls/EditEx.h"
#include "controls/ListCtrlEx.h"
#include "controls/SliderControlEx.h"
#include "shell/TarnwickDlg.h"
#include "view/DlgAddCruisePoint.h"
#include "view/DlgCruise.h"
#include "view/DlgCruisePathSetting.h"
#include "view/DlgPTZ.h"
#include "view/DlgPresetPoint.h"
#include "view/DlgPreview.h"
#include "view/PlayScreen.h"
#include "view/PlayWnd.h"

namespace {

using journey::Logged;

constexpr uint32_t kCameraPtz = 0x0905;  // the camera's PTZ command message
// The recorder's PTZ requests: steering, presets, cruise paths.
constexpr uint32_t kRecorderSteer = 18, kRecorderPreset = 19, kRecorderCruise = 20;
constexpr unsigned kPresetSet = 8517, kPresetNotSet = 8518, kPresetUnknown = 8519;

class PtzJourney : public JourneyTest {
 protected:
  CDlgPreview* Preview() { return Main()->GetPreviewDlg(); }

  // Channel 1 of `device` into play window `window`: the window clicked, the channel
  // double-clicked in the device tree; true once the window shows the device's pictures.
  bool Open(int window, const QString& device) {
    CPlayScreen* screen = Preview()->GetPlayScreen();
    Click(screen->GetWnd(window));
    if (!WaitUntil([&] { return screen->GetActiveIndex() == window; })) return false;
    QTreeWidget* tree = Preview()->GetDeviceTree();
    QTreeWidgetItem* item = FindItem(tree, device);
    if (!item || item->childCount() < 1) return false;
    DoubleClickItem(tree, item->child(0));
    const plat::WindowHandle wnd = screen->GetWnd(window)->GetSafeHwnd();
    return WaitUntil([&] {
      uint64_t pictures = 0;
      return journey::FrameShown(wnd, &pictures) >= 0 && pictures >= 3;
    });
  }

  // A click on a row of a list, where a user clicks it.
  void ClickRow(QTreeWidget* list, int row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    ASSERT_NE(item, nullptr) << "row " << row;
    list->scrollToItem(item);
    ClickAt(list->viewport(), list->visualItemRect(item).center());
  }

  std::vector<Logged> Camera() { return journey::Requests(camera(), kCameraPtz); }
  std::vector<Logged> Recorder(uint32_t command) { return journey::Requests(recorder(), command); }
  bool CameraGot(size_t n) {
    return camera().WaitForLog([&](const std::vector<std::string>&) { return Camera().size() >= n; });
  }
  bool RecorderGot(uint32_t command, size_t n) {
    return recorder().WaitForLog([&](const std::vector<std::string>&) { return Recorder(command).size() >= n; });
  }
};

TEST_F(PtzJourney, PanelPresetsAndCruiseReachTheCameraAndTheRecorder) {
  ASSERT_TRUE(StartEmulators());
  SeedDevices();
  RunProgram([&] {
    ASSERT_TRUE(Open(0, QString::fromStdU16String(kCameraName))) << Said();

    // The PTZ panel: each button starts its command when pressed and stops it when released,
    // at the speed the slider shows (the camera's command byte at 2, stop flag at 3, preset or
    // route at 4, speed at 6).
    ClickId(Preview(), CDlgPreview::ID_PANEL_PTZ);
    auto* ptz = Find<CDlgPTZ>(Preview(), CDlgPTZ::kTemplateId);
    ASSERT_NE(ptz, nullptr);
    auto* speed = Find<CSliderControlEx>(ptz, CDlgPTZ::kSliderId);
    ASSERT_NE(speed, nullptr);
    const struct {
      int id, command;
    } buttons[] = {{1044, 21}, {1054, 22}, {1048, 23}, {1050, 24}, {1043, 25}, {1055, 28},
                   {1049, 29}, {1052, 11}, {1051, 12}, {1046, 14}, {1047, 13}, {1056, 15},
                   {1057, 16}, {1060, 2},  {1061, 3}};
    for (const auto& b : buttons) ClickId(ptz, b.id);
    ASSERT_TRUE(CameraGot(2 * std::size(buttons))) << Camera().size();
    std::vector<Logged> sent = Camera();
    for (size_t i = 0; i < std::size(buttons); ++i) {
      const Logged& start = sent[2 * i];
      const Logged& stop = sent[2 * i + 1];
      EXPECT_EQ(start.Byte(2), buttons[i].command) << "button " << buttons[i].id;
      EXPECT_EQ(start.Byte(3), 0) << "button " << buttons[i].id;
      EXPECT_EQ(start.Byte(6), speed->value()) << "button " << buttons[i].id;
      EXPECT_EQ(stop.Byte(2), buttons[i].command) << "button " << buttons[i].id;
      EXPECT_EQ(stop.Byte(3), 1) << "button " << buttons[i].id;
    }
    Shot(Main(), "journey_ptz_panel");

    // Presets on the camera: it cannot say which are set; preset 5 set, then gone to.
    ClickId(Preview(), CDlgPreview::ID_PANEL_PRESETS);
    auto* presets = Find<CDlgPresetPoint>(Preview(), CDlgPresetPoint::kTemplateId);
    ASSERT_NE(presets, nullptr);
    CListCtrlEx* presetList = presets->List();
    // The device's answers come back a moment later: what the list shows is waited for, as a
    // user waits for the greyed buttons to come back.
    auto shows = [&](int row, unsigned text) {
      return WaitUntil([&] { return presetList->GetItemText(row, 1) == Text(text) && presetList->isEnabled(); });
    };
    EXPECT_TRUE(shows(4, kPresetUnknown));
    ClickRow(presetList, 4);
    ClickId(presets, CDlgPresetPoint::kSetId);
    EXPECT_TRUE(shows(4, kPresetSet));
    ClickId(presets, CDlgPresetPoint::kGoToId);
    const size_t steered = 2 * std::size(buttons);
    ASSERT_TRUE(CameraGot(steered + 2));
    sent = Camera();
    EXPECT_EQ(sent[steered].Byte(2), 8) << "set preset";
    EXPECT_EQ(sent[steered].Byte(4), 5);
    EXPECT_EQ(sent[steered + 1].Byte(2), 39) << "go to preset";
    EXPECT_EQ(sent[steered + 1].Byte(4), 5);

    // The recorder's channel 1 in window 1: the panels follow the window the user picked.
    ASSERT_TRUE(Open(1, QString::fromStdU16String(kRecorderName))) << Said();
    EXPECT_TRUE(shows(2, kPresetNotSet)) << "read from the recorder";
    ClickRow(presetList, 2);
    ClickId(presets, CDlgPresetPoint::kSetId);
    EXPECT_TRUE(shows(2, kPresetSet));
    ClickId(presets, CDlgPresetPoint::kGoToId);
    ASSERT_TRUE(RecorderGot(kRecorderPreset, 2));
    // Channel index at 0, action at 8 (15 set, 16 go to), preset at 12.
    const std::vector<Logged> presetRequests = Recorder(kRecorderPreset);
    EXPECT_EQ(presetRequests[0].U32(0), 0u);
    EXPECT_EQ(presetRequests[0].U32(8), 15u);
    EXPECT_EQ(presetRequests[0].U32(12), 3u);
    EXPECT_EQ(presetRequests[1].U32(8), 16u);
    EXPECT_EQ(presetRequests[1].U32(12), 3u);
    Shot(Main(), "journey_ptz_presets");

    ClickId(Preview(), CDlgPreview::ID_PANEL_PTZ);
    ClickId(ptz, 1044);  // up
    ClickId(ptz, 1052);  // zoom in
    ASSERT_TRUE(RecorderGot(kRecorderSteer, 4));
    const std::vector<Logged> steer = Recorder(kRecorderSteer);
    EXPECT_EQ(steer[0].U32(8), 3u) << "up";
    EXPECT_EQ(steer[0].U32(4), static_cast<uint32_t>(speed->value()));
    EXPECT_EQ(steer[1].U32(8), 0u) << "stop";
    EXPECT_EQ(steer[2].U32(8), 11u) << "zoom in";
    EXPECT_EQ(steer[3].U32(8), 0u) << "stop";
    EXPECT_EQ(Camera().size(), steered + 2) << "the camera is no longer the one steered";

    // Slower: a click on the speed slider left of its thumb; the next move carries that speed.
    const int faster = speed->value();
    ASSERT_GT(faster, 0);
    const QRect thumb = speed->ThumbRect();
    ClickAt(speed, QPoint(std::max(0, thumb.left() - 4), thumb.center().y()));
    ASSERT_LT(speed->value(), faster);
    ClickId(ptz, 1048);  // left
    ASSERT_TRUE(RecorderGot(kRecorderSteer, 6));
    const std::vector<Logged> slower = Recorder(kRecorderSteer);
    EXPECT_EQ(slower[4].U32(8), 1u) << "left";
    EXPECT_EQ(slower[4].U32(4), static_cast<uint32_t>(speed->value()));

    // A cruise path on the recorder: its first stop goes to preset 3 for 5 seconds at speed 4;
    // the path is started, then every path stopped.
    ClickId(Preview(), CDlgPreview::ID_PANEL_CRUISE);
    auto* cruise = Find<CDlgCruise>(Preview(), CDlgCruise::kTemplateId);
    ASSERT_NE(cruise, nullptr);
    ClickRow(cruise->List(), 0);
    bool edited = false;
    OnModal<CDlgCruisePathSetting>([&](CDlgCruisePathSetting* path) {
      CListCtrlEx* stops = path->List();
      EXPECT_EQ(stops->GetItemCount(), 16);
      ASSERT_TRUE(WaitUntil([&] { return !path->Waiting(); })) << "the path was never read";
      ClickRow(stops, 0);
      OnModal<CDlgAddCruisePoint>([&](CDlgAddCruisePoint* stop) {
        ASSERT_TRUE(WaitUntil([&] { return !stop->Waiting(); })) << "the presets were never read";
        auto* preset = Find<QComboBox>(stop, CDlgAddCruisePoint::kComboId);
        ASSERT_EQ(preset->count(), 64);
        Choose(preset, preset->itemText(2));
        EXPECT_TRUE(preset->currentText().endsWith(Text(kPresetSet))) << preset->currentText().toStdString();
        Type(Find<CEditEx>(stop, CDlgAddCruisePoint::kDwellId), "5");
        Type(Find<CEditEx>(stop, CDlgAddCruisePoint::kSpeedId), "4");
        Shot(stop, "journey_cruise_stop");
        ClickId(stop, 1);  // OK: the dialog ends once the recorder took the stop
        EXPECT_TRUE(WaitUntil([&] { return !stop->isVisible(); }));
      });
      ClickId(path, CDlgCruisePathSetting::kModifyId);
      EXPECT_EQ(stops->GetItemText(0, 1), "3");
      EXPECT_EQ(stops->GetItemText(0, 2), "5");
      EXPECT_EQ(stops->GetItemText(0, 3), "4");
      Shot(path, "journey_cruise_path");
      edited = true;
      ClickId(path, CDlgCruisePathSetting::kCloseId);
    });
    ClickId(cruise, CDlgCruise::kSettingsId);
    EXPECT_TRUE(edited);
    // Start and stop are greyed while one is on its way.
    auto whenReady = [&](int id) { return WaitUntil([&] { return Find(cruise, id)->isEnabled(); }); };
    ClickId(cruise, CDlgCruise::kStartId);
    ASSERT_TRUE(whenReady(CDlgCruise::kStopId));
    ClickId(cruise, CDlgCruise::kStopId);
    ASSERT_TRUE(RecorderGot(kRecorderCruise, 11));
    // Route at 16, stop at 20; preset at 12, dwell at 24, speed at 4; action at 8 (30 preset,
    // 31 dwell, 32 speed, 39 stored, 20 run, 21 stop).
    const std::vector<Logged> c = Recorder(kRecorderCruise);
    ASSERT_EQ(c.size(), 11u);
    EXPECT_EQ(c[0].U32(8), 30u);
    EXPECT_EQ(c[0].U32(16), 0u);
    EXPECT_EQ(c[0].U32(20), 0u);
    EXPECT_EQ(c[0].U32(12), 3u);
    EXPECT_EQ(c[1].U32(8), 31u);
    EXPECT_EQ(c[1].U32(24), 5u);
    EXPECT_EQ(c[2].U32(8), 32u);
    EXPECT_EQ(c[2].U32(4), 4u);
    EXPECT_EQ(c[3].U32(8), 39u);
    EXPECT_EQ(c[4].U32(8), 20u) << "run";
    EXPECT_EQ(c[4].U32(16), 0u);
    for (uint32_t route = 0; route < 6; ++route) {
      EXPECT_EQ(c[5 + route].U32(8), 21u) << "stop";
      EXPECT_EQ(c[5 + route].U32(16), route);
    }
    // The recorder keeps the stop: the path opened again reads it back.
    OnModal<CDlgCruisePathSetting>([&](CDlgCruisePathSetting* path) {
      ASSERT_TRUE(WaitUntil([&] { return !path->Waiting(); }));
      EXPECT_EQ(path->List()->GetItemText(0, 1), "3");
      EXPECT_EQ(path->List()->GetItemText(0, 2), "5");
      EXPECT_EQ(path->List()->GetItemText(0, 3), "4");
      EXPECT_EQ(path->List()->GetItemText(1, 1), QString());
      ClickId(path, CDlgCruisePathSetting::kCloseId);
    });
    ClickId(cruise, CDlgCruise::kSettingsId);
    Shot(Main(), "journey_ptz_cruise");

    // Back to the camera's window: its path 2 started and stopped there (command 37, 38).
    Click(Preview()->GetPlayScreen()->GetWnd(0));
    ASSERT_TRUE(WaitUntil([&] { return Preview()->GetPlayScreen()->GetActiveIndex() == 0; }));
    ClickRow(cruise->List(), 1);
    ASSERT_TRUE(whenReady(CDlgCruise::kStartId));
    ClickId(cruise, CDlgCruise::kStartId);
    ASSERT_TRUE(CameraGot(steered + 3));
    sent = Camera();
    EXPECT_EQ(sent[steered + 2].Byte(2), 37);
    EXPECT_EQ(sent[steered + 2].Byte(4), 1) << "route index";
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0) << Said();
}

}  // namespace
