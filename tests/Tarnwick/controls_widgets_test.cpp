// The skinned list, numeric edit, slider and check combo.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>

#include "controls/CheckComboBox.h"
#include "controls/EditEx.h"
#include "controls/ListCtrlEx.h"
#include "controls/SliderControlEx.h"
#include "harness/Recorder.h"
#include "harness/UiHarness.h"

using harness::RecordingParent;

namespace {

void Type(QWidget* w, const QString& chars) {
  for (QChar c : chars) harness::KeyPress(w, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_A, QString(c));
}

// The colour the list paints in `row` at viewport column `x` (default: the right end, past any
// text and past the last column).
QColor RowColour(CListCtrlEx& list, int row, int x = -1) {
  QImage img = harness::Grab(&list);
  QRect r = list.visualItemRect(list.topLevelItem(row));
  if (x < 0) x = list.viewport()->width() - 3;
  QPoint p = list.viewport()->mapTo(&list, QPoint(x, r.center().y()));
  return img.pixelColor(p);
}

}  // namespace

TEST(ControlsList, BandsAndSelection) {
  RecordingParent parent;
  CListCtrlEx list;
  list.setParent(&parent);
  list.setGeometry(0, 0, 300, 200);
  EXPECT_EQ(list.InsertColumn(0, "name", 120), 0);
  EXPECT_EQ(list.InsertColumn(1, "ip", 120), 1);
  list.InsertItem(0, "a");
  EXPECT_TRUE(list.SetItemText(0, 1, "10.0.0.1"));
  EXPECT_FALSE(list.SetItemText(0, 5, "x"));
  EXPECT_FALSE(list.SetItemText(3, 0, "x"));
  QColor plain = RowColour(list, 0);
  EXPECT_NE(plain, CListCtrlEx::kBandColor);  // one row: no band

  list.InsertItem(1, "b");
  EXPECT_EQ(RowColour(list, 1), CListCtrlEx::kBandColor);
  EXPECT_EQ(RowColour(list, 0), plain);
  list.SelectRow(1);
  EXPECT_EQ(list.GetSelectedRow(), 1);
  EXPECT_EQ(RowColour(list, 1), CListCtrlEx::kSelectedColor);
  // The cells themselves, not only the space after the last column.
  EXPECT_EQ(RowColour(list, 1, 1), CListCtrlEx::kSelectedColor);
  EXPECT_EQ(RowColour(list, 1, 200), CListCtrlEx::kSelectedColor);

  EXPECT_EQ(list.InsertColumn(0, "first", 50), 0);  // cells move right with their column
  EXPECT_EQ(list.GetItemText(0, 2), "10.0.0.1");
  EXPECT_TRUE(list.SetItemData(1, 42));
  EXPECT_EQ(list.GetItemData(1), 42);
  EXPECT_TRUE(list.DeleteItem(0));
  EXPECT_FALSE(list.DeleteItem(7));
  EXPECT_EQ(list.GetItemCount(), 1);
}

TEST(ControlsList, KeysDoNothingAndEscGoesUp) {
  RecordingParent parent;
  CListCtrlEx list;
  list.setParent(&parent);
  list.InsertColumn(0, "n", 100);
  for (int i = 0; i < 3; ++i) list.InsertItem(i, QString::number(i));
  list.SelectRow(1);
  list.setCurrentItem(list.topLevelItem(1));
  for (int key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Delete, Qt::Key_Home, Qt::Key_Return})
    harness::KeyPress(&list, key);
  EXPECT_EQ(list.GetSelectedRow(), 1);
  EXPECT_EQ(list.GetItemCount(), 3);
  harness::Pump();
  EXPECT_TRUE(parent.keys.empty());
  harness::KeyPress(&list, Qt::Key_Escape);
  harness::Pump();
  EXPECT_EQ(parent.keys, std::vector<int>{Qt::Key_Escape});
}

TEST(ControlsEdit, ClampsTypedNumbers) {
  CEditEx e;
  e.SetNumberStyle(true);
  e.SetRange(1, 100);
  Type(&e, "0");
  EXPECT_EQ(e.text(), "1");
  EXPECT_EQ(e.selectedText(), "1");
  e.clear();
  Type(&e, "250");
  EXPECT_EQ(e.text(), "100");
  e.clear();
  Type(&e, "42");
  EXPECT_EQ(e.text(), "42");
  Type(&e, "x");  // letters never enter a number field
  EXPECT_EQ(e.text(), "42");

  CEditEx min10;
  min10.SetNumberStyle(true);
  min10.SetRange(10, 99);
  Type(&min10, "5");
  EXPECT_EQ(min10.text(), "10");
  // Delete makes no character: what it leaves is not clamped (the next character typed is).
  min10.setText("15");
  min10.setCursorPosition(0);
  harness::KeyPress(&min10, Qt::Key_Delete);
  EXPECT_EQ(min10.text(), "5");
  min10.setCursorPosition(1);
  Type(&min10, "0");
  EXPECT_EQ(min10.text(), "50");

  CEditEx plain;  // without the number style nothing is clamped
  plain.SetRange(1, 100);
  Type(&plain, "250");
  EXPECT_EQ(plain.text(), "250");

  EXPECT_EQ(CEditEx::LeadingNumber("123abc"), 123);
  EXPECT_EQ(CEditEx::LeadingNumber("abc"), 0);
  EXPECT_GT(CEditEx::LeadingNumber("99999999999999999999999"), static_cast<long long>(INT_MAX));
  CEditEx big;
  big.SetNumberStyle(true);
  Type(&big, "3000000000");  // past the 32-bit range: the default maximum, no overflow
  EXPECT_EQ(big.text(), "2147483647");
  big.clear();
  big.SetRange(0, 65535);
  Type(&big, "70000");
  EXPECT_EQ(big.text(), "65535");
  Type(&big, "7");  // typing over the selected bound starts again
  EXPECT_EQ(big.text(), "7");
}

TEST(ControlsSlider, ThumbBackgroundAndKeys) {
  RecordingParent parent;
  CSliderControlEx s(&parent);
  EXPECT_EQ(s.minimum(), 0);
  EXPECT_EQ(s.maximum(), 100);
  s.setGeometry(5, 6, 120, 24);
  EXPECT_FALSE(s.LoadBackgroundImageResource(1));
  EXPECT_FALSE(s.LoadBackgroundImageFile(QString()));
  s.SizeToBackground();
  EXPECT_EQ(s.geometry(), QRect(5, 6, 120, 24));
  ASSERT_TRUE(s.LoadBackgroundImageResource(6001));
  s.SizeToBackground();
  EXPECT_EQ(s.geometry(), QRect(5, 6, 240, 60));

  // The drawn thumb carries the outline colour; a thumb image replaces it.
  auto outlinePixels = [&] {
    QImage img = harness::Grab(&s);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) n += img.pixelColor(x, y) == CSliderControlEx::kThumbOutline;
    return n;
  };
  EXPECT_GT(outlinePixels(), 4);
  // A slider that takes no input looks as one that does.
  const QImage enabled = harness::Grab(&s);
  s.setEnabled(false);
  EXPECT_EQ(harness::Grab(&s), enabled);
  s.setEnabled(true);
  ASSERT_TRUE(s.LoadThumbImageResource(6048));
  EXPECT_EQ(s.ThumbRect().size(), QSize(12, 18));
  EXPECT_EQ(outlinePixels(), 0);

  s.setValue(50);
  harness::KeyPress(&s, Qt::Key_Return);
  harness::KeyPress(&s, Qt::Key_Right);
  EXPECT_EQ(s.value(), 51);
  harness::Pump();
  EXPECT_TRUE(parent.keys.empty());
  harness::KeyPress(&s, Qt::Key_Escape);
  harness::Pump();
  EXPECT_EQ(parent.keys, std::vector<int>{Qt::Key_Escape});
}

TEST(ControlsCheckCombo, ChecksJoinTheTextAndClicksKeepTheListOpen) {
  QWidget parent;
  parent.resize(300, 200);
  CCheckComboBox c;
  c.setParent(&parent);
  c.setGeometry(10, 10, 150, 24);
  for (const char* t : {"one", "two", "three"}) c.AddString(t);
  parent.show();
  std::vector<int> changes;
  QObject::connect(&c, &CCheckComboBox::selChange, [&](int i) { changes.push_back(i); });
  c.showPopup();
  QAbstractItemView* view = c.view();
  ASSERT_TRUE(view->isVisible());
  const QRect item = view->visualRect(view->model()->index(1, 0));
  harness::Click(view->viewport(), item.center());
  EXPECT_NE(c.GetCheck(1), 0);
  EXPECT_TRUE(view->isVisible());
  harness::Click(view->viewport(), item.center());
  EXPECT_EQ(c.GetCheck(1), 0);
  view->setCurrentIndex(view->model()->index(2, 0));
  harness::KeyPress(view, Qt::Key_Space, " ");
  EXPECT_NE(c.GetCheck(2), 0);
  EXPECT_EQ(changes, (std::vector<int>{1, 1, 2}));
  EXPECT_EQ(c.GetWindowText(), "three");
  c.hidePopup();

  // The checked items' texts, joined in list order.
  EXPECT_EQ(c.SetCheck(0, true), 0);
  EXPECT_EQ(c.SetCheck(5, true), -1);
  EXPECT_EQ(c.GetWindowText(), "one; three");
  c.SetCheck(2, false);
  EXPECT_EQ(c.GetWindowText(), "one");
  c.SetCheck(0, false);
  EXPECT_EQ(c.GetWindowText(), "");
}
