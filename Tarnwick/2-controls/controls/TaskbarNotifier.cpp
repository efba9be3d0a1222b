#include "controls/TaskbarNotifier.h"

#include <QBasicTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>
#include <QWidget>

#include "controls/NoticeText.h"
#include "controls/PngResource.h"
#include "controls/WindowMessages.h"
#include "plat/clock.h"
#include "shell/Singleton.h"

// The notifier's pop-up window: paints the skin and the text and hands timers and mouse
// events to the notifier object, which outlives it.
class NotifierWindow : public QWidget {
 public:
  NotifierWindow(CTaskbarNotifier* owner, QWidget* parent)
      : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::WindowDoesNotAcceptFocus),
        notifier_(owner) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);  // the skin's own rounded edges
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
  }
  void Start(int id, int ms) { timers_[id].start(ms, this); }
  void Stop(int id) { timers_[id].stop(); }

 protected:
  void timerEvent(QTimerEvent* e) override {
    for (int id = 1; id <= 3; ++id)
      if (e->timerId() == timers_[id].timerId()) {
        notifier_->OnTimer(id);
        return;
      }
    QWidget::timerEvent(e);
  }
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override { notifier_->SetSelected(true); }
  void leaveEvent(QEvent*) override { notifier_->SetSelected(false); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) notifier_->Clicked();
  }

 private:
  CTaskbarNotifier* notifier_;
  QBasicTimer timers_[4];
};

namespace {

QFont MakeFont(const QString& face, int tenths, int style) {
  QFont f(face);
  f.setPointSizeF(tenths / 10.0);
  f.setWeight((style & 1) ? QFont::Bold : QFont::Normal);
  f.setItalic(style & 2);
  f.setUnderline(style & 4);
  return f;
}


}  // namespace

void NotifierWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QImage& skin = notifier_->Skin();
  if (!skin.isNull()) p.drawImage(rect(), skin);
  if (notifier_->Text().isEmpty()) return;
  p.setFont(notifier_->CurrentFont());
  p.setPen(notifier_->CurrentColor());
  QRect r = notifier_->TextRect();
  p.drawText(QRectF(r), notifier_->ShownText(), NoticeTextOption());
}

int FindTaskbarSide(const ScreenAreas& a) {
  const QRect& s = a.screen;
  const QRect& w = a.workArea;
  if (w.width() < s.width()) return w.left() == 0 ? kTaskbarRight : kTaskbarLeft;
  if (w.height() < s.height() && w.top() != 0) return kTaskbarTop;
  return kTaskbarBottom;
}

QRegion RegionFromSkin(const QImage& skin, QColor transparent) {
  const int width = skin.width() / 4 * 4;
  QRegion region(0, 0, width, skin.height());
  if (width == 0 || skin.height() == 0) return region;
  const QImage rgb = skin.convertToFormat(QImage::Format_RGB32);
  const QRgb hole = transparent.rgb() & 0xFFFFFF;
  // Runs of the transparent colour, row by row, leave the region.
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < width;) {
      if ((line[x] & 0xFFFFFF) != hole) {
        ++x;
        continue;
      }
      int end = x;
      while (end < width && (line[end] & 0xFFFFFF) == hole) ++end;
      region -= QRegion(x, y, end - x, 1);
      x = end;
    }
  }
  return region;
}

CTaskbarNotifier* CTaskbarNotifier::GetInstance() { return SingletonAccess<CTaskbarNotifier>::GetInstance(); }

void FreeNotifier() { SingletonAccess<CTaskbarNotifier>::ReleaseInstance(); }

CTaskbarNotifier::CTaskbarNotifier() {
  normalFont_ = selectedFont_ = QFont();
}

CTaskbarNotifier::~CTaskbarNotifier() {
  // The window may already have gone with its owner; the guarded pointer then is null.
  delete window_.data();
}

bool CTaskbarNotifier::Create(QWidget* owner) {
  delete window_.data();
  owner_ = owner;
  window_ = new NotifierWindow(this, owner);
  window_->setGeometry(0, 0, 0, 0);
  if (!region_.isEmpty()) window_->setMask(region_);
  for (int& ms : timerMs_) ms = -1;
  state_ = kHidden;
  return true;
}

QWidget* CTaskbarNotifier::Window() const { return window_.data(); }

void CTaskbarNotifier::SetFonts(const QString& face, int tenths, int normalStyle, int selectedStyle) {
  normalFont_ = MakeFont(face, tenths, normalStyle);
  selectedFont_ = MakeFont(face, tenths, selectedStyle);
}

void CTaskbarNotifier::SetTextColors(QColor normal, QColor selected) {
  normalColor_ = normal;
  selectedColor_ = selected;
  if (window_) window_->update();
}

bool CTaskbarNotifier::SetSkinBitmap(int id, int red, int green, int blue) {
  QImage img;
  if (!LoadPngResource(&img, id)) return false;
  return SetSkinImage(img, red, green, blue);
}

bool CTaskbarNotifier::SetSkinImage(const QImage& skin, int red, int green, int blue) {
  if (skin.isNull()) return false;
  skin_ = skin;
  textRect_ = QRect(QPoint(0, 0), skin.size());
  region_ = QRegion();
  if (red != -1 && green != -1 && blue != -1) region_ = RegionFromSkin(skin, QColor(red, green, blue));
  if (window_) {
    if (region_.isEmpty())
      window_->clearMask();
    else
      window_->setMask(region_);
  }
  return true;
}

void CTaskbarNotifier::ApplyStandardSkin() {
  SetSkinBitmap(kSkinBitmap, -1, -1, -1);
  SetFonts(QStringLiteral("Arial"), 90, 0, 0);
  SetTextColors(QColor(0, 0, 0), QColor(0, 0, 200));
  const QSize s = skin_.size();
  SetTextRect(QRect(QPoint(10, 40), QPoint(s.width() - 10 - 1, s.height() - 25 - 1)));
}

bool CTaskbarNotifier::CreateIfNeeded(QWidget* owner) {
  if (HasWindow()) return false;
  Create(owner);
  ApplyStandardSkin();
  // Kept notices whose window went before they could all be shown go on in the new one.
  if (releasing_) ShowNextKept();
  return true;
}

ScreenAreas CTaskbarNotifier::Areas() const {
  if (screenSource_) return screenSource_();
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return {screen->geometry(), screen->availableGeometry()};
}

int CTaskbarNotifier::TimerInterval(int id) const { return id >= 1 && id <= 3 ? timerMs_[id] : -1; }

void CTaskbarNotifier::StartTimer(int id, int productMs) {
  // A zero interval would fire on every pass of the event loop.
  productMs = std::max(productMs, 1);
  timerMs_[id] = productMs;
  if (window_) window_->Start(id, plat::scaled(productMs));
}

void CTaskbarNotifier::KillTimer(int id) {
  timerMs_[id] = -1;
  if (window_) window_->Stop(id);
}

void CTaskbarNotifier::Show(const std::u16string& text, int a, int s, int d, int mode) {
  Show(QString::fromStdU16String(text), a, s, d, mode);
}

void CTaskbarNotifier::Show(const QString& text, int msToAppear, int msToStay, int msToDisappear, int /*mode*/) {
  const Notice n{text, msToAppear, msToStay, msToDisappear};
  // Dropped without a window, a notice of the start (a damaged file, why recording is off)
  // would never reach the user; shown over one another, all but the last would be lost.
  if (!window_ || holding_ || releasing_) {
    kept_.push_back(n);
    if (releasing_) ShowNextKept();
    return;
  }
  ShowNow(n);
}

void CTaskbarNotifier::HoldNotices() { holding_ = true; }

void CTaskbarNotifier::ReleaseNotices() {
  holding_ = false;
  if (kept_.empty()) return;
  releasing_ = true;
  ShowNextKept();
}

void CTaskbarNotifier::ShowNextKept() {
  // One at a time: the next when the one shown has gone (a skin too small to show any in
  // drops them, as it drops every notice).
  while (window_ && Idle() && !kept_.empty()) {
    const Notice n = kept_.front();
    kept_.pop_front();
    ShowNow(n);
  }
  if (kept_.empty() && Idle()) releasing_ = false;
}

QString CTaskbarNotifier::ShownText() const {
  const QFont& font = CurrentFont();
  if (fitted_.text != text_ || fitted_.font != font || fitted_.rect != textRect_)
    fitted_ = {text_, font, textRect_, FitNoticeText(font, textRect_, text_)};
  return fitted_.shown;
}

void CTaskbarNotifier::ShowNow(const Notice& n) {
  const int W = skin_.width(), H = skin_.height();
  // The step intervals divide by half the skin's size.
  if (!window_ || W < 2 || H < 2) return;
  text_ = n.text;
  msAppear_ = n.msToAppear;
  msStay_ = n.msToStay;
  msDisappear_ = n.msToDisappear;

  const QRect wa = Areas().workArea;
  const int left = wa.x(), top = wa.y(), right = wa.x() + wa.width(), bottom = wa.y() + wa.height();
  switch (state_) {
    case kHidden: {
      window_->show();
      side_ = FindTaskbarSide(Areas());
      const bool horizontal = side_ == kTaskbarRight || side_ == kTaskbarLeft;
      const int half = horizontal ? W / 2 : H / 2;
      appearInterval_ = msAppear_ / half;
      disappearInterval_ = msDisappear_ / half;
      switch (side_) {
        case kTaskbarRight: start_ = QPoint(right, bottom - H); break;
        case kTaskbarLeft: start_ = QPoint(left - W, bottom - H); break;
        case kTaskbarTop: start_ = QPoint(right - W, top - H); break;
        default: start_ = QPoint(right - W, bottom); break;
      }
      current_ = start_;
      StartTimer(kAppearTimer, appearInterval_);
      break;
    }
    case kAppearing:
      window_->update();
      break;
    case kShown:
      window_->update();
      KillTimer(kStayTimer);
      StartTimer(kStayTimer, msStay_);
      break;
    case kDisappearing:
      KillTimer(kDisappearTimer);
      KillTimer(kStayTimer);
      StartTimer(kStayTimer, msStay_);
      switch (side_) {
        case kTaskbarRight: current_.setX(right - W); break;
        case kTaskbarLeft: current_.setX(left); break;
        case kTaskbarTop: current_.setY(top); break;
        default: current_.setY(bottom - H); break;
      }
      // Fully shown again: a later Hide must stop the stay timer, not the finished slide.
      state_ = kShown;
      Place();
      window_->update();
      break;
  }
}

void CTaskbarNotifier::Place() {
  if (window_) window_->setGeometry(current_.x(), current_.y(), skin_.width(), skin_.height());
}

void CTaskbarNotifier::OnTimer(int id) {
  const int W = skin_.width(), H = skin_.height();
  switch (id) {
    case kAppearTimer: {
      state_ = kAppearing;
      bool moving = true;
      switch (side_) {
        case kTaskbarTop: moving = current_.y() - start_.y() < H; if (moving) current_.ry() += kStep; break;
        case kTaskbarLeft: moving = current_.x() - start_.x() < W; if (moving) current_.rx() += kStep; break;
        case kTaskbarRight: moving = start_.x() - W < current_.x(); if (moving) current_.rx() -= kStep; break;
        default: moving = start_.y() - H < current_.y(); if (moving) current_.ry() -= kStep; break;
      }
      if (!moving) {
        KillTimer(kAppearTimer);
        StartTimer(kStayTimer, msStay_);
        state_ = kShown;
      }
      Place();
      break;
    }
    case kStayTimer:
      KillTimer(kStayTimer);
      StartTimer(kDisappearTimer, disappearInterval_);
      break;
    case kDisappearTimer: {
      state_ = kDisappearing;
      bool moving = true;
      switch (side_) {
        case kTaskbarTop: moving = start_.y() < current_.y(); if (moving) current_.ry() -= kStep; break;
        case kTaskbarLeft: moving = start_.x() < current_.x(); if (moving) current_.rx() -= kStep; break;
        case kTaskbarRight: moving = current_.x() < start_.x(); if (moving) current_.rx() += kStep; break;
        default: moving = current_.y() < start_.y(); if (moving) current_.ry() += kStep; break;
      }
      if (!moving) {
        KillTimer(kDisappearTimer);
        Hide();
        return;
      }
      Place();
      break;
    }
    default:
      break;
  }
}

void CTaskbarNotifier::Hide() {
  // Every timer stops, whichever state started it.
  for (int id = 1; id <= 3; ++id) KillTimer(id);
  if (window_) {
    window_->setGeometry(0, 0, 0, 0);
    window_->hide();
  }
  state_ = kHidden;
  if (releasing_) ShowNextKept();
}

void CTaskbarNotifier::SetSelected(bool selected) {
  if (selected == selected_) return;
  selected_ = selected;
  if (window_) window_->update();
}

void CTaskbarNotifier::Clicked() { PostWidgetMessage(owner_, WM_NOTIFIER_CLICKED, 0, 0); }
