#pragma once
// A string id's text as the widgets take it, and as a notice to the user.
#include <QString>
#include <cstdint>

#include "shell/Language.h"
#include "shell/UiService.h"

inline QString Text(uint32_t id) { return QString::fromStdU16String(LoadResString(id)); }

// The notifier's notice with a string id's text (the UI service's Notice).
inline void Notice(uint32_t id) { UiService().Notice(LoadResString(id)); }
