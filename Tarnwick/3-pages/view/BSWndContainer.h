#pragma once
// A window that lays out an ordered list of child windows in one of 15 split layouts, marks
// the active one with a green frame, can show the active one alone (single view) and can go
// full screen. The geometry is a set of pure functions over plain rectangles.
#include <QColor>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <vector>

// A Win32 colour value (0x00BBGGRR) as a Qt colour.
inline QColor FromColorRef(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// A window rectangle: right and bottom are one past the last pixel.
struct LayoutRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool operator==(const LayoutRect&) const = default;
};

constexpr int kLayoutModeCount = 15;
// Windows shown by each layout mode.
constexpr int kLayoutWindowCount[kLayoutModeCount] = {1, 4, 9, 16, 25, 6, 8, 10, 10, 13, 13, 14, 17, 19, 22};

// Cell of window i of n listed windows in `mode` over `area`: the empty rectangle when n <= 0
// or i >= n; the area as given for a mode outside 0..14.
LayoutRect LayoutCellRect(int mode, const LayoutRect& area, int i, int n);
// The area the cells share: `percent` (clamped to 40..100) of the client rectangle, centred,
// less one pixel on each side, and with keepAspect an 11:8 box on the same centre.
LayoutRect LayoutArea(const LayoutRect& client, int percent, bool keepAspect);

class CBSWndContainer : public QWidget {
 public:
  static constexpr uint32_t kBackground = 0x443B34;  // COLORREF: RGB(52,59,68)
  static constexpr uint32_t kFrameColour = 0x00FF00;

  explicit CBSWndContainer(QWidget* parent = nullptr);
  ~CBSWndContainer() override;  // empties the list; the children are not destroyed

  // 0 for null; 1 when listed already or appended (and made active).
  int AddWnd(QWidget* wnd, int relayout);
  void SetActiveWnd(QWidget* wnd, int relayout);
  QWidget* GetActiveWnd() const { return active_; }
  void SetFullScreen(int on);
  int IsFullScreen() const { return fullScreen_; }
  void SetMultiView(int on);
  int IsMultiView() const { return multiView_; }
  void SetActiveBorder(int on, uint32_t colour1, uint32_t colour2);
  int HasActiveBorder() const { return border_; }
  void SetLayoutMode(int mode) { mode_ = mode; }
  int GetLayoutModeValue() const { return mode_; }
  const std::vector<QWidget*>& ListedWindows() const { return list_; }

  // Lays the listed windows out in the current mode and repaints the frame.
  virtual void ArrangeWindows();
  virtual LayoutRect GetCellRect(const LayoutRect& area, int i, int n) const;

  // Where the green frame is drawn (window rectangle grown by one); empty when none is.
  QRect ActiveFrameRect() const;

 protected:
  void ClearList() { list_.clear(); }
  void SetMultiViewFlag(int on) { multiView_ = on; }
  void DrawActiveBorder(int draw);
  bool Listed(QWidget* wnd) const;
  // The geometry pass alone (no repaint asked); false while hidden or minimised. The paint
  // runs it too.
  bool LayOutWindows();

  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  std::vector<QWidget*> list_;
  QWidget* active_ = nullptr;
  int fullScreen_ = 0;
  int multiView_ = 1;
  // 1: the cells share an 11:8 box. Nothing in the program sets it.
  int keepAspect_ = 0;
  int border_ = 0;
  uint32_t borderColours_[2] = {0, 0};
  // The share of the client area the cells use, 40 to 100. Nothing in the program narrows it.
  int areaPercent_ = 100;
  int mode_ = 1;
  QPointer<QWidget> savedParent_;
  QRect savedGeometry_;
  bool savedVisible_ = true;
};
