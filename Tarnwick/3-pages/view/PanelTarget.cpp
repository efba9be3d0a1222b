#include "view/PanelTarget.h"

#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "shell/Singleton.h"
#include "view/PreviewManager.h"

bool CPreviewListPanelHost::GetActiveChannel(std::u16string& guid, int& channel) {
  if (!SingletonAccess<CPreviewManager>::HasInstance()) return false;
  CPreviewManager* manager = CPreviewManager::GetInstance();
  ILiveScreen* screen = manager->GetPlayScreen();
  if (!screen) return false;
  PreviewItemPtr item = manager->FindByWindow(screen->GetActiveIndex());
  if (!item) return false;
  guid = item->GetDeviceGuid();
  channel = item->GetChannel();
  return true;
}

CChannel* PanelTarget::Channel() const {
  if (!valid()) return nullptr;
  CDevice* device = CDeviceManager::GetInstance()->FindDevice(guid, 1);
  return device ? device->GetChannel(channel) : nullptr;
}

bool PanelTarget::Live() const {
  CChannel* ch = Channel();
  if (!ch || !ch->GetDevice() || !ch->GetDevice()->IsLoggedIn()) return false;
  IDevPreview* preview = ch->GetPreview(0);
  return preview && preview->IsPreviewing();
}


IDevPreview* PanelTarget::Preview() const {
  CChannel* ch = Channel();
  return ch ? ch->GetPreview(0) : nullptr;
}

PanelTarget GetPanelChannel(IPanelHost* host) {
  PanelTarget t;
  if (!host || !host->GetActiveChannel(t.guid, t.channel)) return {};
  return t;
}

IDevCtlPtz* GetPanelPtz(const PanelTarget& target) {
  return target.Live() ? target.Channel()->GetPtzWithNumber(1) : nullptr;
}
