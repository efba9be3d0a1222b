#include "view/DlgPresetPoint.h"

#include <QEvent>
#include <QMenu>
#include <QMouseEvent>

#include "controls/BitmapButtonEx.h"
#include "controls/ListCtrlEx.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "view/DlgPTZParts.h"
#include "view/ViewMessages.h"

namespace {

QString StateText(PresetState s) {
  switch (s) {
    case PresetState::Set: return Text(IDS_PRESET_SET);
    case PresetState::NotSet: return Text(IDS_PRESET_NOT_SET);
    case PresetState::Unknown: return Text(IDS_PRESET_UNKNOWN);
    default: return {};
  }
}

constexpr ptzpanel::ButtonRow kButtons[3] = {
    {CDlgPresetPoint::kGoToId, IDS_CALL_PRESET, {6771, 6769, 6770}},
    {CDlgPresetPoint::kSetId, IDS_ADD_PRESET, {6765, 6763, 6764}},
    {CDlgPresetPoint::kClearId, IDS_DELETE_PRESET, {6777, 6775, 6776}},
};

}  // namespace

CDlgPresetPoint::CDlgPresetPoint(IPanelHost* host) : CPageDialog(kTemplateId), model_(host) {
  plat::Named(this, kTemplateId);
  list_ = new CListCtrlEx(this);
  plat::Named(list_, kListId);
  list_->InsertColumn(0, Text(IDS_NUMBER), 80);
  list_->InsertColumn(1, Text(IDS_VALID), 80);
  for (int i = 0; i < kPresetCount; ++i)
    list_->InsertItem(i, QString::asprintf("%2d", i + 1));
  list_->viewport()->installEventFilter(this);
  ptzpanel::MakeButtons(this, kButtons, 3, buttons_, [this](int id) { OnCommand(id); });
  menu_ = new QMenu(this);
  menu_->addAction(Text(IDS_ADD_PRESET), this, [this] { OnCommand(kMenuSet); });
  menu_->addAction(Text(IDS_DELETE_PRESET), this, [this] { OnCommand(kMenuClear); });
  model_.SetOnChanged([this] { ShowStates(); });
  Layout();
}

bool CDlgPresetPoint::OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                intptr_t& result) {
  if (message != WM_PANEL_BIND) return CPageDialog::OnMessage(message, wParam, lParam, result);
  result = wParam ? model_.Bind() : model_.Unbind();
  ShowStates();
  return true;
}

void CDlgPresetPoint::ShowStates() {
  for (int i = 0; i < kPresetCount; ++i) list_->SetItemText(i, 1, StateText(model_.State(i)));
  // While the flags are read the list is greyed.
  list_->setEnabled(!model_.Loading());
}

void CDlgPresetPoint::OnCommand(int id) {
  // Each command is queued on the device behind what went before.
  switch (id) {
    case kGoToId: model_.GoTo(selected_); break;
    case kSetId: case kMenuSet: model_.Set(selected_); break;
    case kClearId: case kMenuClear: model_.Clear(selected_); break;
    default: break;
  }
  ShowStates();
}

void CDlgPresetPoint::ClickAt(const QPoint& pos, bool right) {
  QTreeWidgetItem* item = list_->itemAt(pos);
  selected_ = item ? list_->indexOfTopLevelItem(item) : -1;
  if (selected_ >= 0) list_->SelectRow(selected_);
  else list_->clearSelection();
  if (right && selected_ >= 0) menu_->popup(list_->viewport()->mapToGlobal(pos));
}

bool CDlgPresetPoint::eventFilter(QObject* watched, QEvent* e) {
  if (watched == list_->viewport() && e->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(e);
    ClickAt(me->position().toPoint(), me->button() == Qt::RightButton);
  }
  return CPageDialog::eventFilter(watched, e);
}

void CDlgPresetPoint::Layout() { ptzpanel::LayoutListAndButtons(this, list_, buttons_, 3); }

void CDlgPresetPoint::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  Layout();
}

void CDlgPresetPoint::paintEvent(QPaintEvent*) { ptzpanel::PaintBackground(this); }
