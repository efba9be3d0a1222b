#include "view/DlgPlayback.h"

#include <QComboBox>

#include "controls/BitmapButtonEx.h"
#include "controls/SliderControlEx.h"
#include "shell/StringIds.h"

CDlgPlayback::CDlgPlayback() : CPlaybackPageBase(kTemplateId, true) {}

CDlgPlayback::~CDlgPlayback() = default;

bool CDlgPlayback::OnInitDialog() {
  if (!CPlaybackPageBase::OnInitDialog()) return false;
  AddTypeRow(IDS_ALL, 255);
  AddTypeRow(IDS_SCHEDULED, 0);
  AddTypeRow(IDS_MOTION_DETECTION, 1);
  AddTypeRow(IDS_ALARM_TRIGGERED, 2);
  AddTypeRow(IDS_ALARM_OR_MOTION, 3);
  AddTypeRow(IDS_MANUAL_RECORDING, 6);
  m_typeCombo->setCurrentIndex(0);
  SetVolumeRange(kVolumeMax);
  ShowAbilities(m_controller.Abilities());
  return true;
}

QString CDlgPlayback::ProgressText() const { return m_btnProgress ? m_btnProgress->text() : QString(); }

void CDlgPlayback::SetProgressText(const std::u16string& text) {
  m_btnProgress->setText(QString::fromStdU16String(text));
  m_btnProgress->repaint();
}
