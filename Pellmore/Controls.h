#pragma once
// The control habits the pages rely on, kept once: an edit's limit stops typing but never
// cuts a text the device sent; an address control reads "0.0.0.0" when empty; a combo's
// "select string" is a case-insensitive prefix search and "no selection" reads -1; a notice
// raised when the focus leaves an edit cannot raise itself again while it is shown.
#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <cstdint>

#include <QGridLayout>
#include <QLabel>
class QWidget;

namespace pellmore {

class LimitedEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit LimitedEdit(QWidget* parent, int limit = 0, bool digitsOnly = false);
  void SetLimit(int limit) { limit_ = limit; }  // 0: none
  int Limit() const { return limit_; }
  bool DigitsOnly() const { return digits_; }

 signals:
  void FocusLeft();

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int limit_;
  bool digits_;
  bool inFocusOut_ = false;
};

// A dotted IPv4 address edit; empty reads as "0.0.0.0".
class AddressEdit : public QLineEdit {
 public:
  explicit AddressEdit(QWidget* parent);
  QString Address() const;
};

// Selects the first item whose text starts with `text` (case-insensitive); -1 when none,
// which clears the selection.
int SelectString(QComboBox* combo, const QString& text);
// The selection, -1 for none.
inline int CurSel(const QComboBox* combo) { return combo->currentIndex(); }

// Text of a fixed narrow field (GBK, up to its first zero byte or its full size) for showing.
QString FieldToText(const uint8_t* field, size_t size);
// A text into a fixed narrow field of `size` bytes: GBK, cut at a character boundary; with
// `terminated` the field keeps a zero byte at the end, otherwise the text may fill it.
void TextToField(const QString& text, uint8_t* field, size_t size, bool terminated = true);

// An address control's text into the 16-byte IPv4 text of an address block. "0.0.0.0" (what an
// empty control reads) leaves an empty text empty, so showing and reading back changes nothing.
void AddressToField(const QString& address, uint8_t* ipv4Text);

// The decimal value of an edit's text (first 16 characters, as the pages read numbers).
int EditNumber(const QLineEdit* edit);
// A port edit: a value above 65535 becomes "65535".
void ClampPortText(QLineEdit* edit);

// A page's form grid: labels in column 0, fields of one width in column 1, room after them.
void FormColumns(QGridLayout* grid);

// Builds a label with an object name (control id) and a text.
QLabel* MakeLabel(QWidget* parent, int id, const QString& text);
// Sets the control id as the object name.
template <class W>
W* Named(W* w, int id) {
  w->setObjectName(QString::number(id));
  return w;
}

}  // namespace pellmore
