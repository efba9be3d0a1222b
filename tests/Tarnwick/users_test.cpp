#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "harness/Services.h"
#include "plat/text.h"
#include "harness/UiHarness.h"
#include "settings_fixture.h"
#include "shell/DamagedFiles.h"
#include "shell/DbHelpers.h"
#include "shell/Language.h"
#include "shell/PasswordHash.h"
#include "shell/StringIds.h"
#include "shell/User.h"
#include "shell/UserRights.h"
#include "shell/UserStore.h"

namespace fs = std::filesystem;

namespace {

struct Row {
  std::u16string name, password, identify;
  int64_t power;
  bool operator==(const Row&) const = default;
};

// How Rows() shows a password stored as a hash of the built-in administrator's.
constexpr char16_t kHashedAdminPassword[] = u"(hash of 804261)";

class Users : public TempHomeTest {
 protected:
  void SetUp() override {
    TempHomeTest::SetUp();
    FreeLanguageLibrary();  // Chinese texts unless a test chooses otherwise
  }
  void TearDown() override {
    FreeLanguageLibrary();
    harness::ResetServices();
    TempHomeTest::TearDown();
  }
  std::string DbPath() const { return (home_ / "UserInfo.db").string(); }
  std::map<std::u16string, std::u16string> known = {{ADMIN_NAME, ADMIN_PASSWORD}, {u"bob", u"secret"}};

  // The rows, in table order; a hash of the password `known` gives the row's name shows as
  // "(hash of ...)".
  std::vector<Row> Rows(const std::u16string& table) {
    CppSQLite3DB db;
    db.Open(ProgramDirPath(USER_DB_NAME));
    std::vector<Row> rows;
    auto q = db.Query(u"select Name, Password, Identify, Power from " + QuoteIdentifier(table) +
                      u" order by rowid;");
    for (; !q.Eof(); q.NextRow()) {
      std::u16string password = q.FieldText(1);
      if (auto it = known.find(q.FieldText(0)); it != known.end() && IsPasswordHash(password) &&
                                                MatchPassword(password, it->second) == PasswordMatch::Yes)
        password = u"(hash of " + it->second + u")";
      rows.push_back({q.FieldText(0), password, q.FieldText(2), q.FieldInt(3)});
    }
    return rows;
  }
  // Whether the file holds the text, in either encoding a database may keep it in.
  bool FileHolds(const std::u16string& text) {
    const std::string bytes = ReadFile(DbPath()) + ReadFile(DbPath() + "-journal");
    const std::string utf16(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    return bytes.find(utf16) != std::string::npos || bytes.find(plat::utf16ToUtf8(text)) != std::string::npos;
  }
  size_t CopiesInFile(const std::u16string& text) {
    const std::string bytes = ReadFile(DbPath());
    const std::string utf16(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    size_t n = 0;
    for (size_t at = bytes.find(utf16); at != std::string::npos; at = bytes.find(utf16, at + 1)) ++n;
    return n;
  }
  void Exec(const std::u16string& sql) {
    CppSQLite3DB db;
    db.Open(ProgramDirPath(USER_DB_NAME));
    db.Execute(sql);
  }
  // What a database file holds: its schema and every row of every table, in order.
  static std::vector<std::u16string> Contents(const std::string& path) {
    CppSQLite3DB db;
    db.Open(plat::utf8ToUtf16(path));
    std::vector<std::u16string> out, tables;
    for (auto q = db.Query(u"select name, sql from sqlite_master order by name;"); !q.Eof(); q.NextRow()) {
      out.push_back(FieldString(q, 1));
      if (FieldString(q, 1).starts_with(u"CREATE TABLE")) tables.push_back(FieldString(q, 0));
    }
    for (const std::u16string& t : tables)
      for (auto q = db.Query(u"select * from " + QuoteIdentifier(t) + u" order by rowid;"); !q.Eof(); q.NextRow())
        for (int c = 0; c < q.FieldCount(); ++c) out.push_back(t + u"." + FieldString(q, c));
    return out;
  }
  bool HasTable(const std::u16string& table) {
    CppSQLite3DB db;
    db.Open(ProgramDirPath(USER_DB_NAME));
    return db.TableExists(table);
  }
};

const Row kAdmin{u"admin", kHashedAdminPassword, u"0", 63};

const char16_t* englishLookup(uint32_t id) {
  if (id == IDS_IDENTITY_ADMIN) return u"Administrator";
  if (id == IDS_IDENTITY_USER) return u"Ordinary user";
  return nullptr;
}

}  // namespace

TEST_F(Users, FreshDatabaseHasTheAdministratorAndIsLeftAloneAfterwards) {
  ASSERT_EQ(CreateUserDatabase(), 1);
  EXPECT_EQ(Rows(TB_USER_INFO), std::vector<Row>{kAdmin});
  EXPECT_EQ(Rows(TB_RECENT_LOGIN_USER), std::vector<Row>{kAdmin});
  // Stored salted: no byte of the password in the file, and no two hashes alike.
  const std::string bytes = ReadFile(DbPath());
  EXPECT_EQ(bytes.find("804261"), std::string::npos);
  EXPECT_EQ(bytes.find(std::string(reinterpret_cast<const char*>(u"804261"), 12)), std::string::npos);
  {
    CppSQLite3Query row;
    ASSERT_EQ(QueryUser(TB_USER_INFO, ADMIN_NAME, row), 1);
    EXPECT_NE(std::u16string(row.FieldText(1)), HashPassword(ADMIN_PASSWORD));
    EXPECT_EQ(MatchPassword(row.FieldText(1), u"804262"), PasswordMatch::No);
  }
  EXPECT_TRUE(HasTable(TB_AUTO_LOGIN_USER));
  EXPECT_TRUE(Rows(TB_AUTO_LOGIN_USER).empty());

  std::string before = ReadFile(DbPath());
  struct stat st1{};
  stat(DbPath().c_str(), &st1);
  ASSERT_EQ(CreateUserDatabase(), 1);
  struct stat st2{};
  stat(DbPath().c_str(), &st2);
  EXPECT_EQ(ReadFile(DbPath()), before);
  EXPECT_EQ(st1.st_mtim.tv_sec, st2.st_mtim.tv_sec);
  EXPECT_EQ(st1.st_mtim.tv_nsec, st2.st_mtim.tv_nsec);
}

// A file the program did not leave (tables missing, another shape, an account without an
// administrator) is kept aside with all it holds (rebuilt without its free space) and started
// anew with what could be read of it.
TEST_F(Users, HalfMadeOrForeignDatabasesAreKeptAsideAndStartedAnewWithTheirAccounts) {
  harness::ScopedScriptedUi ui;
  const std::string bak = DbPath() + ".bak";
  Exec(u"CREATE TABLE Tb_UserInfo (Name varchar primary key,Password varchar NOT NULL,"
       u"Identify varchar, Power int default 0);");
  std::vector<std::u16string> before = Contents(DbPath());
  ASSERT_EQ(CreateUserDatabase(), 1);
  EXPECT_EQ(Contents(bak), before);
  EXPECT_EQ(Rows(TB_USER_INFO), std::vector<Row>{kAdmin});
  EXPECT_EQ(Rows(TB_RECENT_LOGIN_USER), std::vector<Row>{kAdmin});
  EXPECT_TRUE(HasTable(TB_AUTO_LOGIN_USER));
  ASSERT_EQ(ui->boxes.size(), 1u);
  EXPECT_NE(ui->boxes[0].text.find(u"UserInfo.db.bak"), std::u16string::npos);

  // An ordinary account is kept; the administrator comes back beside it.
  Exec(u"DROP TABLE Tb_RecentLoginUser;");
  Exec(u"DELETE FROM Tb_UserInfo;");
  Exec(u"insert into Tb_UserInfo values('bob', 'secret', '1', 5);");
  ASSERT_EQ(CreateUserDatabase(), 1);
  EXPECT_EQ(Rows(TB_USER_INFO), (std::vector<Row>{{u"bob", u"(hash of secret)", u"1", 5}, kAdmin}))
      << "the password read back is stored as a hash";

  // Recent names of another shape cannot be read back; the accounts can.
  Exec(u"DROP TABLE Tb_RecentLoginUser;");
  Exec(u"CREATE TABLE Tb_RecentLoginUser (Name varchar);");
  Exec(u"insert into Tb_RecentLoginUser values('bob');");
  before = Contents(DbPath());
  ASSERT_EQ(CreateUserDatabase(), 1);
  EXPECT_EQ(Contents(bak), before);
  EXPECT_EQ(Rows(TB_USER_INFO), (std::vector<Row>{{u"bob", u"(hash of secret)", u"1", 5}, kAdmin}));
  EXPECT_TRUE(Rows(TB_RECENT_LOGIN_USER).empty());
  EXPECT_EQ(ui->boxes.size(), 3u);
}

// A database an older program wrote: every password as typed, and more copies in the space
// its changes freed (a row rewritten when its identity was set, an account deleted), since it
// knew no secure delete. The first start that opens it stores every password as a hash at
// once, so no account that nobody logs in to keeps its password readable, and no byte of any
// password, old or current, stays in the file. The accounts, the recent names in their order
// and the automatic login are as they were, every password still matches, and a second start
// leaves the file alone.
TEST_F(Users, PasswordsAnOlderProgramStoredAsTypedAreAllHashedAtTheFirstStart) {
  harness::ScopedScriptedUi ui;
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open16(ProgramDirPath(USER_DB_NAME).c_str(), &db), SQLITE_OK);
    for (const char* sql : {
             "PRAGMA secure_delete = OFF;",
             "CREATE TABLE Tb_UserInfo (Name varchar primary key,Password varchar NOT NULL,Identify varchar, Power int default 0);",
             "CREATE TABLE Tb_RecentLoginUser (Name varchar primary key,Password varchar NOT NULL,Identify varchar, Power int default 0);",
             "CREATE TABLE Tb_AutoLoginUser (Name varchar primary key,Password varchar NOT NULL,Identify varchar, Power int default 0);",
             "insert into Tb_UserInfo values('admin', '804261', '0', 0);",
             "insert into Tb_RecentLoginUser values('admin', '804261', '0', 0);",
             "update Tb_UserInfo set Power = 63 where Name = 'admin';",
             "update Tb_RecentLoginUser set Power = 63 where Name = 'admin';",
             "insert into Tb_UserInfo select 'temp' || n, 'temppass' || n, '1', 0 from (with recursive "
             "c(n) as (select 100 union all select n + 1 from c where n < 399) select n from c);",
             "delete from Tb_UserInfo where Name like 'temp%';",
             "insert into Tb_UserInfo values('ann', 'annpass1', '0', 0);",
             "insert into Tb_UserInfo values('carl', 'carlpass', '1', 0);",
             "insert into Tb_UserInfo values('bob', 'bobpass1', '1', 0);",
             "update Tb_UserInfo set Identify = '1', Power = 3 where Name = 'ann';",
             "update Tb_UserInfo set Power = 5 where Name = 'bob';",
             "delete from Tb_UserInfo where Name = 'carl';",
             "insert into Tb_RecentLoginUser values('ann', '', '1', 0);",
             "insert into Tb_AutoLoginUser values('ann', '', '1', 0);"})
      ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
  }
  // As the older program leaves it: the administrator's in two tables, a copy of ann's in
  // freed space beside the row, the deleted accounts' still there, the many in free pages.
  ASSERT_GE(CopiesInFile(u"804261"), 2u);
  ASSERT_GE(CopiesInFile(u"annpass1"), 2u);
  ASSERT_GE(CopiesInFile(u"carlpass"), 1u);
  ASSERT_GT(CopiesInFile(u"temppass"), 250u);

  ASSERT_EQ(CreateUserDatabase(), 1);
  EXPECT_TRUE(ui->boxes.empty()) << "nothing to tell: the file is whole";
  known = {{ADMIN_NAME, ADMIN_PASSWORD}, {u"ann", u"annpass1"}, {u"bob", u"bobpass1"}};
  for (const char16_t* password : {u"804261", u"annpass1", u"bobpass1", u"carlpass", u"temppass"})
    EXPECT_FALSE(FileHolds(password)) << plat::utf16ToUtf8(password);
  EXPECT_EQ(Rows(TB_USER_INFO), (std::vector<Row>{kAdmin, {u"ann", u"(hash of annpass1)", u"1", 3},
                                                  {u"bob", u"(hash of bobpass1)", u"1", 5}}));
  EXPECT_EQ(Rows(TB_RECENT_LOGIN_USER), (std::vector<Row>{kAdmin, {u"ann", u"", u"1", 0}}));
  EXPECT_EQ(Rows(TB_AUTO_LOGIN_USER), (std::vector<Row>{{u"ann", u"", u"1", 0}}));

  const std::string before = ReadFile(DbPath());
  ASSERT_EQ(CreateUserDatabase(), 1);
  EXPECT_EQ(ReadFile(DbPath()), before) << "nothing left to change";
}

namespace {

// Writes UserInfo.db as an older program may have: `schema` for each of the three tables, the
// passwords as typed, and copies of them in the free space its changes left.
void WriteOlderUserFile(const std::string& path, const char* columns) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::vector<std::string> sql = {"PRAGMA secure_delete = OFF;"};
  for (const char* table : {"Tb_UserInfo", "Tb_RecentLoginUser", "Tb_AutoLoginUser"})
    sql.push_back(std::string("CREATE TABLE ") + table + " (" + columns + ");");
  for (const char* row : {"('admin', '804261', '0')", "('ann', 'annpass1', '1')", "('bob', 'bobpass1', '1')"})
    sql.push_back(std::string("insert into Tb_UserInfo (Name, Password, Identify) values ") + row + ";");
  sql.push_back("insert into Tb_RecentLoginUser (Name, Password, Identify) values ('admin', '804261', '0');");
  sql.push_back("insert into Tb_RecentLoginUser (Name, Password, Identify) values ('ann', 'annpass1', '1');");
  sql.push_back("insert into Tb_AutoLoginUser (Name, Password, Identify) values ('ann', 'annpass1', '1');");
  sql.push_back("update Tb_UserInfo set Identify = '0' where Name = 'ann';");
  for (const std::string& s : sql)
    ASSERT_EQ(sqlite3_exec(db, s.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << s;
  sqlite3_close(db);
}

}  // namespace

// An older file the program takes for damaged (its tables lack the Power column, or a page of
// it is broken) is kept aside as UserInfo.db.bak, but not with its passwords as typed: after
// the start no file in the folder holds one, in either encoding, anywhere in its bytes; the copy
// is its user's alone and still has the accounts (their passwords hashed and matching). The
// user is told the plain notice; a copy whose broken page keeps it from being rebuilt without
// its free space may still hold some there, and the box says so. A later start leaves both
// files alone.
TEST_F(Users, ACopyKeptAsideHoldsNoPasswordAsTyped) {
  const std::string bak = DbPath() + ".bak";
  const char* const older = "Name varchar primary key,Password varchar NOT NULL,Identify varchar";
  const char* const current = "Name varchar primary key,Password varchar NOT NULL,Identify varchar, Power int default 0";
  for (const bool brokenPage : {false, true}) {
    SCOPED_TRACE(brokenPage ? "a broken index page" : "no Power column");
    harness::ScopedScriptedUi ui;
    fs::remove(DbPath());
    fs::remove(bak);
    WriteOlderUserFile(DbPath(), brokenPage ? current : older);
    if (brokenPage) {
      // The account table's index, a page of its own, made no page of any kind.
      CppSQLite3DB db;
      db.Open(ProgramDirPath(USER_DB_NAME));
      const int64_t page = db.ExecuteScalar(u"select rootpage from sqlite_master where type = 'index' and tbl_name = 'Tb_UserInfo';");
      db.Close();
      ASSERT_GT(page, 1);
      std::string bytes = ReadFile(DbPath());
      bytes[static_cast<size_t>(page - 1) * 4096] = '\x00';
      WriteFile(DbPath(), bytes);
    }
    fs::permissions(DbPath(), fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    ASSERT_NE(ReadFile(DbPath()).find("annpass1"), std::string::npos);

    ASSERT_EQ(CreateUserDatabase(), 1);
    ASSERT_EQ(ui->boxes.size(), 1u);
    EXPECT_EQ(ui->boxes[0].text, DamagedFileText(brokenPage ? 8996 : 8991, USER_DB_NAME));
    ASSERT_TRUE(fs::is_regular_file(bak));
    EXPECT_EQ(fs::status(bak).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    for (const auto& entry : fs::recursive_directory_iterator(home_)) {
      const std::string bytes = ReadFile(entry.path().string());
      for (const char16_t* password : {u"804261", u"annpass1", u"bobpass1"}) {
        const std::u16string p(password);
        EXPECT_EQ(bytes.find(plat::utf16ToUtf8(p)), std::string::npos) << entry.path() << " " << plat::utf16ToUtf8(p);
        EXPECT_EQ(bytes.find(std::string(reinterpret_cast<const char*>(p.data()), p.size() * 2)), std::string::npos)
            << entry.path();
      }
    }
    {
      // The copy still is the older file, its accounts there, their passwords as hashes.
      CppSQLite3DB db;
      db.Open(plat::utf8ToUtf16(bak));
      // Read past the index, which may be the broken page.
      EXPECT_EQ(db.ExecuteScalar(u"select count(*) from Tb_UserInfo not indexed;"), 3);
      for (const char16_t* table : {TB_USER_INFO, TB_RECENT_LOGIN_USER, TB_AUTO_LOGIN_USER}) {
        auto q = db.Query(u"select Password from " + QuoteIdentifier(table) + u" not indexed where Name = 'ann';");
        ASSERT_FALSE(q.Eof());
        EXPECT_EQ(MatchPassword(q.FieldText(0), u"annpass1"), PasswordMatch::Yes);
      }
    }
    known = {{ADMIN_NAME, ADMIN_PASSWORD}, {u"ann", u"annpass1"}, {u"bob", u"bobpass1"}};
    EXPECT_EQ(Rows(TB_USER_INFO), (std::vector<Row>{{u"admin", kHashedAdminPassword, u"0", 0},
                                                    {u"ann", u"(hash of annpass1)", u"0", 0},
                                                    {u"bob", u"(hash of bobpass1)", u"1", 0}}));

    const std::string file = ReadFile(DbPath()), copy = ReadFile(bak);
    ASSERT_EQ(CreateUserDatabase(), 1);
    EXPECT_EQ(ReadFile(DbPath()), file);
    EXPECT_EQ(ReadFile(bak), copy);
    EXPECT_EQ(ui->boxes.size(), 1u);
  }
}

// A copy an older version kept aside with the passwords as typed is hashed at the next start,
// though the file itself is whole and nothing is said.
TEST_F(Users, ACopyAnOlderVersionKeptAsideIsHashedAtTheNextStart) {
  harness::ScopedScriptedUi ui;
  const std::string bak = DbPath() + ".bak";
  WriteOlderUserFile(bak, "Name varchar primary key,Password varchar NOT NULL,Identify varchar");
  ASSERT_NE(ReadFile(bak).find("bobpass1"), std::string::npos);
  ASSERT_EQ(CreateUserDatabase(), 1);
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_EQ(ReadFile(bak).find("bobpass1"), std::string::npos);
  EXPECT_EQ(ReadFile(bak).find("804261"), std::string::npos);
  CppSQLite3DB db;
  db.Open(plat::utf8ToUtf16(bak));
  std::u16string password, identity;
  ASSERT_EQ(SelectUserByName(db, TB_USER_INFO, u"bob", password, identity), 1);
  EXPECT_EQ(MatchPassword(password, u"bobpass1"), PasswordMatch::Yes);
}

namespace {

// A user file as an earlier version of this program may have left it: every row holds a hash,
// but the passwords as once typed are still in its free space (stored as typed once, hashed
// later without secure delete, and accounts deleted).
void WriteHashedFileWithTypedPasswordsInFreeSpace(const std::string& path) {
  CppSQLite3DB db;
  db.Open(plat::utf8ToUtf16(path));
  db.Execute(u"PRAGMA secure_delete = OFF;");
  for (const char16_t* table : {TB_USER_INFO, TB_RECENT_LOGIN_USER, TB_AUTO_LOGIN_USER})
    ASSERT_EQ(CreateUserTable(db, table), 1);
  const std::pair<const char16_t*, const char16_t*> accounts[] = {
      {u"admin", u"804261"}, {u"ann", u"annpass1"}, {u"bob", u"bobpass1"}};
  for (const auto& [name, password] : accounts)
    db.Execute(u"insert into Tb_UserInfo values(?, ?, '1', 0);", {std::u16string(name), std::u16string(password)});
  db.Execute(u"insert into Tb_RecentLoginUser values('admin', '804261', '0', 63);");
  db.Execute(u"insert into Tb_UserInfo select 'temp' || n, 'temppass' || n, '1', 0 from (with recursive "
             u"c(n) as (select 100 union all select n + 1 from c where n < 399) select n from c);");
  db.Execute(u"delete from Tb_UserInfo where Name like 'temp%';");
  for (const auto& [name, password] : accounts)
    db.Execute(u"update Tb_UserInfo set Password = ?, Identify = ? where Name = ?;",
               {HashPassword(password), std::u16string(name) == ADMIN_NAME ? u"0" : u"1", std::u16string(name)});
  db.Execute(u"update Tb_RecentLoginUser set Password = ?;", {HashPassword(ADMIN_PASSWORD)});
}

}  // namespace

// Rows that all hold hashes do not make a file safe: passwords as once typed may still lie in
// its free space, and in that of the copy kept aside. The first start rebuilds both without
// it: afterwards no file of the data folder holds a password as typed, in either encoding, and
// every account still logs in with its password. Done once: a later start leaves both files
// as they are.
TEST_F(Users, PasswordsAsTypedLeftInTheFreeSpaceOfHashedFilesAreGoneAfterTheFirstStart) {
  harness::ScopedScriptedUi ui;
  const std::string bak = DbPath() + ".bak";
  WriteHashedFileWithTypedPasswordsInFreeSpace(DbPath());
  WriteHashedFileWithTypedPasswordsInFreeSpace(bak);
  known = {{ADMIN_NAME, ADMIN_PASSWORD}, {u"ann", u"annpass1"}, {u"bob", u"bobpass1"}};
  const std::u16string typed[] = {u"804261", u"annpass1", u"bobpass1", u"temppass250"};
  auto holders = [&] {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(home_)) {
      const std::string bytes = ReadFile(entry.path().string());
      for (const std::u16string& p : typed)
        if (bytes.find(plat::utf16ToUtf8(p)) != std::string::npos ||
            bytes.find(std::string(reinterpret_cast<const char*>(p.data()), p.size() * 2)) != std::string::npos)
          found.push_back(entry.path().filename().string() + " " + plat::utf16ToUtf8(p));
    }
    return found;
  };
  ASSERT_EQ(holders().size(), 2 * std::size(typed)) << "planted in the free space of both";
  EXPECT_EQ(Rows(TB_USER_INFO), (std::vector<Row>{{u"admin", kHashedAdminPassword, u"0", 0},
                                                  {u"ann", u"(hash of annpass1)", u"1", 0},
                                                  {u"bob", u"(hash of bobpass1)", u"1", 0}}));

  ASSERT_EQ(CreateUserDatabase(), 1);
  EXPECT_TRUE(ui->boxes.empty()) << "both files are whole: nothing to tell";
  EXPECT_EQ(holders(), std::vector<std::string>{});
  EXPECT_EQ(Rows(TB_USER_INFO), (std::vector<Row>{{u"admin", kHashedAdminPassword, u"0", 0},
                                                  {u"ann", u"(hash of annpass1)", u"1", 0},
                                                  {u"bob", u"(hash of bobpass1)", u"1", 0}}));
  {
    CppSQLite3DB copy;
    copy.Open(plat::utf8ToUtf16(bak));
    std::u16string password, identity;
    ASSERT_EQ(SelectUserByName(copy, TB_USER_INFO, u"ann", password, identity), 1);
    EXPECT_EQ(MatchPassword(password, u"annpass1"), PasswordMatch::Yes);
  }

  const std::string file = ReadFile(DbPath()), copy = ReadFile(bak);
  ASSERT_EQ(CreateUserDatabase(), 1);
  EXPECT_EQ(ReadFile(DbPath()), file) << "rebuilt once";
  EXPECT_EQ(ReadFile(bak), copy) << "rebuilt once";
}

TEST_F(Users, UnopenableDatabaseAnswersZero) {
  harness::ScopedScriptedUi ui;
  setenv("TARNWICK_HOME", (home_ / "missing" / "folder").c_str(), 1);
  EXPECT_EQ(CreateUserDatabase(), 0);
  EXPECT_EQ(ui->boxes.size(), 1u) << "the user is told";
  std::u16string name = u"keep", identity = u"keep";
  EXPECT_EQ(CheckAutoLogin(name, identity), 0);
  EXPECT_EQ(name, u"keep");
  int power = -1;
  EXPECT_EQ(GetUserPower(TB_USER_INFO, u"admin", power), 0);
  EXPECT_EQ(power, -1);
}

TEST_F(Users, NamesAreStoredAndMatchedExactlyAsTyped) {
  ASSERT_EQ(CreateUserDatabase(), 1);
  CppSQLite3DB db;
  ASSERT_EQ(OpenDatabaseInProgramDir(db, USER_DB_NAME), 1);
  const std::u16string names[] = {u"O'Brien", u"张三", u"x'); DROP TABLE Tb_UserInfo;--",
                                  u"\"quoted\" name", u"a%b_c"};
  for (const auto& n : names) {
    std::u16string identity = u"普通用户";
    ASSERT_EQ(InsertUserRow(db, TB_USER_INFO, n, n + u"'pw", identity), 1);
    EXPECT_EQ(identity, u"1");  // turned into its code in place
  }
  EXPECT_TRUE(db.TableExists(TB_USER_INFO));
  for (const auto& n : names) {
    EXPECT_EQ(UserExists(db, TB_USER_INFO, n), 1);
    std::u16string password, identity;
    ASSERT_EQ(SelectUserByName(db, TB_USER_INFO, n, password, identity), 1);
    EXPECT_EQ(password, n + u"'pw");
    EXPECT_EQ(identity, u"普通用户");
  }
  // A pattern character matches only itself.
  EXPECT_EQ(UserExists(db, TB_USER_INFO, u"aXb_c"), 0);

  std::u16string identity = u"管理员";
  EXPECT_EQ(UpdateUserRow(db, TB_USER_INFO, u"O'Brien", u"new'pw", identity), 1);
  EXPECT_EQ(identity, u"0");
  EXPECT_EQ(UpdateUserPower(db, TB_USER_INFO, u"O'Brien", 12), 1);
  EXPECT_EQ(DeleteUserRow(db, TB_USER_INFO, u"张三"), 1);
  EXPECT_EQ(UserExists(db, TB_USER_INFO, u"张三"), 0);
  db.Close();

  auto rows = Rows(TB_USER_INFO);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[1], (Row{u"O'Brien", u"new'pw", u"0", 12}));
}

TEST_F(Users, DuplicateInsertIsRefused) {
  ASSERT_EQ(CreateUserDatabase(), 1);
  CppSQLite3DB db;
  ASSERT_EQ(OpenDatabaseInProgramDir(db, USER_DB_NAME), 1);
  std::u16string identity = u"普通用户";
  EXPECT_EQ(InsertUserRow(db, TB_USER_INFO, u"admin", u"other", identity), 0);
  db.Close();
  EXPECT_EQ(Rows(TB_USER_INFO), std::vector<Row>{kAdmin});
}

TEST_F(Users, ReadingFunctionsLeaveOutputsWhenNothingIsFound) {
  ASSERT_EQ(CreateUserDatabase(), 1);
  CppSQLite3DB db;
  ASSERT_EQ(OpenDatabaseInProgramDir(db, USER_DB_NAME), 1);
  std::u16string password = u"p", identity = u"i", name = u"n";
  EXPECT_EQ(SelectUserByName(db, TB_USER_INFO, u"nobody", password, identity), 0);
  EXPECT_EQ(SelectFirstUserName(db, TB_AUTO_LOGIN_USER, name), 0);
  EXPECT_EQ(password + identity + name, u"pin");
  EXPECT_EQ(SelectFirstUserName(db, TB_USER_INFO, name), 1);
  EXPECT_EQ(name, u"admin");
  // A table that is not there is a failure, not an empty answer.
  EXPECT_EQ(UserExists(db, u"Tb_Missing", u"admin"), 0);
  EXPECT_EQ(CreateUserTable(db, TB_USER_INFO), 0);  // already there
}

TEST_F(Users, IdentityCodesDoNotDependOnTheLanguage) {
  std::u16string t = u"管理员";
  IdentityToCode(t);
  EXPECT_EQ(t, u"0");
  t = u"0";  // only the administrator's word is the administrator's, not a code
  IdentityToCode(t);
  EXPECT_EQ(t, u"1");
  t = u"anything";
  IdentityToCode(t);
  EXPECT_EQ(t, u"1");
  t = u"";
  IdentityToCode(t);
  EXPECT_EQ(t, u"1");

  // Stored while Chinese was chosen, read while English is.
  ASSERT_EQ(CreateUserDatabase(), 1);
  SetLanguageLookupForTest(englishLookup);
  CppSQLite3DB db;
  ASSERT_EQ(OpenDatabaseInProgramDir(db, USER_DB_NAME), 1);
  std::u16string password, identity;
  ASSERT_EQ(SelectUserByName(db, TB_USER_INFO, u"admin", password, identity), 1);
  EXPECT_EQ(identity, u"Administrator");
  CUser::GetInstance()->SetIdentify(identity);
  EXPECT_TRUE(CUser::GetInstance()->IsAdmin());
  std::u16string userText = u"Ordinary user";
  ASSERT_EQ(InsertUserRow(db, TB_USER_INFO, u"eve", u"pw", userText), 1);
  t = u"1";
  CodeToIdentity(t);
  EXPECT_EQ(t, u"Ordinary user");
}

TEST_F(Users, AutomaticLogin) {
  ASSERT_EQ(CreateUserDatabase(), 1);
  std::u16string name, identity;
  EXPECT_EQ(CheckAutoLogin(name, identity), 0);  // nobody chosen

  CppSQLite3DB db;
  ASSERT_EQ(OpenDatabaseInProgramDir(db, USER_DB_NAME), 1);
  std::u16string none;
  ASSERT_EQ(InsertUserRow(db, TB_AUTO_LOGIN_USER, u"admin", u"", none), 1);
  EXPECT_EQ(none, u"1");
  db.Close();
  ASSERT_EQ(CheckAutoLogin(name, identity), 1);
  EXPECT_EQ(name, u"admin");
  EXPECT_EQ(identity, u"管理员");

  // The chosen account has been deleted: no automatic login.
  Exec(u"delete from Tb_UserInfo where Name = 'admin';");
  name = identity = u"";
  EXPECT_EQ(CheckAutoLogin(name, identity), 0);
  EXPECT_EQ(name, u"");
}

TEST_F(Users, RightsWordsAndWholeRowQueries) {
  ASSERT_EQ(CreateUserDatabase(), 1);
  int power = 0;
  ASSERT_EQ(GetUserPower(TB_USER_INFO, u"admin", power), 1);
  EXPECT_EQ(power, 63);
  ASSERT_EQ(SetUserPower(TB_USER_INFO, u"admin", 21), 1);
  ASSERT_EQ(GetUserPower(TB_USER_INFO, u"admin", power), 1);
  EXPECT_EQ(power, 21);
  power = 7;
  EXPECT_EQ(GetUserPower(TB_USER_INFO, u"ghost", power), 0);
  EXPECT_EQ(power, 7);

  CppSQLite3Query row;
  ASSERT_EQ(QueryUser(TB_USER_INFO, u"admin", row), 1);  // a cursor on the row, the database closed
  ASSERT_FALSE(row.Eof());
  EXPECT_EQ(std::u16string(row.FieldText(0)), u"admin");
  EXPECT_EQ(MatchPassword(row.FieldText(1), ADMIN_PASSWORD), PasswordMatch::Yes);
  EXPECT_EQ(std::u16string(row.FieldText(2)), u"0");
  EXPECT_EQ(std::u16string(row.FieldText(3)), u"21");
  row.NextRow();
  EXPECT_TRUE(row.Eof());
  EXPECT_EQ(QueryUser(TB_USER_INFO, u"ghost", row), 0);
}

TEST_F(Users, CurrentUserRights) {
  CUser* u = CUser::GetInstance();
  EXPECT_EQ(u, CUser::GetInstance());
  EXPECT_FALSE(u->IsAdmin());
  EXPECT_EQ(u->GetName(), u"");
  const int bits[] = {RIGHT_PTZ, RIGHT_VIDEO_ADJUST, RIGHT_REMOTE_PLAYBACK,
                      RIGHT_LOCAL_RECORD, RIGHT_VOICE_TALK, RIGHT_REMOTE_CONFIG};
  for (int b : bits) EXPECT_FALSE(u->HasRight(b)) << b;
  for (int held : bits) {
    u->SetPower(held);
    for (int b : bits) EXPECT_EQ(u->HasRight(b), b == held) << held << " " << b;
  }
  u->SetPower(31);
  EXPECT_FALSE(u->HasRight(RIGHT_REMOTE_CONFIG));
  u->SetPower(63);
  EXPECT_TRUE(u->HasRight(RIGHT_REMOTE_CONFIG));

  int word = 0;
  EXPECT_EQ(CUser::AddRight(word, RIGHT_PTZ), 1);
  EXPECT_EQ(CUser::AddRight(word, RIGHT_VOICE_TALK), 17);
  EXPECT_EQ(word, 17);

  u->SetIdentify(u"管理员");
  EXPECT_TRUE(u->IsAdmin());
  u->SetIdentify(u"普通用户");
  EXPECT_FALSE(u->IsAdmin());
  u->SetIdentify(u"0");  // a stored code is no identity text
  EXPECT_FALSE(u->IsAdmin());

  u->SetName(u"张三");
  harness::ResetServices();
  EXPECT_EQ(CUser::GetInstance()->GetName(), u"");  // a fresh user after shut-down
  EXPECT_EQ(RightRefusalStringId(RIGHT_VOICE_TALK), 8611u);
  EXPECT_EQ(RightRefusalStringId(RIGHT_REMOTE_CONFIG), 8613u);
  EXPECT_EQ(RightRefusalStringId(3), 0u);
}
