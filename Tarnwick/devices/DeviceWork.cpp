#include "devices/DeviceWork.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "plat/log.h"
#include "plat/text.h"

namespace devwork {
namespace {

thread_local bool t_onWorker = false;

struct Request {
  Job work;
  Job done;  // empty: nothing goes back to the UI thread
  std::weak_ptr<void> owner;
  bool release = false;  // kept when the device retires
};

struct Queue {
  std::mutex mu;
  std::condition_variable cv;
  std::deque<Request> jobs;
  bool retiring = false;
  bool stopping = false;
  bool finished = false;
  Job last;
  std::thread thread;
  // The retired queue of the same device, still ending: this one starts after it.
  std::shared_ptr<Queue> before;
  std::u16string guid;
};

class Registry {
 public:
  ~Registry() { Drain(); }

  bool Post(const std::u16string& guid, Request request) {
    std::shared_ptr<Queue> queue;
    {
      std::lock_guard<std::mutex> lock(mu_);
      ReapLocked();
      auto& slot = queues_[guid];
      if (!slot) {
        slot = std::make_shared<Queue>();
        for (auto& old : retired_)
          if (old->guid == guid) slot->before = old;
        slot->guid = guid;
        slot->thread = std::thread(&Registry::Work, this, slot, guid);
      }
      queue = slot;
      pending_.fetch_add(1);
      std::lock_guard<std::mutex> qlock(queue->mu);
      queue->jobs.push_back(std::move(request));
    }
    queue->cv.notify_one();
    return true;
  }

  void Retire(const std::u16string& guid, Job last) {
    std::shared_ptr<Queue> queue;
    {
      std::lock_guard<std::mutex> lock(mu_);
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
            queue->thread = std::thread(&Registry::Work, this, queue, guid);
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
    {
      std::lock_guard<std::mutex> qlock(queue->mu);
      std::deque<Request> kept;
      for (Request& r : queue->jobs)
        if (r.release) kept.push_back(std::move(r));
      dropped = queue->jobs.size() - kept.size();
      queue->jobs.swap(kept);
      queue->retiring = true;
      queue->last = std::move(last);
    }
    pending_.fetch_sub(static_cast<int>(dropped));
    queue->cv.notify_one();
  }

  void Drain() {
    std::vector<std::shared_ptr<Queue>> all;
    {
      std::lock_guard<std::mutex> lock(mu_);
      for (auto& [guid, q] : queues_) all.push_back(q);
      queues_.clear();
      for (auto& q : retired_) all.push_back(q);
      retired_.clear();
    }
    for (auto& q : all) {
      {
        // Work already queued still runs: it is the stopping of what was open.
        std::lock_guard<std::mutex> qlock(q->mu);
        q->stopping = true;
      }
      q->cv.notify_one();
    }
    for (auto& q : all)
      if (q->thread.joinable()) q->thread.join();
  }

  int Pending() const { return pending_.load(); }

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
        q->cv.wait(lock, [&] { return !q->jobs.empty() || q->retiring || q->stopping; });
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
      Guarded(guid, request.work);
      if (!request.done) {
        pending_.fetch_sub(1);
        continue;
      }
      const bool posted = PostToUi([this, done = std::move(request.done), owner = std::move(request.owner)] {
        if (owner.lock()) done();
        Delivered();
      });
      if (!posted) Delivered();
    }
  }

  static void Guarded(const std::u16string& guid, const Job& job) {
    try {
      job();
    } catch (const std::exception& e) {
      PLAT_LOGW("devwork", "device %s: work ended by an exception: %s", plat::utf16ToUtf8(guid).c_str(), e.what());
    } catch (...) {
      PLAT_LOGW("devwork", "device %s: work ended by an exception", plat::utf16ToUtf8(guid).c_str());
    }
  }

  std::mutex mu_;
  std::map<std::u16string, std::shared_ptr<Queue>> queues_;
  std::vector<std::shared_ptr<Queue>> retired_;
  std::atomic<int> pending_{0};
  UiPoster poster_;
};

Registry& Work() {
  static Registry registry;
  return registry;
}

}  // namespace

bool Run(const std::u16string& guid, Job work) { return Work().Post(guid, Request{std::move(work), nullptr, {}}); }

bool Run(const std::u16string& guid, Job work, Job done, const Owner& owner) {
  return Work().Post(guid, Request{std::move(work), std::move(done), owner.Token()});
}

bool RunRelease(const std::u16string& guid, Job work) {
  return Work().Post(guid, Request{std::move(work), nullptr, {}, true});
}

void OnUi(Job fn, const std::weak_ptr<void>& owner) {
  (void)Work().PostToUi([fn = std::move(fn), owner] {
    if (owner.lock()) fn();
  });
}

void Retire(const std::u16string& guid, Job last) { Work().Retire(guid, std::move(last)); }

bool OnWorker() { return t_onWorker; }

void Drain() { Work().Drain(); }

int Pending() { return Work().Pending(); }

void SetUiPoster(UiPoster poster) { Work().SetPoster(std::move(poster)); }

}  // namespace devwork
