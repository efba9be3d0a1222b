#pragma once
// A private program folder with a user database, scripted answers to every question, and
// the main window's login dialog replaced by a script, for the start-up, login and main
// window tests.
#include <QTimer>
#include <deque>
#include <vector>

#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "settings_fixture.h"
#include "shell/DbHelpers.h"
#include "shell/Language.h"
#include "shell/LockHook.h"
#include "shell/TarnwickDlg.h"
#include "shell/User.h"
#include "shell/UserStore.h"
#include "view/PreviewManager.h"

class AppTest : public TempHomeTest {
 protected:
  void SetUp() override {
    TempHomeTest::SetUp();
    FreeLanguageLibrary();
    ASSERT_EQ(CreateUserDatabase(), 1);
    CTarnwickDlg::SetLoginRunner([this](int mode) {
      loginModes.push_back(mode);
      if (loginAnswers.empty()) return IDCANCEL;
      int answer = loginAnswers.front();
      loginAnswers.pop_front();
      return answer;
    });
  }
  void TearDown() override {
    CTarnwickDlg::SetLoginRunner(nullptr);
    harness::ResetServices();  // the notifier and the unlock pace too
    RemoveLockHook();
    harness::Pump();
    FreeLanguageLibrary();
    TempHomeTest::TearDown();
  }

  static void AddUser(const std::u16string& name, const std::u16string& password, bool admin, int power) {
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, USER_DB_NAME));
    std::u16string identity = admin ? u"0" : u"1";
    ASSERT_TRUE(InsertUserRow(db, TB_USER_INFO, name, password, identity));
    ASSERT_TRUE(UpdateUserPower(db, TB_USER_INFO, name, power));
    CloseDatabase(db);
  }
  static std::vector<std::u16string> Names(const std::u16string& table) {
    CppSQLite3DB db;
    std::vector<std::u16string> names;
    if (!OpenDatabaseInProgramDir(db, USER_DB_NAME)) return names;
    auto q = db.Query(u"select Name from " + QuoteIdentifier(table) + u" order by rowid;");
    for (; !q.Eof(); q.NextRow()) names.emplace_back(q.FieldText(0));
    CloseDatabase(db);
    return names;
  }
  static void SetAutoLogin(const std::u16string& name) {
    CppSQLite3DB db;
    ASSERT_TRUE(OpenDatabaseInProgramDir(db, USER_DB_NAME));
    std::u16string identity;
    ASSERT_TRUE(InsertUserRow(db, TB_AUTO_LOGIN_USER, name, u"", identity));
    CloseDatabase(db);
  }

  // Runs the main window as the program does; one that never closes fails the test instead
  // of hanging it.
  static int DoModalWithin(CTarnwickDlg& dlg, int ms = 60000) {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dlg, [&] {
      ADD_FAILURE() << "the main window did not close";
      dlg.done(99);
    });
    guard.start(ms);
    return dlg.DoModal();
  }

  harness::ScopedScriptedUi ui;
  std::deque<int> loginAnswers;
  std::vector<int> loginModes;
};
