#pragma once
// "Record Setting": per channel whether recording is on and the week's recording periods,
// drawn in the week chart; the schedule editor (CDlgRecordTime), pre-recording and record
// delay for every channel (CDlgAdvanceRecord), and "Copy to...".
#include <QDialog>
#include <array>
#include <vector>

#include "MotionChart.h"
#include "PageRegistry.h"
#include "PeriodEditor.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace pellmore {

// Where the record-schedule record keeps what the page edits.
namespace recordcfg {
constexpr size_t kEnabled = 4, kAllDay = 8, kPeriods = 36, kDelay = 484, kPrerecord = 488;
constexpr uint32_t kPrerecordOn = 10;  // the pre-record time written when it is on
constexpr int kTypes = 4;              // record types the lists offer
constexpr int kDelays = 6;             // delay codes 1 to 6
RecordEntry FromRecord(int channel, const uint8_t* record);
void ToRecord(const RecordEntry& entry, uint8_t* record);
}  // namespace recordcfg

class CDlgRecordCfg : public ConfigPage {
 public:
  explicit CDlgRecordCfg(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;

  void OnChannelChange();
  void OnEnable();
  void OnRecordTime();
  void OnAdvance();
  void OnCopyTo();
  const std::vector<RecordEntry>& WorkingList() const { return working_; }
  CMotionChart* Chart() const { return chart_; }

 private:
  void ShowChannel();
  void ReadEnable();

  std::vector<RecordEntry> snapshot_, working_;
  int onShow_ = -1;
  QComboBox* channel_;
  QCheckBox* enable_;
  QPushButton *timeButton_, *advanceButton_;
  CMotionChart* chart_;
};

// The schedule editor: per day all day with one record type, or up to 8 periods with a type
// each. OK writes both tables into the entry it was given.
class CDlgRecordTime : public CPeriodEditor {
 public:
  CDlgRecordTime(QWidget* parent, RecordEntry* entry);
  // The all-day rule alone: the period rows keep their times until one is ticked again.
  void OnAllDay();
  void RowRule(int row) override;

 protected:
  void ShowDay(int day) override;
  bool CollectDay(int day) override;
  void CopyDay(int from, int to) override;
  void Apply() override;

 private:
  void AllDayRule();

  RecordEntry* entry_;
  std::array<uint8_t, 28> allDay_{};
  std::array<uint8_t, 448> periods_{};
  QCheckBox* allDayBox_;
  QComboBox* allDayType_;
  std::array<QComboBox*, 8> types_{};
};

// Pre-recording (no or yes) and the record delay code (1 to 6, 0 none).
class CDlgAdvanceRecord : public QDialog {
 public:
  CDlgAdvanceRecord(QWidget* parent, int delay, int prerecord);
  int Delay() const { return delay_; }
  int Prerecord() const { return prerecord_; }
  void OnOK();

 private:
  QComboBox *prerecordList_, *delayList_;
  int delay_, prerecord_;
};

}  // namespace pellmore
