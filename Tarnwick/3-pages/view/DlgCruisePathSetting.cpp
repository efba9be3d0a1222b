#include "view/DlgCruisePathSetting.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPushButton>

#include "controls/BitmapButtonEx.h"
#include "controls/ListCtrlEx.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "view/DlgPTZParts.h"
#include "view/DlgAddCruisePoint.h"

CDlgCruisePathSetting::CDlgCruisePathSetting(const PanelTarget& target, int route, QWidget* parent)
    : CQxDialog(kTemplateId, parent), route_(target, route) {
  resize(560, 470);
  list_ = new CListCtrlEx(this);
  plat::Named(list_, kListId);
  list_->setGeometry(10, 40, 540, 370);
  list_->viewport()->installEventFilter(this);
  const int ids[3] = {kCloseId, kModifyId, kClearId};
  const uint32_t texts[3] = {IDS_CLOSE, IDS_MODIFY_CRUISE_POINT, IDS_CLEAR_CRUISE_POINTS};
  for (int i = 0; i < 3; ++i) {
    auto* b = new QPushButton(Text(texts[i]), this);
    plat::Named(b, ids[i]);
    b->setGeometry(200 + i * 120, 420, 110, 28);
  }
  connect(findChild<QPushButton*>(QString::number(kCloseId)), &QPushButton::clicked, this,
          [this] { EndDialog(1); });
  connect(findChild<QPushButton*>(QString::number(kModifyId)), &QPushButton::clicked, this,
          [this] { OnModify(); });
  connect(findChild<QPushButton*>(QString::number(kClearId)), &QPushButton::clicked, this,
          [this] { OnClear(); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OnModify(); });
}

bool CDlgCruisePathSetting::OnInitDialog() {
  CQxDialog::OnInitDialog();
  setWindowTitle(Text(IDS_CRUISE_PATH_SETTINGS));
  list_->InsertColumn(0, Text(IDS_CRUISE_POINT), 120);
  list_->InsertColumn(1, Text(IDS_PRESET), 150);
  list_->InsertColumn(2, Text(IDS_CRUISE_TIME), 120);
  list_->InsertColumn(3, Text(IDS_CRUISE_SPEED), 120);
  for (int r = 0; r < kCruiseStopsShown; ++r) list_->InsertItem(r, QString::number(r + 1));
  SelectRow(0);
  const bool reading = route_.Read(
      [this](CCruiseRoute::ReadResult read) {
        if (read.ok)
          for (int r = 0; r < kCruiseStopsShown; ++r) ShowStop(r, read.stops[r], false);
        SetWaiting(false);
      },
      owner_);
  SetWaiting(reading);
  return true;
}

void CDlgCruisePathSetting::SetWaiting(bool waiting) {
  waiting_ = waiting;
  list_->setEnabled(!waiting);
  for (int id : {kModifyId, kClearId})
    if (auto* b = findChild<QPushButton*>(QString::number(id))) b->setEnabled(!waiting);
}

void CDlgCruisePathSetting::ShowStop(int row, const CruiseStop& stop, bool zeroShown) {
  auto cell = [&](int v) { return v > 0 || zeroShown ? QString::number(v) : QString(); };
  list_->SetItemText(row, 1, cell(stop.preset));
  list_->SetItemText(row, 2, cell(stop.dwell));
  list_->SetItemText(row, 3, cell(stop.speed));
}

void CDlgCruisePathSetting::SelectRow(int row) {
  selected_ = row >= 0 && row < list_->GetItemCount() ? row : -1;
  if (selected_ >= 0) list_->SelectRow(selected_);
  else list_->clearSelection();
}

void CDlgCruisePathSetting::OnModify() {
  const int r = selected_;
  if (waiting_ || r < 0 || r >= kCruiseStopsShown) return;
  // The editor opens as for a new stop, with the defaults, whatever the row holds.
  CDlgAddCruisePoint editor(this);
  editor.Init(&route_, r + 1, 1);
  if (editor.DoModal() != QDialog::Accepted) return;
  CruiseStop stored;
  if (editor.GetResult(&stored.preset, &stored.speed, &stored.dwell) == 1)
    ShowStop(r, stored, true);
}

void CDlgCruisePathSetting::OnClear() {
  const int r = selected_;
  if (waiting_ || r < 0 || r >= kCruiseStopsShown) return;
  const bool sent = route_.ClearStop(
      r + 1,
      [this, r](bool cleared) {
        if (cleared)
          for (int c = 1; c <= 3; ++c) list_->SetItemText(r, c, QString());
        SetWaiting(false);
      },
      owner_);
  SetWaiting(sent);
}

bool CDlgCruisePathSetting::eventFilter(QObject* watched, QEvent* e) {
  if (watched == list_->viewport() && e->type() == QEvent::MouseButtonPress) {
    QTreeWidgetItem* item = list_->itemAt(static_cast<QMouseEvent*>(e)->position().toPoint());
    SelectRow(item ? list_->indexOfTopLevelItem(item) : -1);
  }
  return CQxDialog::eventFilter(watched, e);
}
