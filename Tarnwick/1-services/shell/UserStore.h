#pragma once
// The local user accounts in UserInfo.db beside the program: the accounts, the names of
// recent logins and the account logged in automatically. Every function answers 1 on
// success and 0 when the statement failed or, for the reading ones, when no row was found
// (outputs are then left unchanged). User text reaches SQL only as bound values.
#include <string>

#include "shell/CppSQLite3.h"
#include "shell/UserTables.h"

// Identity display text <-> stored code, in place. The administrator's word of the current
// language becomes "0", anything else "1"; "0" reads back as the administrator's word,
// anything else as the ordinary user's.
void IdentityToCode(std::u16string& text);
void CodeToIdentity(std::u16string& text);

// On an open connection.
int CreateUserTable(CppSQLite3DB& db, const std::u16string& table);
// The identity text is turned into its code in the caller's text first.
int InsertUserRow(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name,
                  const std::u16string& password, std::u16string& identity);
int UpdateUserRow(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name,
                  const std::u16string& password, std::u16string& identity);
int DeleteUserRow(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name);
int UserExists(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name);
// Password and identity display text of the account.
int SelectUserByName(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name,
                     std::u16string& password, std::u16string& identity);
int SelectFirstUserName(CppSQLite3DB& db, const std::u16string& table, std::u16string& name);
int UpdateUserPower(CppSQLite3DB& db, const std::u16string& table, const std::u16string& name,
                    int power);

// Opens UserInfo.db for the caller. What a connection overwrites or deletes (a password) is
// overwritten in the file too, never left behind in its free space.
int OpenUserDatabase(CppSQLite3DB& db);

// Whether `typed` is the account's password; `stored` is its Password as read (a hash, see
// PasswordHash.h). A password an older program stored as typed is replaced by its hash when
// it matches, and `stored` with it; the check holds even when that write fails.
bool CheckAccountPassword(CppSQLite3DB& db, const std::u16string& name, std::u16string& stored,
                          const std::u16string& typed);

// Opening UserInfo.db themselves (0 also when it cannot be opened).
// Makes the database with its three tables and the built-in administrator (its documented
// password stored as a hash, as every password) when missing. A
// complete database is not written to, but for passwords an older program stored as typed,
// in its rows or in its free space: all become hashes at once, and the file (and a copy kept
// aside) is rebuilt without free space the first time (TypedPasswords.h). One that is damaged, lacks a table or column, or
// holds no account is copied to "UserInfo.db.bak" and replaced by a new one holding the
// accounts and recent names that could be read, and the built-in administrator when no
// administrator could be; the user is told in a box either way (also when it could not be
// replaced). One that cannot be opened at all (a folder in its place, no permission) or made
// is told in a box too. 1 when the database is ready.
int CreateUserDatabase();
// Whether UserInfo.db is there and opens (a folder in its place, or a file without read and
// write permission, does not), and the notice that says it does not.
bool UserDatabaseOpens();
std::u16string UserDatabaseUnopenableText();
// 1 when Tb_AutoLoginUser names an existing account: its name and identity display text
// are given out.
int CheckAutoLogin(std::u16string& name, std::u16string& identity);
int SetUserPower(const std::u16string& table, const std::u16string& name, int power);
int GetUserPower(const std::u16string& table, const std::u16string& name, int& power);
// A cursor over the account's row (Name, Password, Identify, Power), positioned on it; it
// stays readable after the database is closed (its connection ends with it). 1 when a row
// came back.
int QueryUser(const std::u16string& table, const std::u16string& name, CppSQLite3Query& cursor);
