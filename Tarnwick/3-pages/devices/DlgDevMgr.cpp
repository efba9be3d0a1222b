#include "devices/DlgDevMgr.h"

#include <QApplication>
#include <QCursor>
#include <QTreeWidgetItemIterator>
#include <cmath>
#include <set>

#include "Pellmore/Pellmore.h"
#include "controls/WaitCursor.h"
#include "devices/Device.h"
#include "devices/DlgIPCParamSetting.h"
#include "devices/TreeCtrlTarget.h"
#include "plat/controlid.h"
#include "shell/AppMessages.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"

namespace {

struct Tip {
  int control;
  uint32_t text;
};
constexpr Tip kTips[] = {{1112, IDS_ADD_REGION},    {1118, IDS_DELETE_REGION}, {1162, IDS_ADD_SERVER},
                         {1168, IDS_DELETE_SERVER}, {1150, IDS_ADD_DEVICE},    {1156, IDS_DELETE_DEVICE},
                         {1131, IDS_MODIFY},        {1122, IDS_ADD_GROUP},     {1126, IDS_DELETE_GROUP},
                         {1134, IDS_MODIFY_GROUP},  {1952, IDS_ADD_TO_GROUP},  {5553, IDS_REMOVE_FROM_GROUP},
                         {1949, IDS_MOVE_UP},       {1950, IDS_MOVE_DOWN},     {1951, IDS_REMOTE_SETUP}};

struct ImageButton {
  int control, normal, hover, pressed;
};
constexpr ImageButton kImageButtons[] = {{1949, 6846, 6847, 6848}, {1950, 6849, 6850, 6851},
                                         {5553, 6852, 6853, 6854}, {1952, 6855, 6856, 6857},
                                         {1951, 6892, 6893, 6894}};

constexpr int kTreeTop = 34;

}  // namespace

CDlgDevMgr::CDlgDevMgr(IDeviceWorkServices& work, CDeviceManager* devices)
    : CPageDialog(kTemplateId), m_model(devices), m_controller(m_model, *this, work) {
  QPalette pal = palette();
  pal.setColor(QPalette::Window, kBackground);
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);
  setAutoFillBackground(true);
  m_labelDevices = new QLabel(this);
  plat::Named(m_labelDevices, IDC_LABEL_DEVICES);
  m_labelDevices->setGeometry(9, 10, 200, 20);
  m_labelGroups = new QLabel(this);
  plat::Named(m_labelGroups, IDC_LABEL_GROUPS);
  m_labelGroups->setGeometry(400, 10, 200, 20);
  m_deviceTree = new QTreeWidget(this);
  plat::Named(m_deviceTree, IDC_DEVICE_TREE);
  m_deviceTree->setGeometry(9, kTreeTop, 250, 300);
  m_groupTree = new QTreeWidget(this);
  plat::Named(m_groupTree, IDC_GROUP_TREE);
  m_groupTree->setGeometry(400, kTreeTop, 250, 300);
  for (int id : {1112, 1118, 1162, 1168, 1150, 1156, 1131, 1122, 1126, 1134}) {
    auto* b = new QPushButton(this);
    plat::Named(b, id);
    b->setGeometry(0, 0, 24, 22);
    b->hide();
    connect(b, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
    m_commandButtons.push_back(b);
  }
  for (const ImageButton& ib : kImageButtons) {
    auto* b = new CBitmapButtonEx(this, ib.control);
    plat::Named(b, ib.control);
    const int id = ib.control;
    connect(b, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    m_imageButtons.push_back(b);
  }
  for (QTreeWidget* t : {m_deviceTree, m_groupTree}) {
    t->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(t, &QWidget::customContextMenuRequested, this, [this, t](const QPoint& pos) { OnTreeMenu(t, pos); });
  }
  m_dlgAddRegion = new CDlgAddRegion(&m_model, this);
  m_dlgAddGrp = new CDlgAddGrp(&m_model, this);
  m_dlgAddSM = new CDlgAddSM(&m_model, this);
  m_dlgAddDev = new CDlgAddDev(&m_model, this);
  m_dlgModifyChn = new CDlgModifyChn(this);
}

CDlgDevMgr::~CDlgDevMgr() {
  if (HasWindow()) OnDestroy();
}

bool CDlgDevMgr::OnInitDialog() {
  m_model.LoadAll();
  InitControls();
  InitTrees();
  OnSize();
  return true;
}

void CDlgDevMgr::InitControls() {
  for (const Tip& t : kTips)
    if (QWidget* w = findChild<QWidget*>(QString::number(t.control))) w->setToolTip(Text(t.text));
  m_labelDevices->setText(Text(IDS_DEVICE_TREE));
  m_labelGroups->setText(Text(IDS_CHANNEL_GROUPS));
  for (size_t i = 0; i < m_imageButtons.size(); ++i) {
    m_imageButtons[i]->LoadImageResources(kImageButtons[i].normal, kImageButtons[i].hover, kImageButtons[i].pressed);
    m_imageButtons[i]->SizeToImage();
  }
  for (QTreeWidget* t : {m_deviceTree, m_groupTree}) CTreeCtrlTarget(t).Reset();
}

void CDlgDevMgr::InitTrees() {
  FillWhenShown(m_deviceTree);
  RebuildGroupTree(m_groupTree);
  RefreshRegisteredDeviceTrees();
  RefreshRegisteredGroupTrees();
}

// The device trees of hidden pages are filled when their page is shown: at start-up only the
// live page's shows, and the same thousands of items are not made four times over. A hidden
// tree is emptied at once, so none keeps items of nodes that go.
void CDlgDevMgr::FillWhenShown(QTreeWidget* tree) {
  if (!tree) return;
  tree->removeEventFilter(this);
  tree->installEventFilter(this);
  if (tree->isVisible()) {
    m_unfilled.erase(tree);
    BuildDeviceTree(tree);
    return;
  }
  m_unfilled.insert(tree);
  CTreeCtrlTarget(tree).Reset();
}

QTreeWidget* CDlgDevMgr::DeviceTree() {
  if (m_unfilled.erase(m_deviceTree)) BuildDeviceTree(m_deviceTree);
  return m_deviceTree;
}

bool CDlgDevMgr::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show) {
    auto* tree = qobject_cast<QTreeWidget*>(watched);
    if (tree && m_unfilled.erase(tree)) {
      BuildDeviceTree(tree);
      // The preview page marks what its channels do on the items it now has.
      if (tree != m_deviceTree) NotifyPreviewOfTrees();
    }
  }
  return CPageDialog::eventFilter(watched, event);
}

void CDlgDevMgr::BuildDeviceTree(QTreeWidget* tree) {
  if (!tree) return;
  CTreeCtrlTarget target(tree);
  m_model.BuildDeviceTree(target, tree == m_deviceTree);
}

void CDlgDevMgr::RebuildGroupTree(QTreeWidget* tree) {
  if (!tree) return;
  CTreeCtrlTarget target(tree);
  m_model.RebuildGroupTree(target);
}

void CDlgDevMgr::RegisterDeviceTree(QTreeWidget* tree) {
  if (tree) m_deviceTrees.emplace_back(tree);
}

void CDlgDevMgr::RegisterGroupTree(QTreeWidget* tree) {
  if (tree) m_groupTrees.emplace_back(tree);
}

void CDlgDevMgr::RefreshRegisteredDeviceTrees() {
  for (const QPointer<QTreeWidget>& t : m_deviceTrees) FillWhenShown(t.data());
  NotifyPreviewOfTrees();
}

void CDlgDevMgr::NotifyPreviewOfTrees() {
  if (m_previewWindow) plat::sendMessage(m_previewWindow, WM_REFRESH_TREE, 0, 0);
}

void CDlgDevMgr::RefreshRegisteredGroupTrees() {
  for (const QPointer<QTreeWidget>& t : m_groupTrees) RebuildGroupTree(t.data());
}

void CDlgDevMgr::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  OnSize();
}

void CDlgDevMgr::OnSize() {
  const QRect client = rect();
  const int groupLeft = client.width() / 2 + client.left() + kGap / 2;
  const int offset = groupLeft - m_labelGroups->x();
  m_labelGroups->move(groupLeft, m_labelGroups->y());
  for (int id : {IDC_ADD_GROUP, IDC_DELETE_GROUP, IDC_MODIFY_GROUP})
    if (QWidget* b = findChild<QWidget*>(QString::number(id))) b->move(b->x() + offset, b->y());
  // Edges as the window system counts them: right and bottom are one past the last pixel.
  const int bottom = client.top() + client.height() - 11;
  const int right = client.left() + client.width() - 9;
  m_groupTree->setGeometry(groupLeft + 9, m_groupTree->y(), right - (groupLeft + 9), bottom - m_groupTree->y());
  const int deviceRight = groupLeft - kGap - 9;
  m_deviceTree->setGeometry(client.left() + 9, m_deviceTree->y(), deviceRight - (client.left() + 9),
                            bottom - m_deviceTree->y());
  const int cx = client.width() / 2, cy = client.height() / 2;
  auto centreAt = [](QWidget* w, int x, int y) { w->move(x - w->width() / 2, y - w->height() / 2); };
  const double pi = 3.1415926;
  for (CBitmapButtonEx* b : m_imageButtons) {
    double degrees = -1;
    switch (b->GetDlgCtrlID()) {
      case IDC_TO_GROUP: degrees = 0; break;
      case IDC_MOVE_DOWN: degrees = 90; break;
      case IDC_FROM_GROUP: degrees = 180; break;
      case IDC_MOVE_UP: degrees = 270; break;
      default: break;
    }
    if (degrees < 0) {
      centreAt(b, cx, cy);
      continue;
    }
    const double a = degrees * pi / 180;
    centreAt(b, static_cast<int>(cx + kArrowRadius * std::cos(a)), static_cast<int>(cy + kArrowRadius * std::sin(a)));
  }
}

void CDlgDevMgr::OnDestroy() {
  if (m_destroyed) return;
  m_destroyed = true;
  // What no command wrote is written now; a list that cannot be written is said so.
  if (!m_model.SaveAll())
    UiService().MessageBox(this, LoadResString(IDS_NOT_SAVED_AT_EXIT), LoadResString(IDS_INFORMATION),
                           MB_OK | MB_ICONWARNING);
  // The trees' item data are the nodes freed below: no tree keeps them.
  for (const auto& t : m_deviceTrees)
    if (t) {
      t->removeEventFilter(this);
      t->clear();
    }
  m_unfilled.clear();
  for (const auto& t : m_groupTrees)
    if (t) t->clear();
  m_deviceTree->clear();
  m_groupTree->clear();
  m_model.Clear();
}

// ---- commands

DeviceSelection CDlgDevMgr::SelectedDevice() const {
  const QList<QTreeWidgetItem*> selected = m_deviceTree->selectedItems();
  QTreeWidgetItem* item = selected.isEmpty() ? nullptr : selected.front();
  if (!item) return {};
  if (DeviceTreeNode* node = DeviceNodeOf(item)) return {node, 0};
  return {DeviceNodeOf(item->parent()), ChannelNumberOf(item)};
}

GroupTreeNode* CDlgDevMgr::SelectedGroupNode() const {
  const QList<QTreeWidgetItem*> selected = m_groupTree->selectedItems();
  return selected.isEmpty() ? nullptr : GroupNodeOf(selected.front());
}

void CDlgDevMgr::OnCommand(int id) { m_controller.OnCommand(id, SelectedDevice(), SelectedGroupNode()); }

QMenu* CDlgDevMgr::BuildMenu(int menuId, const std::vector<MenuEntry>& entries, bool openEmpty) {
  if (entries.empty() && !openEmpty) return nullptr;
  auto* menu = new QMenu(this);
  plat::Named(menu, menuId);
  for (const MenuEntry& e : entries) {
    if (!e.command) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(Text(e.text));
    plat::Named(action, e.command);
    action->setEnabled(e.enabled);
    const int command = e.command;
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
  }
  return menu;
}

// A channel's menu has every entry removed and opens empty.
QMenu* CDlgDevMgr::BuildDeviceMenu() {
  const DeviceSelection selected = SelectedDevice();
  return BuildMenu(kDeviceMenuId, m_controller.DeviceMenu(selected), selected.IsChannel());
}

QMenu* CDlgDevMgr::BuildGroupMenu() { return BuildMenu(kGroupMenuId, m_controller.GroupMenu(SelectedGroupNode())); }

// The item under the cursor becomes the selected one; the menu opens at the cursor.
void CDlgDevMgr::OnTreeMenu(QTreeWidget* tree, const QPoint& pos) {
  if (QTreeWidgetItem* item = tree->itemAt(pos)) tree->setCurrentItem(item);
  QMenu* menu = tree == m_deviceTree ? BuildDeviceMenu() : BuildGroupMenu();
  if (!menu) return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(tree->viewport()->mapToGlobal(pos));
}

bool CDlgDevMgr::EditRegion(CRegionInfo& region, bool add, const std::u16string& parentName) {
  m_dlgAddRegion->SetRegion(&region, add ? 1 : 0, parentName);
  if (m_dlgAddRegion->DoModal() != CNameEntryDialog::IDOK_BUTTON) return false;
  region = m_dlgAddRegion->Region();
  return true;
}

bool CDlgDevMgr::EditServer(CDevInfo& info, bool add, const std::u16string& regionName) {
  m_dlgAddSM->SetServer(&info, regionName, add ? 1 : 0);
  if (m_dlgAddSM->DoModal() != CDlgAddSM::IDC_OK) return false;
  info = m_dlgAddSM->Server();
  return true;
}

bool CDlgDevMgr::EditDevice(CDevInfo& info, bool add, const std::u16string& regionName) {
  m_dlgAddDev->SetInfo(&info, regionName, add ? 1 : 0);
  if (m_dlgAddDev->DoModal() != CDlgAddDev::IDC_OK) return false;
  info = m_dlgAddDev->Info();
  return true;
}

bool CDlgDevMgr::EditGroup(CGroupInfo& group, bool add) {
  m_dlgAddGrp->SetGroup(&group, add ? 1 : 0);
  if (m_dlgAddGrp->DoModal() != CNameEntryDialog::IDOK_BUTTON) return false;
  group = m_dlgAddGrp->Group();
  return true;
}

bool CDlgDevMgr::EditChannel(CDevice& device, int channel) {
  m_dlgModifyChn->SetChannel(&device, channel);
  return m_dlgModifyChn->DoModal() == CDlgModifyChn::IDC_OK;
}

bool CDlgDevMgr::Confirm(const std::u16string& text) {
  return UiService().MessageBox(this, text, LoadResString(IDS_INFORMATION), MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}

// An IP camera or recorder of the camera library gets the program's own parameter dialog over a
// session of its own; any other device the configuration library's window. Both run modally
// here, the wait cursor showing until they end.
uint32_t CDlgDevMgr::OpenRemoteSetup(CDevice& device) {
  const CDevInfo& info = device.GetDevInfo();
  CWaitCursor wait;
  if (info.GetDevType() == DEV_TYPE_IPC || info.GetDevType() == DEV_TYPE_NVR) {
    IpcLogin login;
    if (const uint32_t refusal = BuildIpcLogin(info, login)) return refusal;
    // The dialog comes up at once and logs in on the device's queue; a failed login ends it.
    CDlgIPCParamSetting dialog(this);
    dialog.Open(device.GetGuid(), login);
    dialog.DoModal();
    return dialog.LoginFailed() ? IDS_CANNOT_LOGIN : 0;
  }
  const int shown = CF_Login(info.GetIP().c_str(), info.GetUserName().c_str(), info.GetPwd().c_str(),
                             uint16_t(info.GetPort()), GetLanguageId(), 0);
  return shown ? 0 : IDS_CANNOT_LOGIN;
}

// The page's own trees keep what was expanded and selected across the rebuild.
void CDlgDevMgr::DeviceTreesChanged() {
  std::set<const void*> expanded;
  for (QTreeWidgetItemIterator it(m_deviceTree); *it; ++it)
    if ((*it)->isExpanded() && DeviceNodeOf(*it)) expanded.insert(DeviceNodeOf(*it));
  const DeviceSelection selected = SelectedDevice();
  BuildDeviceTree(m_deviceTree);
  for (QTreeWidgetItemIterator it(m_deviceTree); *it; ++it) {
    DeviceTreeNode* node = DeviceNodeOf(*it);
    if (node && expanded.count(node)) (*it)->setExpanded(true);
    const bool isSelected = node ? node == selected.node && !selected.IsChannel()
                                 : DeviceNodeOf((*it)->parent()) == selected.node && ChannelNumberOf(*it) == selected.channel;
    if (selected.node && isSelected) m_deviceTree->setCurrentItem(*it);
  }
  RefreshRegisteredDeviceTrees();
}

void CDlgDevMgr::GroupTreesChanged() {
  GroupTreeNode* selected = SelectedGroupNode();
  RebuildGroupTree(m_groupTree);
  for (QTreeWidgetItemIterator it(m_groupTree); *it; ++it)
    if (selected && GroupNodeOf(*it) == selected) m_groupTree->setCurrentItem(*it);
  RefreshRegisteredGroupTrees();
}
