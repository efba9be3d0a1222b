#include "view/DlgPlayback.h"

#include <QComboBox>

#include "controls/BitmapButtonEx.h"
#include "controls/SliderControlEx.h"

CDlgPlayback::CDlgPlayback() : CPlaybackPageBase(kTemplateId, true) {}

CDlgPlayback::~CDlgPlayback() = default;

bool CDlgPlayback::OnInitDialog() {
  if (!CPlaybackPageBase::OnInitDialog()) return false;
  AddTypeRow(8308, 255);
  AddTypeRow(8264, 0);
  AddTypeRow(8347, 1);
  AddTypeRow(8336, 2);
  AddTypeRow(8348, 3);
  AddTypeRow(8263, 6);
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
