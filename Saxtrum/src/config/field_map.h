#pragma once
// Moving a configuration record between the client's layout and the wire's, one field at a
// time. One description serves both directions.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace saxtrum::config {

enum class FieldKind : uint8_t {
  Int,    // unsigned integer of 1, 2 or 4 bytes on each side, widened or cut to fit
  Bytes,  // copied as they stand
  Text,   // zero-padded text: copied up to its first zero, cut to the narrower width
  Mac,    // six bytes on the client side, "xx:xx:xx:xx:xx:xx" text on the wire
};

enum class FieldDir : uint8_t { Both, GetOnly, SetOnly };

struct Field {
  FieldKind kind;
  uint32_t client, clientSize;
  uint32_t wire, wireSize;
  int32_t bias = 0;  // Int only: client value = wire value + bias
  FieldDir dir = FieldDir::Both;
};

inline Field intField(uint32_t client, uint32_t clientSize, uint32_t wire, uint32_t wireSize,
                      int32_t bias = 0) {
  return {FieldKind::Int, client, clientSize, wire, wireSize, bias, FieldDir::Both};
}
inline Field bytesField(uint32_t client, uint32_t wire, uint32_t size) {
  return {FieldKind::Bytes, client, size, wire, size, 0, FieldDir::Both};
}
inline Field textField(uint32_t client, uint32_t wire, uint32_t size) {
  return {FieldKind::Text, client, size, wire, size, 0, FieldDir::Both};
}

// Client record from wire record; the client record must already be zero-filled.
void unpackFields(const std::vector<Field>& fields, const uint8_t* wire, uint8_t* client);
// Wire record from client record; the wire record must already be zero-filled.
void packFields(const std::vector<Field>& fields, const uint8_t* client, uint8_t* wire);

// The MAC text of the wire: six lower-case two-digit hex numbers joined by colons.
void macToText(const uint8_t* mac, char* text, size_t width);
// Reads up to six colon-separated hex numbers (each up to 20 digits, the low byte kept);
// parsing stops at the first malformed group, leaving the rest zero.
void macFromText(const char* text, size_t width, uint8_t* mac);

}  // namespace saxtrum::config
