#pragma once
// The program's own window messages between the main window, its pages and the device side.
#include <cstdint>

#include "plat/msgthread.h"

constexpr uint32_t WM_LOCK_PROGRAM = plat::WM_USER + 2;
constexpr uint32_t WM_SWITCH_USER = plat::WM_USER + 3;
constexpr uint32_t WM_REFRESH_TREE = plat::WM_USER + 7;
constexpr uint32_t WM_DEVICE_ALARM = plat::WM_USER + 10;      // wParam MsgAlarmInfo* from the pool
constexpr uint32_t WM_DEVICE_EXCEPTION = plat::WM_USER + 11;  // wParam login id
constexpr uint32_t WM_RIGHTS_CHANGED = plat::WM_USER + 12;
constexpr uint32_t WM_SHOW_PAGE_BUTTONS = plat::WM_USER + 16;  // wParam show command (0 hide, 5 show)
constexpr uint32_t WM_DEVICE_REBOOT = plat::WM_USER + 17;      // wParam a device note (DeviceNote.h)
constexpr uint32_t WM_TRAY_NOTIFY = plat::WM_USER + 22;

// A key the main window hands to the live page, whatever widget had it (wParam the key).
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uintptr_t VK_ESCAPE = 0x1B;

// Show commands carried by WM_SHOW_PAGE_BUTTONS.
constexpr uintptr_t SW_HIDE = 0;
constexpr uintptr_t SW_SHOW = 5;
