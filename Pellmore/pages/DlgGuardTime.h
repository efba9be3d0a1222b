#pragma once
// "Arming Time": the weekly windows in which an alarm source (motion, video loss, tamper, an
// alarm input or output) is armed, 7 days of 8 segments. The dialog edits a copy of the
// source's 224-byte schedule and writes it back over the owner's schedule only on a valid OK.
//
//   CDlgGuardTime dlg(this, AlarmSourceKind::Motion, workingScheduleBytes);
//   dlg.exec();   // OK copied the edited schedule into workingScheduleBytes
#include <array>
#include <cstdint>

#include "PeriodEditor.h"

namespace pellmore {

// Which source an editor works for (as the device numbers them).
enum class AlarmSourceKind { Motion = 0, VideoLoss = 1, Tamper = 2, AlarmIn = 4, AlarmOut = 5 };

// 7 days x 8 segments of 4 bytes, day-major (day d, segment s at d * 32 + s * 4); day 0 "Sun".
constexpr size_t kArmingScheduleSize = 224;
using ArmingSchedule = std::array<uint8_t, kArmingScheduleSize>;

class CDlgGuardTime : public CPeriodEditor {
 public:
  // `schedule` is the owner's schedule (224 bytes): read now, written by OK.
  CDlgGuardTime(QWidget* owner, AlarmSourceKind kind, uint8_t* schedule);

  // One day's eight segments against the rules of every week editor (pure).
  static bool Validate(const DaySegments& day) { return ValidateDay(day); }

  const ArmingSchedule& Schedule() const { return schedule_; }
  AlarmSourceKind Kind() const { return kind_; }

 protected:
  void ShowDay(int day) override;
  bool CollectDay(int day) override;
  void CopyDay(int from, int to) override;
  void Apply() override;

 private:
  ArmingSchedule schedule_{};
  AlarmSourceKind kind_;
  uint8_t* owner_;
};

}  // namespace pellmore
