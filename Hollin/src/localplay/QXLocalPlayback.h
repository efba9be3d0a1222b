#pragma once
// The local player of recorder (type 1) recordings, over the player library.
#include "Hollin/Interfaces.h"

class CDevQXLocalPlayback : public IDevLocalPlayback {
 public:
  CDevQXLocalPlayback() = default;  // deleting frees the object only: callers Close first

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
  int OpenStream(const uint8_t* header, uint32_t headerSize, uint32_t bufferSize) override;
  int InputData(const uint8_t* data, uint32_t length) override;
  int CloseStream() override;
  int GetTotalTime() override { return 0; }
  int GetPlayedTime() override { return 0; }

  int32_t Port() const { return port_; }
  int PlayStateValue() const { return state_; }

 private:
  int32_t port_ = -1;
  int state_ = -1;  // -1 stopped, 0 paused, 1 playing, 2 fast
};
