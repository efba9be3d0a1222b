#include "controls/SliderControlEx.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSlider>
#include <algorithm>

#include "controls/PngResource.h"
#include "controls/WindowMessages.h"

CSliderControlEx::CSliderControlEx(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
  setRange(0, 100);
}

bool CSliderControlEx::LoadBackgroundImageFile(const QString& path) {
  return !path.isNull() && LoadImageFile(background_, path);
}

bool CSliderControlEx::LoadBackgroundImageResource(int id, const char* type) {
  return LoadImageFromResource(background_, id, type);
}

bool CSliderControlEx::LoadBackgroundImage(const QString& name, const char* type) {
  return LoadImageFromResource(background_, name, type);
}

void CSliderControlEx::SizeToBackground() {
  if (!background_.isNull()) resize(background_.size());
}

bool CSliderControlEx::LoadThumbImageResource(int id, const char* type) {
  bool ok = LoadImageFromResource(thumb_, id, type);
  update();
  return ok;
}

QRect CSliderControlEx::ThumbRect() const {
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  QRect r = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
  if (!thumb_.isNull()) r = QRect(QPoint(r.center().x() - thumb_.width() / 2, r.center().y() - thumb_.height() / 2), thumb_.size());
  return r;
}

void CSliderControlEx::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!background_.isNull()) p.drawImage(rect(), background_);
  // The channel: a thin sunken groove across the middle.
  QStyleOptionSlider opt;
  initStyleOption(&opt);
  QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
  QRect channel(groove.left(), groove.center().y() - 2, groove.width(), 4);
  p.fillRect(channel, QColor(62, 68, 79));
  p.setPen(QColor(200, 205, 215));
  p.drawLine(channel.bottomLeft(), channel.bottomRight());

  QRect t = ThumbRect();
  if (!thumb_.isNull()) {
    p.drawImage(t.topLeft(), thumb_);
    return;
  }
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setBrush(Qt::white);
  p.setPen(QPen(kThumbOutline, 1));
  const int l = t.left(), tp = t.top(), r = t.right() + 1, b = t.bottom() + 1;
  p.drawEllipse(t);
  const QPoint octagon[] = {{l + 2, tp}, {l, tp + 2}, {l, b - 3}, {l + 2, b - 1},
                            {r - 3, b - 1}, {r - 1, b - 3}, {r - 1, tp + 2}, {r - 3, tp}};
  p.drawPolygon(octagon, 8);
}

void CSliderControlEx::mousePressEvent(QMouseEvent* e) {
  if (jumpToClick_ && e->button() == Qt::LeftButton && !ThumbRect().contains(e->position().toPoint())) {
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderGroove, this);
    const int half = ThumbRect().width() / 2;
    const int span = std::max(1, groove.width() - 2 * half);
    const int x = static_cast<int>(e->position().x()) - groove.left() - half;
    // Moving the thumb is the slider's move action, as during a drag; the press then takes
    // the thumb now under the pointer.
    setSliderPosition(QStyle::sliderValueFromPosition(minimum(), maximum(), x, span, opt.upsideDown));
  }
  QSlider::mousePressEvent(e);
}

void CSliderControlEx::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      e->accept();
      return;
    case Qt::Key_Escape:
      PostEscapeTo(parentWidget());
      e->accept();
      return;
    default:
      QSlider::keyPressEvent(e);
  }
}
