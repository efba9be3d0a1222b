#include "shell/PasswordHash.h"

#include <sodium.h>

#include <string>

#include "plat/log.h"
#include "plat/text.h"

namespace {

// Interactive settings: a login or an unlock waits a fraction of a second, and every guess at
// a copy of the file costs as much.
constexpr unsigned long long kOps = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr size_t kMemory = crypto_pwhash_MEMLIMIT_INTERACTIVE;

bool Ready() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

}  // namespace

std::u16string HashPassword(const std::u16string& password) {
  if (!Ready()) return {};
  const std::string bytes = plat::utf16ToUtf8(password);
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(out, bytes.data(), bytes.size(), kOps, kMemory) != 0) {
    PLAT_LOGE("users", "a password could not be hashed (out of memory)");
    return {};
  }
  return plat::utf8ToUtf16(out);
}

bool IsPasswordHash(const std::u16string& stored) {
  return Ready() && crypto_pwhash_str_needs_rehash(plat::utf16ToUtf8(stored).c_str(), kOps, kMemory) >= 0;
}

PasswordMatch MatchPassword(const std::u16string& stored, const std::u16string& typed) {
  if (!Ready()) return PasswordMatch::No;
  const std::string hash = plat::utf16ToUtf8(stored);
  // -1: no hash of a known kind, so a password as an older program stored it.
  const int rehash = crypto_pwhash_str_needs_rehash(hash.c_str(), kOps, kMemory);
  if (rehash < 0) return stored == typed ? PasswordMatch::YesStoreAgain : PasswordMatch::No;
  const std::string bytes = plat::utf16ToUtf8(typed);
  if (crypto_pwhash_str_verify(hash.c_str(), bytes.data(), bytes.size()) != 0) return PasswordMatch::No;
  return rehash == 0 ? PasswordMatch::Yes : PasswordMatch::YesStoreAgain;
}
