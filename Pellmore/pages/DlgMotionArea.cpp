#include "DlgMotionArea.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "Controls.h"
#include "Session.h"
#include "plat/controlid.h"
#include "plat/paint.h"

namespace pellmore {

namespace {
constexpr uint32_t kRed = 0x0000FF, kBlack = 0x000000;  // 0x00BBGGRR

bool Usable(float scale) { return std::isfinite(scale) && scale > 0; }
}  // namespace

CDlgMotionArea::CDlgMotionArea(QWidget* owner, Mode mode, int channel)
    : QDialog(owner), mode_(mode), channel_(channel) {
  plat::Named(this, 4025);
  setWindowTitle(LoadLangString(4117));
  video_ = new VideoWindow(this, 4285, kAreaWindowWidth, kAreaWindowHeight);
  drawing_ = Named(new QCheckBox(LoadLangString(4119), this), 4286);
  auto* clear = Named(new QPushButton(LoadLangString(4118), this), 4287);
  auto* sensitivityLabel = MakeLabel(this, 4289, LoadLangString(4120));
  scale_ = new SensitivityScale(this, 4288, {{4294, 4122}, {4291, 4123}, {4292, 4124}}, 150);
  slider_ = scale_->Slider();
  // The slider has no "off" position here: its label stays hidden.
  MakeLabel(this, 4290, LoadLangString(4025))->hide();
  auto* ok = Named(new QPushButton(LoadLangString(4062), this), 4168);
  auto* cancel = Named(new QPushButton(LoadLangString(4063), this), 4666);

  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(8, 7, 8, 8);
  top->addWidget(video_);
  auto* tools = new QHBoxLayout;
  tools->addWidget(drawing_);
  tools->addWidget(clear);
  tools->addStretch(1);
  top->addLayout(tools);
  auto* sensitivity = new QHBoxLayout;
  sensitivity->addWidget(sensitivityLabel, 0, Qt::AlignTop);
  sensitivity->addWidget(scale_);
  sensitivity->addStretch(1);
  top->addLayout(sensitivity);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  top->addLayout(buttons);

  const bool grid = mode_ == kMotionGrid;
  sensitivityLabel->setVisible(grid);
  scale_->Show(grid);

  video_->onPress = [this](QPoint p) { OnMouseDown(p); };
  video_->onRelease = [this](QPoint p) { OnMouseUp(p); };
  connect(clear, &QPushButton::clicked, this, [this] { OnClearAll(); });
  connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

SensitivityScale::SensitivityScale(QWidget* parent, int sliderId,
                                   const std::vector<std::pair<int, uint32_t>>& labels, int width)
    : QWidget(parent) {
  slider_ = Named(new QSlider(Qt::Horizontal, this), sliderId);
  slider_->setRange(0, static_cast<int>(labels.size()) - 1);
  slider_->setPageStep(1);
  slider_->setTickPosition(QSlider::TicksBelow);
  int widest = 0, tallest = 0;
  for (const auto& [id, text] : labels) {
    QLabel* l = MakeLabel(this, id, LoadLangString(text));
    l->adjustSize();
    widest = std::max(widest, l->width());
    tallest = std::max(tallest, l->height());
    labels_.push_back(l);
  }
  pad_ = widest / 2;
  const int sliderHeight = slider_->sizeHint().height();
  slider_->setGeometry(pad_, 0, width, sliderHeight);
  setFixedSize(width + 2 * pad_, sliderHeight + tallest + 2);
}

void SensitivityScale::Show(bool shown) {
  setVisible(shown);
  slider_->setVisible(shown);
  for (QLabel* l : labels_) l->setVisible(shown);
}

void SensitivityScale::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Positions lie half a handle in from each end of the groove.
  QStyleOptionSlider option;
  option.initFrom(slider_);
  const int handle = slider_->style()->pixelMetric(QStyle::PM_SliderLength, &option, slider_);
  const int n = static_cast<int>(labels_.size());
  const int span = slider_->width() - handle;
  for (int i = 0; i < n; ++i) {
    QLabel* l = labels_[size_t(i)];
    const int x = pad_ + handle / 2 + (n > 1 ? i * span / (n - 1) : 0);
    l->move(x - l->width() / 2, slider_->height() + 2);
  }
}

CDlgMotionArea::CDlgMotionArea(QWidget* owner, MotionEntry* entry)
    : CDlgMotionArea(owner, kMotionGrid, entry->channel) {
  motion_ = entry;
  slider_->setValue(std::min<int>(entry->bytes[kMotionSensitivityAt], 2));
  Start();
}

CDlgMotionArea::CDlgMotionArea(QWidget* owner, PrivacyMaskEntry* entry)
    : CDlgMotionArea(owner, kPrivacyMask, entry->channel) {
  mask_ = entry;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (size_t i = 0; i < 4; ++i) {
      const MaskRect& m = entry->rects[i];
      entry->edit[i] = {m.x, m.y, m.x + m.width, m.y + m.height};
    }
    // Until a picture comes the scales are those of a D1 picture, never zero: a zero scale
    // would store empty rectangles.
    if (!Usable(entry->scaleX)) entry->scaleX = float(kNominalWidth) / float(video_->width());
    if (!Usable(entry->scaleY)) entry->scaleY = float(kNominalHeight) / float(video_->height());
  }
  Start();
}

CDlgMotionArea::~CDlgMotionArea() { Close(); }

void CDlgMotionArea::Start() {
  live_.Start(video_, channel_, mode_ == kMotionGrid ? &DrawGrid : &DrawMasks, this);
}

void CDlgMotionArea::Close() { live_.Stop(); }

void CDlgMotionArea::done(int result) {
  Close();
  QDialog::done(result);
}

int CDlgMotionArea::RectsInUse() {
  if (!mask_) return 0;
  std::lock_guard<std::mutex> lock(mu_);
  return static_cast<int>(std::count_if(mask_->edit.begin(), mask_->edit.end(),
                                        [](const EditRect& r) { return !r.empty(); }));
}

void CDlgMotionArea::OnMouseDown(QPoint p) {
  downSeen_ = drawing_->isChecked();
  if (downSeen_) down_ = ClampToWindow(p, video_);
}

bool CDlgMotionArea::CheckOverlap(const EditRect& stored, const Area& added) {
  return !(float(stored.left) > added.right || float(stored.right) < added.left ||
           float(stored.top) > added.bottom || float(stored.bottom) < added.top);
}

void CDlgMotionArea::OnMouseUp(QPoint p) {
  if (!drawing_->isChecked() || !downSeen_) return;
  downSeen_ = false;
  const QPoint up = ClampToWindow(p, video_);
  const int x1 = std::min(down_.x(), up.x()), x2 = std::max(down_.x(), up.x());
  const int y1 = std::min(down_.y(), up.y()), y2 = std::max(down_.y(), up.y());
  if (mode_ == kMotionGrid) {
    const float cellW = float(video_->width()) / kGridColumns;
    const float cellH = float(video_->height()) / kGridRows;
    auto column = [&](int x) { return std::clamp(int(std::floor(x / cellW)), 0, kGridColumns - 1); };
    auto row = [&](int y) { return std::clamp(int(std::floor(y / cellH)), 0, kGridRows - 1); };
    std::lock_guard<std::mutex> lock(mu_);
    for (int r = row(y1); r <= row(y2); ++r)
      for (int c = column(x1); c <= column(x2); ++c) motion_->grid()[r * kGridStride + c] = 1;
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mu_);
    auto freeSlot = std::find_if(mask_->edit.begin(), mask_->edit.end(),
                                 [](const EditRect& r) { return r.empty(); });
    if (freeSlot == mask_->edit.end()) return;  // four in use: ignored
    // Checked as drawn; cut to whole picture units only when stored.
    const Area added{x1 * mask_->scaleX, y1 * mask_->scaleY, x2 * mask_->scaleX, y2 * mask_->scaleY};
    const bool clear = std::none_of(mask_->edit.begin(), mask_->edit.end(), [&](const EditRect& r) {
      return !r.empty() && CheckOverlap(r, added);
    });
    if (clear) {
      // The first free slot, so a rectangle the device kept in a later slot stays.
      *freeSlot = {int32_t(added.left), int32_t(added.top), int32_t(added.right),
                   int32_t(added.bottom)};
      return;
    }
  }
  ShowMessage(this, LoadLangString(4197), LoadLangString(4212));
}

void CDlgMotionArea::OnClearAll() {
  std::lock_guard<std::mutex> lock(mu_);
  if (mode_ == kMotionGrid)
    std::fill(motion_->grid(), motion_->grid() + kGridBytes, uint8_t{0});
  else
    mask_->edit.fill({});
}

void CDlgMotionArea::OnOK() {
  if (mode_ == kMotionGrid) {
    motion_->bytes[kMotionSensitivityAt] = static_cast<uint8_t>(slider_->value());
  } else {
    std::lock_guard<std::mutex> lock(mu_);
    for (size_t i = 0; i < 4; ++i) {
      const EditRect& e = mask_->edit[i];
      mask_->rects[i] = {static_cast<uint16_t>(e.left), static_cast<uint16_t>(e.top),
                         static_cast<uint16_t>(e.right - e.left),
                         static_cast<uint16_t>(e.bottom - e.top)};
    }
  }
  accept();
}

void CDlgMotionArea::DrawGrid(int32_t, intptr_t dc, void* user, int32_t, int32_t, int32_t right,
                              int32_t bottom) {
  auto* self = static_cast<CDlgMotionArea*>(user);
  plat::PaintContext* pc = plat::PaintContext::from(dc);
  if (!self || !pc) return;
  std::array<uint8_t, kGridRows * kGridColumns> cells{};
  float w, h;
  {
    std::lock_guard<std::mutex> lock(self->mu_);
    if (!self->latched_) {
      self->latched_ = true;
      self->pictureCellW_ = float(right) / kGridColumns;
      self->pictureCellH_ = float(bottom) / kGridRows;
    }
    w = self->pictureCellW_;
    h = self->pictureCellH_;
    for (int r = 0; r < kGridRows; ++r)
      for (int c = 0; c < kGridColumns; ++c)
        cells[size_t(r * kGridColumns + c)] = self->motion_->grid()[r * kGridStride + c];
  }
  pc->save();
  pc->selectPen(kRed, 2);
  for (int r = 0; r < kGridRows; ++r) {
    for (int c = 0; c < kGridColumns; ++c) {
      if (cells[size_t(r * kGridColumns + c)] != 1) continue;
      const int l = int(c * w), t = int(r * h), rr = int((c + 1) * w), b = int((r + 1) * h);
      pc->moveTo(l, t);
      pc->lineTo(rr, t);
      pc->lineTo(rr, b);
      pc->lineTo(l, b);
      pc->lineTo(l, t);
    }
  }
  pc->restore();
}

void CDlgMotionArea::DrawMasks(int32_t, intptr_t dc, void* user, int32_t left, int32_t top,
                               int32_t right, int32_t bottom) {
  auto* self = static_cast<CDlgMotionArea*>(user);
  plat::PaintContext* pc = plat::PaintContext::from(dc);
  if (!self || !pc) return;
  std::array<EditRect, 4> rects;
  {
    std::lock_guard<std::mutex> lock(self->mu_);
    if (!self->latched_ && right > left && bottom > top) {
      self->latched_ = true;
      self->mask_->scaleX = float(right - left) / float(kAreaWindowWidth);
      self->mask_->scaleY = float(bottom - top) / float(kAreaWindowHeight);
    }
    rects = self->mask_->edit;
  }
  pc->save();
  pc->selectBrush(kBlack);
  for (const EditRect& r : rects) pc->fillRect(r.left, r.top, r.right, r.bottom);
  pc->restore();
}

}  // namespace pellmore
