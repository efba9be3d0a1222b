// The splash window: position, bitmap, showing, hiding (with and without the fade).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QThread>

#include "controls/SplashScreenEx.h"
#include "harness/UiHarness.h"
#include "plat/clock.h"

namespace {
bool PumpUntilGone(const QPointer<CSplashScreenEx>& s) {
  for (int i = 0; i < 20000 && s; ++i) {
    harness::Pump();
    QThread::usleep(200);
  }
  return s.isNull();
}
}  // namespace

TEST(NotifierSplash, CentresAndShowsItsBitmap) {
  QPointer<CSplashScreenEx> s = new CSplashScreenEx;
  ASSERT_TRUE(s->Create(nullptr, QString(), 2000, CSplashScreenEx::CSS_CENTERSCREEN | CSplashScreenEx::CSS_SHADOW));
  EXPECT_FALSE(s->SetBitmap(1));
  ASSERT_TRUE(s->SetBitmap(176));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_EQ(s->Position(), QPoint(screen.x() + (screen.width() - 420) / 2, screen.y() + (screen.height() - 240) / 2));
  EXPECT_EQ(s->TextRect(), QRect(0, 0, 420, 240));
  EXPECT_FALSE(s->isVisible());  // nothing shows it but Show
  s->Show();
  EXPECT_TRUE(s->isVisible());
  EXPECT_EQ(s->geometry(), QRect(s->Position(), QSize(420, 240)));
  s->Hide();  // no fade: gone at once
  EXPECT_TRUE(PumpUntilGone(s));

  QWidget parent;
  parent.setGeometry(100, 100, 600, 400);
  QPointer<CSplashScreenEx> t = new CSplashScreenEx;
  t->Create(&parent, "loading", 2000, CSplashScreenEx::CSS_CENTERAPP);
  ASSERT_TRUE(t->SetBitmap(176));
  const QRect pr = parent.frameGeometry();
  EXPECT_EQ(t->Position(), QPoint(pr.x() + (pr.width() - 420) / 2, pr.y() + (pr.height() - 240) / 2));
  delete t.data();
}

TEST(NotifierSplash, TimesOutAndFades) {
  plat::setTimeScale(0.01);
  QPointer<CSplashScreenEx> s = new CSplashScreenEx;
  s->Create(nullptr, QString(), 2000, 15);  // the main window's flags
  s->SetBitmap(176);
  s->Show();
  EXPECT_TRUE(PumpUntilGone(s));  // timer, fade, then the object ends with its window
  plat::setTimeScale(1.0);
}

TEST(NotifierSplash, HidesOnAnyPressWhenAsked) {
  QWidget other;
  QPointer<CSplashScreenEx> s = new CSplashScreenEx;
  s->Create(nullptr, QString(), 60000, CSplashScreenEx::CSS_HIDEONCLICK);
  s->SetBitmap(176);
  s->Show();
  struct KeySpy : QWidget {
    int keys = 0;
    void keyPressEvent(QKeyEvent*) override { ++keys; }
  } spy;
  harness::KeyPress(&spy, Qt::Key_A, "a");
  EXPECT_EQ(spy.keys, 0);  // swallowed
  EXPECT_TRUE(PumpUntilGone(s));
  harness::KeyPress(&spy, Qt::Key_A, "a");
  EXPECT_EQ(spy.keys, 1);  // the filter went with the splash
}
