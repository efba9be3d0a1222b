#pragma once
// The modal editor of one cruise path: its first 16 stops (preset, dwell time, speed), with
// modify and clear. It keeps the channel by name, not by pointer, so a device released while
// it is open leaves it nothing to send to rather than a dangling object. It opens at once:
// the stops are read on the device's queue, and while that read or a clear is on its way the
// list and its buttons are greyed.
#include "controls/QxDialog.h"
#include "view/PtzPanelController.h"

class CListCtrlEx;
class QPushButton;

class CDlgCruisePathSetting : public CQxDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 186;
  static constexpr int kListId = 5514;
  static constexpr int kCloseId = 1, kModifyId = 1450, kClearId = 1455;

  CDlgCruisePathSetting(const PanelTarget& target, int route, QWidget* parent = nullptr);

  CListCtrlEx* List() const { return list_; }
  int SelectedRow() const { return selected_; }
  void SelectRow(int row);
  void OnModify();
  void OnClear();
  bool Waiting() const { return waiting_; }

 protected:
  bool OnInitDialog() override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void ShowStop(int row, const CruiseStop& stop, bool zeroShown);
  void SetWaiting(bool waiting);

  CCruiseRoute route_;
  CListCtrlEx* list_ = nullptr;
  int selected_ = 0;
  bool waiting_ = false;
  devwork::Owner owner_;
};
