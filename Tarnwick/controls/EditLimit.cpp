#include "controls/EditLimit.h"

#include <QLineEdit>
#include <QPointer>
#include <QValidator>

namespace {

class TypingLimit : public QValidator {
 public:
  TypingLimit(QLineEdit* edit, int limit, const QValidator* inner)
      : QValidator(edit), limit_(limit), shown_(static_cast<int>(edit->text().size())), inner_(inner) {
    // The length last shown, whoever set it: the edit asks with its new text already in place.
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { shown_ = static_cast<int>(text.size()); });
  }

  State validate(QString& input, int& pos) const override {
    // Only a text that grows past the limit is refused: one set longer may shrink.
    if (input.size() > limit_ && input.size() > shown_) return Invalid;
    return inner_ ? inner_->validate(input, pos) : Acceptable;
  }
  void fixup(QString& input) const override {
    if (inner_) inner_->fixup(input);
  }
  void SetLimit(int limit) { limit_ = limit; }

 private:
  int limit_;
  int shown_;
  QPointer<const QValidator> inner_;
};

}  // namespace

void LimitTyping(QLineEdit* edit, int maxChars) {
  if (!edit) return;
  // A dialog set up again keeps one limit, not one over another.
  if (auto* limit = dynamic_cast<TypingLimit*>(const_cast<QValidator*>(edit->validator()))) {
    limit->SetLimit(maxChars);
    return;
  }
  edit->setValidator(new TypingLimit(edit, maxChars, edit->validator()));
}
