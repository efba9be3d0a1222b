#include "DlgGuardTime.h"

#include <QCheckBox>
#include <algorithm>
#include <cstring>

namespace pellmore {

namespace {
constexpr CPeriodEditor::Ids kIds{4026, 4341, 4478, 4446, 4414, 4339, 4282, 4113};
constexpr size_t kDayBytes = 32;
}  // namespace

CDlgGuardTime::CDlgGuardTime(QWidget* owner, AlarmSourceKind kind, uint8_t* schedule)
    : CPeriodEditor(owner, kIds), kind_(kind), owner_(schedule) {
  if (owner_) std::memcpy(schedule_.data(), owner_, kArmingScheduleSize);
  Start();
}

void CDlgGuardTime::ShowDay(int day) {
  const uint8_t* d = &schedule_[static_cast<size_t>(day) * kDayBytes];
  for (int r = 0; r < kRows; ++r) {
    const uint8_t* s = d + 4 * r;
    ShowRow(r, {s[0], s[1], s[2], s[3]});
    EnableRow(r, RowCheck(r)->isChecked());
  }
}

bool CDlgGuardTime::CollectDay(int day) {
  uint8_t* d = &schedule_[static_cast<size_t>(day) * kDayBytes];
  DaySegments segments;
  for (int r = 0; r < kRows; ++r) {
    const TimeSegment s = ReadRow(r);
    segments[static_cast<size_t>(r)] = s;
    uint8_t* to = d + 4 * r;
    to[0] = s.startHour;
    to[1] = s.startMinute;
    to[2] = s.endHour;
    to[3] = s.endMinute;
  }
  return Validate(segments);
}

void CDlgGuardTime::CopyDay(int from, int to) {
  std::copy_n(&schedule_[static_cast<size_t>(from) * kDayBytes], kDayBytes,
              &schedule_[static_cast<size_t>(to) * kDayBytes]);
}

void CDlgGuardTime::Apply() {
  if (owner_) std::memcpy(owner_, schedule_.data(), kArmingScheduleSize);
}

}  // namespace pellmore
