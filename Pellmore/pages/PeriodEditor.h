#pragma once
// The week editors of the configuration pages: a day list, eight rows of start and end times
// (an edit and a spinner per hour and minute, a check box per row), "Copy to:" a day or the
// whole week, OK and Cancel. The arming-time editor and the record-schedule editor share it;
// each keeps its own data and says how a day is shown, collected and copied.
#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "Controls.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QToolButton;

namespace pellmore {

// Start hour, start minute, end hour, end minute. A segment is used when its end is not 00:00.
struct TimeSegment {
  uint8_t startHour = 0, startMinute = 0, endHour = 0, endMinute = 0;
};
using DaySegments = std::array<TimeSegment, 8>;

// The rules one day's segments must keep: hours at most 23 and minutes at most 59; a
// non-zero start never equals another segment's end; a non-zero start lies before its end
// (so a used segment cannot end at 00:00, it ends at 23:59); no start or end lies strictly
// inside another segment; no two used segments are equal. Empty segments pass every rule.
bool ValidateDay(const DaySegments& day);

// A spinner beside an edit: its arrows step the edit's number within [min, max] and write it
// back into the edit (the edit itself may hold anything the user typed).
class SpinButtons : public QWidget {
 public:
  SpinButtons(QWidget* parent, QLineEdit* buddy, int min, int max);
  void Step(int delta);

 private:
  QLineEdit* buddy_;
  int min_, max_;
};

// OK (4168) and Cancel (`cancelId`) at the end of `row`; OK runs `onOK`, Cancel rejects.
void AddOkCancel(QDialog* dialog, QHBoxLayout* row, int cancelId, std::function<void()> onOK);

// The day names in list order: day 0 is "Sun".
QString DayName(int day);

class CPeriodEditor : public QDialog {
 public:
  struct Ids {
    int template_, dayList, firstCheck, firstEdit, firstSpin, copyList, cancel;
    uint32_t caption;
  };
  static constexpr int kRows = 8;

  int DayOnShow() const { return dayOnShow_; }
  QComboBox* DayList() const { return days_; }

  void OnDayChange();
  void OnCopy();
  void OnOK();
  // Row check box clicked: the row's edits and spinners follow it; unticked edits read "0".
  virtual void RowRule(int row);

 protected:
  CPeriodEditor(QWidget* parent, const Ids& ids);
  ~CPeriodEditor() override = default;
  // Shows day 0 (the derived dialog calls it once its data is in).
  void Start();

  virtual void ShowDay(int day) = 0;
  // Takes the controls into `day`; false when the day breaks the rules.
  virtual bool CollectDay(int day) = 0;
  virtual void CopyDay(int from, int to) = 0;
  virtual void Apply() = 0;  // OK after a valid collect: the data goes to the owner

  // The row's times into its edits; the row ticked when its end is not 00:00.
  void ShowRow(int row, const TimeSegment& s);
  // The row's edits (up to 15 characters each, as a signed number, low byte kept).
  TimeSegment ReadRow(int row) const;
  void EnableRow(int row, bool on);
  QCheckBox* RowCheck(int row) const { return rows_[static_cast<size_t>(row)].check; }
  // The row of the top line (after the day list) and the grid of the period rows (column
  // 12 free for a derived dialog's own control per row).
  QHBoxLayout* TopLine() const { return top_; }
  QGridLayout* RowGrid() const { return grid_; }
  void Invalid();

 private:
  struct Row {
    QCheckBox* check = nullptr;
    std::array<LimitedEdit*, 4> edits{};
    std::array<SpinButtons*, 4> spins{};
  };
  std::array<Row, kRows> rows_;
  QComboBox* days_;
  QComboBox* copyTo_;
  QHBoxLayout* top_;
  QGridLayout* grid_;
  int dayOnShow_ = -1;
};

}  // namespace pellmore
