#include "DlgVideoCfg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "plat/bytes.h"
#include "plat/text.h"

namespace pellmore {

namespace {

const char* const kBitrates[25] = {"",      "16K",   "32K",   "48K",   "64K",   "80K",  "96K",
                                   "128K",  "160K",  "192K",  "224K",  "256K",  "320K", "384K",
                                   "448K",  "512K",  "640K",  "768K",  "896K",  "1024K", "1280K",
                                   "1536K", "1792K", "2048K", "2560K"};
const char* const kResolutions[24] = {"D1", "HD1", "2CIF", "CIF", "QCIF", "720P", "", "", "",
                                      "",   "",    "",     "",    "",     "",     "", "VGA",
                                      "UXGA", "SVGA", "XVGA", "HD900P", "", "", ""};
// Frame-rate code to its place in the frame-rate list (-1: none).
constexpr int kFramePositions[17] = {0, -1, -1, -1, -1, 12, 11, 10, 9, 8, 7, 6, 4, 2, 5, 3, 1};
const char* const kFrameRates[13] = {"25(PAL)/30(NTSC)", "22", "20", "18", "16", "15", "12",
                                     "10", "8", "6", "4", "2", "1"};

// What a profile and stream offer: resolutions, bit rates before "Custom", the items
// selected by the refill and the frame-rate position (-1: left as it is).
struct StreamLists {
  std::vector<const char*> resolutions, bitrates;
  const char* resolution = nullptr;
  const char* bitrate = nullptr;
  int framePosition = -1;
};

StreamLists ListsFor(int profile, int stream, int channels) {
  if (profile == 0 && stream == 0) return {{"D1"}, {"1536K", "2048K", "2560K"}, "D1", "1536K", 0};
  if (profile == 0) {
    StreamLists l{{"CIF"}, {}, "CIF", nullptr, 9};
    if (channels == 4) {
      l.bitrates = {"64K", "96K", "128K", "192K", "256K"};
      l.bitrate = "64K";
    } else if (channels == 16) {
      l.bitrates = {"128K", "256K", "384K", "512K", "768K", "1024K"};
      l.bitrate = "128K";
    }
    return l;
  }
  if (profile == 2 && stream == 0) return {{"CIF"}, {"384K", "512K", "768K"}, "CIF", "512K", 0};
  if (profile == 2)
    return {{"QCIF", "CIF"}, {"32K", "48K", "64K", "96K", "128K", "256K"}, "CIF", "32K", 10};
  return {{}, {}, nullptr, nullptr, stream == 0 ? 0 : -1};
}

// The first item that begins with `text`, ignoring case (the list's own search); -1.
int FindPrefix(const QComboBox* list, const QString& text) {
  for (int i = 0; i < list->count(); ++i)
    if (list->itemText(i).startsWith(text, Qt::CaseInsensitive)) return i;
  return -1;
}

int LeadingNumber(const QString& text) {
  const QString t = text.left(32);
  return plat::textToInt(std::u16string_view(reinterpret_cast<const char16_t*>(t.utf16()),
                                             static_cast<size_t>(t.size())));
}

// A code's position in a list of `size` items, -1 for none.
int Position(uint32_t code, int size) { return code < uint32_t(size) ? int(code) : -1; }

QComboBox* AddRow(QWidget* page, QGridLayout* g, int& row, int labelId, uint32_t textId,
                  int listId) {
  g->addWidget(MakeLabel(page, labelId, LoadLangString(textId)), row, 0);
  auto* list = Named(new QComboBox(page), listId);
  g->addWidget(list, row++, 1);
  return list;
}

void AddItems(QComboBox* list, std::initializer_list<uint32_t> ids) {
  for (uint32_t id : ids) list->addItem(LoadLangString(id));
  list->setCurrentIndex(0);
}

void PutStream(uint8_t* at, const StreamParams& s) {
  at[0] = s.streamType;
  at[1] = s.resolution;
  at[2] = s.bitrateType;
  at[3] = s.quality;
  plat::putLe32(at + 4, s.bitrate);
  plat::putLe32(at + 8, s.frameRate);
}

StreamParams GetStream(const uint8_t* at) {
  return {at[0], at[1], at[2], at[3], plat::getLe32(at + 4), plat::getLe32(at + 8)};
}

}  // namespace

CDlgVideoCfg::CDlgVideoCfg(QWidget* parent) : ChannelEntryPage(parent) {
  auto* g = new QGridLayout(this);
  FormColumns(g);
  int row = 0;
  channelList_ = AddRow(this, g, row, 4022, 4042, 4010);
  streamList_ = AddRow(this, g, row, 4035, 4064, 4028);
  AddItems(streamList_, {4071, 4072});
  streamType_ = AddRow(this, g, row, 4401, 4070, 4029);
  AddItems(streamType_, {4073, 4074});
  resolution_ = AddRow(this, g, row, 4037, 4065, 4030);
  bitrateType_ = AddRow(this, g, row, 4038, 4066, 4031);
  AddItems(bitrateType_, {4076, 4075});
  bitrate_ = AddRow(this, g, row, 4039, 4067, 4032);
  custom_ = Named(new LimitedEdit(this, 5, true), 4042);
  custom_->setEnabled(false);
  auto* customRow = new QHBoxLayout;
  customRow->addWidget(custom_);
  customRow->addWidget(MakeLabel(this, 4043, QStringLiteral("kbps")));
  g->addLayout(customRow, row++, 1);
  frameRate_ = AddRow(this, g, row, 4040, 4068, 4033);
  for (const char* t : kFrameRates) frameRate_->addItem(QString::fromLatin1(t));
  frameRate_->setCurrentIndex(0);
  quality_ = AddRow(this, g, row, 4041, 4069, 4034);
  AddItems(quality_, {4077, 4078, 4079, 4080, 4081, 4082});
  auto* copy = Named(new QPushButton(LoadLangString(4050), this), 4021);
  g->addWidget(copy, row++, 1, Qt::AlignLeft);
  g->setRowStretch(row, 1);

  connect(channelList_, &QComboBox::currentIndexChanged, this, [this](int i) { OnChannelChange(i); });
  // The remaining handlers answer the user only: showing a channel sets the lists quietly.
  connect(streamList_, &QComboBox::activated, this, [this] { OnStreamChange(); });
  connect(bitrateType_, &QComboBox::activated, this, [this] { OnBitrateTypeChange(); });
  connect(bitrate_, &QComboBox::activated, this, [this] { OnBitrateChange(); });
  connect(frameRate_, &QComboBox::activated, this, [this] { OnFrameRateChange(); });
  connect(custom_, &LimitedEdit::FocusLeft, this, [this] { OnCustomLeft(); });
  connect(copy, &QPushButton::clicked, this, [this] { OnCopyTo(); });
}

void CDlgVideoCfg::Load(PageContext& context) {
  streamProfile_ = static_cast<int8_t>(context.videoByte);
  channelCount_ = context.records->ChannelCount();
  stream_ = 0;
  streamList_->setCurrentIndex(0);
  Refill();
  LoadEntries(*context.records, channelList_, channelCount_);
}

CompressionEntry CDlgVideoCfg::FromBlock(const ChannelParamBlock& block) {
  return {block.channel, GetStream(block.compression.data() + kMainStreamAt),
          GetStream(block.compression.data() + kSubStreamAt)};
}

void CDlgVideoCfg::ToBlock(const CompressionEntry& entry, ChannelParamBlock& block) {
  PutStream(block.compression.data() + kMainStreamAt, entry.main);
  PutStream(block.compression.data() + kSubStreamAt, entry.sub);
  block.compression.changed = true;
}

void CDlgVideoCfg::Refill() {
  resolution_->clear();
  bitrate_->clear();
  if (stream_ == 0) {
    bitrateType_->setCurrentIndex(0);
    quality_->setCurrentIndex(1);
    quality_->setEnabled(true);
    frameRate_->setCurrentIndex(0);
  } else {
    bitrateType_->setCurrentIndex(1);
    quality_->setCurrentIndex(2);
    quality_->setEnabled(false);
  }
  const StreamLists l = ListsFor(streamProfile_, stream_, channelCount_);
  for (const char* r : l.resolutions) resolution_->addItem(QString::fromLatin1(r));
  for (const char* b : l.bitrates) bitrate_->addItem(QString::fromLatin1(b));
  resolution_->setCurrentIndex(l.resolution ? resolution_->findText(QString::fromLatin1(l.resolution)) : -1);
  bitrate_->addItem(LoadLangString(4083));
  bitrate_->setCurrentIndex(l.bitrate ? bitrate_->findText(QString::fromLatin1(l.bitrate)) : 0);
  if (l.framePosition >= 0) frameRate_->setCurrentIndex(l.framePosition);
}

void CDlgVideoCfg::ShowRates() {
  const StreamParams& s = OnShowStream();
  frameRate_->setCurrentIndex(s.frameRate < 17 ? kFramePositions[s.frameRate] : -1);
  if (s.bitrate & kCustomRate) {
    SelectString(bitrate_, LoadLangString(4083));
    custom_->setText(QString::number(static_cast<int>(s.bitrate & ~kCustomRate)));
    custom_->setEnabled(true);
  } else {
    const int found =
        s.bitrate < 25 ? FindPrefix(bitrate_, QString::fromLatin1(kBitrates[s.bitrate])) : -1;
    bitrate_->setCurrentIndex(found >= 0 ? found : 0);
    custom_->setEnabled(false);
  }
}

void CDlgVideoCfg::ShowEntry() {
  const StreamParams& s = OnShowStream();
  bitrateType_->setCurrentIndex(Position(s.bitrateType, bitrateType_->count()));
  quality_->setCurrentIndex(Position(s.quality, quality_->count()));
  ShowRates();
  streamType_->setCurrentIndex(Position(s.streamType, streamType_->count()));
  const int found =
      s.resolution < 24 ? FindPrefix(resolution_, QString::fromLatin1(kResolutions[s.resolution])) : -1;
  // Not found: the main stream shows no resolution, the sub-stream keeps the refill's.
  if (found >= 0 || stream_ == 0) resolution_->setCurrentIndex(found);
}

void CDlgVideoCfg::ReadEntry() {
  StreamParams& s = OnShowStream();
  auto position = [](const QComboBox* c) { return static_cast<uint8_t>(c->currentIndex()); };
  s.bitrateType = position(bitrateType_);  // no selection: all bits set
  s.quality = position(quality_);
  s.streamType = position(streamType_);
  const int frame = frameRate_->currentIndex();
  if (frame >= 0)
    for (uint32_t code = 0; code < 17; ++code)
      if (kFramePositions[code] == frame) {
        s.frameRate = code;
        break;
      }
  if (bitrate_->currentIndex() >= 0) {
    const QString text = bitrate_->currentText().left(32);
    if (text == LoadLangString(4083)) {
      s.bitrate = kCustomRate + static_cast<uint32_t>(EditNumber(custom_));
    } else {
      for (uint32_t code = 0; code < 25; ++code)
        if (text == QLatin1String(kBitrates[code])) {
          s.bitrate = code;
          break;
        }
    }
  }
  if (resolution_->currentIndex() >= 0) {
    const QString text = resolution_->currentText();
    for (uint32_t code = 0; code < 24; ++code)
      if (text == QLatin1String(kResolutions[code])) {
        s.resolution = static_cast<uint8_t>(code);
        break;
      }
  }
}

void CDlgVideoCfg::OnStreamChange() {
  // The controls are not read first: edits of the stream that was on show are dropped.
  stream_ = streamList_->currentIndex() == 1 ? 1 : 0;
  Refill();
  if (shown_ >= 0) ShowEntry();
}

void CDlgVideoCfg::OnBitrateTypeChange() { quality_->setEnabled(bitrateType_->currentIndex() == 0); }

void CDlgVideoCfg::OnBitrateChange() {
  if (bitrate_->currentText() == LoadLangString(4083)) {
    custom_->setEnabled(true);
    custom_->setText(QString::number(stream_ == 0 ? 1536 : 128));
  } else {
    custom_->setEnabled(false);
  }
  RateCheck();
}

void CDlgVideoCfg::OnFrameRateChange() { RateCheck(); }

int CDlgVideoCfg::FramesPerSecond() const { return LeadingNumber(frameRate_->currentText()); }

void CDlgVideoCfg::RateCheck() {
  int rate = 0;
  const QString text = bitrate_->currentText().left(32);
  if (text == LoadLangString(4083)) {
    rate = EditNumber(custom_);
  } else {
    for (const char* b : kBitrates)
      if (*b && text == QLatin1String(b)) rate = LeadingNumber(text);
  }
  if (rate <= 512 * FramesPerSecond()) return;
  ShowMessage(this, LoadLangString(4193));
  ShowRates();
}

void CDlgVideoCfg::OnCustomLeft() {
  const int lower = stream_ == 0 ? 1536 : 128, upper = stream_ == 0 ? 2560 : 1024;
  const int typed = EditNumber(custom_);
  int value = typed < lower ? lower : typed > upper ? upper : typed;
  const int most = 512 * FramesPerSecond();
  if (value > most) value = most;
  if (value != typed) custom_->setText(QString::number(value));
}

void CDlgVideoCfg::OnCopyTo() {
  StoreOnShow();
  RunCopyTo(this, working_, shown_);
}

PELLMORE_REGISTER_PAGE(CDlgVideoCfg, 0x8)

}  // namespace pellmore
