#include "controls/QxDialog.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "controls/BitmapButtonEx.h"
#include "controls/PngResource.h"
#include "controls/WindowMessages.h"

CQxDialog::CQxDialog(int templateId, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), templateId_(templateId) {
  AttachWindow(this, [this](uint32_t m, uintptr_t w, intptr_t l) { return DefWindowProc(m, w, l); });
}

CQxDialog::~CQxDialog() = default;

int CQxDialog::DoModal() {
  EnsureInitialized();
  return exec();
}

void CQxDialog::EnsureInitialized() {
  if (initialized_) return;
  initialized_ = true;
  OnInitDialog();
}

void CQxDialog::showEvent(QShowEvent* e) {
  EnsureInitialized();
  QDialog::showEvent(e);
}

bool CQxDialog::OnInitDialog() {
  // A missing band image leaves that band 0 pixels high.
  LoadPngResource(&captionImage_, kCaptionImage);
  LoadPngResource(&bottomImage_, kBottomImage);
  const int capH = captionImage_.height();
  const int botH = bottomImage_.height();

  QRect r = geometry();
  r.setWidth(r.width() + 6);
  caption_ = QRect(0, 0, r.width(), capH);
  r.setHeight(r.height() + capH + botH);
  // Only the size: a dialog nobody has placed is still centred over its owner when shown.
  resize(r.size());

  for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (child->isWindow()) continue;
    child->move(child->x() + 10, child->y() + capH);
    if (auto* label = qobject_cast<QLabel*>(child)) {
      // Static texts: black on the dialog's own background.
      QPalette pal = label->palette();
      pal.setColor(QPalette::WindowText, Qt::black);
      label->setPalette(pal);
      label->setAutoFillBackground(false);
    }
  }

  closeButton_ = new CBitmapButtonEx(this, kCloseButtonId);
  closeButton_->setText(QString());
  closeButton_->LoadImageResources(kCloseNormal, kCloseHover, kClosePressed, 0, 0, 1);
  closeButton_->SizeToImage();
  closeButton_->move(caption_.width() - closeButton_->width() - 3, caption_.height() / 2 - closeButton_->height() / 2);
  closeButton_->setFocusPolicy(Qt::NoFocus);
  closeButton_->show();

  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, r.width(), r.height()), 8, 8);
  setMask(QRegion(path.toFillPolygon().toPolygon()));
  return true;
}

bool CQxDialog::OnMessage(uint32_t, uintptr_t, intptr_t, intptr_t&) { return false; }

intptr_t CQxDialog::DefWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  intptr_t result = 0;
  if (OnMessage(message, wParam, lParam, result)) return result;
  // An image button the subclass's map does not take ends the dialog with 0, the caption's
  // close button among them; OK and Cancel of the small dialogs are plain buttons.
  if (message == WM_IMAGEBUTTON_DOWN) EndDialog(0);
  return 0;
}

void CQxDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect client = rect();
  p.fillRect(client, kBackground);
  const int capH = captionImage_.height();
  const int botH = bottomImage_.height();
  if (!captionImage_.isNull()) p.drawImage(QRect(0, 0, client.width(), capH), captionImage_);
  if (!bottomImage_.isNull()) p.drawImage(QRect(0, client.height() - botH, client.width(), botH), bottomImage_);
  const int sideTop = caption_.bottom() + 1;
  const int sideHeight = client.height() - botH - sideTop;
  if (sideHeight > 0) {
    p.fillRect(QRect(0, sideTop, 3, sideHeight), kSideBorder);
    p.fillRect(QRect(client.width() - 3, sideTop, 3, sideHeight), kSideBorder);
  }
  if (!windowTitle().isEmpty() && capH > 0) {
    p.setPen(Qt::white);
    p.setFont(font());
    p.drawText(QRect(10, 0, client.width() - 10, capH), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               windowTitle());
  }
}

void CQxDialog::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && caption_.contains(e->position().toPoint())) {
    dragging_ = true;
    dragOffset_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  QDialog::mousePressEvent(e);
}

void CQxDialog::mouseMoveEvent(QMouseEvent* e) {
  if (dragging_ && (e->buttons() & Qt::LeftButton)) move(e->globalPosition().toPoint() - dragOffset_);
  QDialog::mouseMoveEvent(e);
}

void CQxDialog::mouseReleaseEvent(QMouseEvent* e) {
  dragging_ = false;
  QDialog::mouseReleaseEvent(e);
}
