// Wire records: sizes, offsets and the field-by-field codecs; the reply rules.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Corvane.h"
#include "plat/bytes.h"
#include "protocol/channel.h"
#include "protocol/exchange.h"
#include "protocol/wire.h"

using namespace corvane;

TEST(ProtocolRecords, SizesOfTheWireRecords) {
  EXPECT_EQ(kIpcMsgHeaderSize, 12u);
  EXPECT_EQ(kIpcMsgSize, 544u);
  EXPECT_EQ(kIpcMsgPayloadSize, 532u);
  EXPECT_EQ(kIpcLoginInfoSize, 52u);
  EXPECT_EQ(kIpcFactoryParamSize, 166u);
  EXPECT_EQ(kIpcNetParamSize, 145u);
  EXPECT_EQ(kIpcAbilityParamSize, 272u);
  EXPECT_EQ(kIpcVideoParamSize, 5u);
  EXPECT_EQ(kIpcPictureParamSize, 16u);
  EXPECT_EQ(kIpcAudioParamSize, 6u);
  EXPECT_EQ(kIpcPtzParamSize, 35u);
  EXPECT_EQ(kIpcPtzCommandSize, 8u);
  EXPECT_EQ(kIpcMotionParamSize, 152u);
  EXPECT_EQ(kIpcMaskParamSize, 152u);
  EXPECT_EQ(kIpcAlarmParamSize, 32u);
  EXPECT_EQ(kIpcTimeParamSize, 80u);
  EXPECT_EQ(kIpcOsdParamSize, 32u);
  EXPECT_EQ(kIpcAlarmCloseSize, 2u);
  EXPECT_EQ(kIpcFirmwareHeaderSize, 136u);
}

TEST(ProtocolRecords, HeaderIsLittleEndianAtItsOffsets) {
  MsgHeader h;
  h.code = 0x0C03;
  h.argument = 0x0101;
  h.length = 44;
  h.status = 1;
  h.option = 0xBEEF;
  const uint8_t payload[3] = {7, 8, 9};
  Message m = buildMessage(h, payload, sizeof payload);
  const uint8_t expect[15] = {0xAF, 0xE0, 0x03, 0x0C, 0x01, 0x01, 44, 0, 1, 0, 0xEF, 0xBE,
                              7,    8,    9};
  EXPECT_EQ(0, std::memcmp(m.data(), expect, sizeof expect));
  for (size_t i = 15; i < m.size(); ++i) ASSERT_EQ(m[i], 0) << i;
  MsgHeader back = MsgHeader::read(m.data());
  EXPECT_EQ(back.magic, kIpcMagic);
  EXPECT_EQ(back.option, 0xBEEF);
  // A payload longer than the message is cut, never written beyond it.
  std::vector<uint8_t> big(2000, 0x55);
  Message full = buildMessage(h, big.data(), big.size());
  EXPECT_EQ(full[543], 0x55);
}

TEST(ProtocolRecords, OpenRequestCutsNamesToFifteenCharacters) {
  IpcLoginInfo li{};
  std::memset(li.user, 'u', sizeof li.user);          // 16 characters, no terminator
  std::strcpy(li.password, "23456789abcdefg");  // exactly 15
  Message m = buildOpenRequest(kIpcChanVideo, 1, li, 1);
  MsgHeader h = MsgHeader::read(m.data());
  EXPECT_EQ(h.code, kIpcChanVideo);
  EXPECT_EQ(h.length, 44);
  EXPECT_EQ(h.option, 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(m.data() + 12)), std::string(15, 'u'));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(m.data() + 28)), "23456789abcdefg");
  EXPECT_EQ(m[12 + 15], 0);
  EXPECT_EQ(m[28 + 15], 0);
  // No option: 0 on the wire.
  EXPECT_EQ(MsgHeader::read(buildOpenRequest(kIpcChanControl, 0x101, li, kNoOption).data()).option,
            0);
}

TEST(ProtocolRecords, ChannelOpenReplyAcceptance) {
  auto reply = [](uint16_t code, uint16_t status) {
    MsgHeader h;
    h.code = code;
    h.status = status;
    return buildMessage(h, nullptr, 0);
  };
  uint16_t code = 0;
  EXPECT_TRUE(openReplyAccepted(reply(0xFF01, 1).data(), &code));
  EXPECT_EQ(code, 0xFF01);
  EXPECT_FALSE(openReplyAccepted(reply(0xFFFF, 1).data(), &code));
  EXPECT_EQ(code, kIpcServerFull);
  EXPECT_FALSE(openReplyAccepted(reply(0xFF01, 0).data(), &code));
  EXPECT_FALSE(openReplyAccepted(reply(0xFF01, 2).data(), nullptr));
}

TEST(ProtocolRecords, TheTwoReplyRules) {
  auto reply = [](uint16_t code, uint16_t status) {
    MsgHeader h;
    h.code = code;
    h.status = status;
    return buildMessage(h, nullptr, 0);
  };
  // Set: status 0 with any code; status 1 only with the exact code.
  EXPECT_TRUE(setReplyAccepted(reply(0x1234, 0).data(), 0x0602));
  EXPECT_TRUE(setReplyAccepted(reply(0x0602, 1).data(), 0x0602));
  EXPECT_FALSE(setReplyAccepted(reply(0x0604, 1).data(), 0x0602));
  EXPECT_FALSE(setReplyAccepted(reply(0x0602, 2).data(), 0x0602));
  // Get: status 0 or 1, always the exact code.
  EXPECT_TRUE(getReplyAccepted(reply(0x0604, 0).data(), 0x0604));
  EXPECT_TRUE(getReplyAccepted(reply(0x0604, 1).data(), 0x0604));
  EXPECT_FALSE(getReplyAccepted(reply(0x1234, 0).data(), 0x0604));
  EXPECT_FALSE(getReplyAccepted(reply(0x0604, 2).data(), 0x0604));
}

TEST(ProtocolRecords, LoginInfoCanBeHandedOnAsItsBytes) {
  IpcLoginInfo li{};
  li.address = 0x7F000001;
  li.port = 9000;
  li.noMediaReconnect = 1;
  uint8_t raw[kIpcLoginInfoSize];
  std::memcpy(raw, &li, sizeof raw);
  EXPECT_EQ(plat::getLe32(raw), 0x7F000001u);
  EXPECT_EQ(plat::getLe16(raw + 4), 9000);
  EXPECT_EQ(plat::getLe32(raw + 48), 1u);
}

TEST(ProtocolRecords, ParameterRecordsRoundTripFieldByField) {
  uint8_t net[kIpcNetParamSize];
  std::memset(net, 0xEE, sizeof net);
  IpcNetParam n;
  n.addressMode = 1;
  n.ip = "192.168.1.10";
  n.gateway = "192.168.1.1";
  n.mask = "255.255.255.0";
  n.mac = "00:11:22:33:44:55";
  n.dns = "8.8.8.8";
  n.dns2 = "a-name-longer-than-sixteen";  // cut to 15 and terminated
  n.write(net);
  EXPECT_EQ(net[0], 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(net + 25)), "192.168.1.1");
  EXPECT_EQ(net[112], 0);
  for (size_t i = 129; i < kIpcNetParamSize; ++i) ASSERT_EQ(net[i], 0) << i;
  IpcNetParam back = IpcNetParam::read(net);
  EXPECT_EQ(back.ip, n.ip);
  EXPECT_EQ(back.mask, n.mask);
  EXPECT_EQ(back.mac, n.mac);
  EXPECT_EQ(back.dns2, "a-name-longer-t");

  uint8_t pic[kIpcPictureParamSize];
  IpcPictureParam p{0, 0x01020304, 50, 60};
  p.write(pic);
  EXPECT_EQ(pic[4], 0x04);
  EXPECT_EQ(pic[7], 0x01);
  EXPECT_EQ(IpcPictureParam::read(pic).saturation, 60u);

  uint8_t fac[kIpcFactoryParamSize] = {};
  IpcFactoryParam f{"M1", "F2", "R3", "I4"};
  f.write(fac);
  EXPECT_EQ(fac[84], 'R');
  EXPECT_EQ(fac[110], 'I');
  EXPECT_EQ(IpcFactoryParam::read(fac).internalCode, "I4");
  // A factory record without terminators stays inside each span.
  std::memset(fac, 'x', sizeof fac);
  IpcFactoryParam full = IpcFactoryParam::read(fac);
  EXPECT_EQ(full.model.size(), 20u);
  EXPECT_EQ(full.internalCode.size(), 56u);

  uint8_t ab[kIpcAbilityParamSize] = {};
  plat::putLe16(ab + 10, 720);
  EXPECT_EQ(IpcAbilityParam::read(ab).pictureClass, 720);

  uint8_t ptz[kIpcPtzParamSize];
  IpcPtzParam z;
  z.protocol = "PELCO-D";
  z.address = 3;
  z.speed = 9;
  z.write(ptz);
  EXPECT_EQ(ptz[0], 1);
  EXPECT_EQ(ptz[33], 3);
  EXPECT_EQ(IpcPtzParam::read(ptz).protocol, "PELCO-D");

  uint8_t au[kIpcAudioParamSize];
  IpcAudioParam a;
  a.codec = 10;
  a.channels = 1;
  a.write(au);
  EXPECT_EQ(au[2], 10);
  EXPECT_EQ(IpcAudioParam::read(au).channels, 1);

  uint8_t vi[kIpcVideoParamSize];
  IpcVideoParam v;
  v.frameRateIndex = 25;
  v.rateControl = 1;
  v.write(vi);
  EXPECT_EQ(vi[0], 1);
  EXPECT_EQ(vi[1], 1);
  EXPECT_EQ(IpcVideoParam::read(vi).frameRateIndex, 25);
}
