#pragma once
// "RS485 Setting": per channel the serial line of the PTZ decoder (baud rate, data bits, stop
// bits, parity, flow control), its protocol and address, kept in the channel's decoder
// record. "Copy to..." copies a channel's whole decoder record, preset, cruise and track
// tables included.
#include <array>
#include <vector>

#include "Controls.h"
#include "PageRegistry.h"

class QComboBox;

namespace pellmore {

struct DecoderEntry {
  int channel = 0;
  std::array<uint8_t, kDecoderRecord.size> record{};
  bool operator==(const DecoderEntry&) const = default;
};

class CDlgRS485Cfg : public ConfigPage {
 public:
  explicit CDlgRS485Cfg(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;

  void OnChannelChange();
  void OnCopyTo();
  void ShowEntry();
  void ReadControls();
  const std::vector<DecoderEntry>& WorkingList() const { return working_; }

 private:
  void OnAddressChange();

  std::vector<DecoderEntry> snapshot_, working_;
  int onShow_ = -1;
  QComboBox* channel_;
  // Baud rate, data bits, stop bits, parity, flow control, protocol.
  std::array<QComboBox*, 6> lists_{};
  LimitedEdit* address_;
};

}  // namespace pellmore
