#pragma once
// The configuration records the window holds, read once when it opens and written back when
// they changed, with the device's command numbers and record sizes. Records are byte arrays
// in the device's layout; fields are read and written at their offsets.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace pellmore {

// Read and write command numbers and record sizes.
struct RecordKind {
  uint32_t read, write;
  size_t size;
};
constexpr RecordKind kDeviceRecord{100, 101, 132};
constexpr RecordKind kNetworkRecord{1000, 1001, 1956};
constexpr RecordKind kDdnsRecord{1010, 1011, 1960};
constexpr RecordKind kNtpRecord{224, 225, 80};
constexpr RecordKind kAlarmInRecord{1024, 1025, 780};
constexpr RecordKind kAlarmOutRecord{1026, 1027, 280};
constexpr RecordKind kPictureRecord{1002, 1003, 7752};
constexpr RecordKind kCompressionRecord{1040, 1041, 116};
constexpr RecordKind kScheduleRecord{1004, 1005, 508};
constexpr RecordKind kDecoderRecord{1042, 1043, 784};
constexpr uint32_t kTimeWrite = 119;
constexpr size_t kTimeRecordSize = 24;

// Capacities of the window's alarm arrays.
constexpr size_t kMaxAlarmIn = 160;
constexpr size_t kMaxAlarmOut = 96;

// Where the engine and the pages find the device's counts and version words.
constexpr size_t kAlarmInCountAt = 116, kAlarmOutCountAt = 117, kChannelCountAt = 124;
constexpr size_t kSoftwareVersionAt = 92, kSoftwareBuildAt = 96, kPanelVersionAt = 108,
                 kHardwareVersionAt = 112;
// The PPPoE part of the network record.
constexpr size_t kPppoeAt = 1696, kPppoeSize = 196;

// One record with its changed mark and whether the read that filled it succeeded.
template <size_t N>
struct Record {
  std::array<uint8_t, N> bytes{};
  bool changed = false;
  bool readOk = false;
  uint8_t* data() { return bytes.data(); }
  const uint8_t* data() const { return bytes.data(); }
};

// The records of one channel, kept in channel order.
struct ChannelParamBlock {
  int channel = 0;  // 0-based
  Record<kPictureRecord.size> picture;
  Record<kCompressionRecord.size> compression;
  Record<kScheduleRecord.size> schedule;
  Record<kDecoderRecord.size> decoder;
};

// Everything the window holds (about 160 KB: it lives on the heap).
struct ConfigRecords {
  Record<kDeviceRecord.size> device;
  Record<kNetworkRecord.size> network;
  Record<kDdnsRecord.size> ddns;
  Record<kNtpRecord.size> ntp;
  std::vector<Record<kAlarmInRecord.size>> alarmIn;    // one per alarm input (at most 160)
  std::vector<Record<kAlarmOutRecord.size>> alarmOut;  // one per alarm output (at most 96)
  std::vector<ChannelParamBlock> channels;

  int ChannelCount() const { return static_cast<int>(channels.size()); }
  int AlarmInCount() const { return static_cast<int>(alarmIn.size()); }
  int AlarmOutCount() const { return static_cast<int>(alarmOut.size()); }
};

}  // namespace pellmore
