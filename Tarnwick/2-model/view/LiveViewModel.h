#pragma once
// The live page's logic without its widgets: the trees' marks, opening and closing channels,
// the stream type, snapshots, manual recording and its file roll, the alarm list, arming,
// talk, the watch over live windows' pictures, exceptions and reboots. It sees the trees and
// the alarm list as rows (view/LiveTree.h) and the play screen as its windows
// (view/LiveScreen.h); the page's controller (view/DlgPreviewController.h) binds it to the
// page's controls, and tests drive it with fake device families and rows of their own.
//
// Every call that reaches a device runs on that device's queue (devices/DeviceWork.h); the
// page shows what is pending (a window "connecting") and finishes each command, with the
// messages it owes, when the result comes back. So one device that stops answering holds up
// only its own commands, never the page.
#include <ctime>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Hollin.h"
#include "devices/DeviceWork.h"
#include "view/LiveScreen.h"
#include "view/LiveTree.h"
#include "view/PreviewItem.h"

class CDevice;
class CChannel;
struct MsgAlarmInfo;

// The cycling side of the page (the group cycles); absent, nothing cycles.
class IPreviewCycles {
 public:
  virtual ~IPreviewCycles() = default;
  virtual int GetRunCount() = 0;
  virtual bool HasWindow(int window) = 0;
  virtual void StopByWindow(int window) = 0;
  // The window of the cycle carrying the group's name; -1 when none does.
  virtual int WindowOfName(const std::u16string& group) = 0;
  virtual void StopByName(const std::u16string& group) = 0;
  virtual bool AddChannelToCycle(const std::u16string& group, int window, int interval, CDevice* device,
                                 int channel) = 0;
  virtual void ResumeByWindow(int window) = 0;
  virtual void DeleteAll() = 0;
  // A group member was opened alone in the window; it counts while the window holds it.
  virtual void AddGroupWindow(int window) = 0;
};

class CLiveViewModel {
 public:
  using Row = ILiveTree::Row;
  static constexpr int kAlarmRowsMax = 100;
  static constexpr int kRefreshTimer = 10;     // arming refresh, 2 s
  static constexpr int kRecordTimer = 20;      // record roll, 10 s
  static constexpr int kMidnightTimer = 21;    // one-shot roll just after midnight
  static constexpr int kVideoWatchTimer = 22;  // live windows that stopped getting pictures
  static constexpr int kRefreshMs = 2000;
  static constexpr int kRecordMs = 10000;
  static constexpr int kVideoWatchMs = 1000;

  // What the page supplies; every member has a working default (notifier, nothing).
  struct Host {
    std::function<void(const std::u16string&)> notice;
    std::function<void(int bound)> panelBind;         // WM_PANEL_BIND to the preset panel
    std::function<void(const std::u16string& guid, int channel)> bindVideoParam;  // the video parameter panel
    std::function<void(int id, int ms, bool once)> startTimer;
    std::function<void(int id)> killTimer;
    std::function<std::tm()> now;  // local time
  };

  // Any of the three may be null: what would act on it does nothing.
  CLiveViewModel(std::unique_ptr<ILiveTree> deviceTree, std::unique_ptr<ILiveTree> groupTree,
                 std::unique_ptr<IAlarmRows> alarmList);
  ~CLiveViewModel();
  CLiveViewModel(const CLiveViewModel&) = delete;
  CLiveViewModel& operator=(const CLiveViewModel&) = delete;

  Host& GetHost() { return host_; }
  void SetCycles(IPreviewCycles* cycles) { cycles_ = cycles; }
  // The screen this page shows; without one, the preview list's.
  void SetPlayScreen(ILiveScreen* screen) { screen_ = screen; }
  void* PageTag() const { return pageTag_; }
  void SetPageTag(void* tag) { pageTag_ = tag; }

  // Tree mode: 0 device tree, 1 group tree.
  int GetTreeMode() const { return treeMode_; }
  bool ShowDeviceTree();  // false (IDS_STOP_CYCLES_FIRST) while something cycles
  bool ShowGroupTree();   // false (IDS_CLOSE_PREVIEWS_FIRST) while single previews are open and nothing cycles

  // Channels opened in single windows while something cycles are refused: the count of
  // cycles plus group members open in windows, as the preview list holds them now.
  int GetRunCount();

  // Opening and closing.
  void OpenSelectedChannel();
  void OpenGroupSelection();  // double click in the group tree
  void OpenGroupMember(Row member);
  // Lists the item of the channel in the window (connecting) and starts it on the device's
  // queue; false when the window does not exist.
  bool OpenChannelInWindow(const std::u16string& guid, int window, int channel, bool groupMember = false);
  void StopWindowPreview(const PreviewItemPtr& item, Row node);
  int StopPreviewInWindow(int window);
  void StopAllVideos();
  // The preview of the device tree's selected channel, named: its row, its channel number
  // and its device's GUID, by which the device's queue finds or makes the preview; false
  // (with the notice the tree owes) when the selection is no channel of a device.
  bool GetSelectedChannelPreview(Row* node, int* channel, std::u16string* guid);
  CDevice* GetSelectedDevice();
  CChannel* GetActiveChannel();
  void SetStreamType(int type);
  void OnDeviceTreeClick(Row row);
  void OnPlayWndEvent(CDevice* device, int channel, int event);

  // Snapshot and recording of the active window.
  void Snapshot();
  void ToggleRecord();
  void OnTimer(int id);

  // Tree marks.
  Row FindDeviceRow(CDevice* device);
  Row FindChannelRow(CDevice* device, int channel);
  void SetDeviceIcon(CDevice* device, Row node);
  void SetChannelIcon(CChannel* channel, Row node);
  void RefreshChannelIcons(CDevice* device, Row deviceNode);
  void RefreshTreeIcons(Row node);
  void RefreshChannelNode(CDevice* device, int channel);
  // The channel number of a channel row: the number its builder gave it, else the last two
  // digits of its text; -1 when neither gives one.
  static int ChannelOf(int number, const std::u16string& text);

  // Alarms and device messages; the results are the page's message results. The alarm's
  // block stays its sender's (the page gives it back to the pool).
  intptr_t OnDeviceAlarm(const MsgAlarmInfo& block);
  void AddAlarmRow(const std::u16string* text);
  void ClearAlarms();
  intptr_t OnDeviceException(int loginId);
  intptr_t OnDeviceReboot(CDevice* device);
  intptr_t OnDeviceArming(CDevice* device, int state);
  // A cycle stopped or started a channel of the device (`value` as CycleSwitchValue gives
  // it): an alarm mark marks the channel, and its node's image follows.
  intptr_t OnCycleSwitch(CDevice* device, intptr_t value);
  intptr_t OnCycleNoPreview(CDevice* device);
  intptr_t OnPlayWndSelected(int window);
  intptr_t OnRefreshTree();
  void OnArm();
  void OnVoiceTalk();
  const std::u16string& TalkDeviceName() const { return talkName_; }

  // A notice of text `id` (and `tail`) through the host, else through the UI service.
  void Notice(uint32_t id, const std::u16string& tail = {});
  void Say(const std::u16string& text);

  // The page's end: timers off, the previews saved while they run, then every window stopped.
  void Shutdown();

 private:
  enum class OpenResult { kOk, kNoPreview, kStartFailed };
  void OnChannelOpened(const PreviewItemPtr& item, OpenResult result, bool groupMember);
  void OnPreviewStopped(const std::u16string& guid, int channel);
  // The device refused the channel's stream: its window's preview closes and says why.
  void OnPreviewRefused(CDevice* device, int channel);
  // The preview list tells this page when the device side of a removal has ended.
  void HookStops();
  void StopConnectingIn(int window);
  // Every window of the device goes dark, or says the device was lost, and its items are
  // stopped (exception, reboot).
  void StopDeviceWindows(const std::u16string& guid, bool lost = false);
  // The user is told in words (notice and alarm list) which device was lost and what went.
  void TellDeviceLost(const std::u16string& name, int windows, bool recorded, bool armed);
  void WatchVideo();
  ILiveWindow* WndOf(int window) const;
  void PanelBind(int bound);
  void BindVideoParam(const std::u16string& guid, int channel);
  std::tm Now() const;
  ILiveTree* ShownTree() const { return treeMode_ == 1 ? groupTree_.get() : deviceTree_.get(); }
  int ChannelOfRow(const ILiveTree& tree, Row row) const;
  // The selected row of the device tree; 0 without one.
  Row SelectedDeviceRow() const;
  CDevice* LiveDevice(CDevice* device) const;
  CDevice* DeviceOfItem(const CPreviewItem& item) const;
  int ActiveIndex() const;
  void RollRecording(const PreviewItemPtr& item);
  void StartRecording(const PreviewItemPtr& item, const std::u16string& file,
                      std::function<void(bool ok)> then);
  void ScheduleMidnightRoll(const std::tm& now);

  std::unique_ptr<ILiveTree> deviceTree_;
  std::unique_ptr<ILiveTree> groupTree_;
  std::unique_ptr<IAlarmRows> alarmList_;
  ILiveScreen* screen_ = nullptr;
  IPreviewCycles* cycles_ = nullptr;
  void* pageTag_ = nullptr;
  Host host_;
  int treeMode_ = 0;
  bool recordTimer_ = false;
  bool refreshTimer_ = false;
  // Without a cycle side: windows holding a group member opened on their own, which count
  // as cycling while listed.
  std::set<int> memberWindows_;
  // The midnight roll: the current file of each recording window when it was scheduled.
  bool midnightPending_ = false;
  std::vector<std::pair<int, std::u16string>> midnightFiles_;
  std::u16string talkName_;
  bool talkPending_ = false;
  bool videoWatch_ = false;
  std::set<int> rolling_;  // windows whose record roll is on its way
  devwork::Owner owner_;
};
