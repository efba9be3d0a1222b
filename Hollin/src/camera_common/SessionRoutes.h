#pragma once
// Which preview of a camera session an event belongs to. A camera session has one hook, but
// several previews (main and sub stream, several windows) may share the session: the hook
// is installed while at least one preview is attached, and each stream event goes to
// the preview whose stream it names. The talk operations of a login find their stream here
// too: the stream most recently opened on that login's own session.
#include <cstdint>

#include "Hollin/Interfaces.h"

namespace hollin {

class CameraPreview;

namespace routes {

// The session hook delivers the preview's events from now on.
void Attach(DevHandle session, CameraPreview* preview);
void Detach(DevHandle session, CameraPreview* preview);
// Marks the preview that is opening a stream: events for a stream nobody owns yet go to it.
void SetOpening(DevHandle session, CameraPreview* preview);
// The preview's stream changed (0: closed); started is true for a fresh open.
void StreamChanged(DevHandle session, CameraPreview* preview, DevHandle stream, bool started);
// The most recently opened stream of the session that is still open; 0 for none.
DevHandle LastStream(DevHandle session);
// The live preview with this token, or null (UI thread only: previews die on it).
CameraPreview* FindByToken(uintptr_t token);

}  // namespace routes
}  // namespace hollin
