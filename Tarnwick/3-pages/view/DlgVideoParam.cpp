#include "view/DlgVideoParam.h"

#include <QPainter>

#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "controls/SliderControlEx.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"
#include "view/BSWndContainer.h"

namespace {

constexpr uint32_t kBackground = 0x594E49;
constexpr int kRestoreImages[] = {6774, 6772, 6773};
// The labels beside the sliders are image buttons with their text drawn over the image.
constexpr int kLabelImages[] = {6888, 6889, 6890, 6891, 9892};
constexpr int kThumbImage = 6762;
constexpr int kRowHeight = 34;

}  // namespace

CDlgVideoParam::CDlgVideoParam()
    : CPageDialog(kTemplateId),
      controller_([this] { return GetPanelChannel(&host_); },
                  [](const std::u16string& text) { UiService().Notice(text); }) {
  controller_.SetOnChanged([this] {
    if (HasWindow()) ShowPositions();
  });
}

bool CDlgVideoParam::OnInitDialog() {
  const int texts[] = {IDS_BRIGHTNESS, IDS_SATURATION, IDS_CONTRAST, IDS_HUE, IDS_VOLUME};
  for (int i = 0; i < CVideoParamController::kSliderCount; ++i) {
    const int y = 10 + i * kRowHeight;
    auto* label = new CBitmapButtonEx(this, kFirstLabelId + i);
    plat::Named(label, kFirstLabelId + i);
    label->setFocusPolicy(Qt::NoFocus);
    label->setText(Text(texts[i]));
    QPalette white = label->palette();
    white.setColor(QPalette::ButtonText, Qt::white);
    label->setPalette(white);
    label->LoadImageResources(kLabelImages[i], 0, 0, 0, 0, 1);
    label->move(8, y);
    label->SizeToImage();
    auto* slider = new CSliderControlEx(this);
    plat::Named(slider, CVideoParamController::kFirstSliderId + i);
    slider->setGeometry(76, y, 136, 22);
    slider->setTickInterval(1);
    slider->setToolTip(Text(texts[i]));
    slider->LoadThumbImageResource(kThumbImage);
    // Every scroll notification: each step of a drag, its end, and keys and clicks on the
    // groove, which move the slider without a drag.
    connect(slider, &QSlider::sliderMoved, this, [this, i](int v) { Moved(i, v); });
    connect(slider, &QSlider::sliderReleased, this, [this, i, slider] { Moved(i, slider->value()); });
    connect(slider, &QSlider::valueChanged, this, [this, i, slider](int v) {
      if (!showing_ && !slider->isSliderDown()) Moved(i, v);
    });
    sliders_[i] = slider;
  }
  restore_ = new CBitmapButtonEx(this, CVideoParamController::kRestoreId);
  plat::Named(restore_, CVideoParamController::kRestoreId);
  const uint16_t lang = GetLanguageId();
  restore_->LoadImageResources(LocalizedImageId(kRestoreImages[0], lang), LocalizedImageId(kRestoreImages[1], lang),
                               LocalizedImageId(kRestoreImages[2], lang));
  restore_->move(76, 10 + CVideoParamController::kSliderCount * kRowHeight);
  restore_->SizeToImage();
  restore_->setToolTip(Text(IDS_RESTORE));
  resize(220, restore_->geometry().bottom() + 12);
  ShowPositions();
  return true;
}

int CDlgVideoParam::BindPreview(const std::u16string& guid, int channel) {
  controller_.Bind(PanelTarget{guid, channel});
  if (HasWindow()) ShowPositions();
  return 1;
}

void CDlgVideoParam::Moved(int slider, int value) {
  // Refused: a rebind shows the active channel's values; without the right the slider stays
  // where the user put it.
  if (!controller_.OnSliderMoved(slider, value)) ShowPositions();
}

void CDlgVideoParam::ShowPositions() {
  showing_ = true;
  for (int i = 0; i < CVideoParamController::kSliderCount; ++i) {
    if (!sliders_[i]) continue;
    const auto r = CVideoParamController::RangeOf(i);
    sliders_[i]->setRange(r.minimum, r.maximum);
    if (!sliders_[i]->isSliderDown()) sliders_[i]->setValue(controller_.Position(i));
  }
  // Greyed while the values are read.
  const bool ready = !controller_.Loading();
  for (CSliderControlEx* slider : sliders_)
    if (slider) slider->setEnabled(ready);
  if (restore_) restore_->setEnabled(ready);
  showing_ = false;
}

bool CDlgVideoParam::OnMessage(uint32_t message, uintptr_t wParam, intptr_t, intptr_t& result) {
  if (message == WM_IMAGEBUTTON_DOWN && wParam == CVideoParamController::kRestoreId) {
    controller_.RestoreDefaults();
    ShowPositions();
    result = 0;
    return true;
  }
  return false;
}

void CDlgVideoParam::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), FromColorRef(kBackground));
}
