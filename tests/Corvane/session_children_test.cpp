// Closing a session closes its children (streams, then file tasks, then playbacks) through
// the closers their modules register, and their handles leave the lists.
#include <vector>

#include "session/cam_session.h"
#include "session_fixture.h"

using namespace cvtest;
using namespace corvane;

namespace {

std::vector<intptr_t> g_closed;
void closeChild(intptr_t child) { g_closed.push_back(child); }

}  // namespace

namespace corvane {
ChildCloser childCloser(ChildKind kind);
}

// The real closers the stream and file modules registered are put back afterwards, so later
// tests in the same process still close the children of their sessions.
class SessionChildren : public CameraTest {
 protected:
  void SetUp() override {
    CameraTest::SetUp();
    for (ChildKind k : kinds) saved[static_cast<int>(k)] = childCloser(k);
  }
  void TearDown() override {
    for (ChildKind k : kinds) SetChildCloser(k, saved[static_cast<int>(k)]);
    CameraTest::TearDown();
  }
  static constexpr ChildKind kinds[] = {ChildKind::Stream, ChildKind::Playback,
                                        ChildKind::FileTask};
  ChildCloser saved[kChildKinds] = {};
};

TEST_F(SessionChildren, CloseStopsEveryChildInOrder) {
  g_closed.clear();
  for (ChildKind k : {ChildKind::Stream, ChildKind::Playback, ChildKind::FileTask})
    SetChildCloser(k, closeChild);
  IpcLoginInfo li = login(true);
  IPC_HANDLE h = IPC_SessionOpen(&li);
  ASSERT_NE(h, nullptr);
  auto s = findSession(h);
  ASSERT_TRUE(s);
  AddChild(*s, ChildKind::Playback, 31);
  AddChild(*s, ChildKind::Stream, 11);
  AddChild(*s, ChildKind::FileTask, 21);
  AddChild(*s, ChildKind::Stream, 12);
  AddChild(*s, ChildKind::FileTask, 22);
  // A child closed on its own leaves its list and is not closed again.
  EXPECT_TRUE(RemoveChild(*s, ChildKind::FileTask, 22));
  EXPECT_FALSE(RemoveChild(*s, ChildKind::FileTask, 22));
  EXPECT_FALSE(RemoveChild(*s, ChildKind::Stream, 31));
  s.reset();
  ASSERT_EQ(IPC_SessionClose(h), 1);
  EXPECT_EQ(g_closed, (std::vector<intptr_t>{11, 12, 21, 31}));
}

TEST_F(SessionChildren, RaisedEventsReachTheHookWithTheirData) {
  HookLog hooks;  // outlives the session
  IpcLoginInfo li = login(true);
  SessionGuard g{IPC_SessionOpen(&li)};
  ASSERT_NE(g.h, nullptr);
  auto s = findSession(g.h);
  ASSERT_TRUE(s);
  // Without a hook nothing is called and nothing is kept for later.
  RaiseSessionEvent(*s, kIpcEvVideoConnected, nullptr, 0);
  ASSERT_EQ(IPC_SetSessionHook(g.h, &HookLog::hook, &hooks), 1);
  ASSERT_TRUE(hooks.waitCount(kIpcEvControlOpen, 1));
  int token = 0;
  RaiseSessionEvent(*s, kIpcEvRecordClosed, &token, 0);
  auto ev = hooks.events();
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[1].event, kIpcEvRecordClosed);
  EXPECT_EQ(ev[1].data, &token);
  EXPECT_EQ(hooks.count(kIpcEvVideoConnected), 0);
}
