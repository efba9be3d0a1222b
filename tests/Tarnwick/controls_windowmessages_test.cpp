// Window messages posted from device threads while play windows are made and destroyed.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <memory>
#include <vector>
#include <thread>

#include "controls/WindowMessages.h"
#include "plat/qtvideowidget.h"
#include "plat/surface.h"
#include "plat/window.h"

namespace {

// Each message reaches its window while the widget lives and is dropped once it is gone;
// none is ever handed to a widget that was already freed.
TEST(WindowMessages, PostsFromAnotherThreadWhileWindowsComeAndGo) {
  std::atomic<plat::WindowHandle> current{0};
  std::atomic<bool> done{false};
  std::atomic<int> delivered{0};
  std::thread poster([&] {
    for (int i = 0; i < 50000000 && !done; ++i) plat::postMessage(current.load(), 0x401);
  });
  for (int round = 0; round < 300; ++round) {
    auto* w = new QWidget;
    current = AttachWindow(w, [&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
      ++delivered;
      return 0;
    });
    const int before = delivered;
    for (int k = 0; k < 100000 && delivered == before; ++k) QCoreApplication::processEvents();
    delete w;  // its handle goes with it
  }
  done = true;
  poster.join();
  QCoreApplication::processEvents();
  EXPECT_GT(delivered.load(), 0);
  EXPECT_FALSE(plat::isWindow(current.load()));
}

// A render thread presents to play windows while they are made and destroyed: the repaint
// it asks for never reaches a widget already gone.
TEST(WindowMessages, PresentsFromARenderThreadWhileVideoWindowsComeAndGo) {
  std::atomic<plat::WindowHandle> current{0};
  std::atomic<bool> done{false};
  std::atomic<int> shown{0};
  std::thread render([&] {
    auto display = plat::Display::open();
    if (!display) return;
    auto back = display->createBack(16, 16, true);
    plat::WindowHandle bound = 0;
    std::shared_ptr<plat::PrimarySurface> primary;
    for (int i = 0; i < 50000000 && !done && back; ++i) {
      const plat::WindowHandle h = current.load();
      if (h != bound) {
        primary = display->createPrimary();
        auto clipper = display->createClipper();
        clipper->setWindow(h);
        primary->attachClipper(clipper);
        bound = h;
      }
      if (primary && primary->blit(nullptr, *back, nullptr)) ++shown;
    }
  });
  for (int round = 0; round < 300; ++round) {
    auto* w = new plat::VideoWidget;
    w->resize(16, 16);
    current = w->handle();
    const int before = shown;
    for (int k = 0; k < 100000 && shown == before; ++k) QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    delete w;
  }
  done = true;
  render.join();
  QCoreApplication::processEvents();
  EXPECT_GT(shown.load(), 0);
}

}  // namespace

namespace {

// Counts the paints a widget gets.
class PaintCount : public QObject {
 public:
  explicit PaintCount(QWidget* w) { w->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// Render threads present far faster than a screen refreshes to shown play windows, one of
// which goes away midway: each window is painted at most once a refresh (a present a
// millisecond, asked one by one, would be a paint a millisecond), and every window left ends
// with its last picture painted.
TEST(WindowMessages, RepaintsOfManyRenderThreadsAreGatheredAndNoneIsLost) {
  constexpr int kWindows = 4, kPresents = 300;
  QWidget top;
  top.resize(200, 50);
  std::vector<plat::VideoWidget*> windows;
  std::vector<std::unique_ptr<PaintCount>> counts;
  for (int i = 0; i < kWindows; ++i) {
    windows.push_back(new plat::VideoWidget(&top));
    windows.back()->setGeometry(i * 50, 0, 50, 50);
    counts.push_back(std::make_unique<PaintCount>(windows.back()));
  }
  top.show();
  QCoreApplication::processEvents();
  std::vector<plat::WindowHandle> handles;
  for (auto* w : windows) handles.push_back(w->handle());
  for (auto& c : counts) c->paints = 0;
  std::atomic<int> presented{0};
  std::atomic<int> running{kWindows};
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> render;
  for (int i = 0; i < kWindows; ++i)
    render.emplace_back([&, h = handles[i]] {
      auto display = plat::Display::open();
      auto back = display ? display->createBack(50, 50, true) : nullptr;
      auto primary = display ? display->createPrimary() : nullptr;
      auto clipper = display ? display->createClipper() : nullptr;
      if (back && primary && clipper && clipper->setWindow(h) && primary->attachClipper(clipper))
        for (int k = 0; k < kPresents; ++k) {
          if (primary->blit(nullptr, *back, nullptr)) ++presented;
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      --running;
    });
  const auto until = start + std::chrono::seconds(20);
  while (presented < kWindows * kPresents / 2 && std::chrono::steady_clock::now() < until)
    QCoreApplication::processEvents();
  delete windows[0];
  // The GUI thread keeps turning while the others present, as a program's does.
  while (running > 0 && std::chrono::steady_clock::now() < until) QCoreApplication::processEvents();
  for (auto& t : render) t.join();
  auto allPainted = [&] {
    for (int i = 1; i < kWindows; ++i)
      if (!plat::waitPainted(handles[i], 0)) return false;
    return true;
  };
  while (!allPainted() && std::chrono::steady_clock::now() < until) QCoreApplication::processEvents();
  EXPECT_TRUE(allPainted());
  const auto refreshes =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count() / 16;
  for (int i = 1; i < kWindows; ++i) {
    EXPECT_GE(counts[i]->paints, 1) << i;
    // A busy machine only paints less; one more for the repaint of the gone window's place.
    EXPECT_LE(counts[i]->paints, refreshes + 2) << i << " of " << presented << " presents";
  }
}

}  // namespace
