// The live stream exports. Handles are looked up on every call; a stream belongs to its
// session's stream list from open to close.
#include <cstring>
#include <new>

#include "plat/log.h"
#include "session/thread_owner.h"
#include "stream/live_stream.h"

namespace corvane {
namespace {

// Stops and frees a stream already taken off its session's list.
void destroyStream(intptr_t handle) {
  auto stream = liveStreams().remove(handle);
  if (stream) stream->stop();
}

struct RegisterCloser {
  RegisterCloser() { SetChildCloser(ChildKind::Stream, destroyStream); }
} g_registerCloser;

}  // namespace
}  // namespace corvane

using namespace corvane;

extern "C" IPC_HANDLE IPC_StreamOpen(IPC_HANDLE session, uint16_t streamNumber, intptr_t window,
                                     int display) {
  auto s = findSession(session);
  if (!s || s->closing.load()) return nullptr;
  std::shared_ptr<LiveStream> stream;
  try {
    stream = std::make_shared<LiveStream>(s, streamNumber, display != 0);
  } catch (const std::bad_alloc&) {
    // The stream's buffers are mapped as it is made: a process short of address space fails
    // this open, never its caller across the C boundary.
    PLAT_LOGW("corvane", "stream %u not opened: no memory for its buffers", streamNumber);
    return nullptr;
  }
  const intptr_t h = liveStreams().add(stream);
  auto* handle = reinterpret_cast<IPC_HANDLE>(h);
  stream->start(handle, window);
  if (!AddChild(*s, ChildKind::Stream, h)) {
    destroyStream(h);  // the session closed meanwhile
    return nullptr;
  }
  return handle;
}

extern "C" int IPC_StreamClose(IPC_HANDLE stream) {
  auto st = findLiveStream(stream);
  if (!st) return 0;
  if (OnThreadOf(st.get())) {
    PLAT_LOGW("corvane", "a stream cannot be closed from its own hook");
    return 0;
  }
  // Whoever takes the stream off its session's list (this close or the session's) stops it,
  // holding the child-list event until it is destroyed.
  // The session outlives the turn, whatever the stream's destruction lets go of.
  const std::shared_ptr<CamSession> session = st->sessionRef();
  ChildListTurn turn(*session, "a stream's close");
  if (!RemoveChild(*session, ChildKind::Stream, reinterpret_cast<intptr_t>(stream))) return 0;
  st.reset();
  destroyStream(reinterpret_cast<intptr_t>(stream));
  return 1;
}

extern "C" int IPC_StreamGetNet(IPC_HANDLE stream, void* loginInfo) {
  auto st = findLiveStream(stream);
  if (!st || !loginInfo) return 0;
  std::memcpy(loginInfo, &st->session().login, kIpcLoginInfoSize);
  return 1;
}

extern "C" int IPC_StreamAudio(IPC_HANDLE stream, int on) {
  auto st = findLiveStream(stream);
  if (!st) return 0;
  st->setAudio(on != 0);
  return 1;
}

extern "C" int IPC_StartSpeak(IPC_HANDLE stream, int on) {
  auto st = findLiveStream(stream);
  if (!st) return 0;
  st->setSpeak(on != 0);
  return 1;
}

extern "C" int IPC_SetStreamHook(IPC_HANDLE stream, IpcStreamHook hook, void* user) {
  auto st = findLiveStream(stream);
  if (!st) return 0;
  st->setStreamHook(hook, user);
  return 1;
}

extern "C" int IPC_CleanStreamHook(IPC_HANDLE stream) {
  return IPC_SetStreamHook(stream, nullptr, nullptr);
}

extern "C" int IPC_SetOSDHook(IPC_HANDLE stream, IpcOsdHook hook, void* user) {
  auto st = findLiveStream(stream);
  if (!st) return 0;
  st->setOsdHook(hook, user);
  return 1;
}

extern "C" int IPC_CleanOSDHook(IPC_HANDLE stream) {
  return IPC_SetOSDHook(stream, nullptr, nullptr);
}
