#pragma once
// The sound device and the recorder of each live stream, found by the stream's handle for
// the volume and recording exports. The stream binds them when it is made and unbinds them
// before it tears them down; a call that found them keeps them alive until it returns.
#include <memory>

#include "Corvane/types.h"

namespace corvane {

class AudioDevice;
class AviRecorder;

struct StreamMedia {
  std::shared_ptr<AudioDevice> audio;
  std::shared_ptr<AviRecorder> recorder;
};

void bindStreamMedia(IPC_HANDLE stream, StreamMedia media);
void unbindStreamMedia(IPC_HANDLE stream);
// Empty members when the handle is unknown.
StreamMedia findStreamMedia(IPC_HANDLE stream);

}  // namespace corvane
