#include "Corvane/record.h"
#include "audio/stream_media.h"
#include "record/avi_recorder.h"

extern "C" int IPC_StartRecord(IPC_HANDLE stream, const char* baseName) {
  if (!baseName) return 0;
  auto media = corvane::findStreamMedia(stream);
  return media.recorder ? media.recorder->StartRecord(baseName) : 0;
}

extern "C" int IPC_StopRecord(IPC_HANDLE stream) {
  auto media = corvane::findStreamMedia(stream);
  return media.recorder ? media.recorder->StopRecord() : 0;
}
