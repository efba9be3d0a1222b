#include "shell/TypedPasswords.h"

#include <map>
#include <utility>
#include <vector>

#include "plat/log.h"
#include "shell/DbHelpers.h"
#include "shell/PasswordHash.h"
#include "shell/UserStore.h"

namespace {

struct TypedPassword {
  const char16_t* table;
  std::u16string name, password;
};

std::vector<TypedPassword> FindTypedPasswords(CppSQLite3DB& db) {
  std::vector<TypedPassword> found;
  for (const char16_t* table : {TB_USER_INFO, TB_RECENT_LOGIN_USER, TB_AUTO_LOGIN_USER}) {
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

}  // namespace

int HashPasswordsStoredAsTyped(CppSQLite3DB& db, bool fresh) {
  std::vector<TypedPassword> typed;
  try {
    typed = FindTypedPasswords(db);
  } catch (const CppSQLite3Exception& e) {
    PLAT_LOGW("users", "cannot look for passwords stored as typed: %s", e.Detail().c_str());
    return 0;
  }
  if (typed.empty()) return 1;

  // One hash per account and password: the built-in administrator's recent row carries the
  // same hash as its account, as in a database this program made. Made before the
  // transaction, which then holds the file only for the writes.
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> hashes;
  for (const TypedPassword& t : typed) {
    std::u16string& hash = hashes[{t.name, t.password}];
    if (hash.empty()) hash = HashPassword(t.password);
    if (hash.empty()) return 0;
  }

  // secure_delete clears only what is freed from now on: the copies an older write left in
  // free space (a row rewritten when its rights were set, say) go with a rebuild of the file,
  // made in memory so no temporary file holds them either. Should it fail, the hashes are
  // stored all the same.
  if (!fresh && (!ExecuteSql(db, u"PRAGMA temp_store = MEMORY;") || !ExecuteSql(db, u"VACUUM;")))
    PLAT_LOGW("users", "UserInfo.db could not be rebuilt; old free space may keep passwords as typed");

  const int done = RunInTransaction(db, [&](CppSQLite3DB& d) {
    for (const TypedPassword& t : typed)
      d.Execute(u"update " + QuoteIdentifier(t.table) + u" set Password = ? where Name = ? and Password = ?;",
                {hashes[{t.name, t.password}], t.name, t.password});
    return true;
  });
  if (done)
    PLAT_LOGI("users", "%zu passwords stored as typed are now stored as hashes", typed.size());
  return done;
}
