#include "devices/FramedDialog.h"
#include "plat/controlid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QShowEvent>

CFramedDialog::CFramedDialog(int templateId, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_templateId(templateId) {
  plat::Named(this, templateId);
}

void CFramedDialog::showEvent(QShowEvent* e) {
  if (!e->spontaneous()) OnInitDialog();
  QDialog::showEvent(e);
}

void CFramedDialog::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  p.fillRect(r, palette().window());
  p.fillRect(QRect(0, 0, r.width(), kCaptionHeight), kFrameColor);
  p.fillRect(QRect(0, 0, kBorder, r.height()), kFrameColor);
  p.fillRect(QRect(r.width() - kBorder, 0, kBorder, r.height()), kFrameColor);
  p.fillRect(QRect(0, r.height() - kBorder, r.width(), kBorder), kFrameColor);
  p.setPen(Qt::white);
  p.setFont(font());
  p.drawText(QRect(6, 4, r.width() - 12, kCaptionHeight - 4), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
             windowTitle());
}

void CFramedDialog::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && e->position().y() < kCaptionHeight) {
    m_dragging = true;
    m_dragOffset = e->globalPosition().toPoint() - frameGeometry().topLeft();
  }
  QDialog::mousePressEvent(e);
}

void CFramedDialog::mouseMoveEvent(QMouseEvent* e) {
  if (m_dragging && (e->buttons() & Qt::LeftButton)) move(e->globalPosition().toPoint() - m_dragOffset);
  QDialog::mouseMoveEvent(e);
}

void CFramedDialog::mouseReleaseEvent(QMouseEvent* e) {
  m_dragging = false;
  QDialog::mouseReleaseEvent(e);
}
