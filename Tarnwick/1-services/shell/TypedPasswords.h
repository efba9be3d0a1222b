#pragma once
// Passwords an older program stored in UserInfo.db as typed, replaced by their hashes at once
// rather than one by one at each account's next login: an account nobody logs in to would
// keep its password readable in the file for good.
#include <map>
#include <string>
#include <utility>

#include "shell/CppSQLite3.h"

// On a connection opened by OpenUserDatabase (secure_delete on). Every password that is no
// hash (any in the accounts; in the recent and automatic logins any but an empty one, the
// value their rows are written with) becomes its hash, in one transaction. A file not yet
// marked as cleared (MarkOldFreeSpaceCleared), or one holding a password as typed, is first
// rebuilt, also when all its rows hold hashes: copies an older write left in its free space
// do not outlive the start, and the file is marked so that happens once. A file this program
// just wrote whole (`fresh`, under secure_delete throughout) has no such copy. 1 when no
// password as typed is left in the rows (none was there, or all were replaced); 0 when the
// change failed, which then changed no password.
int HashPasswordsStoredAsTyped(CppSQLite3DB& db, bool fresh = false);

// Marks a file made by this program (under secure_delete from its first write) as holding no
// free space an older write left.
int MarkOldFreeSpaceCleared(CppSQLite3DB& db);

// The same for a copy of the file kept aside (UserInfo.db.bak), on a connection with
// secure_delete on: any schema an older program wrote (a table or column missing is passed
// over), and a copy too damaged for one transaction has its passwords hashed row by row; its
// free space is cleared by a rebuild once, as the file's is. True when the copy was read to
// its end, was rebuilt and holds no password as typed any more; false when one is left, the
// copy could not be read whole or not be rebuilt (then it may still hold some).
bool HashPasswordsInKeptCopy(CppSQLite3DB& db);

// The hashes of passwords found as typed: one per account and password, so that the rows of
// one account (its account and its recent login) carry the same hash.
class TypedPasswordHashes {
 public:
  // What to store for `password` of `name`: the password itself when it is a hash, or empty
  // in a login row (`loginRow`: the recent and automatic logins' rows are written with an
  // empty one), else its hash; empty when no hash could be made.
  std::u16string StoredForm(const std::u16string& name, const std::u16string& password, bool loginRow);

 private:
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> hashes_;
};
