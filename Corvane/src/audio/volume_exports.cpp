#include "Corvane/audio.h"
#include "audio/audio_device.h"
#include "audio/stream_media.h"

extern "C" int IPC_SetVolume(IPC_HANDLE stream, uint32_t volume) {
  auto media = corvane::findStreamMedia(stream);
  return media.audio ? media.audio->SetOutputVolume(volume) : 0;
}

extern "C" uint32_t IPC_GetVolume(IPC_HANDLE stream) {
  auto media = corvane::findStreamMedia(stream);
  return media.audio ? media.audio->GetOutputVolume() : 0;
}
