#include "config/config_table.h"

#include <algorithm>
#include <cstring>

#include "Saxtrum/Config.h"
#include "plat/bytes.h"
#include "protocol/packet.h"

namespace saxtrum::config {

namespace {

Field getOnly(Field f) {
  f.dir = FieldDir::GetOnly;
  return f;
}
Field setOnly(Field f) {
  f.dir = FieldDir::SetOnly;
  return f;
}
Field wideInt(uint32_t client, uint32_t clientSize, uint32_t wire) {
  return intField(client, clientSize, wire, 4);
}

std::vector<Field> timeFields() {
  return {intField(0, 4, 0, 4, 1900), intField(4, 4, 4, 4, 1), intField(8, 4, 8, 4),
          intField(12, 4, 12, 4), intField(16, 4, 16, 4), intField(20, 4, 20, 4)};
}

std::vector<Field> deviceFields() {
  return {getOnly(bytesField(0, 0, QX_DVR_DEVICECFG_SIZE)), setOnly(textField(4, 4, 32)),
          setOnly(intField(36, 4, 36, 4)), setOnly(intField(40, 4, 40, 4))};
}

std::vector<Field> ntpFields() {
  return {textField(0, 0, 64), wideInt(64, 2, 64), wideInt(66, 1, 72), wideInt(70, 2, 68)};
}

std::vector<Field> netFields() {
  return {textField(4, 0, 16),
          textField(148, 144, 16),
          wideInt(296, 2, 288),
          {FieldKind::Mac, 300, 6, 292, 24, 0, FieldDir::Both},
          wideInt(1050, 1, 464),
          textField(1052, 660, 16),
          textField(1196, 804, 16),
          wideInt(1406, 2, 948),
          textField(1552, 316, 16),
          intField(1696, 4, 460, 4),
          bytesField(1700, 468, 32),
          textField(1732, 500, 16),
          setOnly(textField(1748, 516, 16))};
}

std::vector<Field> netAppFields() {
  return {bytesField(4, 0, 16),   bytesField(20, 16, 64),  wideInt(84, 2, 80),
          wideInt(86, 1, 88),     wideInt(90, 2, 84),      bytesField(100, 96, 32),
          intField(132, 4, 128, 4), intField(136, 4, 132, 4), intField(140, 4, 136, 4),
          intField(144, 4, 140, 4), bytesField(148, 144, 32), intField(212, 1, 92, 1)};
}

std::vector<Field> ddnsFields() {
  return {intField(0, 1, 0, 1),     intField(1, 1, 1, 1),     bytesField(4, 4, 32),
          intField(36, 4, 36, 4),   intField(40, 4, 40, 4),   intField(44, 4, 44, 4),
          intField(48, 4, 48, 4),   bytesField(52, 52, 32)};
}

std::vector<Field> emailFields() {
  return {bytesField(4, 0, 32),    bytesField(36, 32, 32),  bytesField(148, 64, 48),
          bytesField(276, 112, 48), intField(484, 1, 164, 1), intField(486, 1, 166, 1),
          intField(487, 1, 165, 1), wideInt(488, 2, 160)};
}

std::vector<Field> alarmOutFields() {
  return {bytesField(4, 4, 32), intField(36, 4, 36, 4), bytesField(40, 40, 224)};
}

// Each 12-byte group: four single bytes, then two 32-bit values.
void addCompressionGroup(std::vector<Field>& f, uint32_t client, uint32_t wire) {
  for (uint32_t i = 0; i < 4; ++i) f.push_back(intField(client + i, 1, wire + i, 1));
  f.push_back(intField(client + 4, 4, wire + 4, 4));
  f.push_back(intField(client + 8, 4, wire + 8, 4));
}
std::vector<Field> compressionFields() {
  std::vector<Field> f;
  addCompressionGroup(f, 4, 4);
  addCompressionGroup(f, 88, 16);
  return f;
}

std::vector<Field> decoderFields() {
  std::vector<Field> f = {intField(4, 4, 4, 4)};
  for (uint32_t i = 8; i < 12; ++i) f.push_back(intField(i, 1, i, 1));
  f.push_back(wideInt(12, 2, 12));
  f.push_back(wideInt(14, 2, 16));
  f.push_back(bytesField(16, 20, 256));
  f.push_back(bytesField(272, 276, 256));
  f.push_back(bytesField(528, 532, 256));
  return f;
}

std::vector<Field> recordFields() {
  std::vector<Field> f = {intField(4, 4, 4, 4)};
  // Seven pairs of a 16-bit and an 8-bit client field, one wire word each.
  for (uint32_t i = 0; i < 14; ++i) f.push_back(wideInt(8 + 2 * i, i % 2 == 0 ? 2 : 1, 8 + 4 * i));
  // 56 groups of 8 bytes, of which the first 5 are the device's.
  for (uint32_t g = 0; g < 56; ++g) f.push_back(bytesField(36 + 8 * g, 64 + 8 * g, 5));
  f.push_back(intField(484, 4, 512, 4));
  f.push_back(intField(488, 4, 516, 4));
  f.push_back(intField(497, 1, 520, 1));
  return f;
}

std::vector<Field> alarmInFields() {
  std::vector<Field> f = {bytesField(4, 4, 32),      intField(36, 1, 36, 1),
                          intField(37, 1, 37, 1),    intField(40, 4, 40, 4),
                          bytesField(44, 44, 96),    bytesField(140, 140, 224),
                          bytesField(364, 364, 64),  bytesField(428, 428, 64)};
  for (uint32_t off = 492; off <= 504; off += 4) f.push_back(intField(off, 4, off, 4));
  for (uint32_t j = 0; j < 16; ++j) f.push_back(intField(700 + 4 * j, 4, 508 + 4 * j, 4));
  return f;
}

std::vector<Field> videoOutFields() { return {wideInt(44, 2, 0)}; }

std::vector<Field> previewFields() {
  return {intField(4, 1, 0, 1), intField(5, 1, 1, 1), intField(6, 1, 2, 1)};
}

constexpr uint32_t kUserEntries = 12, kUserEntrySize = 792, kUserClientBase = 4;
std::vector<Field> userFields() {
  std::vector<Field> f;
  for (uint32_t e = 0; e < kUserEntries; ++e) {
    const uint32_t w = e * kUserEntrySize, c = kUserClientBase + e * kUserEntrySize;
    auto bytes = [&](uint32_t off, uint32_t n) { f.push_back(bytesField(c + off, w + off, n)); };
    auto word = [&](uint32_t off, uint32_t n) { f.push_back(intField(c + off, n, w + off, n)); };
    bytes(0, 32);
    for (uint32_t off = 32; off <= 44; off += 4) word(off, 4);
    bytes(48, 32);
    bytes(80, 32);
    for (uint32_t off = 112; off <= 560; off += 64) bytes(off, 64);
    for (uint32_t off = 624; off <= 636; off += 4) word(off, 4);
    word(768, 4);
    word(772, 2);
    word(774, 1);
  }
  return f;
}

std::vector<Field> pictureFields() {
  using namespace picwire;
  return {textField(QX_PIC_OFF_NAME, kName, QX_PIC_NAME_SIZE),
          intField(QX_PIC_OFF_SHOW_NAME, 4, kShowName, 4),
          wideInt(QX_PIC_OFF_NAME_X, 2, kNameX),
          wideInt(QX_PIC_OFF_NAME_Y, 2, kNameY),
          intField(QX_PIC_OFF_SHOW_OSD, 4, kShowOsd, 4),
          wideInt(QX_PIC_OFF_OSD_X, 2, kOsdX),
          wideInt(QX_PIC_OFF_OSD_Y, 2, kOsdY),
          wideInt(QX_PIC_OFF_OSD_TYPE, 1, kOsdType),
          bytesField(QX_PIC_OFF_VIDEO_LOSS, kVideoLoss, QX_PIC_VIDEO_LOSS_SIZE),
          bytesField(QX_PIC_OFF_MOTION, kMotion, QX_PIC_MOTION_SIZE),
          bytesField(QX_PIC_OFF_TAMPER, kTamper, QX_PIC_TAMPER_SIZE),
          intField(QX_PIC_OFF_MASK_ENABLE, 4, kMaskEnable, 4),
          bytesField(QX_PIC_OFF_MASK_RECTS, kMaskRects, QX_PIC_MASK_RECTS_SIZE)};
}

// Disk list: wire count at 0 and 24-byte entries from 4; client count at 4 and 144-byte
// entries from 8. At most eight entries move either way.
constexpr uint32_t kWireDiskEntry = 24, kClientDiskEntry = 144;
const std::vector<Field>& diskEntryFields() {
  static const std::vector<Field> f = {intField(0, 4, 0, 4),   intField(4, 4, 4, 4),
                                       intField(8, 4, 8, 4),   intField(12, 4, 12, 4),
                                       intField(16, 1, 16, 1), intField(17, 1, 17, 1),
                                       intField(20, 4, 20, 4)};
  return f;
}
void unpackDisks(const uint8_t* wire, uint8_t* client) {
  const uint32_t count = std::min(plat::getLe32(wire), kMaxWireDisks);
  plat::putLe32(client + 4, count);
  for (uint32_t i = 0; i < count; ++i)
    unpackFields(diskEntryFields(), wire + 4 + i * kWireDiskEntry, client + 8 + i * kClientDiskEntry);
}
void packDisks(const uint8_t* client, uint8_t* wire) {
  const uint32_t count = std::min(plat::getLe32(client + 4), kMaxWireDisks);
  plat::putLe32(wire, count);
  for (uint32_t i = 0; i < count; ++i)
    packFields(diskEntryFields(), client + 8 + i * kClientDiskEntry, wire + 4 + i * kWireDiskEntry);
}

std::vector<RecordLayout> makeLayouts() {
  using C = ChannelUse;
  std::vector<RecordLayout> t;
  t.push_back({"device", 100, 101, 62, 63, 132, QX_DVR_DEVICECFG_SIZE, C::None, C::AsGiven, deviceFields()});
  t.push_back({"time", 118, 119, 38, 39, 24, QX_DVR_TIMECFG_SIZE, C::None, C::None, timeFields()});
  t.push_back({"netapp", 222, 223, 48, 49, 176, QX_DVR_NETAPPCFG_SIZE, C::None, C::None, netAppFields()});
  t.push_back({"ntp", 224, 225, 44, 45, 76, QX_DVR_NTPCFG_SIZE, C::None, C::None, ntpFields()});
  t.push_back({"network", 1000, 1001, 43, 42, 952, QX_DVR_NETCFG_SIZE, C::None, C::None, netFields()});
  t.push_back({"picture", 1002, 1003, 54, 55, picwire::kSize, QX_DVR_PICCFG_SIZE, C::MinusOne, C::AsGiven, pictureFields()});
  t.push_back({"record", 1004, 1005, 56, 57, 524, QX_DVR_RECORDCFG_SIZE, C::AsGiven, C::AsGiven, recordFields()});
  t.push_back({"user", 1006, 1007, 66, 67, 9504, QX_DVR_USERCFG_SIZE, C::None, C::None, userFields()});
  t.push_back({"ddns", 1010, 1011, 46, 47, 84, QX_DVR_DDNSCFG_SIZE, C::None, C::None, ddnsFields()});
  t.push_back({"email", 1012, 1013, 50, 51, 168, QX_DVR_EMAILCFG_SIZE, C::None, C::None, emailFields()});
  t.push_back({"alarmin", 1024, 1025, 68, 69, 572, QX_DVR_ALARMINCFG_SIZE, C::AsGiven, C::AsGiven, alarmInFields()});
  t.push_back({"alarmout", 1026, 1027, 70, 71, 264, QX_DVR_ALARMOUTCFG_SIZE, C::AsGiven, C::AsGiven, alarmOutFields()});
  t.push_back({"videoout", 1028, 1029, 60, 61, 4, QX_DVR_VIDEOOUTCFG_SIZE, C::None, C::None, videoOutFields()});
  t.push_back({"compression", 1040, 1041, 58, 59, 28, QX_DVR_COMPRESSCFG_SIZE, C::AsGiven, C::AsGiven, compressionFields()});
  t.push_back({"decoder", 1042, 1043, 41, 40, 788, QX_DVR_DECODERCFG_SIZE, C::AsGiven, C::AsGiven, decoderFields()});
  t.push_back({"preview", 1044, 1045, 52, 53, 4, QX_DVR_PREVIEWCFG_SIZE, C::None, C::None, previewFields()});
  t.push_back({"disk", 1054, 1055, 65, 64, 196, QX_DVR_HDCFG_SIZE, C::None, C::None, {}, unpackDisks, packDisks});
  return t;
}

void putChannel(uint8_t* record, ChannelUse use, int32_t channel) {
  if (use == ChannelUse::AsGiven) plat::putLe32(record, static_cast<uint32_t>(channel));
  if (use == ChannelUse::MinusOne) plat::putLe32(record, static_cast<uint32_t>(channel - 1));
}

}  // namespace

const std::vector<RecordLayout>& recordLayouts() {
  static const std::vector<RecordLayout> table = makeLayouts();
  return table;
}

const RecordLayout* layoutForCommand(uint32_t command, bool* isGet) {
  for (const RecordLayout& l : recordLayouts()) {
    if (l.getCommand == command || l.setCommand == command) {
      if (isGet) *isGet = l.getCommand == command;
      return &l;
    }
  }
  return nullptr;
}

std::vector<uint8_t> buildGetRequest(const RecordLayout& l, int32_t channel) {
  std::vector<uint8_t> out(kCodeWordSize + l.wireSize, 0);
  plat::putLe32(out.data(), l.getCode);
  putChannel(out.data() + kCodeWordSize, l.getChannel, channel);
  return out;
}

std::vector<uint8_t> buildSetRequest(const RecordLayout& l, int32_t channel,
                                     const uint8_t* client) {
  std::vector<uint8_t> out(kCodeWordSize + l.wireSize, 0);
  plat::putLe32(out.data(), l.setCode);
  uint8_t* wire = out.data() + kCodeWordSize;
  packFields(l.fields, client, wire);
  if (l.packExtra) l.packExtra(client, wire);
  putChannel(wire, l.setChannel, channel);
  return out;
}

void unpackReply(const RecordLayout& l, const uint8_t* reply, size_t length, uint8_t* client) {
  // A short reply reads as zero past its end.
  std::vector<uint8_t> wire(l.wireSize, 0);
  if (length > kCodeWordSize)
    std::memcpy(wire.data(), reply + kCodeWordSize,
                std::min<size_t>(length - kCodeWordSize, l.wireSize));
  std::memset(client, 0, l.clientSize);
  unpackFields(l.fields, wire.data(), client);
  if (l.unpackExtra) l.unpackExtra(wire.data(), client);
}

}  // namespace saxtrum::config
