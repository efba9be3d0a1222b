#pragma once
// A small wrapper over SQLite's UTF-16 interface: a connection, a cursor over one statement,
// a whole-result table and the exception every failure is thrown as. Callers catch the
// exception, close their connection and report plain failure.
//
// Values reach SQL only through bound parameters (SqlValue); statements are compiled with
// the current compile interface, so a failing step reports its own error (a primary-key
// violation is SQLITE_CONSTRAINT, a busy database SQLITE_BUSY) and is thrown, never counted
// as success.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

constexpr int CPPSQLITE_ERROR = 1000;

class CppSQLite3Exception {
 public:
  // The text is "<code name>[<code>]"; the message is kept beside it for the log and, when
  // ownsMessage is set, released with sqlite3_free.
  CppSQLite3Exception(int code, const char* message, bool ownsMessage = false);
  CppSQLite3Exception(const CppSQLite3Exception& other);
  CppSQLite3Exception& operator=(const CppSQLite3Exception& other);
  virtual ~CppSQLite3Exception();

  int ErrorCode() const { return code_; }
  // Null when the exception carries no text (a copy of one without text).
  const char16_t* ErrorMessage() const { return hasText_ ? text_.c_str() : nullptr; }
  // SQLite's own message or the wrapper's reason ("Database not open" ...), for logs only.
  const std::string& Detail() const { return detail_; }

  static const char* ErrorCodeAsString(int code);

 private:
  int code_;
  bool hasText_ = false;
  std::u16string text_;
  std::string detail_;
};

// A value bound to a '?' parameter.
using SqlValue = std::variant<std::nullptr_t, int64_t, double, std::u16string>;
using SqlParams = std::vector<SqlValue>;

class CppSQLite3Query {
 public:
  CppSQLite3Query();
  CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool eof, bool owns = true);
  CppSQLite3Query(CppSQLite3Query&& other) noexcept;
  // Takes the other's statement; the other is left without one, so exactly one cursor
  // finalizes a statement.
  CppSQLite3Query& operator=(CppSQLite3Query&& other) noexcept;
  CppSQLite3Query(const CppSQLite3Query&) = delete;
  CppSQLite3Query& operator=(const CppSQLite3Query&) = delete;
  virtual ~CppSQLite3Query();

  bool Eof();
  int FieldCount();
  // The column of the current row; null for SQL NULL. Valid until the next step.
  const char16_t* FieldText(int column);
  int64_t FieldInt(int column);
  void NextRow();
  void Finalize();

 private:
  void CheckStmt();
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  bool eof_ = true;
  int columns_ = 0;
  bool owns_ = false;
};

class CppSQLite3Table {
 public:
  static constexpr size_t kFieldChars = 1024;

  CppSQLite3Table();
  // The cells row by row, as UTF-8 (SQL NULL as empty text).
  CppSQLite3Table(std::vector<std::string> cells, int columns, int rows);
  CppSQLite3Table(CppSQLite3Table&& other) noexcept;
  CppSQLite3Table& operator=(CppSQLite3Table&& other) noexcept;
  CppSQLite3Table(const CppSQLite3Table&) = delete;
  CppSQLite3Table& operator=(const CppSQLite3Table&) = delete;
  virtual ~CppSQLite3Table();

  int RowCount();
  int FieldCount();
  void SetRow(int row);
  // The cell of the current row (empty text for SQL NULL), converted into the table's one
  // buffer of kFieldChars characters: valid until the next read. Only a cell longer than the
  // buffer makes it grow.
  const char16_t* FieldText(int column);

 private:
  void CheckResults();
  bool present_ = false;
  int columns_ = 0;
  int rows_ = 0;
  int current_ = 0;
  std::vector<std::string> cells_;
  std::u16string field_;
};

class CppSQLite3DB {
 public:
  CppSQLite3DB();
  virtual ~CppSQLite3DB();
  CppSQLite3DB(const CppSQLite3DB&) = delete;
  CppSQLite3DB& operator=(const CppSQLite3DB&) = delete;

  // Opens (creating the file when missing) and applies the busy time-out (a product time,
  // scaled by the platform clock like every other wait).
  void Open(const std::u16string& path);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  void SetBusyTimeout(int milliseconds);

  // Runs one statement that returns no rows; returns the result of finalizing it (0). How
  // many rows it changed is sqlite3_changes of Handle().
  int Execute(const std::u16string& sql, const SqlParams& params = {});
  CppSQLite3Query Query(const std::u16string& sql, const SqlParams& params = {});
  // Column 0 of the first row as a decimal integer (non-numeric text gives 0).
  int ExecuteScalar(const std::u16string& sql, const SqlParams& params = {});
  bool TableExists(const std::u16string& table);
  CppSQLite3Table QueryTable(const std::u16string& sql, const SqlParams& params = {});

  sqlite3* Handle() const { return db_; }

 private:
  void CheckOpen();
  sqlite3_stmt* Prepare(const std::u16string& sql, const SqlParams& params);
  sqlite3* db_ = nullptr;
  int busyTimeoutMs_ = 60000;
};

// BEGIN IMMEDIATE on construction; Commit() makes the work durable; leaving the scope
// without Commit() rolls it back. Throws CppSQLite3Exception like the connection.
class CppSQLite3Transaction {
 public:
  explicit CppSQLite3Transaction(CppSQLite3DB& db);
  ~CppSQLite3Transaction();
  CppSQLite3Transaction(const CppSQLite3Transaction&) = delete;
  CppSQLite3Transaction& operator=(const CppSQLite3Transaction&) = delete;
  void Commit();

 private:
  CppSQLite3DB& db_;
  bool open_ = false;
};
