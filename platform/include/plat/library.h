#pragma once
// Loading a shared library by name at run time (the decoder and language libraries).
#include <string>

namespace plat {

// Opens `file` (a bare file name such as "libCTdec264.so") from the folder of the program's
// own libraries first, then the executable's folder, then the system's search path. Null
// when none has it; `error` (optional) then says why.
void* openLibrary(const char* file, std::string* error = nullptr);
void* librarySymbol(void* library, const char* name);

}  // namespace plat
