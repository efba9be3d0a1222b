#include "Controls.h"

#include <QGridLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QValidator>
#include <algorithm>

#include "Session.h"
#include "plat/text.h"

namespace pellmore {

namespace {

constexpr size_t kIpv4TextSize = 16;  // the IPv4 text at the start of an address block

// Typing may not make the text longer than the limit, but a longer text set by the program
// may be shortened (and is never cut by the limit). A change is judged against the text as it
// was before it (the edit's own text is already the changed one when Qt asks); what the
// program sets is taken as it is, so Qt's check of the next keystroke starts from a valid text.
class LimitValidator : public QValidator {
 public:
  LimitValidator(LimitedEdit* edit) : QValidator(edit), edit_(edit) {}
  State validate(QString& input, int&) const override {
    if (edit_->Setting() || input == edit_->Accepted()) return Acceptable;
    if (edit_->DigitsOnly())
      for (QChar c : input)
        if (!c.isDigit()) return Invalid;
    const QString& was = edit_->Accepted();
    const int limit = edit_->Limit();
    if (limit > 0 && input.size() > limit && input.size() > was.size()) return Invalid;
    if (const size_t room = edit_->FieldBytes()) {
      bool held = true, wasHeld = true;
      const size_t bytes = GbkBytes(input, &held);
      const size_t before = GbkBytes(was, &wasHeld);
      // A character the field cannot carry would go to the device as something else.
      if (!held && wasHeld) return Invalid;
      // Too long for the field: only shortening is taken (a text the device sent that fills
      // more than the room the page may write is not cut by showing it).
      if (bytes > room && bytes >= before) return Invalid;
    }
    return Acceptable;
  }

 private:
  LimitedEdit* edit_;
};

}  // namespace

LimitedEdit::LimitedEdit(QWidget* parent, int limit, bool digitsOnly)
    : QLineEdit(parent), limit_(limit), digits_(digitsOnly) {
  setValidator(new LimitValidator(this));
  // Qt tells of a change after judging it: until then this is the text before it.
  connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { accepted_ = text; });
}

void LimitedEdit::setText(const QString& text) {
  setting_ = true;
  QLineEdit::setText(text);
  setting_ = false;
}

void LimitedEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // The notice a handler shows takes the focus away again; that second focus-out is ignored.
  if (inFocusOut_) return;
  inFocusOut_ = true;
  emit FocusLeft();
  inFocusOut_ = false;
}

AddressEdit::AddressEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]{0,15}")),
                                               this));
}

QString AddressEdit::Address() const {
  const QString t = text().trimmed();
  return t.isEmpty() ? QStringLiteral("0.0.0.0") : t;
}

int SelectString(QComboBox* combo, const QString& text) {
  for (int i = 0; i < combo->count(); ++i) {
    if (combo->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
      combo->setCurrentIndex(i);
      return i;
    }
  }
  combo->setCurrentIndex(-1);
  return -1;
}

size_t GbkBytes(const QString& text, bool* held) {
  const std::u16string w(reinterpret_cast<const char16_t*>(text.utf16()),
                         static_cast<size_t>(text.size()));
  const std::string g = plat::utf16ToGbk(w);
  if (held) *held = plat::gbkToUtf16(g) == w;
  return g.size();
}

QString FieldToText(const uint8_t* field, size_t size) {
  const std::string s = plat::fieldText(reinterpret_cast<const char*>(field), size);
  // Control characters a recorder may send in its names are not shown; a field left as
  // shown keeps its bytes (EditedTextToField compares with this).
  const std::u16string w = plat::withoutControls(plat::gbkToUtf16(s));
  return QString::fromUtf16(w.data(), static_cast<qsizetype>(w.size()));
}

void TextToField(const QString& text, uint8_t* field, size_t size, bool terminated) {
  const std::u16string w(reinterpret_cast<const char16_t*>(text.utf16()),
                         static_cast<size_t>(text.size()));
  const std::string g = plat::utf16ToGbk(w, terminated ? size - 1 : size);
  std::fill(field, field + size, uint8_t{0});
  std::copy(g.begin(), g.end(), field);
}

void EditedTextToField(const QString& text, uint8_t* field, size_t size, bool terminated) {
  if (text == FieldToText(field, size)) return;
  TextToField(text, field, size, terminated);
}

void AddressToField(const QString& address, uint8_t* ipv4Text) {
  if (address == QStringLiteral("0.0.0.0") && ipv4Text[0] == 0) return;
  EditedTextToField(address, ipv4Text, kIpv4TextSize);
}

bool IsDottedIPv4(const QString& text) {
  static const QRegularExpression dotted(
      QStringLiteral("^(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])"
                     "(\\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}$"));
  return dotted.match(text).hasMatch();
}

bool CheckAddress(AddressEdit* edit, const uint8_t* ipv4Text, const QString& label) {
  const QString address = edit->Address();
  if (IsDottedIPv4(address) || address == FieldToText(ipv4Text, kIpv4TextSize)) return true;
  // The label names the field; its colon does not belong in the sentence.
  QString name = label.trimmed();
  while (name.endsWith(QLatin1Char(':')) || name.endsWith(QChar(0xFF1A))) name.chop(1);
  ShowMessage(edit, LoadLangString(4215).arg(name, edit->text()));
  edit->setFocus();
  edit->selectAll();
  return false;
}

int EditNumber(const QLineEdit* edit) {
  const QString t = edit->text().left(16);
  return plat::textToInt(std::u16string_view(reinterpret_cast<const char16_t*>(t.utf16()),
                                             static_cast<size_t>(t.size())));
}

void ClampPortText(QLineEdit* edit) {
  if (EditNumber(edit) > 65535) edit->setText(QStringLiteral("65535"));
}

void FormColumns(QGridLayout* grid) {
  grid->setColumnMinimumWidth(1, 260);
  grid->setColumnStretch(3, 1);
}

QLabel* MakeLabel(QWidget* parent, int id, const QString& text) {
  auto* l = new QLabel(text, parent);
  Named(l, id);
  return l;
}

}  // namespace pellmore
