#include "PeriodEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "Session.h"
#include "plat/controlid.h"
#include "plat/controlid.h"
#include "plat/text.h"

namespace pellmore {

bool ValidateDay(const DaySegments& day) {
  for (const TimeSegment& s : day)
    if (s.startMinute > 59 || s.endMinute > 59 || s.startHour > 23 || s.endHour > 23)
      return false;
  std::array<int, 8> start{}, end{};
  for (size_t i = 0; i < day.size(); ++i) {
    start[i] = day[i].startHour * 60 + day[i].startMinute;
    end[i] = day[i].endHour * 60 + day[i].endMinute;
  }
  // Touching: a segment may not start where another one ends.
  for (size_t i = 0; i < day.size(); ++i)
    for (size_t j = 0; j < day.size(); ++j)
      if (i != j && start[i] != 0 && start[i] == end[j]) return false;
  for (size_t j = 0; j < day.size(); ++j) {
    if (start[j] != 0 && start[j] >= end[j]) return false;
    for (size_t k = 0; k < day.size(); ++k) {
      if (k == j) continue;
      if (start[k] < start[j] && start[j] < end[k]) return false;
      if (start[k] < end[j] && end[j] < end[k]) return false;
      if (start[j] == start[k] && end[j] == end[k] && end[j] != 0) return false;
    }
  }
  return true;
}

SpinButtons::SpinButtons(QWidget* parent, QLineEdit* buddy, int min, int max)
    : QWidget(parent), buddy_(buddy), min_(min), max_(max) {
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(0);
  const auto arrow = [this, l](Qt::ArrowType type, int delta) {
    auto* b = new QToolButton(this);
    b->setArrowType(type);
    b->setFixedSize(14, 11);
    b->setAutoRepeat(true);
    l->addWidget(b);
    connect(b, &QToolButton::clicked, this, [this, delta] { Step(delta); });
  };
  arrow(Qt::UpArrow, 1);
  arrow(Qt::DownArrow, -1);
}

void SpinButtons::Step(int delta) {
  const int v = std::clamp(EditNumber(buddy_), min_, max_);
  buddy_->setText(QString::number(std::clamp(v + delta, min_, max_)));
}

void AddOkCancel(QDialog* dialog, QHBoxLayout* row, int cancelId, std::function<void()> onOK) {
  auto* ok = Named(new QPushButton(LoadLangString(4062), dialog), 4168);
  auto* cancel = Named(new QPushButton(LoadLangString(4063), dialog), cancelId);
  row->addWidget(ok);
  row->addWidget(cancel);
  QObject::connect(ok, &QPushButton::clicked, dialog, std::move(onOK));
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

QString DayName(int day) {
  static const uint32_t ids[7] = {4098, 4092, 4093, 4094, 4095, 4096, 4097};
  return day >= 0 && day < 7 ? LoadLangString(ids[day]) : QString();
}

CPeriodEditor::CPeriodEditor(QWidget* parent, const Ids& ids) : QDialog(parent) {
  plat::Named(this, ids.template_);
  setWindowTitle(LoadLangString(ids.caption));
  auto* l = new QVBoxLayout(this);
  top_ = new QHBoxLayout;
  top_->addWidget(MakeLabel(this, 4184, LoadLangString(4087)));
  days_ = Named(new QComboBox(this), ids.dayList);
  for (int d = 0; d < 7; ++d) days_->addItem(DayName(d));
  top_->addWidget(days_);
  top_->addSpacing(16);
  l->addLayout(top_);

  grid_ = new QGridLayout;
  grid_->setHorizontalSpacing(2);
  const QString period = LoadLangString(4089);
  for (int r = 0; r < kRows; ++r) {
    Row& row = rows_[static_cast<size_t>(r)];
    row.check = Named(new QCheckBox(QStringLiteral("%1%2").arg(period).arg(r + 1), this),
                      ids.firstCheck + r);
    grid_->addWidget(row.check, r, 0);
    for (int c = 0; c < 4; ++c) {
      auto* e = Named(new LimitedEdit(this, 2), ids.firstEdit + 4 * r + c);
      e->setText(QStringLiteral("0"));
      e->setFixedWidth(30);
      e->setAlignment(Qt::AlignRight);
      auto* s = Named(new SpinButtons(this, e, 0, c % 2 == 0 ? 23 : 59), ids.firstSpin + 4 * r + c);
      row.edits[static_cast<size_t>(c)] = e;
      row.spins[static_cast<size_t>(c)] = s;
      const int col = 1 + 3 * c;
      grid_->addWidget(e, r, col);
      grid_->addWidget(s, r, col + 1);
      if (c < 3)
        grid_->addWidget(new QLabel(c == 1 ? QStringLiteral(" - ") : QStringLiteral(":"), this),
                         r, col + 2, Qt::AlignCenter);
    }
    EnableRow(r, false);
    connect(row.check, &QCheckBox::clicked, this, [this, r] { RowRule(r); });
  }
  grid_->setColumnStretch(13, 1);
  l->addLayout(grid_);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(MakeLabel(this, 4170, LoadLangString(4090)));
  copyTo_ = Named(new QComboBox(this), ids.copyList);
  copyTo_->addItem(LoadLangString(4099));
  for (int d = 0; d < 7; ++d) copyTo_->addItem(DayName(d));
  bottom->addWidget(copyTo_);
  auto* copy = Named(new QPushButton(LoadLangString(4091), this), 4280);
  bottom->addWidget(copy);
  bottom->addStretch(1);
  AddOkCancel(this, bottom, ids.cancel, [this] { OnOK(); });
  l->addLayout(bottom);

  connect(days_, &QComboBox::currentIndexChanged, this, [this] { OnDayChange(); });
  connect(copy, &QPushButton::clicked, this, [this] { OnCopy(); });
}

void CPeriodEditor::Start() {
  top_->addStretch(1);  // after what the derived dialog put on the top line
  dayOnShow_ = -1;
  const QSignalBlocker block(days_);
  days_->setCurrentIndex(0);
  dayOnShow_ = 0;
  ShowDay(0);
}

void CPeriodEditor::EnableRow(int row, bool on) {
  const Row& r = rows_[static_cast<size_t>(row)];
  for (size_t c = 0; c < 4; ++c) {
    r.edits[c]->setEnabled(on);
    r.spins[c]->setEnabled(on);
  }
}

void CPeriodEditor::RowRule(int row) {
  const Row& r = rows_[static_cast<size_t>(row)];
  const bool on = r.check->isChecked();
  EnableRow(row, on);
  if (!on)
    for (LimitedEdit* e : r.edits) e->setText(QStringLiteral("0"));
}

void CPeriodEditor::ShowRow(int row, const TimeSegment& s) {
  const Row& r = rows_[static_cast<size_t>(row)];
  const uint8_t v[4] = {s.startHour, s.startMinute, s.endHour, s.endMinute};
  for (size_t c = 0; c < 4; ++c) r.edits[c]->setText(QString::number(v[c]));
  r.check->setChecked(s.endHour != 0 || s.endMinute != 0);
}

TimeSegment CPeriodEditor::ReadRow(int row) const {
  const Row& r = rows_[static_cast<size_t>(row)];
  uint8_t v[4];
  for (size_t c = 0; c < 4; ++c) {
    const QString t = r.edits[c]->text().left(15);
    v[c] = static_cast<uint8_t>(plat::textToInt(
        std::u16string_view(reinterpret_cast<const char16_t*>(t.utf16()),
                            static_cast<size_t>(t.size()))));
  }
  return {v[0], v[1], v[2], v[3]};
}

void CPeriodEditor::Invalid() { ShowMessage(this, LoadLangString(4121)); }

void CPeriodEditor::OnDayChange() {
  const int selected = days_->currentIndex();
  if (selected == dayOnShow_ || selected < 0) return;
  if (dayOnShow_ >= 0 && !CollectDay(dayOnShow_)) {
    Invalid();
    const QSignalBlocker block(days_);
    days_->setCurrentIndex(dayOnShow_);
    return;
  }
  dayOnShow_ = selected;
  ShowDay(selected);
}

void CPeriodEditor::OnCopy() {
  if (dayOnShow_ < 0) return;
  if (!CollectDay(dayOnShow_)) {
    Invalid();
    return;
  }
  const int to = copyTo_->currentIndex();
  if (to == 0) {
    for (int d = 0; d < 7; ++d)
      if (d != dayOnShow_) CopyDay(dayOnShow_, d);
  } else if (to > 0 && to - 1 != dayOnShow_) {
    CopyDay(dayOnShow_, to - 1);
  }
}

void CPeriodEditor::OnOK() {
  if (dayOnShow_ >= 0 && !CollectDay(dayOnShow_)) {
    Invalid();
    return;
  }
  Apply();
  accept();
}

}  // namespace pellmore
