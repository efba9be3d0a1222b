#pragma once
// "PPPoE Setting", "DDNS Setting" and "NTP Setting": each edits one record (or, for PPPoE,
// the PPPoE part of the network record) through a snapshot and a working copy.
#include <functional>
#include <vector>

#include "Controls.h"
#include "SnapshotPage.h"

class QCheckBox;
class QComboBox;
class QGridLayout;

namespace pellmore {

// The three pages open with a switch that enables the fields in `switched_`.
class SwitchedForm {
 protected:
  // The page's grid with the switch (control `id`, text `textId`) across its first row.
  QGridLayout* StartForm(QWidget* page, int id, uint32_t textId, int& row);
  void EnableRule() const;
  QCheckBox* enable_ = nullptr;
  std::vector<QWidget*> switched_;
};

// The two pages with a user name, a password and its confirmation share how they read them.
class CredentialsPage : protected SwitchedForm {
 protected:
  // User name (terminated, `userSize` bytes) and password (16 bytes, may fill the field);
  // false when the confirmation differs from the password.
  bool ReadCredentials(uint8_t* user, size_t userSize, uint8_t* password) const;
  // Whether the confirmation matches the password as it would be stored over `password`.
  bool CredentialsAgree(const uint8_t* password) const;
  void ShowCredentials(const uint8_t* user, size_t userSize, const uint8_t* password);
  // Leaving the confirmation runs `read` (the page's ReadControls): a mismatch is told at once.
  void AddCredentialRows(QWidget* page, QGridLayout* g, int& row, int passwordLabelId,
                         std::function<bool()> read);
  // Save: the page's ReadControls result. A confirmation that differs keeps the page's edits
  // out of this Save (nothing compared, nothing written) and the Save's summary names it.
  bool Collected(bool read) {
    heldBack_ = !read;
    return read;
  }
  LimitedEdit *user_ = nullptr, *password_ = nullptr, *confirm_ = nullptr;
  bool heldBack_ = false;
};

class CDlgPPOECfg : public SnapshotPage<kPppoeSize>, CredentialsPage {
 public:
  explicit CDlgPPOECfg(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;
  bool HeldBack() const override { return heldBack_; }
  void ShowParams();
  bool ReadControls();

 private:
  AddressEdit* address_;
};

class CDlgDDNSCfg : public SnapshotPage<kDdnsRecord.size>, CredentialsPage {
 public:
  explicit CDlgDDNSCfg(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;
  bool HeldBack() const override { return heldBack_; }
  void ShowParams();
  bool ReadControls();

 private:
  QComboBox* provider_;
  LimitedEdit* domain_;
};

class CDlgNtpCfg : public SnapshotPage<kNtpRecord.size>, SwitchedForm {
 public:
  explicit CDlgNtpCfg(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;
  void ShowParams();
  bool ReadControls();

 private:
  LimitedEdit *server_, *port_;
};

}  // namespace pellmore
