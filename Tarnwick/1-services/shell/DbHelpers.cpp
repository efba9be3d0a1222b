#include "shell/DbHelpers.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include "plat/log.h"
#include "plat/paths.h"
#include "plat/text.h"

namespace {

int Fail(const char* what, const CppSQLite3Exception& e) {
  PLAT_LOGW("sqlite", "%s: %s %s", what, plat::utf16ToUtf8(e.ErrorMessage() ? e.ErrorMessage() : u"").c_str(),
            e.Detail().c_str());
  return 0;
}

}  // namespace

std::u16string ProgramDirPath(const std::u16string& fileName) {
  return plat::utf8ToUtf16(plat::inProgramDir(plat::utf16ToUtf8(fileName)));
}

int FileExistsInProgramDir(const std::u16string& fileName) {
  struct stat st{};
  std::string path = plat::inProgramDir(plat::utf16ToUtf8(fileName));
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? 1 : 0;
}

int OpenDatabaseInProgramDir(CppSQLite3DB& db, const std::u16string& fileName) {
  try {
    db.Open(ProgramDirPath(fileName));
    return 1;
  } catch (const CppSQLite3Exception& e) {
    return Fail("open", e);
  }
}

int CloseDatabase(CppSQLite3DB& db) {
  db.Close();
  return 1;
}

int ExecuteSql(CppSQLite3DB& db, const std::u16string& sql, const SqlParams& params) {
  try {
    db.Execute(sql, params);
    return 1;
  } catch (const CppSQLite3Exception& e) {
    return Fail("execute", e);
  }
}

int ChangedRows(CppSQLite3DB& db) { return db.Handle() ? sqlite3_changes(db.Handle()) : 0; }

std::u16string FieldString(CppSQLite3Query& query, int column) {
  const char16_t* text = query.FieldText(column);
  return text ? std::u16string(text) : std::u16string();
}

std::u16string QuoteIdentifier(const std::u16string& name) {
  std::u16string out = u"\"";
  for (char16_t c : name) {
    if (c == u'"') out += u'"';
    out += c;
  }
  out += u'"';
  return out;
}

int DropTable(CppSQLite3DB& db, const std::u16string& table) {
  return ExecuteSql(db, u"DROP TABLE " + QuoteIdentifier(table) + u";");
}

int GetTable(CppSQLite3DB& db, const std::u16string& sql, CppSQLite3Table& table,
             const SqlParams& params) {
  try {
    table = db.QueryTable(sql, params);
    return 1;
  } catch (const CppSQLite3Exception& e) {
    return Fail("query", e);
  }
}

int GetTableRowCount(CppSQLite3Table& table) {
  try {
    return table.RowCount();
  } catch (const CppSQLite3Exception&) {
    return 0;
  }
}

int SetTableRow(CppSQLite3Table& table, int row) {
  try {
    table.SetRow(row);
    return 1;
  } catch (const CppSQLite3Exception& e) {
    return Fail("row", e);
  }
}

int RunInTransaction(CppSQLite3DB& db, const std::function<bool(CppSQLite3DB&)>& work) {
  try {
    CppSQLite3Transaction tx(db);
    if (!work(db)) return 0;
    tx.Commit();
    return 1;
  } catch (const CppSQLite3Exception& e) {
    return Fail("transaction", e);
  }
}
