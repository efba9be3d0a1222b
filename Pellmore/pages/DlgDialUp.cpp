#include "DlgDialUp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>

#include "Session.h"
#include "plat/bytes.h"

namespace pellmore {

namespace {

constexpr size_t kPasswordSize = 16;
constexpr size_t kUserSize = 32;  // the user name field of the PPPoE part and the DDNS record
// PPPoE part.
constexpr size_t kPppEnabled = 0, kPppUser = 4, kPppUserSize = kUserSize, kPppPassword = 36,
                 kPppAddress = 52;
// DDNS record. The domain runs from 52 to the next field of the device's layout, 32 bytes
// with its terminator.
constexpr size_t kDdnsEnabled = 0, kDdnsProvider = 1, kDdnsUser = 4, kDdnsUserSize = kUserSize,
                 kDdnsPassword = 36, kDdnsDomain = 52, kDdnsDomainSize = 32;
// NTP record.
constexpr size_t kNtpServer = 0, kNtpServerSize = 64, kNtpEnabled = 66, kNtpPort = 70;

void AddRow(QWidget* page, QGridLayout* g, int& row, int labelId, uint32_t textId, QWidget* f) {
  g->addWidget(MakeLabel(page, labelId, LoadLangString(textId)), row, 0);
  g->addWidget(f, row++, 1);
}

}  // namespace

// ---- Switch and credentials ----

QGridLayout* SwitchedForm::StartForm(QWidget* page, int id, uint32_t textId, int& row) {
  auto* g = new QGridLayout(page);
  FormColumns(g);
  enable_ = Named(new QCheckBox(LoadLangString(textId), page), id);
  g->addWidget(enable_, row++, 0, 1, 2);
  QObject::connect(enable_, &QCheckBox::clicked, page, [this] { EnableRule(); });
  return g;
}

void SwitchedForm::EnableRule() const {
  const bool on = enable_->isChecked();
  for (QWidget* c : switched_) c->setEnabled(on);
}

void CredentialsPage::AddCredentialRows(QWidget* page, QGridLayout* g, int& row, int passwordLabelId,
                                        std::function<bool()> read) {
  user_ = Named(new LimitedEdit(page, 15), 4096);
  password_ = Named(new LimitedEdit(page, 16), 4097);
  confirm_ = Named(new LimitedEdit(page, 16), 4098);
  user_->SetFieldBytes(kUserSize - 1);  // stored terminated
  password_->SetFieldBytes(kPasswordSize);  // may fill its field
  confirm_->SetFieldBytes(kPasswordSize);
  password_->setEchoMode(QLineEdit::Password);
  confirm_->setEchoMode(QLineEdit::Password);
  AddRow(page, g, row, 4099, 4145, user_);
  AddRow(page, g, row, passwordLabelId, 4146, password_);
  AddRow(page, g, row, 4101, 4147, confirm_);
  QObject::connect(confirm_, &LimitedEdit::FocusLeft, page, [page, read = std::move(read)] {
    if (!read()) ShowMessage(page, LoadLangString(4199));
  });
}

void CredentialsPage::ShowCredentials(const uint8_t* user, size_t userSize,
                                      const uint8_t* password) {
  user_->setText(FieldToText(user, userSize));
  const QString p = FieldToText(password, kPasswordSize);
  password_->setText(p);
  confirm_->setText(p);
}

bool CredentialsPage::CredentialsAgree(const uint8_t* password) const {
  // Both start from the stored password, so an untouched one (even one that is no GBK text)
  // agrees with its untouched confirmation.
  std::array<uint8_t, kPasswordSize> stored{}, confirmed{};
  std::copy_n(password, kPasswordSize, stored.begin());
  confirmed = stored;
  EditedTextToField(password_->text(), stored.data(), kPasswordSize, false);
  EditedTextToField(confirm_->text(), confirmed.data(), kPasswordSize, false);
  return stored == confirmed;
}

bool CredentialsPage::ReadCredentials(uint8_t* user, size_t userSize, uint8_t* password) const {
  EditedTextToField(user_->text().left(128), user, userSize);
  const bool agree = CredentialsAgree(password);
  EditedTextToField(password_->text(), password, kPasswordSize, false);
  return agree;
}

// ---- PPPoE ----

CDlgPPOECfg::CDlgPPOECfg(QWidget* parent) : SnapshotPage(parent) {
  int row = 0;
  QGridLayout* g = StartForm(this, 4094, 4143, row);
  address_ = Named(new AddressEdit(this), 4080);
  address_->setEnabled(false);
  AddRow(this, g, row, 4087, 4144, address_);
  AddCredentialRows(this, g, row, 4100, [this] { return ReadControls(); });
  g->setRowStretch(row, 1);
  switched_ = {user_, password_, confirm_};
}

void CDlgPPOECfg::Load(PageContext& context) {
  LoadBytes(context.records->network.data() + kPppoeAt);
  ShowParams();
}

void CDlgPPOECfg::ShowParams() {
  const uint8_t* w = working_.data();
  enable_->setChecked(plat::getLe32(w + kPppEnabled) != 0);
  address_->setText(FieldToText(w + kPppAddress, 16));
  ShowCredentials(w + kPppUser, kPppUserSize, w + kPppPassword);
  EnableRule();
}

bool CDlgPPOECfg::ReadControls() {
  uint8_t* w = working_.data();
  const QString address = address_->Address().left(64);
  // The control is never enabled: the address normally goes back as the device sent it.
  if (address != FieldToText(w + kPppAddress, 16)) {
    if (address == QStringLiteral("0.0.0.0"))
      std::memset(w + kPppAddress, 0, 16);
    else
      TextToField(address, w + kPppAddress, 16);
  }
  plat::putLe32(w + kPppEnabled, StoredFlag(plat::getLe32(w + kPppEnabled), enable_->isChecked()));
  if (!ReadCredentials(w + kPppUser, kPppUserSize, w + kPppPassword)) return false;
  if (enable_->isChecked() && w[kPppUser] == 0) {
    ShowMessage(this, LoadLangString(4209));
    TextToField(QStringLiteral("admin"), w + kPppUser, kPppUserSize);
  }
  return true;
}

bool CDlgPPOECfg::CollectChanges(ConfigRecords& records) {
  // The edits stay in the controls and are saved once the passwords agree.
  if (!Collected(ReadControls())) return false;
  return CommitTo(records.network.data() + kPppoeAt);
}

// ---- DDNS ----

CDlgDDNSCfg::CDlgDDNSCfg(QWidget* parent) : SnapshotPage(parent) {
  int row = 0;
  QGridLayout* g = StartForm(this, 4102, 4148, row);
  provider_ = Named(new QComboBox(this), 4103);
  provider_->addItem(QStringLiteral("qxddns.net"));  // index 0: the device's own service
  provider_->addItem(QStringLiteral("Dyndns"));
  provider_->setCurrentIndex(0);
  AddRow(this, g, row, 4108, 4149, provider_);
  AddCredentialRows(this, g, row, 4109, [this] { return ReadControls(); });
  domain_ = Named(new LimitedEdit(this, static_cast<int>(kDdnsDomainSize - 1)), 4107);
  domain_->SetFieldBytes(kDdnsDomainSize - 1);
  AddRow(this, g, row, 4110, 4150, domain_);
  g->setRowStretch(row, 1);
  switched_ = {provider_, user_, password_, confirm_, domain_};
}

void CDlgDDNSCfg::Load(PageContext& context) {
  LoadBytes(context.records->ddns.data());
  ShowParams();
}

void CDlgDDNSCfg::ShowParams() {
  const uint8_t* w = working_.data();
  enable_->setChecked(w[kDdnsEnabled] != 0);
  provider_->setCurrentIndex(w[kDdnsProvider] < provider_->count() ? w[kDdnsProvider] : -1);
  ShowCredentials(w + kDdnsUser, kDdnsUserSize, w + kDdnsPassword);
  domain_->setText(FieldToText(w + kDdnsDomain, kDdnsDomainSize));
  EnableRule();
}

bool CDlgDDNSCfg::ReadControls() {
  uint8_t* w = working_.data();
  w[kDdnsEnabled] = StoredFlag(w[kDdnsEnabled], enable_->isChecked());
  // No selection keeps the provider the device sent.
  if (CurSel(provider_) >= 0) w[kDdnsProvider] = static_cast<uint8_t>(CurSel(provider_));
  if (!ReadCredentials(w + kDdnsUser, kDdnsUserSize, w + kDdnsPassword)) return false;
  EditedTextToField(domain_->text().left(128), w + kDdnsDomain, kDdnsDomainSize);
  if (w[kDdnsEnabled] && w[kDdnsDomain] == 0) {
    w[kDdnsEnabled] = 0;
    ShowMessage(this, LoadLangString(4201), QStringLiteral("DDNS"));
    enable_->setChecked(false);
    EnableRule();
  }
  return true;
}

bool CDlgDDNSCfg::CollectChanges(ConfigRecords& records) {
  if (!Collected(ReadControls())) return false;
  return CommitTo(records.ddns.data());
}

// ---- NTP ----

CDlgNtpCfg::CDlgNtpCfg(QWidget* parent) : SnapshotPage(parent) {
  int row = 0;
  QGridLayout* g = StartForm(this, 4111, 4151, row);
  server_ = Named(new LimitedEdit(this, 32), 4112);
  server_->SetFieldBytes(kNtpServerSize - 1);
  port_ = Named(new LimitedEdit(this, 0, true), 4113);
  AddRow(this, g, row, 4115, 4152, server_);
  AddRow(this, g, row, 4114, 4153, port_);
  g->setRowStretch(row, 1);
  switched_ = {server_, port_};
  connect(port_, &QLineEdit::textChanged, this, [this] { ClampPortText(port_); });
}

void CDlgNtpCfg::Load(PageContext& context) {
  LoadBytes(context.records->ntp.data());
  ShowParams();
}

void CDlgNtpCfg::ShowParams() {
  const uint8_t* w = working_.data();
  enable_->setChecked(w[kNtpEnabled] != 0);
  server_->setText(FieldToText(w + kNtpServer, kNtpServerSize));
  port_->setText(QString::number(plat::getLe16(w + kNtpPort)));
  EnableRule();
}

bool CDlgNtpCfg::ReadControls() {
  uint8_t* w = working_.data();
  w[kNtpEnabled] = StoredFlag(w[kNtpEnabled], enable_->isChecked());
  EditedTextToField(server_->text().left(256), w + kNtpServer, kNtpServerSize);
  plat::putLe16(w + kNtpPort, static_cast<uint16_t>(EditNumber(port_)));
  if (w[kNtpEnabled] && w[kNtpServer] == 0) {
    ShowMessage(this, LoadLangString(4203), QStringLiteral("NTP"));
    w[kNtpEnabled] = 0;
    enable_->setChecked(false);
    EnableRule();
    return false;
  }
  if (w[kNtpEnabled] && plat::getLe16(w + kNtpPort) == 0) {
    ShowMessage(this, LoadLangString(4207), QStringLiteral("NTP"));
    plat::putLe16(w + kNtpPort, 123);
    port_->setText(QStringLiteral("123"));
  }
  return true;
}

bool CDlgNtpCfg::CollectChanges(ConfigRecords& records) {
  ReadControls();  // an NTP switched off for lack of a server is saved switched off
  return CommitTo(records.ntp.data());
}

PELLMORE_REGISTER_PAGE(CDlgPPOECfg, 0x800)
PELLMORE_REGISTER_PAGE(CDlgDDNSCfg, 0x1000)
PELLMORE_REGISTER_PAGE(CDlgNtpCfg, 0x2000)

}  // namespace pellmore
