#pragma once
// The program lock: while it is installed and the main window is locked, no input of any kind
// reaches a window of the program; a mouse or key press is turned into one unlock request.
#include <functional>

class QObject;

// Installs the application-wide filter; `onLockedInput` runs (queued, once per swallowed
// press) while `isLocked` says true. A second install replaces the first.
void InstallLockHook(std::function<bool()> isLocked, std::function<void()> onLockedInput);
// False when no hook was installed.
bool RemoveLockHook();
bool LockHookInstalled();
