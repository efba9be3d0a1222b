#include "controls/WindowMessages.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QVariant>

#include "plat/qtwindow.h"

namespace {
constexpr const char* kHandleProperty = "_tarnwick_hwnd";
}

plat::WindowHandle AttachWindow(QWidget* widget, plat::WindowProc proc) {
  if (!widget) return 0;
  if (plat::WindowHandle old = WindowHandleOf(widget)) plat::unregisterWindow(old);
  plat::WindowHandle h = plat::registerQtWindow(widget, std::move(proc));
  widget->setProperty(kHandleProperty, QVariant::fromValue<qlonglong>(h));
  return h;
}

plat::WindowHandle WindowHandleOf(const QWidget* widget) {
  if (!widget) return 0;
  QVariant v = widget->property(kHandleProperty);
  if (!v.isValid()) return 0;
  auto h = static_cast<plat::WindowHandle>(v.toLongLong());
  return plat::isWindow(h) ? h : 0;
}

intptr_t SendWidgetMessage(const QWidget* widget, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  plat::WindowHandle h = WindowHandleOf(widget);
  return h ? plat::sendMessage(h, message, wParam, lParam) : 0;
}

bool PostWidgetMessage(const QWidget* widget, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  plat::WindowHandle h = WindowHandleOf(widget);
  return h && plat::postMessage(h, message, wParam, lParam);
}

void PostEscapeTo(QWidget* widget) {
  if (!widget) return;
  QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
}
