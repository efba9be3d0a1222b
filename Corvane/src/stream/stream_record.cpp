// The recorder of a live stream: closed files go to the session's hook as event 10 and the
// recording icon to the player.
#include "record/avi_recorder.h"
#include "session/cam_session.h"
#include "stream/live_stream.h"

namespace corvane {

void setPlayerRecordingIcon(VideoPlayer& player, bool on);

std::shared_ptr<AviRecorder> makeStreamRecorder(CamSession& session,
                                                const std::shared_ptr<VideoPlayer>& player) {
  auto recorder = std::make_shared<AviRecorder>();
  CamSession* s = &session;
  recorder->SetClosedFileHook([s](const uint8_t* record, size_t) {
    RaiseSessionEvent(*s, kIpcEvRecordClosed, const_cast<uint8_t*>(record), 0);
  });
  if (player) {
    std::weak_ptr<VideoPlayer> weak = player;
    recorder->SetOsdHook([weak](bool on) {
      if (auto p = weak.lock()) setPlayerRecordingIcon(*p, on);
    });
  }
  return recorder;
}

int recordFrame(AviRecorder& recorder, const uint8_t* data, uint32_t length, int type,
                int keyFlag, int width, int height) {
  return recorder.WriteRecordFrame(data, length, type, keyFlag, width, height);
}

void shutdownRecorder(AviRecorder& recorder) { recorder.Shutdown(); }

}  // namespace corvane
