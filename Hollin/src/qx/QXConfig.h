#pragma once
// Configuration of a recorder login by the family's type numbers.
#include <vector>

#include "Hollin/Interfaces.h"
#include "qx/QXConfigTable.h"

class CDevQXConfig : public IDevConfig {
 public:
  explicit CDevQXConfig(DevHandle loginId)
      : loginId_(static_cast<int32_t>(loginId)), buffer_(hollin::qx::kConfigBufferSize, 0) {}

  int GetConfig(tagDevConfigRequest* request) override;
  int SetConfig(tagDevConfigRequest* request) override;

 private:
  // The type of a request whose record is there and large enough; null otherwise.
  static const hollin::qx::ConfigType* Usable(const tagDevConfigRequest* request);
  int32_t loginId_;
  std::vector<uint8_t> buffer_;
};
