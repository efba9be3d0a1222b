// The skinned dialog base: layout, closing rules, dragging, painting; screenshots.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>

#include "controls/PngResource.h"
#include "harness/SampleDialog.h"
#include "harness/UiHarness.h"
#include "shell/Text.h"

using harness::SampleDialog;

namespace {
int ImageHeight(int id) {
  QImage img;
  LoadPngResource(&img, id);
  return img.height();
}
}  // namespace

TEST(DialogQx, InitLaysOutTheSkin) {
  SampleDialog d;
  d.move(100, 100);
  const QSize before = d.size();
  QLabel* label = d.findChildren<QLabel*>().front();
  const QPoint labelBefore = label->pos();
  d.EnsureInitialized();
  const int capH = ImageHeight(CQxDialog::kCaptionImage), botH = ImageHeight(CQxDialog::kBottomImage);
  ASSERT_GT(capH, 0);
  EXPECT_EQ(d.size(), QSize(before.width() + 6, before.height() + capH + botH));
  EXPECT_EQ(d.pos(), QPoint(100, 100));
  EXPECT_EQ(d.CaptionRect(), QRect(0, 0, d.width(), capH));
  EXPECT_EQ(label->pos(), labelBefore + QPoint(10, capH));

  CBitmapButtonEx* close = d.CloseButton();
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(close->GetDlgCtrlID(), CQxDialog::kCloseButtonId);
  EXPECT_EQ(close->pos(), QPoint(d.width() - close->width() - 3, capH / 2 - close->height() / 2));
  // Rounded corners: the corner pixel lies outside the window, the middle inside.
  EXPECT_FALSE(d.mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(d.mask().contains(QPoint(d.width() / 2, d.height() / 2)));
  d.EnsureInitialized();  // once only
  EXPECT_EQ(d.size(), QSize(before.width() + 6, before.height() + capH + botH));
}

TEST(DialogQx, AnUnplacedDialogOpensCentredOverItsOwner) {
  QWidget owner;
  owner.setGeometry(300, 200, 800, 600);
  owner.show();
  SampleDialog d(&owner);
  d.EnsureInitialized();
  d.show();
  const QPoint centre = d.frameGeometry().center();
  EXPECT_TRUE(owner.frameGeometry().adjusted(200, 150, -200, -150).contains(centre))
      << centre.x() << "," << centre.y();
  d.close();
}

TEST(DialogQx, PaintsBackgroundBordersAndCaption) {
  SampleDialog d;
  d.EnsureInitialized();
  const QImage img = harness::Grab(&d);
  const int capH = d.CaptionRect().height();
  EXPECT_EQ(QColor(img.pixel(1, capH + 40)), CQxDialog::kSideBorder);
  EXPECT_EQ(QColor(img.pixel(d.width() - 2, capH + 40)), CQxDialog::kSideBorder);
  EXPECT_EQ(QColor(img.pixel(d.width() - 8, capH + 100)), CQxDialog::kBackground);
  EXPECT_NE(QColor(img.pixel(d.width() / 2, capH / 2)), CQxDialog::kBackground);
}

TEST(DialogQx, AnImageButtonTheDialogsMapDoesNotTakeEndsItWithZero) {
  SampleDialog d;
  d.EnsureInitialized();
  d.show();
  d.setResult(7);
  harness::Click(d.ok, QPoint(5, 5));  // the dialog's own map takes it: it stays open
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(d.taken, std::vector<uintptr_t>{SampleDialog::kOk});
  int cancelClicks = 0;
  QObject::connect(d.cancel, &QAbstractButton::clicked, [&] { ++cancelClicks; });
  harness::MousePress(d.cancel, QPoint(5, 5));  // not taken: the press ends the dialog with 0
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.result(), 0);
  EXPECT_EQ(cancelClicks, 0);
  d.show();
  d.setResult(7);

  int clicksAfterEnd = 0;
  QObject::connect(d.CloseButton(), &QAbstractButton::clicked, [&] { ++clicksAfterEnd; });
  harness::MousePress(d.CloseButton(), QPoint(3, 3));
  EXPECT_FALSE(d.isVisible());
  EXPECT_EQ(d.result(), 0);
  EXPECT_EQ(clicksAfterEnd, 0);  // ended on the press, before any click

  SampleDialog modal;
  QTimer::singleShot(0, &modal, [&] { harness::Click(modal.CloseButton(), QPoint(3, 3)); });
  EXPECT_EQ(modal.DoModal(), 0);
  SampleDialog ended;
  QTimer::singleShot(0, &ended, [&] { ended.EndDialog(1); });
  EXPECT_EQ(ended.DoModal(), 1);
}

TEST(DialogQx, DragsByTheCaptionOnly) {
  SampleDialog d;
  d.move(200, 150);
  d.EnsureInitialized();
  d.show();
  harness::MousePress(&d, QPoint(40, 10));
  harness::MouseMove(&d, QPoint(70, 25), true);
  harness::MouseRelease(&d, QPoint(70, 25));
  EXPECT_EQ(d.pos(), QPoint(230, 165));
  const QPoint before = d.pos();
  const int below = d.CaptionRect().height() + 20;
  harness::MousePress(&d, QPoint(40, below));
  harness::MouseMove(&d, QPoint(90, below + 30), true);
  harness::MouseRelease(&d, QPoint(90, below + 30));
  EXPECT_EQ(d.pos(), before);
}

TEST(DialogQx, Screenshots) {
  for (bool english : {false, true}) {
    harness::ScopedLanguage lang(english);
    SampleDialog d;
    d.EnsureInitialized();
    d.show();
    harness::Pump();
    EXPECT_EQ(d.windowTitle(), Text(8289));
    harness::SaveScreenshot(&d, english ? "dialog_en" : "dialog_zh");
  }
}
