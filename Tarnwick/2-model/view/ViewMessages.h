#pragma once
// Window messages of the live view and playback pages (the ones shared with the main window
// and the device side are in shell/AppMessages.h). Numbers are the system's own.
#include <cstdint>

#include "shell/AppMessages.h"

constexpr uint32_t WM_CYCLE_NO_PREVIEW = plat::WM_USER + 1;
constexpr uint32_t WM_CYCLE_SWITCH = plat::WM_USER + 4;
// WM_CYCLE_SWITCH's second value: the channel number in the low 16 bits, the alarm mark (1)
// in the high 16 bits. (Its first is a device note carrying both.)
constexpr intptr_t CycleSwitchValue(int channel, int alarmMark) {
  return static_cast<intptr_t>((static_cast<uint32_t>(alarmMark & 0xFFFF) << 16) |
                               static_cast<uint32_t>(channel & 0xFFFF));
}
constexpr uint32_t WM_DEVICE_ARMING = plat::WM_USER + 5;  // wParam a device note, lParam the state
constexpr uint32_t WM_PLAYWND_SELECTED = plat::WM_USER + 6;  // 1030: wParam window index
constexpr uint32_t WM_PLAYWND_RECORD = plat::WM_USER + 13;    // 1037, sent
constexpr uint32_t WM_PLAYWND_SNAPSHOT = plat::WM_USER + 14;  // 1038, sent
constexpr uint32_t WM_PANEL_BIND = plat::WM_USER + 18;
constexpr uint32_t WM_SCHEDULE_CELL_CLICKED = plat::WM_USER + 256;
// A playback page's search worker queued found files for the page.
constexpr uint32_t WM_PLAYBACK_FOUND = plat::WM_USER + 301;
// Posted to a play window whenever its preview or playback stops or its cycle ends.
constexpr uint32_t WM_PREVIEW_STOPPED = 3023;
