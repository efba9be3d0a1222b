#include "plat/qtwindow.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QWidget>
#include <mutex>

namespace plat {
namespace {

class QtDispatcher : public Dispatcher {
 public:
  explicit QtDispatcher(QObject* context) : state_(std::make_shared<State>()) {
    state_->context = context;
    if (!context) return;
    // Cleared on the owner thread while the object still exists, so a post from another
    // thread either reaches a live object (whose destructor then drops the event) or none.
    std::weak_ptr<State> weak = state_;
    QObject::connect(context, &QObject::destroyed, [weak] {
      if (auto s = weak.lock()) {
        std::lock_guard<std::mutex> lk(s->mutex);
        s->context = nullptr;
      }
    });
  }
  void post(std::function<void()> fn) override {
    std::lock_guard<std::mutex> lk(state_->mutex);
    if (!state_->context) return;
    QMetaObject::invokeMethod(state_->context, std::move(fn), Qt::QueuedConnection);
  }
  bool isOwnerThread() const override {
    std::lock_guard<std::mutex> lk(state_->mutex);
    return state_->context && QThread::currentThread() == state_->context->thread();
  }

 private:
  struct State {
    std::mutex mutex;
    QObject* context = nullptr;
  };
  std::shared_ptr<State> state_;
};

}  // namespace

std::shared_ptr<Dispatcher> qtDispatcher(QObject* context) {
  return std::make_shared<QtDispatcher>(context);
}

WindowHandle registerQtWindow(QWidget* widget, WindowProc proc) {
  WindowHandle h = registerWindow(std::move(proc), qtDispatcher(widget));
  QObject::connect(widget, &QObject::destroyed, [h] { unregisterWindow(h); });
  return h;
}

}  // namespace plat
