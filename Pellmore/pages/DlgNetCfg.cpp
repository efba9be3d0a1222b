#include "DlgNetCfg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "Session.h"
#include "plat/bytes.h"
#include "plat/controlid.h"

namespace pellmore {

using namespace netpage;

void ParseMac(const QString& text, uint8_t* mac) {
  const QStringList parts = text.split(QLatin1Char(':'));
  for (int i = 0; i < 6 && i < parts.size(); ++i) {
    QString digits;
    for (QChar c : parts[i]) {
      if (!isxdigit(c.toLatin1()) || c.unicode() > 0x7F || digits.size() >= 20) break;
      digits += c;
    }
    if (digits.isEmpty()) return;  // reading stops at the first number that is not one
    // Only the low byte is kept, so the last two digits decide it.
    mac[i] = static_cast<uint8_t>(digits.right(2).toUInt(nullptr, 16));
  }
}

CDlgNetCfg::CDlgNetCfg(QWidget* parent) : SnapshotPage(parent) {
  auto* g = new QGridLayout(this);
  ip_ = Named(new AddressEdit(this), 4080);
  dhcp_ = Named(new QCheckBox(LoadLangString(4137), this), 4081);
  port_ = Named(new LimitedEdit(this, 5), 4082);
  mask_ = Named(new AddressEdit(this), 4083);
  gateway_ = Named(new AddressEdit(this), 4084);
  mac_ = Named(new QLineEdit(this), 4085);
  httpPort_ = Named(new LimitedEdit(this, 5, true), 4086);
  auto* advanced = Named(new QPushButton(LoadLangString(4109), this), 4054);
  g->addWidget(MakeLabel(this, 4087, LoadLangString(4136)), 0, 0);
  g->addWidget(ip_, 0, 1);
  g->addWidget(dhcp_, 0, 2);
  const struct {
    int label;
    uint32_t text;
    QWidget* field;
  } rows[] = {{4088, 4138, port_},     {4089, 4139, mask_},    {4090, 4140, gateway_},
              {4091, 4141, mac_},      {4092, 4142, httpPort_}};
  int row = 1;
  for (const auto& r : rows) {
    g->addWidget(MakeLabel(this, r.label, LoadLangString(r.text)), row, 0);
    g->addWidget(r.field, row++, 1);
  }
  g->addWidget(advanced, row++, 1, Qt::AlignLeft);
  FormColumns(g);
  g->setRowStretch(row, 1);
  connect(dhcp_, &QCheckBox::clicked, this, [this] { EnableRule(); });
  connect(advanced, &QPushButton::clicked, this, [this] { OnAdvanced(); });
  connect(port_, &QLineEdit::textChanged, this, [this] { ClampPortText(port_); });
  connect(httpPort_, &QLineEdit::textChanged, this, [this] { ClampPortText(httpPort_); });
}

void CDlgNetCfg::Load(PageContext& context) {
  const uint8_t* r = context.records->network.data();
  for (const Part& p : kParts) std::memcpy(&working_[p.page], r + p.record, p.size);
  snapshot_ = working_;
  ShowParams();
}

void CDlgNetCfg::ShowParams() {
  const uint8_t* w = working_.data();
  ip_->setText(FieldToText(w + kIp, kIpv4Text));
  mask_->setText(FieldToText(w + kMask, kIpv4Text));
  gateway_->setText(FieldToText(w + kGateway, kIpv4Text));
  port_->setText(QString::number(plat::getLe16(w + kPort)));
  httpPort_->setText(QString::number(plat::getLe16(w + kHttpPort)));
  const uint8_t* m = w + kMac;
  mac_->setText(QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4],
                                  m[5]));
  dhcp_->setChecked(w[kDhcp] != 0);
  EnableRule();
}

void CDlgNetCfg::EnableRule() {
  const bool manual = !dhcp_->isChecked();
  for (QWidget* c : {static_cast<QWidget*>(ip_), static_cast<QWidget*>(mask_),
                     static_cast<QWidget*>(gateway_), static_cast<QWidget*>(mac_)})
    c->setEnabled(manual);
}

void CDlgNetCfg::ReadControls() {
  uint8_t* w = working_.data();
  w[kDhcp] = StoredFlag(w[kDhcp], dhcp_->isChecked());
  // The disabled controls are read as well: they still hold what the record says.
  AddressToField(ip_->Address().left(64), w + kIp);
  AddressToField(mask_->Address().left(64), w + kMask);
  AddressToField(gateway_->Address().left(64), w + kGateway);
  plat::putLe16(w + kPort, static_cast<uint16_t>(EditNumber(port_)));
  plat::putLe16(w + kHttpPort, static_cast<uint16_t>(EditNumber(httpPort_)));
  ParseMac(mac_->text(), w + kMac);
}

bool CDlgNetCfg::Validate() {
  const uint8_t* w = working_.data();
  return CheckAddress(ip_, w + kIp, LoadLangString(4136)) &&
         CheckAddress(mask_, w + kMask, LoadLangString(4139)) &&
         CheckAddress(gateway_, w + kGateway, LoadLangString(4140));
}

bool CDlgNetCfg::CollectChanges(ConfigRecords& records) {
  ReadControls();
  if (working_ == snapshot_) return false;
  snapshot_ = working_;
  uint8_t* r = records.network.data();
  for (const Part& p : kParts) std::memcpy(r + p.record, &working_[p.page], p.size);
  return true;
}

void CDlgNetCfg::OnAdvanced() {
  CDlgDNS dns(this);
  dns.Init(working_.data() + kDns1, working_.data() + kDns2, this);
  dns.exec();
}

CDlgDNS::CDlgDNS(QWidget* parent) : QDialog(parent) {
  plat::Named(this, 4030);
  setMinimumWidth(300);
  auto* l = new QVBoxLayout(this);
  auto* box = Named(new QGroupBox(this), 4195);
  auto* g = new QGridLayout(box);
  edit1_ = Named(new AddressEdit(box), 4352);
  edit2_ = Named(new AddressEdit(box), 4353);
  g->addWidget(new QLabel(QStringLiteral("DNS1:"), box), 0, 0);
  g->addWidget(edit1_, 0, 1);
  g->addWidget(new QLabel(QStringLiteral("DNS2:"), box), 1, 0);
  g->addWidget(edit2_, 1, 1);
  l->addWidget(box);
  auto* buttons = new QHBoxLayout;
  auto* ok = Named(new QPushButton(this), 4168);
  auto* cancel = Named(new QPushButton(this), 4197);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  l->addLayout(buttons);
  setWindowTitle(LoadLangString(4109));
  box->setTitle(LoadLangString(4183));
  cancel->setText(LoadLangString(4063));
  ok->setText(LoadLangString(4062));
  connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(0); });
}

void CDlgDNS::Init(const uint8_t* dns1, const uint8_t* dns2, CDlgNetCfg* page) {
  std::memcpy(dns1_.data(), dns1, kBlock);
  std::memcpy(dns2_.data(), dns2, kBlock);
  page_ = page;
  edit1_->setText(FieldToText(dns1_.data(), kIpv4Text));
  edit2_->setText(FieldToText(dns2_.data(), kIpv4Text));
}

void CDlgDNS::OnOK() {
  // A malformed address keeps the dialog open on it.
  if (!CheckAddress(edit1_, dns1_.data(), QStringLiteral("DNS1")) ||
      !CheckAddress(edit2_, dns2_.data(), QStringLiteral("DNS2")))
    return;
  AddressToField(edit1_->Address().left(32), dns1_.data());
  AddressToField(edit2_->Address().left(32), dns2_.data());
  if (page_) {
    std::memcpy(page_->WorkingBytes() + kDns1, dns1_.data(), kBlock);
    std::memcpy(page_->WorkingBytes() + kDns2, dns2_.data(), kBlock);
  }
  done(1);
}

PELLMORE_REGISTER_PAGE(CDlgNetCfg, 0x400)

}  // namespace pellmore
