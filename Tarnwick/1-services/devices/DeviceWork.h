#pragma once
// Device work off the UI thread. Every exchange with a device (login, opening and closing
// channels, PTZ, picture and volume settings, parameter reads and writes, talk, arming,
// searches, downloads, logout, release) runs on that device's own queue: one worker thread
// per device while it has work, so the commands to one device keep their order and a device
// that stops answering delays only its own commands. Each exchange has a total deadline in
// the device libraries, so a queue always moves on. A worker whose queue stays empty for a
// few seconds ends; the next work for the device starts another.
//
// A result comes back to the UI thread as a queued call. The call names what it is about by
// id (a GUID, a window, a request number) and looks the objects up again there; it runs only
// while its owner (a page, a dialog) still lives.
//
// Lifetime of a device: a device leaves the list on the UI thread and is then retired to its
// queue, which drops the work not yet started, lets the work in progress end, and destroys
// the device there. So a job on a device's queue may use that device's pointer for its whole
// run: nothing else deletes it. From its retirement on, the device's queue refuses work, until
// the device is listed again.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace devwork {

// What a page or dialog holds while it wants results: when it is destroyed, results still on
// their way are dropped on arrival.
class Owner {
 public:
  Owner() : alive_(std::make_shared<int>(0)) {}
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  std::weak_ptr<void> Token() const { return alive_; }

 private:
  std::shared_ptr<int> alive_;
};

using Job = std::function<void()>;

// Queues `work` on the device's queue (made on first use). False when the device was retired
// and is not listed again: the work is dropped, and the caller tells its own failure.
bool Run(const std::u16string& guid, Job work);

// Queues `work`; when it has ended, `done` runs on the UI thread with its result, if `owner`
// is still alive then. The result starts as `failed`: a job that throws answers that. False
// as above; nothing runs then, nor when the work is dropped later (its device retired while
// it waited).
template <class R>
bool Run(const std::u16string& guid, std::function<R()> work, std::function<void(R)> done, const Owner& owner,
         R failed);
// As above for work without a result: `done` runs when the work has ended, thrown or not, and
// looks up what it shows again.
bool Run(const std::u16string& guid, Job work, Job done, const Owner& owner);

// As Run with a result, for a caller that waits for the answer (a page showing "busy"): it is
// answered exactly once. When the work is refused, dropped at its device's retirement or
// throws, `done` gets `refused` on the UI thread all the same, later, as an answer would
// come. False when it was refused.
template <class R>
bool Ask(const std::u16string& guid, std::function<R()> work, std::function<void(R)> done, const Owner& owner,
         R refused);

// Queues `work` that lets go of device-layer objects a page made on the device's queue and
// still holds (a playback, a download): unlike other work it is not dropped when the device
// retires later, so it runs before the device is destroyed. Refused like Run once the device
// was retired: its objects went with it.
bool RunRelease(const std::u16string& guid, Job work);

// Runs `fn` on the UI thread later (a queued call); dropped when `owner` is gone by then.
void OnUi(Job fn, const std::weak_ptr<void>& owner);

// The device leaves: queued work that has not started is dropped, then `last` runs on the
// queue after the work in progress (it destroys the device), then the queue's thread ends.
// Work for the GUID is refused from now on.
void Retire(const std::u16string& guid, Job last);

// The device is listed again under the GUID it had when it was retired (a deletion undone):
// its queue takes work again, which starts only once the retired device is gone.
void Reopen(const std::u16string& guid);

// True while the calling thread is a device queue's worker.
bool OnWorker();

// At the program's end, after the devices were retired: waits until every queue has run
// what it holds and its thread has ended (each device call is bounded by its deadline).
// Work posted later makes new queues, for any GUID (none is refused any more).
void Drain();

// Requests queued or running plus results not yet delivered (tests wait for 0).
int Pending();

// Worker threads serving a queue now (tests watch them end when idle).
int Workers();

// How results reach the UI thread; by default a queued call on the application object.
// Tests without an application pass their own.
using UiPoster = std::function<void(Job)>;
void SetUiPoster(UiPoster poster);

// ---- template definition

namespace detail {
// Queues `work`; `done` answers when it returned, `failed` when it threw or was dropped at the
// device's retirement (each on the UI thread while `owner` lives).
bool Post(const std::u16string& guid, Job work, Job done, Job failed, const Owner& owner);
}  // namespace detail

template <class R>
bool Run(const std::u16string& guid, std::function<R()> work, std::function<void(R)> done, const Owner& owner,
         R failed) {
  auto result = std::make_shared<R>(std::move(failed));
  return Run(
      guid, [work = std::move(work), result] { *result = work(); },
      [done = std::move(done), result] { done(std::move(*result)); }, owner);
}

template <class R>
bool Ask(const std::u16string& guid, std::function<R()> work, std::function<void(R)> done, const Owner& owner,
         R refused) {
  auto answer = std::make_shared<std::function<void(R)>>(std::move(done));
  auto result = std::make_shared<R>(refused);
  Job failed = [answer, refused = std::move(refused)] { (*answer)(refused); };
  if (detail::Post(
          guid, [work = std::move(work), result] { *result = work(); },
          [answer, result] { (*answer)(std::move(*result)); }, failed, owner))
    return true;
  OnUi(std::move(failed), owner.Token());
  return false;
}

}  // namespace devwork
