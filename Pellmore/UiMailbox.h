#pragma once
// Where the session's queue hands results back to a window: a call posted from any thread runs
// later on the window's (UI) thread, as long as the window lives. The window closes its
// mailbox when it goes; what is posted after that, or still waiting, is dropped with it.
#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

namespace pellmore {

class UiMailbox {
 public:
  explicit UiMailbox(QObject* owner) : owner_(owner) {}

  // Any thread. The owner cannot go while a call is being posted to it.
  void Post(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (owner_) QMetaObject::invokeMethod(owner_, std::move(call), Qt::QueuedConnection);
  }
  // The owner's thread, before the owner goes.
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    owner_ = nullptr;
  }

 private:
  std::mutex mutex_;
  QObject* owner_;
};

}  // namespace pellmore
