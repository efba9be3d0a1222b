#pragma once
// The skinned modal dialog base: caption band with the title and a close image button,
// bottom band, thin side borders, rounded corners, dragging by the caption.
#include <QColor>
#include <QDialog>
#include <QImage>
#include <QPointer>
#include <cstdint>

#include "controls/BitmapButtonEx.h"
#include "controls/WindowMessages.h"

class CQxDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kCloseButtonId = 90006;
  static constexpr int kCaptionImage = 6899;
  static constexpr int kBottomImage = 6907;
  static constexpr int kCloseNormal = 6900, kCloseHover = 6901, kClosePressed = 6902;
  static inline const QColor kBackground{145, 151, 160};
  static inline const QColor kSideBorder{62, 68, 79};

  CQxDialog(int templateId, QWidget* parent);
  ~CQxDialog() override;

  int TemplateId() const { return templateId_; }
  // Lays the skin out once (OnInitDialog), then runs the dialog modally; the result of EndDialog.
  int DoModal();
  // Runs OnInitDialog when it has not run yet (for modeless use and tests).
  void EnsureInitialized();
  void EndDialog(int result) { done(result); }

  QRect CaptionRect() const { return caption_; }
  CBitmapButtonEx* CloseButton() const { return closeButton_; }
  const QImage& CaptionImage() const { return captionImage_; }
  const QImage& BottomImage() const { return bottomImage_; }

  // The dialog's window procedure: the subclass's own message map first, then the default,
  // which ends the dialog with 0 on the press of any image button (WM_IMAGEBUTTON_DOWN).
  intptr_t DefWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

 protected:
  // Subclasses call the base first, then set up their own controls.
  virtual bool OnInitDialog();
  // A subclass's message map: true when it took the message (result in `result`).
  virtual bool OnMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result);

  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  int templateId_;
  bool initialized_ = false;
  QImage captionImage_;
  QImage bottomImage_;
  QRect caption_;
  QPointer<CBitmapButtonEx> closeButton_;
  bool dragging_ = false;
  QPoint dragOffset_;
};
