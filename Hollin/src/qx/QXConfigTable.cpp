#include "qx/QXConfigTable.h"

#include <cstring>
#include <iterator>

namespace hollin::qx {

namespace {

// The alarm-input record of the caller: the first 39 bytes and the blocks at 364 and 428 in
// place, the SDK's 192 bytes at 508 at 556, its four ints at 764 at 1004.
constexpr uint32_t kAlarmInCallerSize = 1020;

constexpr ConfigType kTypes[] = {
    {0, 100, 101, 132, 132, ConfigCopy::Device},
    {2, 1000, 1001, 1956, 1956, ConfigCopy::Whole},
    {4, 118, 119, 24, 24, ConfigCopy::Whole},
    {10, 1040, 1041, 116, 116, ConfigCopy::Whole},
    {12, 1042, 1043, 784, 784, ConfigCopy::Whole},
    {14, 1004, 1005, 508, 508, ConfigCopy::Whole},
    {16, 1002, 1003, 7752, 7752, ConfigCopy::Whole},
    {18, 1024, 1025, 780, kAlarmInCallerSize, ConfigCopy::AlarmInput},
    {20, 1026, 1027, 280, 280, ConfigCopy::Whole},
    {22, 1044, 1045, 288, 288, ConfigCopy::Whole},
    {24, 1028, 1029, 1372, 1372, ConfigCopy::Whole},
    {26, 224, 225, 80, 80, ConfigCopy::Whole},
    {28, 1010, 1011, 1960, 1960, ConfigCopy::Whole},
    {30, 1012, 1013, 564, 564, ConfigCopy::Whole},
    {42, 1006, 1007, 9508, 9508, ConfigCopy::Whole},
    {51, 222, 223, 692, 692, ConfigCopy::Whole},
    {62, 1054, 1055, 4760, 4760, ConfigCopy::Whole},
};

struct Span {
  uint32_t sdk, caller, bytes;
};

// Device record, read direction: name, ints, a 48-byte block and single bytes.
constexpr Span kDeviceRead[] = {{4, 4, 32},    {36, 36, 4},   {40, 40, 4},   {44, 44, 48},
                                {92, 92, 4},   {96, 96, 4},   {100, 100, 4}, {104, 104, 4},
                                {108, 108, 4}, {112, 112, 4}, {116, 116, 2}, {121, 121, 5},
                                {129, 129, 1}, {131, 131, 1}};
constexpr Span kDeviceWrite[] = {{4, 4, 32}, {36, 36, 4}, {40, 40, 4}};
constexpr Span kAlarmIn[] = {{0, 0, 39}, {364, 364, 64}, {428, 428, 64}, {508, 556, 192},
                             {764, 1004, 16}};

}  // namespace

const ConfigType* ConfigTypes(size_t* count) {
  if (count) *count = std::size(kTypes);
  return kTypes;
}

const ConfigType* FindConfigType(int type) {
  for (const auto& t : kTypes)
    if (t.type == type) return &t;
  return nullptr;
}

namespace {
template <size_t N>
void Move(const Span (&spans)[N], const uint8_t* from, uint8_t* to, bool toSdk) {
  for (const auto& s : spans) {
    if (toSdk)
      std::memcpy(to + s.sdk, from + s.caller, s.bytes);
    else
      std::memcpy(to + s.caller, from + s.sdk, s.bytes);
  }
}

void Copy(const ConfigType& t, const uint8_t* from, uint8_t* to, bool toSdk) {
  switch (t.copy) {
    case ConfigCopy::Whole: std::memcpy(to, from, t.sdkSize); break;
    case ConfigCopy::Device:
      // A write sends the name and two ints only.
      if (toSdk)
        Move(kDeviceWrite, from, to, true);
      else
        Move(kDeviceRead, from, to, false);
      break;
    case ConfigCopy::AlarmInput: Move(kAlarmIn, from, to, toSdk); break;
  }
}
}  // namespace

void CopyFromSdk(const ConfigType& t, const uint8_t* sdk, uint8_t* caller) {
  Copy(t, sdk, caller, false);
}

void CopyToSdk(const ConfigType& t, const uint8_t* caller, uint8_t* sdk) {
  Copy(t, caller, sdk, true);
}

}  // namespace hollin::qx
