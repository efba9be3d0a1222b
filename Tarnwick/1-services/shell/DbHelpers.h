#pragma once
// Free helpers over the wrapper: place a database in the program folder, open it, run one
// statement or one table query with the wrapper's exception turned into 1 (success) or 0.
#include <functional>
#include <string>

#include "shell/CppSQLite3.h"

// The path of a file in the program's folder (see plat::programDir).
std::u16string ProgramDirPath(const std::u16string& fileName);

int FileExistsInProgramDir(const std::u16string& fileName);
int OpenDatabaseInProgramDir(CppSQLite3DB& db, const std::u16string& fileName);
int CloseDatabase(CppSQLite3DB& db);
int ExecuteSql(CppSQLite3DB& db, const std::u16string& sql, const SqlParams& params = {});
// Drops a table by name; the name is quoted as an identifier, never pasted as SQL.
int DropTable(CppSQLite3DB& db, const std::u16string& table);
int GetTable(CppSQLite3DB& db, const std::u16string& sql, CppSQLite3Table& table,
             const SqlParams& params = {});
int GetTableRowCount(CppSQLite3Table& table);
int SetTableRow(CppSQLite3Table& table, int row);
// How many rows the connection's last statement changed (CppSQLite3DB::Execute answers the
// result of finalizing it).
int ChangedRows(CppSQLite3DB& db);
// The column of the cursor's current row as text; empty for SQL NULL.
std::u16string FieldString(CppSQLite3Query& query, int column);

// Runs `work` inside one transaction; commits when it returns true, rolls back when it
// returns false or throws. 1 on commit, 0 otherwise (the failure is logged).
int RunInTransaction(CppSQLite3DB& db, const std::function<bool(CppSQLite3DB&)>& work);

// "name" with embedded quotes doubled: an identifier that is safe to put into SQL text.
std::u16string QuoteIdentifier(const std::u16string& name);
