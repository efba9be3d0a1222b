#pragma once
// A drop-down list whose items carry check boxes; its text joins the checked items' texts.
// Clicking an item in the open list toggles it and keeps the list open.
#include <QComboBox>

class CCheckComboBox : public QComboBox {
  Q_OBJECT
 public:
  static constexpr int kCheckRole = Qt::UserRole + 1;

  explicit CCheckComboBox(QWidget* parent = nullptr);

  int AddString(const QString& text);
  // Item data is the check state: 0 unchecked, anything else checked. -1 for a bad index.
  int SetCheck(int index, bool checked);
  int GetCheck(int index) const;
  // The joined text of the checked items (what the combo shows and answers as its text).
  QString GetWindowText() const;
  static QString ListSeparator();

 signals:
  // After every toggle from the list, by click or by Space (the selection-changed notice).
  void selChange(int index);

 protected:
  void paintEvent(QPaintEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void Toggle(int index);

  mutable QString joined_;
  mutable bool joinedCurrent_ = false;
};
