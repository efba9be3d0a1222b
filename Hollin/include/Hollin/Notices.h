#pragma once
// Notices the device layer raises on library threads. A camera that refuses a preview's
// video ("connections full") arrives on the stream's receive thread; the preview never shows
// a dialog or closes its stream there. It posts WM_DEV_PREVIEW_FULL to its play window once
// per preview run; the play window's handler (on the UI thread) calls DevPreviewOnFull with
// the message's two parameters, which shows the notice through the sink and stops that
// preview.
#include <cstdint>

#include "Hollin/Interfaces.h"

constexpr uint32_t WM_DEV_PREVIEW_FULL = 0x0400 + 19;

// Shows a notice to the user; called on the UI thread. The program sets one that goes
// through its UI service; null restores the default, which writes the notice to the log.
using DevNoticeSink = void (*)(HWND owner, const char* text, const char* caption);
void SetDevNoticeSink(DevNoticeSink sink);

// 1 when the preview named by the message was still in the refused run and was stopped;
// 0 for a preview that is gone or has been stopped or restarted since.
int DevPreviewOnFull(uintptr_t wParam, intptr_t lParam);
