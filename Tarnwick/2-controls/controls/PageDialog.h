#pragma once
// A child page of a window (the main window's pages, the settings page's sub-pages): made
// hidden inside its parent, initialised once when created, reached by window messages
// through its plat window handle. Enter is swallowed and Esc passed up to the parent.
#include <QWidget>
#include <cstdint>

#include "controls/WindowMessages.h"

class CPageDialog : public QWidget {
  Q_OBJECT
 public:
  explicit CPageDialog(int templateId);
  ~CPageDialog() override;

  int TemplateId() const { return templateId_; }
  // Makes the page a hidden child of `parent` and runs OnInitDialog once. False when the
  // initialisation failed (the page then stays without window).
  bool Create(QWidget* parent);
  bool HasWindow() const { return created_; }
  plat::WindowHandle GetSafeHwnd() const { return created_ ? WindowHandleOf(this) : 0; }

  // The page's window procedure: OnMessage first; 0 when it did not take the message.
  intptr_t WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

 protected:
  virtual bool OnInitDialog() { return true; }
  // A subclass's message map: true when it took the message (result in `result`).
  virtual bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result);

  void keyPressEvent(QKeyEvent* e) override;

 private:
  int templateId_;
  bool created_ = false;
};
