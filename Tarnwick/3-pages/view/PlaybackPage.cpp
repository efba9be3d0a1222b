#include "view/PlaybackPage.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QLocale>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QTextCharFormat>
#include <QResizeEvent>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "controls/TaskbarNotifier.h"
#include "controls/SliderControlEx.h"
#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "devices/TreeCtrlTarget.h"
#include "plat/clock.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "shell/UiService.h"
#include "view/PlayScreen.h"
#include "view/PlaybackNames.h"
#include "view/ViewMessages.h"

namespace {

constexpr uint32_t IDS_SELECT_CHANNEL = 8252;
constexpr uint32_t IDS_SEARCHING = 8533;
constexpr uint32_t IDS_SEARCH_START_FAILED = 8367;
constexpr uint32_t IDS_SNAPSHOT_DONE = 8350;
constexpr uint32_t IDS_SNAPSHOT_FAILED = 8351;
constexpr uint32_t IDS_PLAY = 8152;
constexpr uint32_t IDS_PAUSE = 8592;
constexpr int kSearchJoinMs = 120000;

QColor Rgb(int r, int g, int b) { return QColor(r, g, b); }

// The live pages, told before any device is released. Pages are made, used and destroyed on
// the UI thread, where devices are released too.
std::recursive_mutex g_pagesMutex;
std::vector<CPlaybackPageBase*> g_pages;

bool LaterDay(const TIME& a, const TIME& b) {
  if (a.year != b.year) return a.year > b.year;
  if (a.month != b.month) return a.month > b.month;
  return a.day > b.day;
}

}  // namespace

ScheduleCell CellOf(const FoundFile& f) {
  if (LaterDay(f.end, f.start))
    return ScheduleCell(f.start.hour, f.start.minute, f.start.second, 24, 0, 0, f.name);
  return ScheduleCell(f.start.hour, f.start.minute, f.start.second, f.end.hour, f.end.minute,
                      f.end.second, f.name);
}

void PurgePlaybackPages(const std::u16string& deviceGuid) {
  std::lock_guard<std::recursive_mutex> lock(g_pagesMutex);
  for (CPlaybackPageBase* page : std::vector<CPlaybackPageBase*>(g_pages)) page->OnDeviceReleased(deviceGuid);
}

CPlaybackPageBase::CPlaybackPageBase(int templateId, bool withDownload)
    : CPageDialog(templateId), m_withDownload(withDownload) {
  m_deviceTree.setObjectName(QString::number(IDC_TREE));
  m_deviceTree.setHeaderHidden(true);
  AddDeviceReleaseHook(&PurgePlaybackPages);
  std::lock_guard<std::recursive_mutex> lock(g_pagesMutex);
  g_pages.push_back(this);
}

CPlaybackPageBase::~CPlaybackPageBase() {
  {
    std::lock_guard<std::recursive_mutex> lock(g_pagesMutex);
    g_pages.erase(std::remove(g_pages.begin(), g_pages.end(), this), g_pages.end());
  }
  StopWorker();
  m_deviceTree.setParent(nullptr);
}

void CPlaybackPageBase::StopWorker() {
  {
    std::lock_guard<std::mutex> lock(m_abortMutex);
    m_cancel = true;
    if (m_abort) m_abort();
  }
  if (m_worker.joinable()) m_worker.join();
}

bool CPlaybackPageBase::SetAbort(std::function<void()> abort) {
  std::lock_guard<std::mutex> lock(m_abortMutex);
  if (abort && m_cancel) return false;
  m_abort = std::move(abort);
  return true;
}

void CPlaybackPageBase::OnDeviceReleased(const std::u16string& deviceGuid) {
  // The worker may be using the device's login: it ends before the login goes. Its end
  // message still comes and is handled as a cancelled search's.
  if (m_worker.joinable() && m_searchDevice == deviceGuid) StopWorker();
  StopDeviceWork(deviceGuid);
}

bool CPlaybackPageBase::OnInitDialog() {
  m_deviceTree.setParent(this);
  m_deviceTree.setStyleSheet(QStringLiteral("QTreeWidget { background: rgb(78, 86, 97); color: white; }"));
  m_deviceTree.show();
  MakeControls();
  LayOut();
  return true;
}

void CPlaybackPageBase::MakeControls() {
  auto button = [this](int id, int normal, int hover, int pressed, uint32_t tip) {
    auto* b = new CBitmapButtonEx(this, id);
    b->setObjectName(QString::number(id));
    b->LoadImageResources(normal, hover, pressed);
    b->SizeToImage();
    if (tip) b->setToolTip(QString::fromStdU16String(LoadResString(tip)));
    return b;
  };
  auto stateButton = [this](int id, int n0, int p0, int n1, int p1, uint32_t tip) {
    auto* b = new CStateButton(this, id);
    b->setObjectName(QString::number(id));
    b->LoadStateImageResources(n0, p0, n1, p1);
    b->SizeToImage();
    b->setToolTip(QString::fromStdU16String(LoadResString(tip)));
    return b;
  };
  auto slider = [this](int id, int thumb, int maximum) {
    auto* s = new CSliderControlEx(this);
    s->setObjectName(QString::number(id));
    s->setOrientation(Qt::Horizontal);
    s->LoadThumbImageResource(thumb);
    s->setRange(0, maximum);
    return s;
  };

  m_playScreen = new CPlayScreen(1, this);
  m_playScreen->setObjectName(QString::number(CPlayScreen::kControlId));
  m_playScreen->SetMode(0, 0);
  m_playScreen->show();

  m_typeLabel = new QLabel(QString::fromStdU16String(LoadResString(8018)), this);
  m_typeLabel->setObjectName(QString::number(IDC_TYPE_LABEL));
  m_typeLabel->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
  m_typeCombo = new QComboBox(this);
  m_typeCombo->setObjectName(QString::number(IDC_TYPE));

  const bool english = GetLanguageId() == 9;
  const int findBase = english ? 16741 : 6741;
  m_btnFind = button(IDC_FIND, findBase + 2, findBase + 1, findBase, 8151);
  m_position = slider(IDC_POSITION, 6740, 100);
  m_btnPlay = stateButton(IDC_PLAY, 6859, 6860, 6886, 6887, 8152);
  m_btnStop = button(IDC_STOP, 6761, 6760, 6759, 8153);
  m_btnSlow = button(IDC_SLOW, 6746, 6745, 6744, 8330);
  m_btnFast = button(IDC_FAST, 6733, 6732, 6731, 8329);
  m_btnFrameBack = button(IDC_FRAME_BACK, 6755, 6754, 6753, 8190);
  m_btnFrameForward = button(IDC_FRAME_FORWARD, 6758, 6757, 6756, 8191);
  m_btnSnapshot = button(IDC_SNAPSHOT, 6747, 6749, 6748, 8048);
  m_btnSound = stateButton(IDC_SOUND, 217, 219, 6752, 6751, 8331);
  m_volume = slider(IDC_VOLUME, 6762, 100);
  if (m_withDownload) {
    m_btnDownload = button(IDC_DOWNLOAD, 6730, 6729, 6728, 8346);
    m_btnProgress = new CBitmapButtonEx(this, IDC_PROGRESS);
    m_btnProgress->setObjectName(QString::number(IDC_PROGRESS));
    m_btnProgress->LoadImageResources(6898, 6898, 6898, 0, 0, 1);
    m_btnProgress->SizeToImage();
    m_btnProgress->setText(QStringLiteral("0%"));
  }

  m_calendar = new QCalendarWidget(this);
  m_calendar->setObjectName(QString::number(IDC_CALENDAR));
  m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  // Month and day names in the language of the interface, whatever the system's locale.
  m_calendar->setLocale(GetLanguageId() == LANGUAGE_ID_ENGLISH ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                               : QLocale(QLocale::Chinese, QLocale::China));
  // Weeks start on Monday in both languages; setting it lays the grid and its selection out
  // again for the new locale.
  m_calendar->setFirstDayOfWeek(Qt::Monday);
  m_calendar->setStyleSheet(QStringLiteral(
      "QCalendarWidget QWidget { background: rgb(78, 86, 97); color: white; }"
      "QCalendarWidget QAbstractItemView:disabled { color: rgb(45, 45, 46); }"
      "QCalendarWidget QWidget#qt_calendar_navigationbar { background: rgb(28, 29, 31); }"
      "QCalendarWidget QToolButton { color: white; }"));
  QTextCharFormat header;
  header.setForeground(Qt::white);
  header.setBackground(Rgb(28, 29, 31));
  m_calendar->setHeaderTextFormat(header);

  m_timeBar = new CScheduleCtrl(this);
  m_timeBar->SetButtonImages(CScheduleCtrl::kScrollBack, 6027, 6026, 6025);
  m_timeBar->SetButtonImages(CScheduleCtrl::kScrollForward, 6862, 6863, 6864);
  m_timeBar->SetButtonImages(CScheduleCtrl::kZoomIn, 6051, 6050, 6049);
  m_timeBar->SetButtonImages(CScheduleCtrl::kZoomOut, 6021, 6020, 6016);

  connect(m_btnFind, &QAbstractButton::clicked, this, [this] {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    OnFind();
    QApplication::restoreOverrideCursor();
  });
  connect(m_btnPlay, &QAbstractButton::clicked, this, [this] { OnPlay(); });
  connect(m_btnStop, &QAbstractButton::clicked, this, [this] { OnStop(); });
  connect(m_btnSlow, &QAbstractButton::clicked, this, [this] { OnSlow(); });
  connect(m_btnFast, &QAbstractButton::clicked, this, [this] { OnFast(); });
  connect(m_btnFrameBack, &QAbstractButton::clicked, this, [this] { OnFrameBack(); });
  connect(m_btnFrameForward, &QAbstractButton::clicked, this, [this] { OnFrameForward(); });
  connect(m_btnSnapshot, &QAbstractButton::clicked, this, [this] { OnSnapshot(); });
  connect(m_btnSound, &QAbstractButton::clicked, this, [this] { OnSound(); });
  if (m_btnDownload) connect(m_btnDownload, &QAbstractButton::clicked, this, [this] { OnDownload(); });
  connect(m_position, &QSlider::sliderMoved, this, [this](int v) { OnPositionMoved(v); });
  connect(m_volume, &QSlider::sliderMoved, this, [this](int v) { OnVolumeMoved(v); });
}

void CPlaybackPageBase::LayOut() {
  const int w = width(), h = height();
  if (!m_timeBar || w <= 0 || h <= 0) return;
  QImage strip, centre;
  LoadPngResource(&strip, kStripImage);
  LoadPngResource(&centre, kStripCentreImage);
  const int stripH = strip.isNull() ? 40 : strip.height();
  const int centreW = centre.isNull() ? 200 : centre.width();
  const int stripTop = h - kTimeBarHeight - stripH;
  const int colLeft = w - kRightColumn;

  // Right column: tree, calendar, type label and combo, Find.
  const QSize cal(kRightColumn - 10, 180);
  const int treeBottom = std::max(40, h - cal.height() - stripH - 168);
  m_deviceTree.setGeometry(colLeft, 0, kRightColumn, treeBottom);
  m_calendar->setGeometry(colLeft + 5, treeBottom + 9, cal.width(), cal.height());
  const int labelY = treeBottom + 9 + cal.height() + 27;
  const QSize label = m_typeLabel->sizeHint();
  m_typeLabel->setGeometry(colLeft + 5, labelY, label.width(), label.height());
  const int comboH = m_typeCombo->sizeHint().height();
  const int comboLeft = colLeft + 10 + label.width();
  const int comboTop = labelY + label.height() / 2 - comboH / 2;
  m_typeCombo->setGeometry(comboLeft, comboTop, w - comboLeft - 5, comboH);
  m_btnFind->move(w - kRightColumn / 2 - m_btnFind->width() / 2, comboTop + comboH + 18);

  m_playScreen->setGeometry(0, 0, std::max(0, w - 279), std::max(0, stripTop));
  m_playScreen->SetMode(0, 0);
  m_timeBar->setGeometry(0, h - kTimeBarHeight, w, kTimeBarHeight);

  // The control strip: position slider left of the centre image, the buttons right of the mark
  // it carries. The image sits in the middle unless its buttons and volume would then run into
  // the download buttons of the right column: on a narrower page it moves left of them.
  const int centreY = stripTop + stripH / 2;
  auto placeStrip = [&](int plateLeft) {
    m_btnPlay->move(plateLeft + 180, centreY - m_btnPlay->height() / 2);
    m_btnStop->PlaceBeside(m_btnPlay, 1, -1);
    m_btnSlow->PlaceBeside(m_btnStop, 18, -1);
    m_btnFast->PlaceBeside(m_btnSlow, 1, -1);
    m_btnFrameBack->PlaceBeside(m_btnFast, 18, -1);
    m_btnFrameForward->PlaceBeside(m_btnFrameBack, 1, -1);
    m_btnSnapshot->PlaceBeside(m_btnFrameForward, 18, -1);
    m_btnSound->PlaceBeside(m_btnSnapshot, 1, -1);
    m_volume->setGeometry(m_btnSound->geometry().right() + 4, centreY - 10, 100, 20);
  };
  m_plateLeft = w / 2 - centreW / 2;
  placeStrip(m_plateLeft);
  const int overrun = m_btnDownload ? m_volume->geometry().right() + 10 - colLeft : 0;
  if (overrun > 0) {
    m_plateLeft = std::max(0, m_plateLeft - overrun);
    placeStrip(m_plateLeft);
  }
  m_position->setGeometry(0, stripTop + (stripH - 20) / 2, std::max(0, m_plateLeft - 10), 20);
  if (m_btnDownload) {
    m_btnDownload->move(colLeft, centreY - m_btnDownload->height() / 2);
    m_btnProgress->move(m_btnDownload->geometry().right() + 11, centreY - m_btnProgress->height() / 2);
  }
}

void CPlaybackPageBase::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  LayOut();
}

void CPlaybackPageBase::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Rgb(52, 59, 68));
  QImage strip, centre;
  if (!LoadPngResource(&strip, kStripImage)) return;
  const int top = height() - kTimeBarHeight - strip.height();
  p.drawImage(QRect(0, top, width(), strip.height()), strip);
  if (LoadPngResource(&centre, kStripCentreImage))
    p.drawImage(QPoint(m_plateLeft, top + (strip.height() - centre.height()) / 2), centre);
}

bool CPlaybackPageBase::OnMessage(uint32_t message, uintptr_t wParam, intptr_t, intptr_t& result) {
  switch (message) {
    case WM_SCHEDULE_CELL_CLICKED:
      OnCellClicked(static_cast<int>(wParam));
      result = 0;
      return true;
    case WM_PLAYBACK_FOUND:
      DrainFound();
      return true;
    case WM_PLAYBACK_SEARCH_END:
      DrainFound();
      if (m_worker.joinable()) m_worker.join();
      m_searching = false;
      m_gate.Set();
      if (wParam) Notice(static_cast<uint32_t>(wParam));
      OnSearchEnded();
      return true;
    case WM_NOTIFIER_CLICKED:
      CTaskbarNotifier::GetInstance()->Hide();
      result = 0;
      return true;
    default:
      return false;
  }
}

void CPlaybackPageBase::DrainFound() {
  std::deque<FoundFile> batch;
  {
    std::lock_guard<std::mutex> lock(m_foundMutex);
    batch.swap(m_found);
  }
  for (const FoundFile& f : batch) {
    OnFileFound(f);
    m_timeBar->AddCell(CellOf(f));
  }
}

bool CPlaybackPageBase::Found(FoundFile file) {
  if (m_cancel) return false;
  {
    std::lock_guard<std::mutex> lock(m_foundMutex);
    m_found.push_back(std::move(file));
  }
  plat::postMessage(GetSafeHwnd(), WM_PLAYBACK_FOUND);
  return true;
}

bool CPlaybackPageBase::StartSearch(const std::u16string& deviceGuid, std::function<int()> work) {
  if (!m_gate.Wait(10)) {
    Notice(IDS_SEARCHING);
    return false;
  }
  if (m_worker.joinable()) m_worker.join();  // the last search has ended: its gate was given back
  {
    std::lock_guard<std::mutex> lock(m_foundMutex);
    m_found.clear();
  }
  m_timeBar->ClearCells();
  m_cancel = false;
  m_abort = nullptr;
  m_searchDevice = deviceGuid;
  m_searching = true;
  const plat::WindowHandle page = GetSafeHwnd();
  try {
    m_worker = std::thread([this, page, work = std::move(work)] {
      int notice = 0;
      try {
        notice = work();
      } catch (...) {
        notice = static_cast<int>(IDS_SEARCH_START_FAILED);
      }
      if (m_cancel) notice = 0;
      // The page handles the end (join, gate, notice) on its own thread.
      if (!plat::postMessage(page, WM_PLAYBACK_SEARCH_END, static_cast<uintptr_t>(notice))) m_gate.Set();
    });
  } catch (const std::system_error&) {
    m_searching = false;
    Notice(IDS_SEARCH_START_FAILED);
    m_gate.Set();
    return false;
  }
  m_timeBar->update();
  return true;
}

void CPlaybackPageBase::FinishSearch() {
  const int64_t deadline = plat::monotonicMs() + kSearchJoinMs;
  while (m_searching && plat::monotonicMs() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    plat::sleepMs(5);
  }
}

bool CPlaybackPageBase::ChooseChannel(CDevice*& device, int& channelIndex) {
  QTreeWidgetItem* item = m_deviceTree.currentItem();
  if (!item || !item->isSelected() || DeviceNodeOf(item) || !item->parent()) {
    Notice(IDS_SELECT_CHANNEL);
    return false;
  }
  DeviceTreeNode* node = DeviceNodeOf(item->parent());
  CDevice* d = node ? node->Device() : nullptr;
  if (!d) return false;
  // Channel items end in their 1-based number: every trailing digit is read, so channel 100
  // and up is not cut to its last two.
  const std::u16string text = item->text(0).toStdU16String();
  const size_t minFirst = text.size() >= 3 ? text.size() - 3 : 0;
  size_t first = text.size();
  while (first > minFirst && text[first - 1] >= u'0' && text[first - 1] <= u'9') --first;
  if (first == text.size()) {
    Notice(IDS_SELECT_CHANNEL);
    return false;
  }
  int number = 0;
  for (size_t i = first; i < text.size(); ++i) number = number * 10 + (text[i] - u'0');
  if (number < 1) {
    Notice(IDS_SELECT_CHANNEL);
    return false;
  }
  device = d;
  channelIndex = number - 1;
  return true;
}

plat::WindowHandle CPlaybackPageBase::PlayWindow() const {
  if (!m_playScreen) return 0;
  CPlayWnd* w = m_playScreen->GetWnd(m_playScreen->GetActiveIndex());
  return w ? w->GetSafeHwnd() : 0;
}

void CPlaybackPageBase::AddTypeRow(int textId, int data) {
  m_typeCombo->addItem(QString::fromStdU16String(LoadResString(static_cast<uint32_t>(textId))), data);
}

int CPlaybackPageBase::CurrentTypeData() const {
  // The combo belongs to the UI thread; workers get the value handed over when they start.
  return m_typeCombo->currentData().toInt();
}

void CPlaybackPageBase::Notice(uint32_t id, const std::u16string& tail) {
  UiService().Notice(LoadResString(id) + tail);
}

CDevice* CPlaybackPageBase::OriginDevice(const SearchOrigin& origin) {
  if (!origin.Valid()) return nullptr;
  return CDeviceManager::GetInstance()->FindDevice(origin.deviceGuid, 1);
}

void CPlaybackPageBase::SetPlayButton(int state) {
  m_btnPlay->SetState(state);
  m_btnPlay->setToolTip(QString::fromStdU16String(LoadResString(state ? IDS_PAUSE : IDS_PLAY)));
}

void CPlaybackPageBase::SetPlayState(int state) {
  m_state = state;
  SetPlayButton(state == 0 ? 1 : 0);
}

void CPlaybackPageBase::ClearSlot() {
  if (plat::WindowHandle wnd = PlayWindow()) plat::postMessage(wnd, WM_PREVIEW_STOPPED, 0, 0);
  m_state = -1;
  m_playingOrigin = SearchOrigin{};
  SetPlayButton(0);
  m_btnSound->SetState(0);
  m_sound = 0;
}

void CPlaybackPageBase::OnStop() {
  StopSlot();
  SetPlayButton(0);
  m_position->setValue(0);
}

void CPlaybackPageBase::OnSnapshot() {
  if (!HasSlot()) return;
  std::u16string folder;
  const bool haveFolder = CLocalSettings::GetInstance()->GetRecordPath(folder) && !folder.empty();
  CDevice* device = OriginDevice(m_playingOrigin);
  // Without a folder the picture would land at the root of the file system.
  if (!haveFolder || !device) {
    Notice(IDS_SNAPSHOT_FAILED);
    return;
  }
  char tail[64];
  std::snprintf(tail, sizeof tail, "_%02d_%ld.bmp", m_playingOrigin.channelIndex + 1,
                static_cast<long>(plat::tickCount()));
  const std::u16string path =
      folder + playback_names::FileNamePart(device->GetDevInfo().GetIP()) + plat::utf8ToUtf16(tail);
  const std::string native = plat::toNativePath(path);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(native).parent_path(), ec);
  Notice(SlotCapture(native.c_str()) ? IDS_SNAPSHOT_DONE : IDS_SNAPSHOT_FAILED, path);
}

void CPlaybackPageBase::OnSound() {
  if (!HasSlot()) return;
  if (m_sound) {
    SlotSound(false);
    m_sound = 0;
    m_btnSound->SetState(0);
    return;
  }
  SlotSound(true);
  // The slider (whose range is the player's) shows the loudest volume: that is what is sent,
  // so what plays is what it shows.
  const int loudest = m_volume->maximum();
  m_volume->setValue(loudest);
  SlotVolume(loudest);
  m_sound = 1;
  m_btnSound->SetState(1);
}
