// The taskbar notifier: sides, slides, timers, restart rules, skin region, clicks; screenshots.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPointer>
#include <QThread>
#include <memory>

#include "controls/TaskbarNotifier.h"
#include "harness/NotifierTicks.h"
#include "harness/Recorder.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "plat/clock.h"
#include "shell/Language.h"
#include "shell/Text.h"

namespace {

const QRect kScreen(0, 0, 1280, 1024);

ScreenAreas AreasFor(int side) {
  switch (side) {
    case kTaskbarRight: return {kScreen, QRect(0, 0, 1240, 1024)};
    case kTaskbarLeft: return {kScreen, QRect(40, 0, 1240, 1024)};
    case kTaskbarTop: return {kScreen, QRect(0, 30, 1280, 994)};
    default: return {kScreen, QRect(0, 0, 1280, 994)};
  }
}

// A notifier with the program's skin, owned by a recording window.
struct Fixture {
  harness::RecordingParent owner;
  std::unique_ptr<CTaskbarNotifier> n = std::make_unique<CTaskbarNotifier>();
  explicit Fixture(int side) {
    n->Create(&owner);
    n->ApplyStandardSkin();
    n->SetScreenSource([side] { return AreasFor(side); });
  }
};

using harness::TickUntilStopped;

}  // namespace

TEST(NotifierSide, FromTheWorkArea) {
  EXPECT_EQ(FindTaskbarSide(AreasFor(kTaskbarRight)), kTaskbarRight);
  EXPECT_EQ(FindTaskbarSide(AreasFor(kTaskbarLeft)), kTaskbarLeft);
  EXPECT_EQ(FindTaskbarSide(AreasFor(kTaskbarTop)), kTaskbarTop);
  EXPECT_EQ(FindTaskbarSide(AreasFor(kTaskbarBottom)), kTaskbarBottom);
  EXPECT_EQ(FindTaskbarSide({kScreen, kScreen}), kTaskbarBottom);  // no taskbar
}

TEST(NotifierSlide, EachSideSlidesOutStaysAndSlidesBack) {
  struct Expect {
    int side;
    QPoint start, shown;
    int interval;
  };
  const int W = 220, H = 124;
  const Expect cases[] = {
      {kTaskbarBottom, {1280 - W, 994}, {1280 - W, 994 - H}, 500 / (H / 2)},
      {kTaskbarTop, {1280 - W, 30 - H}, {1280 - W, 30}, 500 / (H / 2)},
      {kTaskbarRight, {1240, 1024 - H}, {1240 - W, 1024 - H}, 500 / (W / 2)},
      {kTaskbarLeft, {40 - W, 1024 - H}, {40, 1024 - H}, 500 / (W / 2)},
  };
  for (const Expect& c : cases) {
    SCOPED_TRACE(c.side);
    Fixture f(c.side);
    ASSERT_EQ(f.n->SkinSize(), QSize(W, H));
    f.n->Show(QStringLiteral("hello"));
    EXPECT_EQ(f.n->Side(), c.side);
    EXPECT_EQ(f.n->StartPos(), c.start);
    EXPECT_EQ(f.n->TimerInterval(CTaskbarNotifier::kAppearTimer), c.interval);
    EXPECT_TRUE(f.n->Window()->isVisible());

    f.n->OnTimer(CTaskbarNotifier::kAppearTimer);  // first tick: in place, one step out
    EXPECT_EQ(f.n->State(), CTaskbarNotifier::kAppearing);
    EXPECT_EQ((f.n->CurrentPos() - c.start).manhattanLength(), CTaskbarNotifier::kStep);
    EXPECT_EQ(f.n->Window()->geometry(), QRect(f.n->CurrentPos(), QSize(W, H)));

    TickUntilStopped(*f.n, CTaskbarNotifier::kAppearTimer);
    EXPECT_EQ(f.n->State(), CTaskbarNotifier::kShown);
    EXPECT_EQ(f.n->CurrentPos(), c.shown);
    EXPECT_EQ(f.n->TimerInterval(CTaskbarNotifier::kStayTimer), 3000);

    f.n->OnTimer(CTaskbarNotifier::kStayTimer);
    EXPECT_EQ(f.n->TimerInterval(CTaskbarNotifier::kStayTimer), -1);
    EXPECT_EQ(f.n->TimerInterval(CTaskbarNotifier::kDisappearTimer), c.interval);
    EXPECT_EQ(f.n->State(), CTaskbarNotifier::kShown);  // until the first slide-back tick

    TickUntilStopped(*f.n, CTaskbarNotifier::kDisappearTimer);
    EXPECT_EQ(f.n->State(), CTaskbarNotifier::kHidden);
    EXPECT_FALSE(f.n->Window()->isVisible());
    for (int id = 1; id <= 3; ++id) EXPECT_EQ(f.n->TimerInterval(id), -1);
  }
}

TEST(NotifierSlide, RestartRules) {
  Fixture f(kTaskbarBottom);
  f.n->Show(QStringLiteral("first"));
  f.n->OnTimer(CTaskbarNotifier::kAppearTimer);
  const QPoint during = f.n->CurrentPos();
  f.n->Show(QStringLiteral("second"));  // while appearing: the text only
  EXPECT_EQ(f.n->Text(), "second");
  EXPECT_EQ(f.n->CurrentPos(), during);
  EXPECT_EQ(f.n->StartPos(), QPoint(1060, 994));

  TickUntilStopped(*f.n, CTaskbarNotifier::kAppearTimer);
  f.n->Show(QStringLiteral("third"), 500, 1234, 500);  // while shown: the full stay again
  EXPECT_EQ(f.n->Text(), "third");
  EXPECT_EQ(f.n->TimerInterval(CTaskbarNotifier::kStayTimer), 1234);

  f.n->OnTimer(CTaskbarNotifier::kStayTimer);
  for (int i = 0; i < 5; ++i) f.n->OnTimer(CTaskbarNotifier::kDisappearTimer);
  EXPECT_EQ(f.n->State(), CTaskbarNotifier::kDisappearing);
  EXPECT_EQ(f.n->CurrentPos(), QPoint(1060, 994 - 124 + 10));
  f.n->Show(QStringLiteral("fourth"));  // while sliding back: fully shown at once
  EXPECT_EQ(f.n->CurrentPos(), QPoint(1060, 994 - 124));
  EXPECT_EQ(f.n->Window()->pos(), QPoint(1060, 994 - 124));
  EXPECT_EQ(f.n->TimerInterval(CTaskbarNotifier::kDisappearTimer), -1);
  EXPECT_EQ(f.n->TimerInterval(CTaskbarNotifier::kStayTimer), 3000);

  f.n->Hide();  // stops the stay timer that the restart started
  for (int id = 1; id <= 3; ++id) EXPECT_EQ(f.n->TimerInterval(id), -1);
  EXPECT_EQ(f.n->State(), CTaskbarNotifier::kHidden);
}

TEST(NotifierSlide, DegenerateSkinsAndIntervals) {
  Fixture f(kTaskbarBottom);
  ASSERT_TRUE(f.n->SetSkinImage(QImage(1, 40, QImage::Format_RGB32)));
  f.n->Show(QStringLiteral("x"));  // half the width is 0: nothing happens
  EXPECT_EQ(f.n->State(), CTaskbarNotifier::kHidden);
  EXPECT_EQ(f.n->TimerInterval(CTaskbarNotifier::kAppearTimer), -1);

  ASSERT_TRUE(f.n->SetSkinImage(QImage(40, 40, QImage::Format_RGB32)));
  f.n->Show(QStringLiteral("x"), 0, 0, 0);
  EXPECT_EQ(f.n->TimerInterval(CTaskbarNotifier::kAppearTimer), 1);  // never a spinning 0 ms timer
  EXPECT_FALSE(f.n->SetSkinImage(QImage()));
  EXPECT_FALSE(f.n->SetSkinBitmap(1));
  EXPECT_EQ(f.n->SkinSize(), QSize(40, 40));  // failed loads keep the previous skin

  CTaskbarNotifier windowless;
  windowless.SetSkinImage(QImage(40, 40, QImage::Format_RGB32));
  windowless.Show(QStringLiteral("x"));
  EXPECT_EQ(windowless.State(), CTaskbarNotifier::kHidden);
}

TEST(NotifierSkin, TransparentColourLeavesTheRegion) {
  QImage skin(10, 4, QImage::Format_RGB32);
  skin.fill(QColor(10, 20, 30));
  skin.setPixelColor(2, 1, QColor(255, 0, 255));
  skin.setPixelColor(9, 3, QColor(255, 0, 255));
  QRegion r = RegionFromSkin(skin, QColor(255, 0, 255));
  EXPECT_FALSE(r.contains(QPoint(2, 1)));
  EXPECT_TRUE(r.contains(QPoint(3, 1)));
  EXPECT_TRUE(r.contains(QPoint(0, 0)));
  EXPECT_FALSE(r.contains(QPoint(8, 0)));  // width rounded down to a multiple of 4

  Fixture f(kTaskbarBottom);
  ASSERT_TRUE(f.n->SetSkinImage(skin, 255, 0, 255));
  EXPECT_FALSE(f.n->Window()->mask().contains(QPoint(2, 1)));
  ASSERT_TRUE(f.n->SetSkinImage(skin));
  EXPECT_TRUE(f.n->Window()->mask().isEmpty());
  EXPECT_EQ(f.n->TextRect(), QRect(0, 0, 10, 4));
}

TEST(NotifierWindow, HoverAndClickReachTheOwner) {
  Fixture f(kTaskbarBottom);
  f.n->Show(QStringLiteral("click me"));
  EXPECT_EQ(f.n->CurrentColor(), QColor(0, 0, 0));
  harness::Enter(f.n->Window());
  EXPECT_TRUE(f.n->Selected());
  EXPECT_EQ(f.n->CurrentColor(), QColor(0, 0, 200));
  harness::Leave(f.n->Window());
  EXPECT_FALSE(f.n->Selected());
  harness::Click(f.n->Window(), QPoint(50, 50));
  harness::Pump();
  ASSERT_EQ(f.owner.messages.size(), 1u);
  EXPECT_EQ(f.owner.messages[0].message, WM_NOTIFIER_CLICKED);
  EXPECT_EQ(f.owner.messages[0].message, 1147u);
}

TEST(NotifierWindow, GoesWithItsOwnerAndTheObjectStays) {
  auto n = std::make_unique<CTaskbarNotifier>();
  {
    auto owner = std::make_unique<QWidget>();
    n->Create(owner.get());
    n->ApplyStandardSkin();
    n->Show(QStringLiteral("x"));
    EXPECT_TRUE(n->HasWindow());
  }
  EXPECT_FALSE(n->HasWindow());
  n->Show(QStringLiteral("y"));  // harmless without a window
  n->OnTimer(CTaskbarNotifier::kAppearTimer);
  n->Hide();
  QWidget next;
  EXPECT_TRUE(n->CreateIfNeeded(&next));  // the next owner makes it again
  EXPECT_TRUE(n->HasWindow());
  EXPECT_EQ(n->SkinSize(), QSize(220, 124));
  EXPECT_EQ(n->TextRect(), QRect(QPoint(10, 40), QPoint(220 - 11, 124 - 26)));
  EXPECT_FALSE(n->CreateIfNeeded(nullptr));
  EXPECT_EQ(n->Window()->parentWidget(), &next);

  CTaskbarNotifier* a = CTaskbarNotifier::GetInstance();
  EXPECT_EQ(a, CTaskbarNotifier::GetInstance());
  a->Create(&next);
  const QPointer<QWidget> window = a->Window();
  ASSERT_FALSE(window.isNull());
  // The program's one notifier is a service: the reset point deletes it with its window, and
  // the next use makes another.
  harness::ResetServices();
  EXPECT_TRUE(window.isNull());
  EXPECT_NE(CTaskbarNotifier::GetInstance(), nullptr);
}

TEST(NotifierWindow, RunsItsOwnTimersToTheEnd) {
  plat::setTimeScale(0.01);
  Fixture f(kTaskbarBottom);
  f.n->Show(QStringLiteral("timed"));
  bool wasShown = false;
  for (int i = 0; i < 20000 && !(wasShown && f.n->State() == CTaskbarNotifier::kHidden); ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    wasShown = wasShown || f.n->State() == CTaskbarNotifier::kShown;
    QThread::usleep(200);
  }
  plat::setTimeScale(1.0);
  EXPECT_TRUE(wasShown);
  EXPECT_EQ(f.n->State(), CTaskbarNotifier::kHidden);
}

TEST(NotifierWindow, Screenshots) {
  for (bool english : {false, true}) {
    harness::ScopedLanguage lang(english);
    Fixture f(kTaskbarBottom);
    f.n->Show(LoadResString(8297));
    TickUntilStopped(*f.n, CTaskbarNotifier::kAppearTimer);
    EXPECT_EQ(f.n->State(), CTaskbarNotifier::kShown);
    harness::SaveScreenshot(f.n->Window(), english ? "notifier_en" : "notifier_zh");
  }
}

// A notice ending in a long file path (no blank to wrap at) is shown whole: the path breaks
// across lines instead of being cut at both edges of the text box.
TEST(NotifierWindow, LongPathShownWhole) {
  Fixture f(kTaskbarBottom);
  const QString text = QStringLiteral("Snapshot takenC:\\Capture\\Preview_01_20261209_023659_12758115.bmp");
  f.n->Show(QStringLiteral(" "));
  TickUntilStopped(*f.n, CTaskbarNotifier::kAppearTimer);
  const QImage blank = harness::Grab(f.n->Window());
  f.n->Show(text);
  TickUntilStopped(*f.n, CTaskbarNotifier::kAppearTimer);
  const QImage shown = harness::Grab(f.n->Window());
  harness::SaveScreenshot(shown, "notifier_long_path");
  ASSERT_EQ(shown.size(), blank.size());
  int drawn = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x) drawn += shown.pixel(x, y) != blank.pixel(x, y);
  // The ink of the same text on one unbounded line, in the same font.
  QImage line(2000, 100, QImage::Format_ARGB32);
  line.fill(Qt::transparent);
  {
    QPainter p(&line);
    p.setFont(f.n->CurrentFont());
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, 2000, 100), Qt::AlignLeft | Qt::AlignVCenter, text);
  }
  int ink = 0;
  for (int y = 0; y < line.height(); ++y)
    for (int x = 0; x < line.width(); ++x) ink += qAlpha(line.pixel(x, y)) != 0;
  ASSERT_GT(ink, 0);
  EXPECT_GT(drawn, ink * 85 / 100) << "drawn " << drawn << " of " << ink;
}

// Notices given before there is a window (the start, before the main window), and those the
// main window's pages give while it builds them, are kept; once the window is up they are
// shown one after the other, in the order given, each for its full time. One given meanwhile
// waits its turn; a click on the one shown brings the next.
TEST(NotifierWindow, NoticesOfTheStartAreKeptAndShownInTurnOnceTheWindowIsUp) {
  auto n = std::make_unique<CTaskbarNotifier>();
  n->Show(QStringLiteral("settings damaged"));
  n->Show(QStringLiteral("previews damaged"));
  harness::RecordingParent owner;
  ASSERT_TRUE(n->CreateIfNeeded(&owner));
  n->SetScreenSource([] { return AreasFor(kTaskbarBottom); });
  n->HoldNotices();
  n->Show(QStringLiteral("devices cannot be opened"));
  EXPECT_EQ(n->KeptNotices(), 3);
  EXPECT_EQ(n->TimerInterval(CTaskbarNotifier::kAppearTimer), -1) << "nothing shown while held";
  EXPECT_TRUE(n->Text().isEmpty());

  n->ReleaseNotices();
  std::vector<QString> shown;
  for (int guard = 0; guard < 10 && n->TimerInterval(CTaskbarNotifier::kAppearTimer) >= 0; ++guard) {
    shown.push_back(n->Text());
    if (guard == 0) n->Show(QStringLiteral("given meanwhile"));
    EXPECT_EQ(n->Text(), shown.back()) << "the one shown keeps its place";
    TickUntilStopped(*n, CTaskbarNotifier::kAppearTimer);
    EXPECT_EQ(n->State(), CTaskbarNotifier::kShown);
    EXPECT_EQ(n->TimerInterval(CTaskbarNotifier::kStayTimer), 3000);
    n->OnTimer(CTaskbarNotifier::kStayTimer);
    TickUntilStopped(*n, CTaskbarNotifier::kDisappearTimer);
  }
  EXPECT_EQ(shown, (std::vector<QString>{"settings damaged", "previews damaged", "devices cannot be opened",
                                         "given meanwhile"}));
  EXPECT_EQ(n->State(), CTaskbarNotifier::kHidden);
  EXPECT_EQ(n->KeptNotices(), 0);

  // Released, the notifier is as the program's pages know it: a notice replaces the text.
  n->Show(QStringLiteral("a"));
  n->Show(QStringLiteral("b"));
  EXPECT_EQ(n->Text(), "b");
  EXPECT_EQ(n->KeptNotices(), 0);
  n->Hide();

  // Held again (a window that builds its pages anew): a click on the one shown brings the next.
  n->HoldNotices();
  n->Show(QStringLiteral("one"));
  n->Show(QStringLiteral("two"));
  n->ReleaseNotices();
  EXPECT_EQ(n->Text(), "one");
  n->Hide();
  EXPECT_EQ(n->Text(), "two");
  EXPECT_GE(n->TimerInterval(CTaskbarNotifier::kAppearTimer), 0);
}

namespace {

QString WithPath(uint32_t id, const QString& path) {
  return QString::fromStdU16String(LoadResString(id)).replace(QStringLiteral("%s"), path);
}

// How high `text` stands wrapped into the width of `rect`, measured as Qt's own text drawing
// measures it.
int DrawnHeight(const QFont& font, const QRect& rect, const QString& text) {
  return QFontMetrics(font).boundingRect(rect, Qt::AlignCenter | Qt::TextWordWrap | Qt::TextWrapAnywhere, text).height();
}

}  // namespace

// A notice that names files deep in folders is longer than the box: the folders are
// shortened in the middle, never the files' own names, and the text fits the box whole.
TEST(NotifierWindow, TheFilesNamedInALongNoticeStayReadable) {
  const QString data = QStringLiteral("/home/operator/.local/share/tarnwick/site-north-gate-building-2");
  for (bool english : {false, true}) {
    harness::ScopedLanguage lang(english);
    SCOPED_TRACE(english ? "en" : "zh");
    Fixture f(kTaskbarBottom);
    const QString damaged = WithPath(8990, data + QStringLiteral("/preivew.db"));
    const QString snapshot = Text(8350) + Text(8981) + data +
                             QStringLiteral("/Capture/Preview_\u524D\u95E801_01_20261209_023659_12758115.bmp");
    for (const QString& text : {damaged, snapshot}) {
      f.n->Show(text);
      TickUntilStopped(*f.n, CTaskbarNotifier::kAppearTimer);
      const QString shown = f.n->ShownText();
      EXPECT_NE(shown, text) << "it does not fit as it is";
      EXPECT_LE(DrawnHeight(f.n->CurrentFont(), f.n->TextRect(), shown), f.n->TextRect().height())
          << shown.toStdString();
      EXPECT_TRUE(shown.contains(QStringLiteral("\u2026/"))) << shown.toStdString();
      EXPECT_FALSE(shown.contains(QStringLiteral("operator"))) << "the folders go first";
      if (text == damaged) {
        EXPECT_TRUE(shown.contains(QStringLiteral("/preivew.db "))) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QStringLiteral("/preivew.db.bak"))) << shown.toStdString();
        harness::SaveScreenshot(f.n->Window(), english ? "notifier_long_path_en" : "notifier_long_path_zh");
      } else {
        EXPECT_TRUE(shown.startsWith(Text(8350))) << shown.toStdString();
        EXPECT_TRUE(shown.endsWith(QStringLiteral("/Preview_\u524D\u95E801_01_20261209_023659_12758115.bmp")))
            << shown.toStdString();
        harness::SaveScreenshot(f.n->Window(), english ? "notifier_snapshot_path_en" : "notifier_snapshot_path_zh");
      }
    }
  }
  // A notice that names no file is cut at its end, as it always was.
  Fixture f(kTaskbarBottom);
  const QString words = QString(QStringLiteral("word ")).repeated(80);
  f.n->Show(words);
  EXPECT_TRUE(f.n->ShownText().endsWith(QChar(0x2026)));
  EXPECT_TRUE(words.startsWith(f.n->ShownText().chopped(1)));
}
