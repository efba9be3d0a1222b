#include "view/DlgPTZ.h"

#include <QEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "controls/SliderControlEx.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "view/DlgPTZParts.h"
#include "view/PTZButton.h"

namespace {

struct ButtonRow {
  int id;
  uint32_t tip;
  int images[3];
  int command;
};

// The 3D button (1059) has no command the devices define: it sends nothing.
constexpr ButtonRow kButtons[CDlgPTZ::kButtonCount] = {
    {1043, IDS_PTZ_UP_LEFT, {6030, 6029, 6028}, ptzcmd::kUpLeft},
    {1044, IDS_PTZ_UP, {6051, 6050, 6049}, ptzcmd::kUp},
    {1045, IDS_PTZ_UP_RIGHT, {6047, 6046, 6045}, ptzcmd::kUpRight},
    {1048, IDS_PTZ_LEFT, {6027, 6026, 6025}, ptzcmd::kLeft},
    {1049, IDS_PTZ_AUTO_SCAN, {6845, 6035, 6034}, ptzcmd::kAutoScan},
    {1050, IDS_PTZ_RIGHT, {6862, 6863, 6864}, ptzcmd::kRight},
    {1053, IDS_PTZ_DOWN_LEFT, {6019, 6018, 6017}, ptzcmd::kDownLeft},
    {1054, IDS_PTZ_DOWN, {6021, 6020, 6016}, ptzcmd::kDown},
    {1055, IDS_PTZ_DOWN_RIGHT, {6024, 6023, 6022}, ptzcmd::kDownRight},
    {1046, IDS_PTZ_FOCUS_FAR, {6069, 6068, 6067}, ptzcmd::kFocusFar},
    {1047, IDS_PTZ_FOCUS_NEAR, {6072, 6071, 6070}, ptzcmd::kFocusNear},
    {1051, IDS_PTZ_FOCUS_FORWARD, {6063, 6062, 6061}, ptzcmd::kZoomOut},
    {1052, IDS_PTZ_FOCUS_BACKWARD, {6060, 6059, 6058}, ptzcmd::kZoomIn},
    {1056, IDS_PTZ_IRIS_OPEN, {6057, 6056, 6055}, ptzcmd::kIrisOpen},
    {1057, IDS_PTZ_IRIS_CLOSE, {6066, 6065, 6064}, ptzcmd::kIrisClose},
    {1059, IDS_PTZ_3D_POSITIONING, {6007, 6006, 6005}, 0},
    {1060, IDS_PTZ_LIGHT, {6033, 6032, 6031}, ptzcmd::kLight},
    {1061, IDS_PTZ_WIPER, {6011, 6010, 6009}, ptzcmd::kWiper},
};

// Direction buttons round the auto-scan button, from 0 degrees in steps of 45.
constexpr int kRose[8] = {1050, 1055, 1054, 1053, 1048, 1043, 1044, 1045};

}  // namespace

CDlgPTZ::CDlgPTZ(IPanelHost* host) : CPageDialog(kTemplateId), controller_(host) {
  plat::Named(this, kTemplateId);
  for (int i = 0; i < kButtonCount; ++i) {
    const ButtonRow& row = kButtons[i];
    auto* b = new CPTZButton(this, row.id);
    plat::Named(b, row.id);
    b->LoadImageResources(row.images[0], row.images[1], row.images[2]);
    b->SizeToImage();
    b->SetCommand(row.command);
    b->SetController(&controller_);
    b->setToolTip(Text(row.tip));
    buttons_[i] = b;
  }
  // A speed slider between its "-" and "+" images. No PTZ command carries a speed, so the
  // three stay hidden and nothing reads the slider's position.
  slider_ = new CSliderControlEx(this);
  plat::Named(slider_, kSliderId);
  slider_->LoadThumbImageResource(6048);
  slider_->setToolTip(QStringLiteral("0-6"));
  slider_->hide();
  connect(slider_, &QSlider::valueChanged, this, [this, last = slider_->value()](int v) mutable {
    // Without the PTZ right a scroll is dropped: the slider stays where it was.
    if (v != last && !CheckPtzRight()) {
      QSignalBlocker block(slider_);
      slider_->setValue(last);
      return;
    }
    last = v;
  });
  minus_ = new CBitmapButtonEx(this, 1953);
  plat::Named(minus_, 1953);
  minus_->LoadImageResources(6015);
  minus_->SizeToImage();
  minus_->hide();
  plus_ = new CBitmapButtonEx(this, 1954);
  plat::Named(plus_, 1954);
  plus_->LoadImageResources(6008);
  plus_->SizeToImage();
  plus_->hide();
  LoadImageFromResource(background_, 222);
  Layout();
}

CDlgPTZ::~CDlgPTZ() { controller_.Release(); }

bool CDlgPTZ::OnInitDialog() {
  Layout();
  return true;
}

CPTZButton* CDlgPTZ::Button(int id) const {
  for (CPTZButton* b : buttons_)
    if (b && b->GetDlgCtrlID() == id) return b;
  return nullptr;
}

void CDlgPTZ::PlaceOnCircle(QWidget* w, int cx, int cy, int radius, int angle) {
  if (!w) return;
  const double rad = angle * 3.1415926 / 180.0;
  const int left = static_cast<int>(cx + radius * std::cos(rad) - w->width() / 2.0);
  const int top = static_cast<int>(cy + radius * std::sin(rad) - w->height() / 2.0);
  w->move(left, top);
  w->update();
}

void CDlgPTZ::Layout() {
  CPTZButton* scan = Button(kAutoScanId);
  if (!scan) return;
  scan->move(40, 47);
  const int cx = scan->x() + scan->width() / 2, cy = scan->y() + scan->height() / 2;
  for (int i = 0; i < 8; ++i) PlaceOnCircle(Button(kRose[i]), cx, cy, 32, i * 45);
  Button(1046)->move(111, 25);
  Button(1047)->PlaceBeside(Button(1046), 2, -1);
  Button(1051)->PlaceBeside(Button(1046), -1, 2);
  Button(1052)->PlaceBeside(Button(1051), 2, -1);
  Button(1056)->PlaceBeside(Button(1051), -1, 2);
  Button(1057)->PlaceBeside(Button(1056), 2, -1);
  // The 3D, light and wiper row sits in the lower third, under the rose; the speed row
  // between them.
  CPTZButton* b3d = Button(1059);
  const int h = std::max(height(), 200);
  b3d->move(12, 2 * (h / 3) + h / 6 - b3d->height() / 3);
  Button(1060)->PlaceBeside(b3d, 6, -1);
  Button(1061)->PlaceBeside(Button(1060), 6, -1);
  minus_->move(12, b3d->y() - minus_->height() - 8);
  const int left = minus_->x() + minus_->width();
  const int right = Button(1057)->geometry().right() + 1 - minus_->width();
  slider_->setGeometry(left, minus_->y(), std::max(0, right - left), minus_->height());
  plus_->PlaceBeside(slider_, 0, -1);
}

void CDlgPTZ::resizeEvent(QResizeEvent* e) {
  CPageDialog::resizeEvent(e);
  Layout();
}

void CDlgPTZ::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!background_.isNull()) p.drawImage(rect(), background_);
  else p.fillRect(rect(), ptzpanel::kBackground);
}

void CDlgPTZ::hideEvent(QHideEvent* e) {
  // A panel that goes away while a button is held stops the head.
  controller_.Release();
  CPageDialog::hideEvent(e);
}

void CDlgPTZ::changeEvent(QEvent* e) {
  if (e->type() == QEvent::ActivationChange && !isActiveWindow()) controller_.Release();
  CPageDialog::changeEvent(e);
}
