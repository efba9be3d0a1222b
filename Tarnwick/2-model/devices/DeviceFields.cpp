#include "devices/DeviceFields.h"

#include "devices/DevMgrModel.h"
#include "plat/text.h"

// A port the login hands on in 16 bits: a larger one would reach another port.
int ParsePort(const std::u16string& text) {
  if (text.empty() || text.size() > 5) return 0;
  int value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + (c - u'0');
  }
  return value >= 1 && value <= 65535 ? value : 0;
}

bool IsDuplicateDevice(const CDevMgrModel& owner, const CDevInfo& record, const CDevInfo* before, int nodeType) {
  return (!before || record.GetName() != before->GetName()) && owner.IsDeviceNameUsed(&record, nodeType);
}

bool IsAddressTaken(const CDevMgrModel& owner, const CDevInfo& record, const CDevInfo* before) {
  return (!before || record.GetIP() != before->GetIP()) && owner.IsDeviceAddressUsed(record.GetIP());
}

size_t NarrowLength(const std::u16string& text) { return plat::utf16ToGbk(text).size(); }
