// Snapshots of a live stream through the player.
#include <vector>

#include "StreamPlay.h"
#include "Saxtrum.h"
#include "api/requests.h"

using namespace saxtrum;

namespace {
constexpr size_t kCaptureBufferSize = 720 * 576 * 3;  // 1,244,160
}

extern "C" {

int QX_DVR_CapturePicture(int32_t handle, const char* path) {
  if (!path || !*path) return 0;
  StreamRef r;
  if (!resolveBusy(handle, r)) return 0;
  std::vector<uint8_t> buffer(kCaptureBufferSize);
  uint32_t width = 0, height = 0;
  // A capture or a file that failed is reported as failed, not as a saved picture.
  if (!SPlay_CaptureImage(slotPort(r), buffer.data(), &width, &height)) return 0;
  return SPlay_ConvertToBmpFile(buffer.data(), 0, width, height, 0, path) ? 1 : 0;
}

int QX_DVR_CapturePictureBuf(int32_t userId, int32_t slot, uint8_t* buffer, uint32_t* length) {
  if (!buffer || !length) return 0;
  const int32_t handle = makeStreamHandle(userId, slot);
  StreamRef r;
  if (handle < 0 || !resolveBusy(handle, r)) return 0;
  uint32_t width = 0, height = 0;
  if (!SPlay_CaptureImage(slotPort(r), buffer, &width, &height)) return 0;
  *length = width * height * 3;  // the picture's size, not up to its first zero byte
  return 1;
}

}  // extern "C"
