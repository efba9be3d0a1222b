#include "qx/QXConfig.h"

#include <cstring>

#include "RecNet.h"

using hollin::qx::ConfigType;

const ConfigType* CDevQXConfig::Usable(const tagDevConfigRequest* request) {
  if (!request || !request->record) return nullptr;
  const ConfigType* t = hollin::qx::FindConfigType(request->configType);
  // A record smaller than the type's would be written past its end.
  if (!t || request->recordSize < 0 ||
      static_cast<uint32_t>(request->recordSize) < t->callerSize)
    return nullptr;
  return t;
}

int CDevQXConfig::GetConfig(tagDevConfigRequest* request) {
  const ConfigType* t = Usable(request);
  if (!t) return 0;
  std::memset(buffer_.data(), 0, buffer_.size());
  uint32_t returned = 0;
  if (RecNet_ReadConfig(loginId_, t->getCommand, request->channel, buffer_.data(), t->sdkSize,
                         &returned) != 1)
    return 0;
  request->returned = returned;
  hollin::qx::CopyFromSdk(*t, buffer_.data(), static_cast<uint8_t*>(request->record));
  return 1;
}

int CDevQXConfig::SetConfig(tagDevConfigRequest* request) {
  const ConfigType* t = Usable(request);
  if (!t) return 0;
  std::memset(buffer_.data(), 0, buffer_.size());
  // The caller's fields are laid over the device's current record.
  uint32_t returned = 0;
  const int read = RecNet_ReadConfig(loginId_, t->getCommand, request->channel, buffer_.data(),
                                      t->sdkSize, &returned);
  // A type whose write carries only some of the record's fields lays them over the device's
  // current record: without that record the rest would be written back as zeros.
  if (read != 1 && t->copy != hollin::qx::ConfigCopy::Whole) return 0;
  hollin::qx::CopyToSdk(*t, static_cast<const uint8_t*>(request->record), buffer_.data());
  return RecNet_WriteConfig(loginId_, t->setCommand, request->channel, buffer_.data(),
                             t->sdkSize);
}
