#pragma once
// The widgets both playback pages share: the device tree, the play screen with one window, the
// calendar, the kind combo, the time bar, the control strip and its layout. The page shows
// what its controller (PlaybackPageController.h) tells it and routes its buttons, sliders
// (drag, click on the track, wheel and keys alike) and time bar to it; the channel chosen in
// the tree is read from the item's data.
#include <QTreeWidget>
#include <map>
#include <string>

#include "controls/PageDialog.h"
#include "view/PlaybackPageController.h"
#include "view/ScheduleCtrl.h"

class CBitmapButtonEx;
class CStateButton;
class CSliderControlEx;
class CPlayScreen;
class CDevice;
class QCalendarWidget;
class QComboBox;
class QLabel;

class CPlaybackPageBase : public CPageDialog, public IPlaybackPageUi {
  Q_OBJECT
 public:
  // Control ids of both pages.
  enum : int {
    IDC_TREE = 1018, IDC_PLACEHOLDER = 1040, IDC_TYPE_LABEL = 1095, IDC_TYPE = 1079,
    IDC_FIND = 1082, IDC_POSITION = 1083, IDC_PLAY = 1025, IDC_STOP = 1062, IDC_SLOW = 1084,
    IDC_FAST = 1085, IDC_FRAME_BACK = 1086, IDC_FRAME_FORWARD = 1087, IDC_SNAPSHOT = 1088,
    IDC_SOUND = 1089, IDC_VOLUME = 1072, IDC_DOWNLOAD = 1090, IDC_PROGRESS = 1091,
    IDC_CALENDAR = 1989
  };
  static constexpr int kStripImage = 6001;
  static constexpr int kStripCentreImage = 6910;
  static constexpr int kRightColumn = 270;
  static constexpr int kTimeBarHeight = 50;

  CPlaybackPageBase(int templateId, bool withDownload);
  ~CPlaybackPageBase() override;

  QTreeWidget* GetDeviceTree() { return &m_deviceTree; }
  CPlayScreen* GetPlayScreen() const { return m_playScreen; }
  CScheduleCtrl* GetTimeBar() const { return m_timeBar; }
  QCalendarWidget* GetCalendar() const { return m_calendar; }
  QComboBox* GetTypeCombo() const { return m_typeCombo; }
  // The "opening" note over the play screen.
  QLabel* GetOpeningNote() const { return m_opening; }
  virtual CPlaybackPageController& Controller() = 0;
  const CPlaybackPageController& Controller() const { return const_cast<CPlaybackPageBase*>(this)->Controller(); }
  bool IsSearching() const { return Controller().IsSearching(); }
  PlayState GetPlayState() const { return Controller().GetPlayState(); }
  // Runs the event loop until the running search has ended (bounded; tests).
  void FinishSearch();

  // What the controller shows.
  plat::WindowHandle PageWindow() override { return GetSafeHwnd(); }
  plat::WindowHandle PlayWindow() override;
  void ClearCells() override;
  void AddCell(const ScheduleCell& cell) override;
  std::u16string CellName(int index) override;
  void SetPlayButton(int state) override;
  void SetSoundButton(int state) override;
  void SetPosition(int value) override;
  void SetVolume(int value) override;
  int VolumeMaximum() override;
  void ShowOpening(bool opening) override;
  void ShowAbilities(const PlayAbilities& abilities) override;

 protected:
  bool OnInitDialog() override;
  bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

  // The channel selected in the tree: a channel item under a device (its number is the item's
  // data). Notice IDS_SELECT_CHANNEL otherwise.
  bool ChooseChannel(CDevice*& device, int& channelIndex);
  void AddTypeRow(int textId, int data);
  virtual void OnDownload() {}
  // The volume slider's range (its steps follow: a wheel notch moves it a few percent).
  void SetVolumeRange(int maximum);

  QTreeWidget m_deviceTree;
  CPlayScreen* m_playScreen = nullptr;
  QLabel* m_opening = nullptr;
  QLabel* m_typeLabel = nullptr;
  QComboBox* m_typeCombo = nullptr;
  CBitmapButtonEx* m_btnFind = nullptr;
  CSliderControlEx* m_position = nullptr;
  int m_plateLeft = 0;  // where the strip's centre image is drawn; its buttons begin 180 pixels in
  CStateButton* m_btnPlay = nullptr;
  CBitmapButtonEx* m_btnStop = nullptr;
  CBitmapButtonEx* m_btnSlow = nullptr;
  CBitmapButtonEx* m_btnFast = nullptr;
  CBitmapButtonEx* m_btnFrameBack = nullptr;
  CBitmapButtonEx* m_btnFrameForward = nullptr;
  CBitmapButtonEx* m_btnSnapshot = nullptr;
  CStateButton* m_btnSound = nullptr;
  CSliderControlEx* m_volume = nullptr;
  CBitmapButtonEx* m_btnDownload = nullptr;
  CBitmapButtonEx* m_btnProgress = nullptr;
  QCalendarWidget* m_calendar = nullptr;
  CScheduleCtrl* m_timeBar = nullptr;

 private:
  void MakeControls();
  void LayOut();
  void OnFind();
  // A control the player may not offer: faded, its tip saying so, or back as it was.
  void Offer(QWidget* control, bool available);

  bool m_withDownload;
  std::map<QWidget*, QString> m_tips;  // the tips of controls shown unavailable
};
