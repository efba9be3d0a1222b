#pragma once
// The single-instance lock (in place of a named mutex): held while the object lives.
// The lock file lies where only the user can write: the session's runtime folder
// (XDG_RUNTIME_DIR) or, without one, a folder of the user's own made 0700 in the user's cache
// folder ("tarnwick-<host>" in XDG_CACHE_HOME or ~/.cache) or, without a usable home, in the
// temporary folder ("tarnwick-<uid>"). A folder there that is not the user's own (made first
// by another user, a link) is never used; a lock file another user owns never counts: it is
// replaced.
#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace plat {

class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(const std::string& name);  // e.g. "TarnwickInstance"
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
  // False when another process (or another lock object) already holds the name, and when
  // the lock file could not be made at all (no folder fit for it: the caller must say so).
  bool acquired() const { return fd_ >= 0; }
  // True only when another holder has the name (not when the lock file could not be made).
  bool heldElsewhere() const { return heldElsewhere_; }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  bool heldElsewhere_ = false;
  std::string path_;
};

// The folder the lock files of this user lie in; empty when none is safe to use.
std::string instanceLockFolder();
// The rules, on what lstat said: a folder may hold the lock when it is a folder of `user`'s
// that no one else may write to; a lock file counts when it is a plain file of `user`'s.
bool lockFolderIsPrivate(const struct stat& st, uid_t user);
bool lockFileCounts(const struct stat& st, uid_t user);

}  // namespace plat
