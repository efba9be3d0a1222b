#include "Corvane/records.h"

#include "plat/bytes.h"
#include "protocol/wire.h"

using corvane::getText;
using corvane::putText;

IpcFactoryParam IpcFactoryParam::read(const uint8_t* rec) {
  return IpcFactoryParam{getText(rec, 20), getText(rec + 20, 64), getText(rec + 84, 26),
                         getText(rec + 110, 56)};
}

void IpcFactoryParam::write(uint8_t* rec) const {
  putText(rec, 20, model);
  putText(rec + 20, 64, factoryCode);
  putText(rec + 84, 26, registration);
  putText(rec + 110, 56, internalCode);
}

IpcNetParam IpcNetParam::read(const uint8_t* rec) {
  IpcNetParam n;
  n.addressMode = rec[0];
  n.ip = getText(rec + 1, 24);
  n.gateway = getText(rec + 25, 24);
  n.mask = getText(rec + 49, 24);
  n.mac = getText(rec + 73, 24);
  n.dns = getText(rec + 97, 16);
  n.dns2 = getText(rec + 113, 16);
  return n;
}

void IpcNetParam::write(uint8_t* rec) const {
  rec[0] = addressMode;
  putText(rec + 1, 24, ip);
  putText(rec + 25, 24, gateway);
  putText(rec + 49, 24, mask);
  putText(rec + 73, 24, mac);
  putText(rec + 97, 16, dns);
  putText(rec + 113, 16, dns2);
  for (size_t i = 129; i < kIpcNetParamSize; ++i) rec[i] = 0;
}

IpcAbilityParam IpcAbilityParam::read(const uint8_t* rec) {
  return IpcAbilityParam{plat::getLe16(rec + 10)};
}

IpcVideoParam IpcVideoParam::read(const uint8_t* rec) {
  return IpcVideoParam{rec[0], rec[1], rec[2], rec[3], rec[4]};
}

void IpcVideoParam::write(uint8_t* rec) const {
  rec[0] = reserved0;
  rec[1] = reserved1;
  rec[2] = frameRateIndex;
  rec[3] = rateControl;
  rec[4] = levelIndex;
}

IpcPictureParam IpcPictureParam::read(const uint8_t* rec) {
  return IpcPictureParam{plat::getLe32(rec), plat::getLe32(rec + 4), plat::getLe32(rec + 8), plat::getLe32(rec + 12)};
}

void IpcPictureParam::write(uint8_t* rec) const {
  plat::putLe32(rec, reserved);
  plat::putLe32(rec + 4, brightness);
  plat::putLe32(rec + 8, contrast);
  plat::putLe32(rec + 12, saturation);
}

IpcAudioParam IpcAudioParam::read(const uint8_t* rec) {
  return IpcAudioParam{rec[0], rec[1], rec[2], rec[3], rec[4], rec[5]};
}

void IpcAudioParam::write(uint8_t* rec) const {
  rec[0] = reserved;
  rec[1] = input;
  rec[2] = codec;
  rec[3] = sampleBits;
  rec[4] = sampleKHz;
  rec[5] = channels;
}

IpcPtzParam IpcPtzParam::read(const uint8_t* rec) {
  return IpcPtzParam{rec[0], getText(rec + 1, 32), rec[33], rec[34]};
}

void IpcPtzParam::write(uint8_t* rec) const {
  rec[0] = reserved;
  putText(rec + 1, 32, protocol);
  rec[33] = address;
  rec[34] = speed;
}
