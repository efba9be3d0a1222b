#include "view/DlgPreview.h"

#include <QResizeEvent>
#include <algorithm>

#include "controls/TaskbarNotifier.h"
#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "devices/SystemBridge.h"
#include "shell/Singleton.h"
#include "shell/AppMessages.h"
#include "view/PlayScreen.h"
#include "view/PreviewManager.h"

namespace {

// Alarms that carry one flag per channel (the others are disk alarms).
bool IsChannelAlarm(int32_t type) { return type == 0 || type == 2 || type == 3 || type == 6; }

}  // namespace

CDlgPreview::CDlgPreview() : CPageDialog(kTemplateId) {
  m_deviceTree.setObjectName(QString::number(kDeviceTreeId));
  m_groupTree.setObjectName(QString::number(kGroupTreeId));
  m_deviceTree.setHeaderHidden(true);
  m_groupTree.setHeaderHidden(true);
}

CDlgPreview::~CDlgPreview() {
  if (m_playScreen) {
    // The open previews are saved while they still run, then stopped.
    if (SingletonAccess<CPreviewManager>::HasInstance() &&
        CPreviewManager::GetInstance()->GetPlayScreen() == m_playScreen) {
      CPreviewManager* manager = CPreviewManager::GetInstance();
      manager->SaveSession();
      manager->RemoveAll();
      manager->SetPlayScreen(nullptr);
    }
    if (GetPreviewPageWindow() == GetSafeHwnd()) SetPreviewPageWindow(0);
  }
  // The trees are members: take them out of the page's children before Qt deletes those.
  m_deviceTree.setParent(nullptr);
  m_groupTree.setParent(nullptr);
}

bool CDlgPreview::OnInitDialog() {
  m_deviceTree.setParent(this);
  m_groupTree.setParent(this);
  m_deviceTree.show();
  m_groupTree.show();
  m_playScreen = new CPlayScreen(0, this);
  m_playScreen->setObjectName(QString::number(CPlayScreen::kControlId));
  m_playScreen->show();
  CPreviewManager::GetInstance()->SetPlayScreen(m_playScreen);
  SetPreviewPageWindow(GetSafeHwnd());
  // The program's notices need a window that lives as long as the pages (the login
  // dialog's went with it; an automatic login made none).
  CTaskbarNotifier::GetInstance()->CreateIfNeeded(this);
  return true;
}

void CDlgPreview::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  const int treeWidth = 200;
  const int half = height() / 2;
  m_deviceTree.setGeometry(0, 0, treeWidth, half);
  m_groupTree.setGeometry(0, half, treeWidth, height() - half);
  if (m_playScreen) {
    // The screen takes the rest; its layout is applied again from window 0, keeping the
    // active window.
    const int active = m_playScreen->GetActiveIndex();
    m_playScreen->setGeometry(treeWidth, 0, std::max(0, width() - treeWidth), height());
    m_playScreen->SetMode(m_playScreen->GetLayoutMode(), 0);
    m_playScreen->SetActiveIndex(active, 0);
  }
}

bool CDlgPreview::OnMessage(uint32_t message, uintptr_t wParam, intptr_t, intptr_t& result) {
  switch (message) {
    case WM_DEVICE_ALARM:
      result = OnDeviceAlarm(reinterpret_cast<MsgAlarmInfo*>(wParam));
      return true;
    case WM_DEVICE_EXCEPTION:
      result = OnDeviceException(static_cast<int>(wParam));
      return true;
    case WM_DEVICE_REBOOT:
      result = OnDeviceReboot(reinterpret_cast<CDevice*>(wParam));
      return true;
    default:
      return false;
  }
}

intptr_t CDlgPreview::OnDeviceAlarm(MsgAlarmInfo* block) {
  if (!block) return -1;
  CDeviceManager* devices = CDeviceManager::GetInstance();
  CDevice* device = block->loginId == -1 ? devices->FindDeviceByIP(block->deviceIP)
                                         : devices->FindDeviceByLoginId(block->loginId);
  if (device && device->GetAlarmState() != 0 && IsChannelAlarm(block->alarmType)) {
    // Flags past the device's own channels would only make channels it does not have.
    const int count = std::min({block->flagCount, static_cast<int32_t>(sizeof block->flags),
                                device->GetDevInfo().ChnNum});
    for (int i = 0; i < count; ++i) {
      if (CChannel* channel = devices->GetChannel(device, i + 1)) channel->SetAlarmFlag(block->flags[i] ? 1 : 0);
    }
  }
  FreeMsgBuffer(block);
  return 0;
}

intptr_t CDlgPreview::OnDeviceException(int loginId) {
  CDevice* device = CDeviceManager::GetInstance()->FindDeviceByLoginId(loginId);
  if (!device) return 0;
  // Releasing the device first stops and unlists every preview of it.
  device->ReleaseAll();
  if (IDevUserLogin* login = device->GetUserLogin(0)) login->Logout();
  return 0;
}

intptr_t CDlgPreview::OnDeviceReboot(CDevice* device) {
  // Only a device still in the list: the message may arrive after the device was deleted.
  CDeviceManager* devices = CDeviceManager::GetInstance();
  const auto& list = devices->GetList();
  if (!device || std::find(list.begin(), list.end(), device) == list.end()) return 0;
  device->ReleaseAll();
  device->RebootDevice();
  if (IDevUserLogin* login = device->GetUserLogin(0)) login->Logout();
  return 0;
}
