#include "view/DlgPlayback.h"

#include <QResizeEvent>

CDlgPlayback::CDlgPlayback() : CPageDialog(kTemplateId) {
  m_deviceTree.setObjectName(QString::number(kDeviceTreeId));
  m_deviceTree.setHeaderHidden(true);
}

CDlgPlayback::~CDlgPlayback() { m_deviceTree.setParent(nullptr); }

bool CDlgPlayback::OnInitDialog() {
  m_deviceTree.setParent(this);
  m_deviceTree.show();
  return true;
}

void CDlgPlayback::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  m_deviceTree.setGeometry(0, 0, 200, height());
}
