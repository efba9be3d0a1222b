#pragma once
// Configuration files and firmware moving to and from the device.
#include <cstddef>
#include <cstdint>
#include <string>

namespace saxtrum::transfer {

constexpr size_t kTransferHeaderSize = 264;
constexpr size_t kTransferNameChars = 256;
constexpr size_t kChunkSize = 20480;

// The header before the chunks: name or path (256 chars, zero-padded), size, 4 zero bytes.
void buildHeader(const std::string& name, uint32_t size, uint8_t* out);
// The file name of an import: what follows the last path separator; empty when there is
// none or nothing follows it.
std::string importName(const std::string& path);

}  // namespace saxtrum::transfer
