#include "DlgMotionCfg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "Controls.h"
#include "DlgGuardTime.h"
#include "DlgInvokeType.h"
#include "plat/bytes.h"

namespace pellmore {

namespace {

// The channel row of a page: label and list.
QComboBox* ChannelRow(QWidget* page, QVBoxLayout* layout, int labelId, int listId) {
  auto* row = new QHBoxLayout;
  row->addWidget(MakeLabel(page, labelId, LoadLangString(4042)));
  auto* list = Named(new QComboBox(page), listId);
  list->setMinimumWidth(160);
  row->addWidget(list);
  row->addStretch(1);
  layout->addLayout(row);
  return list;
}

}  // namespace

// ---- What the alarm pages share ----

template <class Entry>
AlarmPartPage<Entry>::AlarmPartPage(QWidget* parent, size_t at)
    : ChannelEntryPage<Entry>(parent), at_(at) {
  layout_ = new QVBoxLayout(this);
  channelList_ = ChannelRow(this, layout_, 4022, 4010);
  QObject::connect(channelList_, &QComboBox::currentIndexChanged, this,
                   [this](int i) { this->OnChannelChange(i); });
}

template <class Entry>
void AlarmPartPage<Entry>::Load(PageContext& context) {
  channelCount_ = context.records->ChannelCount();
  alarmOutCount_ = context.records->AlarmOutCount();
  this->LoadEntries(*context.records, channelList_, channelCount_);
}

template <class Entry>
QPushButton* AlarmPartPage<Entry>::SettingGroup(int groupId, uint32_t titleId, int noteId,
                                                uint32_t noteTextId, int buttonId) {
  auto* group = Named(new QGroupBox(LoadLangString(titleId), this), groupId);
  auto* row = new QHBoxLayout(group);
  QLabel* note = MakeLabel(group, noteId, LoadLangString(noteTextId));
  note->setWordWrap(true);
  row->addWidget(note, 1);
  auto* button = Named(new QPushButton(LoadLangString(4049), group), buttonId);
  row->addWidget(button, 0, Qt::AlignVCenter);
  layout_->addWidget(group);
  return button;
}

template <class Entry>
void AlarmPartPage<Entry>::OpenArming(AlarmSourceKind kind, uint8_t* schedule) {
  CDlgGuardTime dlg(this, kind, schedule);
  dlg.exec();
}

template <class Entry>
void AlarmPartPage<Entry>::OpenLinkage(AlarmSourceKind kind, uint8_t* handling,
                                       uint8_t* recordFlags) {
  LinkageData data;
  data.alarmOutCount = alarmOutCount_;
  data.channelCount = channelCount_;
  std::copy(handling, handling + kHandlingSize, data.handling.begin());
  if (recordFlags) std::copy(recordFlags, recordFlags + kMaxRecordChannels, data.recordFlags.begin());
  CDlgInvokeType dlg(this);
  dlg.Setup(kind, data, [handling, recordFlags](const LinkageData& edited) {
    std::copy(edited.handling.begin(), edited.handling.end(), handling);
    if (recordFlags) std::copy(edited.recordFlags.begin(), edited.recordFlags.end(), recordFlags);
  });
  dlg.exec();
}

template <class Entry>
Entry AlarmPartPage<Entry>::FromBlock(const ChannelParamBlock& block) {
  Entry e;
  e.channel = block.channel;
  std::copy_n(block.picture.data() + at_, e.bytes.size(), e.bytes.begin());
  return e;
}

template <class Entry>
void AlarmPartPage<Entry>::ToBlock(const Entry& entry, ChannelParamBlock& block) {
  std::copy(entry.bytes.begin(), entry.bytes.end(), block.picture.data() + at_);
  block.picture.changed = true;
}

template class AlarmPartPage<MotionEntry>;
template class AlarmPartPage<VideoLossEntry>;
template class AlarmPartPage<TamperEntry>;

// ---- Motion detection ----

CDlgMotionCfg::CDlgMotionCfg(QWidget* parent) : AlarmPartPage(parent, QX_PIC_OFF_MOTION) {
  enable_ = Named(new QCheckBox(LoadLangString(4110), this), 4055);
  layout_->addWidget(enable_);
  area_ = SettingGroup(4059, 4111, 4060, 4112, 4019);
  arming_ = SettingGroup(4061, 4113, 4062, 4114, 4057);
  linkage_ = SettingGroup(4063, 4115, 4064, 4116, 4058);
  layout_->addStretch(1);
  connect(enable_, &QCheckBox::clicked, this, [this] { EnableRule(); });
  connect(area_, &QPushButton::clicked, this, [this] { OnArea(); });
  connect(arming_, &QPushButton::clicked, this, [this] {
    OpenArming(AlarmSourceKind::Motion, onShow_.bytes.data() + kMotionScheduleAt);
  });
  connect(linkage_, &QPushButton::clicked, this, [this] {
    OpenLinkage(AlarmSourceKind::Motion, onShow_.bytes.data() + kMotionHandlingAt,
                onShow_.bytes.data() + kMotionRecordFlagsAt);
  });
}



void CDlgMotionCfg::ShowEntry() {
  enable_->setChecked(onShow_.bytes[kMotionEnableAt] != 0);
  EnableRule();
}

void CDlgMotionCfg::ReadEntry() {
  onShow_.bytes[kMotionEnableAt] =
      StoredFlag(onShow_.bytes[kMotionEnableAt], enable_->isChecked());
}

void CDlgMotionCfg::EnableRule() {
  const bool on = enable_->isChecked();
  for (QPushButton* b : {area_, arming_, linkage_}) b->setEnabled(on);
}

void CDlgMotionCfg::OnArea() {
  CDlgMotionArea editor(this, &onShow_);
  const bool ok = editor.exec() == QDialog::Accepted;
  MotionEntry* working = WorkingOf(onShow_.channel);
  if (!working) return;
  // The editor drew into the entry on show: OK keeps the grid and the sensitivity, Cancel
  // takes them back from the working list.
  auto from = ok ? onShow_.bytes.begin() : working->bytes.begin();
  auto to = ok ? working->bytes.begin() : onShow_.bytes.begin();
  std::copy_n(from, kMotionSensitivityAt + 1, to);
}

// ---- Video loss ----

CDlgVideoLost::CDlgVideoLost(QWidget* parent) : AlarmPartPage(parent, QX_PIC_OFF_VIDEO_LOSS) {
  enable_ = Named(new QCheckBox(LoadLangString(4131), this), 4066);
  layout_->addWidget(enable_);
  arming_ = SettingGroup(4061, 4113, 4062, 4114, 4057);
  linkage_ = SettingGroup(4063, 4115, 4069, 4132, 4068);
  layout_->addStretch(1);
  connect(enable_, &QCheckBox::clicked, this, [this] { EnableRule(); });
  connect(arming_, &QPushButton::clicked, this, [this] {
    OpenArming(AlarmSourceKind::VideoLoss, onShow_.bytes.data() + kLossScheduleAt);
  });
  connect(linkage_, &QPushButton::clicked, this, [this] {
    OpenLinkage(AlarmSourceKind::VideoLoss, onShow_.bytes.data() + kLossHandlingAt, nullptr);
  });
}



void CDlgVideoLost::ShowEntry() {
  enable_->setChecked(onShow_.bytes[kLossEnableAt] != 0);
  EnableRule();
}

void CDlgVideoLost::ReadEntry() {
  onShow_.bytes[kLossEnableAt] =
      StoredFlag(onShow_.bytes[kLossEnableAt], enable_->isChecked());
}

void CDlgVideoLost::EnableRule() {
  const bool on = enable_->isChecked();
  arming_->setEnabled(on);
  linkage_->setEnabled(on);
}

// ---- Tamper ----

CDlgAlarmMask::CDlgAlarmMask(QWidget* parent) : AlarmPartPage(parent, QX_PIC_OFF_TAMPER) {
  auto* group = Named(new QGroupBox(LoadLangString(4133), this), 4059);
  auto* row = new QHBoxLayout(group);
  auto* scale = new SensitivityScale(group, 4351, {{4290, 4025}, {4294, 4122}, {4291, 4123}, {4292, 4124}},
                                     240);
  slider_ = scale->Slider();
  row->addWidget(scale);
  row->addStretch(1);
  layout_->addWidget(group);
  QPushButton* arming = SettingGroup(4061, 4113, 4075, 4114, 4057);
  QPushButton* linkage = SettingGroup(4063, 4115, 4069, 4116, 4073);
  layout_->addStretch(1);
  connect(arming, &QPushButton::clicked, this, [this] {
    OpenArming(AlarmSourceKind::Tamper, onShow_.bytes.data() + kTamperScheduleAt);
  });
  connect(linkage, &QPushButton::clicked, this, [this] {
    OpenLinkage(AlarmSourceKind::Tamper, onShow_.bytes.data() + kTamperHandlingAt, nullptr);
  });
}



void CDlgAlarmMask::ShowEntry() {
  slider_->setValue(static_cast<int>(std::min<uint32_t>(plat::getLe32(onShow_.bytes.data()), 3)));
}

void CDlgAlarmMask::ReadEntry() {
  // A stored value the slider cannot show stays until the slider is moved.
  const uint32_t stored = plat::getLe32(onShow_.bytes.data() + kTamperSensitivityAt);
  if (static_cast<int>(std::min<uint32_t>(stored, 3)) != slider_->value())
    plat::putLe32(onShow_.bytes.data() + kTamperSensitivityAt, static_cast<uint32_t>(slider_->value()));
}

// ---- Privacy mask ----

CDlgVideoMask::CDlgVideoMask(QWidget* parent) : ChannelEntryPage(parent) {
  auto* layout = new QVBoxLayout(this);
  channelList_ = ChannelRow(this, layout, 4399, 4398);
  enable_ = Named(new QCheckBox(LoadLangString(4134), this), 4479);
  layout->addWidget(enable_);
  auto* group = Named(new QGroupBox(LoadLangString(4111), this), 4079);
  auto* row = new QHBoxLayout(group);
  QLabel* note = MakeLabel(group, 4482, LoadLangString(4135));
  note->setWordWrap(true);
  row->addWidget(note, 1);
  area_ = Named(new QPushButton(LoadLangString(4049), group), 4019);
  row->addWidget(area_);
  layout->addWidget(group);
  layout->addStretch(1);
  connect(channelList_, &QComboBox::currentIndexChanged, this, [this](int i) { OnChannelChange(i); });
  connect(enable_, &QCheckBox::clicked, this, [this] { EnableRule(); });
  connect(area_, &QPushButton::clicked, this, [this] { OnArea(); });
}

void CDlgVideoMask::Load(PageContext& context) {
  LoadEntries(*context.records, channelList_, context.records->ChannelCount());
}

PrivacyMaskEntry CDlgVideoMask::FromBlock(const ChannelParamBlock& block) {
  PrivacyMaskEntry e;
  e.channel = block.channel;
  const uint8_t* p = block.picture.data();
  e.enable = plat::getLeS32(p + QX_PIC_OFF_MASK_ENABLE);
  for (size_t i = 0; i < 4; ++i) {
    const uint8_t* r = p + QX_PIC_OFF_MASK_RECTS + i * 8;
    e.rects[i] = {plat::getLe16(r), plat::getLe16(r + 2), plat::getLe16(r + 4), plat::getLe16(r + 6)};
  }
  return e;
}

void CDlgVideoMask::ToBlock(const PrivacyMaskEntry& entry, ChannelParamBlock& block) {
  uint8_t* p = block.picture.data();
  plat::putLe32(p + QX_PIC_OFF_MASK_ENABLE, static_cast<uint32_t>(entry.enable));
  for (size_t i = 0; i < 4; ++i) {
    uint8_t* r = p + QX_PIC_OFF_MASK_RECTS + i * 8;
    const MaskRect& m = entry.rects[i];
    plat::putLe16(r, m.x);
    plat::putLe16(r + 2, m.y);
    plat::putLe16(r + 4, m.width);
    plat::putLe16(r + 6, m.height);
  }
  block.picture.changed = true;
}

void CDlgVideoMask::ShowEntry() {
  enable_->setChecked(onShow_.enable != 0);
  EnableRule();
}

void CDlgVideoMask::ReadEntry() {
  onShow_.enable = StoredFlag(onShow_.enable, enable_->isChecked());
}

void CDlgVideoMask::EnableRule() { area_->setEnabled(enable_->isChecked()); }

void CDlgVideoMask::OnArea() {
  CDlgMotionArea editor(this, &onShow_);
  editor.exec();
}

PELLMORE_REGISTER_PAGE(CDlgMotionCfg, 0x20)
PELLMORE_REGISTER_PAGE(CDlgVideoLost, 0x40)
PELLMORE_REGISTER_PAGE(CDlgAlarmMask, 0x80)
PELLMORE_REGISTER_PAGE(CDlgVideoMask, 0x100)

}  // namespace pellmore
