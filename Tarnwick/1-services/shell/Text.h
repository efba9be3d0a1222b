#pragma once
// The text of a string id (LoadResString) as the widgets take it.
#include <QString>
#include <cstdint>

#include "shell/Language.h"

inline QString Text(uint32_t id) { return QString::fromStdU16String(LoadResString(id)); }
