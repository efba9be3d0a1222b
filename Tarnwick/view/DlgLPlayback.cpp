#include "view/DlgLPlayback.h"

#include <QResizeEvent>

CDlgLPlayback::CDlgLPlayback() : CPageDialog(kTemplateId) {
  m_deviceTree.setObjectName(QString::number(kDeviceTreeId));
  m_deviceTree.setHeaderHidden(true);
}

CDlgLPlayback::~CDlgLPlayback() { m_deviceTree.setParent(nullptr); }

bool CDlgLPlayback::OnInitDialog() {
  m_deviceTree.setParent(this);
  m_deviceTree.show();
  return true;
}

void CDlgLPlayback::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  m_deviceTree.setGeometry(0, 0, 200, height());
}
