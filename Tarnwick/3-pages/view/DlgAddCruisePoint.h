#pragma once
// The editor of one stop of a cruise path: preset, dwell time (0 to 30 s) and speed (0 to 6).
// OK sends the stop to the device (refused while a value is out of range; with no preset to
// choose it sends preset 0) and the dialog ends when the device has answered; GetResult then tells what was
// stored. The preset choice is read on the device's queue: until it arrives the choice and
// OK are greyed; while the stop is being stored OK is, and Cancel leaves the row as it was.
#include "devices/FramedDialog.h"
#include "view/PtzPanelController.h"

class QComboBox;
class QPushButton;
class CEditEx;

class CDlgAddCruisePoint : public CFramedDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 187;
  static constexpr int kComboId = 1459, kStopId = 1452, kSpeedId = 1457, kDwellId = 1456;
  static constexpr int kDefaultDwell = 2, kDefaultSpeed = 0;

  explicit CDlgAddCruisePoint(QWidget* parent = nullptr);

  // `add` 1 titles it "add", 0 "modify"; it opens with the defaults either way (the first
  // preset, dwell kDefaultDwell, speed kDefaultSpeed).
  void Init(const CCruiseRoute* route, int stopNumber, int add);
  // 1 with the stored values when OK stored the stop, else 0 (outputs untouched).
  int GetResult(int* preset, int* speed, int* dwell) const;

  // Reads the controls and sends the stop; false (dialog kept open, focus on the offending
  // control) when a value is missing or out of range, and while Waiting.
  bool OnOK();
  // The preset choice is being read or the stop stored.
  bool Waiting() const { return waiting_; }

 protected:
  bool OnInitDialog() override;

 private:
  void ShowPresets(const PresetRead& read);
  void SetWaiting(bool waiting);

  const CCruiseRoute* route_ = nullptr;
  int add_ = 1;
  int success_ = 0;
  StopEntry entry_;
  QComboBox* combo_ = nullptr;
  CEditEx* stop_ = nullptr;
  CEditEx* speed_ = nullptr;
  CEditEx* dwell_ = nullptr;
  QPushButton* ok_ = nullptr;
  bool waiting_ = false;
  devwork::Owner owner_;
};
