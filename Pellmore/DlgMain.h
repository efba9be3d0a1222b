#pragma once
// The modal configuration window: a tree of pages on the left, the page on show in a frame on
// the right, Save and Close. It opens at once and reads every record on the session's queue
// (ConfigEngine); until they have arrived the frame says so and no page exists. Each page is
// created on its first selection after that. Save writes on the queue as well: the window
// says it is saving and shows the result when it arrives; closing it never waits.
#include <QDialog>
#include <atomic>
#include <functional>
#include <map>
#include <memory>

#include "Engine.h"
#include "PageRegistry.h"
#include "Session.h"
#include "UiMailbox.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pellmore {

class SaveGate;

class CDlgMain : public QDialog {
 public:
  // The window's template and its page tree have the same id.
  static constexpr int kTemplateId = 4000;
  enum ControlId { IDC_PAGE_TREE = 4000, IDC_SAVE = 4001, IDC_PAGE_TITLE = 4002, IDC_FRAME = 4003, IDC_CLOSE = 2 };

  CDlgMain(DeviceSession* session, QWidget* parent = nullptr);
  ~CDlgMain() override;

  ConfigEngine& Engine() { return engine_; }
  ConfigRecords& Records() { return engine_.Records(); }
  // The records have arrived (pages can be shown).
  bool Loaded() const { return loaded_; }
  // A Save is writing; its summary has not been shown yet.
  bool Saving() const { return saving_; }

  // The page of a bit, created and loaded on the first request; none for a bit without a
  // registered page, and none before the records have arrived.
  ConfigPage* GetPage(uint32_t bit);
  void ShowPage(uint32_t bit);
  ConfigPage* PageOnShow() const { return onShow_; }
  QTreeWidgetItem* ItemFor(uint32_t bit) const;
  // Selects a tree item (a group moves on to its first item), as a click does.
  void SelectItem(QTreeWidgetItem* item);

  void OnSave();
  // WM_SAVE_CHANNEL_PICTURE: the channel's picture record goes to the device at once.
  intptr_t OnSaveChannelPicture(uintptr_t channel, intptr_t);
  // The window's handle for the messages its pages send it.
  plat::WindowHandle Handle() const { return handle_; }

 private:
  intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void OnTreeSelChanged(QTreeWidgetItem* item);
  void OnLoaded(std::unique_ptr<ConfigRecords> records);
  void OnSaved(SavePlan& plan);
  // The pages that exist, in the order of `order` (collect or destroy).
  std::vector<std::pair<const PageEntry*, ConfigPage*>> PagesBy(int PageEntry::*order);

  DeviceSession* session_;
  plat::WindowHandle handle_ = 0;
  ConfigEngine engine_;
  PageContext context_;
  std::shared_ptr<UiMailbox> mailbox_;
  // Set when the window goes: a read still running skips what is left.
  std::shared_ptr<std::atomic<bool>> closed_;
  std::shared_ptr<SaveGate> gate_;  // of the Save in progress
  bool loaded_ = false;
  bool saving_ = false;
  uint32_t wanted_ = 0;  // the page selected while the records were still coming
  QTreeWidget* tree_ = nullptr;
  QLabel* title_ = nullptr;
  QGroupBox* frame_ = nullptr;
  QWidget* loading_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* save_ = nullptr;
  std::map<uint32_t, ConfigPage*> pages_;  // page slots by bit
  ConfigPage* onShow_ = nullptr;
  QTreeWidgetItem* itemOnShow_ = nullptr;
};

// Tests: runs once the window's modal loop has started (the hook closes the window).
void SetWindowHook(std::function<void(CDlgMain&)> hook);
std::function<void(CDlgMain&)> WindowHook();

}  // namespace pellmore
