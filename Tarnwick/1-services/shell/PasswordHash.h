#pragma once
// Account passwords are kept as salted, deliberately slow hashes (Argon2id, in its text form
// "$argon2id$v=19$m=...,t=...,p=...$salt$hash"), never as typed: anyone who reads UserInfo.db
// learns no password. A row written by an older program holds the password as typed; it still
// matches, and is to be stored again as a hash.
#include <string>

// The text to store for a password; empty when it could not be made (no memory).
std::u16string HashPassword(const std::u16string& password);

enum class PasswordMatch {
  No,
  Yes,
  // The password is right, but what is stored is the password as typed (or a hash made with
  // weaker settings): store HashPassword(typed) in its place.
  YesStoreAgain,
};
// Whether `typed` is the password that `stored` keeps.
PasswordMatch MatchPassword(const std::u16string& stored, const std::u16string& typed);
// Whether `stored` is a hash of a kind MatchPassword knows; anything else is a password as typed.
bool IsPasswordHash(const std::u16string& stored);
