#pragma once
// Ini-file profile functions with the semantics the program relies on: missing file,
// section or key give the default; results are cut to the caller's buffer (size - 1
// characters and a terminator); a write creates the file and the section; the section
// with the empty name "[]" is a section like any other. Files are written in UTF-8; a file
// that is not valid UTF-8 is read as GBK (an ini written on a Chinese system).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plat {

// Returns the number of characters copied, not counting the terminator.
uint32_t getPrivateProfileString(const std::u16string& section, const std::u16string& key,
                                 const std::u16string& defaultValue, char16_t* buffer,
                                 uint32_t bufferSize, const std::string& path);
// Leading decimal digits of the value (optional sign); the default when missing.
int getPrivateProfileInt(const std::u16string& section, const std::u16string& key,
                         int defaultValue, const std::string& path);
// Writes key=value (creating file and section). An empty key is refused; false when the
// file could not be written.
bool writePrivateProfileString(const std::u16string& section, const std::u16string& key,
                               const std::u16string& value, const std::string& path);
// Writes several keys of one section with a single replacement of the file. Every write
// replaces the file whole: the new text goes to a temporary file of a unique name in the same
// folder, is flushed to the disk and renamed over the old one, so a failure at any point
// leaves the old file as it was.
bool writePrivateProfileStrings(const std::u16string& section,
                                const std::vector<std::pair<std::u16string, std::u16string>>& values,
                                const std::string& path);
// Removes a key; false when the file could not be written.
bool deletePrivateProfileKey(const std::u16string& section, const std::u16string& key,
                             const std::string& path);

}  // namespace plat
