// The live page holds the play grid: the saved layout comes back when the page is made, and
// the page's end saves the open previews while they run and then stops them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "shell/DbHelpers.h"
#include "support/FakeDevices.h"
#include "view/DlgPreview.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"

namespace fs = std::filesystem;

namespace {

struct PreviewPageGrid : ::testing::Test {
  fs::path home;
  void SetUp() override {
    char tmpl[] = "/tmp/pgridXXXXXX";
    home = mkdtemp(tmpl);
    setenv("TARNWICK_HOME", home.c_str(), 1);
  }
  void TearDown() override {
    FreePreviewManager();
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

TEST_F(PreviewPageGrid, ThePageShowsTheSavedLayoutAndSavesAndStopsItsPreviewsWhenItEnds) {
  {
    CPlayScreen earlier(0);
    earlier.SetMode(9, 0);
    CPreviewManager m;
    m.SetPlayScreen(&earlier);
    ASSERT_TRUE(m.SaveSession());
  }
  ASSERT_TRUE(CPreviewManager::GetInstance()->LoadSession());  // as the start-up does

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
    EXPECT_EQ(screen->GetLayoutMode(), 9);
    EXPECT_EQ(static_cast<int>(screen->ListedWindows().size()), 13);
    EXPECT_FALSE(screen->geometry().intersects(page.GetDeviceTree()->geometry()));
    EXPECT_GT(screen->width(), 600);

    screen->SetMode(2, 0);
    auto item = std::make_shared<CPreviewItem>(1, screen->GetWnd(1)->GetSafeHwnd(), &preview, 4, 1,
                                               u"DEV-P");
    ASSERT_TRUE(item->Start());
    ASSERT_TRUE(CPreviewManager::GetInstance()->Add(item));
  }
  EXPECT_FALSE(preview.previewing);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetCount(), 0);
  EXPECT_EQ(CPreviewManager::GetInstance()->GetPlayScreen(), nullptr);
  EXPECT_EQ(GetPreviewPageWindow(), 0);
  EXPECT_EQ(StoredMode(), 2);
  CPreviewManager reader;
  ASSERT_TRUE(reader.LoadSession());
  EXPECT_EQ(reader.GetSavedPreviews(), (std::vector<SavedPreview>{{u"DEV-P", 4, 1, 1}}));
}

}  // namespace
