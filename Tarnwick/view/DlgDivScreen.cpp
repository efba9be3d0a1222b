#include "view/DlgDivScreen.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "controls/BitmapButtonEx.h"
#include "plat/controlid.h"
#include "view/BSWndContainer.h"
#include "view/PlayScreen.h"

namespace {

struct PickerButton {
  int mode;
  int normalImage;  // the pressed image is the next id
};

// In button order (ids 5500 up): five, five and three to a row, by the number of windows.
constexpr PickerButton kButtons[CDlgDivScreen::kButtonCount] = {
    {0, 6812}, {1, 6814}, {5, 6816},  {6, 6818},  {2, 6820},  {7, 6822}, {9, 6824},
    {11, 6826}, {3, 6828}, {12, 6830}, {13, 6832}, {14, 6834}, {4, 6836}};
constexpr int kRowStarts[] = {0, 5, 10};
constexpr int kGap = 4;
constexpr int kMargin = 8;

}  // namespace

CDlgDivScreen::CDlgDivScreen(QWidget* parent) : QWidget(parent) {
  plat::Named(this, kTemplateId);
  int right = 0;
  int bottom = 0;
  for (int i = 0; i < kButtonCount; ++i) {
    const int id = kFirstButtonId + i;
    auto* b = new CBitmapButtonEx(this, id);
    plat::Named(b, id);
    b->LoadImageResources(kButtons[i].normalImage, kButtons[i].normalImage + 1);
    b->move(kMargin, kMargin);
    b->SizeToImage();
    // The first button keeps its place; a row's first goes under the first of the row above.
    const bool rowStart = std::find(std::begin(kRowStarts), std::end(kRowStarts), i) != std::end(kRowStarts);
    if (i > 0) {
      if (rowStart)
        b->PlaceBeside(buttons_[i - 5], -1, kGap);
      else
        b->PlaceBeside(buttons_[i - 1], kGap, -1);
    }
    buttons_[i] = b;
    right = std::max(right, b->geometry().right() + 1);
    bottom = std::max(bottom, b->geometry().bottom() + 1);
    connect(b, &QAbstractButton::clicked, this, [this, id] { OnButton(id); });
  }
  resize(right + kMargin, bottom + kMargin);
}

int CDlgDivScreen::ModeOfButton(int id) {
  const int i = id - kFirstButtonId;
  return i >= 0 && i < kButtonCount ? kButtons[i].mode : -1;
}

CBitmapButtonEx* CDlgDivScreen::Button(int id) const {
  const int i = id - kFirstButtonId;
  return i >= 0 && i < kButtonCount ? buttons_[i] : nullptr;
}

void CDlgDivScreen::OnButton(int id) {
  const int mode = ModeOfButton(id);
  if (mode < 0) return;
  if (screen_) {
    screen_->SetMode(mode, 0);
    if (id == kFirstButtonId) screen_->repaint();
  }
  hide();
}

void CDlgDivScreen::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), FromColorRef(kOutline));
  painter.fillRect(rect().adjusted(2, 2, -2, -2), FromColorRef(kFill));
}

void CDlgDivScreen::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // While shown it watches the program's input for a press elsewhere and for Esc.
  qApp->installEventFilter(this);
}

void CDlgDivScreen::hideEvent(QHideEvent* event) {
  qApp->removeEventFilter(this);
  QWidget::hideEvent(event);
  // Hidden with its page, it stays hidden when the page comes back.
  if (!isHidden()) hide();
}

bool CDlgDivScreen::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* target = qobject_cast<QWidget*>(watched);
      if (target && target != this && !isAncestorOf(target)) hide();
      break;
    }
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        hide();
        return true;
      }
      break;
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}
