#pragma once
// What the program keeps (accounts, device logins, settings, logs, snapshots, recordings,
// downloads) is its user's alone: no other local user may read it.
#include <string>

// From now on every file the process makes is made 0600 and every folder 0700, whatever
// mode the code that makes it asks for (the process's file mode mask).
void KeepNewFilesPrivate();

// What the program wrote itself before (or what was loosened since) made its owner's alone:
// the data folder, the program's files in it (databases, their copies and journals, the
// settings file) and the log. Folders the user chose, and what they hold, keep their modes.
void TightenPrivateFiles();

// Takes every right of group and others (and a file's execute right) off `path`. Only what
// this user owns is changed, and links are never followed.
void TightenToOwner(const std::string& path);
