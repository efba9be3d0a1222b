#pragma once
// Window messages between the skinned controls and the windows that own them. A widget
// becomes a plat window through AttachWindow; controls then reach their parent or owner by
// handle, so a page written against plain window messages and one written as a widget are
// served alike.
#include <QWidget>
#include <cstdint>

#include "plat/msgthread.h"
#include "plat/window.h"

constexpr uint32_t WM_IMAGEBUTTON_DOWN = 5684;
constexpr uint32_t WM_IMAGEBUTTON_UP = 5685;
constexpr uint32_t WM_IMAGEBUTTON_LEAVE = 5686;
constexpr uint32_t WM_NOTIFIER_CLICKED = plat::WM_USER + 123;  // 1147

// Registers `widget` as a plat window handled by `proc` and remembers the handle on the widget.
// A second call replaces the handler (the old handle is released).
plat::WindowHandle AttachWindow(QWidget* widget, plat::WindowProc proc);
// The handle AttachWindow gave `widget`; 0 when it has none.
plat::WindowHandle WindowHandleOf(const QWidget* widget);

// Sends to / posts to the window behind `widget`; 0 / false when it is no plat window.
intptr_t SendWidgetMessage(const QWidget* widget, uint32_t message, uintptr_t wParam, intptr_t lParam);
bool PostWidgetMessage(const QWidget* widget, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Posts an Esc key press to `widget` (how pages and controls pass Esc up the window chain).
void PostEscapeTo(QWidget* widget);
