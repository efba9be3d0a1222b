#pragma once
// The configuration commands the library accepts: their wire codes, record sizes, where the
// channel goes, and the field maps between the client's records and the wire's.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/field_map.h"

namespace saxtrum::config {

// Request and reply payloads of the configuration codes: a code word, then the wire record.
constexpr size_t kCodeWordSize = 4;
constexpr size_t kConfigBufferSize = 30724;

enum class ChannelUse : uint8_t { None, AsGiven, MinusOne };

struct RecordLayout {
  const char* name;
  uint32_t getCommand, setCommand;  // client command numbers
  uint32_t getCode, setCode;        // wire codes
  uint32_t wireSize, clientSize;
  ChannelUse getChannel, setChannel;
  std::vector<Field> fields;
  // Records with a counted list move it themselves (after the fields).
  void (*unpackExtra)(const uint8_t* wire, uint8_t* client) = nullptr;
  void (*packExtra)(const uint8_t* client, uint8_t* wire) = nullptr;
};

const std::vector<RecordLayout>& recordLayouts();
// The layout a command number belongs to, null for an unknown one; *isGet tells the side.
const RecordLayout* layoutForCommand(uint32_t command, bool* isGet);

// A read request: code word, then the zeroed request record with the channel where the
// layout puts it.
std::vector<uint8_t> buildGetRequest(const RecordLayout& l, int32_t channel);
// A write request: code word, then the record packed from the client's (clientSize bytes).
std::vector<uint8_t> buildSetRequest(const RecordLayout& l, int32_t channel,
                                     const uint8_t* client);
// Fills the client record (clientSize bytes, zero-filled first) from a reply payload (code
// word, then the wire record); bytes the reply did not carry read as zero.
void unpackReply(const RecordLayout& l, const uint8_t* reply, size_t length, uint8_t* client);

// The wire layout of the picture record (read 54, write 55; 7,336 bytes).
namespace picwire {
constexpr uint32_t kSize = 7336;
constexpr uint32_t kChannel = 0, kName = 4, kShowName = 36, kNameX = 40, kNameY = 44,
                   kShowOsd = 48, kOsdX = 52, kOsdY = 56, kOsdType = 60, kVideoLoss = 64,
                   kMotion = 392, kTamper = 6928, kMaskEnable = 7264, kMaskRects = 7268;
}  // namespace picwire

// Disk list limits of the disk configuration.
constexpr uint32_t kMaxWireDisks = 8;

}  // namespace saxtrum::config
