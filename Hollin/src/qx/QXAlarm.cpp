#include "qx/QXAlarm.h"

#include "RecNet.h"

CDevQXAlarm::~CDevQXAlarm() { CloseAlarmChan(); }

bool CDevQXAlarm::SetupAlarmChan() {
  if (loginId_ < 0) return false;
  alarmHandle_ = RecNet_SetupAlarmChan(loginId_);
  return alarmHandle_ != -1;
}

// Closing the SDK's channel is what stops the alarms; the handle is let go either way.
bool CDevQXAlarm::CloseAlarmChan() {
  if (alarmHandle_ != -1) RecNet_CloseAlarmChan(alarmHandle_);
  alarmHandle_ = -1;
  return true;
}
