#pragma once
// The layer's TIME and the recorder SDK's time record hold the same six fields.
#include "RecNet.h"
#include "Hollin/Records.h"

namespace hollin::qx {

inline SdkTime ToSdk(const TIME& t) {
  return SdkTime{static_cast<uint32_t>(t.year),   static_cast<uint32_t>(t.month),
                 static_cast<uint32_t>(t.day),    static_cast<uint32_t>(t.hour),
                 static_cast<uint32_t>(t.minute), static_cast<uint32_t>(t.second)};
}

inline TIME FromSdk(const SdkTime& t) {
  return TIME{static_cast<int32_t>(t.year),   static_cast<int32_t>(t.month),
              static_cast<int32_t>(t.day),    static_cast<int32_t>(t.hour),
              static_cast<int32_t>(t.minute), static_cast<int32_t>(t.second)};
}

}  // namespace hollin::qx
