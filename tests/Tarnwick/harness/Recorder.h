#pragma once
// A parent window for control tests: records the window messages and the key presses that
// reach it, in order.
#include <QKeyEvent>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "controls/WindowMessages.h"

namespace harness {

class RecordingParent : public QWidget {
 public:
  struct Msg {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
  };
  RecordingParent() {
    resize(400, 300);
    handle = AttachWindow(this, [this](uint32_t m, uintptr_t w, intptr_t l) -> intptr_t {
      messages.push_back({m, w, l});
      events.push_back("msg" + std::to_string(m));
      return 0;
    });
  }
  std::vector<Msg> messages;
  std::vector<int> keys;
  std::vector<std::string> events;  // messages and other happenings in order
  plat::WindowHandle handle = 0;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    keys.push_back(e->key());
    events.push_back("key" + std::to_string(e->key()));
  }
};

}  // namespace harness
