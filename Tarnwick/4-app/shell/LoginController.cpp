#include "shell/LoginController.h"

#include <string>

#include "plat/clock.h"
#include "plat/text.h"
#include "shell/DbHelpers.h"
#include "shell/Language.h"
#include "shell/LocalSettings.h"
#include "shell/LockHook.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"
#include "shell/UnlockBackoff.h"
#include "shell/User.h"
#include "shell/UserStore.h"

namespace {

template <class Action>
int WithUserDb(Action action) {
  CppSQLite3DB db;
  if (!OpenUserDatabase(db)) return 0;
  int result = 0;
  try {
    result = action(db);
  } catch (const CppSQLite3Exception&) {
    result = 0;
  }
  CloseDatabase(db);
  return result;
}

}  // namespace

void CLoginController::SetMode(int mode) {
  m_mode = mode;
  m_captionId = mode == kSwitchUser ? IDS_SWITCH_USER : mode == kUnlock ? IDS_UNLOCK : IDS_LOGIN_CAPTION;
}

std::u16string CLoginController::CaptionText() const { return LoadResString(m_captionId); }

std::vector<std::u16string> CLoginController::LoadRecentUsers() const {
  std::vector<std::u16string> names;
  WithUserDb([&](CppSQLite3DB& db) {
    CppSQLite3Table table;
    if (!GetTable(db, u"select * from " + QuoteIdentifier(TB_RECENT_LOGIN_USER) + u";", table)) return 0;
    for (int row = 0; row < table.RowCount(); ++row) {
      table.SetRow(row);
      names.emplace_back(table.FieldText(0));
    }
    return 1;
  });
  return names;
}

std::u16string CLoginController::InitialName(const std::vector<std::u16string>& recent) const {
  return recent.empty() ? std::u16string() : recent.back();
}

bool CLoginController::CheckUser(const std::u16string& name) {
  if (name.empty()) return false;
  std::u16string password, identity;
  int found = WithUserDb(
      [&](CppSQLite3DB& db) { return SelectUserByName(db, TB_USER_INFO, name, password, identity); });
  if (!found) return false;
  m_storedPassword = password;
  m_storedIdentity = identity;
  return true;
}

int64_t CLoginController::UnlockWaitMs() const {
  return m_mode == kUnlock ? CUnlockBackoff::GetInstance()->WaitMs() : 0;
}

std::u16string CLoginController::UnlockWaitNote() const {
  // Whole seconds, rounded up, as they run now (the product's clock may be scaled).
  const int64_t second = plat::scaled(1000);
  const int64_t seconds = (UnlockWaitMs() + second - 1) / second;
  std::u16string note = LoadResString(IDS_UNLOCK_WAIT);
  if (const size_t at = note.find(u"%d"); at != std::u16string::npos)
    note.replace(at, 2, plat::utf8ToUtf16(std::to_string(seconds)));
  return note;
}

CLoginController::Result CLoginController::CheckPassword(const std::u16string& name, const std::u16string& password) {
  ++m_attempts;
  if (password.size() > kMaxPasswordLength) return kPasswordTooLong;
  if (WithUserDb([&](CppSQLite3DB& db) { return CheckAccountPassword(db, name, m_storedPassword, password); }))
    return kLoggedIn;
  Notice(IDS_WRONG_PASSWORD);
  if (m_attempts == kStartupTries && m_captionId == IDS_LOGIN_CAPTION) return kCancelled;
  return kWrongPassword;
}

CLoginController::Result CLoginController::Login(const std::u16string& name, const std::u16string& password,
                                                 bool autoLogin) {
  // While the lock's wait runs, a try is not even looked at: guessing gains nothing by speed.
  if (UnlockWaitMs() > 0) return kWaiting;
  if (!CheckUser(name)) {
    // A store that cannot be opened knows no name: that, not the name, is what is wrong.
    if (UserDatabaseOpens())
      Notice(IDS_UNKNOWN_USER);
    else
      UiService().Notice(UserDatabaseUnopenableText());
    return kUnknownUser;
  }
  Result result = CheckPassword(name, password);
  if (m_mode == kUnlock) {
    if (result == kLoggedIn)
      CUnlockBackoff::GetInstance()->Succeeded();
    else
      CUnlockBackoff::GetInstance()->Failed();
  }
  m_loggedIn = false;
  if (result == kLoggedIn) {
    if (m_mode == kStartup || m_mode == kSwitchUser) SaveAutoLogin(name, autoLogin);
    CUser* user = CUser::GetInstance();
    if (!user) return kNoCurrentUser;
    user->SetName(name);
    user->SetPassword(m_storedPassword);
    user->SetIdentify(m_storedIdentity);
    int power = 0;
    if (!GetUserPower(TB_USER_INFO, name, power)) power = 0;
    user->SetPower(power);
    SaveRecentUser(name);
    m_loggedIn = true;
    CLocalSettings::GetInstance()->Save();
  }
  if (m_loggedIn && LockHookInstalled() && !RemoveLockHook()) Notice(IDS_UNLOCK_FAILED);
  return result;
}

// Each list is written again as a delete and an insert in one transaction: a crash or a
// failed insert between the two keeps the row that was there.
void CLoginController::SaveAutoLogin(const std::u16string& name, bool autoLogin) {
  WithUserDb([&](CppSQLite3DB& db) {
    return RunInTransaction(db, [&](CppSQLite3DB& d) {
      std::u16string first;
      if (SelectFirstUserName(d, TB_AUTO_LOGIN_USER, first) && !DeleteUserRow(d, TB_AUTO_LOGIN_USER, first))
        return false;
      std::u16string identity;
      return !autoLogin || InsertUserRow(d, TB_AUTO_LOGIN_USER, name, u"", identity);
    });
  });
}

void CLoginController::SaveRecentUser(const std::u16string& name) {
  WithUserDb([&](CppSQLite3DB& db) {
    return RunInTransaction(db, [&](CppSQLite3DB& d) {
      if (UserExists(d, TB_RECENT_LOGIN_USER, name) && !DeleteUserRow(d, TB_RECENT_LOGIN_USER, name)) return false;
      std::u16string identity;
      return InsertUserRow(d, TB_RECENT_LOGIN_USER, name, u"", identity) == 1;
    });
  });
}

void CLoginController::ChangeLanguage(int index) {
  if (m_mode != kStartup) return;
  CLocalSettings::GetInstance()->SetLangID(index);
  FreeLanguageLibrary();
  SelectLanguage();
}
