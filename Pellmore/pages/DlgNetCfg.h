#pragma once
// "Network Setting": the first adapter (address, mask, port, MAC), the gateway, the HTTP
// port and the automatic-address flag of the network record; "Advanced" edits the two DNS
// servers in CDlgDNS.
#include <QDialog>

#include "Controls.h"
#include "SnapshotPage.h"

class QCheckBox;

namespace pellmore {

// The page's own record: the parts of the network record it owns, without gaps.
namespace netpage {
constexpr size_t kSize = 1044;
constexpr size_t kAdapters = 0, kIp = 0, kMask = 144, kPort = 292, kMac = 296, kGateway = 608,
                 kHttpPort = 752, kDhcp = 754, kDns1 = 755, kDns2 = 899;
constexpr size_t kBlock = 144;   // an address block: IPv4 text in 16 bytes, then IPv6
constexpr size_t kIpv4Text = 16;
// (page offset, record offset, bytes) of each part.
struct Part {
  size_t page, record, size;
};
constexpr Part kParts[] = {{0, 4, 608},     {608, 1552, 144}, {752, 1406, 2},
                           {754, 1050, 1},  {755, 1052, 144}, {899, 1196, 144}};
}  // namespace netpage

// Reads "xx:xx:xx:xx:xx:xx" (hexadecimal, either case) into six bytes; bytes whose number
// cannot be read keep their value.
void ParseMac(const QString& text, uint8_t* mac);

class CDlgNetCfg : public SnapshotPage<netpage::kSize> {
 public:
  explicit CDlgNetCfg(QWidget* parent);
  void Load(PageContext& context) override;
  // The address, mask and gateway the user changed are dotted IPv4 addresses.
  bool Validate() override;
  bool CollectChanges(ConfigRecords& records) override;
  void ShowParams();
  void ReadControls();
  void OnAdvanced();
  uint8_t* WorkingBytes() { return working_.data(); }

 private:
  void EnableRule();

  AddressEdit *ip_, *mask_, *gateway_;
  QCheckBox* dhcp_;
  LimitedEdit *port_, *httpPort_;
  QLineEdit* mac_;
};

class CDlgDNS : public QDialog {
 public:
  explicit CDlgDNS(QWidget* parent);
  void Init(const uint8_t* dns1, const uint8_t* dns2, CDlgNetCfg* page);
  void OnOK();

 private:
  std::array<uint8_t, netpage::kBlock> dns1_{}, dns2_{};
  CDlgNetCfg* page_ = nullptr;
  AddressEdit *edit1_, *edit2_;
};

}  // namespace pellmore
