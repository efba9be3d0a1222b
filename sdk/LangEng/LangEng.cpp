#include "LangEng.h"

const char16_t* LangEngTable(uint32_t id);  // generated from the strings file

extern "C" const char16_t* LangEngGetString(uint32_t id) { return LangEngTable(id); }
