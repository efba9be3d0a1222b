#pragma once
// Image button: draws its normal, hover or pressed image by the mouse and tells its parent
// window about presses, releases and the mouse leaving (WM_IMAGEBUTTON_*), before the click.
#include <QAbstractButton>
#include <QImage>
#include <QString>
#include <array>

class CBitmapButtonEx : public QAbstractButton {
  Q_OBJECT
 public:
  enum ImageIndex { kNormal = 0, kHover = 1, kPressed = 2, kFourth = 3, kFifth = 4, kImageCount = 5 };

  explicit CBitmapButtonEx(QWidget* parent = nullptr, int controlId = 0);
  ~CBitmapButtonEx() override;

  int GetDlgCtrlID() const { return controlId_; }
  void SetDlgCtrlID(int id) { controlId_ = id; }

  // Paths; a null QString means "no image". The normal image is required.
  virtual bool LoadImageFiles(const QString& normal, const QString& hover = {}, const QString& pressed = {},
                              const QString& fourth = {}, const QString& fifth = {}, int drawText = 0);
  // Resource ids; 0 means "no image". The normal id is required.
  virtual bool LoadImageResources(int normal, int hover = 0, int pressed = 0, int fourth = 0, int fifth = 0,
                                  int drawText = 0, const char* type = "PNG");
  virtual bool LoadImageResourceNames(const std::array<QString, kImageCount>& names, int drawText = 0,
                                      const char* type = "PNG");
  virtual void SizeToImage();
  virtual int GetImageHeight() const;
  virtual int GetImageWidth() const;
  virtual void FreeImages();
  // Right of `other` by gapX (tops aligned), then below it by gapY (lefts aligned); a
  // negative gap skips that step.
  virtual void PlaceBeside(QWidget* other, int gapX, int gapY);

  // Which image a paint shows: pressed (inside with the left button held), else hover
  // (inside), else normal; -1 when that image is missing too.
  int ChooseImage(bool inside, bool leftDown) const;
  const QImage& Image(int index) const { return images_[index]; }
  int DrawTextFlag() const { return drawText_; }
  bool IsHovered() const { return hovered_; }

 protected:
  // False for buttons whose presses reach the page only as clicks.
  virtual bool SendsPressNotifications() const { return true; }
  void Notify(uint32_t message);

  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

  std::array<QImage, kImageCount> images_;
  int drawText_ = 0;

 private:
  bool hovered_ = false;
  int controlId_ = 0;
};

// A two-state tab button: state 0 and state 1 each have a normal and a pressed image.
class CStateButton : public CBitmapButtonEx {
  Q_OBJECT
 public:
  explicit CStateButton(QWidget* parent = nullptr, int controlId = 0);

  virtual bool LoadStateImageFiles(const QString& normal0, const QString& pressed0, const QString& normal1,
                                   const QString& pressed1);
  virtual bool LoadStateImageResources(int normal0, int pressed0, int normal1, int pressed1);
  virtual bool LoadStateImages(int normal0, int pressed0, int normal1, int pressed1, const char* type);
  virtual int GetState() const { return state_; }
  virtual void SetState(int state);
  virtual void ToggleState();

 protected:
  bool SendsPressNotifications() const override { return false; }

 private:
  std::array<QImage, 4> stateImages_;
  int state_ = 0;
};
