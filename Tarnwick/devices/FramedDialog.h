#pragma once
// A pop-up dialog that paints its own frame: a dark caption band and borders (RGB 41, 41, 41)
// with the title in white at (6, 4) of the window. The caption drags the window. Controls
// are placed in client coordinates below the caption (ClientTop()).
#include <QColor>
#include <QDialog>
#include <QString>

#include "plat/controlid.h"

class CFramedDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kCaptionHeight = 24;
  static constexpr int kBorder = 3;
  static inline const QColor kFrameColor{41, 41, 41};

  CFramedDialog(int templateId, QWidget* parent);
  int TemplateId() const { return m_templateId; }
  // Runs the dialog modally; every showing starts with OnInitDialog.
  int DoModal() { return exec(); }
  static constexpr int ClientTop() { return kCaptionHeight; }

 protected:
  virtual bool OnInitDialog() { return true; }
  void showEvent(QShowEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  int m_templateId;
  bool m_dragging = false;
  QPoint m_dragOffset;
};

// A control of the devices' dialogs and pages, found by its control id (objectName).
template <typename W>
W* MakeControl(QWidget* parent, int id, const QRect& geometry) {
  auto* w = new W(parent);
  plat::Named(w, id);
  w->setGeometry(geometry);
  return w;
}
