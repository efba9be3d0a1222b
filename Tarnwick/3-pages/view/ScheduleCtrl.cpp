#include "view/ScheduleCtrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimerEvent>
#include <algorithm>
#include <cstdio>

#include "controls/BitmapButtonEx.h"
#include "controls/WindowMessages.h"
#include "plat/clock.h"
#include "plat/controlid.h"
#include "view/ViewMessages.h"

namespace {

// The bar's buttons are smaller than their images: the image is drawn to the button's size.
class TimeBarButton : public CBitmapButtonEx {
 public:
  TimeBarButton(QWidget* parent, int id) : CBitmapButtonEx(parent, id) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const int index = ChooseImage(IsHovered(), isDown());
    if (index >= 0) p.drawImage(rect(), images_[static_cast<size_t>(index)]);
  }
};

QColor Colour(uint32_t colorref) {
  return QColor(static_cast<int>(colorref & 0xFF), static_cast<int>((colorref >> 8) & 0xFF),
                static_cast<int>((colorref >> 16) & 0xFF));
}

constexpr uint32_t kAxis = 0x303030;
constexpr uint32_t kFill = 0xFF0000;
constexpr uint32_t kBorderNormal = 0xEEEE00;
constexpr uint32_t kBorderHover = 0x0000FF;
constexpr int kRepeatMs = 150;

}  // namespace

CScheduleCtrl::CScheduleCtrl(QWidget* parent) : QWidget(parent) {
  plat::Named(this, kControlId);
  setMouseTracking(true);
  const int ids[4] = {kScrollBack, kScrollForward, kZoomIn, kZoomOut};
  for (size_t i = 0; i < 4; ++i) {
    buttons_[i] = new TimeBarButton(this, ids[i]);
    plat::Named(buttons_[i], ids[i]);
  }
  limit_ = GetStepCount() + 1;
  // The buttons report presses and releases as window messages to their parent.
  AttachWindow(this, [this](uint32_t m, uintptr_t w, intptr_t) -> intptr_t {
    if (m == WM_IMAGEBUTTON_DOWN) OnButtonDown(static_cast<int>(w));
    if (m == WM_IMAGEBUTTON_UP || m == WM_IMAGEBUTTON_LEAVE) OnButtonUp();
    return 0;
  });
}

CScheduleCtrl::~CScheduleCtrl() {
  if (plat::WindowHandle h = WindowHandleOf(this)) plat::unregisterWindow(h);
}

void CScheduleCtrl::AddCell(const ScheduleCell& cell) {
  if (cell.StartHour == cell.EndHour && cell.StartMinute == cell.EndMinute &&
      cell.StartSecond == cell.EndSecond)
    return;
  cells_.push_back(cell);
  cells_.back().State = 1;
  repaint();
}

void CScheduleCtrl::ClearCells() { cells_.clear(); }

ScheduleCell CScheduleCtrl::FindCellByName(const std::u16string& name) const {
  for (const ScheduleCell& c : cells_)
    if (c.FileName == name) return c;
  return ScheduleCell();
}

std::u16string CScheduleCtrl::GetCellName(int index) const {
  if (index < 0 || index >= CellCount()) return {};
  return cells_[static_cast<size_t>(index)].FileName;
}

CBitmapButtonEx* CScheduleCtrl::Button(int buttonId) const {
  if (buttonId < kScrollBack || buttonId > kZoomOut) return nullptr;
  return buttons_[static_cast<size_t>(buttonId - kScrollBack)];
}

bool CScheduleCtrl::SetButtonImages(int buttonId, int normal, int hover, int pressed) {
  CBitmapButtonEx* b = Button(buttonId);
  return b && b->LoadImageResources(normal, hover, pressed);
}

std::u16string CScheduleCtrl::FormatTime(int h, int m, int s) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%d:%s%d:%s%d", h < 10 ? "0" : "", h, m < 10 ? "0" : "", m,
                s < 10 ? "0" : "", s);
  return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

bool CScheduleCtrl::GetCellRect(const ScheduleCell& cell, QRect& rect) const {
  const int scale = kScheduleScales[static_cast<size_t>(zoom_)];
  const int limitX = GetVisibleSteps() * kStep + kOrigin;
  int left = cell.StartSeconds() / scale - position_ * kStep + kOrigin;
  if (left > limitX) return false;
  left = std::max(left, kOrigin);
  // A cell that ends before it starts is kept at its start.
  int right = std::max(cell.EndSeconds(), cell.StartSeconds()) / scale - position_ * kStep + kOrigin;
  if (right > limitX) {
    right = limitX;
  } else if (right < kOrigin) {
    return false;
  }
  if (left >= right) right = left + 2;
  const int h = height();
  rect = QRect(QPoint(left, h / 2 + 1), QPoint(right - 1, h - 2));
  return true;
}

void CScheduleCtrl::DrawCell(QPainter& p, const ScheduleCell& cell) const {
  QRect r;
  if (!GetCellRect(cell, r)) return;
  p.fillRect(r.adjusted(-1, -1, 1, 1), Colour(cell.State == 2 ? kBorderHover : kBorderNormal));
  p.fillRect(r, Colour(kFill));
}

QRect CScheduleCtrl::TipBox(QPoint at) const {
  const QSize s = fontMetrics().size(0, QStringLiteral("00:00:00"));
  return QRect(at.x() - s.width() / 2, at.y() - s.height() / 2, s.width(), s.height());
}

void CScheduleCtrl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width(), h = height();
  p.fillRect(rect(), Qt::black);
  p.setPen(QPen(Colour(kAxis), 2));
  p.drawLine(0, h / 2, w - 30, h / 2);
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(12);
  f.setStyleHint(QFont::SansSerif);
  p.setFont(f);
  const int scale = kScheduleScales[static_cast<size_t>(zoom_)];
  int t = position_ * scale * kStep;
  int limit = GetStepCount() + 1;
  int lastLabelX = kOrigin;
  QSize labelSize = p.fontMetrics().size(0, QStringLiteral("00:00:00"));
  for (int x = kOrigin; x < w - 30; x += kStep) {
    const QString label = QString::fromStdU16String(FormatTime(t / 3600, t % 3600 / 60, 0));
    labelSize = p.fontMetrics().size(0, label);
    p.setPen(Qt::white);
    p.drawText(QRect(x - labelSize.width() / 2, h / 4 - labelSize.height(), labelSize.width(),
                     labelSize.height()),
               Qt::AlignCenter, label);
    p.setPen(QPen(Qt::white, 1));
    p.drawLine(x, h / 4, x, h / 2);
    t += scale * kStep;
    --limit;
    lastLabelX = x;
  }
  limit_ = std::max(0, limit);
  for (const ScheduleCell& c : cells_)
    if (c.State == 1) DrawCell(p, c);
  for (const ScheduleCell& c : cells_)
    if (c.State == 2) {
      DrawCell(p, c);
      break;
    }
  const QPoint m = mouse_;
  if (m.x() > kOrigin && m.x() < lastLabelX && m.y() > h / 4 && m.y() < h / 4 * 3) {
    const int s = position_ * scale * kStep + (m.x() - kOrigin) * scale;
    const QString tip = QString::fromStdU16String(FormatTime(s / 3600, s % 3600 / 60, s % 60));
    p.setPen(Qt::white);
    p.drawText(QRect(m.x() - labelSize.width() / 2, m.y() - labelSize.height() / 2,
                     labelSize.width(), labelSize.height()),
               Qt::AlignCenter, tip);
  }
}

void CScheduleCtrl::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  PlaceButtons();
}

void CScheduleCtrl::PlaceButtons() {
  const int right = width(), m = height() / 2;
  auto place = [&](int id, int l, int t, int r, int b) { Button(id)->setGeometry(QRect(QPoint(l, t), QPoint(r - 1, b - 1))); };
  place(kScrollBack, right - 30, m - 7, right - 15, m + 7);
  place(kScrollForward, right - 15, m - 7, right, m + 7);
  place(kZoomIn, right - 22, m - 22, right - 7, m - 7);
  place(kZoomOut, right - 22, m + 7, right - 7, m + 22);
}

void CScheduleCtrl::OnButtonDown(int id) {
  switch (id) {
    case kScrollBack:
      if (position_ > 0) {
        --position_;
        if (!backTimer_) backTimer_ = startTimer(plat::scaled(kRepeatMs));
      }
      break;
    case kScrollForward:
      if (position_ < limit_) {
        ++position_;
        if (!forwardTimer_) forwardTimer_ = startTimer(plat::scaled(kRepeatMs));
      }
      break;
    case kZoomIn:
      if (zoom_ < static_cast<int>(kScheduleScales.size()) - 1) {
        ++zoom_;
        position_ = 0;
      }
      break;
    case kZoomOut:
      if (zoom_ > 0) {
        --zoom_;
        position_ = 0;
      }
      break;
    default:
      return;
  }
  repaint();
}

void CScheduleCtrl::OnButtonUp() {
  if (forwardTimer_) killTimer(forwardTimer_);
  if (backTimer_) killTimer(backTimer_);
  forwardTimer_ = backTimer_ = 0;
}

void CScheduleCtrl::timerEvent(QTimerEvent* e) {
  if (e->timerId() == backTimer_ && position_ > 0) --position_;
  if (e->timerId() == forwardTimer_ && position_ < limit_) ++position_;
  repaint();
}

void CScheduleCtrl::ClickAt(QPoint pos) {
  for (size_t i = 0; i < cells_.size(); ++i) {
    QRect r;
    if (!GetCellRect(cells_[i], r) || !r.contains(pos)) continue;
    const int64_t now = plat::monotonicMs();
    if (lastClickMs_ >= 0 && now - lastClickMs_ <= plat::scaled(kClickGapMs)) return;
    lastClickMs_ = now;
    if (QWidget* parent = parentWidget())
      SendWidgetMessage(parent, WM_SCHEDULE_CELL_CLICKED, i, 0);
    return;
  }
}

void CScheduleCtrl::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    QPointer<CScheduleCtrl> self(this);
    ClickAt(e->position().toPoint());
    if (!self) return;
  }
  QWidget::mousePressEvent(e);
}

void CScheduleCtrl::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  for (ScheduleCell& c : cells_) {
    QRect r;
    if (!GetCellRect(c, r)) continue;
    const bool under = r.contains(pos);
    if (under != (c.State == 2)) {
      c.State = under ? 2 : 1;
      update(r.adjusted(-1, -1, 1, 1));
    }
  }
  update(TipBox(mouse_));
  update(TipBox(pos));
  mouse_ = pos;
  QWidget::mouseMoveEvent(e);
}

void CScheduleCtrl::leaveEvent(QEvent* e) {
  for (ScheduleCell& c : cells_) {
    if (c.State != 2) continue;
    c.State = 1;
    QRect r;
    if (GetCellRect(c, r)) update(r.adjusted(-1, -1, 1, 1));
  }
  update(TipBox(mouse_));
  mouse_ = QPoint(-1, -1);
  QWidget::leaveEvent(e);
}
