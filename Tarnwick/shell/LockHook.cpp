#include "shell/LockHook.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace {

class LockFilter : public QObject {
 public:
  LockFilter(std::function<bool()> isLocked, std::function<void()> onInput)
      : isLocked_(std::move(isLocked)), onInput_(std::move(onInput)) {}

  bool eventFilter(QObject* watched, QEvent* e) override {
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::NonClientAreaMouseButtonPress:
      case QEvent::KeyPress:
      case QEvent::ShortcutOverride:
        break;
      case QEvent::MouseButtonRelease:
      case QEvent::KeyRelease:
        // The release of a swallowed press is swallowed with it.
        return swallowing_;
      default:
        return QObject::eventFilter(watched, e);
    }
    if (!isLocked_ || !isLocked_()) {
      swallowing_ = false;
      return QObject::eventFilter(watched, e);
    }
    swallowing_ = true;
    if (!pending_) {
      pending_ = true;
      QPointer<LockFilter> self(this);
      QTimer::singleShot(0, this, [self] {
        if (!self) return;
        self->pending_ = false;
        self->swallowing_ = false;
        if (self->onInput_) self->onInput_();
      });
    }
    return true;
  }

 private:
  std::function<bool()> isLocked_;
  std::function<void()> onInput_;
  bool pending_ = false;
  bool swallowing_ = false;
};

// Parented to the application, so a filter whose deferred deletion never ran still goes.
QPointer<LockFilter> gFilter;

}  // namespace

void InstallLockHook(std::function<bool()> isLocked, std::function<void()> onLockedInput) {
  RemoveLockHook();
  gFilter = new LockFilter(std::move(isLocked), std::move(onLockedInput));
  if (qApp) {
    gFilter->setParent(qApp);
    qApp->installEventFilter(gFilter);
  }
}

bool RemoveLockHook() {
  if (!gFilter) return false;
  if (qApp) qApp->removeEventFilter(gFilter);
  // The filter may be the caller (an unlock started from it): delete it once that returns.
  gFilter->deleteLater();
  gFilter = nullptr;
  return true;
}

bool LockHookInstalled() { return !gFilter.isNull(); }
