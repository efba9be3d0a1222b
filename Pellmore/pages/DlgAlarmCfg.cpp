#include "DlgAlarmCfg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ChannelPage.h"
#include "DlgGuardTime.h"
#include "DlgInvokeType.h"
#include "plat/bytes.h"

namespace pellmore {

namespace {

constexpr size_t kNameAt = 4, kNameSize = 32;
constexpr int kLocalPorts = 32;  // ports from the 33rd on are IP alarm ports
// Input record: sensor type at 36, handling switch at 37, schedule at 140.
constexpr size_t kInTypeAt = 36, kInHandleAt = 37, kInScheduleAt = 140;
// Output record: hold-time code (u32) at 36, schedule at 40.
constexpr size_t kOutHoldAt = 36, kOutScheduleAt = 40;

// A group box with its note and its "Setting" button.
QPushButton* SettingGroup(QWidget* page, QVBoxLayout* into, int groupId, uint32_t title,
                          int noteId, uint32_t note, int buttonId) {
  auto* group = Named(new QGroupBox(LoadLangString(title), page), groupId);
  auto* h = new QHBoxLayout(group);
  QLabel* text = MakeLabel(group, noteId, LoadLangString(note));
  text->setWordWrap(true);
  h->addWidget(text, 1);
  auto* button = Named(new QPushButton(LoadLangString(4049), group), buttonId);
  h->addWidget(button, 0, Qt::AlignTop);
  into->addWidget(group);
  return button;
}

// The list position of a stored code; a code the list does not offer shows no selection.
void SelectCode(QComboBox* list, uint32_t code) {
  list->setCurrentIndex(code < static_cast<uint32_t>(list->count()) ? static_cast<int>(code) : -1);
}

}  // namespace

template <size_t N>
CAlarmPortPage<N>::CAlarmPortPage(QWidget* parent, uint32_t portLabelText, uint32_t portItemText,
                                  const std::array<int, 6>& ids)
    : ConfigPage(parent), itemText_(portItemText) {
  layout_ = new QVBoxLayout(this);
  form_ = new QGridLayout;
  ports_ = Named(new QComboBox(this), ids[1]);
  address_ = Named(new QLineEdit(this), ids[3]);
  address_->setReadOnly(true);
  name_ = Named(new LimitedEdit(this, 16), ids[5]);
  name_->SetFieldBytes(kNameSize);  // may fill its field
  form_->addWidget(MakeLabel(this, ids[0], LoadLangString(portLabelText)), 0, 0);
  form_->addWidget(ports_, 0, 1);
  form_->addWidget(MakeLabel(this, ids[2], LoadLangString(4167)), 1, 0);
  form_->addWidget(address_, 1, 1);
  form_->addWidget(MakeLabel(this, ids[4], LoadLangString(4168)), 2, 0);
  form_->addWidget(name_, 2, 1);
  FormColumns(form_);
  layout_->addLayout(form_);
  QObject::connect(ports_, &QComboBox::currentIndexChanged, this, [this] { OnPortChange(); });
}

template <size_t N>
template <class Rec>
void CAlarmPortPage<N>::LoadPorts(const std::vector<Rec>& records) {
  working_.clear();
  for (const Rec& r : records) working_.push_back(r.bytes);
  snapshot_ = working_;
  onShow_ = -1;
  FillNumberedList(ports_, itemText_, static_cast<int>(working_.size()));
  OnPortChange();
}

template <size_t N>
void CAlarmPortPage<N>::OnPortChange() {
  const int selected = ports_->currentIndex();
  if (selected == onShow_) return;
  SavePort();
  onShow_ = selected;
  ShowPort();
}

template <size_t N>
void CAlarmPortPage<N>::ShowPort() {
  if (onShow_ < 0) return;
  const uint8_t* r = working_[static_cast<size_t>(onShow_)].data();
  // What the address of an IP alarm port should say is the device's: it is left as it was.
  if (onShow_ < kLocalPorts) address_->setText(LoadLangString(4174));
  name_->setText(FieldToText(r + kNameAt, kNameSize));
  ShowExtra(r);
}

template <size_t N>
void CAlarmPortPage<N>::SavePort() {
  if (onShow_ < 0) return;
  uint8_t* r = working_[static_cast<size_t>(onShow_)].data();
  // The name may fill its 32 bytes without a terminator.
  EditedTextToField(name_->text().left(63), r + kNameAt, kNameSize, false);
  SaveExtra(r);
}

template <size_t N>
void CAlarmPortPage<N>::OnCopy() {
  if (onShow_ < 0) return;
  SavePort();
  RunCopyTo(this, working_, onShow_, [](PortRecord& target, const PortRecord& original) {
    std::copy_n(original.begin() + kNameAt, kNameSize, target.begin() + kNameAt);
  });
}

template <size_t N>
template <class Rec>
void CAlarmPortPage<N>::CommitPorts(std::vector<Rec>& records) {
  SavePort();
  for (size_t i = 0; i < working_.size() && i < records.size(); ++i) {
    if (working_[i] == snapshot_[i]) continue;
    snapshot_[i] = working_[i];
    records[i].bytes = working_[i];
    records[i].changed = true;
  }
}

CDlgAlarmIn::CDlgAlarmIn(QWidget* parent)
    : CAlarmPortPage(parent, 4166, 4173, {4152, 4144, 4153, 4145, 4154, 4146}) {
  type_ = Named(new QComboBox(this), 4147);
  type_->addItems({LoadLangString(4177), LoadLangString(4176)});
  handle_ = Named(new QCheckBox(LoadLangString(4170), this), 4148);
  form_->addWidget(MakeLabel(this, 4155, LoadLangString(4169)), 3, 0);
  form_->addWidget(type_, 3, 1);
  form_->addWidget(handle_, 4, 1);
  arming_ = SettingGroup(this, layout_, 4061, 4113, 4062, 4171, 4149);
  linkage_ = SettingGroup(this, layout_, 4063, 4115, 4069, 4172, 4150);
  auto* copy = Named(new QPushButton(LoadLangString(4050), this), 4151);
  layout_->addWidget(copy, 0, Qt::AlignLeft);
  layout_->addStretch(1);
  connect(handle_, &QCheckBox::clicked, this, [this] { OnHandle(); });
  connect(arming_, &QPushButton::clicked, this, [this] { OnArming(); });
  connect(linkage_, &QPushButton::clicked, this, [this] { OnLinkage(); });
  connect(copy, &QPushButton::clicked, this, [this] { OnCopy(); });
}

void CDlgAlarmIn::Load(PageContext& context) {
  channels_ = context.records->ChannelCount();
  outputs_ = context.records->AlarmOutCount();
  LoadPorts(context.records->alarmIn);
}

void CDlgAlarmIn::ShowExtra(const uint8_t* r) {
  SelectCode(type_, r[kInTypeAt]);
  handle_->setChecked(r[kInHandleAt] != 0);
  OnHandle();
}

void CDlgAlarmIn::SaveExtra(uint8_t* r) {
  if (type_->currentIndex() >= 0) r[kInTypeAt] = static_cast<uint8_t>(type_->currentIndex());
  r[kInHandleAt] = StoredFlag(r[kInHandleAt], handle_->isChecked());
}

void CDlgAlarmIn::OnHandle() {
  arming_->setEnabled(handle_->isChecked());
  linkage_->setEnabled(handle_->isChecked());
}

void CDlgAlarmIn::OnArming() {
  if (PortOnShow() < 0) return;
  CDlgGuardTime dlg(this, AlarmSourceKind::AlarmIn, OnShowRecord() + kInScheduleAt);
  dlg.exec();
}

void CDlgAlarmIn::OnLinkage() {
  if (PortOnShow() < 0) return;
  CDlgInvokeType dlg(this);
  dlg.Setup(OnShowRecord(), outputs_, channels_);
  dlg.exec();
}

bool CDlgAlarmIn::CollectChanges(ConfigRecords& records) {
  CommitPorts(records.alarmIn);
  return false;
}

CDlgAlarmOut::CDlgAlarmOut(QWidget* parent)
    : CAlarmPortPage(parent, 4180, 4179, {4161, 4156, 4162, 4157, 4163, 4164}) {
  hold_ = Named(new QComboBox(this), 4158);
  for (const char* t : {"5S", "10S", "30S", "60S", "120S", "300S", "600S"})
    hold_->addItem(QString::fromLatin1(t));
  hold_->addItem(LoadLangString(4182));
  form_->addWidget(MakeLabel(this, 4165, LoadLangString(4181)), 3, 0);
  form_->addWidget(hold_, 3, 1);
  QPushButton* arming = SettingGroup(this, layout_, 4061, 4113, 4075, 4171, 4019);
  auto* copy = Named(new QPushButton(LoadLangString(4050), this), 4021);
  layout_->addWidget(copy, 0, Qt::AlignLeft);
  layout_->addStretch(1);
  connect(arming, &QPushButton::clicked, this, [this] { OnArming(); });
  connect(copy, &QPushButton::clicked, this, [this] { OnCopy(); });
}

void CDlgAlarmOut::Load(PageContext& context) { LoadPorts(context.records->alarmOut); }

void CDlgAlarmOut::ShowExtra(const uint8_t* r) { SelectCode(hold_, plat::getLe32(r + kOutHoldAt)); }

void CDlgAlarmOut::SaveExtra(uint8_t* r) {
  if (hold_->currentIndex() >= 0) plat::putLe32(r + kOutHoldAt, static_cast<uint32_t>(hold_->currentIndex()));
}

void CDlgAlarmOut::OnArming() {
  if (PortOnShow() < 0) return;
  CDlgGuardTime dlg(this, AlarmSourceKind::AlarmOut, OnShowRecord() + kOutScheduleAt);
  dlg.exec();
}

bool CDlgAlarmOut::CollectChanges(ConfigRecords& records) {
  CommitPorts(records.alarmOut);
  return false;
}

template class CAlarmPortPage<kAlarmInRecord.size>;
template class CAlarmPortPage<kAlarmOutRecord.size>;

PELLMORE_REGISTER_PAGE(CDlgAlarmIn, 0x8000)
PELLMORE_REGISTER_PAGE(CDlgAlarmOut, 0x10000)

}  // namespace pellmore
