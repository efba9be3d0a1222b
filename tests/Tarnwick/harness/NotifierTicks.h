#pragma once
// The notifier's timers ticked by hand, as fast as a test wants them.
#include "controls/TaskbarNotifier.h"

namespace harness {

// Ticks timer `id` until it stops (bounded); the number of ticks.
inline int TickUntilStopped(CTaskbarNotifier& n, int id) {
  int ticks = 0;
  while (n.TimerInterval(id) >= 0 && ticks < 10000) {
    n.OnTimer(id);
    ++ticks;
  }
  return ticks;
}

}  // namespace harness
