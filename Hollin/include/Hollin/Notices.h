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
// A recording that the disk refused (full, or failing) has ended; its flag is already clear
// (camera and recorder previews alike).
// The play window's handler calls DevPreviewOnRecordFailed with the message's parameters.
constexpr uint32_t WM_DEV_RECORD_FAILED = 0x0400 + 20;

// Shows a notice to the user; called on the UI thread. The program sets one that goes
// through its UI service; null restores the default, which writes the notice to the log.
using DevNoticeSink = void (*)(HWND owner, const char* text, const char* caption);
void SetDevNoticeSink(DevNoticeSink sink);

// 1 when the preview named by the message was still in the refused run and was stopped;
// 0 for a preview that is gone or has been stopped or restarted since.
int DevPreviewOnFull(uintptr_t wParam, intptr_t lParam);

// Shows the notice of a recording ended by a write failure; 1 when the preview named by the
// message still exists, 0 otherwise.
int DevPreviewOnRecordFailed(uintptr_t wParam, intptr_t lParam);

namespace hollin {
// The text of that notice as the sink receives it (the same pointer), so a program can show
// its own words for it.
extern const char* const kRecordFailedText;
}  // namespace hollin
