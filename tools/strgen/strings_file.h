#pragma once
// The strings file (docs/ARCHITECTURE.md, "Texts"): one line per id, "id TAB Chinese TAB
// English", '#' comments and blank lines skipped, escapes \n \t \\ inside a text. Shared by
// the build tool and its fuzz target.
#include <cstdint>
#include <istream>
#include <map>
#include <string>

namespace strgen {

// Reads the whole file. Every id, in range or not, is checked and remembered (duplicates
// fail); `table` gets the C literal text of the chosen column (1 Chinese, 2 English) for the
// ids minId..maxId. False with `error` ("line N: why") at the first malformed line, a
// duplicate id, a missing text, or a bad escape or control character.
bool parseStringsFile(std::istream& in, int column, unsigned long minId, unsigned long maxId,
                      std::map<uint32_t, std::string>& table, std::string& error);

}  // namespace strgen
