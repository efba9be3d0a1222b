#include "shell/DlgUserMgr.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTreeWidget>

#include "controls/BitmapButtonEx.h"
#include "controls/ListCtrlEx.h"
#include "controls/PngResource.h"
#include "plat/controlid.h"
#include "shell/DlgAddUser.h"
#include "shell/DlgModifyUserInfor.h"
#include "shell/DlgUserMgrForms.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"

using namespace forms;

namespace {
constexpr int kNameColumnWidth = 100;
constexpr int kBitRole = Qt::UserRole;
constexpr int kTreeImages = 161;  // a strip of 18-pixel icons; items show the first
constexpr int kTreeImageWidth = 18;
}  // namespace

CDlgUserMgr::CDlgUserMgr() : CPageDialog(kTemplateId) {}

CDlgUserMgr::~CDlgUserMgr() = default;

bool CDlgUserMgr::OnInitDialog() {
  m_add = TextButton(this, IDC_ADD, IDS_ADD, QPoint(0, 0));
  m_delete = TextButton(this, IDC_DELETE, IDS_DELETE, QPoint(0, 0));
  m_modify = TextButton(this, IDC_MODIFY, IDS_MODIFY, QPoint(0, 0));
  connect(m_add, &QAbstractButton::clicked, this, &CDlgUserMgr::OnAdd);
  connect(m_delete, &QAbstractButton::clicked, this, &CDlgUserMgr::OnDelete);
  connect(m_modify, &QAbstractButton::clicked, this, &CDlgUserMgr::OnModify);

  m_list = new CListCtrlEx(this);
  plat::Named(m_list, IDC_LIST);
  m_list->InsertColumn(0, Text(IDS_USER_NAME), kNameColumnWidth);
  m_list->InsertColumn(1, Text(IDS_USER_IDENTITY), 200);
  m_list->viewport()->installEventFilter(this);
  for (const UserMgrController::Row& row : m_controller.LoadAccounts()) {
    int i = m_list->InsertItem(m_list->GetItemCount(), QString::fromStdU16String(row.name));
    m_list->SetItemText(i, 1, QString::fromStdU16String(row.identity));
  }

  m_rights = new QTreeWidget(this);
  plat::Named(m_rights, IDC_RIGHTS);
  m_rights->setHeaderHidden(true);
  m_rights->setRootIsDecorated(true);
  QImage strip;
  QIcon icon;
  if (LoadPngResource(&strip, kTreeImages))
    icon = QIcon(QPixmap::fromImage(strip.copy(0, 0, kTreeImageWidth, strip.height())));
  m_rights->setIconSize(QSize(kTreeImageWidth, kTreeImageWidth));
  for (const auto& [textId, bit] : UserMgrController::RightItems()) {
    auto* item = new QTreeWidgetItem(m_rights, QStringList{Text(textId)});
    item->setData(0, kBitRole, bit);
    item->setIcon(0, icon);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
  }
  connect(m_rights, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) { OnRightChanged(item); });
  // The page takes every key its tree would get (Space would tick a right).
  m_rights->installEventFilter(this);
  m_rights->setEnabled(false);
  m_delete->setEnabled(false);
  m_modify->setEnabled(false);
  Layout();
  return true;
}

void CDlgUserMgr::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
}

void CDlgUserMgr::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  Layout();
}

void CDlgUserMgr::Layout() {
  if (!m_add) return;
  m_add->move(0, 0);
  m_delete->move(m_add->geometry().right() + 2, m_add->y());
  m_modify->move(m_delete->geometry().right() + 2, m_delete->y());
  const int top = m_add->geometry().bottom() + 1 + 10;
  const int listRight = m_modify->geometry().right() + 1;
  m_list->setGeometry(0, top, listRight, std::max(0, height() - top));
  // From the list's new width: a list not yet shown has not resized its viewport.
  m_list->setColumnWidth(1, std::max(0, listRight - 2 * m_list->frameWidth() - kNameColumnWidth));
  const int treeLeft = listRight + 10;
  m_rights->setGeometry(treeLeft, top, std::max(0, width() - treeLeft), std::max(0, height() - top));
}

void CDlgUserMgr::keyPressEvent(QKeyEvent* e) {
  // The page takes no keys; Esc goes up to the settings page.
  if (e->key() == Qt::Key_Escape && parentWidget()) PostEscapeTo(parentWidget());
  e->accept();
}

bool CDlgUserMgr::eventFilter(QObject* watched, QEvent* e) {
  if (watched == m_rights && e->type() == QEvent::KeyPress) {
    keyPressEvent(static_cast<QKeyEvent*>(e));
    return true;
  }
  if (m_list && watched == m_list->viewport() && e->type() == QEvent::MouseButtonRelease) {
    auto* me = static_cast<QMouseEvent*>(e);
    QTreeWidgetItem* item = m_list->itemAt(me->position().toPoint());
    OnListClick(item ? m_list->indexOfTopLevelItem(item) : -1);
  }
  return CPageDialog::eventFilter(watched, e);
}

void CDlgUserMgr::EnableSelection(bool on) {
  m_delete->setEnabled(on);
  m_modify->setEnabled(on);
}

void CDlgUserMgr::OnListClick(int row) {
  if (row < 0) {
    m_controller.Select(-1, {});
    return;
  }
  m_controller.Select(row, m_list->GetItemText(row, 0).left(511).toStdU16String());
  ShowRights();
  EnableSelection(true);
}

void CDlgUserMgr::ShowRights() {
  m_showingRights = true;
  for (int i = 0; i < m_rights->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = m_rights->topLevelItem(i);
    const int bit = item->data(0, kBitRole).toInt();
    item->setCheckState(0, (m_controller.Power() & bit) ? Qt::Checked : Qt::Unchecked);
  }
  m_showingRights = false;
  m_rights->setEnabled(m_controller.RightsEditable());
}

void CDlgUserMgr::OnRightChanged(QTreeWidgetItem* item) {
  if (m_showingRights || !item) return;
  m_rights->setCurrentItem(item);
  const bool on = item->checkState(0) == Qt::Checked;
  if (!m_controller.SetRight(item->data(0, kBitRole).toInt(), on)) {
    // The tick shows what is stored.
    ShowRights();
    Notice(IDS_SAVE_FAILED);
    return;
  }
  m_showingRights = true;
  for (int i = 0; i < item->childCount(); ++i) item->child(i)->setCheckState(0, item->checkState(0));
  if (item->childCount()) item->setExpanded(true);
  m_showingRights = false;
}

void CDlgUserMgr::OnAdd() {
  CDlgAddUser dlg(this);
  if (dlg.DoModal() != IDOK) return;
  switch (m_controller.Add(dlg.Name(), dlg.Password(), dlg.Identity())) {
    case UserMgrController::AddResult::Exists: Notice(IDS_USER_EXISTS); return;
    case UserMgrController::AddResult::Failed: return;  // nothing added, nothing said
    case UserMgrController::AddResult::Added: break;
  }
  int row = m_list->InsertItem(m_list->GetItemCount(), QString::fromStdU16String(dlg.Name()));
  m_list->SetItemText(row, 1, QString::fromStdU16String(dlg.Identity()));
}

void CDlgUserMgr::OnDelete() {
  switch (m_controller.CheckDelete()) {
    case UserMgrController::DeleteCheck::Nothing: return;
    case UserMgrController::DeleteCheck::RefuseAdmin: Notice(IDS_CANNOT_DELETE_ADMIN); return;
    case UserMgrController::DeleteCheck::RefuseSelf: Notice(IDS_CANNOT_DELETE_SELF); return;
    case UserMgrController::DeleteCheck::Ask: break;
  }
  if (UiService().MessageBox(this, LoadResString(IDS_CONFIRM_DELETE), LoadResString(IDS_DELETE_USER),
                             MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
    return;
  const int row = m_controller.SelectedIndex();
  if (!m_controller.DeleteSelected()) {
    // The account is still there (and can log in): so is its row.
    Notice(IDS_DELETE_FAILED);
    return;
  }
  m_list->DeleteItem(row);
  m_rights->setEnabled(false);
  EnableSelection(false);
}

void CDlgUserMgr::OnModify() {
  CDlgModifyUserInfor dlg(this);
  dlg.SetName(m_controller.SelectedName());
  dlg.SetIdentity(m_controller.SelectedIdentity());
  dlg.SetOldPassword({});  // another account's password is never shown
  if (dlg.DoModal() != IDOK) return;
  switch (m_controller.Modify(dlg.NewPassword(), dlg.Identity())) {
    case UserMgrController::ModifyResult::SaveFailed: Notice(IDS_SAVE_FAILED); return;
    case UserMgrController::ModifyResult::Missing: return;
    case UserMgrController::ModifyResult::Saved: break;
  }
  for (int row = 0; row < m_list->GetItemCount(); ++row)
    if (m_list->GetItemText(row, 0).toStdU16String() == m_controller.SelectedName())
      m_list->SetItemText(row, 1, QString::fromStdU16String(m_controller.SelectedIdentity()));
  if (m_controller.SelectedIsAdmin()) ShowRights();
}
