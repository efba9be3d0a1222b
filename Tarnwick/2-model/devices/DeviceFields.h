#pragma once
// Checks the device dialogs share: field limits, the port, duplicates, the host.
#include <cstdint>
#include <functional>
#include <string>

#include "Hollin.h"

class CDevMgrModel;

inline constexpr size_t kDeviceNameChars = 63;

// The port in 1..65535, or 0 when the text is empty, not a number or out of that range.
int ParsePort(const std::u16string& text);
// Whether the page already has a device of that node type with the record's name, or any
// device with its address. With `before` (modify mode) an unchanged name or address is no
// duplicate of itself.
bool IsDuplicateDevice(const CDevMgrModel& owner, const CDevInfo& record, const CDevInfo* before, int nodeType);
// The narrow (GBK) length of a text, as a device's login record would carry it.
size_t NarrowLength(const std::u16string& text);

// Whether a device's host text leads to an address: a dotted IPv4 address as it stands, a
// host name through the resolver (the system's unless replaced; tests replace it so no name
// is ever looked up outside the machine).
using HostResolver = std::function<bool(const std::string& host)>;
void SetHostResolver(HostResolver resolver);  // empty: the system's again
bool IsResolvableHost(const std::u16string& host);
