#include "harness/DeviceWorkWait.h"

#include <QCoreApplication>
#include <chrono>
#include <thread>

#include "devices/DeviceWork.h"

namespace harness {

bool SettleDeviceWork(int realMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
  for (;;) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (devwork::Pending() == 0) {
      // Results delivered just now may have queued follow-ups of their own.
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      if (devwork::Pending() == 0) return true;
    }
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace harness
