#include "view/DlgPreview.h"

#include <QResizeEvent>

#include "devices/Device.h"
#include "devices/DeviceManager.h"
#include "devices/SystemBridge.h"
#include "shell/AppMessages.h"

CDlgPreview::CDlgPreview() : CPageDialog(kTemplateId) {
  m_deviceTree.setObjectName(QString::number(kDeviceTreeId));
  m_groupTree.setObjectName(QString::number(kGroupTreeId));
  m_deviceTree.setHeaderHidden(true);
  m_groupTree.setHeaderHidden(true);
}

CDlgPreview::~CDlgPreview() {
  // The trees are members: take them out of the page's children before Qt deletes those.
  m_deviceTree.setParent(nullptr);
  m_groupTree.setParent(nullptr);
}

bool CDlgPreview::OnInitDialog() {
  m_deviceTree.setParent(this);
  m_groupTree.setParent(this);
  m_deviceTree.show();
  m_groupTree.show();
  return true;
}

void CDlgPreview::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  const int treeWidth = 200;
  const int half = height() / 2;
  m_deviceTree.setGeometry(0, 0, treeWidth, half);
  m_groupTree.setGeometry(0, half, treeWidth, height() - half);
}

bool CDlgPreview::OnMessage(uint32_t message, uintptr_t wParam, intptr_t, intptr_t& result) {
  switch (message) {
    case WM_DEVICE_ALARM:
      result = OnDeviceAlarm(reinterpret_cast<MsgAlarmInfo*>(wParam));
      return true;
    case WM_DEVICE_EXCEPTION:
      result = OnDeviceException(static_cast<int>(wParam));
      return true;
    default:
      return false;
  }
}

intptr_t CDlgPreview::OnDeviceAlarm(MsgAlarmInfo* block) {
  if (!block) return -1;
  FreeMsgBuffer(block);
  return 0;
}

intptr_t CDlgPreview::OnDeviceException(int loginId) {
  CDevice* device = CDeviceManager::GetInstance()->FindDeviceByLoginId(loginId);
  if (!device) return 0;
  device->ReleaseAll();
  return 0;
}
