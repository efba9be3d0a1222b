#pragma once
// The disk questions of Disks.h, and a folder made for the user: one that cannot be made is
// told in the user's language.
#include <string>

#include "shell/Disks.h"

// MakeFolder, and a folder that cannot be made is told to the user by its path on this machine.
bool MakeFolderOrSay(const std::u16string& path);
