#include "Corvane.h"

// The library's build identity, for logs.
extern "C" const char* Corvane_BuildId() { return "Corvane " __DATE__; }
