#include "repaint_batch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "plat/qtwindow.h"

namespace plat {
namespace {

constexpr qint64 kRefreshMs = 16;  // a screen's refresh at 60 a second

class RepaintBatch {
 public:
  void request(const QPointer<QWidget>& widget, const void* key) {
    std::shared_ptr<Dispatcher> gui;
    {
      std::lock_guard<std::mutex> lk(mutex_);
      // Told apart by address, never by the widget itself, which may be in its destructor on
      // the GUI thread meanwhile. A new widget at a gone one's address takes its place.
      auto at = std::find_if(waiting_.begin(), waiting_.end(), [key](const Waiting& w) { return w.key == key; });
      if (at != waiting_.end()) at->widget = widget;
      else waiting_.push_back({key, widget});
      if (wakePosted_ || !gui_) return;
      wakePosted_ = true;
      gui = gui_;
    }
    gui->post([this] { arm(); });
  }

  // GUI thread, before a window can ask: the wake goes to the application object, which
  // outlives every window. When it goes, what waits goes with it.
  void prepare() {
    QCoreApplication* app = QCoreApplication::instance();
    std::lock_guard<std::mutex> lk(mutex_);
    if (gui_ || !app) return;
    gui_ = qtDispatcher(app);
    QObject::connect(app, &QObject::destroyed, [this] {
      timer_.reset();
      std::lock_guard<std::mutex> lk(mutex_);
      gui_.reset();
      waiting_.clear();
      wakePosted_ = false;
    });
  }

 private:
  // GUI thread: repaint now when the last repaint is a refresh ago, else at its next refresh.
  void arm() {
    if (!timer_) {
      timer_ = std::make_unique<QTimer>();
      timer_->setSingleShot(true);
      timer_->setTimerType(Qt::PreciseTimer);
      QObject::connect(timer_.get(), &QTimer::timeout, [this] { flush(); });
    }
    if (timer_->isActive()) return;
    const qint64 since = sinceFlush_.isValid() ? sinceFlush_.elapsed() : kRefreshMs;
    if (since >= kRefreshMs) flush();
    else timer_->start(static_cast<int>(kRefreshMs - since));
  }

  void flush() {
    std::vector<Waiting> due;
    {
      std::lock_guard<std::mutex> lk(mutex_);
      due.swap(waiting_);
      wakePosted_ = false;
    }
    sinceFlush_.start();
    for (const Waiting& w : due)
      if (QWidget* widget = w.widget.data()) widget->update();
  }

  struct Waiting {
    const void* key;
    QPointer<QWidget> widget;
  };
  std::mutex mutex_;
  std::vector<Waiting> waiting_;
  bool wakePosted_ = false;
  std::shared_ptr<Dispatcher> gui_;  // null until prepared, and once the application is gone
  // GUI thread only.
  std::unique_ptr<QTimer> timer_;
  QElapsedTimer sinceFlush_;
};

RepaintBatch& batch() {
  static RepaintBatch* b = new RepaintBatch;  // lives as long as any render thread may ask
  return *b;
}

}  // namespace

void prepareRepaints() { batch().prepare(); }

void requestRepaint(const QPointer<QWidget>& widget, const void* key) { batch().request(widget, key); }

}  // namespace plat
