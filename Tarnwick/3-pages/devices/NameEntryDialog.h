#pragma once
// The skinned one-name dialogs of the device manager (add or modify a region or a group):
// a name edit of at most 63 characters, OK and Cancel, and the checks OK makes before the
// dialog closes. Each check that fails shows its notice and keeps the dialog open.
#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "controls/QxDialog.h"

class CDevMgrModel;

class CNameEntryDialog : public CQxDialog {
  Q_OBJECT
 public:
  static constexpr int IDOK_BUTTON = 1, IDCANCEL_BUTTON = 2;
  static constexpr int kNameChars = 63;

  // Ends with IDOK (1) after a name passed the checks, IDCANCEL (2) on Cancel, 0 by the
  // caption's close button.
  void OnOK();
  int IsAddMode() const { return m_add; }
  QLineEdit* NameEdit() const { return m_name; }

 protected:
  struct Texts {
    uint32_t addTitle, modifyTitle, nameLabel, emptyNotice, usedNotice;
  };
  CNameEntryDialog(int templateId, int nameEditId, int nameLabelId, Texts texts, CDevMgrModel* owner,
                   QWidget* parent);
  bool OnInitDialog() override;
  // Each showing: title by mode, the name edit from the record.
  virtual void LoadFields();
  void showEvent(QShowEvent* e) override;
  // The record's name, and whether the owner page already has that name.
  virtual std::u16string& RecordName() = 0;
  virtual bool IsNameUsed() const = 0;

  CDevMgrModel* m_owner;
  int m_add = 1;
  QLineEdit* m_name;

 private:
  Texts m_texts;
  int m_nameLabelId;
  QPushButton* m_ok;
  QPushButton* m_cancel;
};
