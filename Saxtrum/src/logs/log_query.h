#pragma once
// The device log search request: its time records and the type codes of the device.
#include <cstddef>
#include <cstdint>

#include "Saxtrum/Files.h"
#include "protocol/connection.h"

namespace saxtrum::logs {

// The 4,420-byte block (kLogBlockSize) of query and replies.
constexpr size_t kLogRecordOffset = 92;  // the client's record follows the block's header
constexpr size_t kLogOffStart = 0, kLogOffEnd = 24, kLogOffMajor = 72, kLogOffMinor = 76,
                 kLogOffMode = 88;

// The device's major code of a log type (16 for anything unknown).
uint32_t majorCode(uint32_t majorType, uint32_t minorType);
// The bit of the minor type in the device's minor mask, 0 for none.
uint32_t minorMask(uint32_t majorType, uint32_t minorType);

// Writes a time record as the device keeps it: year - 1900, month - 1.
void putDeviceTime(uint8_t* out, const QX_DVR_TIME& t);
// The whole 4,420-byte query.
void buildLogQuery(int32_t mode, uint32_t majorType, uint32_t minorType, const QX_DVR_TIME& start,
                   const QX_DVR_TIME& end, uint8_t* out);

}  // namespace saxtrum::logs
