#include "devices/NameEntryDialog.h"

#include <QLabel>
#include <QShowEvent>

#include "controls/EditLimit.h"
#include "devices/FramedDialog.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/Text.h"
#include "shell/UiService.h"

CNameEntryDialog::CNameEntryDialog(int templateId, int nameEditId, int nameLabelId, Texts texts,
                                   CDevMgrModel* owner, QWidget* parent)
    : CQxDialog(templateId, parent), m_owner(owner), m_texts(texts), m_nameLabelId(nameLabelId) {
  plat::Named(this, templateId);
  resize(300, 110);
  MakeControl<QLabel>(this, nameLabelId, QRect(10, 14, 80, 22));
  m_name = MakeControl<QLineEdit>(this, nameEditId, QRect(95, 14, 180, 22));
  // Plain buttons: an image button would end the skinned dialog on its press.
  m_ok = MakeControl<QPushButton>(this, IDOK_BUTTON, QRect(50, 78, 84, 26));
  m_cancel = MakeControl<QPushButton>(this, IDCANCEL_BUTTON, QRect(160, 78, 84, 26));
  for (QPushButton* b : {m_ok, m_cancel}) b->setAutoDefault(false);
  connect(m_ok, &QAbstractButton::clicked, this, [this] { OnOK(); });
  connect(m_cancel, &QAbstractButton::clicked, this, [this] { EndDialog(IDCANCEL_BUTTON); });
}

bool CNameEntryDialog::OnInitDialog() {
  CQxDialog::OnInitDialog();
  for (auto [b, id] : {std::pair{m_ok, 8004u}, std::pair{m_cancel, 8006u}}) b->setText(Text(id));
  findChild<QLabel*>(QString::number(m_nameLabelId))->setText(Text(m_texts.nameLabel));
  LimitTyping(m_name, kNameChars);
  return true;
}

void CNameEntryDialog::LoadFields() {
  setWindowTitle(Text(m_add ? m_texts.addTitle : m_texts.modifyTitle));
  m_name->setText(m_add ? QString() : QString::fromStdU16String(RecordName()));
}

void CNameEntryDialog::showEvent(QShowEvent* e) {
  CQxDialog::showEvent(e);
  if (!e->spontaneous()) LoadFields();
}

void CNameEntryDialog::OnOK() {
  const std::u16string previous = RecordName();
  const std::u16string name = m_name->text().toStdU16String();
  if (name.empty()) {
    Notice(m_texts.emptyNotice);
    return;
  }
  RecordName() = name;
  if ((m_add || name != previous) && IsNameUsed()) {
    RecordName() = previous;
    Notice(m_texts.usedNotice);
    return;
  }
  EndDialog(IDOK_BUTTON);
}
