#include "shell/DlgMap.h"

#include <QLabel>

CDlgMap::CDlgMap() : CPageDialog(kTemplateId) {}

CDlgMap::~CDlgMap() = default;

// The map area stays empty: nothing is ever navigated to.
bool CDlgMap::OnInitDialog() {
  auto* area = new QLabel(this);
  area->setObjectName(QStringLiteral("1948"));
  return true;
}
