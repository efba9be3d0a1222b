#pragma once
// Alarm reporting of a recorder login: while armed, its alarms reach CQXGlobal's handler.
#include <atomic>

#include "Hollin/Interfaces.h"

class CDevQXAlarm : public IDevAlarm {
 public:
  explicit CDevQXAlarm(DevHandle loginId) : loginId_(static_cast<int32_t>(loginId)) {}
  ~CDevQXAlarm() override;  // disarms: the SDK's channel is not left open

  bool SetupAlarmChan() override;
  bool CloseAlarmChan() override;
  bool IsSetup() override { return alarmHandle_ != -1; }

 private:
  int32_t loginId_;
  std::atomic<int32_t> alarmHandle_{-1};  // IsSetup is read by the program's UI thread
};
