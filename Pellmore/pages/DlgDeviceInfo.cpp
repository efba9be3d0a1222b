#include "DlgDeviceInfo.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QGridLayout>
#include <algorithm>

#include "Session.h"
#include "plat/bytes.h"

namespace pellmore {

DeviceInfoParams DeviceInfoParams::FromRecord(const uint8_t* r) {
  DeviceInfoParams p;
  std::copy(r + 4, r + 36, p.name.begin());
  p.number = plat::getLe32(r + 36);
  p.loopRecording = plat::getLe32(r + 40);
  p.type = r[123];
  p.channels = r[kChannelCountAt];
  p.disks = r[122];
  p.alarmIns = r[kAlarmInCountAt];
  p.alarmOuts = r[kAlarmOutCountAt];
  std::copy(r + 44, r + 92, p.serial.begin());
  return p;
}

void DeviceInfoParams::ToRecord(uint8_t* r) const {
  r[kAlarmInCountAt] = alarmIns;
  r[kAlarmOutCountAt] = alarmOuts;
  r[kChannelCountAt] = channels;
  r[123] = type;
  r[122] = disks;
  plat::putLe32(r + 36, number);
  plat::putLe32(r + 40, loopRecording);
  std::copy(name.begin(), name.end(), r + 4);
  std::copy(serial.begin(), serial.end(), r + 44);
}

CDlgDeviceInfo::CDlgDeviceInfo(QWidget* parent) : ConfigPage(parent) {
  auto* g = new QGridLayout(this);
  auto readOnly = [this](int id, bool disabled = false) {
    auto* e = Named(new QLineEdit(this), id);
    e->setReadOnly(true);
    e->setEnabled(!disabled);
    return e;
  };
  name_ = Named(new LimitedEdit(this, 16), 1410);
  name_->SetFieldBytes(working_.name.size());  // may fill its field
  number_ = Named(new LimitedEdit(this, 3, true), 1412);
  loop_ = Named(new QComboBox(this), 1414);
  loop_->addItem(LoadLangString(4037));
  loop_->addItem(LoadLangString(4038));
  type_ = readOnly(1416);
  channels_ = readOnly(1418);
  disks_ = readOnly(1420, true);
  alarmIns_ = readOnly(1422);
  alarmOuts_ = readOnly(1424);
  serial_ = readOnly(1426);
  const struct {
    int labelId;
    uint32_t textId;
    QWidget* field;
  } rows[] = {{1409, 4026, name_},     {1411, 4027, number_},   {1413, 4028, loop_},
              {1415, 4029, type_},     {1417, 4030, channels_}, {1419, 4031, disks_},
              {1421, 4032, alarmIns_}, {1423, 4033, alarmOuts_}, {1425, 4034, serial_}};
  int row = 0;
  for (const auto& r : rows) {
    g->addWidget(MakeLabel(this, r.labelId, LoadLangString(r.textId)), row, 0);
    g->addWidget(r.field, row++, 1);
  }
  FormColumns(g);
  g->setRowStretch(row, 1);
  connect(number_, &QLineEdit::textChanged, this, [this] { OnDeviceNoChange(); });
}

void CDlgDeviceInfo::Load(PageContext& context) {
  snapshot_ = DeviceInfoParams::FromRecord(context.records->device.data());
  working_ = snapshot_;
  ShowParams();
}

void CDlgDeviceInfo::ShowParams() {
  const DeviceInfoParams& p = snapshot_;
  name_->setText(FieldToText(p.name.data(), p.name.size()));
  {
    // The device's own number is shown as it is; only what is typed is held to 255.
    const QSignalBlocker quiet(number_);
    number_->setText(QString::number(p.number));
  }
  SelectString(loop_, LoadLangString(p.loopRecording == 0 ? 4038 : 4037));
  type_->setText(p.type == 1 ? QStringLiteral("DVR") : QString());
  channels_->setText(QString::number(p.channels));
  disks_->setText(QString::number(p.disks));
  alarmIns_->setText(QString::number(p.alarmIns));
  alarmOuts_->setText(QString::number(p.alarmOuts));
  serial_->setText(FieldToText(p.serial.data(), p.serial.size()));
}

void CDlgDeviceInfo::OnDeviceNoChange() {
  const int v = EditNumber(number_);
  if (v > 255)
    number_->setText(QStringLiteral("255"));
  else if (v < 0)
    number_->setText(QStringLiteral("0"));
}

void CDlgDeviceInfo::ReadControls() {
  working_ = snapshot_;
  // The name may fill its 32 bytes without a terminator, as the device keeps it.
  EditedTextToField(name_->text(), working_.name.data(), working_.name.size(), false);
  if (number_->text() != QString::number(snapshot_.number))
    working_.number = static_cast<uint32_t>(EditNumber(number_));
  working_.loopRecording =
      StoredFlag(snapshot_.loopRecording, loop_->currentText() == LoadLangString(4037));
}

bool CDlgDeviceInfo::CollectChanges(ConfigRecords& records) {
  ReadControls();
  if (working_ == snapshot_) return false;
  snapshot_ = working_;
  snapshot_.ToRecord(records.device.data());
  return true;
}

PELLMORE_REGISTER_PAGE(CDlgDeviceInfo, 0x1)

}  // namespace pellmore
