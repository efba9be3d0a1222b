// The live page holds the play grid: a layout saved before is not brought back when the page
// is made, and the page's end saves the open previews while they run and then stops them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <QCoreApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>

#include "harness/DeviceWorkWait.h"
#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "harness/Services.h"
#include "shell/DbHelpers.h"
#include "support/FakeDevices.h"
#include "support/TestFolder.h"
#include "view/DlgCruise.h"
#include "view/DlgPresetPoint.h"
#include "view/DlgPreview.h"
#include "view/DlgVideoParam.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"

namespace fs = std::filesystem;

namespace {

struct PreviewPageGrid : ::testing::Test {
  fs::path home;
  void SetUp() override {
    home = testsupport::NewTestFolder();
    setenv("TARNWICK_HOME", home.c_str(), 1);
  }
  void TearDown() override {
    harness::ResetServices();
    unsetenv("TARNWICK_HOME");
    fs::remove_all(home);
  }
};

int StoredMode() {
  CppSQLite3DB db;
  if (!OpenDatabaseInProgramDir(db, CPreviewManager::kDatabase)) return -1;
  const int mode = db.ExecuteScalar(u"select DevideScreenMode from Tb_PlayScreen;");
  CloseDatabase(db);
  return mode;
}

TEST_F(PreviewPageGrid, ThePageStartsInItsOwnLayoutAndSavesAndStopsItsPreviewsWhenItEnds) {
  {
    CPlayScreen earlier(0);
    earlier.SetMode(9, 0);
    CPreviewManager m;
    m.SetPlayScreen(&earlier);
    ASSERT_TRUE(m.SaveSession());
  }
  EXPECT_FALSE(CPreviewManager::GetInstance()->LoadSession());  // as the start-up does

  QWidget main;
  main.resize(1000, 700);
  fake::Preview preview(4, 104);
  {
    CDlgPreview page;
    ASSERT_TRUE(page.Create(&main));
    page.setGeometry(0, 0, 1000, 700);
    page.show();
    main.show();
    auto* screen = page.findChild<CPlayScreen*>(QStringLiteral("1101"));
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen, page.GetPlayScreen());
    EXPECT_EQ(CPreviewManager::GetInstance()->GetPlayScreen(), screen);
    EXPECT_EQ(GetPreviewPageWindow(), page.GetSafeHwnd());
    EXPECT_EQ(screen->GetLayoutMode(), 1) << "the saved layout came back";
    EXPECT_EQ(static_cast<int>(screen->ListedWindows().size()), 4);
    EXPECT_FALSE(screen->geometry().intersects(page.GetDeviceTree()->geometry()));
    EXPECT_GT(screen->width(), 600);

    screen->SetMode(2, 0);
    auto item = std::make_shared<CPreviewItem>(1, screen->GetWnd(1)->GetSafeHwnd(), &preview, 4, 1,
                                               u"DEV-P");
    ASSERT_TRUE(item->Start());
    ASSERT_TRUE(CPreviewManager::GetInstance()->Add(item));
  }
  ASSERT_TRUE(harness::SettleDeviceWork());  // the page's end stops its previews on their queues
  EXPECT_FALSE(preview.previewing);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetPlayScreen(), nullptr);
  EXPECT_EQ(GetPreviewPageWindow(), 0);
  EXPECT_EQ(StoredMode(), 2);
  CppSQLite3DB db;
  ASSERT_TRUE(OpenDatabaseInProgramDir(db, CPreviewManager::kDatabase));
  std::vector<std::u16string> rows;
  for (auto q = db.Query(u"select DevGuid, Chn, PlayWnd, IsSubStream from Tb_Preview;"); !q.Eof(); q.NextRow())
    rows.push_back(std::u16string(q.FieldText(0)) + u"/" + q.FieldText(1) + u"/" + q.FieldText(2) + u"/" +
                   q.FieldText(3));
  CloseDatabase(db);
  EXPECT_EQ(rows, std::vector<std::u16string>{u"DEV-P/4/1/1"});
}

// What the page draws and holds fits where it goes: the bar's centre image carries a mark and
// leaves the buttons free, the side panels hold their controls with the buttons clear of the
// panel's bottom edge, and the lists never scroll sideways.
TEST_F(PreviewPageGrid, TheBarThePanelsAndTheListsFitThePage) {
  QImage logo;
  ASSERT_TRUE(LoadPngResource(&logo, 6910));
  int light = 0;  // the mark's lettering: an empty plate is all dark
  for (int y = 0; y < logo.height(); ++y)
    for (int x = 0; x < logo.width(); ++x) light += qGray(logo.pixel(x, y)) > 180;
  EXPECT_GT(light, 50);
  for (const QSize size : {QSize(1280, 800), QSize(1000, 700), QSize(1366, 704)}) {
    QWidget main;
    main.resize(size);
    CDlgPreview page;
    ASSERT_TRUE(page.Create(&main));
    page.setGeometry(QRect(QPoint(0, 0), size));
    main.show();
    page.show();
    QCoreApplication::processEvents();
    const int barTop = size.height() - CDlgPreview::kListHeight - CDlgPreview::kBarHeight;
    const QRect bar(0, barTop, size.width(), CDlgPreview::kBarHeight);
    const QRect logoRect(bar.center() - QPoint(logo.width() / 2, logo.height() / 2), logo.size());
    for (int id : {CDlgPreview::ID_SNAPSHOT, CDlgPreview::ID_RECORD, CDlgPreview::ID_PAUSE_CYCLES,
                   CDlgPreview::ID_PREV_PAGE, CDlgPreview::ID_STOP_ALL, CDlgPreview::ID_NEXT_PAGE,
                   CDlgPreview::ID_DIVIDE, CDlgPreview::ID_FULLSCREEN, CDlgPreview::ID_RESUME_CYCLES,
                   CDlgPreview::ID_TOGGLE_LIST, CDlgPreview::ID_CLEAR_ALARMS}) {
      auto* button = page.findChild<QWidget*>(QString::number(id));
      ASSERT_NE(button, nullptr) << id;
      EXPECT_FALSE(button->geometry().intersects(logoRect)) << "button " << id << " at " << size.width();
    }

    const std::pair<int, QWidget*> panels[] = {{CDlgPreview::ID_PANEL_VIDEO, page.findChild<CDlgVideoParam*>()},
                                               {CDlgPreview::ID_PANEL_PRESETS, page.findChild<CDlgPresetPoint*>()},
                                               {CDlgPreview::ID_PANEL_CRUISE, page.findChild<CDlgCruise*>()}};
    for (const auto& [tab, panel] : panels) {
      ASSERT_NE(panel, nullptr) << tab;
      if (tab != CDlgPreview::ID_PANEL_VIDEO) {  // that tab opens only over a running preview
        page.OnCommand(tab);
        QCoreApplication::processEvents();
        ASSERT_TRUE(panel->isVisible()) << tab;
      }
      for (QWidget* child : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QRect r = child->geometry();
        EXPECT_TRUE(panel->rect().contains(r)) << tab << " " << child->objectName().toStdString();
        if (qobject_cast<CBitmapButtonEx*>(child) && tab != CDlgPreview::ID_PANEL_VIDEO) {
          EXPECT_LE(r.bottom(), panel->height() - 4) << tab << " " << child->objectName().toStdString();
        }
      }
    }

    page.OnCommand(CDlgPreview::ID_PANEL_CRUISE);
    auto* cruise = page.findChild<CDlgCruise*>();
    ASSERT_NE(cruise, nullptr);
    auto* routes = cruise->findChild<QTreeWidget*>(QString::number(CDlgCruise::kListId));
    ASSERT_NE(routes, nullptr);
    auto* alarms = page.findChild<QTreeWidget*>(QStringLiteral("1024"));
    ASSERT_NE(alarms, nullptr);
    alarms->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("26-12-09 02:00:00"), QString(300, QChar('x'))}));
    QCoreApplication::processEvents();
    for (QTreeWidget* list : {routes, alarms}) {
      ASSERT_TRUE(list->isVisible());
      EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0) << list->objectName().toStdString();
    }
  }
}

}  // namespace
