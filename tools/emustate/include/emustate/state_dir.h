#pragma once
// An emulator program started with `--state-dir DIR` keeps DIR up to date with what it holds:
// every parameter or configuration record as the device keeps it (wire layout), written when
// the emulator starts and again after every write a client makes. A test that runs the
// emulator as a process of its own reads the device's side from there.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emustate {

// Writes the bytes as DIR/NAME in one replacement (a temporary file renamed over the old
// one), so a reader sees the old record or the new one, never part of one.
bool writeFile(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes);
// The file's bytes; none when it does not exist or cannot be read.
std::optional<std::vector<uint8_t>> readFile(const std::string& dir, const std::string& name);

// The camera's parameter record of a get code: "camera-<code as 4 hex digits>.bin".
std::string cameraRecordName(uint16_t getCode);
// The recorder's configuration record of a read code and channel word:
// "recorder-<code>-<channel>.bin" (records kept once have channel word 0).
std::string recorderRecordName(uint32_t getCode, uint32_t channel);

}  // namespace emustate
