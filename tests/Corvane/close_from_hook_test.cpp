// Closes asked from a hook that runs on the object's own thread, and opens that race a session
// close: the object must never be freed under a thread that is still running in it, and no
// child may outlive its session.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "dvrfile/playback.h"
#include "session/cam_session.h"
#include "stream/live_stream.h"
#include "stream_fixture.h"

namespace cvtest {
namespace {

// A stream hook that closes something once, on the stream's receive thread.
struct CloseInHook {
  std::atomic<IPC_HANDLE> target{nullptr};
  int (*close)(IPC_HANDLE) = nullptr;
  std::atomic<int> result{-1};
  std::atomic<int> calls{0};
  static void hook(const uint8_t*, int, int, uint32_t, uint32_t, uint32_t, void* user) {
    auto* self = static_cast<CloseInHook*>(user);
    if (self->calls.fetch_add(1) == 0) self->result.store(self->close(self->target.load()));
  }
};

class CloseFromHook : public MediaTest {
 protected:
  // Runs `close` on the first frame's hook call and checks that the stream lives on and
  // closes normally afterwards.
  void closeOnFirstFrame(int (*close)(IPC_HANDLE), bool closeSession) {
    IPC_HANDLE s = openSession();
    IPC_HANDLE h = IPC_StreamOpen(s, 0, 0, 0);
    ASSERT_NE(h, nullptr);
    CloseInHook c;
    c.close = close;
    c.target.store(closeSession ? s : h);
    ASSERT_EQ(IPC_SetStreamHook(h, CloseInHook::hook, &c), 1);
    ASSERT_TRUE(cam.waitUntil([&] { return c.result.load() != -1; }));
    EXPECT_EQ(c.result.load(), 0);
    // The stream's thread is still at work and the handle still valid.
    ASSERT_TRUE(cam.waitUntil([&] { return c.calls.load() >= 3; }));
    EXPECT_TRUE(corvane::findLiveStream(h));
    EXPECT_EQ(IPC_StreamClose(h), 1);
    // The session too was left open by the refused close; each round ends with its own.
    guard.h = nullptr;
    EXPECT_EQ(IPC_SessionClose(s), 1);
  }
};

TEST_F(CloseFromHook, StreamOrItsSessionClosedFromTheStreamHookIsRefused) {
  closeOnFirstFrame(IPC_StreamClose, false);
  closeOnFirstFrame(IPC_SessionClose, true);
}

// A session hook that closes the playback when the playback's receive thread reports that a
// request could not be sent.
struct PlaybackCloser {
  HookLog log;
  std::atomic<IPC_HANDLE> playback{nullptr};
  std::atomic<int> result{-1};
  static void hook(int event, void* data, int length, void* user) {
    auto* self = static_cast<PlaybackCloser*>(user);
    if (event == kIpcEvPlaybackNotSent && self->playback.load())
      self->result.store(IPC_DvrPlayBackClose(self->playback.load()));
    HookLog::hook(event, data, length, &self->log);
  }
};

TEST_F(CloseFromHook, PlaybackClosedFromItsReceiveThreadIsRefused) {
  cam.setRefuse(0xFF08, true);
  PlaybackCloser closer;
  IpcLoginInfo li = login(true);
  guard.h = IPC_SessionOpen(&li);
  ASSERT_NE(guard.h, nullptr);
  ASSERT_EQ(IPC_SetSessionHook(guard.h, PlaybackCloser::hook, &closer), 1);
  HeadlessWindow w;
  IPC_HANDLE p = IPC_DvrPlayBackOpen(guard.h, w.handle, nullptr);
  ASSERT_NE(p, nullptr);
  ASSERT_TRUE(closer.log.waitCount(kIpcEvPlaybackNotOpened, 1));
  closer.playback.store(p);
  IpcPlaybackRequest req{};
  ASSERT_EQ(IPC_DvrPlayBackOpenFile(p, &req), 1);
  ASSERT_TRUE(closer.log.waitCount(kIpcEvPlaybackNotSent, 1));
  EXPECT_EQ(closer.result.load(), 0);
  EXPECT_TRUE(corvane::playbacks().find(reinterpret_cast<intptr_t>(p)));
  closer.playback.store(nullptr);
  EXPECT_EQ(IPC_DvrPlayBackClose(p), 1);
  ASSERT_TRUE(closer.log.waitCount(kIpcEvPlaybackEnded, 1));
  // The hook's object ends with this test: the session and its threads must end first.
  IPC_HANDLE session = guard.h;
  guard.h = nullptr;
  EXPECT_EQ(IPC_SessionClose(session), 1);
}

// A session hook that turns the audio off on the audio thread's own "connected" event, then
// holds that thread until the stream's close returns (or, when the close rightly waits for
// it, for a bounded while).
struct AudioOffInHook {
  std::mutex m;
  std::condition_variable cv;
  bool asked = false, closeReturned = false, hookDone = false;
  int result = -1;
  static void hook(int event, void* data, int, void* user) {
    if (event != kIpcEvAudioConnected) return;
    auto* self = static_cast<AudioOffInHook*>(user);
    const int r = IPC_StreamAudio(static_cast<IPC_HANDLE>(data), 0);
    std::unique_lock<std::mutex> lk(self->m);
    self->result = r;
    self->asked = true;
    self->cv.notify_all();
    self->cv.wait_for(lk, std::chrono::milliseconds(500), [&] { return self->closeReturned; });
    self->hookDone = true;
  }
};

TEST_F(CloseFromHook, AudioStoppedFromItsOwnThreadIsJoinedByTheClose) {
  AudioOffInHook off;
  IpcLoginInfo li = login(true);
  guard.h = IPC_SessionOpen(&li);
  ASSERT_NE(guard.h, nullptr);
  ASSERT_EQ(IPC_SetSessionHook(guard.h, AudioOffInHook::hook, &off), 1);
  IPC_HANDLE h = IPC_StreamOpen(guard.h, 0, 0, 0);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(IPC_StreamAudio(h, 1), 1);
  {
    std::unique_lock<std::mutex> lk(off.m);
    ASSERT_TRUE(off.cv.wait_for(lk, std::chrono::seconds(20), [&] { return off.asked; }));
  }
  EXPECT_EQ(off.result, 1);
  // Once the close returns, no thread of the stream runs any more: the audio thread that
  // was told to stop from its own hook included.
  EXPECT_EQ(IPC_StreamClose(h), 1);
  {
    std::lock_guard<std::mutex> lk(off.m);
    EXPECT_TRUE(off.hookDone);
    off.closeReturned = true;
    off.cv.notify_all();
  }
  // The hook's object ends with this test: the session and its threads must end first.
  IPC_HANDLE session = guard.h;
  guard.h = nullptr;
  EXPECT_EQ(IPC_SessionClose(session), 1);
}

TEST_F(CloseFromHook, NoChildJoinsASessionOnceItCloses) {
  IPC_HANDLE h = openSession();
  auto s = corvane::findSession(h);
  ASSERT_TRUE(s);
  EXPECT_TRUE(corvane::AddChild(*s, corvane::ChildKind::FileTask, 5));
  EXPECT_TRUE(corvane::RemoveChild(*s, corvane::ChildKind::FileTask, 5));
  guard.h = nullptr;
  ASSERT_EQ(IPC_SessionClose(h), 1);
  // An open that lost the race against the close is told so and closes its child itself;
  // a child listed now would never be closed.
  for (auto kind : {corvane::ChildKind::Stream, corvane::ChildKind::Playback,
                    corvane::ChildKind::FileTask})
    EXPECT_FALSE(corvane::AddChild(*s, kind, 7));
  for (const auto& list : s->children) EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace cvtest
