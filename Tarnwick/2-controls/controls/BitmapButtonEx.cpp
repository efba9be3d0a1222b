#include "controls/BitmapButtonEx.h"

#include <QKeyEvent>
#include <QPainter>

#include "controls/PngResource.h"
#include "controls/WindowMessages.h"

CBitmapButtonEx::CBitmapButtonEx(QWidget* parent, int controlId) : QAbstractButton(parent), controlId_(controlId) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  // The button is a window of its own: its handle travels with every notification.
  AttachWindow(this, [](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; });
  QPalette pal = palette();
  pal.setColor(QPalette::ButtonText, Qt::white);
  setPalette(pal);
}

CBitmapButtonEx::~CBitmapButtonEx() = default;

bool CBitmapButtonEx::LoadImageFiles(const QString& normal, const QString& hover, const QString& pressed,
                                     const QString& fourth, const QString& fifth, int drawText) {
  if (normal.isNull()) return false;
  const QString* paths[kImageCount] = {&normal, &hover, &pressed, &fourth, &fifth};
  for (int i = 0; i < kImageCount; ++i) {
    if (paths[i]->isNull()) continue;
    if (!LoadImageFile(images_[i], *paths[i])) return false;
  }
  drawText_ = drawText;
  update();
  return true;
}

bool CBitmapButtonEx::LoadImageResources(int normal, int hover, int pressed, int fourth, int fifth, int drawText,
                                         const char* type) {
  if (normal == 0) return false;
  const int ids[kImageCount] = {normal, hover, pressed, fourth, fifth};
  for (int i = 0; i < kImageCount; ++i) {
    if (ids[i] == 0) continue;
    if (!LoadImageFromResource(images_[i], ids[i], type)) return false;
  }
  drawText_ = drawText;
  update();
  return true;
}

bool CBitmapButtonEx::LoadImageResourceNames(const std::array<QString, kImageCount>& names, int drawText,
                                             const char* type) {
  if (names[kNormal].isEmpty()) return false;
  for (int i = 0; i < kImageCount; ++i) {
    if (names[i].isEmpty()) continue;
    if (!LoadImageFromResource(images_[i], names[i], type)) return false;
  }
  drawText_ = drawText;
  update();
  return true;
}

void CBitmapButtonEx::SizeToImage() {
  if (images_[kNormal].isNull()) return;
  resize(images_[kNormal].size());
}

int CBitmapButtonEx::GetImageHeight() const { return images_[kNormal].height(); }
int CBitmapButtonEx::GetImageWidth() const { return images_[kNormal].width(); }

void CBitmapButtonEx::FreeImages() {
  for (QImage& img : images_) img = QImage();
  update();
}

void CBitmapButtonEx::PlaceBeside(QWidget* other, int gapX, int gapY) {
  QWidget* parent = parentWidget();
  if (!parent || !other) return;
  // The other window's rectangle in our parent's client coordinates.
  QRect r(parent->mapFromGlobal(other->mapToGlobal(QPoint(0, 0))), other->size());
  if (gapX >= 0) move(r.x() + r.width() + gapX, r.y());
  if (gapY >= 0) move(r.x(), r.y() + r.height() + gapY);
}

int CBitmapButtonEx::ChooseImage(bool inside, bool leftDown) const {
  if (inside && leftDown && !images_[kPressed].isNull()) return kPressed;
  if (inside && !images_[kHover].isNull()) return kHover;
  return images_[kNormal].isNull() ? -1 : kNormal;
}

void CBitmapButtonEx::Notify(uint32_t message) {
  if (QWidget* parent = parentWidget())
    SendWidgetMessage(parent, message, static_cast<uintptr_t>(controlId_), WindowHandleOf(this));
}

void CBitmapButtonEx::paintEvent(QPaintEvent*) {
  QPainter p(this);
  int index = ChooseImage(hovered_, isDown());
  if (index >= 0) p.drawImage(QPoint(0, 0), images_[index]);
  if (drawText_ && !text().isEmpty()) {
    p.setFont(font());
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
  }
}

void CBitmapButtonEx::mousePressEvent(QMouseEvent* e) {
  update();
  if (SendsPressNotifications() && e->button() == Qt::LeftButton) {
    QPointer<CBitmapButtonEx> self(this);
    Notify(WM_IMAGEBUTTON_DOWN);
    if (!self) return;  // the parent may end with the press
  }
  QAbstractButton::mousePressEvent(e);
}

void CBitmapButtonEx::mouseReleaseEvent(QMouseEvent* e) {
  update();
  if (SendsPressNotifications() && e->button() == Qt::LeftButton) {
    QPointer<CBitmapButtonEx> self(this);
    Notify(WM_IMAGEBUTTON_UP);
    if (!self) return;
  }
  QAbstractButton::mouseReleaseEvent(e);
}

void CBitmapButtonEx::mouseMoveEvent(QMouseEvent* e) {
  bool inside = rect().contains(e->position().toPoint());
  if (inside != hovered_) {
    hovered_ = inside;
    repaint();
  }
  QAbstractButton::mouseMoveEvent(e);
}

void CBitmapButtonEx::enterEvent(QEnterEvent* e) {
  hovered_ = true;
  repaint();
  QAbstractButton::enterEvent(e);
}

void CBitmapButtonEx::leaveEvent(QEvent* e) {
  hovered_ = false;
  update();
  QPointer<CBitmapButtonEx> self(this);
  Notify(WM_IMAGEBUTTON_LEAVE);
  if (self) QAbstractButton::leaveEvent(e);
}

void CBitmapButtonEx::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Space:
      // Keys never press an image button; the parent sees an Esc instead.
      PostEscapeTo(parentWidget());
      e->accept();
      return;
    default:
      QAbstractButton::keyPressEvent(e);
  }
}

void CBitmapButtonEx::keyReleaseEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Space) {
    e->accept();
    return;
  }
  QAbstractButton::keyReleaseEvent(e);
}

void CBitmapButtonEx::focusOutEvent(QFocusEvent*) {}

// ---- CStateButton ----

CStateButton::CStateButton(QWidget* parent, int controlId) : CBitmapButtonEx(parent, controlId) {}

bool CStateButton::LoadStateImageFiles(const QString& normal0, const QString& pressed0, const QString& normal1,
                                       const QString& pressed1) {
  const QString* paths[4] = {&normal0, &pressed0, &normal1, &pressed1};
  for (int i = 0; i < 4; ++i)
    if (paths[i]->isNull() || !LoadImageFile(stateImages_[i], *paths[i])) return false;
  SetState(0);
  return true;
}

bool CStateButton::LoadStateImageResources(int normal0, int pressed0, int normal1, int pressed1) {
  return LoadStateImages(normal0, pressed0, normal1, pressed1, "PNG");
}

bool CStateButton::LoadStateImages(int normal0, int pressed0, int normal1, int pressed1, const char* type) {
  const int ids[4] = {normal0, pressed0, normal1, pressed1};
  for (int i = 0; i < 4; ++i)
    if (!LoadImageFromResource(stateImages_[i], ids[i], type)) return false;
  SetState(0);
  return true;
}

void CStateButton::SetState(int state) {
  state_ = state;
  // The shown images share the state images' pixels; the state images stay their owners.
  if (state == 0 || state == 1) {
    images_[kNormal] = stateImages_[state * 2];
    images_[kPressed] = stateImages_[state * 2 + 1];
  } else {
    images_[kNormal] = QImage();
    images_[kPressed] = QImage();
  }
  update();
}

void CStateButton::ToggleState() {
  int s = state_;
  if (s == 0)
    s = 1;
  else if (s == 1)
    s = 0;
  SetState(s);
}
