#pragma once
// PTZ and configuration of an IP camera or a recorder over its camera library session.
#include <cstdint>

#include "Corvane/records.h"
#include "Hollin/DevInfo.h"
#include "Hollin/Interfaces.h"

namespace hollin {

class CameraPtz : public IDevCtlPtz {
 public:
  CameraPtz(DevHandle session, int kept) : session_(session), kept_(kept) {}
  int GetStoredValue() override { return stored_; }
  int SetStoredValue(int value) override {
    stored_ = value;
    return 1;
  }
  // The command record carries the command's low byte, the stop flag (a start without its
  // stop would leave the head turning), the preset or route, the point and the value; a
  // steering command has no value, and the stored int is only kept.
  int PTZControl(int command, int stop) override { return Send(command, stop != 0, 0, 0, 0); }
  int PTZCruise(int command, int route, int point, int value) override {
    return Send(command, false, route, point, value);
  }
  int PTZPreset(int command, int preset) override { return Send(command, false, preset, 0, 0); }
  int GetPTZCruise(int, int*, int) override { return 0; }
  int PTZTrack(int command) override { return Send(command, false, 0, 0, 0); }

 private:
  int Send(int command, bool stop, int argument, int point, int value);
  DevHandle session_;
  [[maybe_unused]] int kept_;  // the channel or 1, as made; not sent
  int stored_ = 0;
  uint8_t command_[kIpcPtzCommandSize] = {};
};

class CameraConfig : public IDevConfig {
 public:
  CameraConfig(int devType, DevHandle session) : devType_(devType), session_(session) {}
  int GetConfig(tagDevConfigRequest* request) override;
  int SetConfig(tagDevConfigRequest* request) override;

 private:
  const int devType_;
  DevHandle session_;
  uint8_t ptz_[kIpcPtzParamSize] = {};
  bool read_ = false;
};

// The recorder layout the callers ask for with configuration type 12: the channel's decoder
// (PTZ) configuration, whose bytes 16 to 271 flag the presets that are set.
constexpr int32_t kConfigTypeDecoder = 12;
constexpr size_t kDecoderConfigSize = 784;

}  // namespace hollin
