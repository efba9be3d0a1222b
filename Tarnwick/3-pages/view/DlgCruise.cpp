#include "view/DlgCruise.h"

#include <QEvent>
#include <QMenu>
#include <QMouseEvent>

#include "controls/BitmapButtonEx.h"
#include "controls/ListCtrlEx.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "view/DlgPTZParts.h"
#include "view/DlgCruisePathSetting.h"

namespace {

constexpr ptzpanel::ButtonRow kButtons[3] = {
    {CDlgCruise::kStartId, IDS_START_CRUISE, {6771, 6769, 6770}},
    {CDlgCruise::kStopId, IDS_STOP_CRUISE, {6784, 6782, 6783}},
    {CDlgCruise::kSettingsId, IDS_SET_CRUISE, {6780, 6778, 6779}},
};

}  // namespace

CDlgCruise::CDlgCruise(IPanelHost* host)
    : CPageDialog(kTemplateId), host_(host), controller_(host) {
  plat::Named(this, kTemplateId);
  list_ = new CListCtrlEx(this);
  plat::Named(list_, kListId);
  list_->InsertColumn(0, Text(IDS_NUMBER), 80);
  list_->InsertColumn(1, Text(IDS_CRUISE_PATH_NAME), 150);
  for (int i = 0; i < kCruiseRoutes; ++i) {
    list_->InsertItem(i, QString::asprintf("%2d", i + 1));
    list_->SetItemText(i, 1, Text(IDS_CRUISE_PATH) + QString::asprintf("%2d", i + 1));
  }
  list_->viewport()->installEventFilter(this);
  ptzpanel::MakeButtons(this, kButtons, 3, buttons_, [this](int id) { OnCommand(id); });
  menu_ = new QMenu(this);
  menu_->addAction(Text(IDS_CRUISE_PATH_SETTINGS), this, [this] { OnCommand(kMenuSettings); });
  Layout();
}

void CDlgCruise::OnCommand(int id) {
  const int row = list_->GetSelectedRow();
  switch (id) {
    // Each press is queued on the device, behind what went before: a Stop pressed while a
    // Start is on its way follows it.
    case kStartId:
      if (row >= 0) controller_.Start(row);
      else CheckPtzRight();
      break;
    case kStopId: controller_.StopAll(); break;
    case kSettingsId: case kMenuSettings: OpenSettings(); break;
    default: break;
  }
}

void CDlgCruise::OpenSettings() {
  if (!CheckPtzRight()) return;
  const int row = list_->GetSelectedRow();
  const PanelTarget target = GetPanelChannel(host_);
  if (row < 0 || !target.Live()) return;
  CDlgCruisePathSetting dialog(target, row, this);
  dialog.DoModal();
}

bool CDlgCruise::eventFilter(QObject* watched, QEvent* e) {
  if (watched == list_->viewport() && e->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(e);
    if (me->button() == Qt::RightButton) {
      const QPoint pos = me->position().toPoint();
      if (QTreeWidgetItem* item = list_->itemAt(pos)) list_->SelectRow(list_->indexOfTopLevelItem(item));
      menu_->popup(list_->viewport()->mapToGlobal(pos));
    }
  }
  return CPageDialog::eventFilter(watched, e);
}

void CDlgCruise::Layout() { ptzpanel::LayoutListAndButtons(this, list_, buttons_, 3); }

void CDlgCruise::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  Layout();
}

void CDlgCruise::paintEvent(QPaintEvent*) { ptzpanel::PaintBackground(this); }
