#include "Hollin/Notices.h"

#include <atomic>

#include "camera_common/CameraPreview.h"
#include "camera_common/SessionRoutes.h"
#include "plat/log.h"
#include "qx/QXPreview.h"

namespace {

void LogNotice(HWND, const char* text, const char* caption) {
  PLAT_LOGW("hollin", "%s: %s", caption ? caption : "", text ? text : "");
}

std::atomic<DevNoticeSink> g_sink{&LogNotice};

}  // namespace

void SetDevNoticeSink(DevNoticeSink sink) { g_sink = sink ? sink : &LogNotice; }

int DevPreviewOnFull(uintptr_t wParam, intptr_t lParam) {
  hollin::CameraPreview* p = hollin::routes::FindByToken(wParam);
  if (!p || p->Stream() == 0 || p->Stream() != static_cast<DevHandle>(lParam)) return 0;
  g_sink.load()(p->GetPlayWnd(), hollin::kConnectionsFullText, hollin::kConnectionsFullCaption);
  return p->OnFullOnUi(static_cast<DevHandle>(lParam)) ? 1 : 0;
}

int DevPreviewOnRecordFailed(uintptr_t wParam, intptr_t) {
  HWND owner = 0;
  if (hollin::CameraPreview* p = hollin::routes::FindByToken(wParam))
    owner = p->GetPlayWnd();
  else if (!CDevQXPreview::PlayWndOf(wParam, &owner))
    return 0;
  g_sink.load()(owner, hollin::kRecordFailedText, hollin::kConnectionsFullCaption);
  return 1;
}
