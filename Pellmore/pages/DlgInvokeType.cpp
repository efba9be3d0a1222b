#include "DlgInvokeType.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "Records.h"
#include "Session.h"
#include "plat/bytes.h"
#include "plat/controlid.h"
#include "plat/log.h"

namespace pellmore {

namespace {

// Where an alarm-input record keeps its linkage.
constexpr size_t kInHandling = 40, kInRecordFlags = 364, kInPresetEnables = 428,
                 kInPresetNumbers = 492, kInCruiseEnables = 700, kInCruiseNumbers = 716,
                 kInTrackEnables = 732, kInTrackNumbers = 748;

template <size_t N>
void FromBytes(std::array<uint8_t, N>& a, const uint8_t* p) {
  std::copy_n(p, N, a.begin());
}
template <size_t N>
void ToBytes(const std::array<uint8_t, N>& a, uint8_t* p) {
  std::copy_n(a.begin(), N, p);
}

int Clamp(int count, int capacity, const char* what) {
  if (count <= capacity) return std::max(count, 0);
  PLAT_LOGW("Pellmore", "%d %s for the linkage; only %d can be linked", count, what, capacity);
  return capacity;
}

// A list of check rows "<text>01", "<text>02" ..., checked where flags[i] is not 0.
QListWidget* CheckList(QWidget* parent, int id) {
  auto* list = Named(new QListWidget(parent), id);
  list->setMinimumWidth(200);
  return list;
}
void FillCheckList(QListWidget* list, const QString& text, int rows, const uint8_t* flags) {
  list->clear();
  for (int i = 0; i < rows; ++i) {
    auto* item = new QListWidgetItem(QStringLiteral("%1%2").arg(text).arg(i + 1, 2, 10,
                                                                           QLatin1Char('0')),
                                     list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(flags[i] ? Qt::Checked : Qt::Unchecked);
  }
}
void ReadCheckList(const QListWidget* list, uint8_t* flags) {
  for (int i = 0; i < list->count(); ++i)
    flags[i] = StoredFlag(flags[i], list->item(i)->checkState() == Qt::Checked);
}
// "Select All" under a list sets every row to its state.
QCheckBox* SelectAll(QWidget* parent, QListWidget* list) {
  auto* all = Named(new QCheckBox(LoadLangString(4061), parent), 4167);
  QObject::connect(all, &QCheckBox::clicked, parent, [all, list] {
    for (int i = 0; i < list->count(); ++i)
      list->item(i)->setCheckState(all->isChecked() ? Qt::Checked : Qt::Unchecked);
  });
  return all;
}

// The PTZ numbers: preset 1 to 64, cruise 1 to 6, track 1 to 3.
constexpr int kModeMax[3] = {64, 6, 3};

}  // namespace

LinkageData LinkageData::FromAlarmIn(const uint8_t* r, int channelCount, int alarmOutCount) {
  LinkageData d;
  d.channelCount = channelCount;
  d.alarmOutCount = alarmOutCount;
  FromBytes(d.handling, r + kInHandling);
  FromBytes(d.recordFlags, r + kInRecordFlags);
  FromBytes(d.presetEnables, r + kInPresetEnables);
  FromBytes(d.presetNumbers, r + kInPresetNumbers);
  FromBytes(d.cruiseEnables, r + kInCruiseEnables);
  FromBytes(d.cruiseNumbers, r + kInCruiseNumbers);
  FromBytes(d.trackEnables, r + kInTrackEnables);
  FromBytes(d.trackNumbers, r + kInTrackNumbers);
  return d;
}

void LinkageData::ToAlarmIn(uint8_t* r) const {
  ToBytes(handling, r + kInHandling);
  ToBytes(recordFlags, r + kInRecordFlags);
  ToBytes(presetEnables, r + kInPresetEnables);
  ToBytes(presetNumbers, r + kInPresetNumbers);
  ToBytes(cruiseEnables, r + kInCruiseEnables);
  ToBytes(cruiseNumbers, r + kInCruiseNumbers);
  ToBytes(trackEnables, r + kInTrackEnables);
  ToBytes(trackNumbers, r + kInTrackNumbers);
}

CDlgInvokeType::CDlgInvokeType(QWidget* owner) : QDialog(owner) {
  plat::Named(this, 4027);
  setWindowTitle(LoadLangString(4115));
  auto* l = new QVBoxLayout(this);
  tabs_ = Named(new QTabWidget(this), 4341);
  l->addWidget(tabs_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  AddOkCancel(this, buttons, 4197, [this] { OnOK(); });
  l->addLayout(buttons);

  // Handling tab.
  handlingTab_ = Named(new QWidget(this), 4028);
  auto* h = new QVBoxLayout(handlingTab_);
  email_ = Named(new QCheckBox(LoadLangString(4127), handlingTab_), 4343);
  email_->setEnabled(false);
  audio_ = Named(new QCheckBox(LoadLangString(4128), handlingTab_), 4344);
  outputs_ = Named(new QCheckBox(LoadLangString(4129), handlingTab_), 4345);
  outputList_ = CheckList(handlingTab_, 4346);
  outputsAll_ = SelectAll(handlingTab_, outputList_);
  for (QWidget* w : {static_cast<QWidget*>(email_), static_cast<QWidget*>(audio_),
                     static_cast<QWidget*>(outputs_)})
    h->addWidget(w);
  h->addWidget(outputList_, 1);
  h->addWidget(outputsAll_);
  connect(outputs_, &QCheckBox::clicked, this, [this] { EnableOutputs(); });

  // Record tab.
  recordTab_ = Named(new QWidget(this), 4029);
  auto* r = new QVBoxLayout(recordTab_);
  recordList_ = CheckList(recordTab_, 4348);
  r->addWidget(recordList_, 1);
  r->addWidget(SelectAll(recordTab_, recordList_));

  // PTZ tab.
  ptzTab_ = Named(new QWidget(this), 4031);
  auto* g = new QGridLayout(ptzTab_);
  ptzChannel_ = Named(new QComboBox(ptzTab_), 4358);
  g->addWidget(MakeLabel(ptzTab_, 4368, LoadLangString(4184)), 0, 0);
  g->addWidget(ptzChannel_, 0, 1, 1, 2);
  const struct {
    int label, edit, spin, box;
    uint32_t labelText, boxText;
    int limit;
  } modes[3] = {{4372, 4359, 4371, 4361, 4185, 4188, 2},
                {4373, 4362, 4370, 4364, 4186, 4189, 1},
                {4374, 4365, 4369, 4367, 4187, 4190, 1}};
  for (int m = 0; m < 3; ++m) {
    const auto& d = modes[m];
    auto* edit = Named(new LimitedEdit(ptzTab_, d.limit, true), d.edit);
    edit->setText(QStringLiteral("1"));
    edit->setFixedWidth(50);
    auto* spin = Named(new SpinButtons(ptzTab_, edit, 1, kModeMax[m]), d.spin);
    auto* box = Named(new QCheckBox(LoadLangString(d.boxText), ptzTab_), d.box);
    edit->setEnabled(false);
    spin->setEnabled(false);
    numbers_[static_cast<size_t>(m)] = edit;
    spins_[static_cast<size_t>(m)] = spin;
    modes_[static_cast<size_t>(m)] = box;
    g->addWidget(MakeLabel(ptzTab_, d.label, LoadLangString(d.labelText)), m + 1, 0);
    g->addWidget(edit, m + 1, 1);
    g->addWidget(spin, m + 1, 2);
    g->addWidget(box, m + 1, 3);
    connect(box, &QCheckBox::clicked, this, [this, m] { OnPtzMode(m); });
    connect(edit, &QLineEdit::textChanged, this, [this, m] { ClampNumber(m); });
  }
  g->setColumnStretch(4, 1);
  g->setRowStretch(4, 1);
  connect(ptzChannel_, &QComboBox::currentIndexChanged, this, [this](int c) {
    if (c < 0 || c == ptzOnShow_) return;
    SavePtzChannel();
    ShowPtzChannel(c);
  });
  resize(420, 380);
}

void CDlgInvokeType::Setup(uint8_t* alarmInRecord, int alarmOutCount, int channelCount) {
  Setup(AlarmSourceKind::AlarmIn,
        LinkageData::FromAlarmIn(alarmInRecord, channelCount, alarmOutCount),
        [alarmInRecord](const LinkageData& d) { d.ToAlarmIn(alarmInRecord); });
}

void CDlgInvokeType::Setup(AlarmSourceKind kind, const LinkageData& data, ApplyFn apply) {
  kind_ = kind;
  data_ = data;
  apply_ = std::move(apply);
  while (tabs_->count() > 0) tabs_->removeTab(0);
  tabs_->addTab(handlingTab_, LoadLangString(4125));
  if (kind == AlarmSourceKind::Motion || kind == AlarmSourceKind::AlarmIn)
    tabs_->addTab(recordTab_, LoadLangString(4126));
  else
    recordTab_->hide();
  if (kind == AlarmSourceKind::AlarmIn)
    tabs_->addTab(ptzTab_, LoadLangString(4178));
  else
    ptzTab_->hide();
  tabs_->setCurrentIndex(0);
  Fill();
}

void CDlgInvokeType::Fill() {
  const uint32_t bits = plat::getLe32(data_.handling.data());
  email_->setChecked(bits & kHandleEmail);
  audio_->setChecked(bits & kHandleAudio);
  outputs_->setChecked(bits & kHandleOutputs);
  FillCheckList(outputList_, LoadLangString(4130),
                Clamp(data_.alarmOutCount, kMaxLinkOutputs, "alarm outputs"),
                data_.handling.data() + 4);
  EnableOutputs();
  const QString channel = LoadLangString(4051);
  FillCheckList(recordList_, channel,
                Clamp(data_.channelCount, kMaxRecordChannels, "record channels"),
                data_.recordFlags.data());
  const QSignalBlocker block(ptzChannel_);
  ptzChannel_->clear();
  const int ptzChannels = Clamp(data_.channelCount, kMaxPtzChannels, "PTZ channels");
  for (int c = 0; c < ptzChannels; ++c)
    ptzChannel_->addItem(QStringLiteral("%1%2").arg(channel).arg(c + 1, 2, 10, QLatin1Char('0')));
  ptzOnShow_ = -1;
  if (ptzChannels > 0) {
    ptzChannel_->setCurrentIndex(0);
    ShowPtzChannel(0);
  }
}

void CDlgInvokeType::EnableOutputs() {
  outputList_->setEnabled(outputs_->isChecked());
  outputsAll_->setEnabled(outputs_->isChecked());
}

void CDlgInvokeType::ShowPtzChannel(int c) {
  ptzOnShow_ = c;
  const auto i = static_cast<size_t>(c);
  // One mode at a time: of the modes the record enables, the last (preset, cruise, track) wins.
  int mode = -1;
  if (data_.presetEnables[i]) mode = 0;
  if (data_.cruiseEnables[i]) mode = 1;
  if (data_.trackEnables[i]) mode = 2;
  const uint8_t numbers[3] = {data_.presetNumbers[i], data_.cruiseNumbers[i],
                              data_.trackNumbers[i]};
  for (int m = 0; m < 3; ++m) {
    const auto k = static_cast<size_t>(m);
    modes_[k]->setChecked(m == mode);
    numbers_[k]->setEnabled(m == mode);
    spins_[k]->setEnabled(m == mode);
    numbers_[k]->setText(QString::number(numbers[m]));
  }
}

void CDlgInvokeType::SavePtzChannel() {
  if (ptzOnShow_ < 0) return;
  const auto i = static_cast<size_t>(ptzOnShow_);
  uint8_t* enables[3] = {&data_.presetEnables[i], &data_.cruiseEnables[i], &data_.trackEnables[i]};
  uint8_t* numbers[3] = {&data_.presetNumbers[i], &data_.cruiseNumbers[i], &data_.trackNumbers[i]};
  for (size_t m = 0; m < 3; ++m) {
    *enables[m] = StoredFlag(*enables[m], modes_[m]->isChecked());
    if (*enables[m]) *numbers[m] = static_cast<uint8_t>(EditNumber(numbers_[m]));
  }
}

void CDlgInvokeType::OnPtzMode(int mode) {
  const bool on = modes_[static_cast<size_t>(mode)]->isChecked();
  for (int m = 0; m < 3; ++m) {
    const auto k = static_cast<size_t>(m);
    if (m != mode) modes_[k]->setChecked(false);
    numbers_[k]->setEnabled(m == mode && on);
    spins_[k]->setEnabled(m == mode && on);
  }
}

void CDlgInvokeType::ClampNumber(int mode) {
  LimitedEdit* e = numbers_[static_cast<size_t>(mode)];
  const int v = EditNumber(e);
  if (v > kModeMax[mode])
    e->setText(QString::number(kModeMax[mode]));
  else if (v <= 0)
    e->setText(QStringLiteral("1"));
}

void CDlgInvokeType::OnOK() {
  uint32_t bits = plat::getLe32(data_.handling.data());
  const std::pair<QCheckBox*, uint32_t> boxes[] = {
      {email_, kHandleEmail}, {audio_, kHandleAudio}, {outputs_, kHandleOutputs}};
  for (const auto& [box, bit] : boxes) bits = box->isChecked() ? (bits | bit) : (bits & ~bit);
  plat::putLe32(data_.handling.data(), bits);
  ReadCheckList(outputList_, data_.handling.data() + 4);
  SavePtzChannel();
  ReadCheckList(recordList_, data_.recordFlags.data());
  if (apply_) apply_(data_);
  accept();
}

}  // namespace pellmore
