#include "shell/TypedPasswords.h"

#include <vector>

#include "plat/log.h"
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

// secure_delete clears only what is freed from now on: the copies an older write left in free
// space (a row rewritten when its rights were set, say) go with a rebuild of the file, made in
// memory so no temporary file holds them either. Should it fail, the hashes are stored all the
// same.
void RebuildWithoutFreeSpace(CppSQLite3DB& db, const char* which) {
  if (!ExecuteSql(db, u"PRAGMA temp_store = MEMORY;") || !ExecuteSql(db, u"VACUUM;"))
    PLAT_LOGW("users", "%s could not be rebuilt; old free space may keep passwords as typed", which);
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

int HashPasswordsStoredAsTyped(CppSQLite3DB& db, bool fresh) {
  std::vector<TypedPassword> typed;
  try {
    typed = FindTypedPasswords(db);
  } catch (const CppSQLite3Exception& e) {
    PLAT_LOGW("users", "cannot look for passwords stored as typed: %s", e.Detail().c_str());
    return 0;
  }
  if (typed.empty()) return 1;
  TypedPasswordHashes hashes;
  if (!MakeHashes(typed, hashes)) return 0;
  if (!fresh) RebuildWithoutFreeSpace(db, "UserInfo.db");
  const int done = StoreHashes(db, typed, hashes);
  if (done)
    PLAT_LOGI("users", "%zu passwords stored as typed are now stored as hashes", typed.size());
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
  if (typed.empty()) return true;
  TypedPasswordHashes hashes;
  if (!MakeHashes(typed, hashes)) return false;
  RebuildWithoutFreeSpace(db, "the copy aside");
  if (!StoreHashes(db, typed, hashes)) {
    // A page that refuses the change holds its rows; the others are hashed all the same.
    for (const TypedPassword& t : typed)
      ExecuteSql(db, UpdateStatement(t.table), {hashes.StoredForm(t.name, t.password, false), t.name, t.password});
  }
  try {
    const size_t left = FindTypedPasswords(db).size();
    if (left == 0) {
      PLAT_LOGI("users", "%zu passwords as typed in the copy aside are now hashes", typed.size());
      return true;
    }
    PLAT_LOGW("users", "%zu passwords as typed are left in the copy aside", left);
  } catch (const CppSQLite3Exception& e) {
    PLAT_LOGW("users", "the copy aside cannot be read again: %s", e.Detail().c_str());
  }
  return false;
}
