#include "plat/qtwindow.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QWidget>

namespace plat {
namespace {

class QtDispatcher : public Dispatcher {
 public:
  explicit QtDispatcher(QObject* context) : context_(context) {}
  void post(std::function<void()> fn) override {
    QObject* ctx = context_.data();
    if (!ctx) return;
    QMetaObject::invokeMethod(ctx, std::move(fn), Qt::QueuedConnection);
  }
  bool isOwnerThread() const override {
    QObject* ctx = context_.data();
    return ctx && QThread::currentThread() == ctx->thread();
  }

 private:
  QPointer<QObject> context_;
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
