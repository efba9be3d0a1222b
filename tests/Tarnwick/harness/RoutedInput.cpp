#include "harness/RoutedInput.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <QtTest/qtestkeyboard.h>
#include <QtTest/qtestmouse.h>
#include <QtTest/qtestspontaneevent.h>

namespace harness::routed {

namespace {

std::string Name(QWidget* w) {
  if (!w) return "(none)";
  const QString name = w->objectName();
  return (name.isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : name).toStdString();
}

// Where the pointer goes: the point in the widget, its top-level window and the point there.
// Null when a user could not put the pointer on that widget (the failure said).
struct Target {
  QWindow* window = nullptr;
  QPoint inWindow;
};

Target Aim(QWidget* w, QPoint& pos, const char* what) {
  if (!w) {
    ADD_FAILURE() << what << " on a missing widget";
    return {};
  }
  if (!w->rect().contains(pos)) pos = w->rect().center();
  if (!w->isVisible()) {
    ADD_FAILURE() << what << " on widget " << Name(w) << ", which is not shown";
    return {};
  }
  QWidget* top = w->window();
  const QPoint local = w->mapTo(top, pos);
  QWidget* hit = top->childAt(local);
  if (!hit) hit = top;
  if (hit != w && !w->isAncestorOf(hit)) {
    ADD_FAILURE() << what << " on widget " << Name(w) << " at (" << pos.x() << "," << pos.y()
                  << "), where the user sees " << Name(hit);
    return {};
  }
  QWindow* window = top->windowHandle();
  if (!window) {
    ADD_FAILURE() << what << " on widget " << Name(w) << " whose window has no native window";
    return {};
  }
  // A click on a window that does not have the focus makes it the active one, as the
  // window manager does; pop-ups never take the focus.
  if (top->windowType() != Qt::Popup && top->windowType() != Qt::ToolTip && QGuiApplication::focusWindow() != window &&
      !QApplication::activePopupWidget() && (!QApplication::activeModalWidget() || QApplication::activeModalWidget() == top))
    window->requestActivate();
  return {window, local};
}

// The window the keyboard's input goes to: the active one (a pop-up takes it from there, by
// Qt's own routing), or the one a user would see on top when nothing is active.
QWindow* KeyWindow() {
  if (QWindow* w = QGuiApplication::focusWindow()) return w;
  QWidget* top = QApplication::activePopupWidget();
  if (!top) top = QApplication::activeModalWidget();
  if (!top) top = QApplication::activeWindow();
  return top ? top->windowHandle() : nullptr;
}

}  // namespace

QWidget* Control(QWidget* parent, int id) {
  if (!parent) {
    ADD_FAILURE() << "no parent to look for control " << id << " in";
    return nullptr;
  }
  QWidget* found = nullptr;
  for (QWidget* w : parent->findChildren<QWidget*>(QString::number(id))) {
    if (w->isVisible()) return w;
    if (!found) found = w;
  }
  if (!found) ADD_FAILURE() << "no control " << id << " in " << Name(parent);
  return found;
}

void Click(QWidget* w, QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
  const Target t = Aim(w, pos, "click");
  if (!t.window) return;
  QTest::mouseMove(t.window, t.inWindow);
  QTest::mouseClick(t.window, button, modifiers, t.inWindow);
}

void DoubleClick(QWidget* w, QPoint pos) {
  const Target t = Aim(w, pos, "double click");
  if (!t.window) return;
  QTest::mouseMove(t.window, t.inWindow);
  // Press, release, press, release at one place within the double-click time: the second
  // press arrives as a double click.
  QTest::mouseDClick(t.window, Qt::LeftButton, Qt::NoModifier, t.inWindow);
}

void Press(QWidget* w, QPoint pos, Qt::MouseButton button) {
  const Target t = Aim(w, pos, "press");
  if (!t.window) return;
  QTest::mouseMove(t.window, t.inWindow);
  QTest::mousePress(t.window, button, Qt::NoModifier, t.inWindow);
}

void Release(QWidget* w, QPoint pos, Qt::MouseButton button) {
  if (!w) {
    ADD_FAILURE() << "release on a missing widget";
    return;
  }
  // A release goes where the pointer is, even over a widget covering the one pressed: the
  // widget holding the grab gets it through Qt's routing.
  if (!w->rect().contains(pos)) pos = w->rect().center();
  QWidget* top = w->window();
  if (QWindow* window = top->windowHandle())
    QTest::mouseRelease(window, button, Qt::NoModifier, w->mapTo(top, pos));
}

void Move(QWidget* w, QPoint pos) {
  if (!w) {
    ADD_FAILURE() << "move onto a missing widget";
    return;
  }
  if (!w->rect().contains(pos)) pos = w->rect().center();
  QWidget* top = w->window();
  if (QWindow* window = top->windowHandle()) QTest::mouseMove(window, w->mapTo(top, pos));
}

void Drag(QWidget* from, QPoint pos, QWidget* target, QPoint to) {
  Press(from, pos, Qt::LeftButton);
  if (!from || !target) return;
  if (!from->rect().contains(pos)) pos = from->rect().center();
  if (!target->rect().contains(to)) to = target->rect().center();
  // The pointer travels in steps, each far enough for the drag distance.
  const QPoint start = from->mapToGlobal(pos), end = target->mapToGlobal(to);
  QWidget* top = from->window();
  QWindow* window = top->windowHandle();
  if (!window) return;
  constexpr int kSteps = 6;
  for (int i = 1; i <= kSteps; ++i) {
    const QPoint at = start + (end - start) * i / kSteps;
    QTest::mouseMove(window, top->mapFromGlobal(at));
  }
  QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, top->mapFromGlobal(end));
}

void Wheel(QWidget* w, int steps, QPoint pos) {
  const Target t = Aim(w, pos, "wheel");
  if (!t.window) return;
  QTest::mouseMove(t.window, t.inWindow);
  // What the window system hands over for a notch: 120 eighths of a degree, to the window
  // under the pointer, which finds the widget there (or the one that grabbed the mouse).
  QWheelEvent e(QPointF(t.inWindow), QPointF(t.window->mapToGlobal(t.inWindow)), QPoint(), QPoint(0, 120 * steps),
                QGuiApplication::mouseButtons(), QGuiApplication::keyboardModifiers(), Qt::NoScrollPhase, false);
  QSpontaneKeyEvent::setSpontaneous(&e);
  QCoreApplication::sendEvent(t.window, &e);
  QCoreApplication::processEvents();
}

void Key(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
  QPointer<QWindow> window = KeyWindow();
  if (!window) {
    ADD_FAILURE() << "a key pressed with no window to take it";
    return;
  }
  qt_handleKeyEvent(window, QEvent::KeyPress, key, modifiers, text);
  QCoreApplication::processEvents();
  if (!window) window = KeyWindow();
  if (window) qt_handleKeyEvent(window, QEvent::KeyRelease, key, modifiers, text);
  QCoreApplication::processEvents();
}

void Type(const QString& text) {
  for (QChar c : text) Key(0, Qt::NoModifier, QString(c));
}

void ClickId(QWidget* parent, int id) { Click(Control(parent, id)); }
void DoubleClickId(QWidget* parent, int id) { DoubleClick(Control(parent, id)); }
void WheelId(QWidget* parent, int id, int steps) { Wheel(Control(parent, id), steps); }

}  // namespace harness::routed
