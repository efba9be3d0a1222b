#include "view/PlayScreen.h"

#include <QKeyEvent>
#include <algorithm>

CPlayScreen::CPlayScreen(int playbackFlag, QWidget* parent)
    : CBSWndContainer(parent), playback_(playbackFlag) {
  for (int i = 0; i < kWindowCount; ++i) {
    windows_[i] = new CPlayWnd(i, playbackFlag, this);
    windows_[i]->setGeometry(0, 0, 0, 0);
    AddWnd(windows_[i], 1);
  }
  SetActiveWnd(windows_[0], 0);
  SetActiveBorder(1, kFrameColour, kFrameColour);
}

CPlayScreen::~CPlayScreen() { ClearList(); }

int CPlayScreen::SetMode(int mode, int first) {
  if (first < 0 || first >= kWindowCount) first = 0;
  if (mode < 0 || mode >= kLayoutModeCount) {
    mode = 0;
    first = 0;
  }
  const int count = kLayoutWindowCount[mode];
  SetMultiViewFlag(1);
  const std::vector<QWidget*> old = ListedWindows();
  first -= first % count;
  const int end = std::min(first + count, kWindowCount);
  ClearList();
  for (int i = first; i < end; ++i) AddWnd(windows_[i], 1);
  SetLayoutMode(mode);
  SetActiveWnd(windows_[first], 1);
  for (QWidget* w : old) w->hide();
  // The next layout pass, at the latest the repaint asked for here, shows the new page.
  ArrangeWindows();
  update();
  return static_cast<int>(ListedWindows().size());
}

int CPlayScreen::NextPage(int index) {
  if (index >= kWindowCount) return 0;
  const int mode = GetLayoutMode();
  const int count = kLayoutWindowCount[std::clamp(mode, 0, kLayoutModeCount - 1)];
  SetMode(mode, count * (index / count + 1));
  return 1;
}

int CPlayScreen::PrevPage(int index) {
  const int mode = GetLayoutMode();
  const int count = kLayoutWindowCount[std::clamp(mode, 0, kLayoutModeCount - 1)];
  SetMode(mode, count * (index / count - 1));
  return 1;
}

void CPlayScreen::SetActiveIndex(int i, int relayout) {
  if (i >= 0 && i < kWindowCount) SetActiveWnd(windows_[i], relayout);
}

CPlayWnd* CPlayScreen::GetWnd(int i) const {
  return i >= 0 && i < kWindowCount ? windows_[i] : nullptr;
}

int CPlayScreen::FindIndexByHwnd(plat::WindowHandle wnd) const {
  if (!wnd) return -1;
  for (int i = 0; i < kWindowCount; ++i)
    if (windows_[i]->GetSafeHwnd() == wnd) return i;
  return -1;
}

int CPlayScreen::GetActiveIndex() const {
  for (int i = 0; i < kWindowCount; ++i)
    if (windows_[i] == GetActiveWnd()) return i;
  return -1;
}

void CPlayScreen::keyPressEvent(QKeyEvent* event) {
  // Esc is taken here so that the page that owns the screen is not closed by it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  CBSWndContainer::keyPressEvent(event);
}

void CPlayScreen::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    SetFullScreen(0);
    event->accept();
    return;
  }
  CBSWndContainer::keyReleaseEvent(event);
}
