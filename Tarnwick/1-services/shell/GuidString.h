#pragma once
// GUID texts that identify devices, regions and groups:
// "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", 36 upper-case characters, no braces.
#include <array>
#include <cstdint>
#include <string>

inline constexpr size_t GUID_TEXT_CHARS = 36;

// Formats a 16-byte GUID (first part, two 16-bit parts, eight bytes, as stored).
std::u16string FormatGuid(uint32_t data1, uint16_t data2, uint16_t data3,
                          const std::array<uint8_t, 8>& data4);
// Writes a new GUID's text and a terminator into buffer (at least 37 characters); true.
// When no random GUID can be made the text is all zeros.
bool MakeGuidString(char16_t* buffer);
std::u16string MakeGuidString();
