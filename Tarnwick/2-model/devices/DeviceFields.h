#pragma once
// Checks the device dialogs share: field limits, the port, duplicate names.
#include <cstdint>
#include <string>

#include "Hollin.h"

class CDevMgrModel;

inline constexpr size_t kDeviceNameChars = 63;

// The port in 1..65535, or 0 when the text is empty, not a number or out of that range.
int ParsePort(const std::u16string& text);
// Whether the page already has a device of that node type with the record's name. With
// `before` (modify mode) an unchanged name is no duplicate of itself.
bool IsDuplicateDevice(const CDevMgrModel& owner, const CDevInfo& record, const CDevInfo* before, int nodeType);
// Whether any device or server of the page has the record's host; with `before`, an unchanged
// host is no duplicate of itself.
bool IsAddressTaken(const CDevMgrModel& owner, const CDevInfo& record, const CDevInfo* before);
// The narrow (GBK) length of a text, as a device's login record would carry it.
size_t NarrowLength(const std::u16string& text);
