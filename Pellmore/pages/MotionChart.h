#pragma once
// The week chart of the record page: one row per day under a row of hour numbers, each
// recording period a bar in the colour of its record type, and the period under the mouse as
// a tooltip. It draws the entry the record page points it at and follows the area's size.
#include <QFrame>
#include <QColor>
#include <QRect>
#include <QString>
#include <array>
#include <cstdint>

namespace pellmore {

// A channel's record-schedule settings as the record page keeps them.
struct RecordEntry {
  int channel = 0;
  int enabled = 0;
  std::array<uint8_t, 28> allDay{};    // 7 x (u16 all-day flag, u8 type, reserved)
  std::array<uint8_t, 448> periods{};  // 7 days x 8 x (sh, sm, eh, em, type, 3 reserved)
  int delay = 0;                       // record delay code
  int prerecord = 0;                   // 1: pre-recording on
  bool operator==(const RecordEntry&) const = default;

  bool AllDay(int day) const;
  uint8_t AllDayType(int day) const { return allDay[static_cast<size_t>(day) * 4 + 2]; }
  const uint8_t* Period(int day, int period) const {
    return &periods[static_cast<size_t>(day) * 64 + static_cast<size_t>(period) * 8];
  }
};

// The colour of a record type: 0 blue, 1 yellow, 2 red, 3 violet, 4 light cyan, 5 green;
// any other type grey.
QColor RecordTypeColour(int type);

// The chart's geometry for an area of w x h pixels: hour width Hw = (W - 50) / 24, row height
// Rh = H / 9, left margin L = 50. Row 0 holds the hour numbers, day d row d + 1.
struct ChartGeometry {
  float W = 0, H = 0, Hw = 0, Rh = 0, L = 50;
  static ChartGeometry For(int w, int h);
  // The bar of a period (start and end hour and minute) on a day's row, truncated to pixels.
  QRect Bar(int day, int sh, int sm, int eh, int em) const;
  // The whole row of an all-day day.
  QRect AllDayBar(int day) const;
};

// The tooltip at (x, y): "00:00-23:59" over an all-day day, the first period that spans x as
// "hh:mm-hh:mm", otherwise empty (also with no entry, over row 0 or 8, or an hour's width or
// more left of the margin).
QString ChartTip(const RecordEntry* entry, const ChartGeometry& g, int x, int y);

class CMotionChart : public QFrame {
 public:
  explicit CMotionChart(QWidget* parent);
  // The entry to draw (none: an empty grid); repaints.
  void SetData(const RecordEntry* entry);
  // The geometry of the area's present size (it follows every resize).
  ChartGeometry Geometry() const { return ChartGeometry::For(width(), height()); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  const RecordEntry* entry_ = nullptr;
};

}  // namespace pellmore
