#include "DlgRS485Cfg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>

#include "ChannelPage.h"
#include "Records.h"
#include "Session.h"
#include "plat/bytes.h"

namespace pellmore {

namespace {

// The decoder record: baud-rate code (u32) at 4; data bits, stop bits, parity and flow
// control (a byte each) at 8 to 11; protocol (u16) at 12; address (u16) at 14.
struct Field {
  size_t at, width;
};
constexpr Field kFields[6] = {{4, 4}, {8, 1}, {9, 1}, {10, 1}, {11, 1}, {12, 2}};
constexpr size_t kAddressAt = 14;
constexpr int kMaxAddress = 255;

uint32_t GetField(const uint8_t* r, const Field& f) {
  return f.width == 4 ? plat::getLe32(r + f.at) : f.width == 2 ? plat::getLe16(r + f.at) : r[f.at];
}
void PutField(uint8_t* r, const Field& f, uint32_t v) {
  if (f.width == 4)
    plat::putLe32(r + f.at, v);
  else if (f.width == 2)
    plat::putLe16(r + f.at, static_cast<uint16_t>(v));
  else
    r[f.at] = static_cast<uint8_t>(v);
}

}  // namespace

CDlgRS485Cfg::CDlgRS485Cfg(QWidget* parent) : ConfigPage(parent) {
  auto* g = new QGridLayout(this);
  channel_ = Named(new QComboBox(this), 4010);
  g->addWidget(MakeLabel(this, 4022, LoadLangString(4042)), 0, 0);
  g->addWidget(channel_, 0, 1);
  const QString no = LoadLangString(4161);
  const struct {
    int label, list;
    uint32_t text;
    QStringList items;
  } rows[6] = {
      {4136, 4128, 4154, {"1200", "2400", "4800", "9600"}},
      {4137, 4129, 4155, {"8", "7", "6", "5"}},
      {4138, 4130, 4156, {"1", "2"}},
      {4139, 4131, 4157, {no, LoadLangString(4162), LoadLangString(4163)}},
      {4140, 4132, 4158, {no, LoadLangString(4164), LoadLangString(4165)}},
      {4141, 4133, 4159, {"TC_PELCO_D", "TC_PELCO_P"}},
  };
  int row = 1;
  for (size_t i = 0; i < 6; ++i) {
    auto* list = Named(new QComboBox(this), rows[i].list);
    list->addItems(rows[i].items);
    lists_[i] = list;
    g->addWidget(MakeLabel(this, rows[i].label, LoadLangString(rows[i].text)), row, 0);
    g->addWidget(list, row++, 1);
  }
  address_ = Named(new LimitedEdit(this, 0, true), 4143);
  g->addWidget(MakeLabel(this, 4142, LoadLangString(4160)), row, 0);
  g->addWidget(address_, row++, 1);
  auto* copy = Named(new QPushButton(LoadLangString(4050), this), 4021);
  g->addWidget(copy, row++, 1, Qt::AlignLeft);
  FormColumns(g);
  g->setRowStretch(row, 1);
  connect(channel_, &QComboBox::currentIndexChanged, this, [this] { OnChannelChange(); });
  connect(address_, &QLineEdit::textChanged, this, [this] { OnAddressChange(); });
  connect(copy, &QPushButton::clicked, this, [this] { OnCopyTo(); });
}

void CDlgRS485Cfg::Load(PageContext& context) {
  working_.clear();
  for (const ChannelParamBlock& b : context.records->channels) {
    DecoderEntry e;
    e.channel = b.channel;
    e.record = b.decoder.bytes;
    working_.push_back(e);
  }
  snapshot_ = working_;
  onShow_ = -1;
  FillNumberedList(channel_, 4051, static_cast<int>(working_.size()));
  OnChannelChange();
}

void CDlgRS485Cfg::OnChannelChange() {
  const int selected = channel_->currentIndex();
  if (selected == onShow_) return;
  ReadControls();
  onShow_ = selected;
  ShowEntry();
}

void CDlgRS485Cfg::ShowEntry() {
  if (onShow_ < 0) return;
  const uint8_t* r = working_[static_cast<size_t>(onShow_)].record.data();
  for (size_t i = 0; i < 6; ++i) {
    const uint32_t code = GetField(r, kFields[i]);
    // A code beyond the list shows no selection.
    lists_[i]->setCurrentIndex(code < static_cast<uint32_t>(lists_[i]->count())
                                   ? static_cast<int>(code) : -1);
  }
  address_->setText(QString::number(plat::getLe16(r + kAddressAt)));
}

void CDlgRS485Cfg::ReadControls() {
  if (onShow_ < 0) return;
  uint8_t* r = working_[static_cast<size_t>(onShow_)].record.data();
  for (size_t i = 0; i < 6; ++i) {
    // No selection (a code the list does not know) keeps the device's code.
    const int pos = lists_[i]->currentIndex();
    if (pos >= 0) PutField(r, kFields[i], static_cast<uint32_t>(pos));
  }
  plat::putLe16(r + kAddressAt, static_cast<uint16_t>(EditNumber(address_)));
}

void CDlgRS485Cfg::OnAddressChange() {
  if (EditNumber(address_) > kMaxAddress) address_->setText(QString::number(kMaxAddress));
}

void CDlgRS485Cfg::OnCopyTo() {
  if (onShow_ < 0) return;
  ReadControls();
  RunCopyTo(this, working_, onShow_);
}

bool CDlgRS485Cfg::CollectChanges(ConfigRecords& records) {
  ReadControls();
  CommitChannels(snapshot_, working_, records, [](const DecoderEntry& e, ChannelParamBlock& b) {
    b.decoder.bytes = e.record;
    b.decoder.changed = true;
  });
  return false;
}

PELLMORE_REGISTER_PAGE(CDlgRS485Cfg, 0x4000)

}  // namespace pellmore
