#pragma once
// Building blocks of the account dialogs and the settings sub-pages: controls made as direct
// children with their control id as object name, texts from the string table, the skinned
// text buttons and the notices of the UI service.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "controls/QxDialog.h"
#include "shell/DlgUserMgrController.h"
#include "shell/Text.h"

class CBitmapButtonEx;
class QEvent;
class QWidget;

namespace forms {

QGroupBox* Group(QWidget* parent, int id, uint32_t textId, const QRect& r);
QLabel* Label(QWidget* parent, int id, uint32_t textId, const QRect& r);
QLineEdit* Edit(QWidget* parent, int id, const QRect& r, int maxLength, bool password);
QRadioButton* Radio(QWidget* parent, int id, uint32_t textId, const QRect& r);
QCheckBox* Check(QWidget* parent, int id, uint32_t textId, const QRect& r);
// An image button drawing its text over the common button images, sized to them.
CBitmapButtonEx* TextButton(QWidget* parent, int id, uint32_t textId, const QPoint& pos);
// A plain push button of the same size: the small dialogs' OK and Cancel, which the skinned
// dialog base does not take for its own image buttons.
QPushButton* PlainButton(QWidget* parent, int id, uint32_t textId, const QPoint& pos);

// A key press of Enter or Esc seen by a dialog's filter (None for anything else).
enum class DialogKey { None, Enter, Escape };
DialogKey KeyOf(QEvent* e);
// Filters key presses of every control of the dialog, so Enter and Esc reach the dialog
// before an image button turns them into something else.
void FilterKeysOfChildren(QWidget* dialog);

}  // namespace forms

// What the add-user and edit-user dialogs share: the user-information group (a label and an
// edit a row; the password rows masked), the identity group with its two choices, OK and
// Cancel below it, the dialog sized to them; Enter cancelling on Cancel and confirming
// anywhere else. Esc cancels, unless the dialog swallows it (the add-user dialog does).
class CAccountDialog : public CQxDialog {
 public:
  // Checks the form and ends the dialog with IDOK when it holds.
  virtual void OnOK() = 0;

 protected:
  struct Row {
    int labelId;
    uint32_t textId;
    int editId;
    bool password;  // masked, of the password's length; else the user name's
  };
  struct Ids {
    int infoGroup, identityGroup, admin, user;
  };
  CAccountDialog(int templateId, QWidget* parent, const Ids& ids, std::initializer_list<Row> rows,
                 bool swallowEscape);

  bool eventFilter(QObject* watched, QEvent* e) override;
  // Shows a failed check's notice, emptying both password boxes (the last two rows) and
  // focusing the first when the check says so. True when the check passed.
  bool Passed(const PasswordCheck& check);
  // The text of the identity chosen.
  std::u16string ChosenIdentity() const;

  std::vector<QLineEdit*> m_edits;  // in the order of the rows
  QLineEdit* m_passwordEdit;
  QLineEdit* m_confirmEdit;
  QRadioButton* m_admin;
  QRadioButton* m_user;
  QPushButton* m_ok;
  QPushButton* m_cancel;

 private:
  bool m_swallowEscape;
};
