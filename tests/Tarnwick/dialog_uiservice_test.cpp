// The UI service: scripted answers replace every modal question during tests.
#include <gtest/gtest.h>

#include "harness/UiHarness.h"
#include "shell/UiService.h"

TEST(DialogUiService, ScriptedAnswersAndRestore) {
  IUiService* before = &UiService();
  {
    harness::ScopedScriptedUi ui;
    EXPECT_EQ(&UiService(), &*ui);
    ui->boxAnswers = {IDOK, IDNO};
    ui->folders = {std::string("/tmp/rec")};
    EXPECT_EQ(UiService().MessageBox(nullptr, u"确定删除?[a]", u"信息", MB_OKCANCEL | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(UiService().MessageBox(nullptr, u"q", u"c", MB_YESNO), IDNO);
    EXPECT_EQ(UiService().MessageBox(nullptr, u"unexpected", u"c", MB_OK), IDCANCEL);
    EXPECT_EQ(ui->unscriptedBoxes, 1);
    ASSERT_EQ(ui->boxes.size(), 3u);
    EXPECT_EQ(ui->boxes[0].caption, u"信息");
    EXPECT_EQ(ui->boxes[0].type, MB_OKCANCEL | MB_ICONINFORMATION);
    UiService().Notice(u"保存成功！");
    EXPECT_EQ(ui->notices, std::vector<std::u16string>{u"保存成功！"});
    EXPECT_EQ(UiService().BrowseForFolder(nullptr, u"t", "/"), std::optional<std::string>("/tmp/rec"));
    EXPECT_EQ(UiService().BrowseForFolder(nullptr, u"t", "/"), std::nullopt);
  }
  EXPECT_EQ(&UiService(), before);
}
