#pragma once
// The modal configuration window: a tree of pages on the left, the page on show in a frame on
// the right, Save and Close. It reads every record when it opens (ConfigEngine) and creates
// each page on its first selection.
#include <QDialog>
#include <functional>
#include <map>
#include <memory>

#include "Engine.h"
#include "PageRegistry.h"
#include "Session.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pellmore {

class CDlgMain : public QDialog {
 public:
  CDlgMain(DeviceSession* session, QWidget* parent = nullptr);
  ~CDlgMain() override;

  ConfigEngine& Engine() { return engine_; }
  ConfigRecords& Records() { return engine_.Records(); }

  // The page of a bit, created and loaded on the first request; none for a bit without a
  // registered page.
  ConfigPage* GetPage(uint32_t bit);
  void ShowPage(uint32_t bit);
  ConfigPage* PageOnShow() const { return onShow_; }
  QTreeWidgetItem* ItemFor(uint32_t bit) const;
  // Selects a tree item (a group moves on to its first item), as a click does.
  void SelectItem(QTreeWidgetItem* item);

  void OnSave();
  void OnSaveChannelPicture(int channel);

 private:
  void OnTreeSelChanged(QTreeWidgetItem* item);

  DeviceSession* session_;
  ConfigEngine engine_;
  PageContext context_;
  QTreeWidget* tree_ = nullptr;
  QLabel* title_ = nullptr;
  QGroupBox* frame_ = nullptr;
  std::map<uint32_t, ConfigPage*> pages_;  // page slots by bit
  ConfigPage* onShow_ = nullptr;
  QTreeWidgetItem* itemOnShow_ = nullptr;
};

// Tests: runs once the window's modal loop has started (the hook closes the window).
void SetWindowHook(std::function<void(CDlgMain&)> hook);
std::function<void(CDlgMain&)> WindowHook();

}  // namespace pellmore
