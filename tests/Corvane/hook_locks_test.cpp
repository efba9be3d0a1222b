// Hooks run with no library lock held: while one runs, other threads use the same stream or
// recorder, and the hook itself may snapshot, record and stop its own stream. Clearing a hook
// returns only once a call in progress has ended, so its object may be freed at once.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "avi_readback.h"
#include "record/avi_recorder.h"
#include "stream_fixture.h"

namespace cvtest {
namespace {

// Waits (in real time, generously) for a flag; false when it never came.
bool waitFlag(const std::atomic<bool>& flag, int ms = 5000) {
  for (int i = 0; i < ms / 5 && !flag.load(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return flag.load();
}

// A hook call that holds on until the test lets it go, and notes what happened meanwhile.
struct HeldCall {
  std::atomic<int> calls{0};
  std::atomic<bool> inside{false}, release{false}, otherDone{false}, otherInTime{false};
  // Called in the hook: waits for the other thread's work, then for the release.
  void hold() {
    inside = true;
    otherInTime = waitFlag(otherDone);
    waitFlag(release, 10000);
  }
};

// Clears a hook on another thread while a call holds on until `release`: the clear must wait.
template <typename Clear>
void clearWhileHeld(std::atomic<bool>& release, Clear clear) {
  std::atomic<bool> cleared{false};
  std::thread clearer([&] {
    clear();
    cleared = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(cleared.load()) << "the clear returned while the hook still ran";
  release = true;
  clearer.join();
}

TEST(HookLocks, RecorderHookOfAFileSwitchHoldsNoLockAndItsClearWaits) {
  avitest::TempDir dir;
  corvane::AviRecorder rec;
  auto held = std::make_unique<HeldCall>();
  HeldCall* h = held.get();
  std::thread other;
  rec.SetClosedFileHook([h, &rec, &other](const uint8_t*, size_t) {
    // The first call announces the empty file the first frame closes; the second is the
    // switch on the writer thread.
    if (h->calls.fetch_add(1) != 1) return;
    // Another thread asks the recorder while this hook runs on the writing thread.
    other = std::thread([h, &rec] {
      (void)rec.IsRecording();
      (void)rec.FileName();
      h->otherDone = true;
    });
    h->hold();
    ++h->calls;  // uses its object after the clear was asked for
  });
  ASSERT_EQ(rec.StartRecord(dir.file("cam")), 1);
  std::vector<uint8_t> frame(300, 7);
  ASSERT_EQ(rec.WriteRecordFrame(frame.data(), 300, 2, 0, 704, 576), 1);
  // A new picture size switches files on the writer thread; the hook runs there.
  std::thread writer([&] { rec.WriteRecordFrame(frame.data(), 300, 2, 0, 352, 288); });
  ASSERT_TRUE(waitFlag(h->inside));
  waitFlag(h->otherDone);
  clearWhileHeld(h->release, [&] { rec.SetClosedFileHook(nullptr); });
  writer.join();
  other.join();
  EXPECT_TRUE(h->otherInTime.load()) << "another thread waited for the hook to return";
  held.reset();  // the hook's object goes; no call may come after the clear
  EXPECT_EQ(rec.StopRecord(), 1);
}

class LiveHooks : public MediaTest {};

std::atomic<int> g_osdCalls{0};

// The OSD hook runs on the render thread of a displayed stream.
struct OsdProbe : HeldCall {
  IPC_HANDLE stream = nullptr;
  std::string dir;
  std::atomic<int> snapshot{-1}, record{-1}, stopRecord{-1}, close{-1};
  std::atomic<bool> firstDone{false}, ownDone{false}, heldAgain{false}, releaseAgain{false};
  static void hook(IpcOsdItems*, int, int, void* user) {
    ++g_osdCalls;
    auto* self = static_cast<OsdProbe*>(user);
    const int n = self->calls.fetch_add(1);
    // From the fourth picture on, so there is a drawn picture to snapshot.
    if (n == 3) {
      self->hold();  // the test snapshots from another thread meanwhile
      self->firstDone = true;
    } else if (n == 4 && self->otherInTime) {
      // Its own stream, from its own hook: snapshot, record, stop (refused here).
      self->snapshot = IPC_Snapshot(self->stream, (self->dir + "/own.bmp").c_str());
      self->record = IPC_StartRecord(self->stream, (self->dir + "/own").c_str());
      self->stopRecord = IPC_StopRecord(self->stream);
      self->close = IPC_StreamClose(self->stream);
      self->ownDone = true;
    } else if (n == 5) {
      self->heldAgain = true;  // held again while the test clears the hook
      waitFlag(self->releaseAgain, 10000);
      self->snapshot = 2;  // its object is still there
    }
  }
};

TEST_F(LiveHooks, OsdHookUsesItsOwnStreamAndItsClearWaits) {
  HeadlessWindow w;
  media.setLiveFrames(framesOf(testClip(clipgen::Codec::H264)), true);
  IPC_HANDLE s = openSession();
  IPC_HANDLE h = IPC_StreamOpen(s, 0, w.handle, 1);
  ASSERT_NE(h, nullptr);
  avitest::TempDir dir;
  auto probe = std::make_unique<OsdProbe>();
  probe->stream = h;
  probe->dir = dir.path;
  ASSERT_EQ(IPC_SetOSDHook(h, &OsdProbe::hook, probe.get()), 1);

  // While the hook holds the render thread, a snapshot from here must not wait for it.
  ASSERT_TRUE(waitFlag(probe->inside));
  EXPECT_EQ(IPC_Snapshot(h, (probe->dir + "/other.bmp").c_str()), 1);
  probe->otherDone = true;
  probe->release = true;
  ASSERT_TRUE(waitFlag(probe->firstDone));
  ASSERT_TRUE(probe->otherInTime.load()) << "the snapshot waited for the hook";

  ASSERT_TRUE(waitFlag(probe->ownDone));
  EXPECT_EQ(probe->snapshot.load(), 1);
  EXPECT_EQ(probe->record.load(), 1);
  EXPECT_EQ(probe->stopRecord.load(), 1);
  EXPECT_EQ(probe->close.load(), 0);  // a stream is not closed from its own thread
  EXPECT_TRUE(std::filesystem::exists(dir.path + "/own.bmp"));

  ASSERT_TRUE(waitFlag(probe->heldAgain));  // the third call holds on
  clearWhileHeld(probe->releaseAgain, [&] { IPC_CleanOSDHook(h); });
  const int calls = g_osdCalls.load();
  probe.reset();  // freed at once: the hook never runs again
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(g_osdCalls.load(), calls);
  EXPECT_EQ(IPC_StreamClose(h), 1);
}

}  // namespace
}  // namespace cvtest

namespace cvtest {
namespace {

// A stream hook that, while its own stream is being closed from another thread, opens a
// second stream of the same session: the close holds no session lock while it waits for the
// hook's thread, so neither waits for the other.
struct OpenWhileClosed {
  std::atomic<IPC_HANDLE> session{nullptr};
  std::atomic<IPC_HANDLE> opened{nullptr};
  std::atomic<bool> inside{false}, closing{false}, done{false};
  std::atomic<int> calls{0};
  static void hook(const uint8_t*, int, int, uint32_t, uint32_t, uint32_t, void* user) {
    auto* self = static_cast<OpenWhileClosed*>(user);
    if (self->calls.fetch_add(1) != 0) return;
    self->inside = true;
    waitFlag(self->closing);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the close is under way
    self->opened = IPC_StreamOpen(self->session.load(), 1, 0, 0);
    self->done = true;
  }
};

TEST_F(LiveHooks, StreamClosedWhileItsHookOpensAnotherOfTheSessionDoesNotHang) {
  IPC_HANDLE s = openSession();
  IPC_HANDLE a = IPC_StreamOpen(s, 0, 0, 0);
  ASSERT_NE(a, nullptr);
  OpenWhileClosed probe;
  probe.session = s;
  ASSERT_EQ(IPC_SetStreamHook(a, &OpenWhileClosed::hook, &probe), 1);
  ASSERT_TRUE(waitFlag(probe.inside));
  std::atomic<int> closed{-1};
  std::thread closer([&] {
    probe.closing = true;
    closed = IPC_StreamClose(a);
  });
  // Bounded: a close that waited for the hook while the hook waited for the close's lock
  // would never come back.
  for (int i = 0; i < 4000 && closed.load() == -1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (closed.load() == -1) {
    closer.detach();
    FAIL() << "the close and the hook wait for each other";
  }
  closer.join();
  EXPECT_EQ(closed.load(), 1);
  EXPECT_TRUE(probe.done.load());
  // The stream the hook opened is the session's and closes with it (or by its handle).
  if (IPC_HANDLE b = probe.opened.load()) {
    EXPECT_EQ(IPC_StreamClose(b), 1);
  }
}

}  // namespace
}  // namespace cvtest
