#pragma once
// Which live preview runs in which play window: the process-wide list of open previews under
// one lock, and preivew.db, where the preview page's close leaves the open previews and the
// play screen's layout mode (written there, never read back).
//
// Items are shared-owned. A look-up hands out a PreviewItemPtr that stays valid after the
// item is unlinked. Look-ups never fetch a preview (a fetch may log in), and previews are
// stopped after their item has been unlinked, on their device's queue, so the lock is only
// ever held for list work and a removal never waits for a device.
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "devices/DeviceWork.h"
#include "shell/Lock.h"
#include "view/LiveScreen.h"
#include "view/PreviewItem.h"

class CPreviewManager {
 public:
  static constexpr const char16_t* kDatabase = u"preivew.db";
  static constexpr int kModeWithoutScreen = 4;

  // The singleton, made on first use with persistence on.
  static CPreviewManager* GetInstance();

  CPreviewManager();  // persistence on
  explicit CPreviewManager(bool persistent);
  ~CPreviewManager();  // RemoveAll
  CPreviewManager(const CPreviewManager&) = delete;
  CPreviewManager& operator=(const CPreviewManager&) = delete;

  // False for null or when an item of the same window, device and channel is listed; the
  // test and the append are one lock hold.
  bool Add(const PreviewItemPtr& item);
  bool Contains(const PreviewItemPtr& item);
  // This very item is listed (not only one of its window, device and channel).
  bool Holds(const PreviewItemPtr& item);
  // An item of the window whose start is still on its way.
  PreviewItemPtr FindConnecting(int window);
  std::vector<PreviewItemPtr> ItemsOfDevice(const std::u16string& guid);
  // An item holds `preview` (and, unless window is -1, shows it in that window).
  bool IsShown(IDevPreview* preview, int window);
  PreviewItemPtr FindByDeviceChannel(const std::u16string& guid, int channel);
  // The first item of the window whose held preview runs.
  PreviewItemPtr FindByWindow(int window);
  PreviewItemPtr FindByPreview(IDevPreview* preview);
  // Any item names the window, running or not.
  bool HasWindow(int window);
  // Unlinks the item, then stops it (sound, recording, preview) on its device's queue. False
  // when it was not listed.
  bool Remove(const PreviewItemPtr& item);
  // Unlinks and stops every item of the device. Called before anything releases the device.
  bool StopDeviceAll(const std::u16string& guid);
  bool RemoveAll();
  // Told on the UI thread when the device side of a removal has ended (the page refreshes the
  // channel's marks then).
  using StoppedListener = std::function<void(const std::u16string& guid, int channel)>;
  void SetStoppedListener(StoppedListener listener) { stopped_ = std::move(listener); }
  int GetCount();

  // The live page's play screen (view/LiveScreen.h), registered once the page has made it.
  void SetPlayScreen(ILiveScreen* screen);
  ILiveScreen* GetPlayScreen() const { return screen_; }
  void SetActiveWindow(int index, int relayout);
  void SetActiveWindowByHwnd(HWND wnd, int relayout);
  ILiveWindow* GetPlayWnd(int index);

  // Rewrites Tb_Preview and Tb_PlayScreen in one transaction with bound values; a failure
  // anywhere leaves the previous rows. False without persistence or on any database error.
  bool SaveSession();
  // Opens preivew.db and closes it again: no item is listed and no play screen changes.
  // A file that cannot be opened or read is said (and moved aside at the next save). False.
  bool LoadSession();

  // Test hook: called after each step of SaveSession ("dropped", "created", "rows").
  using SaveStepHook = void (*)(const char* step);
  static void SetSaveStepHook(SaveStepHook hook);

 private:
  void StopItems(const std::vector<PreviewItemPtr>& items);

  ILiveScreen* screen_ = nullptr;
  bool persistent_;
  std::list<PreviewItemPtr> items_;
  CLock lock_;
  StoppedListener stopped_;
  devwork::Owner owner_;
};

// Deletes the singleton when it exists; harmless when called again.
void FreePreviewManager();
