#include "devices/DeviceFields.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <QString>
#include <mutex>

#include "devices/DevMgrModel.h"
#include "plat/text.h"

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

namespace {
std::mutex g_resolverMutex;
HostResolver g_resolver;

bool SystemResolves(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return false;
  freeaddrinfo(found);
  return true;
}
}  // namespace

void SetHostResolver(HostResolver resolver) {
  std::lock_guard<std::mutex> lk(g_resolverMutex);
  g_resolver = std::move(resolver);
}

bool IsResolvableHost(const std::u16string& host) {
  const std::string text = plat::utf16ToUtf8(host);
  if (text.empty()) return false;
  in_addr dotted{};
  if (inet_pton(AF_INET, text.c_str(), &dotted) == 1) return true;
  // The loopback name always stands for this machine; it is never looked up.
  if (QString::fromStdString(text).compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) return true;
  HostResolver resolver;
  {
    std::lock_guard<std::mutex> lk(g_resolverMutex);
    resolver = g_resolver;
  }
  return resolver ? resolver(text) : SystemResolves(text);
}
