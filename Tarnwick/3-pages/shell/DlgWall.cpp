#include "shell/DlgWall.h"

#include <QLabel>

CDlgWall::CDlgWall() : CPageDialog(kTemplateId) {}

CDlgWall::~CDlgWall() = default;

bool CDlgWall::OnInitDialog() {
  new QLabel(QStringLiteral("Wall"), this);
  return true;
}
