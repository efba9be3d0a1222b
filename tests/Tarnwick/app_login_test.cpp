// The login flow: name and password checks, the start-up limit, the recent and automatic
// logins, the settings file, the lock; and the dialog over it, driven by its controls.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <atomic>
#include <filesystem>

#include "app_fixture.h"
#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "harness/RoutedInput.h"
#include "plat/clock.h"
#include "plat/text.h"
#include "shell/DlgUserLogin.h"
#include "shell/LoginController.h"
#include "shell/PasswordHash.h"
#include "shell/Text.h"
#include "shell/UnlockBackoff.h"
#include "support/TimeScale.h"
#include "support/Wait.h"

namespace {

class Login : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    AddUser(u"ann", u"annpass", false, 1 | 2);
  }
  bool SettingsWritten() const { return std::filesystem::exists(CLocalSettings::SettingsFilePath()); }
};

TEST_F(Login, StartupAllowsThreeTriesAndCountsEveryCheck) {
  CLoginController c;
  c.SetMode(CLoginController::kStartup);
  EXPECT_EQ(c.CaptionText(), LoadResString(8159));
  EXPECT_EQ(c.Login(u"nobody", u"x", false), CLoginController::kUnknownUser);
  EXPECT_EQ(c.Login(u"", u"x", false), CLoginController::kUnknownUser);
  EXPECT_EQ(c.FailedAttempts(), 0) << "a name that is not found is no password check";
  EXPECT_EQ(c.Login(u"ann", u"wrong", false), CLoginController::kWrongPassword);
  EXPECT_EQ(c.Login(u"ann", u"12345678901234567", false), CLoginController::kPasswordTooLong);
  EXPECT_EQ(c.Login(u"ann", u"wrong", false), CLoginController::kCancelled);
  EXPECT_EQ(ui->notices, (std::vector<std::u16string>{LoadResString(8243), LoadResString(8243), LoadResString(8222), LoadResString(8222)}))
      << "an overlong password gets no notice";
  EXPECT_FALSE(c.LoggedIn());
  EXPECT_FALSE(SettingsWritten()) << "the settings file is written only by a login";
  EXPECT_TRUE(CUser::GetInstance()->GetName().empty());

  CLoginController again;
  EXPECT_EQ(again.Login(u"ann", u"wrong", false), CLoginController::kWrongPassword);
  EXPECT_EQ(again.Login(u"ann", u"wrong", false), CLoginController::kWrongPassword);
  EXPECT_EQ(again.Login(u"ann", u"annpass", false), CLoginController::kLoggedIn)
      << "success is tested before the limit";
  EXPECT_TRUE(SettingsWritten());
  CUser* user = CUser::GetInstance();
  EXPECT_EQ(user->GetName(), u"ann");
  EXPECT_FALSE(user->IsAdmin());
  EXPECT_EQ(user->GetPower(), 3);
}

TEST_F(Login, SwitchAndUnlockHaveNoLimitButUnlockingWaitsLongerAfterTheThirdFailure) {
  CLoginController sw;
  sw.SetMode(CLoginController::kSwitchUser);
  EXPECT_EQ(sw.CaptionId(), 8241u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(sw.Login(u"ann", u"bad", false), CLoginController::kWrongPassword);
  EXPECT_EQ(sw.Login(u"ann", u"annpass", false), CLoginController::kLoggedIn) << "switching user never waits";

  int64_t now = 1000000;
  CUnlockBackoff::GetInstance()->SetClock([&] { return now; });
  auto unlock = std::make_unique<CLoginController>();
  unlock->SetMode(CLoginController::kUnlock);
  EXPECT_EQ(unlock->CaptionId(), 8488u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(unlock->Login(u"ann", u"bad", false), CLoginController::kWrongPassword);
    EXPECT_EQ(unlock->UnlockWaitMs(), 0);
  }
  // From the third failure on, each try waits twice as long as the one before, up to 30 s.
  const std::vector<int64_t> waits = {1000, 2000, 4000, 8000, 16000, 30000, 30000};
  for (size_t i = 0; i < waits.size(); ++i) {
    EXPECT_EQ(unlock->Login(u"ann", i == 3 ? u"12345678901234567" : u"bad", false),
              i == 3 ? CLoginController::kPasswordTooLong : CLoginController::kWrongPassword);
    ASSERT_EQ(unlock->UnlockWaitMs(), waits[i]) << "after failure " << i + 3;
    const size_t notices = ui->notices.size();
    const int attempts = unlock->FailedAttempts();
    now += waits[i] - 1;
    EXPECT_EQ(unlock->Login(u"ann", u"annpass", false), CLoginController::kWaiting)
        << "not even the right password is looked at before its time";
    EXPECT_EQ(ui->notices.size(), notices) << "a try refused for its time says nothing";
    EXPECT_EQ(unlock->FailedAttempts(), attempts);
    now += 1;
    if (i == 2) {
      // A cancelled unlock dialog does not start the count again: the next one goes on with it.
      unlock = std::make_unique<CLoginController>();
      unlock->SetMode(CLoginController::kUnlock);
    }
  }
  EXPECT_EQ(unlock->Login(u"ann", u"bad", false), CLoginController::kWrongPassword);
  now += 30000;
  EXPECT_EQ(unlock->Login(u"ann", u"annpass", false), CLoginController::kLoggedIn) << "tries stay unlimited";
  EXPECT_EQ(unlock->UnlockWaitMs(), 0);
  EXPECT_EQ(CUnlockBackoff::GetInstance()->Failures(), 0) << "an unlock starts the count again";
}

// The lock's wait as a user meets it, typed into the unlock dialog with the keyboard. From
// the third wrong password the dialog greys the password box and the login button and says
// how many seconds the next try waits; Return meanwhile neither tries nor cancels (the focus
// left the greyed box for the cancel button); once the wait is over the right password
// unlocks. The wait's clock stands still until the test moves it past the wait, however
// slowly a busy machine runs the dialog; product time runs five times faster, so the
// dialog looks at its count down every 50 ms.
TEST_F(Login, TheUnlockDialogSaysHowLongTheNextTryWaitsAndReturnWaitsToo) {
  testsupport::ScopedTimeScale scale(0.2);
  std::atomic<int64_t> now{1000000};
  CUnlockBackoff::GetInstance()->SetClock([&] { return now.load(); });
  // ann logged in through the dialog last: the unlock dialog offers her name.
  CLoginController switched;
  switched.SetMode(CLoginController::kSwitchUser);
  ASSERT_EQ(switched.Login(u"ann", u"annpass", false), CLoginController::kLoggedIn);
  auto waitText = [&](int seconds) {
    return Text(9400).replace(QStringLiteral("%d"), QString::number(seconds));
  };
  CDlgUserLogin dlg;
  dlg.SetMode(CLoginController::kUnlock);
  bool answered = false;
  harness::WhenModal([&](QWidget*) {
    auto* password = dlg.findChild<QLineEdit*>(QStringLiteral("4614"));
    auto* login = dlg.findChild<CBitmapButtonEx*>(QStringLiteral("2513"));
    auto* note = dlg.findChild<QLabel*>(QStringLiteral("1964"));
    ASSERT_TRUE(password && login && note);
    EXPECT_FALSE(note->isVisible()) << "nothing to wait for yet";
    harness::routed::Click(password);
    // Wrong passwords: the dialog rests from the third on.
    int failures = 0;
    while (password->isEnabled() && failures < 8) {
      harness::routed::Type(QStringLiteral("nope"));
      harness::routed::Key(Qt::Key_Return);
      ASSERT_TRUE(dlg.isVisible()) << "a wrong password leaves the dialog up";
      ++failures;
    }
    EXPECT_EQ(failures, CUnlockBackoff::kFreeTries) << "no wait before the third";
    ASSERT_FALSE(password->isEnabled());
    EXPECT_FALSE(login->isEnabled());
    ASSERT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), waitText(1));

    // Opened again meanwhile, the dialog waits as well.
    {
      CDlgUserLogin again;
      again.SetMode(CLoginController::kUnlock);
      again.EnsureInitialized();
      EXPECT_FALSE(again.findChild<QLineEdit*>(QStringLiteral("4614"))->isEnabled());
      EXPECT_TRUE(again.findChild<QLabel*>(QStringLiteral("1964"))->isVisibleTo(&again));
    }

    harness::routed::Key(Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible()) << "Return while the dialog rests does not cancel it";
    EXPECT_EQ(dlg.Controller().FailedAttempts(), failures) << "nor does it try a password";
    EXPECT_EQ(CUnlockBackoff::GetInstance()->Failures(), failures);

    now += plat::scaled(CUnlockBackoff::kFirstWaitMs);
    EXPECT_TRUE(testsupport::Eventually([&] {
      harness::Pump();
      return password->isEnabled() && login->isEnabled();
    })) << "the wait over, the dialog takes a try again";
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), password) << "the focus is back in the password box";
    harness::routed::Type(QStringLiteral("annpass"));
    harness::routed::Key(Qt::Key_Return);
    answered = true;
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(answered);
  EXPECT_EQ(CUnlockBackoff::GetInstance()->Failures(), 0);
}

// A login writes the recent logins and the automatic login again, each as a delete and an
// insert. When the insert fails (refused here; a crash or a full disk cuts it the same way),
// the login still succeeds and the rows that were there stay.
TEST_F(Login, ALoginWhoseListsCannotBeWrittenKeepsTheRowsThatWereThere) {
  SetAutoLogin(u"ann");
  {
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, USER_DB_NAME));
    for (const char16_t* table : {TB_RECENT_LOGIN_USER, TB_AUTO_LOGIN_USER})
      db.Execute(u"CREATE TRIGGER " + QuoteIdentifier(std::u16string(u"refuse_") + table) + u" BEFORE INSERT ON " +
                 QuoteIdentifier(table) + u" BEGIN SELECT RAISE(ABORT, 'no room'); END;");
  }
  CLoginController c;
  c.SetMode(CLoginController::kSwitchUser);
  ASSERT_EQ(c.Login(ADMIN_NAME, ADMIN_PASSWORD, true), CLoginController::kLoggedIn);
  EXPECT_EQ(Names(TB_RECENT_LOGIN_USER), (std::vector<std::u16string>{u"admin"}));
  EXPECT_EQ(Names(TB_AUTO_LOGIN_USER), (std::vector<std::u16string>{u"ann"}));
}

// A database an older program wrote holds every password as typed, the built-in
// administrator's also in the recent logins. A login that matches stores the salted hash
// instead, and no byte of the typed password is left anywhere in the file.
TEST_F(Login, APasswordStoredAsTypedIsHashedAtItsNextLoginAndLeavesNoTrace) {
  {
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, USER_DB_NAME));
    for (const char16_t* table : {TB_USER_INFO, TB_RECENT_LOGIN_USER})
      db.Execute(u"update " + QuoteIdentifier(table) + u" set Password = '804261' where Name = 'admin';");
  }
  const std::string file = plat::utf16ToUtf8(ProgramDirPath(USER_DB_NAME));
  auto fileHolds = [&](const std::u16string& text) {
    const std::string bytes = ReadFile(file) + ReadFile(file + "-journal");
    const std::string utf16(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    return bytes.find(utf16) != std::string::npos || bytes.find(plat::utf16ToUtf8(text)) != std::string::npos;
  };
  auto stored = [](const std::u16string& name) {
    CppSQLite3Query row;
    return QueryUser(TB_USER_INFO, name, row) ? std::u16string(row.FieldText(1)) : u"<none>";
  };
  ASSERT_TRUE(fileHolds(u"annpass") && fileHolds(u"804261"));

  CLoginController c;
  c.SetMode(CLoginController::kSwitchUser);
  EXPECT_EQ(c.Login(u"ann", u"annpass2", false), CLoginController::kWrongPassword);
  EXPECT_EQ(stored(u"ann"), u"annpass") << "a wrong password changes nothing";
  ASSERT_EQ(c.Login(u"ann", u"annpass", false), CLoginController::kLoggedIn);
  EXPECT_EQ(MatchPassword(stored(u"ann"), u"annpass"), PasswordMatch::Yes);
  EXPECT_NE(CUser::GetInstance()->GetPassword(), u"annpass") << "the current user keeps what is stored";
  EXPECT_FALSE(fileHolds(u"annpass"));
  CLoginController admin;
  admin.SetMode(CLoginController::kSwitchUser);
  ASSERT_EQ(admin.Login(ADMIN_NAME, ADMIN_PASSWORD, false), CLoginController::kLoggedIn);
  EXPECT_FALSE(fileHolds(ADMIN_PASSWORD)) << "neither in the accounts nor in the recent logins";

  // From now on the hash is what is checked: at a switch and at an unlock alike.
  for (int mode : {CLoginController::kSwitchUser, CLoginController::kUnlock}) {
    CLoginController next;
    next.SetMode(mode);
    EXPECT_EQ(next.Login(u"ann", stored(u"ann"), false), CLoginController::kPasswordTooLong) << "the hash is no password";
    EXPECT_EQ(next.Login(u"ann", u"annpasS", false), CLoginController::kWrongPassword);
    EXPECT_EQ(next.Login(u"ann", u"annpass", false), CLoginController::kLoggedIn);
  }
}

TEST_F(Login, RecentNamesMoveToTheEndAndAutomaticLoginFollowsTheCheckBox) {
  EXPECT_EQ(CLoginController().LoadRecentUsers(), (std::vector<std::u16string>{u"admin"}));
  CLoginController startup;
  ASSERT_EQ(startup.Login(u"ann", u"annpass", true), CLoginController::kLoggedIn);
  EXPECT_EQ(Names(TB_AUTO_LOGIN_USER), (std::vector<std::u16string>{u"ann"}));

  CLoginController sw;
  sw.SetMode(CLoginController::kSwitchUser);
  ASSERT_EQ(sw.Login(u"admin", ADMIN_PASSWORD, false), CLoginController::kLoggedIn);
  EXPECT_TRUE(Names(TB_AUTO_LOGIN_USER).empty()) << "a login without the check box clears it";
  EXPECT_TRUE(CUser::GetInstance()->IsAdmin());

  CLoginController sw2;
  sw2.SetMode(CLoginController::kSwitchUser);
  ASSERT_EQ(sw2.Login(u"ann", u"annpass", true), CLoginController::kLoggedIn);
  EXPECT_EQ(Names(TB_RECENT_LOGIN_USER), (std::vector<std::u16string>{u"admin", u"ann"}));
  EXPECT_EQ(sw2.InitialName(sw2.LoadRecentUsers()), u"ann");

  CLoginController unlock;
  unlock.SetMode(CLoginController::kUnlock);
  ASSERT_EQ(unlock.Login(u"ann", u"annpass", false), CLoginController::kLoggedIn);
  EXPECT_EQ(Names(TB_AUTO_LOGIN_USER), (std::vector<std::u16string>{u"ann"}))
      << "unlocking leaves the automatic login alone";
}

TEST_F(Login, UnlockOffersTheLastDialogLoginAndRemovesTheLock) {
  CUser::GetInstance()->SetName(u"ann");
  CLoginController c;
  c.SetMode(CLoginController::kUnlock);
  EXPECT_EQ(c.InitialName({u"ann", u"admin"}), u"admin") << "the most recent dialog login, whoever is current";
  InstallLockHook([] { return true; }, [] {});
  EXPECT_EQ(c.Login(u"ann", u"bad", false), CLoginController::kWrongPassword);
  EXPECT_TRUE(LockHookInstalled());
  EXPECT_EQ(c.Login(u"ann", u"annpass", false), CLoginController::kLoggedIn);
  EXPECT_FALSE(LockHookInstalled());
}

TEST_F(Login, LanguageChangesAtStartupOnlyAndIsSavedByTheLogin) {
  CLoginController sw;
  sw.SetMode(CLoginController::kSwitchUser);
  sw.ChangeLanguage(1);
  EXPECT_NE(CLocalSettings::GetInstance()->GetLangID(), 1);

  CLoginController c;
  c.ChangeLanguage(1);
  EXPECT_EQ(CLocalSettings::GetInstance()->GetLangID(), 1);
  EXPECT_EQ(GetLanguageId(), LANGUAGE_ID_ENGLISH);
  EXPECT_EQ(c.CaptionText(), u"User login");
  EXPECT_FALSE(SettingsWritten());
  ASSERT_EQ(c.Login(u"ann", u"annpass", false), CLoginController::kLoggedIn);
  EXPECT_NE(ReadFile(CLocalSettings::SettingsFilePath()).find("LangID=1"), std::string::npos);
}

TEST_F(Login, DialogDrivenByItsControls) {
  CDlgUserLogin dlg;
  dlg.EnsureInitialized();
  auto* user = dlg.findChild<QComboBox*>(QStringLiteral("1461"));
  auto* password = dlg.findChild<QLineEdit*>(QStringLiteral("4614"));
  auto* autoLogin = dlg.findChild<QCheckBox*>(QStringLiteral("4621"));
  auto* login = dlg.findChild<CBitmapButtonEx*>(QStringLiteral("2513"));
  auto* cancel = dlg.findChild<CBitmapButtonEx*>(QStringLiteral("2464"));
  auto* language = dlg.findChild<QComboBox*>(QStringLiteral("1462"));
  ASSERT_TRUE(user && password && autoLogin && login && cancel && language);
  EXPECT_EQ(user->currentText(), QStringLiteral("admin"));
  EXPECT_TRUE(language->isEnabled());
  EXPECT_EQ(language->count(), 2);
  // Tab follows the layout, top to bottom.
  EXPECT_EQ(password->nextInFocusChain(), language);
  EXPECT_EQ(language->nextInFocusChain(), autoLogin);

  // Three wrong passwords at start-up end the dialog as cancelled.
  dlg.show();
  for (int i = 0; i < 3; ++i) {
    password->setText(QStringLiteral("nope"));
    harness::KeyPress(password, Qt::Key_Return);
    if (i < 2) {
      EXPECT_TRUE(password->text().isEmpty()) << "a wrong password is emptied";
      EXPECT_TRUE(dlg.isVisible());
    }
  }
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Rejected);

  CDlgUserLogin sw;
  sw.SetMode(CLoginController::kSwitchUser);
  sw.EnsureInitialized();
  sw.show();
  EXPECT_FALSE(sw.findChild<QComboBox*>(QStringLiteral("1462"))->isEnabled());
  sw.findChild<QComboBox*>(QStringLiteral("1461"))->setEditText(QStringLiteral("ann"));
  sw.findChild<QLineEdit*>(QStringLiteral("4614"))->setText(QStringLiteral("annpass"));
  sw.findChild<QCheckBox*>(QStringLiteral("4621"))->setChecked(true);
  harness::KeyPress(sw.findChild<CBitmapButtonEx*>(QStringLiteral("2464")), Qt::Key_Return);
  EXPECT_EQ(sw.result(), QDialog::Rejected) << "Enter on the cancel button cancels";
  EXPECT_TRUE(CUser::GetInstance()->GetName().empty());

  CDlgUserLogin sw2;
  sw2.SetMode(CLoginController::kSwitchUser);
  sw2.EnsureInitialized();
  sw2.show();
  sw2.findChild<QComboBox*>(QStringLiteral("1461"))->setEditText(QStringLiteral("ann"));
  sw2.findChild<QLineEdit*>(QStringLiteral("4614"))->setText(QStringLiteral("annpass"));
  sw2.findChild<QCheckBox*>(QStringLiteral("4621"))->setChecked(true);
  harness::Click(sw2.findChild<CBitmapButtonEx*>(QStringLiteral("2513")));
  EXPECT_EQ(sw2.result(), QDialog::Accepted);
  EXPECT_EQ(CUser::GetInstance()->GetName(), u"ann");
  EXPECT_EQ(Names(TB_AUTO_LOGIN_USER), (std::vector<std::u16string>{u"ann"}));

  CDlgUserLogin unlock;
  unlock.SetMode(CLoginController::kUnlock);
  unlock.EnsureInitialized();
  EXPECT_FALSE(unlock.findChild<QComboBox*>(QStringLiteral("1461"))->isEnabled());
  EXPECT_FALSE(unlock.findChild<QCheckBox*>(QStringLiteral("4621"))->isEnabled());
  EXPECT_EQ(unlock.findChild<QComboBox*>(QStringLiteral("1461"))->currentText(), QStringLiteral("ann"));
}

}  // namespace

namespace {

TEST_F(Login, ScreenshotsChineseAndEnglish) {
  int64_t now = 1000000;
  CUnlockBackoff::GetInstance()->SetClock([&] { return now; });
  for (bool english : {false, true}) {
    harness::ScopedLanguage language(english);
    const QString suffix = english ? QStringLiteral("-en") : QStringLiteral("-zh");
    CDlgUserLogin dlg;
    dlg.EnsureInitialized();
    dlg.show();
    harness::Pump();
    auto* login = dlg.findChild<CBitmapButtonEx*>(QStringLiteral("2513"));
    EXPECT_EQ(login->text(), Text(8014));
    EXPECT_EQ(dlg.windowTitle(), Text(8159));
    harness::SaveScreenshot(&dlg, QStringLiteral("login") + suffix);
    // The bottom image is stretched from the caption's bottom, as wide and as high as the
    // client area: down the dialog's left edge, below the caption, it is what shows.
    QImage caption, bottom;
    ASSERT_TRUE(LoadPngResource(&caption, 6899) && LoadPngResource(&bottom, 6903));
    const QImage shot = harness::Grab(&dlg);
    const QImage stretched = bottom.scaled(dlg.width(), dlg.height());
    for (int y : {2, (dlg.height() - caption.height()) / 2, dlg.height() - caption.height() - 3}) {
      const QColor got = shot.pixelColor(12, caption.height() + y), want = stretched.pixelColor(12, y);
      EXPECT_LE(std::abs(got.red() - want.red()) + std::abs(got.green() - want.green()) +
                    std::abs(got.blue() - want.blue()),
                12)
          << "row " << y << " below the caption";
    }

    // The unlock dialog resting after the sixth wrong password (8 s): the note fits its row.
    CUser::GetInstance()->SetName(u"ann");
    CUnlockBackoff::GetInstance()->Succeeded();
    for (int i = 0; i < 6; ++i) CUnlockBackoff::GetInstance()->Failed();
    CDlgUserLogin unlock;
    unlock.SetMode(CLoginController::kUnlock);
    unlock.EnsureInitialized();
    unlock.show();
    harness::Pump();
    auto* note = unlock.findChild<QLabel*>(QStringLiteral("1964"));
    ASSERT_TRUE(note && note->isVisible());
    EXPECT_EQ(note->text(), Text(9400).replace(QStringLiteral("%d"), "8"));
    EXPECT_LE(note->sizeHint().width(), note->width()) << "the whole note is seen";
    harness::SaveScreenshot(&unlock, QStringLiteral("unlock-waiting") + suffix);
  }
}

}  // namespace
