#include <QAbstractButton>
#include <QMessageBox>
#include <filesystem>

#include "settings_fixture.h"
#include "shell/Language.h"

namespace {

// The program's table has these ids; the library below knows only the first.
constexpr uint32_t kSave = 8002;    // "保存"
constexpr uint32_t kCancel = 8006;  // "取消"

const char16_t* partialEnglish(uint32_t id) {
  if (id == kSave) return u"Save";
  if (id == kCancel) return u"";  // an empty answer counts as missing
  return nullptr;
}

class Language : public TempHomeTest {
 protected:
  void SetUp() override {
    TempHomeTest::SetUp();
    FreeLanguageLibrary();
    SetLanguageLibraryPath("");
  }
  void TearDown() override {
    FreeLanguageLibrary();
    SetLanguageLibraryPath("");
    SetSystemLangIdProvider(nullptr);
    TempHomeTest::TearDown();
  }
  void Select(int langSetting, uint16_t systemLang) {
    CLocalSettings::GetInstance()->SetLangID(langSetting);
    SetSystemLangIdProvider([systemLang] { return systemLang; });
    FreeLanguageLibrary();
    SelectLanguage();
  }
};

}  // namespace

TEST_F(Language, ChoiceFollowsSettingThenSystem) {
  struct Case {
    int setting;
    uint16_t system;
    uint16_t id;
    int stored;
  };
  const Case cases[] = {
      {99, 0x0804, 4, 0},  // Chinese (PRC)
      {99, 0x0404, 4, 0},  // Chinese (Taiwan): any sublanguage
      {99, 0x1004, 4, 0},  // Chinese (Singapore)
      {99, 0x0409, 9, 1},  // English
      {99, 0x040C, 9, 1},  // French
      {99, 0x0411, 9, 1},  // Japanese
      {-3, 0x0804, 4, 0},  // any other value follows the system too
      {1, 0x0804, 9, 1},   // English chosen on a Chinese system
      {0, 0x0409, 4, 0},   // Chinese chosen on an English system
  };
  for (const auto& c : cases) {
    Select(c.setting, c.system);
    EXPECT_EQ(GetLanguageId(), c.id) << c.setting << " " << c.system;
    EXPECT_EQ(CLocalSettings::GetInstance()->GetLangID(), c.stored) << c.setting;
  }
  // Choosing does not save: the file is written only by an explicit save.
  EXPECT_FALSE(std::filesystem::exists(CLocalSettings::SettingsFilePath()));
}

TEST_F(Language, EnglishTextsComeFromTheLibraryUntilChineseIsChosenAgain) {
  Select(1, 0x0804);
  EXPECT_EQ(LoadResString(kSave), u"Save");
  EXPECT_EQ(LoadResString(8160), u"Administrator");
  ASSERT_EQ(LoadResString(kCancel), u"Cancel");
  CLocalSettings::GetInstance()->SetLangID(0);
  SelectLanguage();  // without freeing first
  EXPECT_EQ(LoadResString(kCancel), u"取消");
  EXPECT_EQ(LoadResString(kSave), u"保存");
  EXPECT_EQ(LoadResString(8160), u"管理员");
}

TEST_F(Language, MissingLibraryGivesTheProgramsTexts) {
  SetLanguageLibraryPath((home_ / "nothing-here.so").string());
  Select(1, 0x0409);
  EXPECT_EQ(GetLanguageId(), 9);  // English images, Chinese texts
  EXPECT_EQ(LoadResString(kSave), u"保存");
}

TEST_F(Language, TextsTheLibraryLacksComeFromTheProgram) {
  SetLanguageLookupForTest(partialEnglish);
  EXPECT_EQ(LoadResString(kSave), u"Save");
  EXPECT_EQ(LoadResString(kCancel), u"取消");
  EXPECT_EQ(LoadResString(8004), u"确定");
  EXPECT_EQ(LoadResString(1), u"");  // known nowhere
  FreeLanguageLibrary();
  EXPECT_EQ(LoadResString(kSave), u"保存");
}

TEST_F(Language, SystemLanguageFromTheLocale) {
  const char* saved = std::getenv("LC_ALL");
  std::string keep = saved ? saved : "";
  setenv("LC_ALL", "zh_TW.UTF-8", 1);
  EXPECT_EQ(GetSystemDefaultLangId() & 0x3FF, 4);
  setenv("LC_ALL", "fr_FR@euro", 1);
  EXPECT_EQ(GetSystemDefaultLangId() & 0x3FF, 12);
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(GetSystemDefaultLangId() & 0x3FF, 9);
  if (saved) setenv("LC_ALL", keep.c_str(), 1); else unsetenv("LC_ALL");
}

// The standard buttons of the program's message boxes are Qt's own: they follow the choice.
TEST_F(Language, MessageBoxButtonsSpeakTheChosenLanguage) {
  auto buttons = [] {
    QMessageBox box(QMessageBox::Warning, QString(), QString(),
                    QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
    QStringList texts;
    for (QAbstractButton* b : box.buttons()) texts << b->text().remove('&');
    texts.sort();
    return texts.join(' ').toStdString();
  };
  Select(0, 0x0409);
  const std::string chinese = buttons();
  for (const char* text : {"确定", "取消", "是", "否"})
    EXPECT_NE(chinese.find(text), std::string::npos) << text << " in " << chinese;
  Select(1, 0x0804);
  EXPECT_EQ(buttons(), "Cancel No OK Yes");
  Select(0, 0x0409);
  EXPECT_EQ(buttons(), chinese);
}
