#pragma once
// The 24-hour time bar of the playback pages: a time scale with labelled ticks and one bar
// per recorded file of the day, scrolled and zoomed by four small image buttons at its right
// end. A click on a bar sends WM_SCHEDULE_CELL_CLICKED (cell index) to the parent page.
#include <QRect>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CBitmapButtonEx;

class ScheduleCell {
 public:
  ScheduleCell() = default;
  ScheduleCell(int startHour, int startMinute, int startSecond, int endHour, int endMinute,
               int endSecond, std::u16string fileName)
      : StartHour(startHour), StartMinute(startMinute), EndHour(endHour),
        StartSecond(startSecond), EndMinute(endMinute), EndSecond(endSecond), State(1),
        FileName(std::move(fileName)) {}
  virtual ~ScheduleCell() = default;
  ScheduleCell(const ScheduleCell&) = default;
  ScheduleCell& operator=(const ScheduleCell&) = default;

  int StartSeconds() const { return StartHour * 3600 + StartMinute * 60 + StartSecond; }
  int EndSeconds() const { return EndHour * 3600 + EndMinute * 60 + EndSecond; }

  int StartHour = 0;
  int StartMinute = 0;
  int EndHour = 0;
  int StartSecond = 0;
  int EndMinute = 0;
  int EndSecond = 0;
  int State = 0;  // 1 normal, 2 under the mouse
  std::u16string FileName;
};

class CScheduleCtrl : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kControlId = 1990;
  static constexpr int kScrollBack = 1234, kScrollForward = 1235, kZoomIn = 1236, kZoomOut = 1237;
  static constexpr std::array<int, 6> kScheduleScales = {60, 30, 15, 10, 5, 1};
  static constexpr int kOrigin = 50;
  static constexpr int kStep = 120;
  static constexpr int kClickGapMs = 2000;

  explicit CScheduleCtrl(QWidget* parent = nullptr);
  ~CScheduleCtrl() override;

  // A cell whose start equals its end is not added.
  void AddCell(const ScheduleCell& cell);
  void ClearCells();
  int CellCount() const { return static_cast<int>(cells_.size()); }
  const ScheduleCell& Cell(int i) const { return cells_[static_cast<size_t>(i)]; }
  ScheduleCell FindCellByName(const std::u16string& name) const;
  // Empty for an index out of range.
  std::u16string GetCellName(int index) const;
  // Image set-up of button 1234..1237; false for any other id.
  bool SetButtonImages(int buttonId, int normal, int hover, int pressed);
  CBitmapButtonEx* Button(int buttonId) const;

  static std::u16string FormatTime(int h, int m, int s);
  int GetStepCount() const { return 86400 / kScheduleScales[static_cast<size_t>(zoom_)] / kStep; }
  int GetVisibleSteps() const { return (width() - 80) / kStep; }
  // The cell's rectangle; false when it is not visible. A cell whose end lies before its
  // start is drawn at its start, at the least width.
  bool GetCellRect(const ScheduleCell& cell, QRect& rect) const;

  int ScrollPosition() const { return position_; }
  int ZoomIndex() const { return zoom_; }
  // The button actions (also reached through the buttons' press messages).
  void OnButtonDown(int id);
  void OnButtonUp();
  // A press at `pos`: the cell under it is reported unless a report went out within 2 s.
  void ClickAt(QPoint pos);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void timerEvent(QTimerEvent* e) override;

 private:
  void PlaceButtons();
  void DrawCell(class QPainter& p, const ScheduleCell& cell) const;
  QRect TipBox(QPoint at) const;

  std::vector<ScheduleCell> cells_;
  std::array<CBitmapButtonEx*, 4> buttons_{};
  int position_ = 0;
  int limit_ = 0;
  int zoom_ = 0;
  int64_t lastClickMs_ = -1;
  QPoint mouse_{-1, -1};
  int backTimer_ = 0;
  int forwardTimer_ = 0;
};
