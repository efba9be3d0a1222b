#include "shell/DlgMap.h"

#include <QLabel>

#include "plat/controlid.h"

namespace {
constexpr int IDC_MAP_AREA = 1948;
}  // namespace

CDlgMap::CDlgMap() : CPageDialog(kTemplateId) {}

CDlgMap::~CDlgMap() = default;

// The map area stays empty: nothing is ever navigated to.
bool CDlgMap::OnInitDialog() {
  plat::Named(new QLabel(this), IDC_MAP_AREA);
  return true;
}
