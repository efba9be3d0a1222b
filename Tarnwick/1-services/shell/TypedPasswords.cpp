#include "shell/TypedPasswords.h"

#include <string>
#include <vector>

#include "plat/log.h"
#include "plat/text.h"
#include "shell/DbHelpers.h"
#include "shell/PasswordHash.h"
#include "shell/UserTables.h"

namespace {

struct TypedPassword {
  const char16_t* table;
  std::u16string name, password;
};

bool SameColumn(const std::u16string& a, const char16_t* b) {
  const std::u16string other(b);
  if (a.size() != other.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
    if (lower(a[i]) != lower(other[i])) return false;
  }
  return true;
}

// Whether the table is there with the two columns read here: a file an older program wrote,
// kept aside, may lack either.
bool HasNameAndPassword(CppSQLite3DB& db, const char16_t* table) {
  if (!db.TableExists(table)) return false;
  bool name = false, password = false;
  auto q = db.Query(u"PRAGMA table_info(" + QuoteIdentifier(table) + u");");
  for (; !q.Eof(); q.NextRow()) {
    const std::u16string column = FieldString(q, 1);
    name = name || SameColumn(column, u"Name");
    password = password || SameColumn(column, u"Password");
  }
  return name && password;
}

// Throws when the file cannot be read to the end.
std::vector<TypedPassword> FindTypedPasswords(CppSQLite3DB& db) {
  std::vector<TypedPassword> found;
  for (const char16_t* table : {TB_USER_INFO, TB_RECENT_LOGIN_USER, TB_AUTO_LOGIN_USER}) {
    if (!HasNameAndPassword(db, table)) continue;
    const bool accounts = table == TB_USER_INFO;
    auto q = db.Query(u"select Name, Password from " + QuoteIdentifier(table) + u";");
    for (; !q.Eof(); q.NextRow()) {
      const char16_t* name = q.FieldText(0);
      const char16_t* password = q.FieldText(1);
      if (!name || !password || (!accounts && !*password) || IsPasswordHash(password)) continue;
      found.push_back({table, name, password});
    }
  }
  return found;
}

// Only over the value found: a change made meanwhile elsewhere stays. The table is walked, not
// its index on Name, which in a damaged copy may be what is damaged.
std::u16string UpdateStatement(const char16_t* table) {
  return u"update " + QuoteIdentifier(table) + u" not indexed set Password = ? where Name = ? and Password = ?;";
}

// The hashes of `typed`, made before any transaction, which then holds the file only for the
// writes. False when one could not be made (no memory).
bool MakeHashes(const std::vector<TypedPassword>& typed, TypedPasswordHashes& hashes) {
  for (const TypedPassword& t : typed)
    if (hashes.StoredForm(t.name, t.password, false).empty()) return false;
  return true;
}

// The mark of a file that holds no free space an older write left: rebuilt once, or made by
// this program, which writes it under secure_delete only.
constexpr int kOldFreeSpaceCleared = 1;

bool OldFreeSpaceCleared(CppSQLite3DB& db) {
  return db.ExecuteScalar(u"PRAGMA user_version;") == kOldFreeSpaceCleared;
}

// secure_delete clears only what is freed from now on: the copies an older write left in free
// space (a row rewritten when its rights were set, an account deleted, a password since
// hashed) go with a rebuild of the file, made in memory so no temporary file holds them
// either. That is done once a file: its mark says so. False when the rebuild failed (then the
// hashes are stored all the same, and the next start tries again).
bool RebuildWithoutFreeSpace(CppSQLite3DB& db, const char* which) {
  if (ExecuteSql(db, u"PRAGMA temp_store = MEMORY;") && ExecuteSql(db, u"VACUUM;")) return true;
  PLAT_LOGW("users", "%s could not be rebuilt; old free space may keep passwords as typed", which);
  return false;
}

int MarkCleared(CppSQLite3DB& db) {
  return ExecuteSql(db, u"PRAGMA user_version = " + plat::utf8ToUtf16(std::to_string(kOldFreeSpaceCleared)) + u";");
}

int StoreHashes(CppSQLite3DB& db, const std::vector<TypedPassword>& typed, TypedPasswordHashes& hashes) {
  return RunInTransaction(db, [&](CppSQLite3DB& d) {
    for (const TypedPassword& t : typed)
      d.Execute(UpdateStatement(t.table), {hashes.StoredForm(t.name, t.password, false), t.name, t.password});
    return true;
  });
}

}  // namespace

std::u16string TypedPasswordHashes::StoredForm(const std::u16string& name, const std::u16string& password,
                                               bool loginRow) {
  if ((loginRow && password.empty()) || IsPasswordHash(password)) return password;
  std::u16string& hash = hashes_[{name, password}];
  if (hash.empty()) hash = HashPassword(password);
  return hash;
}

int MarkOldFreeSpaceCleared(CppSQLite3DB& db) { return MarkCleared(db); }

int HashPasswordsStoredAsTyped(CppSQLite3DB& db, bool fresh) {
  std::vector<TypedPassword> typed;
  bool cleared = fresh;
  try {
    typed = FindTypedPasswords(db);
    cleared = cleared || OldFreeSpaceCleared(db);
  } catch (const CppSQLite3Exception& e) {
    PLAT_LOGW("users", "cannot look for passwords stored as typed: %s", e.Detail().c_str());
    return 0;
  }
  if (typed.empty() && cleared) return 1;
  TypedPasswordHashes hashes;
  if (!MakeHashes(typed, hashes)) return 0;
  // Also when every row holds a hash: an older version's writes may have left the passwords
  // as typed in the free space all the same.
  const bool rebuilt = !fresh && RebuildWithoutFreeSpace(db, "UserInfo.db");
  const int done = typed.empty() || StoreHashes(db, typed, hashes);
  if (done && !typed.empty())
    PLAT_LOGI("users", "%zu passwords stored as typed are now stored as hashes", typed.size());
  if (done && (fresh || rebuilt)) MarkCleared(db);
  return done;
}

bool HashPasswordsInKeptCopy(CppSQLite3DB& db) {
  std::vector<TypedPassword> typed;
  try {
    typed = FindTypedPasswords(db);
  } catch (const CppSQLite3Exception& e) {
    PLAT_LOGW("users", "the copy aside cannot be read whole (%s): it may hold passwords as typed",
              e.Detail().c_str());
    return false;
  }
  bool cleared = false;
  try {
    // An empty file has no space to clear, and stays as empty as it was kept.
    cleared = OldFreeSpaceCleared(db) || db.ExecuteScalar(u"PRAGMA page_count;") == 0;
  } catch (const CppSQLite3Exception&) {
  }
  if (typed.empty() && cleared) return true;
  TypedPasswordHashes hashes;
  if (!MakeHashes(typed, hashes)) return false;
  // The copy is the file as an older write left it: its free space too is cleared, once.
  const bool rebuilt = RebuildWithoutFreeSpace(db, "the copy aside");
  if (!typed.empty() && !StoreHashes(db, typed, hashes)) {
    // A page that refuses the change holds its rows; the others are hashed all the same.
    for (const TypedPassword& t : typed)
      ExecuteSql(db, UpdateStatement(t.table), {hashes.StoredForm(t.name, t.password, false), t.name, t.password});
  }
  try {
    const size_t left = FindTypedPasswords(db).size();
    if (left == 0 && rebuilt) {
      if (!typed.empty())
        PLAT_LOGI("users", "%zu passwords as typed in the copy aside are now hashes", typed.size());
      MarkCleared(db);
      return true;
    }
    if (left > 0) PLAT_LOGW("users", "%zu passwords as typed are left in the copy aside", left);
  } catch (const CppSQLite3Exception& e) {
    PLAT_LOGW("users", "the copy aside cannot be read again: %s", e.Detail().c_str());
  }
  return false;
}
