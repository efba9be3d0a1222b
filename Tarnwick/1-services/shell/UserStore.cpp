#include "shell/UserStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "plat/log.h"
#include "plat/paths.h"
#include "plat/text.h"
#include "shell/DamagedFiles.h"
#include "shell/DbHelpers.h"
#include "shell/Language.h"
#include "shell/PasswordHash.h"
#include "shell/StringIds.h"
#include "shell/TypedPasswords.h"
#include "shell/UiService.h"
#include "shell/UserRights.h"

namespace {

int Fail(const char* what, const CppSQLite3Exception& e) {
  PLAT_LOGW("users", "%s failed: %s", what, e.Detail().c_str());
  return 0;
}

std::u16string Table(const std::u16string& name) { return QuoteIdentifier(name); }

// Opens UserInfo.db for one action and closes it again, whatever happens.
template <class Action>
int WithUserDb(Action action) {
  CppSQLite3DB db;
  if (!OpenUserDatabase(db)) return 0;
  int result = action(db);
  CloseDatabase(db);
  return result;
}

// The tables and an administrator, inside the caller's transaction. Throws on any failure so
// the whole change is rolled back.
bool BuildUserDatabase(CppSQLite3DB& db) {
  for (const char16_t* table : {TB_USER_INFO, TB_RECENT_LOGIN_USER, TB_AUTO_LOGIN_USER})
    if (!db.TableExists(table) && !CreateUserTable(db, table)) return false;
  if (db.ExecuteScalar(u"select count(*) from " + Table(TB_USER_INFO) + u" where Identify = ?;",
                       {std::u16string(IDENTITY_CODE_ADMIN)}) > 0)
    return true;
  // No administrator: nobody could manage the accounts. Put the built-in one (back), in place
  // of a row of its name that lost its identity. Its password is the documented one; should
  // no hash be made of it (no memory), it is stored as typed and hashed at its first login.
  std::u16string password = HashPassword(ADMIN_PASSWORD);
  if (password.empty()) password = ADMIN_PASSWORD;
  db.Execute(u"insert or replace into " + Table(TB_USER_INFO) + u" values(?, ?, ?, ?);",
             {std::u16string(ADMIN_NAME), password, std::u16string(IDENTITY_CODE_ADMIN),
              int64_t{RIGHTS_ALL}});
  if (!UserExists(db, TB_RECENT_LOGIN_USER, ADMIN_NAME)) {
    std::u16string identity = LoadResString(IDS_IDENTITY_ADMIN);
    if (!InsertUserRow(db, TB_RECENT_LOGIN_USER, ADMIN_NAME, password, identity))
      return false;
    if (!UpdateUserPower(db, TB_RECENT_LOGIN_USER, ADMIN_NAME, RIGHTS_ALL)) return false;
  }
  return true;
}

constexpr char16_t kRebuiltName[] = u"UserInfo.db.new";
constexpr char16_t kKeptName[] = u"UserInfo.db.bak";
constexpr const char16_t* kUserTables[] = {TB_USER_INFO, TB_RECENT_LOGIN_USER, TB_AUTO_LOGIN_USER};

struct StoredUser {
  std::u16string name, password, identify;
  int64_t power = 0;
};

// The columns the table has, by name.
std::vector<std::u16string> Columns(CppSQLite3DB& db, const std::u16string& table) {
  std::vector<std::u16string> names;
  auto q = db.Query(u"PRAGMA table_info(" + Table(table) + u");");
  for (; !q.Eof(); q.NextRow()) names.push_back(FieldString(q, 1));
  return names;
}

bool Has(const std::vector<std::u16string>& v, const char16_t* name) {
  return std::find(v.begin(), v.end(), std::u16string(name)) != v.end();
}

// Why an existing file cannot serve as the account store; empty when it can, or when it
// cannot be told (a busy file is left alone).
std::string UserDatabaseDamage(CppSQLite3DB& db) {
  switch (CheckDatabaseHealth(db)) {
    case DatabaseHealth::Damaged: return "its integrity check fails";
    case DatabaseHealth::Unknown: return {};
    case DatabaseHealth::Whole: break;
  }
  try {
    for (const char16_t* table : kUserTables) {
      if (!db.TableExists(table)) return "it has no table " + plat::utf16ToUtf8(table);
      const auto columns = Columns(db, table);
      for (const char16_t* column : {u"Name", u"Password", u"Identify", u"Power"})
        if (!Has(columns, column))
          return plat::utf16ToUtf8(table) + " has no column " + plat::utf16ToUtf8(column);
    }
    if (db.ExecuteScalar(u"select count(*) from " + Table(TB_USER_INFO) + u";") == 0)
      return "it holds no account";
  } catch (const CppSQLite3Exception& e) {
    if (e.ErrorCode() == SQLITE_CORRUPT || e.ErrorCode() == SQLITE_NOTADB) return e.Detail();
  }
  return {};
}

// The rows of a damaged file's table as far as they can be read; a column the table lacks
// reads as an ordinary user without rights.
std::vector<StoredUser> ReadWhatCanBeRead(CppSQLite3DB& db, const char16_t* table) {
  std::vector<StoredUser> rows;
  try {
    if (!db.TableExists(table)) return rows;
    const auto columns = Columns(db, table);
    if (!Has(columns, u"Name") || !Has(columns, u"Password")) return rows;
    auto q = db.Query(u"select Name, Password, " +
                      std::u16string(Has(columns, u"Identify") ? u"Identify" : u"'1'") + u", " +
                      std::u16string(Has(columns, u"Power") ? u"Power" : u"0") + u" from " +
                      Table(table) + u";");
    for (; !q.Eof(); q.NextRow())
      if (q.FieldText(0) && q.FieldText(1))
        rows.push_back({q.FieldText(0), q.FieldText(1), FieldString(q, 2), q.FieldInt(3)});
  } catch (const CppSQLite3Exception& e) {
    PLAT_LOGW("users", "reading %s stopped after %zu rows: %s", plat::utf16ToUtf8(table).c_str(),
              rows.size(), e.Detail().c_str());
  }
  return rows;
}

// A new file with the accounts and recent names read from the damaged one, and an
// administrator, written beside it and renamed over it: a failure leaves the old file.
// The automatic login is not carried over: after damage someone must log in.
bool RebuildUserDatabase(const std::vector<StoredUser>& users,
                         const std::vector<StoredUser>& recent) {
  namespace fs = std::filesystem;
  const fs::path file = plat::utf16ToUtf8(ProgramDirPath(USER_DB_NAME));
  const fs::path built = plat::utf16ToUtf8(ProgramDirPath(kRebuiltName));
  std::error_code ec;
  fs::remove(built, ec);
  bool ok;
  {
    // Passwords read as typed are written as hashes: not even the new file in the making
    // holds them (one that cannot be hashed now is, and is hashed after the rename).
    TypedPasswordHashes hashes;
    auto stored = [&hashes](const StoredUser& u, bool loginRow) {
      std::u16string form = hashes.StoredForm(u.name, u.password, loginRow);
      return form.empty() ? u.password : form;
    };
    CppSQLite3DB db;
    ok = OpenDatabaseInProgramDir(db, kRebuiltName) && ExecuteSql(db, u"PRAGMA secure_delete = ON;") &&
         RunInTransaction(db, [&](CppSQLite3DB& d) {
           for (const auto& [table, rows] : {std::pair{TB_USER_INFO, &users},
                                             std::pair{TB_RECENT_LOGIN_USER, &recent}}) {
             if (!CreateUserTable(d, table)) return false;
             for (const StoredUser& u : *rows)
               d.Execute(u"insert or ignore into " + Table(table) + u" values(?, ?, ?, ?);",
                         {u.name, stored(u, table != TB_USER_INFO), u.identify, u.power});
           }
           return BuildUserDatabase(d) && MarkOldFreeSpaceCleared(d);
         });
    db.Close();
  }
  // A journal left by the damaged file went with its copy aside; under the old name it would
  // be taken for the new file's own.
  for (const char* suffix : {"-journal", "-wal"}) {
    fs::path left = file;
    left += suffix;
    if (ok) fs::remove(left, ec);
  }
  if (ok) fs::rename(built, file, ec);
  if (!ok || ec) {
    PLAT_LOGE("users", "cannot rebuild %s: %s", file.string().c_str(), ec.message().c_str());
    fs::remove(built, ec);
    return false;
  }
  return true;
}

// The passwords in the copy of a damaged file kept aside (this start's, or one an older
// version kept) become hashes as those in the file do. A part of a copy that a killed start
// left is removed. True when no copy holds a password as typed the program could read; false
// when the copy there cannot be read whole (it stays its user's alone, 0600).
bool SecureKeptUserCopy() {
  namespace fs = std::filesystem;
  const fs::path kept = plat::utf16ToUtf8(ProgramDirPath(kKeptName));
  const std::string partPrefix = kept.filename().string() + ".";
  std::error_code ec;
  for (fs::directory_iterator it(kept.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.starts_with(partPrefix) && name.ends_with(".part")) {
      std::error_code ignored;
      fs::remove(it->path(), ignored);
    }
  }
  if (!fs::is_regular_file(kept, ec)) return true;
  fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write, ec);
  CppSQLite3DB db;
  if (!OpenDatabaseInProgramDir(db, kKeptName)) return false;
  // secure_delete: the cell of a password replaced by its hash is overwritten, not freed.
  const bool clear = ExecuteSql(db, u"PRAGMA secure_delete = ON;") && HashPasswordsInKeptCopy(db);
  db.Close();
  return clear;
}

}  // namespace

int OpenUserDatabase(CppSQLite3DB& db) {
  if (!OpenDatabaseInProgramDir(db, USER_DB_NAME)) return 0;
  // The old cell of a replaced password would stay readable in the file's free pages.
  if (!ExecuteSql(db, u"PRAGMA secure_delete = ON;")) {
    db.Close();
    return 0;
  }
  return 1;
}

bool CheckAccountPassword(CppSQLite3DB& db, const std::u16string& name, std::u16string& stored,
                          const std::u16string& typed) {
  const PasswordMatch match = MatchPassword(stored, typed);
  if (match == PasswordMatch::No) return false;
  if (match == PasswordMatch::YesStoreAgain) {
    const std::u16string hash = HashPassword(typed);
    int changed = 0;
    try {
      // Only over the value checked: a change made meanwhile elsewhere stays.
      if (!hash.empty()) {
        db.Execute(u"update " + Table(TB_USER_INFO) + u" set Password = ? where Name = ? and Password = ?;",
                   {hash, name, stored});
        changed = ChangedRows(db);
      }
    } catch (const CppSQLite3Exception& e) {
      Fail("password hash update", e);
    }
    if (changed > 0)
      stored = hash;
    else
      PLAT_LOGW("users", "the password of %s is not stored as a hash yet", plat::utf16ToUtf8(name).c_str());
  }
  return true;
}

void IdentityToCode(std::u16string& text) {
  text = text == LoadResString(IDS_IDENTITY_ADMIN) ? IDENTITY_CODE_ADMIN : IDENTITY_CODE_USER;
}

void CodeToIdentity(std::u16string& text) {
  text = LoadResString(text == IDENTITY_CODE_ADMIN ? IDS_IDENTITY_ADMIN : IDS_IDENTITY_USER);
}

int CreateUserTable(CppSQLite3DB& db, const std::u16string& table) {
  return ExecuteSql(db, u"CREATE TABLE " + Table(table) +
                            u" (Name varchar primary key,Password varchar NOT NULL,"
                            u"Identify varchar, Power int default 0);");
}

int InsertUserRow(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name,
                  const std::u16string& password, std::u16string& identity) {
  IdentityToCode(identity);
  return ExecuteSql(db, u"insert into " + Table(table) + u" values(?, ?, ?, 0);",
                    {name, password, identity});
}

int UpdateUserRow(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name,
                  const std::u16string& password, std::u16string& identity) {
  IdentityToCode(identity);
  return ExecuteSql(db,
                    u"update " + Table(table) + u" set Password = ?, Identify = ? where Name = ?;",
                    {password, identity, name});
}

int DeleteUserRow(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name) {
  return ExecuteSql(db, u"delete from " + Table(table) + u" where Name = ?;", {name});
}

int UserExists(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name) {
  try {
    auto q = db.Query(u"select * from " + Table(table) + u" where Name = ?;", {name});
    return q.Eof() ? 0 : 1;
  } catch (const CppSQLite3Exception& e) {
    return Fail("user lookup", e);
  }
}

int SelectUserByName(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name,
                     std::u16string& password, std::u16string& identity) {
  try {
    auto q = db.Query(u"select * from " + Table(table) + u" where Name = ?;", {name});
    if (q.Eof()) return 0;
    const char16_t* pw = q.FieldText(1);
    const char16_t* id = q.FieldText(2);
    password = pw ? pw : u"";
    identity = id ? id : u"";
    CodeToIdentity(identity);
    return 1;
  } catch (const CppSQLite3Exception& e) {
    return Fail("user select", e);
  }
}

int SelectFirstUserName(CppSQLite3DB& db, const std::u16string& table, std::u16string& name) {
  try {
    auto q = db.Query(u"select * from " + Table(table) + u";");
    if (q.Eof()) return 0;
    const char16_t* n = q.FieldText(0);
    name = n ? n : u"";
    return 1;
  } catch (const CppSQLite3Exception& e) {
    return Fail("first user", e);
  }
}

int UpdateUserPower(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name,
                    int power) {
  return ExecuteSql(db, u"update " + Table(table) + u" set Power = ? where Name = ?;",
                    {static_cast<int64_t>(power), name});
}

int CreateUserDatabase() {
  SecureKeptUserCopy();
  // A database that cannot be opened at all is said so: every login would fail otherwise as
  // if no such user existed.
  std::string why = WhyFileUnreadable(plat::inProgramDir(plat::utf16ToUtf8(USER_DB_NAME)));
  if (why.empty() && !FileExistsInProgramDir(USER_DB_NAME)) {
    if (WithUserDb([](CppSQLite3DB& db) {
          return RunInTransaction(db, [](CppSQLite3DB& d) { return BuildUserDatabase(d) && MarkOldFreeSpaceCleared(d); });
        }))
      return 1;
    why = "it cannot be made";
  }
  if (!why.empty()) {
    PLAT_LOGE("users", "%s cannot be used: %s; nobody can log in",
              plat::inProgramDir(plat::utf16ToUtf8(USER_DB_NAME)).c_str(), why.c_str());
    UiService().MessageBox(nullptr, DamagedFileText(IDS_USER_DB_UNOPENABLE, USER_DB_NAME),
                           LoadResString(IDS_NOTICE), MB_OK | MB_ICONERROR);
    return 0;
  }
  // An existing database is not written to while it holds the accounts, but for passwords an
  // older program stored as typed, which become hashes, and the free space it left, which goes
  // with one rebuild of the file. One that cannot (damaged, another
  // schema, no account) is kept aside whole, and a new one starts with what could be read of
  // it: the user is told, and nothing is lost without a copy.
  std::string damage;
  std::vector<StoredUser> users, recent;
  {
    CppSQLite3DB db;
    if (!OpenUserDatabase(db)) {
      damage = "the file does not open";
    } else {
      damage = UserDatabaseDamage(db);
      if (!damage.empty()) {
        users = ReadWhatCanBeRead(db, TB_USER_INFO);
        recent = ReadWhatCanBeRead(db, TB_RECENT_LOGIN_USER);
      } else {
        HashPasswordsStoredAsTyped(db);  // should it fail, each is hashed at its next login
      }
      db.Close();
    }
  }
  if (damage.empty()) return 1;
  // The copy keeps the damaged bytes, not the passwords as typed: those it can read become
  // hashes before the new file is made. One it cannot read whole is said to perhaps hold some.
  const bool kept = KeepFileAsideNow(USER_DB_NAME, damage);
  const bool copyClear = kept && SecureKeptUserCopy();
  if (kept && RebuildUserDatabase(users, recent)) {
    WithUserDb([](CppSQLite3DB& db) { return HashPasswordsStoredAsTyped(db, true); });
    PLAT_LOGW("users", "user database started anew with %zu accounts read back", users.size());
    UiService().MessageBox(
        nullptr, DamagedFileText(copyClear ? IDS_USER_DB_REBUILT : IDS_USER_DB_REBUILT_COPY_UNREADABLE, USER_DB_NAME),
        LoadResString(IDS_NOTICE), MB_OK | MB_ICONWARNING);
    return 1;
  }
  UiService().MessageBox(nullptr, DamagedFileText(IDS_USER_DB_UNUSABLE, USER_DB_NAME),
                         LoadResString(IDS_NOTICE), MB_OK | MB_ICONERROR);
  return 0;
}

bool UserDatabaseOpens() {
  if (!WhyFileUnreadable(plat::inProgramDir(plat::utf16ToUtf8(USER_DB_NAME))).empty() ||
      !FileExistsInProgramDir(USER_DB_NAME))
    return false;
  CppSQLite3DB db;
  if (!OpenDatabaseInProgramDir(db, USER_DB_NAME)) return false;
  db.Close();
  return true;
}

std::u16string UserDatabaseUnopenableText() { return DamagedFileText(IDS_USER_DB_UNOPENABLE, USER_DB_NAME); }

int CheckAutoLogin(std::u16string& name, std::u16string& identity) {
  return WithUserDb([&](CppSQLite3DB& db) {
    std::u16string autoName;
    if (!SelectFirstUserName(db, TB_AUTO_LOGIN_USER, autoName) || autoName.empty()) return 0;
    std::u16string password, ident;
    if (!SelectUserByName(db, TB_USER_INFO, autoName, password, ident)) return 0;
    name = autoName;
    identity = ident;
    return 1;
  });
}

int SetUserPower(const std::u16string& table, const std::u16string& name, int power) {
  return WithUserDb([&](CppSQLite3DB& db) { return UpdateUserPower(db, table, name, power); });
}

int GetUserPower(const std::u16string& table, const std::u16string& name, int& power) {
  return WithUserDb([&](CppSQLite3DB& db) {
    try {
      auto q = db.Query(u"select * from " + Table(table) + u" where Name = ?;", {name});
      if (q.Eof()) return 0;
      power = static_cast<int>(q.FieldInt(3));  // decimal text as far as it goes
      return 1;
    } catch (const CppSQLite3Exception& e) {
      return Fail("user power", e);
    }
  });
}

int QueryUser(const std::u16string& table, const std::u16string& name, CppSQLite3Query& cursor) {
  return WithUserDb([&](CppSQLite3DB& db) {
    try {
      CppSQLite3Query q = db.Query(u"select * from " + Table(table) + u" where Name = ?;", {name});
      if (q.Eof()) return 0;
      cursor = std::move(q);
      return 1;
    } catch (const CppSQLite3Exception& e) {
      return Fail("user query", e);
    }
  });
}
