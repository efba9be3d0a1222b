#pragma once
// Passwords an older program stored in UserInfo.db as typed, replaced by their hashes at once
// rather than one by one at each account's next login: an account nobody logs in to would
// keep its password readable in the file for good.
#include "shell/CppSQLite3.h"

// On a connection opened by OpenUserDatabase (secure_delete on). Every password that is no
// hash (any in the accounts; in the recent and automatic logins any but an empty one, the
// value their rows are written with) becomes its hash, in one transaction. An older file is
// first rebuilt, so no copy an older write left in its free space outlives the change; a file
// this program just wrote whole (`fresh`, under secure_delete throughout) has no such copy.
// 1 when no password as typed is left (none was there, or all were replaced); 0 when the
// change failed, which then changed no password.
int HashPasswordsStoredAsTyped(CppSQLite3DB& db, bool fresh = false);
