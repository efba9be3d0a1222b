// Device control, the log, alarm channels and configuration, carried onto the recorder
// library.
#include <cstring>

#include "RecNet.h"
#include "Saxtrum.h"
#include "Saxtrum/Unanswered.h"
#include "call_error.h"
#include "records.h"
#include "registry.h"

using recnet::Kind;

namespace {
int32_t Login(int32_t loginId) { return recnet::ToLib(loginId, Kind::Login); }
}  // namespace

extern "C" {

int RecNet_RebootDVR(int32_t loginId) {
  recnet::StartCall();
  return QX_DVR_RebootDVR(Login(loginId)) == 1 ? 1 : 0;
}
int RecNet_ShutDownDVR(int32_t loginId) {
  recnet::StartCall();
  return QX_DVR_ShutDownDVR(Login(loginId)) == 1 ? 1 : 0;
}

int RecNet_StartDVRRecord(int32_t loginId, int32_t channel, int32_t recordType) {
  recnet::StartCall();
  return QX_DVR_StartDVRRecord(Login(loginId), channel, recordType) == 1 ? 1 : 0;
}

int RecNet_StopDVRRecord(int32_t loginId, int32_t channel) {
  recnet::StartCall();
  return QX_DVR_StopDVRRecord(Login(loginId), channel) == 1 ? 1 : 0;
}

int32_t RecNet_FindDVRLog(int32_t loginId, int32_t mode, uint32_t majorType, uint32_t minorType,
                           const SdkTime* start, const SdkTime* end, int32_t) {
  recnet::StartCall();
  if (!start || !end) return -1;
  const QX_DVR_TIME s = recnet::ToQx(*start), e = recnet::ToQx(*end);
  return recnet::Issue(Kind::Log,
                      QX_DVR_FindDVRLog(Login(loginId), mode, majorType, minorType, &s, &e));
}

int32_t RecNet_FindNextLog(int32_t logHandle, uint8_t* record) {
  recnet::StartCall();
  if (!record) return SDK_FIND_EXCEPTION;
  static_assert(SDK_LOG_SIZE >= QX_DVR_LOG_SIZE);
  std::memset(record, 0, SDK_LOG_SIZE);
  const int32_t r = QX_DVR_FindNextLog(recnet::ToLib(logHandle, Kind::Log), record);
  if (r == QX_DVR_FILE_SUCCESS) return SDK_FIND_SUCCESS;
  return r == QX_DVR_NOMOREFILE ? SDK_FIND_NOMORE : SDK_FIND_EXCEPTION;
}

int RecNet_FindLogClose(int32_t logHandle) {
  recnet::StartCall();
  return recnet::CloseHandle(logHandle, Kind::Log, QX_DVR_FindLogClose) == 1 ? 1 : 0;
}

int32_t RecNet_SetupAlarmChan(int32_t loginId) {
  recnet::StartCall();
  return recnet::Issue(Kind::Alarm, QX_DVR_SetupAlarmChan(Login(loginId)));
}

int RecNet_CloseAlarmChan(int32_t alarmHandle) {
  recnet::StartCall();
  return recnet::CloseHandle(alarmHandle, Kind::Alarm, QX_DVR_CloseAlarmChan) == 1 ? 1 : 0;
}

// The recorder library counts the picture record's channel from 1; every other record takes
// the index as given. Reads and writes of one index must meet the same record.
int RecNet_ReadConfig(int32_t loginId, uint32_t command, int32_t index, void* buffer,
                       uint32_t size, uint32_t* returned) {
  recnet::StartCall();
  if (!buffer) return 0;
  const int32_t channel = command == QX_DVR_GET_PICCFG ? index + 1 : index;
  uint32_t got = 0;
  const int r = QX_DVR_GetPellmore(Login(loginId), command, channel, buffer, size, &got);
  if (returned) *returned = r == 1 ? got : 0;
  return r == 1 ? 1 : 0;
}

int RecNet_WriteConfig(int32_t loginId, uint32_t command, int32_t index, const void* buffer,
                        uint32_t size) {
  recnet::StartCall();
  if (!buffer) return 0;
  const int32_t channel = command == QX_DVR_SET_PICCFG ? index + 1 : index;
  if (QX_DVR_SetPellmore(Login(loginId), command, channel, buffer, size) == 1) return 1;
  if (QX_DVR_ConfigWriteUnanswered()) recnet::SetCallError(SDK_ERROR_NO_ANSWER);
  return 0;
}

}  // extern "C"
