#pragma once
// The local player of IP-camera and NVR recordings (AVI files).
#include <memory>
#include <string>

#include "Hollin/Interfaces.h"
#include "localplay/FilePlayer.h"

class CDevFileLocalPlayback : public IDevLocalPlayback {
 public:
  CDevFileLocalPlayback() = default;  // callers Close first; the player goes with the object

  int Open(const char* file, HWND window) override;
  int Close() override;
  int Play(HWND window) override;
  int Stop() override;
  int Pause(int pause) override;
  int Fast() override;
  int Slow() override;
  int Step() override;
  int StepBack() override;
  int CapturePicture(const char* path, int ignored) override;
  int SetPlayPos(float fraction) override;
  float GetPlayPos() override;
  int SetVolume(int volume) override;
  int StopSound() override;
  int PlaySound() override;
  int OpenStream(const uint8_t*, uint32_t, uint32_t) override { return 0; }
  int InputData(const uint8_t*, uint32_t) override { return 0; }
  int CloseStream() override { return 0; }
  int GetTotalTime() override;
  int GetPlayedTime() override;

  // For tests: the player and the two rates asked for so far.
  hollin::localplay::FilePlayer* Player() const { return player_.get(); }
  double FastRate() const { return fastRate_; }
  double SlowRate() const { return slowRate_; }

 private:
  std::unique_ptr<hollin::localplay::FilePlayer> player_;
  std::string fileName_;
  HWND window_ = 0;
  double fastRate_ = 1.0;
  double slowRate_ = 1.0;
  double duration_ = 0;  // seconds
};
