#pragma once
// "PPPoE Setting", "DDNS Setting" and "NTP Setting": each edits one record (or, for PPPoE,
// the PPPoE part of the network record) through a snapshot and a working copy.
#include "Controls.h"
#include "SnapshotPage.h"

class QCheckBox;
class QComboBox;
class QGridLayout;

namespace pellmore {

// The two pages with a user name, a password and its confirmation share how they read them.
class CredentialsPage {
 protected:
  // User name (terminated, `userSize` bytes) and password (16 bytes, may fill the field);
  // false when the confirmation differs from the password.
  bool ReadCredentials(uint8_t* user, size_t userSize, uint8_t* password) const;
  void ShowCredentials(const uint8_t* user, size_t userSize, const uint8_t* password);
  void AddCredentialRows(QWidget* page, QGridLayout* g, int& row, int passwordLabelId);
  LimitedEdit *user_ = nullptr, *password_ = nullptr, *confirm_ = nullptr;
};

class CDlgPPOECfg : public SnapshotPage<kPppoeSize>, CredentialsPage {
 public:
  explicit CDlgPPOECfg(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;
  void ShowParams();
  bool ReadControls();

 private:
  void EnableRule();
  QCheckBox* enable_;
  AddressEdit* address_;
};

class CDlgDDNSCfg : public SnapshotPage<kDdnsRecord.size>, CredentialsPage {
 public:
  explicit CDlgDDNSCfg(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;
  void ShowParams();
  bool ReadControls();

 private:
  void EnableRule();
  QCheckBox* enable_;
  QComboBox* provider_;
  LimitedEdit* domain_;
};

class CDlgNtpCfg : public SnapshotPage<kNtpRecord.size> {
 public:
  explicit CDlgNtpCfg(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;
  void ShowParams();
  bool ReadControls();

 private:
  void EnableRule();
  QCheckBox* enable_;
  LimitedEdit *server_, *port_;
};

}  // namespace pellmore
