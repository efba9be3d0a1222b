#pragma once
// Data files that could not be read whole. A load that skipped rows or could not read a table
// marks its file here. The first save of that file afterwards calls KeepDamagedFileAside
// before writing, which copies the file as it stands to "<name>.bak" (replacing an older
// copy), so the save cannot write the loss over the only copy of what was there. Any store of
// the program folder uses the same calls. These helpers say what happened and tell the user
// nothing: what the user is told is DamagedFiles.h's.
#include <functional>
#include <string>

class CppSQLite3DB;

// `fileName` is the file's name in the program folder ("Tarnwick.db"); `what` says what could
// not be read, for the log. True when the file was not marked yet: the user is to be told,
// once per file until it has been kept aside.
bool MarkDamagedFile(const std::u16string& fileName, const std::string& what);

// For a file whose damage the caller tells the user in its own words, before it writes the
// file anew: logs the damage and copies the file to "<name>.bak" at once. False when the copy
// failed: the caller must not write the file.
bool KeepFileAsideNow(const std::u16string& fileName, const std::string& what);

// What a database's own integrity check says of it. Unknown: the check could not run for a
// reason that proves nothing about the file (busy, say).
enum class DatabaseHealth { Whole, Damaged, Unknown };
DatabaseHealth CheckDatabaseHealth(CppSQLite3DB& db);

// True when the file is not marked, or when it was copied aside (the mark is then cleared);
// false when the copy failed: the caller must not write the file.
bool KeepDamagedFileAside(const std::u16string& fileName);

// For a save that failed after its file was kept aside: when the database is damaged beyond
// writing (its integrity check fails or cannot run) and its copy is in "<name>.bak", the file
// is removed so the save can start it anew; true when it was. A database that is whole (one
// merely busy, say) is never removed.
bool StartDamagedDatabaseAnew(const std::u16string& fileName);

// A save of a store in `fileName` by the rule above: keep a marked file aside, write, and
// when the write fails on a file damaged beyond writing, start it anew and write again.
bool SaveKeepingDamagedAside(const std::u16string& fileName, const std::function<bool()>& write);

bool IsFileMarkedDamaged(const std::u16string& fileName);

// What stands at a path: a file that can be read (or nothing at all), or what keeps it from
// being read. Such a file is kept aside by moving it.
enum class FileStanding { Readable, Folder, NotAFile, NoPermission, Unreadable };
FileStanding StandingOf(const std::string& nativePath);
// The same for the log ("it is a folder"); empty when the file can be read, or when nothing
// is there.
std::string WhyFileUnreadable(const std::string& nativePath);
