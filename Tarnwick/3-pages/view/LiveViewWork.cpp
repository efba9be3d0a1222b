#include "view/LiveViewWork.h"

#include "shell/Singleton.h"
#include "view/CyclePreview.h"
#include "view/PreviewManager.h"

int CLiveViewWork::OpenPreviewCount() { return CPreviewManager::GetInstance()->GetCount(); }

void CLiveViewWork::StopDevicePreviews(const std::u16string& deviceGuid) {
  // Cycles first, whatever group they came from, so none starts the device again meanwhile.
  if (SingletonAccess<CCyclePreviewManager>::HasInstance())
    CCyclePreviewManager::GetInstance()->StopByDevice(deviceGuid);
  CPreviewManager::GetInstance()->StopDeviceAll(deviceGuid);
}

bool CLiveViewWork::StopCycle(const std::u16string& group) {
  // The running count follows the cycles themselves: stopping is all there is to do.
  return CCyclePreviewManager::GetInstance()->StopByName(group);
}

bool CLiveViewWork::RenameCycle(const std::u16string& from, const std::u16string& to) {
  CCyclePreviewNode* node = CCyclePreviewManager::GetInstance()->FindByName(from);
  if (!node) return false;
  node->SetName(to);
  return true;
}
