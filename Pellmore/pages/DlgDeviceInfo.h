#pragma once
// "Device Information": name, number and loop recording of the device-parameters record,
// and its read-only counts, type and serial number.
#include <array>
#include <cstdint>

#include "Controls.h"
#include "PageRegistry.h"

class QComboBox;

namespace pellmore {

// The part of the device-parameters record the page keeps.
struct DeviceInfoParams {
  std::array<uint8_t, 32> name{};
  uint32_t number = 0;
  uint32_t loopRecording = 0;
  uint8_t type = 0, channels = 0, disks = 0, alarmIns = 0, alarmOuts = 0;
  std::array<uint8_t, 48> serial{};
  bool operator==(const DeviceInfoParams&) const = default;

  static DeviceInfoParams FromRecord(const uint8_t* record);
  void ToRecord(uint8_t* record) const;
};

class CDlgDeviceInfo : public ConfigPage {
 public:
  explicit CDlgDeviceInfo(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;

  void ShowParams();
  void ReadControls();
  const DeviceInfoParams& Snapshot() const { return snapshot_; }

 private:
  void OnDeviceNoChange();

  DeviceInfoParams snapshot_, working_;
  LimitedEdit* name_;
  LimitedEdit* number_;
  QComboBox* loop_;
  QLineEdit *type_, *channels_, *disks_, *alarmIns_, *alarmOuts_, *serial_;
};

}  // namespace pellmore
