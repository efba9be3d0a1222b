#pragma once
// Every thread of a session, stream or playback knows whose it is. A close asked from a hook
// running on one of them could never wait for that thread to end, and freeing the object
// under it would leave the thread running in freed memory; such a close is refused instead.
#include <memory>

#include "plat/msgthread.h"

namespace corvane {

struct CamSession;

// A thread of `owner` (a stream, a playback or the session itself) belonging to `session`.
std::unique_ptr<plat::MessageThread> MakeOwnedThread(const char* name, const void* owner,
                                                     const CamSession* session,
                                                     plat::MessageThread::Body body);

// True on a thread made for `owner`.
bool OnThreadOf(const void* owner);
// True on any thread of the session or of one of its children.
bool OnSessionThread(const CamSession* session);

}  // namespace corvane
