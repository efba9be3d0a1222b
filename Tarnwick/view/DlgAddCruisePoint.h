#pragma once
// The editor of one stop of a cruise path: preset, dwell time (0 to 30 s) and speed (0 to 6).
// OK sends the stop to the device (refused while no preset is chosen or a value is out of
// range); GetResult then tells what was stored.
#include "devices/FramedDialog.h"
#include "view/PtzPanelController.h"

class QComboBox;
class CEditEx;

class CDlgAddCruisePoint : public CFramedDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 187;
  static constexpr int kComboId = 1459, kStopId = 1452, kSpeedId = 1457, kDwellId = 1456;

  explicit CDlgAddCruisePoint(QWidget* parent = nullptr);

  // `current` pre-fills the editor with the stop's present values (null: the defaults).
  void Init(const CCruiseRoute* route, int stopNumber, const CruiseStop* current, int add);
  // 1 with the stored values when OK stored the stop, else 0 (outputs untouched).
  int GetResult(int* preset, int* speed, int* dwell) const;

  // Reads the controls and stores the stop; false (dialog kept open, focus on the offending
  // control) when a value is missing or out of range.
  bool OnOK();

 protected:
  bool OnInitDialog() override;

 private:
  const CCruiseRoute* route_ = nullptr;
  int add_ = 1;
  int success_ = 0;
  CruiseStop current_;
  bool hasCurrent_ = false;
  StopEntry entry_;
  QComboBox* combo_ = nullptr;
  CEditEx* stop_ = nullptr;
  CEditEx* speed_ = nullptr;
  CEditEx* dwell_ = nullptr;
};
