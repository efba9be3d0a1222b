#include "shell/UserStore.h"

#include "plat/log.h"
#include "plat/text.h"
#include "shell/DbHelpers.h"
#include "shell/Language.h"
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
  if (!OpenDatabaseInProgramDir(db, USER_DB_NAME)) return 0;
  int result = action(db);
  CloseDatabase(db);
  return result;
}

// Table creation, administrator and the repair of a half-made file, inside the caller's
// transaction. Throws on any failure so the whole change is rolled back.
bool BuildUserDatabase(CppSQLite3DB& db) {
  for (const char16_t* table : {TB_USER_INFO, TB_RECENT_LOGIN_USER, TB_AUTO_LOGIN_USER})
    if (!db.TableExists(table) && !CreateUserTable(db, table)) return false;
  if (db.ExecuteScalar(u"select count(*) from " + Table(TB_USER_INFO) + u";") > 0) return true;
  // No account at all: nobody could log in. Put the administrator (back).
  std::u16string identity = IDENTITY_CODE_ADMIN;
  if (!InsertUserRow(db, TB_USER_INFO, ADMIN_NAME, ADMIN_PASSWORD, identity)) return false;
  if (!UserExists(db, TB_RECENT_LOGIN_USER, ADMIN_NAME)) {
    identity = IDENTITY_CODE_ADMIN;
    if (!InsertUserRow(db, TB_RECENT_LOGIN_USER, ADMIN_NAME, ADMIN_PASSWORD, identity))
      return false;
  }
  return UpdateUserPower(db, TB_USER_INFO, ADMIN_NAME, RIGHTS_ALL) &&
         UpdateUserPower(db, TB_RECENT_LOGIN_USER, ADMIN_NAME, RIGHTS_ALL);
}

bool UserDatabaseComplete(CppSQLite3DB& db) {
  for (const char16_t* table : {TB_USER_INFO, TB_RECENT_LOGIN_USER, TB_AUTO_LOGIN_USER})
    if (!db.TableExists(table)) return false;
  return db.ExecuteScalar(u"select count(*) from " + Table(TB_USER_INFO) + u";") > 0;
}

}  // namespace

void IdentityToCode(std::u16string& text) {
  bool admin = text == IDENTITY_CODE_ADMIN || text == LoadResString(IDS_IDENTITY_ADMIN);
  text = admin ? IDENTITY_CODE_ADMIN : IDENTITY_CODE_USER;
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
                     std::u16string& password, std::u16string& identity,
                     std::u16string* identityCode) {
  try {
    auto q = db.Query(u"select * from " + Table(table) + u" where Name = ?;", {name});
    if (q.Eof()) return 0;
    const char16_t* pw = q.FieldText(1);
    const char16_t* id = q.FieldText(2);
    password = pw ? pw : u"";
    std::u16string code = id ? id : u"";
    if (identityCode) *identityCode = code;
    identity = code;
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
  return WithUserDb([](CppSQLite3DB& db) {
    try {
      if (UserDatabaseComplete(db)) return 1;  // an existing database is not written to
    } catch (const CppSQLite3Exception& e) {
      return Fail("user database check", e);
    }
    return RunInTransaction(db, BuildUserDatabase);
  });
}

int CheckAutoLogin(std::u16string& name, std::u16string& identity,
                   std::u16string* identityCode) {
  return WithUserDb([&](CppSQLite3DB& db) {
    std::u16string autoName;
    if (!SelectFirstUserName(db, TB_AUTO_LOGIN_USER, autoName) || autoName.empty()) return 0;
    std::u16string password, ident, code;
    if (!SelectUserByName(db, TB_USER_INFO, autoName, password, ident, &code)) return 0;
    name = autoName;
    identity = ident;
    if (identityCode) *identityCode = code;
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

int QueryUser(const std::u16string& table, const std::u16string& name, CppSQLite3Table& row) {
  return WithUserDb([&](CppSQLite3DB& db) {
    CppSQLite3Table result;
    if (!GetTable(db, u"select * from " + Table(table) + u" where Name = ?;", result, {name}))
      return 0;
    if (GetTableRowCount(result) == 0) return 0;
    SetTableRow(result, 0);
    row = std::move(result);
    return 1;
  });
}
