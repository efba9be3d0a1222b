#include "view/PlayWnd.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <atomic>

#include "Hollin/Notices.h"
#include "devices/DeviceManager.h"
#include "devices/DeviceWork.h"
#include "plat/clock.h"
#include "plat/controlid.h"
#include "plat/surface.h"
#include "shell/AppMessages.h"
#include "shell/Language.h"
#include "shell/Singleton.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "view/BSWndContainer.h"
#include "view/CyclePreview.h"
#include "view/PreviewManager.h"
#include "view/ViewMessages.h"

namespace {

std::atomic<plat::WindowHandle> g_previewPage{0};

}  // namespace

void SetPreviewPageWindow(plat::WindowHandle page) { g_previewPage.store(page); }
plat::WindowHandle GetPreviewPageWindow() { return g_previewPage.load(); }

CPlayWnd::CPlayWnd(int index, int playbackFlag, CBSWndContainer* container)
    : plat::VideoWidget(container,
                        [this](uint32_t m, uintptr_t w, intptr_t l) { return OnMessage(m, w, l); }),
      index_(index),
      playback_(playbackFlag),
      container_(container) {
  plat::Named(this, kControlId);
  setFocusPolicy(Qt::NoFocus);
}

CBSWndContainer* CPlayWnd::Container() const { return container_; }

void CPlayWnd::SetCallback(PlayWndCallback callback, CDevice* device, int channel, void* page) {
  callback_ = callback;
  callbackDevice_ = device ? device->GetGuid() : std::u16string();
  callbackChannel_ = channel;
  callbackPage_ = page;
}

// Whatever the playback flag: a window of a playback page tells the preview page too.
void CPlayWnd::NotifySelected() {
  plat::postMessage(GetPreviewPageWindow(), WM_PLAYWND_SELECTED, static_cast<uintptr_t>(index_), 0);
}

intptr_t CPlayWnd::OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_PREVIEW_STOPPED:
      // The last picture gives way to the background until a new one is presented.
      Blank();
      return 0;
    case WM_DEV_PREVIEW_FULL: {
      const int stopped = DevPreviewOnFull(wParam, lParam);
      // The device layer ended the refused stream: the page closes the window's preview,
      // which would otherwise wait for pictures that never come.
      if (stopped) RaiseEvent(kEventPreviewRefused);
      return stopped;
    }
    case WM_DEV_RECORD_FAILED: {
      const int shown = DevPreviewOnRecordFailed(wParam, lParam);
      // The channel's tree icon loses its recording mark.
      plat::postMessage(GetPreviewPageWindow(), WM_REFRESH_TREE, 0, 0);
      return shown;
    }
    default:
      return 0;
  }
}

uint64_t CPlayWnd::CurrentSerial() const {
  plat::PresentedFrame pic;
  return plat::presentedFrame(handle(), &pic) ? pic.serial : 0;
}

void CPlayWnd::Blank() {
  blankedSerial_ = CurrentSerial();
  blanked_ = true;
  update();
}

void CPlayWnd::Show(State state) {
  state_ = state;
  if (state != State::kLive) {
    Blank();
    return;
  }
  watchedSerial_ = CurrentSerial();
  lastPictureMs_ = plat::tickCount();
  hadPicture_ = watchedSerial_ > blankedSerial_;
  cameLastLook_ = false;
  update();
}

CPlayWnd::Watch CPlayWnd::WatchPictures(int64_t nowMs) {
  if (state_ != State::kLive && state_ != State::kLost) return Watch::kSame;
  const uint64_t serial = CurrentSerial();
  const uint64_t came = serial - watchedSerial_;
  const bool cameBefore = cameLastLook_;
  cameLastLook_ = came > 0;
  if (came > 0) {
    watchedSerial_ = serial;
    lastPictureMs_ = nowMs;
    hadPicture_ = true;
    // A stream that stays down still gets a present now and then: the library redraws its
    // status text over it. The pictures are back when they keep coming, several since the
    // last look or some at two looks running, not at every such redraw.
    if (state_ == State::kLost && (came >= 2 || cameBefore)) {
      state_ = State::kLive;
      update();
      return Watch::kBack;
    }
    return Watch::kSame;
  }
  if (state_ == State::kLive && nowMs - lastPictureMs_ >= kLostAfterMs) {
    state_ = State::kLost;
    update();
    return Watch::kLost;
  }
  return Watch::kSame;
}

void CPlayWnd::paintEvent(QPaintEvent* event) {
  if (blanked_) {
    plat::PresentedFrame pic;
    if (plat::presentedFrame(handle(), &pic) && pic.width > 0 && pic.serial > blankedSerial_) blanked_ = false;
  }
  // A connecting window shows nothing of the preview it replaced; a lost one drops its last
  // picture.
  if (!blanked_ && (state_ == State::kLive || state_ == State::kIdle)) {
    plat::VideoWidget::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.fillRect(rect(), FromColorRef(kBackground));
  PaintState(painter);
}

void CPlayWnd::PaintState(QPainter& painter) {
  int id = 0;
  if (state_ == State::kConnecting) id = IDS_CONNECTING;
  else if (state_ == State::kLost) id = hadPicture_ ? IDS_VIDEO_LOST : IDS_NO_VIDEO;
  else if (state_ == State::kDeviceLost) id = IDS_DEVICE_LOST;
  else if (state_ == State::kRefused) id = IDS_REFUSED;
  if (!id) return;
  QFont font = painter.font();
  font.setPixelSize(std::clamp(height() / 12, 10, 16));
  painter.setFont(font);
  painter.setPen(QColor(200, 200, 200));
  const QString text = painter.fontMetrics().elidedText(Text(id), Qt::ElideRight, std::max(0, width() - 8));
  painter.drawText(rect(), Qt::AlignCenter, text);
}

void CPlayWnd::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
    Container()->SetActiveWnd(this, 1);
  if (event->button() == Qt::LeftButton) NotifySelected();
  event->accept();
}

void CPlayWnd::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) NotifySelected();
  event->accept();
}

void CPlayWnd::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    Container()->SetActiveWnd(this, 1);
    Container()->SetMultiView(Container()->IsMultiView() ? 0 : 1);
  }
  event->accept();
}

QMenu* CPlayWnd::BuildContextMenu() {
  if (playback_) return nullptr;
  PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(index_);
  if (!item) return nullptr;
  auto* menu = new QMenu(this);
  plat::Named(menu, 174);
  const bool recording = item->IsRecording();
  struct Entry {
    int command;
    uint32_t text;
  } entries[] = {{ID_SNAPSHOT, IDS_SNAPSHOT},
                 {ID_RECORD, recording ? IDS_STOP_RECORD : IDS_START_RECORD},
                 {ID_STOP_PREVIEW, IDS_STOP_PREVIEW}};
  for (const Entry& e : entries) {
    QAction* action = menu->addAction(Text(e.text));
    plat::Named(action, e.command);
    const int command = e.command;
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
  }
  return menu;
}

void CPlayWnd::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = BuildContextMenu();
  if (!menu) return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void CPlayWnd::OnCommand(int id) {
  if (playback_) return;
  switch (id) {
    case ID_SNAPSHOT:
      plat::sendMessage(GetPreviewPageWindow(), WM_PLAYWND_SNAPSHOT, 0, 0);
      break;
    case ID_RECORD:
      plat::sendMessage(GetPreviewPageWindow(), WM_PLAYWND_RECORD, 0, 0);
      break;
    case ID_STOP_PREVIEW:
      StopFromMenu();
      break;
    case ID_SOUND:
      if (PreviewItemPtr item = CPreviewManager::GetInstance()->FindByWindow(index_)) {
        devwork::Run(item->GetDeviceGuid(), [item] {
          if (item->IsSoundOpen())
            item->CloseSound();
          else
            item->OpenSound();
        });
      }
      break;
    default:
      break;
  }
}

void CPlayWnd::RaiseEvent(int event) {
  if (!callback_) return;
  CDevice* device = callbackDevice_.empty() ? nullptr : CDeviceManager::GetInstance()->FindDevice(callbackDevice_, 1);
  callback_(device, callbackChannel_, event, callbackPage_);
}

void CPlayWnd::StopFromMenu() {
  CPreviewManager* manager = CPreviewManager::GetInstance();
  PreviewItemPtr item = manager->FindByWindow(index_);
  if (!item) return;
  manager->Remove(item);
  item.reset();
  Show(State::kIdle);
  plat::postMessage(handle(), WM_PREVIEW_STOPPED, 0, 0);
  RaiseEvent(kEventPreviewStopped);
  // A cycling window stops cycling with it.
  if (SingletonAccess<CCyclePreviewManager>::HasInstance())
    CCyclePreviewManager::GetInstance()->StopByWindow(index_);
}
