#pragma once
// The PTZ side panel of the preview page: eight direction buttons round an auto-scan button,
// six lens buttons (focus, zoom, iris), and the 3D, light and wiper buttons. Every button is a
// CPTZButton acting on the channel of the active play window through one CPtzController.
#include <QImage>
#include <array>
#include <memory>

#include "controls/PageDialog.h"
#include "view/PtzPanelController.h"

class CPTZButton;
class CBitmapButtonEx;
class CSliderControlEx;

class CDlgPTZ : public CPageDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 140;
  static constexpr int kAutoScanId = 1049;
  static constexpr int kSliderId = 1058;
  static constexpr int kButtonCount = 18;

  // `host` tells the panel which channel the user watches; it must outlive the panel.
  explicit CDlgPTZ(IPanelHost* host);
  ~CDlgPTZ() override;

  CPTZButton* Button(int id) const;
  CPtzController& Controller() { return controller_; }

  // Moves `w` so that its centre lies on the circle (angle in degrees, y grows downwards).
  static void PlaceOnCircle(QWidget* w, int cx, int cy, int radius, int angle);

 protected:
  bool OnInitDialog() override;
  void resizeEvent(QResizeEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void Layout();

  CPtzController controller_;
  QImage background_;
  CSliderControlEx* slider_ = nullptr;
  std::array<CPTZButton*, kButtonCount> buttons_{};
  CBitmapButtonEx* minus_ = nullptr;
  CBitmapButtonEx* plus_ = nullptr;
};
