#include "devices/DeviceFields.h"

#include "devices/DevMgrModel.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/UiService.h"

void Refuse(uint32_t id) { UiService().Notice(LoadResString(id)); }

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
  if ((!before || record.GetName() != before->GetName()) && owner.IsDeviceNameUsed(&record, nodeType)) return true;
  return (!before || record.GetIP() != before->GetIP()) && owner.IsDeviceAddressUsed(record.GetIP());
}

size_t NarrowLength(const std::u16string& text) { return plat::utf16ToGbk(text).size(); }
