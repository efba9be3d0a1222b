#pragma once
// A borderless bitmap window with an optional text, shown while the main window sets up.
// The object deletes itself when its window closes; creators hold it through a QPointer.
#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>

class CSplashScreenEx : public QWidget {
  Q_OBJECT
 public:
  enum Style {
    CSS_FADE = 2,           // hide with a fade
    CSS_SHADOW = 4,         // drop shadow
    CSS_CENTERSCREEN = 8,   // centre on the screen
    CSS_CENTERAPP = 0x10,   // centre on the parent window
    CSS_HIDEONCLICK = 0x20  // hide on any key or mouse button press
  };
  static constexpr int kFadeMs = 200;

  CSplashScreenEx();
  ~CSplashScreenEx() override;

  bool Create(QWidget* parent, const QString& text = QString(), int timeoutMs = 2000, int style = CSS_CENTERSCREEN);
  bool SetBitmap(int id);
  bool SetBitmap(const QImage& image);
  void SetText(const QString& text) { text_ = text; update(); }
  void SetTextColor(QColor color) { textColor_ = color; update(); }
  // Moves to the computed position, shows, and hides itself after the time-out.
  void Show();
  void Hide();

  QPoint Position() const { return position_; }
  int Timeout() const { return timeoutMs_; }
  int StyleFlags() const { return style_; }
  QRect TextRect() const { return textRect_; }
  bool IsHiding() const { return hiding_; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void timerEvent(QTimerEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Finish();

  QPointer<QWidget> parent_;
  QImage bitmap_;
  QString text_;
  QRect textRect_;
  QColor textColor_{Qt::black};
  QPoint position_;
  int timeoutMs_ = 2000;
  int style_ = 0;
  int timerId_ = 0;
  bool hiding_ = false;
};
