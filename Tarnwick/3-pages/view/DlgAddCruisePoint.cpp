#include "view/DlgAddCruisePoint.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "controls/EditEx.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "view/DlgPTZParts.h"

namespace {

// The value typed in an edit; false when it holds no number.
bool ReadNumber(const CEditEx* edit, int& out) {
  bool ok = false;
  const int v = edit->text().trimmed().toInt(&ok);
  if (ok) out = v;
  return ok;
}

}  // namespace

CDlgAddCruisePoint::CDlgAddCruisePoint(QWidget* parent) : CFramedDialog(kTemplateId, parent) {
  resize(260, 200);
  const int top = ClientTop() + 10;
  const int labels[4] = {1949, 1893, 1894, 1895};
  const uint32_t texts[4] = {IDS_CRUISE_POINT, IDS_PRESET, IDS_CRUISE_TIME, IDS_CRUISE_SPEED};
  for (int i = 0; i < 4; ++i)
    MakeControl<QLabel>(this, labels[i], QRect(14, top + i * 30, 80, 22))->setText(Text(texts[i]));
  stop_ = MakeControl<CEditEx>(this, kStopId, QRect(100, top, 140, 22));
  stop_->setEnabled(false);
  combo_ = MakeControl<QComboBox>(this, kComboId, QRect(100, top + 30, 140, 22));
  dwell_ = MakeControl<CEditEx>(this, kDwellId, QRect(100, top + 60, 140, 22));
  speed_ = MakeControl<CEditEx>(this, kSpeedId, QRect(100, top + 90, 140, 22));
  for (CEditEx* e : {stop_, dwell_, speed_}) e->SetNumberStyle(true);
  stop_->SetRange(1, kCruiseStops);
  speed_->SetRange(0, 6);
  dwell_->SetRange(0, 30);
  ok_ = MakeControl<QPushButton>(this, 1, QRect(60, top + 126, 80, 26));
  ok_->setText(Text(IDS_OK));
  ok_->setDefault(true);
  auto* cancel = MakeControl<QPushButton>(this, 2, QRect(150, top + 126, 80, 26));
  cancel->setText(Text(IDS_CANCEL));
  connect(ok_, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDlgAddCruisePoint::Init(const CCruiseRoute* route, int stopNumber, int add) {
  route_ = route;
  entry_.stopNumber = stopNumber;
  add_ = add;
}

bool CDlgAddCruisePoint::OnInitDialog() {
  setWindowTitle(Text(add_ ? IDS_ADD_CRUISE_POINT : IDS_MODIFY_CRUISE_POINT));
  stop_->setText(QString::number(entry_.stopNumber));
  dwell_->setText(QString::number(kDefaultDwell));
  speed_->setText(QString::number(kDefaultSpeed));
  ShowPresets(PresetRead{});
  const bool reading = route_ && route_->Presets(
                                     [this](PresetRead read) {
                                       ShowPresets(read);
                                       SetWaiting(false);
                                     },
                                     owner_);
  SetWaiting(reading);
  return true;
}

void CDlgAddCruisePoint::ShowPresets(const PresetRead& read) {
  combo_->clear();
  if (read.flags != PresetFlags::Failed) {
    for (int i = 0; i < kPresetCount; ++i) {
      const uint32_t state = read.flags == PresetFlags::Unknown         ? IDS_PRESET_UNKNOWN
                             : read.record[kPresetFlagsOffset + i] != 0 ? IDS_PRESET_SET
                                                                        : IDS_PRESET_NOT_SET;
      combo_->addItem(Text(IDS_PRESET) + QString::number(i + 1) + Text(state));
    }
  }
  // The first preset; with no choice offered the index reads -1.
  combo_->setCurrentIndex(combo_->count() > 0 ? 0 : -1);
}

void CDlgAddCruisePoint::SetWaiting(bool waiting) {
  waiting_ = waiting;
  combo_->setEnabled(!waiting);
  ok_->setEnabled(!waiting);
}

bool CDlgAddCruisePoint::OnOK() {
  if (waiting_) return false;
  StopEntry e;
  e.presetIndex = combo_->currentIndex();
  const bool read = ReadNumber(stop_, e.stopNumber) & ReadNumber(dwell_, e.dwell) &
                    ReadNumber(speed_, e.speed);
  int bad = CheckStopEntry(e);
  if (!read) {
    if (!ReadNumber(stop_, e.stopNumber)) bad = kStopId;
    else if (!ReadNumber(dwell_, e.dwell)) bad = kDwellId;
    else bad = kSpeedId;
  }
  if (bad != kEntryOk) {
    if (QWidget* w = findChild<QWidget*>(QString::number(bad))) w->setFocus();
    return false;
  }
  entry_ = e;
  const CruiseStop stop{e.presetIndex + 1, e.dwell, e.speed};
  success_ = 0;
  const bool storing = route_ && route_->Store(
                                     e.stopNumber, stop,
                                     [this](bool stored) {
                                       success_ = stored ? 1 : 0;
                                       SetWaiting(false);
                                       accept();
                                     },
                                     owner_);
  if (storing) SetWaiting(true);
  else accept();
  return true;
}

int CDlgAddCruisePoint::GetResult(int* preset, int* speed, int* dwell) const {
  if (!success_) return 0;
  if (preset) *preset = entry_.presetIndex + 1;
  if (speed) *speed = entry_.speed;
  if (dwell) *dwell = entry_.dwell;
  return 1;
}
