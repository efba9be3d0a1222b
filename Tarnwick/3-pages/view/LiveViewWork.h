#pragma once
// The program's live view as the device manager page sees it: its preview manager (open
// previews and their recordings) and its cycles. The page knows only the interface, so the
// device side never reaches into the live view; whoever makes the page hands this in.
#include <string>

#include "devices/DevMgrController.h"

class CLiveViewWork : public IDeviceWorkServices {
 public:
  int OpenPreviewCount() override;
  void StopDevicePreviews(const std::u16string& deviceGuid) override;
  bool StopCycle(const std::u16string& group) override;
  bool RenameCycle(const std::u16string& from, const std::u16string& to) override;
};
