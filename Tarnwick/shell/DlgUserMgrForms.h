#pragma once
// Building blocks of the account dialogs and the settings sub-pages: controls made as direct
// children with their control id as object name, texts from the string table, the skinned
// text buttons and the notices of the UI service.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRect>
#include <QString>
#include <cstdint>

class CBitmapButtonEx;
class QEvent;
class QWidget;

namespace forms {

QString Text(uint32_t id);
// The notifier's notice with a string id's text (shown 500, 3000, 500 ms).
void Notice(uint32_t id);

QGroupBox* Group(QWidget* parent, int id, uint32_t textId, const QRect& r);
QLabel* Label(QWidget* parent, int id, uint32_t textId, const QRect& r);
QLineEdit* Edit(QWidget* parent, int id, const QRect& r, int maxLength, bool password);
QRadioButton* Radio(QWidget* parent, int id, uint32_t textId, const QRect& r);
QCheckBox* Check(QWidget* parent, int id, uint32_t textId, const QRect& r);
// An image button drawing its text over the common button images, sized to them.
CBitmapButtonEx* TextButton(QWidget* parent, int id, uint32_t textId, const QPoint& pos);

// A key press of Enter or Esc seen by a dialog's filter (None for anything else).
enum class DialogKey { None, Enter, Escape };
DialogKey KeyOf(QEvent* e);
// Filters key presses of every control of the dialog, so Enter and Esc reach the dialog
// before an image button turns them into something else.
void FilterKeysOfChildren(QWidget* dialog);

}  // namespace forms
