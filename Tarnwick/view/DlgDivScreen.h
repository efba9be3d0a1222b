#pragma once
// The split-layout picker: a small panel of the preview page with one image button per
// offered layout. A press switches the play screen to that layout from window 0 and hides
// the panel. It also goes without a choice: a press anywhere outside it (which goes on to
// what was pressed), Esc, or its page leaving the screen.
#include <QWidget>
#include <array>

class CBitmapButtonEx;
class CPlayScreen;

class CDlgDivScreen : public QWidget {
 public:
  static constexpr int kTemplateId = 179;
  static constexpr int kFirstButtonId = 5500;
  static constexpr int kButtonCount = 13;
  static constexpr uint32_t kOutline = 0xA0A0A0;
  static constexpr uint32_t kFill = 0x464646;

  explicit CDlgDivScreen(QWidget* parent = nullptr);

  void SetPlayScreen(CPlayScreen* screen) { screen_ = screen; }
  // The layout mode button `id` selects; -1 for another id.
  static int ModeOfButton(int id);
  void OnButton(int id);
  CBitmapButtonEx* Button(int id) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CPlayScreen* screen_ = nullptr;
  std::array<CBitmapButtonEx*, kButtonCount> buttons_{};
};
