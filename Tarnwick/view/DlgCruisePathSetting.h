#pragma once
// The modal editor of one cruise path: its first 16 stops (preset, dwell time, speed), with
// modify and clear. It keeps the channel by name, not by pointer, so a device released while
// it is open leaves it nothing to send to rather than a dangling object.
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

 protected:
  bool OnInitDialog() override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void ShowStop(int row, const CruiseStop& stop, bool zeroShown);

  CCruiseRoute route_;
  CListCtrlEx* list_ = nullptr;
  int selected_ = 0;
};
