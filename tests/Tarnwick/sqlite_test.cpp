#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "plat/text.h"
#include "shell/CppSQLite3.h"
#include "shell/DbHelpers.h"
#include "support/TestFolder.h"

namespace fs = std::filesystem;

namespace {

struct SqliteTest : ::testing::Test {
  fs::path home;
  CppSQLite3DB db;
  void SetUp() override {
    home = testsupport::NewTestFolder();
    setenv("TARNWICK_HOME", home.c_str(), 1);
    ASSERT_EQ(OpenDatabaseInProgramDir(db, u"t.db"), 1);
    ASSERT_EQ(ExecuteSql(db, u"CREATE TABLE Tb_T (Name TEXT PRIMARY KEY, Port INTEGER)"), 1);
  }
  void TearDown() override {
    db.Close();
    unsetenv("TARNWICK_HOME");
    fs::remove_all(home);
  }
  int codeOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const CppSQLite3Exception& e) {
      return e.ErrorCode();
    }
    return 0;
  }
};

TEST(SqliteException, TextNamesTheCode) {
  auto text = [](int code) {
    return plat::utf16ToUtf8(CppSQLite3Exception(code, "detail").ErrorMessage());
  };
  EXPECT_EQ(text(19), "SQLITE_CONSTRAINT[19]");
  EXPECT_EQ(text(25), "SQLITE_RANGE[25]");
  EXPECT_EQ(text(26), "UNKNOWN_ERROR[26]");
  EXPECT_EQ(text(-3), "UNKNOWN_ERROR[-3]");
  EXPECT_EQ(text(101), "SQLITE_DONE[101]");
  EXPECT_EQ(text(1000), "CPPSQLITE_ERROR[1000]");
  CppSQLite3Exception e(5, "busy");
  CppSQLite3Exception copy(e);
  EXPECT_EQ(copy.ErrorCode(), 5);
  EXPECT_EQ(copy.Detail(), "busy");
  EXPECT_EQ(std::u16string(copy.ErrorMessage()), u"SQLITE_BUSY[5]");

  char* msg = sqlite3_mprintf("owned %d", 1);
  CppSQLite3Exception owned(1, msg, true);  // ASan reports a leak if this is not freed
  EXPECT_EQ(owned.Detail(), "owned 1");
}

TEST_F(SqliteTest, ErrorsAreThrownWithTheirSpecificCodes) {
  EXPECT_EQ(codeOf([&] { db.Execute(u"CREAT TABLE x"); }), SQLITE_ERROR);
  EXPECT_EQ(ExecuteSql(db, u"CREAT TABLE x"), 0);
  EXPECT_EQ(codeOf([&] { db.Query(u"SELECT * FROM Missing"); }), SQLITE_ERROR);
  ASSERT_EQ(ExecuteSql(db, u"INSERT INTO Tb_T VALUES (?, ?)", {u"cam", int64_t{80}}), 1);
  // A statement that ran answers the result of finalizing it; how many rows it changed is
  // asked of the connection.
  EXPECT_EQ(db.Execute(u"UPDATE Tb_T SET Port = ? WHERE Name = ?", {int64_t{81}, u"cam"}), 0);
  EXPECT_EQ(ChangedRows(db), 1);
  EXPECT_EQ(db.Execute(u"UPDATE Tb_T SET Port = 80 WHERE Name = 'nobody'"), 0);
  EXPECT_EQ(ChangedRows(db), 0);
  // A primary-key violation is a failure, not a success.
  EXPECT_EQ(codeOf([&] { db.Execute(u"INSERT INTO Tb_T VALUES (?, ?)", {u"cam", int64_t{81}}); }),
            SQLITE_CONSTRAINT);
  EXPECT_EQ(ExecuteSql(db, u"INSERT INTO Tb_T VALUES (?, ?)", {u"cam", int64_t{81}}), 0);
  EXPECT_EQ(codeOf([&] { db.Execute(u"INSERT INTO Tb_T VALUES (?)", {u"only one"}); }),
            SQLITE_ERROR);  // wrong value count is caught when compiling
  EXPECT_EQ(codeOf([&] { db.Execute(u"INSERT INTO Tb_T VALUES (?, ?)", {u"x"}); }), SQLITE_RANGE);

  CppSQLite3DB closed;  // never opened: the wrapper's own error
  EXPECT_EQ(codeOf([&] { closed.Execute(u"SELECT 1"); }), 1000);
  EXPECT_EQ(codeOf([&] { closed.Query(u"SELECT 1"); }), 1000);
  EXPECT_EQ(codeOf([&] { closed.QueryTable(u"SELECT 1"); }), 1000);
  EXPECT_EQ(ExecuteSql(closed, u"SELECT 1"), 0);
}

TEST_F(SqliteTest, BusyIsReportedAsFailure) {
  CppSQLite3DB other;
  other.Open(ProgramDirPath(u"t.db"));
  other.SetBusyTimeout(20);
  db.Execute(u"BEGIN EXCLUSIVE");
  EXPECT_EQ(codeOf([&] { other.Execute(u"INSERT INTO Tb_T VALUES ('b', 1)"); }), SQLITE_BUSY);
  EXPECT_EQ(ExecuteSql(other, u"INSERT INTO Tb_T VALUES ('b', 1)"), 0);
  db.Execute(u"COMMIT");
  EXPECT_EQ(ExecuteSql(other, u"INSERT INTO Tb_T VALUES ('b', 1)"), 1);
}

TEST_F(SqliteTest, CursorOverEmptyAndFilledTables) {
  CppSQLite3Query q = db.Query(u"SELECT Name, Port FROM Tb_T");
  EXPECT_TRUE(q.Eof());
  EXPECT_EQ(q.FieldCount(), 2);

  const std::u16string tricky = u"O'Brien\"; DROP TABLE Tb_T; -- 摄像机";
  ASSERT_EQ(ExecuteSql(db, u"INSERT INTO Tb_T VALUES (?, ?)", {tricky, int64_t{554}}), 1);
  ASSERT_EQ(ExecuteSql(db, u"INSERT INTO Tb_T VALUES (?, NULL)", {u"b"}), 1);
  q = db.Query(u"SELECT Name, Port FROM Tb_T ORDER BY Port DESC");
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(std::u16string(q.FieldText(0)), tricky);
  EXPECT_EQ(std::u16string(q.FieldText(1)), u"554");
  EXPECT_EQ(codeOf([&] { q.FieldText(2); }), 1000);
  EXPECT_EQ(codeOf([&] { q.FieldText(-1); }), 1000);
  q.NextRow();
  EXPECT_EQ(q.FieldText(1), nullptr);  // SQL NULL
  q.NextRow();
  EXPECT_TRUE(q.Eof());
  EXPECT_TRUE(db.TableExists(u"Tb_T"));
  EXPECT_FALSE(db.TableExists(u"Tb_T' OR '1'='1"));
}

TEST_F(SqliteTest, AssignedCursorsFinalizeTheirStatementOnce) {
  ASSERT_EQ(ExecuteSql(db, u"INSERT INTO Tb_T VALUES ('a', 1)"), 1);
  {
    CppSQLite3Query a = db.Query(u"SELECT * FROM Tb_T");
    CppSQLite3Query b;
    b = std::move(a);
    EXPECT_EQ(codeOf([&] { a.Eof(); }), 1000);  // a has no statement any more
    EXPECT_FALSE(b.Eof());
    b = db.Query(u"SELECT Port FROM Tb_T");  // the first statement is finalized here
    EXPECT_EQ(b.FieldCount(), 1);
  }
  // No statement is left open: the table can be dropped and the connection closes cleanly.
  EXPECT_EQ(sqlite3_next_stmt(db.Handle(), nullptr), nullptr);
  EXPECT_EQ(DropTable(db, u"Tb_T"), 1);
  EXPECT_EQ(DropTable(db, u"Tb_T"), 0);
}

TEST_F(SqliteTest, TableReadsCellsAndChecksBounds) {
  CppSQLite3Table t;
  EXPECT_EQ(GetTableRowCount(t), 0);  // no result yet: the wrapper's error becomes 0
  EXPECT_EQ(codeOf([&] { t.SetRow(0); }), 1000);
  ASSERT_EQ(ExecuteSql(db, u"INSERT INTO Tb_T VALUES (?, ?)", {u"录像机", int64_t{8000}}), 1);
  ASSERT_EQ(GetTable(db, u"SELECT Name, Port FROM Tb_T WHERE Port > ?", t, {int64_t{1}}), 1);
  EXPECT_EQ(GetTableRowCount(t), 1);
  EXPECT_EQ(SetTableRow(t, 0), 1);
  EXPECT_EQ(std::u16string(t.FieldText(0)), u"录像机");
  EXPECT_EQ(std::u16string(t.FieldText(1)), u"8000");
  // Every read converts its cell into the table's one buffer: the text read before is gone.
  const char16_t* first = t.FieldText(0);
  EXPECT_EQ(t.FieldText(1), first);
  EXPECT_EQ(std::u16string(first), u"8000");
  EXPECT_EQ(SetTableRow(t, 1), 0);
  EXPECT_EQ(codeOf([&] { t.FieldText(2); }), 1000);
  // A cell longer than the buffer reads whole; characters beyond 16 bits as pairs.
  const std::u16string longName = std::u16string(CppSQLite3Table::kFieldChars + 10, u'摄') + u"\U0001F3A5";
  ASSERT_EQ(ExecuteSql(db, u"INSERT INTO Tb_T VALUES (?, 1)", {longName}), 1);
  ASSERT_EQ(GetTable(db, u"SELECT Name FROM Tb_T WHERE Port = 1", t), 1);
  ASSERT_EQ(SetTableRow(t, 0), 1);
  EXPECT_EQ(std::u16string(t.FieldText(0)), longName);
  // A table without rows has no cell to read (it would lie past the results).
  ASSERT_EQ(GetTable(db, u"SELECT Name FROM Tb_T WHERE 0", t), 1);
  EXPECT_EQ(GetTableRowCount(t), 0);
  EXPECT_EQ(codeOf([&] { t.FieldText(0); }), 1000);
  EXPECT_EQ(db.ExecuteScalar(u"SELECT count(*) FROM Tb_T"), 2);
  EXPECT_EQ(codeOf([&] { db.ExecuteScalar(u"SELECT * FROM Tb_T WHERE 0"); }), 1000);
}

TEST_F(SqliteTest, TransactionRollsBackAFailedRewrite) {
  ASSERT_EQ(ExecuteSql(db, u"INSERT INTO Tb_T VALUES ('keep', 1)"), 1);
  int r = RunInTransaction(db, [](CppSQLite3DB& d) {
    d.Execute(u"DELETE FROM Tb_T");
    d.Execute(u"INSERT INTO Tb_T VALUES ('new', 2)");
    d.Execute(u"INSERT INTO Tb_T VALUES ('new', 3)");  // violates the key: whole rewrite undone
    return true;
  });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(db.ExecuteScalar(u"SELECT count(*) FROM Tb_T WHERE Name='keep'"), 1);
  EXPECT_EQ(RunInTransaction(db, [](CppSQLite3DB& d) {
              d.Execute(u"INSERT INTO Tb_T VALUES ('new', 2)");
              return true;
            }),
            1);
  EXPECT_EQ(db.ExecuteScalar(u"SELECT count(*) FROM Tb_T"), 2);
}

// A cursor kept past its connection's close (the account lookup hands one out) reads on, and
// its connection ends with it. Closed otherwise, every such connection would stay open with
// its file for the rest of the run, until no file could be opened any more: here, with room
// for 16 more open files, 64 lookups leave every later open working.
TEST_F(SqliteTest, ACursorKeptPastTheCloseEndsItsConnectionWithIt) {
  ASSERT_EQ(ExecuteSql(db, u"INSERT INTO Tb_T VALUES ('cam', 80)"), 1);
  auto lookUp = [](CppSQLite3Query& cursor) {
    CppSQLite3DB other;
    if (!OpenDatabaseInProgramDir(other, u"t.db")) return false;
    cursor = other.Query(u"SELECT Port FROM Tb_T WHERE Name = ?", {u"cam"});
    CloseDatabase(other);
    return true;
  };
  int open = 0;
  for (const auto& e : fs::directory_iterator("/proc/self/fd")) open += e.exists() ? 1 : 0;
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
  rlimit tight = before;
  tight.rlim_cur = static_cast<rlim_t>(open + 16);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  int read = 0;
  for (int i = 0; i < 64; ++i) {
    CppSQLite3Query cursor;
    if (!lookUp(cursor)) break;
    read += std::u16string(cursor.FieldText(0)) == u"80";
  }
  CppSQLite3DB later;
  const int opened = OpenDatabaseInProgramDir(later, u"later.db");
  later.Close();
  setrlimit(RLIMIT_NOFILE, &before);
  EXPECT_EQ(read, 64);
  EXPECT_EQ(opened, 1);
}

TEST_F(SqliteTest, ProgramDirFilesAreFoundAndCreated) {
  EXPECT_EQ(FileExistsInProgramDir(u"t.db"), 1);
  EXPECT_EQ(FileExistsInProgramDir(u"none.db"), 0);
  CppSQLite3DB fresh;
  EXPECT_EQ(OpenDatabaseInProgramDir(fresh, u"new.db"), 1);
  EXPECT_TRUE(fs::exists(home / "new.db"));
  EXPECT_EQ(QuoteIdentifier(u"a\"b"), u"\"a\"\"b\"");
}

}  // namespace
