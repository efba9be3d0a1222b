#pragma once
// Parameter records as they travel in a control message's payload. Callers pass byte
// buffers of exactly these sizes; the structs below read and write the fields the client
// fills or shows, at their offsets (little-endian). Records no client reads are carried
// through unchanged and have only their size here.
#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kIpcFactoryParamSize = 166;
constexpr size_t kIpcNetParamSize = 145;
constexpr size_t kIpcAbilityParamSize = 272;
constexpr size_t kIpcVideoParamSize = 5;
constexpr size_t kIpcPictureParamSize = 16;
constexpr size_t kIpcAudioParamSize = 6;
constexpr size_t kIpcPtzParamSize = 35;
constexpr size_t kIpcPtzCommandSize = 8;
constexpr size_t kIpcMotionParamSize = 152;
constexpr size_t kIpcMaskParamSize = 152;
constexpr size_t kIpcAlarmParamSize = 32;
constexpr size_t kIpcTimeParamSize = 80;
constexpr size_t kIpcOsdParamSize = 32;
constexpr size_t kIpcAlarmCloseSize = 2;
constexpr size_t kIpcFirmwareHeaderSize = 136;
constexpr size_t kIpcFirmwareSizeOffset = 4;

struct IpcFactoryParam {
  std::string model;         // 0, 20 bytes
  std::string factoryCode;   // 20, 64 bytes
  std::string registration;  // 84, 26 bytes
  std::string internalCode;  // 110, 56 bytes
  static IpcFactoryParam read(const uint8_t* rec);
  void write(uint8_t* rec) const;
};

struct IpcNetParam {
  uint8_t addressMode = 0;  // 0 static, 1 obtained automatically
  std::string ip, gateway, mask, mac;  // 24 bytes each at 1, 25, 49, 73
  std::string dns, dns2;               // 16 bytes each at 97, 113
  static IpcNetParam read(const uint8_t* rec);
  void write(uint8_t* rec) const;  // bytes 129..144 are written as zero
};

struct IpcAbilityParam {
  uint16_t pictureClass = 0;  // 1080 or 720 lines
  static IpcAbilityParam read(const uint8_t* rec);
};

struct IpcVideoParam {
  uint8_t reserved0 = 1, reserved1 = 1;
  uint8_t frameRateIndex = 0;
  uint8_t rateControl = 0;  // 0 constant, 1 variable bit rate
  uint8_t levelIndex = 0;
  static IpcVideoParam read(const uint8_t* rec);
  void write(uint8_t* rec) const;
};

struct IpcPictureParam {
  uint32_t reserved = 0, brightness = 0, contrast = 0, saturation = 0;
  static IpcPictureParam read(const uint8_t* rec);
  void write(uint8_t* rec) const;
};

struct IpcAudioParam {
  uint8_t reserved = 0;
  uint8_t input = 0;       // 0 microphone, 1 line
  uint8_t codec = 8;       // 8 ADPCM, 9 AMR, 10 G.711, 12 AAC
  uint8_t sampleBits = 16;
  uint8_t sampleKHz = 8;
  uint8_t channels = 0;    // 0 mono, 1 stereo
  static IpcAudioParam read(const uint8_t* rec);
  void write(uint8_t* rec) const;
};

struct IpcPtzParam {
  uint8_t reserved = 1;
  std::string protocol;  // 1, 32 bytes
  uint8_t address = 0;   // 33
  uint8_t speed = 0;     // 34
  static IpcPtzParam read(const uint8_t* rec);
  void write(uint8_t* rec) const;
};

// PTZ command record: command byte, stop flag (1 stop, 0 start), preset or route, point,
// and a 16-bit value (little-endian).
constexpr size_t kIpcPtzCommandByteOffset = 2;
constexpr size_t kIpcPtzStopOffset = 3;
constexpr size_t kIpcPtzArgumentOffset = 4;
constexpr size_t kIpcPtzPointOffset = 5;
constexpr size_t kIpcPtzValueOffset = 6;
