#include "records.h"

#include <cstring>

#include "plat/bytes.h"

namespace recnet {

QX_DVR_TIME ToQx(const SdkTime& t) {
  QX_DVR_TIME q{};
  q.dwYear = t.year;
  q.dwMonth = t.month;
  q.dwDay = t.day;
  q.dwHour = t.hour;
  q.dwMinute = t.minute;
  q.dwSecond = t.second;
  return q;
}

SdkTime FromQx(const QX_DVR_TIME& q) {
  return SdkTime{q.dwYear, q.dwMonth, q.dwDay, q.dwHour, q.dwMinute, q.dwSecond};
}

void FromQx(const QX_DVR_DEVICEINFO& in, SdkDeviceInfo& out) {
  std::memset(&out, 0, sizeof out);
  std::memcpy(out.serialNumber, in.sSerialNumber, sizeof out.serialNumber);
  out.alarmInPortNum = in.byInfo[0];
  out.alarmOutPortNum = in.byInfo[1];
  out.diskNum = in.byInfo[2];
  out.dvrType = in.byInfo[3];
  out.chanNum = in.byInfo[4];
  out.startChan = in.byInfo[5];
  out.audioChanNum = in.byInfo[6];
  out.ipChanNum = in.byInfo[7];
  out.byte56 = in.byInfo[8];
}

void FromQx(const QX_DVR_FIND_DATA& in, SdkFindData& out) {
  std::memset(&out, 0, sizeof out);
  std::memcpy(out.fileName, in.sFileName, sizeof out.fileName);
  out.fileName[sizeof out.fileName - 1] = 0;
  out.start = FromQx(in.struStartTime);
  out.end = FromQx(in.struStopTime);
  out.fileSize = in.dwFileSize;
}

void AlarmerFromBytes(const uint8_t* in, SdkAlarmerRecord& out) {
  std::memset(&out, 0, sizeof out);
  std::memcpy(out.valid, in, 8);
  out.userId = plat::getLeS32(in + 8);
  std::memcpy(out.serialNumber, in + 12, sizeof out.serialNumber);
  out.deviceVersion = plat::getLe32(in + 60);
  std::memcpy(out.deviceName, in + 64, sizeof out.deviceName);
  std::memcpy(out.mac, in + 96, sizeof out.mac);
  out.linkPort = plat::getLe16(in + 102);
  std::memcpy(out.deviceIP, in + 104, sizeof out.deviceIP);
  std::memcpy(out.socketIP, in + 232, sizeof out.socketIP);
  out.ipProtocol = in[360];
}

void AlarmFromBytes(const uint8_t* in, SdkAlarmRecord& out) {
  std::memset(&out, 0, sizeof out);
  out.alarmType = plat::getLeS32(in);
  out.alarmInputNumber = plat::getLeS32(in + 4);
  std::memcpy(out.alarmOutputs, in + 8, sizeof out.alarmOutputs);
  std::memcpy(out.relatedChannels, in + 104, sizeof out.relatedChannels);
  std::memcpy(out.channels, in + 168, sizeof out.channels);
  std::memcpy(out.disks, in + 232, sizeof out.disks);
}

}  // namespace recnet
