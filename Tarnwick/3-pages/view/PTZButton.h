#pragma once
// An image button of the PTZ panel: pressing it starts its PTZ command on the channel the
// user watches, releasing it stops that command. The release also comes when the mouse is let
// go outside the button and when the button loses the focus, so the head never keeps moving.
#include "controls/BitmapButtonEx.h"

class CPtzController;

class CPTZButton : public CBitmapButtonEx {
  Q_OBJECT
 public:
  explicit CPTZButton(QWidget* parent = nullptr, int controlId = 0);

  void SetCommand(int command) { command_ = command; }
  int GetCommand() const { return command_; }
  void SetController(CPtzController* controller) { controller_ = controller; }
  // Binds the PTZ target of the panel for the press that follows: the channel of the active
  // play window, logged in and previewing. False when there is none. A release stops what
  // its press started, on that press's channel, so it binds nothing new.
  bool RefreshPtz();

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void Stop();

  CPtzController* controller_ = nullptr;
  int command_ = 0;
  bool pressed_ = false;
};
