// Window messages posted from device threads while play windows are made and destroyed.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <atomic>
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
