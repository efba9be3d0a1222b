#include "view/DlgPreview.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QResizeEvent>
#include <algorithm>

#include "Hollin/Notices.h"
#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "controls/TaskbarNotifier.h"
#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "devices/TreeCtrlTarget.h"
#include "plat/controlid.h"
#include "plat/text.h"
#include "shell/AppMessages.h"
#include "shell/DeviceNote.h"
#include "shell/Language.h"
#include "shell/Singleton.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"
#include "view/CyclePreview.h"
#include "view/DlgDivScreen.h"
#include "view/DlgCruise.h"
#include "view/DlgPTZ.h"
#include "view/DlgPresetPoint.h"
#include "view/DlgVideoParam.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"
#include "view/SystemBridge.h"
#include "view/ViewMessages.h"

namespace {

constexpr uint32_t kFullScreenNotice = 1040;  // to the main window: 0 entered, 5 left
constexpr int kTabWidth = 90;
constexpr int kTabHeight = 26;
constexpr int kPanelBoxHeight = 220;

// The device layer's notices (a camera refusing more connections) go to the user; a recording
// ended by its disk is told in the program's own words, in the user's language.
void ShowDevNotice(HWND, const char* text, const char*) {
  if (text == hollin::kRecordFailedText) Notice(IDS_RECORD_WRITE_FAILED);
  else if (text) UiService().Notice(plat::gbkToUtf16(text));
}

// Colours by palette: the trees and the list keep the application's style.
// The page's cycle side: the cycle preview manager.
class CycleSide : public IPreviewCycles {
 public:
  int GetRunCount() override { return M()->GetRunCount(); }
  bool HasWindow(int window) override { return M()->HasWindow(window); }
  void StopByWindow(int window) override { M()->StopByWindow(window); }
  int WindowOfName(const std::u16string& group) override {
    const CCyclePreviewNode* node = M()->FindByName(group);
    return node ? node->GetWindowIndex() : -1;
  }
  void StopByName(const std::u16string& group) override { M()->StopByName(group); }
  bool AddChannelToCycle(const std::u16string& group, int window, int interval, CDevice* device,
                         int channel) override {
    return M()->AddChannelToCycle(group, window, interval, device, channel) == 1;
  }
  void ResumeByWindow(int window) override { M()->ResumeByWindow(window); }
  void DeleteAll() override { M()->DeleteAll(); }
  void AddGroupWindow(int window) override { M()->AddGroupWindow(window); }

 private:
  static CCyclePreviewManager* M() { return CCyclePreviewManager::GetInstance(); }
};

void PlayWndEventToPage(CDevice* device, int channel, int event, void* page) {
  if (page) static_cast<CPreviewController*>(page)->OnPlayWndEvent(device, channel, event);
}

void StyleList(QTreeWidget& tree, const QColor& text) {
  QPalette palette = tree.palette();
  palette.setColor(QPalette::Base, QColor(78, 86, 97));
  palette.setColor(QPalette::Window, QColor(78, 86, 97));
  palette.setColor(QPalette::Text, text);
  tree.setPalette(palette);
}

}  // namespace

CDlgPreview::CDlgPreview() : CPageDialog(kTemplateId) {
  plat::Named(&m_deviceTree, kDeviceTreeId);
  plat::Named(&m_groupTree, kGroupTreeId);
  plat::Named(&m_alarmList, kAlarmListId);
  m_deviceTree.setHeaderHidden(true);
  m_groupTree.setHeaderHidden(true);
  m_controller = std::make_unique<CPreviewController>(&m_deviceTree, &m_groupTree, &m_alarmList);
  CPreviewController::Host& host = m_controller->GetHost();
  host.startTimer = [this](int id, int ms, bool once) { StartTimer(id, ms, once); };
  host.killTimer = [this](int id) { KillTimer(id); };
}

CDlgPreview::~CDlgPreview() {
  // The trees die with the page's members: their viewports must not reach eventFilter then.
  for (QTreeWidget* tree : {&m_deviceTree, &m_groupTree}) tree->viewport()->removeEventFilter(this);
  if (m_playScreen) {
    // The open previews are saved while they still run, then stopped.
    m_controller->Shutdown();
    m_controller->SetCycles(nullptr);
    if (SingletonAccess<CCyclePreviewManager>::HasInstance()) {
      CCyclePreviewManager* cycles = CCyclePreviewManager::GetInstance();
      cycles->DeleteAll();
      cycles->SetPage(0, nullptr, nullptr);
      cycles->SetPlayScreen(nullptr);
    }
    if (SingletonAccess<CPreviewManager>::HasInstance() &&
        CPreviewManager::GetInstance()->GetPlayScreen() == m_playScreen)
      CPreviewManager::GetInstance()->SetPlayScreen(nullptr);
    if (GetPreviewPageWindow() == GetSafeHwnd()) SetPreviewPageWindow(0);
    SetDevNoticeSink(nullptr);
  }
  for (QTimer* t : m_timers) delete t;
  m_timers.clear();
  // The trees and the list are members: take them out of the page's children first.
  m_deviceTree.setParent(nullptr);
  m_groupTree.setParent(nullptr);
  m_alarmList.setParent(nullptr);
}

CBitmapButtonEx* CDlgPreview::MakeButton(int id, int normal, int hover, int pressed, uint32_t tip) {
  auto* button = new CBitmapButtonEx(this, id);
  plat::Named(button, id);
  button->LoadImageResources(normal, hover, pressed);
  button->SizeToImage();
  button->setToolTip(Text(tip));
  connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  m_buttons.insert(id, button);
  return button;
}

void CDlgPreview::SetChecked(int id, bool on) {
  CBitmapButtonEx* button = m_buttons.value(id);
  if (!button || !m_tabImages.contains(id)) return;
  const auto [off, checked] = m_tabImages.value(id);
  const int image = on ? checked : off;
  button->LoadImageResources(image, image, checked);
  button->setProperty("checked", on);
}

bool CDlgPreview::OnInitDialog() {
  // The alarm list: time and event.
  m_alarmList.setParent(this);
  m_alarmList.setColumnCount(2);
  m_alarmList.setRootIsDecorated(false);
  m_alarmList.setSelectionBehavior(QAbstractItemView::SelectRows);
  m_alarmList.setHeaderLabels({Text(IDS_TIME), Text(IDS_ALARM_EVENT)});
  m_alarmList.setColumnWidth(0, 200);
  m_alarmList.header()->setStretchLastSection(true);
  StyleList(m_alarmList, QColor(0, 255, 0));

  // The box of the side panels: the PTZ, preset, cruise and video parameter panels go here.
  m_panelBox = new QFrame(this);
  plat::Named(m_panelBox, kPanelBoxId);
  m_panelBox->setAutoFillBackground(true);
  QPalette box = m_panelBox->palette();
  box.setColor(QPalette::Window, QColor(62, 69, 79));
  m_panelBox->setPalette(box);

  // The PTZ, preset and cruise panels act on the active window's channel.
  static CPreviewListPanelHost panelHost;
  m_ptzPanel = new CDlgPTZ(&panelHost);
  m_presetPanel = new CDlgPresetPoint(&panelHost);
  m_cruisePanel = new CDlgCruise(&panelHost);
  m_videoParam = new CDlgVideoParam;
  for (CPageDialog* panel : std::initializer_list<CPageDialog*>{m_ptzPanel, m_presetPanel, m_cruisePanel, m_videoParam})
    panel->Create(m_panelBox);
  m_controller->GetHost().panelBind = [this](int bound) {
    m_presetPanel->WindowProc(WM_PANEL_BIND, static_cast<uintptr_t>(bound), 0);
  };

  m_playScreen = new CPlayScreen(0, this);
  plat::Named(m_playScreen, CPlayScreen::kControlId);
  m_playScreen->show();
  CPreviewManager::GetInstance()->SetPlayScreen(m_playScreen);
  m_controller->SetPlayScreen(m_playScreen);
  m_cycles = std::make_unique<CycleSide>();
  CCyclePreviewManager::GetInstance()->SetPlayScreen(m_playScreen);
  CCyclePreviewManager::GetInstance()->SetPage(GetSafeHwnd(), &PlayWndEventToPage, m_controller.get());
  m_controller->SetCycles(m_cycles.get());
  m_controller->GetHost().bindVideoParam = [this](const std::u16string& guid, int channel) { m_videoParam->BindPreview(guid, channel); };
  SetPreviewPageWindow(GetSafeHwnd());
  SetDevNoticeSink(&ShowDevNotice);
  // The program's notices need a window that lives as long as the pages (the login
  // dialog's went with it; an automatic login made none).
  CTaskbarNotifier::GetInstance()->CreateIfNeeded(this);

  LoadPngResource(&m_barImage, 6001);
  LoadPngResource(&m_barLogo, 6910);
  LoadPngResource(&m_barStrip, 6003);
  QImage panel;
  if (LoadPngResource(&panel, 222)) m_panelWidth = panel.width();

  const bool english = GetLanguageId() == 9;
  const int base = english ? 10000 : 0;
  m_tabImages.insert(ID_TAB_DEVICES, {base + 6095, base + 6093});
  m_tabImages.insert(ID_TAB_GROUPS, {base + 6098, base + 6096});
  m_tabImages.insert(ID_PANEL_PTZ, {6041, 6039});
  m_tabImages.insert(ID_PANEL_PRESETS, {6038, 6036});
  m_tabImages.insert(ID_PANEL_CRUISE, {6014, 6012});
  m_tabImages.insert(ID_PANEL_VIDEO, {6054, 6052});
  const std::pair<int, uint32_t> tabs[] = {{ID_TAB_DEVICES, IDS_DEVICE_TREE},  {ID_TAB_GROUPS, IDS_CHANNEL_GROUPS},
                                           {ID_PANEL_PTZ, IDS_PTZ_CONTROL},    {ID_PANEL_PRESETS, IDS_PRESET},
                                           {ID_PANEL_CRUISE, IDS_CRUISE_PATH}, {ID_PANEL_VIDEO, IDS_VIDEO_PARAMETERS}};
  for (const auto& [id, tip] : tabs) {
    MakeButton(id, m_tabImages[id].first, m_tabImages[id].first, m_tabImages[id].second, tip);
  }
  SetChecked(ID_TAB_DEVICES, true);
  SetChecked(ID_PANEL_PTZ, true);
  ShowSidePanel(ID_PANEL_PTZ);

  struct Bar {
    int id, normal, hover, pressed;
    uint32_t tip;
  };
  static const Bar kBar[] = {
      {ID_SNAPSHOT, 6841, 6840, 6839, IDS_SNAPSHOT},           {ID_RECORD, 6808, 6807, 6806, IDS_START_RECORD},
      {ID_PAUSE_CYCLES, 6799, 6798, 6797, IDS_PAUSE_CYCLES},   {ID_PREV_PAGE, 6805, 6804, 6803, IDS_PREVIOUS_PAGE},
      {ID_STOP_ALL, 6761, 6760, 6759, IDS_STOP_ALL_VIDEOS},    {ID_NEXT_PAGE, 6796, 6795, 6794, IDS_NEXT_PAGE},
      {ID_DIVIDE, 6790, 6789, 6788, IDS_SPLIT_LAYOUT},         {ID_FULLSCREEN, 6793, 6792, 6791, IDS_FULL_SCREEN},
      {ID_RESUME_CYCLES, 6811, 6810, 6809, IDS_RESUME_CYCLES},
      {ID_TOGGLE_LIST, 6844, 6843, 6842, IDS_TOGGLE_MESSAGE_LIST},
      {ID_CLEAR_ALARMS, 6787, 6786, 6785, IDS_CLEAR_ALARMS},
  };
  for (const Bar& b : kBar) MakeButton(b.id, b.normal, b.hover, b.pressed, b.tip);

  for (QTreeWidget* tree : {&m_deviceTree, &m_groupTree}) {
    tree->setParent(this);
    StyleList(*tree, QColor(220, 220, 220));
    tree->viewport()->installEventFilter(this);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
  }
  m_deviceTree.show();
  m_groupTree.hide();
  m_alarmList.show();
  m_panelBox->show();

  connect(&m_deviceTree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    m_deviceTree.setCurrentItem(item);
    // Regions, servers and devices carry item data; only channel nodes open.
    if (!DeviceNodeOf(item)) m_controller->OpenSelectedChannel();
  });
  connect(&m_deviceTree, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { m_controller->OnDeviceTreeClick(item); });
  connect(&m_groupTree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    m_groupTree.setCurrentItem(item);
    m_controller->OpenGroupSelection();
  });
  connect(&m_deviceTree, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    QTreeWidgetItem* item = m_deviceTree.itemAt(pos);
    if (!item) return;
    m_deviceTree.setCurrentItem(item);
    const QPersistentModelIndex menuNode(m_deviceTree.currentIndex());
    std::unique_ptr<QMenu> menu(BuildDeviceTreeMenu(item));
    if (!menu) return;
    QAction* chosen = menu->exec(m_deviceTree.viewport()->mapToGlobal(pos));
    // The command is for the node the menu opened on, even when a window's selection, posted
    // while the menu was open, selected another node meanwhile.
    if (!chosen || !menuNode.isValid()) return;
    m_deviceTree.setCurrentIndex(menuNode);
    OnCommand(chosen->data().toInt());
  });
  return true;
}

IDevCtlPtz* CDlgPreview::GetSelectedChannelPtz(int byName) {
  QTreeWidgetItem* node = nullptr;
  int channel = 0;
  std::u16string guid;
  if (!m_controller->GetSelectedChannelPreview(&node, &channel, &guid)) return nullptr;
  CDeviceManager* devices = CDeviceManager::GetInstance();
  CDevice* device = devices->FindDevice(guid, 1);
  if (!device) return nullptr;
  // Only the object made already: making one logs in, which belongs on the device's queue.
  return byName ? devices->GetChannelPtzByName(device->GetDevInfo().GetName(), channel, 0)
                : devices->GetChannelPtz(device, channel, 0);
}

QMenu* CDlgPreview::BuildDeviceTreeMenu(QTreeWidgetItem* item) {
  if (!item) return nullptr;
  auto add = [](QMenu* menu, uint32_t text, int command) {
    QAction* action = menu->addAction(Text(text));
    action->setData(command);
    plat::Named(action, command);
    return action;
  };
  const DeviceTreeNode* data = DeviceNodeOf(item);
  if (!data) {
    CChannel* active = m_controller->GetActiveChannel();
    if (!active) return nullptr;
    auto* menu = new QMenu(this);
    QAction* master = add(menu, IDS_MAIN_STREAM, ID_MAIN_STREAM);
    QAction* slave = add(menu, IDS_SUB_STREAM, ID_SUB_STREAM);
    master->setCheckable(true);
    slave->setCheckable(true);
    CDevice* device = active->GetDevice();
    IDevPreview* preview = device && device->IsLoggedIn() ? active->GetPreview(0) : nullptr;
    (preview && preview->GetStreamType() != 0 ? slave : master)->setChecked(true);
    // The video panel shows the channel the menu acts on.
    if (preview) m_videoParam->BindPreview(device->GetGuid(), active->GetChannelNo());
    return menu;
  }
  if (data->type != DeviceTreeNode::kDevice || !data->Device()) return nullptr;
  CDevice* device = data->Device();
  auto* menu = new QMenu(this);
  add(menu, device->GetAlarm(0) && device->GetAlarmState() != 0 ? IDS_DISARM : IDS_ARM, ID_ARM);
  const std::u16string& talking = m_controller->TalkDeviceName();
  QAction* talk = add(menu, talking.empty() ? IDS_OPEN_VOICE_TALK : IDS_CLOSE_VOICE_TALK, ID_VOICE_TALK);
  if (!talking.empty() && talking != device->GetDevInfo().GetName()) talk->setEnabled(false);
  return menu;
}

void CDlgPreview::OnCommand(int id) {
  switch (id) {
    case ID_FULLSCREEN: EnterFullScreen(); break;
    case ID_TAB_DEVICES:
      if (!m_controller->ShowDeviceTree()) break;
      m_deviceTree.show();
      m_groupTree.hide();
      SetChecked(ID_TAB_DEVICES, true);
      SetChecked(ID_TAB_GROUPS, false);
      break;
    case ID_TAB_GROUPS:
      if (!m_controller->ShowGroupTree()) break;
      m_groupTree.show();
      m_deviceTree.hide();
      SetChecked(ID_TAB_GROUPS, true);
      SetChecked(ID_TAB_DEVICES, false);
      break;
    case ID_PANEL_VIDEO: {
      CChannel* channel = m_controller->GetActiveChannel();
      IDevPreview* preview = channel ? channel->GetPreview(0) : nullptr;
      if (!preview || !preview->IsPreviewing()) break;
      m_videoParam->BindPreview(channel->GetDevice()->GetGuid(), channel->GetChannelNo());
      [[fallthrough]];
    }
    case ID_PANEL_PTZ:
    case ID_PANEL_PRESETS:
    case ID_PANEL_CRUISE:
      for (int tab : {ID_PANEL_PTZ, ID_PANEL_PRESETS, ID_PANEL_CRUISE, ID_PANEL_VIDEO}) SetChecked(tab, tab == id);
      ShowSidePanel(id);
      break;
    case ID_TOGGLE_LIST:
      m_listShown = !m_listShown;
      LayoutPage();
      update();
      break;
    case ID_STOP_ALL: m_controller->StopAllVideos(); break;
    case ID_RECORD: m_controller->ToggleRecord(); break;
    case ID_SNAPSHOT: m_controller->Snapshot(); break;
    case ID_DIVIDE: {
      if (!m_divScreen) {
        m_divScreen = new CDlgDivScreen(this);
        m_divScreen->SetPlayScreen(m_playScreen);
      }
      QPoint at = m_buttons.value(ID_DIVIDE) ? m_buttons.value(ID_DIVIDE)->pos() : QPoint();
      if (at.y() + m_divScreen->height() > height()) at.ry() -= m_divScreen->height() + 10;
      m_divScreen->move(at);
      m_divScreen->show();
      m_divScreen->raise();
      break;
    }
    case ID_PREV_PAGE: m_playScreen->PrevPage(m_playScreen->GetActiveIndex()); break;
    case ID_NEXT_PAGE: m_playScreen->NextPage(m_playScreen->GetActiveIndex()); break;
    case ID_CLEAR_ALARMS: m_controller->ClearAlarms(); break;
    case ID_MAIN_STREAM: m_controller->SetStreamType(0); break;
    case ID_SUB_STREAM: m_controller->SetStreamType(1); break;
    case ID_ARM: m_controller->OnArm(); break;
    case ID_VOICE_TALK: m_controller->OnVoiceTalk(); break;
    case ID_NOT_YET_1:
    case ID_NOT_YET_2: Notice(IDS_NOT_AVAILABLE_YET); break;
    case ID_RESUME_CYCLES: CCyclePreviewManager::GetInstance()->ResumeAll(); break;
    case ID_PAUSE_CYCLES: CCyclePreviewManager::GetInstance()->SuspendAll(); break;
    default: break;
  }
}

void CDlgPreview::StartTimer(int id, int ms, bool once) {
  QTimer*& timer = m_timers[id];
  if (!timer) {
    timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, this, [this, id] {
      // The refresh is a posted message, as the device page's tree changes are.
      if (id == CPreviewController::kRefreshTimer) plat::postMessage(GetSafeHwnd(), WM_REFRESH_TREE, 0, 0);
      else m_controller->OnTimer(id);
    });
  }
  timer->setSingleShot(once);
  timer->start(ms);
}

void CDlgPreview::KillTimer(int id) {
  if (QTimer* timer = m_timers.value(id)) timer->stop();
}

void CDlgPreview::ShowSidePanel(int tab) {
  m_ptzPanel->setVisible(tab == ID_PANEL_PTZ);
  m_presetPanel->setVisible(tab == ID_PANEL_PRESETS);
  m_cruisePanel->setVisible(tab == ID_PANEL_CRUISE);
  m_videoParam->setVisible(tab == ID_PANEL_VIDEO);
}

void CDlgPreview::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  if (!m_fullScreen) LayoutPage();
}

void CDlgPreview::LayoutPage() {
  const int w = width();
  const int h = height();
  const int listH = m_listShown ? kListHeight : 0;
  const int barTop = h - listH - kBarHeight;
  m_alarmList.setVisible(m_listShown && !m_fullScreen);
  // The event column takes what the time column leaves of the list's own width (the header
  // stretches it), so the list never scrolls sideways.
  if (m_listShown) m_alarmList.setGeometry(0, h - listH, w, listH);
  // The right column: tabs, the shown tree, the panel tabs and the panel box.
  const int colLeft = std::max(0, w - m_panelWidth);
  if (auto* b = m_buttons.value(ID_TAB_DEVICES)) b->setGeometry(colLeft, 0, kTabWidth, kTabHeight);
  if (auto* b = m_buttons.value(ID_TAB_GROUPS)) b->setGeometry(colLeft + kTabWidth, 0, kTabWidth, kTabHeight);
  const int boxTop = std::max(kTabHeight + 60, barTop - kPanelBoxHeight);
  const int panelTabTop = boxTop - 2 - kTabHeight;
  const int treeTop = kTabHeight + 10;
  const int treeBottom = std::max(treeTop + 20, panelTabTop - 15);
  m_deviceTree.setGeometry(colLeft, treeTop, m_panelWidth - 10, treeBottom - treeTop);
  m_groupTree.setGeometry(colLeft, treeTop, m_panelWidth - 10, treeBottom - treeTop);
  int x = colLeft + 4;
  for (int tab : {ID_PANEL_PTZ, ID_PANEL_PRESETS, ID_PANEL_CRUISE, ID_PANEL_VIDEO}) {
    if (auto* b = m_buttons.value(tab)) {
      b->move(x, panelTabTop);
      x += b->width() + 5;
    }
  }
  m_panelBox->setGeometry(colLeft, boxTop, m_panelWidth, std::max(0, barTop - boxTop));
  for (QWidget* panel : std::initializer_list<QWidget*>{m_ptzPanel, m_presetPanel, m_cruisePanel, m_videoParam})
    if (panel) panel->setGeometry(m_panelBox->rect());
  // The bar: snapshot first, then the row; list buttons at four fifths of the width.
  int bx = w / 2 - m_barLogo.width() / 2 + 175;
  const int by = barTop + 8;
  const std::pair<int, int> row[] = {{ID_SNAPSHOT, 0},   {ID_RECORD, 6},     {ID_PAUSE_CYCLES, 6},
                                     {ID_PREV_PAGE, 38}, {ID_STOP_ALL, 6},   {ID_NEXT_PAGE, 6},
                                     {ID_DIVIDE, 38},    {ID_FULLSCREEN, 6}, {ID_RESUME_CYCLES, 6}};
  for (const auto& [id, gap] : row) {
    auto* b = m_buttons.value(id);
    if (!b) continue;
    bx += gap;
    b->move(std::min(bx, std::max(0, w - b->width())), by);
    bx += b->width();
  }
  // The list's buttons at four fifths of the width, or after the row on a narrow page.
  int lx = std::max(w * 4 / 5, bx + 24);
  for (int id : {ID_TOGGLE_LIST, ID_CLEAR_ALARMS}) {
    if (auto* b = m_buttons.value(id)) {
      b->move(std::min(lx, std::max(0, w - b->width())), by);
      lx += b->width() + 6;
    }
  }
  if (m_playScreen) {
    m_playRect = QRect(0, 0, colLeft, std::max(0, barTop));
    const int active = m_playScreen->GetActiveIndex();
    m_playScreen->setGeometry(m_playRect);
    m_playScreen->SetMode(m_playScreen->GetLayoutMode(), 0);
    m_playScreen->SetActiveIndex(active, 0);
  }
  update();
}

void CDlgPreview::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(52, 59, 68));
  const int listH = m_listShown ? kListHeight : 0;
  const QRect bar(0, height() - listH - kBarHeight, width(), kBarHeight);
  if (m_fullScreen) return;
  if (!m_barImage.isNull()) p.drawImage(bar, m_barImage);
  if (!m_barLogo.isNull())
    p.drawImage(bar.center() - QPoint(m_barLogo.width() / 2, m_barLogo.height() / 2), m_barLogo);
  if (!m_barStrip.isNull() && m_barStrip.width() > 1)
    for (int x = 0; x < bar.width(); x += m_barStrip.width() - 1) p.drawImage(x, bar.top(), m_barStrip);
}

void CDlgPreview::ShowControls(bool show) {
  for (auto* b : m_buttons) b->setVisible(show);
  (m_controller->GetTreeMode() == 1 ? static_cast<QWidget&>(m_groupTree) : m_deviceTree).setVisible(show);
  m_panelBox->setVisible(show);
  m_alarmList.setVisible(show && m_listShown);
}

void CDlgPreview::EnterFullScreen() {
  if (m_fullScreen) return;
  m_fullScreen = true;
  m_fullScreenFlag = 1;
  ShowControls(false);
  const QRect full = m_paneRect.isValid() ? m_paneRect : QRect(QPoint(0, 0), size());
  if (m_paneRect.isValid()) setGeometry(full);
  m_playScreen->setGeometry(0, 0, full.width(), full.height());
  m_playScreen->SetMode(m_playScreen->GetLayoutMode(), 0);
  if (plat::WindowHandle parent = parentWidget() ? WindowHandleOf(parentWidget()) : 0)
    plat::postMessage(parent, kFullScreenNotice, 0, 0);
  if (window()) window()->activateWindow();
  setFocus();
}

void CDlgPreview::LeaveFullScreen() {
  if (!m_fullScreenFlag) return;
  m_fullScreenFlag = 0;
  m_fullScreen = false;
  if (m_paneRect2.isValid()) setGeometry(m_paneRect2);
  ShowControls(true);
  LayoutPage();
  if (plat::WindowHandle parent = parentWidget() ? WindowHandleOf(parentWidget()) : 0)
    plat::postMessage(parent, kFullScreenNotice, 5, 0);
}

void CDlgPreview::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    // Enter and Escape never end the page; Escape leaves the full screen.
    if (e->key() == Qt::Key_Escape) LeaveFullScreen();
    e->accept();
    return;
  }
  CPageDialog::keyPressEvent(e);
}

void CDlgPreview::BeginDrag(QTreeWidget* tree, QTreeWidgetItem* item) {
  if (!tree || !item) return;
  tree->scrollToItem(item);
  tree->setCurrentItem(item);
  m_dragTree = tree;
  m_dragKind = tree == &m_deviceTree ? 0 : (item->childCount() > 0 ? 1 : 2);
  QApplication::setOverrideCursor(Qt::DragMoveCursor);
}

bool CDlgPreview::EndDrag(const QPoint& globalPos) {
  if (!m_dragTree) return false;
  QApplication::restoreOverrideCursor();
  const int kind = m_dragKind;
  m_dragTree = nullptr;
  m_dragKind = -1;
  // The play window under the point among the listed, visible windows.
  int index = -1;
  for (QWidget* w : m_playScreen->ListedWindows()) {
    if (!w->isVisible() || !w->rect().contains(w->mapFromGlobal(globalPos))) continue;
    index = m_playScreen->FindIndexByHwnd(static_cast<CPlayWnd*>(w)->GetSafeHwnd());
    break;
  }
  if (index < 0) return false;
  m_playScreen->SetActiveIndex(index, 1);
  if (kind == 0) {
    if (DeviceNodeOf(m_deviceTree.currentItem())) {
      m_controller->Notice(IDS_CANNOT_PREVIEW);
      return true;
    }
    m_controller->OpenSelectedChannel();
  } else if (kind == 1) {
    m_controller->OpenGroupSelection();
  } else {
    m_controller->OpenGroupMember(m_groupTree.currentItem());
  }
  return true;
}

bool CDlgPreview::eventFilter(QObject* watched, QEvent* event) {
  QTreeWidget* tree = watched == m_deviceTree.viewport() ? &m_deviceTree
                      : watched == m_groupTree.viewport() ? &m_groupTree
                                                          : nullptr;
  // Only mouse events are looked at; the viewport gets many others.
  auto* mouse = tree ? dynamic_cast<QMouseEvent*>(event) : nullptr;
  if (!mouse) return CPageDialog::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      if (mouse->button() == Qt::LeftButton) {
        m_pressPos = mouse->position().toPoint();
        m_pressItem = tree->itemAt(m_pressPos);
      }
      break;
    case QEvent::MouseMove:
      if (!m_dragTree && m_pressItem && (mouse->buttons() & Qt::LeftButton) &&
          (mouse->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
        BeginDrag(tree, m_pressItem);
      if (m_dragTree) return true;
      break;
    case QEvent::MouseButtonRelease:
      m_pressItem = nullptr;
      if (m_dragTree) {
        EndDrag(mouse->globalPosition().toPoint());
        return true;
      }
      break;
    default: break;
  }
  return CPageDialog::eventFilter(watched, event);
}

bool CDlgPreview::OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result) {
  result = 0;
  switch (message) {
    case WM_DEVICE_ALARM: result = OnDeviceAlarm(reinterpret_cast<MsgAlarmInfo*>(wParam)); return true;
    case WM_DEVICE_EXCEPTION: result = OnDeviceException(static_cast<int>(wParam)); return true;
    case WM_DEVICE_REBOOT:
    case WM_DEVICE_ARMING:
    case WM_CYCLE_SWITCH:
    case WM_CYCLE_NO_PREVIEW: {
      // These name a note (device GUID and channel), never a device pointer; a device deleted
      // since the post is not found and the message is dropped.
      DeviceNote note;
      if (!TakeDeviceNote(wParam, &note)) return true;
      CDevice* device = CDeviceManager::GetInstance()->FindDevice(note.deviceGuid, 1);
      if (!device) return true;
      if (message == WM_DEVICE_REBOOT) result = OnDeviceReboot(device);
      else if (message == WM_DEVICE_ARMING) result = m_controller->OnDeviceArming(device, static_cast<int>(lParam));
      else if (message == WM_CYCLE_SWITCH)
        result = m_controller->OnCycleSwitch(device, CycleSwitchValue(note.channel, note.alarmMark));
      else result = m_controller->OnCycleNoPreview(device);
      return true;
    }
    case WM_PLAYWND_SELECTED: result = m_controller->OnPlayWndSelected(static_cast<int>(wParam)); return true;
    case WM_REFRESH_TREE: result = m_controller->OnRefreshTree(); return true;
    case WM_PLAYWND_RECORD: OnCommand(ID_RECORD); return true;
    case WM_PLAYWND_SNAPSHOT: OnCommand(ID_SNAPSHOT); return true;
    case WM_NOTIFIER_CLICKED: CTaskbarNotifier::GetInstance()->Hide(); return true;
    // Esc reaches the page from the main window whichever widget holds the focus (a video
    // window the user clicked keeps the key to itself): it leaves full screen.
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) LeaveFullScreen();
      return true;
    default: return false;
  }
}
