#include "shell/DlgUserMgrController.h"

#include "plat/text.h"
#include "shell/DbHelpers.h"
#include "shell/Language.h"
#include "shell/PasswordHash.h"
#include "shell/Singleton.h"
#include "shell/StringIds.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "shell/UserStore.h"

namespace {

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x3000; }

bool LengthOk(const std::u16string& password) {
  return password.size() >= PASSWORD_MIN_LENGTH && password.size() <= PASSWORD_MAX_LENGTH;
}

std::u16string AdminText() { return LoadResString(IDS_IDENTITY_ADMIN); }

// The logged-in account, or empty when nobody is logged in.
std::u16string CurrentUserName() {
  if (!SingletonAccess<CUser>::HasInstance()) return {};
  return CUser::GetInstance()->GetName();
}

class UserDb {
 public:
  UserDb() { open_ = OpenUserDatabase(db_) != 0; }
  ~UserDb() { CloseDatabase(db_); }
  bool IsOpen() const { return open_; }
  CppSQLite3DB& operator*() { return db_; }

 private:
  CppSQLite3DB db_;
  bool open_ = false;
};

}  // namespace

std::u16string TrimmedName(const std::u16string& name) {
  size_t begin = 0, end = name.size();
  while (begin < end && IsSpace(name[begin])) ++begin;
  while (end > begin && IsSpace(name[end - 1])) --end;
  return name.substr(begin, end - begin);
}

PasswordCheck CheckNewUser(const std::u16string& trimmedName, const std::u16string& password,
                           const std::u16string& confirmation) {
  if (trimmedName.empty()) return {IDS_USER_NAME_EMPTY, false};
  return CheckNewPassword(password, confirmation);
}

PasswordCheck CheckNewPassword(const std::u16string& password, const std::u16string& confirmation) {
  if (password != confirmation) return {IDS_PASSWORDS_DIFFER, false};
  if (!LengthOk(password)) return {IDS_PASSWORD_LENGTH, true};
  return {};
}

const std::vector<std::pair<uint32_t, int>>& UserMgrController::RightItems() {
  static const std::vector<std::pair<uint32_t, int>> items = {{IDS_RIGHT_PTZ_CONTROL, RIGHT_PTZ},
                                                              {IDS_RIGHT_VIDEO_ADJUST, RIGHT_VIDEO_ADJUST},
                                                              {IDS_RIGHT_REMOTE_PLAYBACK, RIGHT_REMOTE_PLAYBACK},
                                                              {IDS_LOCAL_RECORD, RIGHT_LOCAL_RECORD},
                                                              {IDS_RIGHT_REMOTE_CONFIG, RIGHT_REMOTE_CONFIG}};
  return items;
}

std::vector<UserMgrController::Row> UserMgrController::LoadAccounts() {
  std::vector<Row> rows;
  UserDb db;
  if (!db.IsOpen()) return rows;
  try {
    CppSQLite3Query q = (*db).Query(u"select * from " + QuoteIdentifier(TB_USER_INFO) + u";");
    for (; !q.Eof(); q.NextRow()) {
      const char16_t* name = q.FieldText(0);
      const char16_t* code = q.FieldText(2);
      std::u16string identity = code ? code : u"";
      CodeToIdentity(identity);
      rows.push_back(Row{name ? name : u"", identity});
    }
  } catch (const CppSQLite3Exception&) {
    // the rows read so far are shown
  }
  return rows;
}

void UserMgrController::Select(int row, const std::u16string& name) {
  selected_ = row;
  if (row < 0) return;
  if (name != name_) password_.clear();  // never carried over to another account
  name_ = name;
  CppSQLite3Query account;
  if (QueryUser(TB_USER_INFO, name_, account)) {
    try {
      const std::u16string power = FieldString(account, 3);
      std::u16string identity = FieldString(account, 2);
      CodeToIdentity(identity);
      power_ = plat::textToInt(power);
      identity_ = identity;
    } catch (const CppSQLite3Exception&) {
      // the account keeps the values shown before
    }
  }
}

bool UserMgrController::SelectedIsAdmin() const { return identity_ == AdminText(); }

bool UserMgrController::RightsEditable() const { return !SelectedIsAdmin(); }

bool UserMgrController::SetRight(int bit, bool on) {
  const int next = on ? power_ | bit : power_ & ~bit;
  if (!SetUserPower(TB_USER_INFO, name_, next)) return false;
  power_ = next;
  return true;
}

UserMgrController::AddResult UserMgrController::Add(const std::u16string& name, const std::u16string& password,
                                                    const std::u16string& identity) {
  UserDb db;
  if (!db.IsOpen()) return AddResult::Failed;
  if (UserExists(*db, TB_USER_INFO, name)) return AddResult::Exists;
  std::u16string code = identity;
  const std::u16string hash = HashPassword(password);
  if (hash.empty() || !InsertUserRow(*db, TB_USER_INFO, name, hash, code)) return AddResult::Failed;
  if (identity == AdminText()) UpdateUserPower(*db, TB_USER_INFO, name, RIGHTS_ALL);
  return AddResult::Added;
}

UserMgrController::DeleteCheck UserMgrController::CheckDelete() const {
  const std::u16string current = CurrentUserName();
  if (selected_ < 0 || current.empty()) return DeleteCheck::Nothing;
  if (name_ == ADMIN_NAME) return DeleteCheck::RefuseAdmin;
  if (name_ == current) return DeleteCheck::RefuseSelf;
  return DeleteCheck::Ask;
}

bool UserMgrController::DeleteSelected() {
  UserDb db;
  if (!db.IsOpen()) return false;
  // The account and its recent name go together, or neither does.
  const bool ok = RunInTransaction(*db, [this](CppSQLite3DB& d) {
    for (const char16_t* table : {TB_USER_INFO, TB_RECENT_LOGIN_USER})
      if (UserExists(d, table, name_) && !DeleteUserRow(d, table, name_)) return false;
    return true;
  }) == 1;
  if (ok) selected_ = -1;
  return ok;
}

UserMgrController::ModifyResult UserMgrController::Modify(const std::u16string& newPassword,
                                                          const std::u16string& identity) {
  if (!newPassword.empty()) password_ = newPassword;
  identity_ = identity;
  {
    UserDb db;
    if (!db.IsOpen()) return ModifyResult::SaveFailed;
    if (!UserExists(*db, TB_USER_INFO, name_)) return ModifyResult::Missing;
    std::u16string code = identity_;
    const std::u16string hash = HashPassword(password_);
    if (hash.empty() || !UpdateUserRow(*db, TB_USER_INFO, name_, hash, code)) return ModifyResult::SaveFailed;
  }
  if (SelectedIsAdmin()) {
    power_ = RIGHTS_ALL;
    SetUserPower(TB_USER_INFO, name_, power_);
  }
  return ModifyResult::Saved;
}

ChangePasswordResult ChangeOwnPassword(const std::u16string& oldPassword, const std::u16string& newPassword,
                                       const std::u16string& confirmation) {
  const std::u16string name = CurrentUserName();
  if (name.empty()) return ChangePasswordResult::NoUser;
  UserDb db;
  if (!db.IsOpen()) return ChangePasswordResult::NoStore;
  std::u16string stored, identity;
  if (!SelectUserByName(*db, TB_USER_INFO, name, stored, identity)) stored.clear();
  if (!CheckAccountPassword(*db, name, stored, oldPassword)) return ChangePasswordResult::WrongOld;
  if (newPassword != confirmation) return ChangePasswordResult::Mismatch;
  if (!LengthOk(newPassword)) return ChangePasswordResult::BadLength;
  const std::u16string hash = HashPassword(newPassword);
  if (hash.empty() || !UserExists(*db, TB_USER_INFO, name) || !UpdateUserRow(*db, TB_USER_INFO, name, hash, identity))
    return ChangePasswordResult::SaveFailed;
  return ChangePasswordResult::Changed;
}
