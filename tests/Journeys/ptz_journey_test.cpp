// PTZ from the preview page's side panels, as a user steers: the camera's channel live in play
// window 0 and the recorder's channel 1 in window 1; the direction, lens, light and wiper
// buttons pressed and released (no command carries a speed), a preset set and gone to, a
// cruise path stored, started and stopped. Every check reads what the device received from
// the emulator's own log, or what the recorder keeps (presets set, cruise stops).
#include <QComboBox>
#include <iterator>

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

// The PTZ panel's buttons and the camera's command of each (up, down, left, right, the four
// diagonals, zoom, focus, iris, light and wiper).
constexpr struct {
  int id, command;
} kButtons[] = {{1044, 21}, {1054, 22}, {1048, 23}, {1050, 24}, {1043, 25}, {1055, 28},
                {1049, 29}, {1052, 11}, {1051, 12}, {1046, 14}, {1047, 13}, {1056, 15},
                {1057, 16}, {1060, 2},  {1061, 3}};
constexpr size_t kSteered = 2 * std::size(kButtons);  // the camera's commands of them all

class PtzJourney : public JourneyTest {
 protected:
  // A click on a row of a list, where a user clicks it.
  void ClickRow(QTreeWidget* list, int row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    ASSERT_NE(item, nullptr) << "row " << row;
    list->scrollToItem(item);
    ClickAt(list->viewport(), list->visualItemRect(item).center());
  }

  std::vector<Logged> Camera() { return journey::Requests(camera(), kCameraPtz); }
  std::vector<Logged> Recorder(uint32_t command) { return journey::Requests(recorder(), command); }
  bool CameraGot(size_t n) { return journey::AwaitRequests(camera(), kCameraPtz, n); }
  bool RecorderGot(uint32_t command, size_t n) { return journey::AwaitRequests(recorder(), command, n); }

  // Every button of the PTZ panel clicked: each starts its command on the camera when pressed
  // and stops it when released, with no speed (the camera's command byte at 2, stop flag at
  // 3, preset or route at 4, value at 6).
  void PressEveryButton(CDlgPTZ* ptz) {
    for (const auto& b : kButtons) ClickId(ptz, b.id);
    ASSERT_TRUE(CameraGot(kSteered)) << Camera().size();
    std::vector<Logged> sent = Camera();
    for (size_t i = 0; i < std::size(kButtons); ++i) {
      const Logged& start = sent[2 * i];
      const Logged& stop = sent[2 * i + 1];
      EXPECT_EQ(start.Byte(2), kButtons[i].command) << "button " << kButtons[i].id;
      EXPECT_EQ(start.Byte(3), 0) << "button " << kButtons[i].id;
      EXPECT_EQ(start.Byte(6), 0) << "button " << kButtons[i].id;
      EXPECT_EQ(stop.Byte(2), kButtons[i].command) << "button " << kButtons[i].id;
      EXPECT_EQ(stop.Byte(3), 1) << "button " << kButtons[i].id;
    }
  }

  // The device's answers come back a moment later: what the preset list shows is waited for,
  // as a user waits for the greyed buttons to come back. True once row `row` says `text`.
  bool PresetShows(CDlgPresetPoint* presets, int row, unsigned text) {
    CListCtrlEx* list = presets->List();
    return WaitUntil([&] { return list->GetItemText(row, 1) == Text(text) && list->isEnabled(); });
  }
  // The preset of row `row` set with the panel's button: true once the list says it is set.
  bool SetPreset(CDlgPresetPoint* presets, int row) {
    ClickRow(presets->List(), row);
    ClickId(presets, CDlgPresetPoint::kSetId);
    return PresetShows(presets, row, kPresetSet);
  }

  // The first stop of the cruise path: preset 3 for 5 seconds at speed 4, through the stop's
  // dialog; the path's list shows it.
  void EditFirstStop(CDlgCruisePathSetting* path, bool& edited) {
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
  }

  // What the recorder got of the cruise path: the stop, the path stored, the run, and a stop
  // of every path. Route at 16, stop at 20; preset at 12, dwell at 24, speed at 4; action at 8
  // (30 preset, 31 dwell, 32 speed, 39 stored, 20 run, 21 stop).
  void ExpectCruiseRequests() {
    ASSERT_TRUE(RecorderGot(kRecorderCruise, 11));
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
  }

  // The recorder keeps the stop: the path opened again reads it back.
  void ExpectFirstStopKept(CDlgCruisePathSetting* path) {
    ASSERT_TRUE(WaitUntil([&] { return !path->Waiting(); }));
    EXPECT_EQ(path->List()->GetItemText(0, 1), "3");
    EXPECT_EQ(path->List()->GetItemText(0, 2), "5");
    EXPECT_EQ(path->List()->GetItemText(0, 3), "4");
    EXPECT_EQ(path->List()->GetItemText(1, 1), QString());
    ClickId(path, CDlgCruisePathSetting::kCloseId);
  }
};

TEST_F(PtzJourney, PanelPresetsAndCruiseReachTheCameraAndTheRecorder) {
  ASSERT_TRUE(StartEmulators());
  SeedDevices();
  RunProgram([&] {
    ASSERT_TRUE(PlayChannel(0, kCameraName)) << Said();

    // The PTZ panel: each button steers the camera; the panel shows no speed to choose.
    auto* ptz = ShowPanel<CDlgPTZ>(CDlgPreview::ID_PANEL_PTZ, CDlgPTZ::kTemplateId);
    ASSERT_NE(ptz, nullptr);
    auto* speed = Find<CSliderControlEx>(ptz, CDlgPTZ::kSliderId);
    ASSERT_NE(speed, nullptr);
    EXPECT_FALSE(speed->isVisible());
    ASSERT_NO_FATAL_FAILURE(PressEveryButton(ptz));
    Shot(Main(), "journey_ptz_panel");

    // Presets on the camera: it cannot say which are set; preset 5 set, then gone to.
    auto* presets = ShowPanel<CDlgPresetPoint>(CDlgPreview::ID_PANEL_PRESETS, CDlgPresetPoint::kTemplateId);
    ASSERT_NE(presets, nullptr);
    EXPECT_TRUE(PresetShows(presets, 4, kPresetUnknown));
    EXPECT_TRUE(SetPreset(presets, 4));
    ClickId(presets, CDlgPresetPoint::kGoToId);
    ASSERT_TRUE(CameraGot(kSteered + 2));
    std::vector<Logged> sent = Camera();
    EXPECT_EQ(sent[kSteered].Byte(2), 8) << "set preset";
    EXPECT_EQ(sent[kSteered].Byte(4), 5);
    EXPECT_EQ(sent[kSteered + 1].Byte(2), 39) << "go to preset";
    EXPECT_EQ(sent[kSteered + 1].Byte(4), 5);

    // The recorder's channel 1 in window 1: the panels follow the window the user picked.
    ASSERT_TRUE(PlayChannel(1, kRecorderName)) << Said();
    EXPECT_TRUE(PresetShows(presets, 2, kPresetNotSet)) << "read from the recorder";
    EXPECT_TRUE(SetPreset(presets, 2));
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

    ClickId(LivePage(), CDlgPreview::ID_PANEL_PTZ);
    ClickId(ptz, 1044);  // up
    ClickId(ptz, 1052);  // zoom in
    ASSERT_TRUE(RecorderGot(kRecorderSteer, 4));
    const std::vector<Logged> steer = Recorder(kRecorderSteer);
    EXPECT_EQ(steer[0].U32(8), 3u) << "up";
    EXPECT_EQ(steer[0].U32(4), 0u) << "no speed";
    EXPECT_EQ(steer[1].U32(8), 0u) << "stop";
    EXPECT_EQ(steer[2].U32(8), 11u) << "zoom in";
    EXPECT_EQ(steer[3].U32(8), 0u) << "stop";
    EXPECT_EQ(Camera().size(), kSteered + 2) << "the camera is no longer the one steered";

    // Whatever the hidden slider holds, the next move carries no speed either.
    speed->setValue(speed->maximum());
    ClickId(ptz, 1048);  // left
    ASSERT_TRUE(RecorderGot(kRecorderSteer, 6));
    const std::vector<Logged> left = Recorder(kRecorderSteer);
    EXPECT_EQ(left[4].U32(8), 1u) << "left";
    EXPECT_EQ(left[4].U32(4), 0u) << "no speed";

    // A cruise path on the recorder: its first stop goes to preset 3 for 5 seconds at speed 4;
    // the path is started, then every path stopped (start and stop are greyed while one is on
    // its way).
    auto* cruise = ShowPanel<CDlgCruise>(CDlgPreview::ID_PANEL_CRUISE, CDlgCruise::kTemplateId);
    ASSERT_NE(cruise, nullptr);
    ClickRow(cruise->List(), 0);
    bool edited = false;
    OnModal<CDlgCruisePathSetting>([&](CDlgCruisePathSetting* path) { EditFirstStop(path, edited); });
    ClickId(cruise, CDlgCruise::kSettingsId);
    EXPECT_TRUE(edited);
    auto whenReady = [&](int id) { return WaitUntil([&] { return Find(cruise, id)->isEnabled(); }); };
    ClickId(cruise, CDlgCruise::kStartId);
    ASSERT_TRUE(whenReady(CDlgCruise::kStopId));
    ClickId(cruise, CDlgCruise::kStopId);
    ASSERT_NO_FATAL_FAILURE(ExpectCruiseRequests());
    OnModal<CDlgCruisePathSetting>([&](CDlgCruisePathSetting* path) { ExpectFirstStopKept(path); });
    ClickId(cruise, CDlgCruise::kSettingsId);
    Shot(Main(), "journey_ptz_cruise");

    // Back to the camera's window: its path 2 started and stopped there (command 37, 38).
    Click(LiveWindow(0));
    ASSERT_TRUE(WaitUntil([&] { return LivePage()->GetPlayScreen()->GetActiveIndex() == 0; }));
    ClickRow(cruise->List(), 1);
    ASSERT_TRUE(whenReady(CDlgCruise::kStartId));
    ClickId(cruise, CDlgCruise::kStartId);
    ASSERT_TRUE(CameraGot(kSteered + 3));
    sent = Camera();
    EXPECT_EQ(sent[kSteered + 2].Byte(2), 37);
    EXPECT_EQ(sent[kSteered + 2].Byte(4), 1) << "route index";
  });
  EXPECT_EQ(Ui().unscriptedBoxes, 0) << Said();
}

}  // namespace
