#include "session/thread_owner.h"

#include <utility>

namespace corvane {

namespace {
thread_local const void* tlOwner = nullptr;
thread_local const CamSession* tlSession = nullptr;
}  // namespace

std::unique_ptr<plat::MessageThread> MakeOwnedThread(const char* name, const void* owner,
                                                     const CamSession* session,
                                                     plat::MessageThread::Body body) {
  return std::make_unique<plat::MessageThread>(
      name, [owner, session, body = std::move(body)] {
        tlOwner = owner;
        tlSession = session;
        body();
        tlOwner = nullptr;
        tlSession = nullptr;
      });
}

bool OnThreadOf(const void* owner) { return owner && tlOwner == owner; }

bool OnSessionThread(const CamSession* session) { return session && tlSession == session; }

}  // namespace corvane
