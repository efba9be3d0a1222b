#pragma once
// A horizontal slider with a drawn thumb (or a thumb image) over an optional background image.
#include <QImage>
#include <QSlider>

class CSliderControlEx : public QSlider {
  Q_OBJECT
 public:
  static inline const QColor kThumbOutline{213, 207, 110};

  explicit CSliderControlEx(QWidget* parent = nullptr);

  virtual bool LoadBackgroundImageFile(const QString& path);
  virtual bool LoadBackgroundImageResource(int id, const char* type = "PNG");
  virtual bool LoadBackgroundImage(const QString& name, const char* type = "PNG");
  virtual void SizeToBackground();
  // The thumb drawn from an image instead of the outline.
  bool LoadThumbImageResource(int id, const char* type = "PNG");
  // A left click on the track puts the thumb there (as a drag would), instead of paging
  // towards it; the press then drags on. Off by default.
  void SetJumpToClick(bool jump) { jumpToClick_ = jump; }

  const QImage& Background() const { return background_; }
  const QImage& ThumbImage() const { return thumb_; }
  QRect ThumbRect() const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  QImage background_;
  QImage thumb_;
  bool jumpToClick_ = false;
};
