#pragma once
// Input as a user's arrives: handed to the shown top-level window through the window-system
// interface, so that Qt's own routing decides who gets it (a modal dialog blocking the window
// under it, an open pop-up taking the click that closes it, the widget holding the mouse
// grab, the focus widget taking keys, shortcuts, focus given by a click). The widget named is
// only where the pointer is; which widget receives the event is the application's business.
//
// Each call fails the test (ADD_FAILURE) when a user could not do it: the widget is missing,
// hidden, or covered at that point by another widget of its window. Calls return once the
// input has been delivered; what it opens modally runs inside the call, as it does for a user.
#include <QPoint>
#include <QString>
#include <Qt>

class QWidget;

namespace harness::routed {

// The widget carrying control id `id` (its objectName) under `parent`, a shown one first.
QWidget* Control(QWidget* parent, int id);

// The middle of `w` when `pos` is not given (a point outside the widget counts as not given).
void Click(QWidget* w, QPoint pos = QPoint(-1, -1), Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void DoubleClick(QWidget* w, QPoint pos = QPoint(-1, -1));
void Press(QWidget* w, QPoint pos = QPoint(-1, -1), Qt::MouseButton button = Qt::LeftButton);
void Release(QWidget* w, QPoint pos = QPoint(-1, -1), Qt::MouseButton button = Qt::LeftButton);
// The pointer moved onto `pos` of `w` (buttons still held stay held).
void Move(QWidget* w, QPoint pos = QPoint(-1, -1));
// A left-button drag from `pos` of `from` to `to` of `target`, in a few moves.
void Drag(QWidget* from, QPoint pos, QWidget* target, QPoint to = QPoint(-1, -1));
// A turn of the wheel over `pos` of `w`: `steps` notches, positive away from the user.
void Wheel(QWidget* w, int steps, QPoint pos = QPoint(-1, -1));
// A key pressed and released on the window holding the keyboard focus (the active window).
void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = QString());
// Text typed key by key into whatever has the focus.
void Type(const QString& text);

void ClickId(QWidget* parent, int id);
void DoubleClickId(QWidget* parent, int id);
void WheelId(QWidget* parent, int id, int steps);

}  // namespace harness::routed
