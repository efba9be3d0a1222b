#pragma once
// The English language library, loaded by name at run time. It answers a string id of the
// program with its English text; an id it does not know gives nullptr. The text lives as
// long as the library stays loaded.
#include <cstdint>

#define LANGENG_LIBRARY_NAME "libLangEng.so"
#define LANGENG_ENTRY_NAME "LangEngGetString"

extern "C" {
typedef const char16_t* (*LangEngGetStringFn)(uint32_t id);
const char16_t* LangEngGetString(uint32_t id);
}
