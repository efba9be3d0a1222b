#pragma once
// The strings file (docs/ARCHITECTURE.md, "Texts"): one line per id, "id TAB Chinese TAB
// English", and after a fourth tab, for an id the program's code names, its name
// ("IDS_" and upper-case words: IDS_SNAPSHOT_OK). '#' comments and blank lines are skipped;
// escapes \n \t \\ inside a text. Shared by the build tool and its fuzz target.
#include <cstdint>
#include <istream>
#include <map>
#include <string>

namespace strgen {

// Reads the whole file. Every id, in range or not, is checked and remembered (duplicates
// fail); `table` gets the C literal text of the chosen column (1 Chinese, 2 English) for the
// ids minId..maxId, and `names` (when given) the id of every name, whatever its range. False
// with `error` ("line N: why") at the first malformed line, a duplicate id or name, a missing
// text, a bad escape or control character, or a name that is not "IDS_" and upper-case words.
bool parseStringsFile(std::istream& in, int column, unsigned long minId, unsigned long maxId,
                      std::map<uint32_t, std::string>& table, std::string& error,
                      std::map<std::string, uint32_t>* names = nullptr);

// Whether `name` can name an id: "IDS_" and one or more words of A-Z and 0-9 joined by
// single underscores.
bool isIdName(const std::string& name);

}  // namespace strgen
