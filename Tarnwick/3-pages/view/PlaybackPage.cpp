#include "view/PlaybackPage.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QResizeEvent>
#include <QTextCharFormat>
#include <algorithm>

#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "controls/SliderControlEx.h"
#include "controls/TaskbarNotifier.h"
#include "controls/WaitCursor.h"
#include "devices/Device.h"
#include "devices/TreeCtrlTarget.h"
#include "plat/clock.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"
#include "view/PlayScreen.h"
#include "view/ViewMessages.h"

namespace {

constexpr int kSearchWaitMs = 120000;

QColor Rgb(int r, int g, int b) { return QColor(r, g, b); }

}  // namespace

CPlaybackPageBase::CPlaybackPageBase(int templateId, bool withDownload)
    : CPageDialog(templateId), m_withDownload(withDownload) {
  plat::Named(&m_deviceTree, IDC_TREE);
  m_deviceTree.setHeaderHidden(true);
}

CPlaybackPageBase::~CPlaybackPageBase() { m_deviceTree.setParent(nullptr); }

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
    plat::Named(b, id);
    b->LoadImageResources(normal, hover, pressed);
    b->SizeToImage();
    if (tip) b->setToolTip(Text(tip));
    return b;
  };
  auto stateButton = [this](int id, int n0, int p0, int n1, int p1, uint32_t tip) {
    auto* b = new CStateButton(this, id);
    plat::Named(b, id);
    b->LoadStateImageResources(n0, p0, n1, p1);
    b->SizeToImage();
    b->setToolTip(Text(tip));
    return b;
  };
  auto slider = [this](int id, int thumb, int maximum) {
    auto* s = new CSliderControlEx(this);
    plat::Named(s, id);
    s->setOrientation(Qt::Horizontal);
    s->LoadThumbImageResource(thumb);
    s->setRange(0, maximum);
    return s;
  };

  m_playScreen = new CPlayScreen(1, this);
  plat::Named(m_playScreen, CPlayScreen::kControlId);
  m_playScreen->SetMode(0, 0);
  m_playScreen->show();
  m_opening = new QLabel(Text(IDS_OPENING), this);
  m_opening->setAlignment(Qt::AlignCenter);
  m_opening->setStyleSheet(QStringLiteral("color: white; background: rgba(28, 29, 31, 200); padding: 8px;"));
  m_opening->adjustSize();
  m_opening->hide();

  m_typeLabel = new QLabel(Text(IDS_TYPE), this);
  plat::Named(m_typeLabel, IDC_TYPE_LABEL);
  m_typeLabel->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
  m_typeCombo = new QComboBox(this);
  plat::Named(m_typeCombo, IDC_TYPE);

  const bool english = GetLanguageId() == 9;
  const int findBase = english ? 16741 : 6741;
  m_btnFind = button(IDC_FIND, findBase + 2, findBase + 1, findBase, IDS_SEARCH);
  m_position = slider(IDC_POSITION, 6740, 100);
  m_position->SetJumpToClick(true);
  m_btnPlay = stateButton(IDC_PLAY, 6859, 6860, 6886, 6887, IDS_PLAY);
  m_btnStop = button(IDC_STOP, 6761, 6760, 6759, IDS_STOP);
  m_btnSlow = button(IDC_SLOW, 6746, 6745, 6744, IDS_SLOW);
  m_btnFast = button(IDC_FAST, 6733, 6732, 6731, IDS_FAST);
  m_btnFrameBack = button(IDC_FRAME_BACK, 6755, 6754, 6753, IDS_FRAME_BACK);
  m_btnFrameForward = button(IDC_FRAME_FORWARD, 6758, 6757, 6756, IDS_FRAME_FORWARD);
  m_btnSnapshot = button(IDC_SNAPSHOT, 6747, 6749, 6748, IDS_SNAPSHOT);
  m_btnSound = stateButton(IDC_SOUND, 217, 219, 6752, 6751, IDS_SOUND);
  m_volume = slider(IDC_VOLUME, 6762, 100);
  m_volume->SetJumpToClick(true);
  SetVolumeRange(100);
  if (m_withDownload) {
    m_btnDownload = button(IDC_DOWNLOAD, 6730, 6729, 6728, IDS_START_DOWNLOAD);
    m_btnProgress = new CBitmapButtonEx(this, IDC_PROGRESS);
    plat::Named(m_btnProgress, IDC_PROGRESS);
    m_btnProgress->LoadImageResources(6898, 6898, 6898, 0, 0, 1);
    m_btnProgress->SizeToImage();
    m_btnProgress->setText(QStringLiteral("0%"));
  }

  m_calendar = new QCalendarWidget(this);
  plat::Named(m_calendar, IDC_CALENDAR);
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
    CWaitCursor wait;
    OnFind();
  });
  connect(m_btnPlay, &QAbstractButton::clicked, this, [this] { Controller().Play(); });
  connect(m_btnStop, &QAbstractButton::clicked, this, [this] { Controller().Stop(); });
  connect(m_btnSlow, &QAbstractButton::clicked, this, [this] { Controller().Slow(); });
  connect(m_btnFast, &QAbstractButton::clicked, this, [this] { Controller().Fast(); });
  connect(m_btnFrameBack, &QAbstractButton::clicked, this, [this] { Controller().FrameBack(); });
  connect(m_btnFrameForward, &QAbstractButton::clicked, this, [this] { Controller().FrameForward(); });
  connect(m_btnSnapshot, &QAbstractButton::clicked, this, [this] { Controller().Snapshot(); });
  connect(m_btnSound, &QAbstractButton::clicked, this, [this] { Controller().Sound(); });
  if (m_btnDownload) connect(m_btnDownload, &QAbstractButton::clicked, this, [this] { OnDownload(); });
  // Every move the user makes (a drag, a click on the track, the wheel, the keys) is an action
  // of the slider; the position the controller sets is none.
  connect(m_position, &QAbstractSlider::actionTriggered, this,
          [this](int) { Controller().PositionMoved(m_position->sliderPosition()); });
  connect(m_volume, &QAbstractSlider::actionTriggered, this,
          [this](int) { Controller().VolumeMoved(m_volume->sliderPosition()); });
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
  m_opening->move(m_playScreen->geometry().center() - m_opening->rect().center());
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
      Controller().CellClicked(static_cast<int>(wParam));
      result = 0;
      return true;
    case WM_PLAYBACK_FOUND:
      Controller().TakeFound();
      return true;
    case WM_NOTIFIER_CLICKED:
      CTaskbarNotifier::GetInstance()->Hide();
      result = 0;
      return true;
    default:
      return false;
  }
}

void CPlaybackPageBase::FinishSearch() {
  const int64_t deadline = plat::monotonicMs() + kSearchWaitMs;
  while (IsSearching() && plat::monotonicMs() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    plat::sleepMs(5);
  }
}

bool CPlaybackPageBase::ChooseChannel(CDevice*& device, int& channelIndex) {
  QTreeWidgetItem* item = m_deviceTree.currentItem();
  // A channel item carries its number; the text it shows is the interface's language.
  const int number = item && item->isSelected() && item->parent() ? ChannelNumberOf(item) : 0;
  if (number < 1) {
    Notice(IDS_SELECT_CHANNEL);
    return false;
  }
  DeviceTreeNode* node = DeviceNodeOf(item->parent());
  CDevice* d = node ? node->Device() : nullptr;
  if (!d) return false;
  device = d;
  channelIndex = number - 1;
  return true;
}

void CPlaybackPageBase::OnFind() {
  CPlaybackPageController::SearchRequest request;
  if (!ChooseChannel(request.device, request.channelIndex)) return;
  // Everything the search reads is taken here, on the page's thread.
  const QDate day = m_calendar->selectedDate();
  request.year = day.year();
  request.month = day.month();
  request.day = day.day();
  request.kind = m_typeCombo->currentData().toInt();
  Controller().Find(request);
}

void CPlaybackPageBase::AddTypeRow(int textId, int data) {
  m_typeCombo->addItem(Text(static_cast<uint32_t>(textId)), data);
}

void CPlaybackPageBase::SetVolumeRange(int maximum) {
  m_volume->setRange(0, maximum);
  m_volume->setSingleStep(std::max(1, maximum / 100));
  m_volume->setPageStep(std::max(1, maximum / 10));
}

// ---- what the controller shows

plat::WindowHandle CPlaybackPageBase::PlayWindow() {
  if (!m_playScreen) return 0;
  CPlayWnd* w = m_playScreen->GetWnd(m_playScreen->GetActiveIndex());
  return w ? w->GetSafeHwnd() : 0;
}

void CPlaybackPageBase::ClearCells() { m_timeBar->ClearCells(); }

void CPlaybackPageBase::AddCell(const ScheduleCell& cell) { m_timeBar->AddCell(cell); }

std::u16string CPlaybackPageBase::CellName(int index) { return m_timeBar->GetCellName(index); }

void CPlaybackPageBase::SetPlayButton(int state) {
  m_btnPlay->SetState(state);
  m_btnPlay->setToolTip(Text(state ? IDS_PAUSE : IDS_PLAY));
}

void CPlaybackPageBase::SetSoundButton(int state) { m_btnSound->SetState(state); }

void CPlaybackPageBase::SetPosition(int value) {
  // The thumb the user holds stays where the user puts it.
  if (!m_position->isSliderDown()) m_position->setValue(value);
}

void CPlaybackPageBase::SetVolume(int value) { m_volume->setValue(value); }

int CPlaybackPageBase::VolumeMaximum() { return m_volume->maximum(); }

void CPlaybackPageBase::ShowOpening(bool opening) {
  m_opening->setVisible(opening);
  if (opening) m_opening->raise();
  m_btnPlay->setEnabled(!opening);
}

void CPlaybackPageBase::Offer(QWidget* control, bool available) {
  auto kept = m_tips.find(control);
  if (available) {
    if (kept != m_tips.end()) {
      control->setToolTip(kept->second);
      m_tips.erase(kept);
    }
  } else if (kept == m_tips.end()) {
    m_tips[control] = control->toolTip();
    control->setToolTip(Text(IDS_UNAVAILABLE));
  }
  control->setEnabled(available);
}

void CPlaybackPageBase::ShowAbilities(const PlayAbilities& a) {
  Offer(m_btnFrameBack, a.frameBack);
  Offer(m_btnFrameForward, a.frameForward);
}
