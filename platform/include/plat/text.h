#pragma once
// Text encodings. Wide text is UTF-16; narrow text exchanged with devices and their
// libraries is GBK (the code page of a Chinese system); file paths are UTF-8. A text too
// long for a fixed field is cut at a character boundary.
#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

std::u16string utf8ToUtf16(std::string_view s);
std::string utf16ToUtf8(std::u16string_view s);
std::u16string gbkToUtf16(std::string_view s);
// Converts and cuts to at most maxBytes bytes (whole characters only); unmappable
// characters become '?'.
std::string utf16ToGbk(std::u16string_view s, size_t maxBytes = std::string::npos);
std::string utf8ToGbk(std::string_view s, size_t maxBytes = std::string::npos);
std::string gbkToUtf8(std::string_view s);
bool isValidUtf8(std::string_view s);

// Control characters: below 0x20, and DEL. Devices send them in names; no name the program
// shows, stores or makes a file of keeps them.
constexpr bool isControlChar(char32_t c) { return c < 0x20 || c == 0x7F; }
// The text with its control characters dropped.
std::u16string withoutControls(std::u16string text);

// Decimal text to int as the system reads stored numbers: leading blanks skipped, an optional
// sign, the digits up to the first other character (none gives 0), clamped to the int range.
int textToInt(std::u16string_view text);

// Copies a GBK text into a fixed field of fieldSize bytes, cut at a character boundary and
// always terminated (the rest zero-filled).
void copyToField(char* field, size_t fieldSize, std::string_view gbk);
// How many bytes of `gbk` copyToField keeps: whole characters, room for the terminator.
size_t fieldLength(std::string_view gbk, size_t fieldSize);
// Reads a fixed narrow field up to its first zero byte (or its full size).
std::string fieldText(const char* field, size_t fieldSize);

}  // namespace plat
