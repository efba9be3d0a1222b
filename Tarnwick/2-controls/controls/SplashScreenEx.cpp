#include "controls/SplashScreenEx.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimerEvent>

#include "controls/PngResource.h"
#include "plat/clock.h"

CSplashScreenEx::CSplashScreenEx() : QWidget(nullptr) {
  setAttribute(Qt::WA_DeleteOnClose);
  setFont(QApplication::font());
}

CSplashScreenEx::~CSplashScreenEx() {
  if (qApp) qApp->removeEventFilter(this);
}

bool CSplashScreenEx::Create(QWidget* parent, const QString& text, int timeoutMs, int style) {
  parent_ = parent;
  text_ = text;
  timeoutMs_ = timeoutMs;
  style_ = style;
  setParent(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setGeometry(0, 0, 0, 0);
  if (style_ & CSS_HIDEONCLICK) qApp->installEventFilter(this);
  return true;
}

bool CSplashScreenEx::SetBitmap(int id) {
  QImage img;
  if (!LoadPngResource(&img, id)) return false;
  return SetBitmap(img);
}

bool CSplashScreenEx::SetBitmap(const QImage& image) {
  if (image.isNull()) return false;
  bitmap_ = image;
  textRect_ = QRect(QPoint(0, 0), image.size());
  const QSize sz = image.size();
  if (style_ & CSS_CENTERSCREEN) {
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect full = screen ? screen->availableGeometry() : QRect();
    position_ = QPoint(full.x() + (full.width() - sz.width()) / 2, full.y() + (full.height() - sz.height()) / 2);
  } else if ((style_ & CSS_CENTERAPP) && parent_) {
    QRect pr = parent_->frameGeometry();
    position_ = QPoint(pr.x() + (pr.width() - sz.width()) / 2, pr.y() + (pr.height() - sz.height()) / 2);
  }
  return true;
}

void CSplashScreenEx::Show() {
  setGeometry(QRect(position_, bitmap_.size()));
  show();
  if (timerId_) killTimer(timerId_);
  timerId_ = startTimer(plat::scaled(std::max(timeoutMs_, 1)));
}

void CSplashScreenEx::Hide() {
  if (hiding_) return;
  hiding_ = true;
  if (timerId_) killTimer(timerId_);
  timerId_ = 0;
  if ((style_ & CSS_FADE) && isVisible()) {
    auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
    fade->setDuration(plat::scaled(kFadeMs));
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, this, &CSplashScreenEx::Finish);
    fade->start();
    return;
  }
  Finish();
}

void CSplashScreenEx::Finish() {
  hide();
  close();  // deletes the object
}

void CSplashScreenEx::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!bitmap_.isNull()) p.drawImage(QPoint(0, 0), bitmap_);
  if (!text_.isEmpty()) {
    p.setPen(textColor_);
    p.setFont(font());
    p.drawText(textRect_, Qt::AlignCenter | Qt::TextWordWrap, text_);
  }
}

void CSplashScreenEx::timerEvent(QTimerEvent* e) {
  if (e->timerId() == timerId_) {
    Hide();
    return;
  }
  QWidget::timerEvent(e);
}

bool CSplashScreenEx::eventFilter(QObject* watched, QEvent* e) {
  switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
      if (isVisible() && !hiding_) {
        Hide();
        return true;
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, e);
}
