#pragma once
// The video parameter panel of the preview page (template 139): brightness, saturation,
// contrast and hue sliders and the volume of the active play window's preview, and a button
// that restores the defaults. The decisions are CVideoParamController's; the panel shows its
// positions and hands it the slider moves.
#include <array>

#include "controls/PageDialog.h"
#include "view/DlgVideoParamController.h"

class CSliderControlEx;
class CBitmapButtonEx;

class CDlgVideoParam : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 139;
  static constexpr int kFirstLabelId = 1966;  // 1966..1970, in slider order

  CDlgVideoParam();
  // Loads the panel from the preview of channel `channel` of the device with this GUID, read
  // on the device's queue (an empty GUID: the defaults); the panel is greyed until the values
  // arrive. 1.
  int BindPreview(const std::u16string& guid, int channel);
  CVideoParamController& Controller() { return controller_; }

 protected:
  bool OnInitDialog() override;
  bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void Moved(int slider, int value);
  void ShowPositions();

  CPreviewListPanelHost host_;  // the active play window's channel, the one written to
  CVideoParamController controller_;
  std::array<CSliderControlEx*, CVideoParamController::kSliderCount> sliders_{};
  CBitmapButtonEx* restore_ = nullptr;
  bool showing_ = false;  // positions being set by the panel itself
};
