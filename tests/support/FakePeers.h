#pragma once
// Fake peers: a camera or recorder on 127.0.0.1 that accepts every connection and then does
// not answer as it should (the `deadpeer` library of tools/deadpeer; link it, the program
// `deadpeer` serves the same from outside):
//
//   // a recorder whose login is answered and whose later replies come a byte every 0.25 s
//   // of product time (the peer itself counts real time)
//   deadpeer::Peer peer(testsupport::PeerOptions(deadpeer::Device::Recorder,
//                                                deadpeer::Mode::Trickle, 1, 250));
//   ASSERT_TRUE(peer.start());                 // a free port: peer.port()
//
// and a call that may hang on such a peer, bounded in real time:
//
//   auto r = testsupport::CallWithin([&] { return QX_DVR_Login(...); }, peer);
//   EXPECT_TRUE(r.ended);                      // it ended by itself within the patience
//   EXPECT_EQ(r.value, -1);
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "deadpeer/peer.h"
#include "deadpeer/replies.h"
#include "support/Wait.h"

namespace testsupport {

// Options of a peer of `device` in `mode` that answers each connection's first `answerFirst`
// requests as the device would; a trickle's interval is given in product time and scaled by
// the time scale in force now.
inline deadpeer::Options PeerOptions(deadpeer::Device device, deadpeer::Mode mode,
                                     int answerFirst = 0, int productIntervalMs = 250) {
  deadpeer::Options o;
  o.device = device;
  o.mode = mode;
  o.answerFirst = answerFirst;
  o.intervalMs = plat::scaled(productIntervalMs);
  return o;
}

template <typename T>
struct Bounded {
  bool ended = false;  // the call returned by itself within the bound
  T value{};
};

// Runs `call` on a thread of its own and waits up to realMs for it. A call still running then
// is freed by stopping the peer (its connections end), so the test never hangs; `ended` tells
// which way it went.
template <typename Call>
auto CallWithin(Call&& call, deadpeer::Peer& peer, int realMs = kPatienceMs)
    -> Bounded<decltype(call())> {
  using T = decltype(call());
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  T value{};
  std::thread t([&] {
    T v = call();
    std::lock_guard<std::mutex> lock(m);
    value = v;
    done = true;
    cv.notify_all();
  });
  Bounded<T> out;
  {
    std::unique_lock<std::mutex> lock(m);
    out.ended = cv.wait_for(lock, std::chrono::milliseconds(realMs), [&] { return done; });
  }
  if (!out.ended) peer.stop();
  t.join();
  out.value = value;
  return out;
}

}  // namespace testsupport
