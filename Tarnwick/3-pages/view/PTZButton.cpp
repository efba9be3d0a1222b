#include "view/PTZButton.h"

#include <QMouseEvent>
#include <QPointer>

#include "view/PtzPanelController.h"

CPTZButton::CPTZButton(QWidget* parent, int controlId) : CBitmapButtonEx(parent, controlId) {}

void CPTZButton::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    // Without the right the press goes no further: no command, no redraw.
    if (!CheckPtzRight()) return;
    if (command_ != 0 && RefreshPtz()) pressed_ = controller_->Press(command_);
  }
  CBitmapButtonEx::mousePressEvent(e);
}

void CPTZButton::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) Stop();
  CBitmapButtonEx::mouseReleaseEvent(e);
}

void CPTZButton::focusOutEvent(QFocusEvent* e) {
  Stop();
  CBitmapButtonEx::focusOutEvent(e);
}

void CPTZButton::hideEvent(QHideEvent* e) {
  Stop();
  CBitmapButtonEx::hideEvent(e);
}

bool CPTZButton::RefreshPtz() { return controller_ && controller_->Bind(); }

void CPTZButton::Stop() {
  if (!pressed_) return;
  pressed_ = false;
  // Only this button's own command: another button's press may have taken over since.
  if (controller_ && controller_->HeldCommand() == command_) controller_->Release();
}
