// The play grid: the geometry of every layout as a pure function, and the play screen driven
// as a user drives it: pages, clicks, double clicks, full screen and Esc, the window menu and
// the split-layout picker.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>

#include "harness/DeviceWorkWait.h"
#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "plat/surface.h"
#include "plat/window.h"
#include "support/FakeDevices.h"
#include "controls/BitmapButtonEx.h"
#include "view/DlgDivScreen.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"
#include "view/ViewMessages.h"

namespace {

constexpr int kGrid[kLayoutModeCount] = {1, 2, 3, 4, 5, 3, 4, 5, 4, 5, 4, 5, 5, 5, 5};

bool Overlap(const LayoutRect& a, const LayoutRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(LayoutGeometry, EveryModeTilesItsGridWithoutOverlapAtSeveralSizes) {
  const LayoutRect areas[] = {{0, 0, 500, 500}, {1, 1, 508, 402}, {10, 20, 1290, 740}, {0, 0, 37, 29}};
  for (int mode = 0; mode < kLayoutModeCount; ++mode) {
    for (const LayoutRect& area : areas) {
      const int n = kLayoutWindowCount[mode];
      const int cw = area.Width() / kGrid[mode], ch = area.Height() / kGrid[mode];
      long covered = 0;
      std::vector<LayoutRect> cells;
      for (int i = 0; i < n; ++i) {
        LayoutRect c = LayoutCellRect(mode, area, i, n);
        SCOPED_TRACE(testing::Message() << "mode " << mode << " window " << i);
        EXPECT_FALSE(c.IsEmpty());
        EXPECT_GE(c.left, area.left);
        EXPECT_GE(c.top, area.top);
        EXPECT_LE(c.right, area.right);
        EXPECT_LE(c.bottom, area.bottom);
        EXPECT_EQ((c.left - area.left) % cw, 0);
        EXPECT_EQ((c.top - area.top) % ch, 0);
        for (const LayoutRect& other : cells) EXPECT_FALSE(Overlap(c, other));
        covered += static_cast<long>(c.Width()) * c.Height();
        cells.push_back(c);
      }
      // The unit cells are all used: the grid box is covered exactly.
      EXPECT_EQ(covered, static_cast<long>(cw) * kGrid[mode] * ch * kGrid[mode]) << "mode " << mode;
      EXPECT_TRUE(LayoutCellRect(mode, area, n, n).IsEmpty());
      EXPECT_TRUE(LayoutCellRect(mode, area, 0, 0).IsEmpty());
    }
  }
}

TEST(LayoutGeometry, CellsOfTheLargeWindowLayoutsSitWhereTheyShould) {
  const LayoutRect a{0, 0, 500, 500};
  EXPECT_EQ(LayoutCellRect(14, a, 0, 22), (LayoutRect{0, 0, 200, 200}));
  EXPECT_EQ(LayoutCellRect(14, a, 21, 22), (LayoutRect{400, 400, 500, 500}));
  EXPECT_EQ(LayoutCellRect(10, a, 5, 13), (LayoutRect{125, 125, 375, 375}));
  EXPECT_EQ(LayoutCellRect(10, a, 6, 13), (LayoutRect{375, 125, 500, 250}));
  EXPECT_EQ(LayoutCellRect(12, a, 6, 17), (LayoutRect{400, 200, 500, 300}));
  EXPECT_EQ(LayoutCellRect(11, a, 1, 14), (LayoutRect{300, 0, 500, 200}));
  EXPECT_EQ(LayoutCellRect(13, a, 3, 19), (LayoutRect{400, 100, 500, 200}));
  EXPECT_EQ(LayoutCellRect(9, a, 3, 13), (LayoutRect{200, 200, 400, 400}));
  // 507 pixels in five columns: 101 each, the last two pixels uncovered.
  EXPECT_EQ(LayoutCellRect(4, LayoutRect{0, 0, 507, 500}, 24, 25).right, 505);
  EXPECT_EQ(LayoutCellRect(15, a, 0, 1), a);  // unknown mode: the area as given
  // Area: share of the client, one pixel in, and the 11:8 box.
  EXPECT_EQ(LayoutArea({0, 0, 1000, 800}, 100, false), (LayoutRect{1, 1, 999, 799}));
  EXPECT_EQ(LayoutArea({0, 0, 1000, 800}, 10, false), LayoutArea({0, 0, 1000, 800}, 40, false));
  EXPECT_EQ(LayoutArea({0, 0, 1000, 800}, 50, false), (LayoutRect{251, 201, 749, 599}));
  const LayoutRect box = LayoutArea({0, 0, 1102, 402}, 100, true);
  EXPECT_EQ(box.Height(), 400);
  EXPECT_EQ(box.Width(), 550);
}

std::vector<int> Listed(const CPlayScreen& s) {
  std::vector<int> out;
  for (QWidget* w : s.ListedWindows()) out.push_back(static_cast<CPlayWnd*>(w)->GetIndex());
  return out;
}

std::vector<int> Range(int from, int to) {
  std::vector<int> v;
  for (int i = from; i < to; ++i) v.push_back(i);
  return v;
}

struct Grid : ::testing::Test {
  QWidget page;
  CPlayScreen* screen = nullptr;
  std::shared_ptr<plat::QueueDispatcher> dispatcher = std::make_shared<plat::QueueDispatcher>();
  std::vector<std::pair<uint32_t, uintptr_t>> pageMessages;
  plat::WindowHandle pageWnd = 0;
  void SetUp() override {
    page.resize(820, 620);
    screen = new CPlayScreen(0, &page);
    screen->setGeometry(10, 10, 802, 602);
    page.show();
    pageWnd = plat::registerWindow(
        [this](uint32_t m, uintptr_t w, intptr_t) {
          pageMessages.emplace_back(m, w);
          return intptr_t{0};
        },
        dispatcher);
    SetPreviewPageWindow(pageWnd);
  }
  void TearDown() override {
    SetPreviewPageWindow(0);
    plat::unregisterWindow(pageWnd);
    harness::ResetServices();
  }
};

TEST_F(Grid, PagesListTheRightWindowsAndLayThemOut) {
  EXPECT_EQ(Listed(*screen), Range(0, 25));  // as created: all 25 in mode 1
  EXPECT_EQ(screen->GetLayoutMode(), 1);
  EXPECT_EQ(screen->SetMode(4, 7), 25);
  EXPECT_EQ(Listed(*screen), Range(0, 25));
  EXPECT_EQ(screen->GetActiveIndex(), 0);
  EXPECT_EQ(screen->SetMode(1, 7), 4);
  EXPECT_EQ(Listed(*screen), Range(4, 8));
  EXPECT_EQ(screen->GetActiveIndex(), 4);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(screen->GetWnd(i)->isVisible(), i >= 4 && i < 8) << i;
  // Window 5 is the top-right cell of 2 x 2 over 800 x 600 (one pixel in), two pixels inside.
  EXPECT_EQ(screen->GetWnd(5)->geometry(), QRect(401 + 2, 1 + 2, 400 - 4, 300 - 4));
  EXPECT_EQ(screen->ActiveFrameRect(), screen->GetWnd(4)->geometry().adjusted(-1, -1, 1, 1));
  // A mode set alone takes effect at the next layout pass, which every repaint makes.
  screen->SetLayoutMode(4);
  EXPECT_EQ(screen->GetWnd(5)->geometry(), QRect(401 + 2, 1 + 2, 400 - 4, 300 - 4));
  screen->grab();  // paints it
  EXPECT_EQ(screen->GetWnd(5)->geometry(), QRect(161 + 2, 1 + 2, 160 - 4, 120 - 4));
  EXPECT_EQ(screen->SetMode(15, 9), 1);
  EXPECT_EQ(screen->GetLayoutMode(), 0);
  EXPECT_EQ(Listed(*screen), Range(0, 1));
  EXPECT_EQ(screen->GetWnd(0)->geometry(), QRect(3, 3, 800 - 4, 600 - 4));

  screen->SetMode(3, 0);
  screen->NextPage(22);  // window 32 does not exist: back to the first page
  EXPECT_EQ(Listed(*screen), Range(0, 16));
  screen->SetMode(1, 0);
  screen->PrevPage(3);
  EXPECT_EQ(Listed(*screen), Range(0, 4));
  screen->NextPage(3);
  EXPECT_EQ(Listed(*screen), Range(4, 8));
  screen->SetMode(5, 24);  // the last page of six holds one window
  EXPECT_EQ(Listed(*screen), Range(24, 25));
  EXPECT_EQ(screen->GetWnd(25), nullptr);
  EXPECT_EQ(screen->FindIndexByHwnd(screen->GetWnd(17)->GetSafeHwnd()), 17);
  EXPECT_EQ(screen->FindIndexByHwnd(0), -1);
}

TEST_F(Grid, ClicksAndDoubleClicksMoveTheActiveWindowAndToggleSingleView) {
  screen->SetMode(3, 0);
  CPlayWnd* w6 = screen->GetWnd(6);
  const QRect cell6 = w6->geometry();
  harness::Click(w6);
  EXPECT_EQ(screen->GetActiveIndex(), 6);
  EXPECT_EQ(screen->ActiveFrameRect(), cell6.adjusted(-1, -1, 1, 1));
  QMouseEvent right(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), QPointF(3, 3),
                    Qt::RightButton, Qt::RightButton, Qt::NoModifier);
  QApplication::sendEvent(screen->GetWnd(9), &right);
  EXPECT_EQ(screen->GetActiveIndex(), 9);
  dispatcher->pump(0);
  // Only the left press reports the selection to the page.
  ASSERT_EQ(pageMessages.size(), 1u);
  EXPECT_EQ(pageMessages[0], std::make_pair(WM_PLAYWND_SELECTED, uintptr_t{6}));

  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(3, 3), QPointF(3, 3), QPointF(3, 3),
                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w6, &dbl);
  EXPECT_FALSE(screen->IsMultiView());
  EXPECT_EQ(w6->geometry(), QRect(1, 1, 800, 600));  // the whole area
  EXPECT_EQ(screen->GetWnd(7)->size(), QSize(1, 1));
  EXPECT_TRUE(screen->ActiveFrameRect().isEmpty());
  QApplication::sendEvent(w6, &dbl);
  EXPECT_TRUE(screen->IsMultiView());
  EXPECT_EQ(w6->geometry(), cell6);

  // The playback screens' windows report to the live page too; they have no menu.
  CPlayScreen playback(1, &page);
  playback.setGeometry(0, 0, 200, 200);
  playback.show();
  harness::Click(playback.GetWnd(0));
  dispatcher->pump(0);
  ASSERT_EQ(pageMessages.size(), 2u);
  EXPECT_EQ(pageMessages[1], std::make_pair(WM_PLAYWND_SELECTED, uintptr_t{0}));
  EXPECT_EQ(playback.GetWnd(0)->BuildContextMenu(), nullptr);
}

TEST_F(Grid, FullScreenAndEscKeepTheWindowsAndTheirHandles) {
  QDialog dialog;
  auto* inner = new CPlayScreen(0, &dialog);
  inner->setGeometry(5, 5, 300, 200);
  dialog.resize(320, 220);
  dialog.show();
  inner->SetMode(1, 0);
  std::vector<plat::WindowHandle> handles;
  for (int i = 0; i < 25; ++i) handles.push_back(inner->GetWnd(i)->GetSafeHwnd());

  // Esc pressed on the screen is not the dialog's to see.
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(inner, &esc);
  EXPECT_TRUE(esc.isAccepted());
  EXPECT_TRUE(dialog.isVisible());

  inner->SetFullScreen(1);
  EXPECT_TRUE(inner->isWindow());
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(inner->isVisible());
  EXPECT_GT(inner->width(), 300);
  for (int i = 0; i < 25; ++i) {
    EXPECT_EQ(inner->GetWnd(i)->GetSafeHwnd(), handles[i]);
    EXPECT_TRUE(plat::isWindow(handles[i]));
  }
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(inner, &release);
  EXPECT_FALSE(inner->IsFullScreen());
  EXPECT_EQ(inner->parentWidget(), &dialog);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(inner->geometry(), QRect(5, 5, 300, 200));
  EXPECT_TRUE(inner->GetWnd(0)->isVisible());
  for (int i = 0; i < 25; ++i) EXPECT_EQ(inner->GetWnd(i)->GetSafeHwnd(), handles[i]);
}

TEST_F(Grid, TheWindowMenuServesOnlyARunningPreviewAndStopsIt) {
  fake::Families families;  // unused devices: items below carry their preview
  screen->SetMode(1, 0);
  CPlayWnd* w2 = screen->GetWnd(2);
  EXPECT_EQ(w2->BuildContextMenu(), nullptr);  // nothing runs there

  fake::Preview preview(1, 101);
  auto item = std::make_shared<CPreviewItem>(2, w2->GetSafeHwnd(), &preview, 1, 0, u"DEV");
  ASSERT_TRUE(item->Start());
  ASSERT_TRUE(CPreviewManager::GetInstance()->Add(item));
  preview.recording = true;
  std::unique_ptr<QMenu> menu(w2->BuildContextMenu());
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->actions().size(), 3);
  EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("抓拍"));
  EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("停止录像"));
  EXPECT_EQ(menu->actions()[2]->text(), QStringLiteral("停止预览"));

  static int events = 0;
  static int lastEvent = -1;
  w2->SetCallback([](CDevice*, int, int event, void*) { ++events, lastEvent = event; }, nullptr, 1,
                  nullptr);
  menu->actions()[2]->trigger();
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  ASSERT_TRUE(harness::SettleDeviceWork());  // the device side stops on the device's queue
  EXPECT_FALSE(preview.previewing);
  EXPECT_FALSE(preview.recording);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(lastEvent, CPlayWnd::kEventPreviewStopped);
  w2->OnCommand(CPlayWnd::ID_STOP_PREVIEW);  // nothing left to stop
  EXPECT_EQ(events, 1);
}

// A live window whose stream stays down says its video is lost and keeps saying so through
// the presents the library makes of its status text now and then; pictures that keep coming
// bring it back.
TEST_F(Grid, ALostWindowComesBackOnPicturesNotOnAStatusRedraw) {
  CPlayWnd* w = screen->GetWnd(0);
  auto display = plat::Display::open();
  ASSERT_TRUE(display);
  auto back = display->createBack(16, 16, true);
  auto primary = display->createPrimary();
  auto clipper = display->createClipper();
  ASSERT_TRUE(back && primary && clipper && clipper->setWindow(w->GetSafeHwnd()) && primary->attachClipper(clipper));
  auto present = [&] { ASSERT_TRUE(primary->blit(nullptr, *back, nullptr)); };
  w->Show(CPlayWnd::State::kLive);
  int64_t now = 0;
  auto look = [&](int64_t afterMs) { return w->WatchPictures(now += afterMs); };
  present();
  EXPECT_EQ(look(1000), CPlayWnd::Watch::kSame);
  EXPECT_EQ(look(CPlayWnd::kLostAfterMs), CPlayWnd::Watch::kLost);
  for (int redraw = 0; redraw < 3; ++redraw) {
    present();  // the status text redrawn over the stream that stays down
    EXPECT_EQ(look(1000), CPlayWnd::Watch::kSame) << redraw;
    for (int quiet = 0; quiet < 9; ++quiet) EXPECT_EQ(look(1000), CPlayWnd::Watch::kSame);
    EXPECT_EQ(w->GetState(), CPlayWnd::State::kLost);
  }
  // A stream of one picture a second is back at the second look; a faster one at once.
  present();
  EXPECT_EQ(look(1000), CPlayWnd::Watch::kSame);
  present();
  EXPECT_EQ(look(1000), CPlayWnd::Watch::kBack);
  EXPECT_EQ(look(CPlayWnd::kLostAfterMs), CPlayWnd::Watch::kLost);
  present();
  present();
  EXPECT_EQ(look(1000), CPlayWnd::Watch::kBack);
}

TEST_F(Grid, ThePickerSwitchesLayoutsFromTheFirstWindowAndHides) {
  CDlgDivScreen picker(&page);
  picker.SetPlayScreen(screen);
  picker.show();
  screen->SetMode(1, 7);
  ASSERT_EQ(screen->GetActiveIndex(), 4);
  harness::Click(picker.Button(5512));
  EXPECT_EQ(screen->GetLayoutMode(), 4);
  EXPECT_EQ(Listed(*screen), Range(0, 25));
  EXPECT_EQ(screen->GetActiveIndex(), 0);
  EXPECT_FALSE(picker.isVisible());
  const int expectedModes[] = {0, 1, 5, 6, 2, 7, 9, 11, 3, 12, 13, 14, 4};
  for (int i = 0; i < CDlgDivScreen::kButtonCount; ++i) {
    screen->SetActiveIndex(3, 1);
    picker.show();
    harness::Click(picker.Button(5500 + i));
    EXPECT_EQ(screen->GetLayoutMode(), expectedModes[i]);
    EXPECT_EQ(static_cast<int>(screen->ListedWindows().size()), kLayoutWindowCount[expectedModes[i]]);
    EXPECT_EQ(screen->GetActiveIndex(), 0);
  }
  // Rows of five, five and three, four pixels apart.
  EXPECT_EQ(picker.Button(5501)->x(), picker.Button(5500)->geometry().right() + 1 + 4);
  EXPECT_EQ(picker.Button(5505)->x(), picker.Button(5500)->x());
  EXPECT_EQ(picker.Button(5505)->y(), picker.Button(5500)->geometry().bottom() + 1 + 4);
  EXPECT_EQ(picker.Button(5512)->y(), picker.Button(5510)->y());
  harness::SaveScreenshot(&picker, QStringLiteral("split-picker"));
}

}  // namespace
