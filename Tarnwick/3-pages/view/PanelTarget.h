#pragma once
// Which channel the live view's side panels (PTZ, presets, cruise, video parameters) act on:
// the one shown in the active play window, named by its device's GUID and its number. The
// panels keep this name, never device-layer pointers, which die with the device's release and
// may only be used on the device's queue (devices/DeviceWork.h).
#include <string>

#include "Hollin.h"

class CChannel;

// A device channel by name.
struct PanelTarget {
  std::u16string guid;
  int channel = 0;
  bool valid() const { return channel > 0 && !guid.empty(); }
  bool operator==(const PanelTarget&) const = default;
  // The channel object when the device is still listed and has that channel; never creates.
  // Any thread.
  CChannel* Channel() const;
  // The device is logged in and the channel's main preview runs. Reads only the state the
  // device layer keeps in atomics, so the UI thread asks this before it queues a command.
  bool Live() const;
  // Device queue only: the channel's main preview when it has one (never made).
  IDevPreview* Preview() const;
};

// Where the panels find the channel the user is watching.
class IPanelHost {
 public:
  virtual ~IPanelHost() = default;
  // The device GUID and channel number of the active play window's preview; false when that
  // window shows nothing.
  virtual bool GetActiveChannel(std::u16string& guid, int& channel) = 0;
};

// The preview list's view: the active window of its play screen and the item listed there.
class CPreviewListPanelHost : public IPanelHost {
 public:
  bool GetActiveChannel(std::u16string& guid, int& channel) override;
};

// The channel of the active play window as a panel sees it: named, not a pointer, so that it
// can travel to the device's queue (invalid when the window shows nothing).
PanelTarget GetPanelChannel(IPanelHost* host);

// The PTZ object a panel's command goes to: that of `target`, the channel the panel took from
// GetPanelChannel when the command left, while its device is logged in and its main preview
// runs; made on demand. Null otherwise. Device queue only.
IDevCtlPtz* GetPanelPtz(const PanelTarget& target);
