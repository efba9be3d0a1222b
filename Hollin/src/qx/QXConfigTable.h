#pragma once
// The configuration types of the recorder family: the SDK's read and write commands, the
// SDK record size, the size of the caller's record, and how fields move between the two.
#include <cstddef>
#include <cstdint>

namespace hollin::qx {

enum class ConfigCopy {
  Whole,       // the caller's record has the SDK's layout
  Device,      // type 0: read many fields, write the name and two ints
  AlarmInput,  // type 18: the caller's record has its own layout
};

struct ConfigType {
  int type;
  uint32_t getCommand;
  uint32_t setCommand;
  uint32_t sdkSize;
  uint32_t callerSize;
  ConfigCopy copy;
};

constexpr size_t kConfigBufferSize = 9508;  // the largest SDK record

// Null for a type not in the table.
const ConfigType* FindConfigType(int type);
const ConfigType* ConfigTypes(size_t* count);

// Moves the type's fields from the SDK record into the caller's record, and back.
void CopyFromSdk(const ConfigType& t, const uint8_t* sdk, uint8_t* caller);
void CopyToSdk(const ConfigType& t, const uint8_t* caller, uint8_t* sdk);

}  // namespace hollin::qx
