#include "view/BSWndContainer.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <array>

namespace {

struct Cell {
  int col = 0, row = 0, cols = 1, rows = 1;
};

struct Big {
  int index, col, row, span;
};

struct ModeShape {
  int grid;
  std::vector<Big> bigs;
};

// The large windows of each mode; every other window takes the next free unit cell, row by
// row, left to right, in index order.
const ModeShape kShapes[kLayoutModeCount] = {
    {1, {}},
    {2, {}},
    {3, {}},
    {4, {}},
    {5, {}},
    {3, {{0, 0, 0, 2}}},
    {4, {{0, 0, 0, 3}}},
    {5, {{0, 0, 0, 4}}},
    {4, {{0, 0, 0, 2}, {1, 2, 0, 2}}},
    {5, {{0, 0, 0, 2}, {1, 2, 0, 2}, {2, 0, 2, 2}, {3, 2, 2, 2}}},
    {4, {{5, 1, 1, 2}}},
    {5, {{0, 0, 0, 3}, {1, 3, 0, 2}}},
    {5, {{0, 0, 0, 3}}},
    {5, {{0, 0, 0, 2}, {1, 2, 0, 2}}},
    {5, {{0, 0, 0, 2}}},
};

using CellTable = std::array<std::array<Cell, 25>, kLayoutModeCount>;

CellTable BuildCells() {
  CellTable table{};
  for (int mode = 0; mode < kLayoutModeCount; ++mode) {
    const ModeShape& shape = kShapes[mode];
    const int g = shape.grid;
    std::vector<bool> taken(g * g, false);
    std::vector<bool> placed(kLayoutWindowCount[mode], false);
    for (const Big& b : shape.bigs) {
      table[mode][b.index] = {b.col, b.row, b.span, b.span};
      placed[b.index] = true;
      for (int r = b.row; r < b.row + b.span; ++r)
        for (int c = b.col; c < b.col + b.span; ++c) taken[r * g + c] = true;
    }
    int next = 0;
    for (int i = 0; i < kLayoutWindowCount[mode]; ++i) {
      if (placed[i]) continue;
      while (taken[next]) ++next;
      taken[next] = true;
      table[mode][i] = {next % g, next / g, 1, 1};
    }
  }
  return table;
}

const CellTable& Cells() {
  static const CellTable table = BuildCells();
  return table;
}

QRect ToQRect(const LayoutRect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

}  // namespace

LayoutRect LayoutCellRect(int mode, const LayoutRect& area, int i, int n) {
  if (n <= 0 || i >= n || i < 0) return {};
  if (mode < 0 || mode >= kLayoutModeCount) return area;
  const int g = kShapes[mode].grid;
  const int cw = area.Width() / g;
  const int ch = area.Height() / g;
  // Plain grids place any window by its index (past the last row it lies below the area);
  // the other modes have no cell for a window they do not show.
  Cell c{i % g, i / g, 1, 1};
  if (mode >= 5) {
    if (i >= kLayoutWindowCount[mode]) return {};
    c = Cells()[mode][i];
  }
  LayoutRect r;
  r.left = area.left + c.col * cw;
  r.top = area.top + c.row * ch;
  r.right = r.left + c.cols * cw;
  r.bottom = r.top + c.rows * ch;
  return r;
}

LayoutRect LayoutArea(const LayoutRect& client, int percent, bool keepAspect) {
  const int p = std::clamp(percent, 40, 100);
  LayoutRect a = client;
  const int w = a.Width();
  a.left += (w - w * p / 100) / 2;
  a.right = a.left + w * p / 100;
  const int h = a.Height();
  a.top += (h - h * p / 100) / 2;
  a.bottom = a.top + h * p / 100;
  a.left += 1;
  a.top += 1;
  a.right -= 1;
  a.bottom -= 1;
  if (keepAspect) {
    int bw = a.Width();
    int bh = a.Height();
    const int fitted = bw * 8 / 11;
    if (bh < fitted)
      bw = bh * 11 / 8;
    else if (fitted < bh)
      bh = fitted;
    const int cx = (a.left + a.right) / 2;
    const int cy = (a.top + a.bottom) / 2;
    a = {cx - bw / 2, cy - bh / 2, cx + bw / 2, cy + bh / 2};
  }
  return a;
}

CBSWndContainer::CBSWndContainer(QWidget* parent) : QWidget(parent) {
  // The frame colours are stored; the frame itself is always drawn green.
  border_ = 1;
  borderColours_[0] = borderColours_[1] = 255;
  setFocusPolicy(Qt::ClickFocus);
}

CBSWndContainer::~CBSWndContainer() { list_.clear(); }

bool CBSWndContainer::Listed(QWidget* wnd) const {
  return std::find(list_.begin(), list_.end(), wnd) != list_.end();
}

int CBSWndContainer::AddWnd(QWidget* wnd, int relayout) {
  if (!wnd) return 0;
  if (Listed(wnd)) return 1;
  list_.push_back(wnd);
  if (border_) DrawActiveBorder(0);
  SetActiveWnd(wnd, relayout);
  return 1;
}

void CBSWndContainer::SetActiveWnd(QWidget* wnd, int relayout) {
  if (!wnd || wnd == active_ || !Listed(wnd)) return;
  if (relayout) ArrangeWindows();
  if (border_) DrawActiveBorder(0);
  active_ = wnd;
  if (border_) DrawActiveBorder(1);
}

void CBSWndContainer::SetMultiView(int on) {
  if (on == multiView_) return;
  multiView_ = on;
  ArrangeWindows();
  update();
}

void CBSWndContainer::SetActiveBorder(int on, uint32_t colour1, uint32_t colour2) {
  if (on == border_) return;
  if (on) {
    borderColours_[0] = colour1;
    borderColours_[1] = colour2;
  }
  border_ = on;
  DrawActiveBorder(on);
}

QRect CBSWndContainer::ActiveFrameRect() const {
  if (!multiView_ || !active_ || list_.empty() || !border_) return {};
  return active_->geometry().adjusted(-1, -1, 1, 1);
}

void CBSWndContainer::DrawActiveBorder(int) {
  if (!multiView_ || !active_ || list_.empty()) return;
  // The frame is painted by paintEvent around the active window: both the old and the new
  // frame only need repainting.
  update();
}

void CBSWndContainer::ArrangeWindows() {
  if (!LayOutWindows()) return;
  if (multiView_) {
    if (border_ && !list_.empty()) DrawActiveBorder(1);
    return;
  }
  update();
}

bool CBSWndContainer::LayOutWindows() {
  if (!isVisible() || isMinimized()) return false;
  const LayoutRect client{0, 0, width(), height()};
  const LayoutRect area = LayoutArea(client, areaPercent_, keepAspect_ != 0);
  const int n = static_cast<int>(list_.size());
  if (multiView_) {
    for (int i = 0; i < n; ++i) {
      LayoutRect cell = GetCellRect(area, i, n);
      cell = {cell.left + 2, cell.top + 2, cell.right - 2, cell.bottom - 2};
      list_[i]->setGeometry(ToQRect(cell));
      list_[i]->show();
    }
    return true;
  }
  for (QWidget* w : list_) {
    if (w == active_) {
      w->setGeometry(ToQRect(area));
      w->show();
    } else if (fullScreen_) {
      w->setGeometry(0, 0, 1, 1);
    } else {
      w->setGeometry(area.right + 1, area.bottom + 1, 1, 1);
    }
  }
  return true;
}

LayoutRect CBSWndContainer::GetCellRect(const LayoutRect& area, int i, int n) const {
  return LayoutCellRect(mode_, area, i, n);
}

void CBSWndContainer::SetFullScreen(int on) {
  on = on ? 1 : 0;
  if (on == fullScreen_) return;
  update();
  if (on) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect whole = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    savedGeometry_ = geometry();
    savedVisible_ = isVisible();
    savedParent_ = parentWidget();
    setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
    if (savedParent_) savedParent_->hide();
    setGeometry(0, 0, whole.width(), whole.height());
    fullScreen_ = 1;
    show();
    raise();
  } else {
    if (savedParent_) savedParent_->show();
    setParent(savedParent_, Qt::Widget);
    setGeometry(savedGeometry_);
    fullScreen_ = 0;
    setVisible(savedVisible_);
  }
  ArrangeWindows();
}

void CBSWndContainer::paintEvent(QPaintEvent*) {
  // Every repaint lays the children out again; windows already in place do not move, so
  // the pass asks for no further paint.
  LayOutWindows();
  QPainter painter(this);
  painter.fillRect(rect(), FromColorRef(kBackground));
  const QRect frame = ActiveFrameRect();
  if (!frame.isEmpty()) {
    painter.setPen(FromColorRef(kFrameColour));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
  }
}

void CBSWndContainer::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ArrangeWindows();
}

void CBSWndContainer::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ArrangeWindows();
}
