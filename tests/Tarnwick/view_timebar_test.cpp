// The time bar: cell geometry at the zoom levels, scrolling and zoom limits, labels, clicks
// reported once within two seconds, and cells that are empty, reversed or asked for out of range.
#include <gtest/gtest.h>

#include <QWidget>
#include <vector>

#include "controls/BitmapButtonEx.h"
#include "controls/WindowMessages.h"
#include "harness/UiHarness.h"
#include "plat/clock.h"
#include "view/ScheduleCtrl.h"
#include "view/ViewMessages.h"

namespace {

struct TimeBar : ::testing::Test {
  QWidget parent;
  CScheduleCtrl* bar = nullptr;
  std::vector<uintptr_t> clicks;
  void SetUp() override {
    parent.resize(1000, 50);
    AttachWindow(&parent, [this](uint32_t m, uintptr_t w, intptr_t) -> intptr_t {
      if (m == WM_SCHEDULE_CELL_CLICKED) clicks.push_back(w);
      return 0;
    });
    bar = new CScheduleCtrl(&parent);
    bar->setGeometry(0, 0, 1000, 50);
    parent.show();
  }
  void TearDown() override {
    plat::setTimeScale(1.0);
    plat::unregisterWindow(WindowHandleOf(&parent));
  }
  QRect Rect(int i) {
    QRect r;
    EXPECT_TRUE(bar->GetCellRect(bar->Cell(i), r));
    return r;
  }
};

TEST_F(TimeBar, CellsAreDrawnWhereTheirTimesAreAtEveryZoom) {
  bar->AddCell(ScheduleCell(10, 0, 0, 10, 0, 30, u"short"));
  bar->AddCell(ScheduleCell(1, 0, 0, 3, 0, 0, u"long"));
  bar->AddCell(ScheduleCell(5, 5, 5, 5, 5, 5, u"empty"));
  bar->AddCell(ScheduleCell(23, 0, 0, 0, 0, 0, u"reversed"));
  ASSERT_EQ(bar->CellCount(), 3);
  EXPECT_EQ(bar->GetCellName(2), u"reversed");
  EXPECT_EQ(bar->GetCellName(3), u"");
  EXPECT_EQ(bar->GetCellName(-1), u"");
  EXPECT_EQ(bar->FindCellByName(u"long").EndHour, 3);
  EXPECT_EQ(bar->FindCellByName(u"none").FileName, u"");
  // 60 s per pixel: ten o'clock is 600 pixels from the origin; 30 s still shows 2 pixels.
  EXPECT_EQ(Rect(0).left(), 650);
  EXPECT_EQ(Rect(0).width(), 2);
  EXPECT_EQ(Rect(1).left(), 110);
  EXPECT_EQ(Rect(1).width(), 120);
  EXPECT_EQ(Rect(0).top(), 26);
  QRect r;
  // Past the visible steps at 23:00 (1430 > 7 * 120 + 50): not drawn, whatever its end.
  EXPECT_FALSE(bar->GetCellRect(bar->Cell(2), r));
  // Zoomed in once (30 s per pixel) and scrolled two steps: one o'clock starts before the
  // visible range and is drawn from the origin.
  bar->OnButtonDown(CScheduleCtrl::kZoomIn);
  bar->OnButtonUp();
  EXPECT_EQ(bar->GetStepCount(), 24);
  bar->OnButtonDown(CScheduleCtrl::kScrollForward);
  bar->OnButtonUp();
  bar->OnButtonDown(CScheduleCtrl::kScrollForward);
  bar->OnButtonUp();
  EXPECT_EQ(bar->ScrollPosition(), 2);
  EXPECT_EQ(Rect(1).left(), 50);
  EXPECT_EQ(Rect(1).right() + 1, 3 * 120 + 50 - 240);
  // A reversed cell seen at its start at the least width.
  for (int i = 0; i < 8; ++i) bar->OnButtonDown(CScheduleCtrl::kZoomOut);
  EXPECT_EQ(bar->ZoomIndex(), 0);
  EXPECT_EQ(bar->ScrollPosition(), 0);
  bar->OnButtonDown(CScheduleCtrl::kScrollForward);  // 02:00 at the origin
  bar->OnButtonUp();
  bar->OnButtonDown(CScheduleCtrl::kScrollForward);
  bar->OnButtonDown(CScheduleCtrl::kScrollForward);
  bar->OnButtonDown(CScheduleCtrl::kScrollForward);
  bar->OnButtonDown(CScheduleCtrl::kScrollForward);
  bar->OnButtonUp();
  ASSERT_EQ(bar->ScrollPosition(), 5);
  ASSERT_TRUE(bar->GetCellRect(bar->Cell(2), r));
  EXPECT_EQ(r.left(), 23 * 60 - 5 * 120 + 50);
  EXPECT_EQ(r.width(), 2);
  // Zoom stops at one second per pixel.
  for (int i = 0; i < 9; ++i) bar->OnButtonDown(CScheduleCtrl::kZoomIn);
  EXPECT_EQ(bar->ZoomIndex(), 5);
  EXPECT_EQ(bar->GetStepCount(), 720);
  bar->OnButtonDown(CScheduleCtrl::kScrollBack);
  EXPECT_EQ(bar->ScrollPosition(), 0);
  EXPECT_EQ(CScheduleCtrl::FormatTime(24, 0, 0), u"24:00:00");
  EXPECT_EQ(CScheduleCtrl::FormatTime(2, 5, 9), u"02:05:09");
  harness::Grab(bar);
}

TEST_F(TimeBar, TwoClicksWithinTwoSecondsReportOnce) {
  bar->AddCell(ScheduleCell(1, 0, 0, 3, 0, 0, u"a"));
  bar->AddCell(ScheduleCell(4, 0, 0, 5, 0, 0, u"b"));
  const QPoint onA = Rect(0).center(), onB = Rect(1).center();
  harness::Click(bar, onA);
  harness::Click(bar, onB);
  harness::Click(bar, QPoint(20, 40));  // on no cell
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], 0u);
  plat::setTimeScale(0.001);  // two product seconds pass in two milliseconds
  plat::sleepMs(5000);
  harness::Click(bar, onB);
  ASSERT_EQ(clicks.size(), 2u);
  EXPECT_EQ(clicks[1], 1u);
}

}  // namespace
