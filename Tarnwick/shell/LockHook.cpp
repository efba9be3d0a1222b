#include "shell/LockHook.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace {

// Everything a person at the screen can send: mouse, wheel, keys, touch, tablet, hover and
// context-menu events, input-method text, shortcuts, drag and drop.
bool IsInput(const QEvent* e) {
  if (e->isInputEvent()) return true;
  switch (e->type()) {
    case QEvent::InputMethod:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
    case QEvent::Gesture:
    case QEvent::GestureOverride:
      return true;
    default:
      return false;
  }
}

// The inputs that ask for the unlock.
bool AsksToUnlock(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
      return true;
    default:
      return false;
  }
}

class LockFilter : public QObject {
 public:
  LockFilter(std::function<bool()> isLocked, std::function<void()> onInput)
      : isLocked_(std::move(isLocked)), onInput_(std::move(onInput)) {}

  bool eventFilter(QObject* watched, QEvent* e) override {
    if (!IsInput(e) || !isLocked_ || !isLocked_()) return QObject::eventFilter(watched, e);
    // Locked, no input reaches any window: a wheel over a slider or text from an input
    // method would change a device or a field as surely as a click.
    if (AsksToUnlock(e->type()) && !pending_) {
      pending_ = true;
      QPointer<LockFilter> self(this);
      QTimer::singleShot(0, this, [self] {
        if (!self) return;
        self->pending_ = false;
        if (self->onInput_) self->onInput_();
      });
    }
    return true;
  }

 private:
  std::function<bool()> isLocked_;
  std::function<void()> onInput_;
  bool pending_ = false;
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
