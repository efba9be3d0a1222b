#include "DlgDisplayCfg.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "Saxtrum/PictureRecord.h"
#include "plat/bytes.h"
#include "plat/controlid.h"
#include "plat/paint.h"

namespace pellmore {

namespace {
constexpr uint32_t kRed = 0x0000FF;  // 0x00BBGGRR

bool Inside(const FrameF& f, float x, float y) {
  return f.left < x && x < f.right && f.top < y && y < f.bottom;
}
bool Clear(const FrameF& a, const FrameF& b) {  // touching edges are allowed
  return b.right <= a.left || b.left >= a.right || b.top >= a.bottom || b.bottom <= a.top;
}
FrameF FrameAt(uint16_t x, uint16_t y, float width) {
  return {float(x) - 5, float(y), float(x) + width, float(y) + CDlgOSDSet::kFrameHeight};
}
}  // namespace

// ---- OSD editor ----

CDlgOSDSet::CDlgOSDSet(QWidget* owner, const DisplayEntry& entry, uint8_t* picture,
                       plat::WindowHandle configWindow)
    : QDialog(owner),
      channel_(entry.channel),
      picture_(picture),
      configWindow_(configWindow),
      showDate_(entry.showDate != 0),
      showName_(entry.showName != 0) {
  plat::Named(this, 4022);
  setWindowTitle(LoadLangString(4059));
  date_ = FrameAt(plat::getLe16(picture + QX_PIC_OFF_OSD_X), plat::getLe16(picture + QX_PIC_OFF_OSD_Y), kDateWidth);
  name_ = FrameAt(plat::getLe16(picture + QX_PIC_OFF_NAME_X), plat::getLe16(picture + QX_PIC_OFF_NAME_Y), kNameWidth);
  video_ = new VideoWindow(this, 4171, kWindowWidth, kWindowHeight);
  QLabel* note = MakeLabel(this, 4172, LoadLangString(4058));
  note->setWordWrap(true);
  note->setFixedWidth(kWindowWidth);
  auto* l = new QVBoxLayout(this);
  l->addWidget(video_);
  l->addWidget(note);
  l->setSizeConstraint(QLayout::SetFixedSize);
  video_->onPress = [this](QPoint p) { OnMouseDown(p); };
  video_->onMove = [this](QPoint p) { OnMouseMove(p); };
  video_->onRelease = [this](QPoint p) { OnMouseUp(p); };
  live_.Start(video_, channel_, &DrawOsd, this);
}

CDlgOSDSet::~CDlgOSDSet() { live_.Stop(); }

void CDlgOSDSet::done(int result) {
  live_.Stop();
  QDialog::done(result);
}

FrameF CDlgOSDSet::DateFrame() {
  std::lock_guard<std::mutex> lock(mu_);
  return date_;
}
FrameF CDlgOSDSet::NameFrame() {
  std::lock_guard<std::mutex> lock(mu_);
  return name_;
}
float CDlgOSDSet::ScaleX() {
  std::lock_guard<std::mutex> lock(mu_);
  return scaleX_;
}

void CDlgOSDSet::OnMouseDown(QPoint p) {
  last_ = p;
  std::lock_guard<std::mutex> lock(mu_);
  const float x = p.x() * scaleX_, y = p.y() * scaleY_;
  target_ = Inside(date_, x, y) ? kDate : Inside(name_, x, y) ? kName : kNone;
}

void CDlgOSDSet::OnMouseMove(QPoint p) {
  std::lock_guard<std::mutex> lock(mu_);
  if (target_ == kNone) return;
  const FrameF client{0, 0, video_->width() * scaleX_, video_->height() * scaleY_};
  FrameF& moving = target_ == kDate ? date_ : name_;
  const FrameF& other = target_ == kDate ? name_ : date_;
  FrameF c;
  c.left = moving.left + float(p.x() - last_.x()) * scaleX_;
  c.top = moving.top + float(p.y() - last_.y()) * scaleY_;
  c.right = c.left + (target_ == kDate ? kDateWidth : kNameWidth);
  c.bottom = c.top + kFrameHeight;
  const bool inside = client.left < c.left && c.right < client.right && client.top < c.top &&
                      c.bottom < client.bottom;
  // Refused: the frame waits where it is until the mouse comes back.
  if (!inside || !Clear(c, other)) return;
  moving = c;
  last_ = p;
}

void CDlgOSDSet::OnMouseUp(QPoint) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    target_ = kNone;
    plat::putLe16(picture_ + QX_PIC_OFF_OSD_X, static_cast<uint16_t>(int(date_.left + 5)));
    plat::putLe16(picture_ + QX_PIC_OFF_OSD_Y, static_cast<uint16_t>(int(date_.top)));
    plat::putLe16(picture_ + QX_PIC_OFF_NAME_X, static_cast<uint16_t>(int(name_.left + 5)));
    plat::putLe16(picture_ + QX_PIC_OFF_NAME_Y, static_cast<uint16_t>(int(name_.top)));
  }
  // Sent, not posted: the record goes out with the positions just written.
  plat::sendMessage(configWindow_, WM_SAVE_CHANNEL_PICTURE, static_cast<uintptr_t>(channel_), 0);
}

void CDlgOSDSet::DrawOsd(int32_t, intptr_t dc, void* user, int32_t left, int32_t top,
                         int32_t right, int32_t bottom) {
  auto* self = static_cast<CDlgOSDSet*>(user);
  plat::PaintContext* pc = plat::PaintContext::from(dc);
  if (!self || !pc) return;
  FrameF frames[2];
  bool show[2];
  {
    std::lock_guard<std::mutex> lock(self->mu_);
    if (!self->latched_) {
      self->latched_ = true;
      self->scaleX_ = float(right - left) / float(kWindowWidth);
      self->scaleY_ = float(bottom - top) / float(kWindowHeight);
    }
    frames[0] = self->date_;
    frames[1] = self->name_;
    show[0] = self->showDate_;
    show[1] = self->showName_;
  }
  pc->save();
  pc->selectPen(kRed, 2);
  for (int i = 0; i < 2; ++i) {
    if (!show[i]) continue;
    const FrameF& f = frames[i];
    pc->moveTo(int(f.left), int(f.top));
    pc->lineTo(int(f.right), int(f.top));
    pc->lineTo(int(f.right), int(f.bottom));
    pc->lineTo(int(f.left), int(f.bottom));
    pc->lineTo(int(f.left), int(f.top));
  }
  pc->restore();
}

// ---- Display page ----

CDlgDiaplayCfg::CDlgDiaplayCfg(QWidget* parent) : ChannelEntryPage(parent) {
  auto* g = new QGridLayout(this);
  FormColumns(g);
  int row = 0;
  g->addWidget(MakeLabel(this, 4022, LoadLangString(4042)), row, 0);
  channelList_ = Named(new QComboBox(this), 4010);
  g->addWidget(channelList_, row++, 1);
  showName_ = Named(new QCheckBox(LoadLangString(4043), this), 4014);
  g->addWidget(showName_, row++, 0, 1, 2);
  g->addWidget(MakeLabel(this, 4023, LoadLangString(4044)), row, 0);
  name_ = Named(new LimitedEdit(this, 8), 4015);
  name_->SetFieldBytes(sizeof onShow_.name);  // may fill its field
  g->addWidget(name_, row, 1);
  g->addWidget(MakeLabel(this, 4024, LoadLangString(4045)), row++, 2);
  showDate_ = Named(new QCheckBox(LoadLangString(4046), this), 4016);
  g->addWidget(showDate_, row++, 0, 1, 2);
  g->addWidget(MakeLabel(this, 4025, LoadLangString(4047)), row, 0);
  dateFormat_ = Named(new QComboBox(this), 4011);
  for (uint32_t id = 4052; id <= 4057; ++id) dateFormat_->addItem(LoadLangString(id));
  dateFormat_->setCurrentIndex(0);
  g->addWidget(dateFormat_, row++, 1);
  g->addWidget(MakeLabel(this, 4026, LoadLangString(4048)), row, 0);
  auto* setting = Named(new QPushButton(LoadLangString(4049), this), 4019);
  g->addWidget(setting, row++, 1, Qt::AlignLeft);
  // The display page offers no "Copy to...": the separator and button stay hidden.
  auto* separator = Named(new QFrame(this), 4020);
  separator->setFrameShape(QFrame::HLine);
  separator->hide();
  Named(new QPushButton(LoadLangString(4050), this), 4021)->hide();
  g->setRowStretch(row, 1);
  connect(channelList_, &QComboBox::currentIndexChanged, this, [this](int i) { OnChannelChange(i); });
  connect(setting, &QPushButton::clicked, this, [this] { OnSetting(); });
}

void CDlgDiaplayCfg::Load(PageContext& context) {
  records_ = context.records;
  configWindow_ = context.window;
  LoadEntries(*context.records, channelList_, context.records->ChannelCount());
}

DisplayEntry CDlgDiaplayCfg::FromBlock(const ChannelParamBlock& block) {
  const uint8_t* p = block.picture.data();
  DisplayEntry e;
  e.channel = block.channel;
  std::copy_n(p + QX_PIC_OFF_NAME, QX_PIC_NAME_SIZE, e.name);
  e.showName = plat::getLeS32(p + QX_PIC_OFF_SHOW_NAME);
  e.showDate = plat::getLeS32(p + QX_PIC_OFF_SHOW_OSD);
  e.dateFormat = p[QX_PIC_OFF_OSD_TYPE];
  return e;
}

void CDlgDiaplayCfg::ToBlock(const DisplayEntry& e, ChannelParamBlock& block) {
  uint8_t* p = block.picture.data();
  p[QX_PIC_OFF_OSD_TYPE] = static_cast<uint8_t>(e.dateFormat);
  plat::putLe32(p + QX_PIC_OFF_SHOW_NAME, static_cast<uint32_t>(e.showName));
  plat::putLe32(p + QX_PIC_OFF_SHOW_OSD, static_cast<uint32_t>(e.showDate));
  std::copy_n(e.name, QX_PIC_NAME_SIZE, p + QX_PIC_OFF_NAME);
  block.picture.changed = true;
}

void CDlgDiaplayCfg::ShowEntry() {
  showName_->setChecked(onShow_.showName != 0);
  name_->setText(FieldToText(onShow_.name, sizeof onShow_.name));
  showDate_->setChecked(onShow_.showDate != 0);
  dateFormat_->setCurrentIndex(onShow_.dateFormat >= 0 && onShow_.dateFormat < dateFormat_->count()
                                   ? onShow_.dateFormat
                                   : -1);
}

void CDlgDiaplayCfg::ReadEntry() {
  onShow_.showName = StoredFlag(onShow_.showName, showName_->isChecked());
  EditedTextToField(name_->text().left(64), onShow_.name, sizeof onShow_.name, false);
  onShow_.showDate = StoredFlag(onShow_.showDate, showDate_->isChecked());
  // No selection (a format the list does not hold) keeps the stored format.
  if (dateFormat_->currentIndex() >= 0) onShow_.dateFormat = dateFormat_->currentIndex();
}

void CDlgDiaplayCfg::OnSetting() {
  if (shown_ < 0 || !records_) return;
  ChannelParamBlock* block = BlockOf(*records_, onShow_.channel);
  if (!block) return;
  CDlgOSDSet editor(this, onShow_, block->picture.data(), configWindow_);
  editor.exec();
}

PELLMORE_REGISTER_PAGE(CDlgDiaplayCfg, 0x4)

}  // namespace pellmore
