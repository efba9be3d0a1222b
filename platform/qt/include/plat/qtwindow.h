#pragma once
// Window messages for Qt widgets: a dispatcher that runs closures on the Qt (GUI) thread,
// and a helper that registers a widget as a plat window for as long as the widget lives.
#include <QObject>
#include <memory>

#include "plat/window.h"

class QWidget;

namespace plat {

// Runs closures on the thread of `context` (the GUI thread for widgets) through the Qt
// event loop; closures posted after `context` is destroyed are dropped.
std::shared_ptr<Dispatcher> qtDispatcher(QObject* context);

// Registers `widget` with `proc`; the handle is unregistered when the widget is destroyed.
WindowHandle registerQtWindow(QWidget* widget, WindowProc proc);

}  // namespace plat
