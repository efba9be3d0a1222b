#include "view/DlgLPlayback.h"

#include <QComboBox>

CDlgLPlayback::CDlgLPlayback() : CPlaybackPageBase(kTemplateId, false) {}

CDlgLPlayback::~CDlgLPlayback() = default;

bool CDlgLPlayback::OnInitDialog() {
  if (!CPlaybackPageBase::OnInitDialog()) return false;
  AddTypeRow(8308, CDlgLPlaybackController::kKindAll);
  AddTypeRow(8263, CDlgLPlaybackController::kKindManual);
  AddTypeRow(8333, CDlgLPlaybackController::kKindAlarm);
  AddTypeRow(8334, CDlgLPlaybackController::kKindDownloads);
  m_typeCombo->setCurrentIndex(0);
  return true;
}
