#include "devices/DeviceWork.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "plat/clock.h"
#include "plat/log.h"
#include "plat/text.h"

namespace devwork {
namespace {

thread_local bool t_onWorker = false;

struct Request {
  Job work;
  Job done;    // empty: nothing goes back to the UI thread
  Job failed;  // an asker's answer instead of `done` when the work threw or was dropped
  std::weak_ptr<void> owner;
  bool release = false;  // kept when the device retires
};

struct Queue {
  std::mutex mu;
  std::condition_variable cv;
  std::deque<Request> jobs;
  bool retiring = false;
  bool stopping = false;
  bool finished = false;  // retired or stopped, and its thread has ended for good
  // A worker thread serves the queue. One whose queue stayed empty for the idle time ends and
  // says so here, under `mu`, so a post either finds it still waiting or starts another.
  bool running = false;
  Job last;
  std::thread thread;
  // The retired queue of the same device, still ending: this one starts after it.
  std::shared_ptr<Queue> before;
  std::u16string guid;
};

// How long a worker waits for work before its thread ends (product milliseconds).
constexpr int kIdleEndMs = 5000;

class Registry {
 public:
  ~Registry() { Drain(); }

  bool Post(const std::u16string& guid, Request request) {
    std::shared_ptr<Queue> queue;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (closed_.count(guid)) return false;
      ReapLocked();
      auto& slot = queues_[guid];
      if (!slot) {
        slot = std::make_shared<Queue>();
        for (auto& old : retired_)
          if (old->guid == guid) slot->before = old;
        slot->guid = guid;
      }
      queue = slot;
      pending_.fetch_add(1);
      std::lock_guard<std::mutex> qlock(queue->mu);
      queue->jobs.push_back(std::move(request));
      StartLocked(queue);
    }
    queue->cv.notify_one();
    return true;
  }

  void Reopen(const std::u16string& guid) {
    std::lock_guard<std::mutex> lock(mu_);
    closed_.erase(guid);
  }

  void Retire(const std::u16string& guid, Job last) {
    std::shared_ptr<Queue> queue;
    {
      std::lock_guard<std::mutex> lock(mu_);
      closed_.insert(guid);
      ReapLocked();
      auto it = queues_.find(guid);
      if (it != queues_.end()) {
        queue = it->second;
        queues_.erase(it);
        retired_.push_back(queue);
      } else {
        // A queue of this device may still be ending from an earlier retirement: the end of
        // this one comes after it.
        for (auto& old : retired_)
          if (old->guid == guid) {
            queue = std::make_shared<Queue>();
            queue->guid = guid;
            queue->before = old;
            retired_.push_back(queue);
            break;
          }
      }
    }
    if (!queue) {
      // The device never had work: nothing of it waits on a device, so it goes at once.
      if (last) last();
      return;
    }
    size_t dropped = 0;
    std::vector<Request> unanswered;
    {
      std::lock_guard<std::mutex> qlock(queue->mu);
      std::deque<Request> kept;
      for (Request& r : queue->jobs) {
        if (r.release) kept.push_back(std::move(r));
        else if (r.failed) unanswered.push_back(std::move(r));
        else ++dropped;
      }
      queue->jobs.swap(kept);
      queue->retiring = true;
      queue->last = std::move(last);
      // Its worker may have ended for want of work: the end needs one.
      StartLocked(queue);
    }
    pending_.fetch_sub(static_cast<int>(dropped));
    queue->cv.notify_one();
    // Whoever waits for an answer to dropped work gets its failure.
    for (Request& r : unanswered) Answer(std::move(r.failed), std::move(r.owner));
  }

  void Drain() {
    std::vector<std::shared_ptr<Queue>> all;
    {
      std::lock_guard<std::mutex> lock(mu_);
      for (auto& [guid, q] : queues_) all.push_back(q);
      queues_.clear();
      for (auto& q : retired_) all.push_back(q);
      retired_.clear();
      // Everything ends here: a device listed again after this starts afresh.
      closed_.clear();
    }
    for (auto& q : all) {
      {
        // Work already queued still runs: it is the stopping of what was open.
        std::lock_guard<std::mutex> qlock(q->mu);
        q->stopping = true;
        // A queue whose worker ended idle holds nothing: it has ended.
        if (!q->running) q->finished = true;
      }
      q->cv.notify_all();
    }
    for (auto& q : all)
      if (q->thread.joinable()) q->thread.join();
  }

  int Pending() const { return pending_.load(); }

  int Workers() {
    std::lock_guard<std::mutex> lock(mu_);
    int n = 0;
    auto count = [&n](const std::shared_ptr<Queue>& q) {
      std::lock_guard<std::mutex> qlock(q->mu);
      if (q->running && !q->finished) ++n;
    };
    for (auto& [guid, q] : queues_) count(q);
    for (auto& q : retired_) count(q);
    return n;
  }

  void Delivered() { pending_.fetch_sub(1); }

  void SetPoster(UiPoster poster) {
    std::lock_guard<std::mutex> lock(mu_);
    poster_ = std::move(poster);
  }

  // False when nothing could take the call: it was dropped.
  bool PostToUi(Job fn) {
    UiPoster poster;
    {
      std::lock_guard<std::mutex> lock(mu_);
      poster = poster_;
    }
    if (poster) {
      poster(std::move(fn));
      return true;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
      // A process without a UI (a tool setting up a program folder) has nobody to tell.
      PLAT_LOGD("devwork", "no application to take a device result; dropped");
      return false;
    }
    return QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
  }

 private:
  // Joins the threads of retired queues that have ended.
  void ReapLocked() {
    for (auto it = retired_.begin(); it != retired_.end();) {
      bool done;
      {
        std::lock_guard<std::mutex> qlock((*it)->mu);
        done = (*it)->finished;
      }
      if (done) {
        if ((*it)->thread.joinable()) (*it)->thread.join();
        it = retired_.erase(it);
      } else {
        ++it;
      }
    }
  }

  // A worker for the queue unless one serves it (its lock held). A worker that ended idle
  // let go of its thread (detached) before it said so, so there is none to join here.
  void StartLocked(const std::shared_ptr<Queue>& q) {
    if (q->running) return;
    q->running = true;
    q->thread = std::thread(&Registry::Work, this, q, q->guid);
  }

  void Work(std::shared_ptr<Queue> q, std::u16string guid) {
    t_onWorker = true;
    if (std::shared_ptr<Queue> before = std::move(q->before)) {
      // Work for a device that was retired and came back waits until the old one is gone.
      std::unique_lock<std::mutex> lock(before->mu);
      before->cv.wait(lock, [&] { return before->finished; });
    }
    for (;;) {
      Request request;
      Job last;
      {
        std::unique_lock<std::mutex> lock(q->mu);
        const bool woken = q->cv.wait_for(lock, plat::scaledDuration(kIdleEndMs),
                                          [&] { return !q->jobs.empty() || q->retiring || q->stopping; });
        if (!woken) {
          // Idle: the thread ends. Decided under the queue's lock, so work posted from here
          // on finds the queue without a worker and starts one; nothing waits unserved.
          q->running = false;
          q->thread.detach();
          return;
        }
        if (q->jobs.empty()) {
          last = std::move(q->last);
          q->last = nullptr;
          if (!last) {
            q->finished = true;
            lock.unlock();
            q->cv.notify_all();  // a successor of the same device may wait for this
            return;
          }
        } else {
          request = std::move(q->jobs.front());
          q->jobs.pop_front();
        }
      }
      if (last) {
        Guarded(guid, last);
        continue;  // the queue is empty and retiring: the next pass ends the thread
      }
      const bool returned = Guarded(guid, request.work);
      Job answer = !returned && request.failed ? std::move(request.failed) : std::move(request.done);
      if (!answer) {
        pending_.fetch_sub(1);
        continue;
      }
      Answer(std::move(answer), std::move(request.owner));
    }
  }

  // Runs `answer` on the UI thread while `owner` lives; the request is then no longer pending.
  void Answer(Job answer, std::weak_ptr<void> owner) {
    const bool posted = PostToUi([this, answer = std::move(answer), owner = std::move(owner)] {
      if (owner.lock()) answer();
      Delivered();
    });
    if (!posted) Delivered();
  }

  // False when the job threw.
  static bool Guarded(const std::u16string& guid, const Job& job) {
    try {
      job();
      return true;
    } catch (const std::exception& e) {
      PLAT_LOGW("devwork", "device %s: work ended by an exception: %s", plat::utf16ToUtf8(guid).c_str(), e.what());
    } catch (...) {
      PLAT_LOGW("devwork", "device %s: work ended by an exception", plat::utf16ToUtf8(guid).c_str());
    }
    return false;
  }

  std::mutex mu_;
  std::map<std::u16string, std::shared_ptr<Queue>> queues_;
  std::vector<std::shared_ptr<Queue>> retired_;
  // GUIDs of devices retired and not listed again: their work is refused.
  std::set<std::u16string> closed_;
  std::atomic<int> pending_{0};
  UiPoster poster_;
};

Registry& Work() {
  static Registry registry;
  return registry;
}

}  // namespace

bool Run(const std::u16string& guid, Job work) { return Work().Post(guid, Request{std::move(work), {}, {}, {}}); }

bool Run(const std::u16string& guid, Job work, Job done, const Owner& owner) {
  return Work().Post(guid, Request{std::move(work), std::move(done), {}, owner.Token()});
}

bool detail::Post(const std::u16string& guid, Job work, Job done, Job failed, const Owner& owner) {
  return Work().Post(guid, Request{std::move(work), std::move(done), std::move(failed), owner.Token()});
}

bool RunRelease(const std::u16string& guid, Job work) {
  return Work().Post(guid, Request{std::move(work), {}, {}, {}, true});
}

void OnUi(Job fn, const std::weak_ptr<void>& owner) {
  (void)Work().PostToUi([fn = std::move(fn), owner] {
    if (owner.lock()) fn();
  });
}

void Retire(const std::u16string& guid, Job last) { Work().Retire(guid, std::move(last)); }

void Reopen(const std::u16string& guid) { Work().Reopen(guid); }

bool OnWorker() { return t_onWorker; }

void Drain() { Work().Drain(); }

int Pending() { return Work().Pending(); }

int Workers() { return Work().Workers(); }

void SetUiPoster(UiPoster poster) { Work().SetPoster(std::move(poster)); }

}  // namespace devwork
