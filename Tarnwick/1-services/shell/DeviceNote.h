#pragma once
// Window messages about a device name it by id, never by pointer: the sender writes a note
// (device GUID and channel) and posts its number; the receiver takes the note on the UI
// thread and looks the device up then. A device gone by then is simply not found, so the
// message is dropped. Any thread may write a note; each is given out once.
#include <cstdint>
#include <string>

#include "plat/window.h"

struct DeviceNote {
  std::u16string deviceGuid;
  int channel = 0;
  int alarmMark = 0;  // a cycle switch's mark: 1 when the channel is in alarm
};

// The note's number for wParam. Notes nobody takes are dropped oldest first.
uintptr_t AddDeviceNote(const std::u16string& deviceGuid, int channel, int alarmMark = 0);
// False when the number is unknown or was taken already.
bool TakeDeviceNote(uintptr_t id, DeviceNote* out);
// Posts `message` with a new note as wParam; a message that cannot be posted takes its note back.
bool PostDeviceNote(plat::WindowHandle target, uint32_t message, const std::u16string& deviceGuid, int channel,
                    intptr_t lParam, int alarmMark = 0);
