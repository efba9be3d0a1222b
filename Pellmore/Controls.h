#pragma once
// The control habits the pages rely on, kept once: an edit's limit stops typing but never
// cuts a text the device sent, and an edit over a record's text field takes no typing the
// field could not store whole (its bytes in GBK, or a character GBK has not); an address
// control reads "0.0.0.0" when empty; a combo's "select string" is a case-insensitive prefix
// search and "no selection" reads -1; a notice
// raised when the focus leaves an edit cannot raise itself again while it is shown. And what
// goes back to the device: a field the user did not change keeps the device's bytes, a set
// flag keeps its own non-zero value, an address is sent only as four numbers 0-255.
#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <cstdint>

#include <QGridLayout>
#include <QLabel>

#include "plat/controlid.h"

class QWidget;

namespace pellmore {

class LimitedEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit LimitedEdit(QWidget* parent, int limit = 0, bool digitsOnly = false);
  void SetLimit(int limit) { limit_ = limit; }  // 0: none
  int Limit() const { return limit_; }
  bool DigitsOnly() const { return digits_; }
  // The bytes of the record field the text goes to (its terminator not counted); 0: none.
  // Typing that would make the text need more, or put in a character GBK cannot hold, is
  // refused, so what the edit shows is what the device is sent. A longer text the device
  // sent is shown whole and can only be shortened.
  void SetFieldBytes(size_t bytes) { fieldBytes_ = bytes; }
  size_t FieldBytes() const { return fieldBytes_; }
  // A text the program or the device sets is taken whole, whatever the limits.
  void setText(const QString& text);
  bool Setting() const { return setting_; }
  // The text as it was before the change being judged (typing is judged against it).
  const QString& Accepted() const { return accepted_; }

 signals:
  void FocusLeft();

 protected:
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int limit_;
  bool digits_;
  size_t fieldBytes_ = 0;
  QString accepted_;
  bool setting_ = false;
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

// The GBK bytes of a text; *held (may be null) tells whether GBK has every character of it.
size_t GbkBytes(const QString& text, bool* held = nullptr);

// Text of a fixed narrow field (GBK, up to its first zero byte or its full size) for showing,
// without control characters.
QString FieldToText(const uint8_t* field, size_t size);
// A text into a fixed narrow field of `size` bytes: GBK, cut at a character boundary; with
// `terminated` the field keeps a zero byte at the end, otherwise the text may fill it.
void TextToField(const QString& text, uint8_t* field, size_t size, bool terminated = true);
// The same, but a text that is what the field shows leaves the field as it is: the user did
// not change it, so a name that fills the field or a byte that is no GBK text goes back as
// the device sent it.
void EditedTextToField(const QString& text, uint8_t* field, size_t size, bool terminated = true);

// A check box's state into a stored flag: a set flag keeps its own non-zero value.
template <class T>
T StoredFlag(T stored, bool checked) {
  return checked ? (stored ? stored : T{1}) : T{0};
}

// An address control's text into the 16-byte IPv4 text of an address block, as
// EditedTextToField. "0.0.0.0" (what an empty control reads) leaves an empty text empty, so
// showing and reading back changes nothing.
void AddressToField(const QString& address, uint8_t* ipv4Text);
// Four decimal numbers of 0 to 255 separated by dots.
bool IsDottedIPv4(const QString& text);
// Whether an address control may go to the device: a dotted IPv4 address, or what the field
// holds as it came. Otherwise a message names the field by its `label`, the control
// takes the focus with its text selected, and false.
bool CheckAddress(AddressEdit* edit, const uint8_t* ipv4Text, const QString& label);

// The decimal value of an edit's text (first 16 characters, as the pages read numbers).
int EditNumber(const QLineEdit* edit);
// A port edit: a value above 65535 becomes "65535".
void ClampPortText(QLineEdit* edit);

// A page's form grid: labels in column 0, fields of one width in column 1, room after them.
void FormColumns(QGridLayout* grid);

// Builds a label with an object name (control id) and a text.
QLabel* MakeLabel(QWidget* parent, int id, const QString& text);
// Sets the control id as the object name.
using plat::Named;

}  // namespace pellmore
