#pragma once
// The program: language, one instance at a time, the device side, and the main window run
// modally for the whole life of the user interface.
#include <memory>

namespace plat {
class SingleInstanceLock;
}

class CTarnwickApp {
 public:
  static constexpr const char* kInstanceName = "TarnwickInstance";

  CTarnwickApp();
  ~CTarnwickApp();
  CTarnwickApp(const CTarnwickApp&) = delete;
  CTarnwickApp& operator=(const CTarnwickApp&) = delete;

  // The whole life of the user interface; always false (no loop of its own follows).
  bool InitInstance();
  // Stops what was started, frees the language library, gives the instance lock back.
  int ExitInstance();

  // Whether this start was refused because another instance runs.
  bool Refused() const { return m_refused; }

 private:
  std::unique_ptr<plat::SingleInstanceLock> m_hMutex;
  bool m_refused = false;
};
