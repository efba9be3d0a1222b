#include "Hollin/Effects.h"

#include "Corvane/audio.h"
#include "camera_common/CameraPreview.h"
#include "camera_common/IpcHandle.h"
#include "qx/QXPreview.h"

int DevPreviewGetEffectCaps(IDevPreview* preview, DevVideoEffectCaps* caps) {
  if (!preview || !caps) return 0;
  if (dynamic_cast<hollin::CameraPreview*>(preview)) {
    // Cameras and their recorders keep 0..255, handed out in tenths; they have no hue.
    *caps = {0, 10, 0};
    return 1;
  }
  if (dynamic_cast<CDevQXPreview*>(preview)) {
    *caps = {1, 10, 1};
    return 1;
  }
  return 0;
}

int DevPreviewGetVolume(IDevPreview* preview, int* volume) {
  if (!preview || !volume) return 0;
  if (auto* camera = dynamic_cast<hollin::CameraPreview*>(preview)) {
    const DevHandle stream = camera->Stream();
    if (!stream) return 0;
    *volume = static_cast<int>(IPC_GetVolume(hollin::AsIpc(stream)) & 0xFFFF);  // the left channel
    return 1;
  }
  if (auto* qx = dynamic_cast<CDevQXPreview*>(preview)) return qx->GetVolume(volume) ? 1 : 0;
  return 0;
}
