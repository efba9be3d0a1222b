#include "deadpeer/replies.h"

#include <algorithm>
#include <cstring>

#include "peerbytes/le.h"

namespace deadpeer {

namespace {

constexpr uint16_t kCameraMagic = 0xE0AF;
constexpr size_t kCameraMessage = 544;
constexpr size_t kCameraHeader = 12;
constexpr uint16_t kFirstChannel = 0xFF01, kLastChannel = 0xFF0A;
constexpr uint16_t kServerFull = 0xFFFF;

constexpr uint32_t kRecorderMagic = 0x0ABCDEF0;
constexpr size_t kRecorderHeader = 20;
constexpr uint32_t kRecorderMaxPayload = 40000;
constexpr uint32_t kLogin = 1;
constexpr uint32_t kLastCommand = 76;
constexpr uint32_t kStatusOk = 200;
constexpr size_t kLoginReply = 72;

using peerbytes::get16;
using peerbytes::get32;
using peerbytes::put16;
using peerbytes::put32;

bool isChannelOpen(uint16_t code) { return code >= kFirstChannel && code <= kLastChannel; }

uint16_t cameraCode(const Bytes& request) {
  return request.size() >= 4 ? get16(request.data() + 2) : 0;
}

Bytes cameraPayload(const Bytes& request) {
  if (request.size() <= kCameraHeader) return {};
  return Bytes(request.begin() + kCameraHeader, request.end());
}

struct RecorderHead {
  uint32_t command = 0, handle = 0;
};
RecorderHead recorderHead(const Bytes& request) {
  RecorderHead h;
  if (request.size() >= kRecorderHeader) {
    h.command = get32(request.data() + 4);
    h.handle = get32(request.data() + 12);
  }
  return h;
}

}  // namespace

bool parseMode(const std::string& text, Mode* mode) {
  if (text == "silent") *mode = Mode::Silent;
  else if (text == "trickle") *mode = Mode::Trickle;
  else if (text == "cut-short") *mode = Mode::CutShort;
  else if (text == "wrong-code") *mode = Mode::WrongCode;
  else return false;
  return true;
}

bool parseDevice(const std::string& text, Device* device) {
  if (text == "camera") *device = Device::Camera;
  else if (text == "recorder") *device = Device::Recorder;
  else return false;
  return true;
}

Bytes cameraMessage(uint16_t code, uint16_t status, const Bytes& payload) {
  Bytes m(kCameraMessage, 0);
  const size_t n = std::min(payload.size(), kCameraMessage - kCameraHeader);
  put16(m.data(), kCameraMagic);
  put16(m.data() + 2, code);
  put16(m.data() + 6, static_cast<uint16_t>(n));
  put16(m.data() + 8, status);
  std::copy(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(n),
            m.begin() + kCameraHeader);
  return m;
}

Bytes recorderPacket(uint32_t command, uint32_t handle, uint32_t status, const Bytes& payload) {
  Bytes p(kRecorderHeader + payload.size(), 0);
  put32(p.data(), kRecorderMagic);
  put32(p.data() + 4, command);
  put32(p.data() + 8, static_cast<uint32_t>(payload.size()));
  put32(p.data() + 12, handle);
  put32(p.data() + 16, status);
  if (!payload.empty()) std::memcpy(p.data() + kRecorderHeader, payload.data(), payload.size());
  return p;
}

Bytes deviceAnswer(Device device, const Bytes& request) {
  if (device == Device::Camera) {
    const uint16_t code = cameraCode(request);
    if (isChannelOpen(code)) return cameraMessage(code, 1);
    return cameraMessage(static_cast<uint16_t>(code + 1), 1, cameraPayload(request));
  }
  const RecorderHead h = recorderHead(request);
  Bytes payload;
  if (h.command == kLogin) {
    payload.assign(kLoginReply, 0);
    static const char kSerial[] = "DEADPEER";
    std::memcpy(payload.data(), kSerial, sizeof kSerial - 1);
    payload[48 + 4] = 4;  // channels
    payload[48 + 5] = 1;  // first channel
  }
  return recorderPacket(h.command, h.handle, kStatusOk, payload);
}

Bytes wrongCodeAnswer(Device device, const Bytes& request) {
  if (device == Device::Camera) {
    const uint16_t code = cameraCode(request);
    if (isChannelOpen(code)) return cameraMessage(kServerFull, 0);
    return cameraMessage(static_cast<uint16_t>(code + 2), 1, cameraPayload(request));
  }
  const RecorderHead h = recorderHead(request);
  return recorderPacket(h.command >= kLastCommand ? 1 : h.command + 1, h.handle, kStatusOk);
}

size_t headBytes(Device device) {
  return device == Device::Camera ? kCameraMessage : kRecorderHeader;
}

size_t requestSize(Device device, const uint8_t* head) {
  if (device == Device::Camera) return kCameraMessage;
  if (get32(head) != kRecorderMagic) return 0;
  const uint32_t length = get32(head + 8);
  return length > kRecorderMaxPayload ? 0 : kRecorderHeader + length;
}

}  // namespace deadpeer
