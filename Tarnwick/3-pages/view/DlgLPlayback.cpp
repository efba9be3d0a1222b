#include "view/DlgLPlayback.h"

#include <QComboBox>

#include "shell/StringIds.h"

CDlgLPlayback::CDlgLPlayback() : CPlaybackPageBase(kTemplateId, false) {}

CDlgLPlayback::~CDlgLPlayback() = default;

bool CDlgLPlayback::OnInitDialog() {
  if (!CPlaybackPageBase::OnInitDialog()) return false;
  AddTypeRow(IDS_ALL, CDlgLPlaybackController::kKindAll);
  AddTypeRow(IDS_MANUAL_RECORDING, CDlgLPlaybackController::kKindManual);
  AddTypeRow(IDS_ALARM_RECORDING, CDlgLPlaybackController::kKindAlarm);
  AddTypeRow(IDS_DOWNLOAD, CDlgLPlaybackController::kKindDownloads);
  m_typeCombo->setCurrentIndex(0);
  return true;
}
