#include "shell/CppSQLite3.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>

#include "plat/clock.h"
#include "plat/log.h"
#include "plat/text.h"

namespace {

constexpr int kMaxSchemaRetries = 3;

[[noreturn]] void Throw(int code, const char* reason) {
  throw CppSQLite3Exception(code, reason, false);
}

[[noreturn]] void ThrowFromDb(sqlite3* db, int code) {
  throw CppSQLite3Exception(code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code), false);
}

void Bind(sqlite3* db, sqlite3_stmt* stmt, const SqlParams& params) {
  int count = sqlite3_bind_parameter_count(stmt);
  if (static_cast<int>(params.size()) != count) {
    sqlite3_finalize(stmt);
    Throw(SQLITE_RANGE, "parameter count does not match the statement");
  }
  for (int i = 0; i < count; ++i) {
    const SqlValue& v = params[static_cast<size_t>(i)];
    int rc;
    if (std::holds_alternative<int64_t>(v))
      rc = sqlite3_bind_int64(stmt, i + 1, std::get<int64_t>(v));
    else if (std::holds_alternative<double>(v))
      rc = sqlite3_bind_double(stmt, i + 1, std::get<double>(v));
    else if (std::holds_alternative<std::u16string>(v)) {
      const auto& s = std::get<std::u16string>(v);
      rc = sqlite3_bind_text16(stmt, i + 1, s.data(), static_cast<int>(s.size() * 2),
                               SQLITE_TRANSIENT);
    } else
      rc = sqlite3_bind_null(stmt, i + 1);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      ThrowFromDb(db, rc);
    }
  }
}

// UTF-8 as SQLite delivers it into `out`, which keeps its storage: a cell no longer than it
// costs no allocation. A byte that starts no valid sequence reads as U+FFFD.
void Utf8ToField(const std::string& in, std::u16string& out) {
  out.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  const auto* end = p + in.size();
  while (p < end) {
    char32_t c = *p++;
    int more = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (more > 0) {
      c &= 0x3F >> more;
      for (int i = 0; i < more; ++i) {
        if (p == end || (*p & 0xC0) != 0x80) {
          more = -1;
          break;
        }
        c = (c << 6) | (*p++ & 0x3F);
      }
    }
    if (more < 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
}

}  // namespace

// ---- exception ------------------------------------------------------------------------

CppSQLite3Exception::CppSQLite3Exception(int code, const char* message, bool ownsMessage)
    : code_(code), hasText_(true) {
  char text[64];
  std::snprintf(text, sizeof text, "%s[%d]", ErrorCodeAsString(code), code);
  text_ = plat::utf8ToUtf16(text);
  if (message) detail_ = message;
  if (ownsMessage && message) sqlite3_free(const_cast<char*>(message));
}

CppSQLite3Exception::CppSQLite3Exception(const CppSQLite3Exception& other)
    : code_(other.code_), hasText_(other.hasText_), text_(other.text_), detail_(other.detail_) {}

CppSQLite3Exception& CppSQLite3Exception::operator=(const CppSQLite3Exception& other) = default;

CppSQLite3Exception::~CppSQLite3Exception() = default;

const char* CppSQLite3Exception::ErrorCodeAsString(int code) {
  static const char* const names[] = {
      "SQLITE_OK",       "SQLITE_ERROR",     "SQLITE_INTERNAL", "SQLITE_PERM",
      "SQLITE_ABORT",    "SQLITE_BUSY",      "SQLITE_LOCKED",   "SQLITE_NOMEM",
      "SQLITE_READONLY", "SQLITE_INTERRUPT", "SQLITE_IOERR",    "SQLITE_CORRUPT",
      "SQLITE_NOTFOUND", "SQLITE_FULL",      "SQLITE_CANTOPEN", "SQLITE_PROTOCOL",
      "SQLITE_EMPTY",    "SQLITE_SCHEMA",    "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT",
      "SQLITE_MISMATCH", "SQLITE_MISUSE",    "SQLITE_NOLFS",    "SQLITE_AUTH",
      "SQLITE_FORMAT",   "SQLITE_RANGE"};
  if (code >= 0 && code <= 25) return names[code];
  if (code == 100) return "SQLITE_ROW";
  if (code == 101) return "SQLITE_DONE";
  if (code == CPPSQLITE_ERROR) return "CPPSQLITE_ERROR";
  return "UNKNOWN_ERROR";
}

// ---- cursor ---------------------------------------------------------------------------

CppSQLite3Query::CppSQLite3Query() = default;

CppSQLite3Query::CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool eof, bool owns)
    : db_(db), stmt_(stmt), eof_(eof), columns_(stmt ? sqlite3_column_count(stmt) : 0),
      owns_(owns) {}

CppSQLite3Query::CppSQLite3Query(CppSQLite3Query&& o) noexcept
    : db_(o.db_), stmt_(o.stmt_), eof_(o.eof_), columns_(o.columns_), owns_(o.owns_) {
  o.stmt_ = nullptr;
}

CppSQLite3Query& CppSQLite3Query::operator=(CppSQLite3Query&& o) noexcept {
  if (this == &o) return *this;
  try {
    Finalize();
  } catch (const CppSQLite3Exception&) {
  }
  db_ = o.db_;
  stmt_ = o.stmt_;
  eof_ = o.eof_;
  columns_ = o.columns_;
  owns_ = o.owns_;
  o.stmt_ = nullptr;
  return *this;
}

CppSQLite3Query::~CppSQLite3Query() {
  try {
    Finalize();
  } catch (const CppSQLite3Exception&) {
  }
}

void CppSQLite3Query::CheckStmt() {
  if (!stmt_) Throw(CPPSQLITE_ERROR, "Null Virtual Machine pointer");
}

bool CppSQLite3Query::Eof() {
  CheckStmt();
  return eof_;
}

int CppSQLite3Query::FieldCount() {
  CheckStmt();
  return columns_;
}

const char16_t* CppSQLite3Query::FieldText(int column) {
  CheckStmt();
  if (column < 0 || column >= columns_) Throw(CPPSQLITE_ERROR, "Invalid field index requested");
  return static_cast<const char16_t*>(sqlite3_column_text16(stmt_, column));
}

int64_t CppSQLite3Query::FieldInt(int column) {
  CheckStmt();
  if (column < 0 || column >= columns_) Throw(CPPSQLITE_ERROR, "Invalid field index requested");
  return sqlite3_column_int64(stmt_, column);
}

void CppSQLite3Query::NextRow() {
  CheckStmt();
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_DONE) {
    eof_ = true;
  } else if (rc == SQLITE_ROW) {
    eof_ = false;
  } else {
    std::string msg = sqlite3_errmsg(db_);
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    throw CppSQLite3Exception(rc, msg.c_str(), false);
  }
}

void CppSQLite3Query::Finalize() {
  if (stmt_ && owns_) {
    int rc = sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    if (rc != SQLITE_OK) ThrowFromDb(db_, rc);
  }
  stmt_ = nullptr;
}

// ---- table ----------------------------------------------------------------------------

CppSQLite3Table::CppSQLite3Table() = default;

CppSQLite3Table::CppSQLite3Table(std::vector<std::string> cells, int columns, int rows)
    : present_(true), columns_(columns), rows_(rows), cells_(std::move(cells)) {
  field_.reserve(kFieldChars);
}

CppSQLite3Table::CppSQLite3Table(CppSQLite3Table&& o) noexcept
    : present_(o.present_), columns_(o.columns_), rows_(o.rows_), current_(o.current_),
      cells_(std::move(o.cells_)), field_(std::move(o.field_)) {
  o.present_ = false;
  o.cells_.clear();
}

CppSQLite3Table& CppSQLite3Table::operator=(CppSQLite3Table&& o) noexcept {
  if (this == &o) return *this;
  present_ = o.present_;
  columns_ = o.columns_;
  rows_ = o.rows_;
  current_ = o.current_;
  cells_ = std::move(o.cells_);
  field_ = std::move(o.field_);
  o.present_ = false;
  o.cells_.clear();
  return *this;
}

CppSQLite3Table::~CppSQLite3Table() = default;

void CppSQLite3Table::CheckResults() {
  if (!present_) Throw(CPPSQLITE_ERROR, "Null Results pointer");
}

int CppSQLite3Table::RowCount() {
  CheckResults();
  return rows_;
}

int CppSQLite3Table::FieldCount() {
  CheckResults();
  return columns_;
}

void CppSQLite3Table::SetRow(int row) {
  CheckResults();
  if (row < 0 || row >= rows_) Throw(CPPSQLITE_ERROR, "Invalid row index requested");
  current_ = row;
}

const char16_t* CppSQLite3Table::FieldText(int column) {
  CheckResults();
  if (column < 0 || column >= columns_) Throw(CPPSQLITE_ERROR, "Invalid field index requested");
  // A table without rows has no current row to read (its cells would lie past the results).
  if (rows_ == 0) Throw(CPPSQLITE_ERROR, "Invalid row index requested");
  Utf8ToField(cells_[static_cast<size_t>(current_) * static_cast<size_t>(columns_) +
                     static_cast<size_t>(column)],
              field_);
  return field_.c_str();
}

// ---- connection -----------------------------------------------------------------------

CppSQLite3DB::CppSQLite3DB() = default;

CppSQLite3DB::~CppSQLite3DB() { Close(); }

void CppSQLite3DB::Open(const std::u16string& path) {
  Close();
  int rc = sqlite3_open16(path.c_str(), &db_);
  if (rc != SQLITE_OK) {
    std::string msg = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
    throw CppSQLite3Exception(rc, msg.c_str(), false);
  }
  sqlite3_busy_timeout(db_, plat::scaled(busyTimeoutMs_));
}

void CppSQLite3DB::Close() {
  if (db_) {
    // A cursor handed out past the close (an account looked up by name) keeps its statement:
    // close_v2 ends the connection once that is finalized, where a plain close would fail and
    // leave the connection, and its file, open for the rest of the run.
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }
}

void CppSQLite3DB::SetBusyTimeout(int ms) {
  busyTimeoutMs_ = ms;
  if (db_) sqlite3_busy_timeout(db_, plat::scaled(ms));
}

void CppSQLite3DB::CheckOpen() {
  if (!db_) Throw(CPPSQLITE_ERROR, "Database not open");
}

sqlite3_stmt* CppSQLite3DB::Prepare(const std::u16string& sql, const SqlParams& params) {
  CheckOpen();
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare16_v2(db_, sql.c_str(), -1, &stmt, nullptr);
  if (rc != SQLITE_OK) ThrowFromDb(db_, rc);
  if (!stmt) Throw(CPPSQLITE_ERROR, "empty statement");
  Bind(db_, stmt, params);
  return stmt;
}

int CppSQLite3DB::Execute(const std::u16string& sql, const SqlParams& params) {
  CheckOpen();
  for (int attempt = 0;; ++attempt) {
    sqlite3_stmt* stmt = Prepare(sql, params);
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE || rc == SQLITE_ROW) {
      int frc = sqlite3_finalize(stmt);
      if (frc != SQLITE_OK) ThrowFromDb(db_, frc);
      return frc;
    }
    std::string msg = sqlite3_errmsg(db_);
    sqlite3_finalize(stmt);
    if (rc == SQLITE_SCHEMA && attempt + 1 < kMaxSchemaRetries) continue;
    throw CppSQLite3Exception(rc, msg.c_str(), false);
  }
}

CppSQLite3Query CppSQLite3DB::Query(const std::u16string& sql, const SqlParams& params) {
  CheckOpen();
  sqlite3_stmt* stmt = Prepare(sql, params);
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_DONE) return CppSQLite3Query(db_, stmt, true);
  if (rc == SQLITE_ROW) return CppSQLite3Query(db_, stmt, false);
  std::string msg = sqlite3_errmsg(db_);
  sqlite3_finalize(stmt);
  throw CppSQLite3Exception(rc, msg.c_str(), false);
}

int CppSQLite3DB::ExecuteScalar(const std::u16string& sql, const SqlParams& params) {
  CppSQLite3Query q = Query(sql, params);
  if (q.Eof() || q.FieldCount() < 1) Throw(CPPSQLITE_ERROR, "Invalid scalar query");
  const char16_t* t = q.FieldText(0);
  return t ? plat::textToInt(t) : 0;
}

bool CppSQLite3DB::TableExists(const std::u16string& table) {
  return ExecuteScalar(u"select count(*) from sqlite_master where type='table' and name=?",
                       {table}) > 0;
}

CppSQLite3Table CppSQLite3DB::QueryTable(const std::u16string& sql, const SqlParams& params) {
  CheckOpen();
  sqlite3_stmt* stmt = Prepare(sql, params);
  const int columns = sqlite3_column_count(stmt);
  std::vector<std::string> cells;
  int rows = 0;
  for (;;) {
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) {
      std::string msg = sqlite3_errmsg(db_);
      sqlite3_finalize(stmt);
      throw CppSQLite3Exception(rc, msg.c_str(), false);
    }
    // Kept as UTF-8, as the whole-result interface delivers cells; each read converts one.
    for (int c = 0; c < columns; ++c) {
      const unsigned char* t = sqlite3_column_text(stmt, c);
      int bytes = sqlite3_column_bytes(stmt, c);
      cells.emplace_back(t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(bytes))
                           : std::string());
    }
    ++rows;
  }
  sqlite3_finalize(stmt);
  return CppSQLite3Table(std::move(cells), columns, rows);
}

// ---- transaction ----------------------------------------------------------------------

CppSQLite3Transaction::CppSQLite3Transaction(CppSQLite3DB& db) : db_(db) {
  db_.Execute(u"BEGIN IMMEDIATE");
  open_ = true;
}

CppSQLite3Transaction::~CppSQLite3Transaction() {
  if (!open_) return;
  try {
    db_.Execute(u"ROLLBACK");
  } catch (const CppSQLite3Exception& e) {
    PLAT_LOGW("sqlite", "rollback failed: %s", e.Detail().c_str());
  }
}

void CppSQLite3Transaction::Commit() {
  db_.Execute(u"COMMIT");
  open_ = false;
}
