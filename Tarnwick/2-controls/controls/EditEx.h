#pragma once
// An edit that, with the number style, clamps what is typed to a range.
#include <QLineEdit>
#include <climits>

class CEditEx : public QLineEdit {
  Q_OBJECT
 public:
  explicit CEditEx(QWidget* parent = nullptr);

  void SetRange(int minimum, int maximum) {
    min_ = minimum;
    max_ = maximum;
  }
  // Digits only, and clamping after each typed character.
  void SetNumberStyle(bool on) { number_ = on; }
  bool NumberStyle() const { return number_; }
  int Minimum() const { return min_; }
  int Maximum() const { return max_; }

  // The value of the leading digits (0 for none), saturated at the 32-bit range.
  static long long LeadingNumber(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void Clamp();

  int min_ = INT_MIN;
  int max_ = INT_MAX;
  bool number_ = false;
};
