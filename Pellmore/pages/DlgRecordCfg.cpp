#include "DlgRecordCfg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ChannelPage.h"
#include "Records.h"
#include "Session.h"
#include "plat/bytes.h"
#include "plat/controlid.h"

namespace pellmore {

using namespace recordcfg;

RecordEntry recordcfg::FromRecord(int channel, const uint8_t* r) {
  RecordEntry e;
  e.channel = channel;
  e.enabled = static_cast<int>(plat::getLe32(r + kEnabled));
  std::copy_n(r + kAllDay, e.allDay.size(), e.allDay.begin());
  std::copy_n(r + kPeriods, e.periods.size(), e.periods.begin());
  e.delay = static_cast<int>(plat::getLe32(r + kDelay));
  e.prerecord = plat::getLe32(r + kPrerecord) != 0 ? 1 : 0;
  return e;
}

void recordcfg::ToRecord(const RecordEntry& e, uint8_t* r) {
  plat::putLe32(r + kEnabled, static_cast<uint32_t>(e.enabled));
  std::copy(e.allDay.begin(), e.allDay.end(), r + kAllDay);
  std::copy(e.periods.begin(), e.periods.end(), r + kPeriods);
  plat::putLe32(r + kDelay, static_cast<uint32_t>(e.delay));
  plat::putLe32(r + kPrerecord, e.prerecord == 1 ? kPrerecordOn : 0);
}

namespace {

QComboBox* TypeList(QWidget* parent, int id) {
  auto* c = Named(new QComboBox(parent), id);
  for (int t = 0; t < kTypes; ++t) c->addItem(LoadLangString(4100 + static_cast<uint32_t>(t)));
  return c;
}
// A type the lists do not offer shows no selection.
void SelectType(QComboBox* list, int type) { list->setCurrentIndex(type < kTypes ? type : -1); }
// No selection keeps the stored type (one the lists do not offer stays as the device has it).
uint8_t ReadType(const QComboBox* list, uint8_t stored) {
  return list->currentIndex() >= 0 ? static_cast<uint8_t>(list->currentIndex()) : stored;
}

QLabel* ColourBox(QWidget* parent, int id, int type) {
  auto* box = Named(new QLabel(parent), id);
  box->setFixedSize(18, 12);
  box->setAutoFillBackground(true);
  QPalette pal = box->palette();
  pal.setColor(QPalette::Window, RecordTypeColour(type));
  box->setPalette(pal);
  box->setFrameShape(QFrame::Box);
  return box;
}

}  // namespace

CDlgRecordCfg::CDlgRecordCfg(QWidget* parent) : ConfigPage(parent) {
  auto* l = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addWidget(MakeLabel(this, 4022, LoadLangString(4042)));
  channel_ = Named(new QComboBox(this), 4010);
  channel_->setMinimumWidth(120);
  top->addWidget(channel_);
  top->addSpacing(24);
  enable_ = Named(new QCheckBox(LoadLangString(4084), this), 4046);
  top->addWidget(enable_);
  top->addStretch(1);
  l->addLayout(top);

  chart_ = new CMotionChart(this);
  chart_->setMinimumSize(500, 200);
  l->addWidget(chart_, 1);

  auto* legend = new QHBoxLayout;
  const int boxes[6] = {4485, 4495, 4496, 4497, 4498, 4499};
  const int texts[6] = {4484, 4486, 4488, 4490, 4492, 4494};
  for (int t = 0; t < 6; ++t) {
    QLabel* box = ColourBox(this, boxes[t], t);
    QLabel* text = MakeLabel(this, texts[t], t < kTypes ? LoadLangString(4100 + static_cast<uint32_t>(t)) : QString());
    legend->addWidget(box);
    legend->addWidget(text);
    legend->addSpacing(10);
    if (t >= kTypes) {  // types 4 and 5 are kept for the chart, not listed
      box->hide();
      text->hide();
    }
  }
  legend->addStretch(1);
  l->addLayout(legend);

  auto* g = new QGridLayout;
  timeButton_ = Named(new QPushButton(LoadLangString(4049), this), 4053);
  advanceButton_ = Named(new QPushButton(LoadLangString(4049), this), 4054);
  g->addWidget(MakeLabel(this, 4051, LoadLangString(4085)), 0, 0);
  g->addWidget(timeButton_, 0, 1);
  g->addWidget(MakeLabel(this, 4052, LoadLangString(4086)), 1, 0);
  g->addWidget(advanceButton_, 1, 1);
  auto* copy = Named(new QPushButton(LoadLangString(4050), this), 4021);
  g->addWidget(copy, 2, 1);
  g->setColumnStretch(2, 1);
  l->addLayout(g);

  connect(channel_, &QComboBox::currentIndexChanged, this, [this] { OnChannelChange(); });
  connect(enable_, &QCheckBox::clicked, this, [this] { OnEnable(); });
  connect(timeButton_, &QPushButton::clicked, this, [this] { OnRecordTime(); });
  connect(advanceButton_, &QPushButton::clicked, this, [this] { OnAdvance(); });
  connect(copy, &QPushButton::clicked, this, [this] { OnCopyTo(); });
}

void CDlgRecordCfg::Load(PageContext& context) {
  snapshot_.clear();
  working_.clear();
  for (const ChannelParamBlock& b : context.records->channels)
    working_.push_back(FromRecord(b.channel, b.schedule.data()));
  snapshot_ = working_;
  onShow_ = -1;
  FillNumberedList(channel_, 4051, static_cast<int>(working_.size()));
  OnChannelChange();
}

void CDlgRecordCfg::ReadEnable() {
  if (onShow_ < 0) return;
  int& enabled = working_[static_cast<size_t>(onShow_)].enabled;
  enabled = StoredFlag(enabled, enable_->isChecked());
}

void CDlgRecordCfg::OnChannelChange() {
  const int selected = channel_->currentIndex();
  if (selected == onShow_) return;
  ReadEnable();
  onShow_ = selected;
  ShowChannel();
}

void CDlgRecordCfg::ShowChannel() {
  const RecordEntry* e = onShow_ >= 0 ? &working_[static_cast<size_t>(onShow_)] : nullptr;
  const bool on = e && e->enabled != 0;
  enable_->setChecked(on);
  timeButton_->setEnabled(on);
  advanceButton_->setEnabled(on);
  chart_->SetData(e);
}

void CDlgRecordCfg::OnEnable() {
  ReadEnable();
  ShowChannel();
}

void CDlgRecordCfg::OnRecordTime() {
  if (onShow_ < 0) return;
  CDlgRecordTime dlg(this, &working_[static_cast<size_t>(onShow_)]);
  dlg.exec();
  chart_->update();
}

void CDlgRecordCfg::OnAdvance() {
  if (onShow_ < 0) return;
  const RecordEntry& e = working_[static_cast<size_t>(onShow_)];
  CDlgAdvanceRecord dlg(this, e.delay, e.prerecord);
  if (dlg.exec() != QDialog::Accepted) return;
  // Pre-recording and delay are one setting of the device: every channel gets them.
  for (RecordEntry& w : working_) {
    w.delay = dlg.Delay();
    w.prerecord = dlg.Prerecord();
  }
}

void CDlgRecordCfg::OnCopyTo() {
  if (onShow_ < 0) return;
  ReadEnable();
  RunCopyTo(this, working_, onShow_);
}

bool CDlgRecordCfg::CollectChanges(ConfigRecords& records) {
  ReadEnable();
  CommitChannels(snapshot_, working_, records, [](const RecordEntry& e, ChannelParamBlock& b) {
    ToRecord(e, b.schedule.data());
    b.schedule.changed = true;
  });
  return false;
}

namespace {
constexpr CPeriodEditor::Ids kRecordTimeIds{4023, 4173, 4486, 4600, 4632, 4281, 4283, 4085};
}  // namespace

CDlgRecordTime::CDlgRecordTime(QWidget* parent, RecordEntry* entry)
    : CPeriodEditor(parent, kRecordTimeIds), entry_(entry) {
  allDayBox_ = Named(new QCheckBox(LoadLangString(4088), this), 4167);
  allDayType_ = TypeList(this, 4673);
  TopLine()->addWidget(allDayBox_);
  TopLine()->addWidget(allDayType_);
  for (int r = 0; r < kRows; ++r) {
    types_[static_cast<size_t>(r)] = TypeList(this, 4665 + r);
    RowGrid()->addWidget(types_[static_cast<size_t>(r)], r, 12);
  }
  connect(allDayBox_, &QCheckBox::clicked, this, [this] { OnAllDay(); });
  if (entry_) {
    allDay_ = entry_->allDay;
    periods_ = entry_->periods;
  }
  Start();
}

void CDlgRecordTime::AllDayRule() {
  const bool allDay = allDayBox_->isChecked();
  for (int r = 0; r < kRows; ++r) {
    QCheckBox* box = RowCheck(r);
    box->setEnabled(!allDay);
    if (allDay) box->setChecked(false);
    EnableRow(r, false);
    types_[static_cast<size_t>(r)]->setEnabled(false);
  }
  allDayType_->setEnabled(allDay);
}

void CDlgRecordTime::OnAllDay() { AllDayRule(); }

void CDlgRecordTime::RowRule(int row) {
  CPeriodEditor::RowRule(row);
  types_[static_cast<size_t>(row)]->setEnabled(RowCheck(row)->isChecked());
}

void CDlgRecordTime::ShowDay(int day) {
  const uint8_t* a = &allDay_[static_cast<size_t>(day) * 4];
  allDayBox_->setChecked((a[0] | a[1]) != 0);
  SelectType(allDayType_, a[2]);
  AllDayRule();
  if (!allDayBox_->isChecked()) {
    for (int r = 0; r < kRows; ++r) {
      const uint8_t* p = &periods_[static_cast<size_t>(day) * 64 + static_cast<size_t>(r) * 8];
      ShowRow(r, {p[0], p[1], p[2], p[3]});
      SelectType(types_[static_cast<size_t>(r)], p[4]);
    }
  }
  for (int r = 0; r < kRows; ++r) RowRule(r);
}

bool CDlgRecordTime::CollectDay(int day) {
  uint8_t* a = &allDay_[static_cast<size_t>(day) * 4];
  a[2] = ReadType(allDayType_, a[2]);
  const bool allDay = allDayBox_->isChecked();
  a[0] = allDay ? 1 : 0;
  a[1] = 0;
  uint8_t* periods = &periods_[static_cast<size_t>(day) * 64];
  if (allDay) {
    std::fill(periods, periods + 64, uint8_t{0});
    return true;
  }
  DaySegments segments{};
  for (int r = 0; r < kRows; ++r) {
    uint8_t* p = periods + 8 * r;
    if (!RowCheck(r)->isChecked()) {
      std::fill(p, p + 8, uint8_t{0});
      continue;
    }
    p[4] = ReadType(types_[static_cast<size_t>(r)], p[4]);
    const TimeSegment s = ReadRow(r);
    p[0] = s.startHour;
    p[1] = s.startMinute;
    p[2] = s.endHour;
    p[3] = s.endMinute;
    segments[static_cast<size_t>(r)] = s;
  }
  return ValidateDay(segments);
}

void CDlgRecordTime::CopyDay(int from, int to) {
  std::copy_n(&allDay_[static_cast<size_t>(from) * 4], 4, &allDay_[static_cast<size_t>(to) * 4]);
  std::copy_n(&periods_[static_cast<size_t>(from) * 64], 64,
              &periods_[static_cast<size_t>(to) * 64]);
}

void CDlgRecordTime::Apply() {
  if (!entry_) return;
  entry_->allDay = allDay_;
  entry_->periods = periods_;
}

CDlgAdvanceRecord::CDlgAdvanceRecord(QWidget* parent, int delay, int prerecord)
    : QDialog(parent), delay_(delay), prerecord_(prerecord) {
  plat::Named(this, 4024);
  setWindowTitle(LoadLangString(4109));
  auto* l = new QVBoxLayout(this);
  auto* group = Named(new QGroupBox(LoadLangString(4106), this), 4195);
  auto* g = new QGridLayout(group);
  prerecordList_ = Named(new QComboBox(group), 4191);
  prerecordList_->addItems({LoadLangString(4038), LoadLangString(4037)});
  delayList_ = Named(new QComboBox(group), 4192);
  for (const char* d : {"10S", "30S", "60S", "120S", "300S", "600S"})
    delayList_->addItem(QString::fromLatin1(d));
  g->addWidget(MakeLabel(group, 4193, LoadLangString(4107)), 0, 0);
  g->addWidget(prerecordList_, 0, 1);
  g->addWidget(MakeLabel(group, 4194, LoadLangString(4108)), 1, 0);
  g->addWidget(delayList_, 1, 1);
  g->setColumnMinimumWidth(1, 140);
  l->addWidget(group);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  AddOkCancel(this, buttons, 4197, [this] { OnOK(); });
  l->addLayout(buttons);
  prerecordList_->setCurrentIndex(prerecord == 1 ? 1 : 0);
  delayList_->setCurrentIndex(delay >= 1 && delay <= kDelays ? delay - 1 : -1);
}

void CDlgAdvanceRecord::OnOK() {
  prerecord_ = prerecordList_->currentIndex() == 1 ? 1 : 0;
  delay_ = delayList_->currentIndex() + 1;  // no selection gives 0
  accept();
}

PELLMORE_REGISTER_PAGE(CDlgRecordCfg, 0x10)

}  // namespace pellmore
