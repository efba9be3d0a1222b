#pragma once
// The program's one notice pop-up: slides out from the taskbar's side of the screen, stays,
// and slides back. The object lives for the whole program; its window lives with its owner.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QString>
#include <deque>
#include <functional>
#include <string>

class QWidget;
class NotifierWindow;

// The screen and its work area (the screen less the taskbar), as plain rectangles.
struct ScreenAreas {
  QRect screen;
  QRect workArea;
};

enum TaskbarSide { kTaskbarTop = 1, kTaskbarLeft = 2, kTaskbarRight = 3, kTaskbarBottom = 4 };
int FindTaskbarSide(const ScreenAreas& areas);

// The window region of a skin: its area (width rounded down to a multiple of 4) less every
// pixel of exactly `transparent`.
QRegion RegionFromSkin(const QImage& skin, QColor transparent);

class CTaskbarNotifier {
 public:
  enum State { kHidden = 0, kAppearing = 1, kShown = 2, kDisappearing = 3 };
  enum TimerId { kAppearTimer = 1, kStayTimer = 2, kDisappearTimer = 3 };
  static constexpr int kStep = 2;  // pixels per tick
  static constexpr int kSkinBitmap = 184;

  static CTaskbarNotifier* GetInstance();

  CTaskbarNotifier();
  ~CTaskbarNotifier();
  CTaskbarNotifier(const CTaskbarNotifier&) = delete;
  CTaskbarNotifier& operator=(const CTaskbarNotifier&) = delete;

  // Makes the pop-up window, owned by `owner` (it goes away with the owner's window).
  bool Create(QWidget* owner);
  bool HasWindow() const { return !window_.isNull(); }
  QWidget* Window() const;
  QWidget* Owner() const { return owner_; }

  // Face, size in tenths of a point, styles: 1 bold, 2 italic, 4 underline.
  void SetFonts(const QString& face, int tenthsOfPoint, int normalStyle, int selectedStyle);
  void SetTextColors(QColor normal, QColor selected);
  void SetTextRect(const QRect& rect) { textRect_ = rect; }
  // Skin from resource `id`; a colour of (-1, -1, -1) means no transparent colour.
  bool SetSkinBitmap(int id, int red = -1, int green = -1, int blue = -1);
  bool SetSkinImage(const QImage& skin, int red = -1, int green = -1, int blue = -1);
  // The configuration every owner page applies when it first makes the window.
  void ApplyStandardSkin();
  // What the login dialog and the preview page do: when the notifier has no window, make it
  // with `owner` and apply the standard skin. True when a window was made.
  bool CreateIfNeeded(QWidget* owner);

  // Shows `text`; `mode` is accepted from the live-view callers, who always pass 1. A notice
  // given while there is no window to show it in (the start, before the main window), or
  // while notices are held, is kept, and shown after those kept before it once released.
  void Show(const QString& text, int msToAppear = 500, int msToStay = 3000, int msToDisappear = 500, int mode = 1);
  void Show(const std::u16string& text, int msToAppear = 500, int msToStay = 3000, int msToDisappear = 500,
            int mode = 1);
  void Hide();
  // While the main window builds its pages: notices are kept, not shown over one another.
  void HoldNotices();
  // The main window is up: the kept notices are shown one after the other, in the order they
  // were given, each for its full time; notices given meanwhile follow them.
  void ReleaseNotices();
  int KeptNotices() const { return static_cast<int>(kept_.size()); }

  // Timer ticks (the window's timers land here).
  void OnTimer(int id);
  void SetSelected(bool selected);
  void Clicked();

  // The screen the notifier slides on; the primary screen unless a caller gives another.
  void SetScreenSource(std::function<ScreenAreas()> source) { screenSource_ = std::move(source); }

  int State() const { return state_; }
  int Side() const { return side_; }
  QPoint StartPos() const { return start_; }
  QPoint CurrentPos() const { return current_; }
  QString Text() const { return text_; }
  // The text as it is drawn in the text rectangle: wrapped, and where it does not fit, the
  // folders of the file paths it names shortened in the middle, so each file's own name stays.
  QString ShownText() const;
  bool Selected() const { return selected_; }
  QSize SkinSize() const { return skin_.size(); }
  QRect TextRect() const { return textRect_; }
  const QImage& Skin() const { return skin_; }
  const QFont& CurrentFont() const { return selected_ ? selectedFont_ : normalFont_; }
  QColor CurrentColor() const { return selected_ ? selectedColor_ : normalColor_; }
  // Product milliseconds of a running timer, or -1 when it is not running.
  int TimerInterval(int id) const;

 private:
  struct Notice {
    QString text;
    int msToAppear, msToStay, msToDisappear;
  };
  void ShowNow(const Notice& n);
  // Nothing on screen, and nothing on its way there (a notice is hidden until its first tick).
  bool Idle() const { return state_ == kHidden && timerMs_[kAppearTimer] < 0; }
  void ShowNextKept();
  void StartTimer(int id, int productMs);
  void KillTimer(int id);
  void Place();
  ScreenAreas Areas() const;

  QPointer<QWidget> owner_;
  QPointer<NotifierWindow> window_;
  QFont normalFont_, selectedFont_;
  QColor normalColor_{133, 146, 181}, selectedColor_{10, 36, 106};
  QImage skin_;
  QRegion region_;
  QRect textRect_;
  QString text_;
  bool selected_ = false;
  int state_ = kHidden;
  int msAppear_ = 0, msStay_ = 0, msDisappear_ = 0;
  int appearInterval_ = 0, disappearInterval_ = 0;
  QPoint start_, current_;
  int side_ = kTaskbarBottom;
  int timerMs_[4] = {-1, -1, -1, -1};
  std::function<ScreenAreas()> screenSource_;
  struct Fitted {
    QString text;
    QFont font;
    QRect rect;
    QString shown;
  };
  mutable Fitted fitted_;
  std::deque<Notice> kept_;
  bool holding_ = false;
  // Kept notices are being shown in turn: later ones queue behind them.
  bool releasing_ = false;
};

// Deletes the program's notifier: at shut-down, with the other services
// (view/SystemBridge.h).
void FreeNotifier();
