#pragma once
// What the remote and the local playback pages share: the device tree, the play screen with
// one window, the calendar, the kind combo, the time bar, the control strip and its layout,
// the choice of a channel in the tree, and the search worker. A worker only produces found
// files; the UI thread takes them from a queue (woken by a posted message), fills the time
// bar and shows the notices. A search is cancelled between steps and always joined; a step
// that waits for a device is cut short by the worker's abort action, run on cancel. Before a
// device is released (deleted, edited, logged out) every page ends the search that uses its
// login and stops what it plays or downloads from it.
#include <QTreeWidget>
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Hollin.h"
#include "controls/PageDialog.h"
#include "shell/WaitEvent.h"
#include "view/ScheduleCtrl.h"

class CBitmapButtonEx;
class CStateButton;
class CSliderControlEx;
class CPlayScreen;
class CDevice;
class QCalendarWidget;
class QComboBox;
class QLabel;

// The window messages of the pages' own workers.
constexpr uint32_t WM_PLAYBACK_FOUND = plat::WM_USER + 301;       // found files are queued
constexpr uint32_t WM_PLAYBACK_SEARCH_END = plat::WM_USER + 302;  // wParam: notice id or 0

// One file a search found: the name a cell carries and its span.
struct FoundFile {
  std::u16string name;
  TIME start{};
  TIME end{};
};

// The device and channel a search ran for; playing and downloading use these, never what the
// tree shows later. The device is found again by its GUID when used.
struct SearchOrigin {
  std::u16string deviceGuid;
  int channelIndex = -1;  // 0-based
  int deviceType = 0;
  bool Valid() const { return !deviceGuid.empty() && channelIndex >= 0; }
};

// The cell of a found file; an end on a later day than the start ends the cell at 24:00:00.
ScheduleCell CellOf(const FoundFile& file);

class CPlaybackPageBase : public CPageDialog {
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
  bool IsSearching() const { return m_searching; }
  int PlayState() const { return m_state; }
  // True while the search thread exists (until its end is handled or it is stopped).
  bool SearchThreadRunning() const { return m_worker.joinable(); }
  // Waits (bounded) for a running search to end and handles what it queued (tests, close).
  void FinishSearch();

 protected:
  bool OnInitDialog() override;
  bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

  // The channel selected in the tree: a channel item under a device. Notice 8252 otherwise.
  bool ChooseChannel(CDevice*& device, int& channelIndex);
  // Starts `work` on the worker when no search runs (else notice 8533). The work pushes
  // found files with Found() and returns the notice id to show at its end (0: none).
  // `deviceGuid`: the device whose login the work uses (empty: none). True when it started.
  bool StartSearch(const std::u16string& deviceGuid, std::function<int()> work);
  // From the worker: queue a file for the time bar. False once the search is cancelled.
  bool Found(FoundFile file);
  bool Cancelled() const { return m_cancel; }
  // From the worker: what a cancel runs on the page's thread to end a step that waits (close
  // the finder, stop the walk), until set back to null before what it touches goes. False
  // when the search is already cancelled (the action is not kept).
  bool SetAbort(std::function<void()> abort);
  // Before the device is released: what the page plays or downloads from it stops.
  virtual void StopDeviceWork(const std::u16string& /*deviceGuid*/) {}
  // On the UI thread, for each file the time bar receives.
  virtual void OnFileFound(const FoundFile&) {}
  virtual void OnSearchEnded() {}
  // The play window of the page's one slot (0 when none).
  plat::WindowHandle PlayWindow() const;
  void StopWorker();

  // Button handlers. Stop, snapshot and sound are the same on both pages: they drive the
  // page's play slot through the Slot* functions below.
  virtual void OnFind() = 0;
  virtual void OnPlay() = 0;
  virtual void OnStop();
  virtual void OnSlow() = 0;
  virtual void OnFast() = 0;
  virtual void OnFrameBack() = 0;
  virtual void OnFrameForward() = 0;
  virtual void OnSnapshot();
  virtual void OnSound();
  virtual void OnDownload() {}
  virtual void OnCellClicked(int index) = 0;
  virtual void OnPositionMoved(int value) = 0;
  virtual void OnVolumeMoved(int value) = 0;

  void AddTypeRow(int textId, int data);
  int CurrentTypeData() const;

  // The page's one play slot: whether a player exists, and what the shared handlers ask of it.
  virtual bool HasSlot() const = 0;
  // Lets the player go; ends with ClearSlot().
  virtual void StopSlot() = 0;
  virtual void SlotSound(bool on) = 0;
  virtual void SlotVolume(int value) = 0;
  virtual bool SlotCapture(const char* nativePath) = 0;
  // After the player went: the play window is told, the state, origin and sound are reset.
  void ClearSlot();
  // The play button shows pause (1) while playing, play (0) otherwise.
  void SetPlayButton(int state);
  // 0 playing, 1 paused, 2 at another speed or frame by frame; the button follows.
  void SetPlayState(int state);
  // The device a search ran for, found again by its GUID (null when gone or none).
  static CDevice* OriginDevice(const SearchOrigin& origin);
  // Shows string `id` (with `tail`) in the notifier.
  static void Notice(uint32_t id, const std::u16string& tail = {});

  QTreeWidget m_deviceTree;
  CPlayScreen* m_playScreen = nullptr;
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

  int m_state = -1;  // -1: nothing plays
  int m_sound = 0;
  SearchOrigin m_playingOrigin;

 private:
  void MakeControls();
  void LayOut();
  void DrainFound();
  friend void PurgePlaybackPages(const std::u16string& deviceGuid);
  void OnDeviceReleased(const std::u16string& deviceGuid);

  bool m_withDownload;
  std::u16string m_searchDevice;  // of the running search
  std::mutex m_abortMutex;
  std::function<void()> m_abort;
  CWaitEvent m_gate{false, true};
  std::thread m_worker;
  std::atomic<bool> m_cancel{false};
  std::atomic<bool> m_searching{false};
  std::mutex m_foundMutex;
  std::deque<FoundFile> m_found;
};
