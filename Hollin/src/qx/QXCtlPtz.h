#pragma once
// PTZ of a previewed recorder channel, over the live view's handle.
#include "Hollin/Interfaces.h"

class CDevQXCtlPtz : public IDevCtlPtz {
 public:
  // loginId is -1 when made without a channel (cruise reading then answers 0). The live
  // handle is asked of the preview at every command: a preview that stopped and started
  // again has a new handle, and a command must never go to the one that was closed.
  CDevQXCtlPtz(IDevPreview* preview, DevHandle loginId, long channel)
      : preview_(preview), loginId_(static_cast<int32_t>(loginId)),
        channel_(static_cast<int32_t>(channel)) {}

  // A recorder's PTZ keeps no value of its own.
  int GetStoredValue() override { return 0; }
  int SetStoredValue(int) override { return 0; }
  int PTZControl(int command, int stop) override;
  int PTZCruise(int command, int route, int point, int value) override;
  int PTZPreset(int command, int preset) override;
  int GetPTZCruise(int route, int* points, int channel) override;
  int PTZTrack(int command) override;

 private:
  int32_t RealHandle() const;

  IDevPreview* preview_;
  int32_t loginId_;
  [[maybe_unused]] int32_t channel_;
};
