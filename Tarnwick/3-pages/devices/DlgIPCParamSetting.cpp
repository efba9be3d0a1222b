#include "devices/DlgIPCParamSetting.h"

#include <QIntValidator>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

#include "controls/EditLimit.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"
#include "shell/UiService.h"

namespace {

constexpr int kPageWidth = 470, kPageHeight = 290;
constexpr int kLabelX = 16, kLabelWidth = 170, kControlX = 190, kControlWidth = 250, kRowStep = 32;
constexpr int kTabHeight = 25, kInset = 5;

}  // namespace

// ---- the camera side -------------------------------------------------------------------------

CIpcWork::~CIpcWork() {
  devwork::Run(m_guid, [slot = std::move(m_slot)] { slot->Close(); });
}

void CIpcWork::Open(IpcLogin login, std::function<void(bool)> done) {
  // A device deleted meanwhile has no queue: the login fails as a refused one would.
  devwork::Ask<bool>(
      m_guid, [slot = m_slot, login = std::move(login)] { return slot->Open(login); }, std::move(done), m_owner,
      false);
}

// ---- address edit ---------------------------------------------------------------------------

CIPAddressCtrl::CIPAddressCtrl(QWidget* parent) : QWidget(parent) {
  auto* validator = new QIntValidator(0, 255, this);
  for (int i = 0; i < 4; ++i) {
    m_octets[i] = new QLineEdit(this);
    plat::Named(m_octets[i], i);
    m_octets[i]->setValidator(validator);
    LimitTyping(m_octets[i], 3);
    m_octets[i]->setAlignment(Qt::AlignCenter);
    m_octets[i]->setGeometry(i * 60, 0, 48, 24);
    if (i < 3) (new QLabel(QStringLiteral("."), this))->setGeometry(i * 60 + 51, 0, 8, 24);
  }
}

void CIPAddressCtrl::SetAddress(const Ipv4Octets& octets) {
  for (int i = 0; i < 4; ++i) m_octets[i]->setText(QString::number(octets[i]));
}

Ipv4Octets CIPAddressCtrl::GetAddress() const {
  Ipv4Octets out{};
  for (int i = 0; i < 4; ++i) out[i] = uint8_t(std::clamp(m_octets[i]->text().toInt(), 0, 255));
  return out;
}

// ---- page base ------------------------------------------------------------------------------

CDlgIPCPage::CDlgIPCPage(int templateId, QWidget* parent) : QWidget(parent) {
  plat::Named(this, templateId);
  resize(kPageWidth, kPageHeight);
  m_status = MakeControl<QLabel>(this, 0, QRect(kLabelX, kPageHeight - 36, 300, 24));
  m_status->setObjectName(QStringLiteral("status"));
  m_status->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
}

template <typename W>
W* CDlgIPCPage::Row(uint32_t label, int control, const QString& literal) {
  auto* l = MakeControl<QLabel>(this, control + 10000, QRect(kLabelX, m_nextRow, kLabelWidth, 24));
  l->setText(label ? Text(label) : literal);
  W* w = MakeControl<W>(this, control, QRect(kControlX, m_nextRow, kControlWidth, 24));
  m_nextRow += kRowStep;
  return w;
}

QPushButton* CDlgIPCPage::AddCornerButton(int control, uint32_t text) {
  m_corner = MakeControl<QPushButton>(this, control, QRect(width() - 110, height() - 38, 90, 28));
  m_corner->setText(Text(text));
  return m_corner;
}

void CDlgIPCPage::AddSaveButton(int control) { m_save = AddCornerButton(control, IDS_SAVE); }

void CDlgIPCPage::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  if (m_corner) m_corner->move(width() - 110, height() - 38);
}

void CDlgIPCPage::SetStatus(uint32_t text, bool failure) {
  m_status->setStyleSheet(failure ? QStringLiteral("color: rgb(200, 0, 0);") : QStringLiteral("color: rgb(90, 90, 90);"));
  m_status->setText(text ? Text(text) : QString());
}

void CDlgIPCPage::EnableControls(bool on) {
  for (QWidget* w : findChildren<QWidget*>()) {
    if (w != m_status && !qobject_cast<QLabel*>(w)) w->setEnabled(on);
  }
}

void CDlgIPCPage::ShowBusy(uint32_t text) {
  EnableControls(false);
  SetStatus(text, false);
}

void CDlgIPCPage::Load(CIpcWork& work) {
  m_work = &work;
  ShowBusy(IDS_IPC_READING);
  work.Run<IpcRead>(Record().ReadWork(), [this](IpcRead read) {
    Record().Loaded(read);
    if (!Record().ReadOk()) {
      SetStatus(IDS_IPC_READ_FAILED, true);
      return;
    }
    EnableControls(true);
    SetStatus(0, false);
    Fill();
  }, IpcRead{});
}

void CDlgIPCPage::SaveRecord(uint32_t failure, std::function<void()> saved) {
  if (m_saving) return;
  std::vector<uint8_t> record;
  uint32_t notice = 0;
  const IpcSaveResult ready = Record().PrepareSave(record, notice);
  if (ready != IpcSaveResult::Saved || !m_work) return ReportSave(ready, notice, failure);
  m_saving = true;
  if (m_save) m_save->setEnabled(false);
  SetStatus(IDS_IPC_SAVING, false);
  m_work->Run<IpcSent>(Record().SendWork(record), [this, record, failure, saved = std::move(saved)](IpcSent sent) {
    m_saving = false;
    if (m_save) m_save->setEnabled(true);
    SetStatus(0, false);
    const IpcSaveResult result = Record().Sent(record, sent);
    ReportSave(result, 0, failure);
    if (result == IpcSaveResult::Saved && saved) saved();
  }, IpcSent::Failed);
}

void CDlgIPCPage::ReportSave(IpcSaveResult result, uint32_t notice, uint32_t failure) {
  switch (result) {
    case IpcSaveResult::Saved: break;
    case IpcSaveResult::Refused: Notice(notice); break;
    case IpcSaveResult::Failed: Notice(failure); break;
    case IpcSaveResult::Unanswered: Notice(IDS_IPC_NO_ANSWER); break;
    case IpcSaveResult::NotRead: Notice(IDS_IPC_READ_FAILED); break;
  }
}

// ---- device information -----------------------------------------------------------------------

CDlgIPCDevInfo::CDlgIPCDevInfo(QWidget* parent) : CDlgIPCPage(kTemplate, parent) {
  const std::pair<uint32_t, int> rows[] = {{IDS_IPC_INTERNAL_CODE, IDC_INTERNAL},
                                           {IDS_IPC_REGISTRATION_CODE, IDC_REGISTRATION},
                                           {IDS_IPC_FACTORY_MODEL, IDC_MODEL},
                                           {IDS_IPC_FACTORY_CODE, IDC_FACTORY}};
  for (size_t i = 0; i < m_fields.size(); ++i) {
    m_fields[i] = Row<QLineEdit>(rows[i].first, rows[i].second);
    m_fields[i]->setReadOnly(true);
  }
}

void CDlgIPCDevInfo::Fill() {
  const std::u16string* texts[] = {&m_page.internalCode, &m_page.registration, &m_page.model, &m_page.factoryCode};
  for (size_t i = 0; i < m_fields.size(); ++i) m_fields[i]->setText(QString::fromStdU16String(*texts[i]));
}

// ---- network --------------------------------------------------------------------------------

CDlgIPCNetParam::CDlgIPCNetParam(QWidget* parent) : CDlgIPCPage(kTemplate, parent) {
  m_mode = Row<QComboBox>(IDS_IPC_IP_ASSIGNMENT, IDC_MODE);
  m_mode->addItem(Text(IDS_IPC_STATIC_IP));
  m_mode->addItem(Text(IDS_IP_AUTOMATIC));
  const struct {
    uint32_t label;
    int control;
    const char* literal;
  } rows[] = {{0, IDC_IP, "IP"},
              {IDS_SUBNET_MASK, IDC_MASK, ""},
              {IDS_GATEWAY, IDC_GATEWAY, ""},
              {0, IDC_DNS, "DNS"},
              {0, IDC_DNS2, "DNSII"}};
  for (int i = 0; i < CIpcNetPage::kAddressCount; ++i)
    m_addresses[i] = Row<CIPAddressCtrl>(rows[i].label, rows[i].control, QString::fromLatin1(rows[i].literal));
  m_mac = Row<QLineEdit>(IDS_IPC_MAC_ADDRESS, IDC_MAC);
  connect(m_mode, &QComboBox::currentIndexChanged, this, &CDlgIPCNetParam::OnModeChanged);
  AddSaveButton(IDC_SAVE);
  connect(SaveButton(), &QPushButton::clicked, this, &CDlgIPCNetParam::OnSave);
}

void CDlgIPCNetParam::Fill() {
  for (int i = 0; i < CIpcNetPage::kAddressCount; ++i) m_addresses[i]->SetAddress(m_page.addresses[i]);
  m_mac->setText(QString::fromStdU16String(m_page.mac));
  m_mode->setCurrentIndex(m_page.mode);
  OnModeChanged(m_page.mode);
}

void CDlgIPCNetParam::OnModeChanged(int index) {
  for (CIPAddressCtrl* a : m_addresses) a->setEnabled(index == 0);
}

void CDlgIPCNetParam::OnSave() {
  m_page.mode = std::max(0, m_mode->currentIndex());
  for (int i = 0; i < CIpcNetPage::kAddressCount; ++i) m_page.addresses[i] = m_addresses[i]->GetAddress();
  m_page.mac = m_mac->text().toStdU16String();
  SaveRecord(IDS_IPC_NET_SET_FAILED, [this] {
    UiService().MessageBox(this, LoadResString(IDS_IPC_NET_CHANGED), LoadResString(IDS_NOTICE), MB_OK);
  });
}

// ---- video ----------------------------------------------------------------------------------

CDlgIPCVideoParam::CDlgIPCVideoParam(QWidget* parent) : CDlgIPCPage(kTemplate, parent) {
  m_standard = Row<QComboBox>(IDS_VIDEO_STANDARD, IDC_STANDARD);
  m_standard->addItems({QStringLiteral("PAL"), QStringLiteral("NTSC")});
  m_standard->setCurrentIndex(1);
  m_frameRate = Row<QComboBox>(IDS_FRAME_RATE, IDC_FRAME_RATE);
  m_frameRate->addItems({QStringLiteral("10 FPS"), QStringLiteral("15 FPS"), QStringLiteral("20 FPS"), QStringLiteral("25 FPS")});
  m_frameRate->setCurrentIndex(m_page.frameRate);
  m_rateControl = Row<QComboBox>(IDS_IPC_RATE_CONTROL, IDC_RATE_CONTROL);
  m_rateControl->addItems({Text(IDS_CONSTANT_BIT_RATE), Text(IDS_VARIABLE_BIT_RATE)});
  m_rateControl->setCurrentIndex(m_page.rateControl);
  m_level = Row<QComboBox>(IDS_IPC_RATE_LEVEL, IDC_LEVEL);
  FillLevels(m_page.rateControl);
  m_level->setCurrentIndex(m_page.level);
  connect(m_rateControl, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0) return;
    m_page.SetRateControl(index);
    FillLevels(index);
    m_level->setCurrentIndex(m_page.level);
  });
  AddSaveButton(IDC_SAVE);
  connect(SaveButton(), &QPushButton::clicked, this, &CDlgIPCVideoParam::OnSave);
}

// The lists as read; the rate-control list's own handler stays out of it (it would select
// the second level).
void CDlgIPCVideoParam::Fill() {
  m_frameRate->setCurrentIndex(m_page.frameRate);
  {
    const QSignalBlocker quiet(m_rateControl);
    m_rateControl->setCurrentIndex(m_page.rateControl);
  }
  FillLevels(m_page.rateControl);
  m_level->setCurrentIndex(m_page.level);
}

void CDlgIPCVideoParam::FillLevels(int rateControl) {
  m_level->clear();
  for (const std::u16string& entry : m_page.LevelEntries(rateControl)) m_level->addItem(QString::fromStdU16String(entry));
}

void CDlgIPCVideoParam::OnSave() {
  m_page.frameRate = m_frameRate->currentIndex();
  m_page.rateControl = m_rateControl->currentIndex();
  m_page.level = m_level->currentIndex();
  SaveRecord(IDS_IPC_SET_FAILED);
}

// ---- picture --------------------------------------------------------------------------------

CDlgIPCVideoParamII::CDlgIPCVideoParamII(QWidget* parent) : CDlgIPCPage(kTemplate, parent) {
  using V = CIpcPicturePage::Value;
  const struct {
    uint32_t label;
    int control;
    V value;
  } rows[] = {{IDS_BRIGHTNESS, IDC_BRIGHTNESS, V::kBrightness},
              {IDS_CONTRAST, IDC_CONTRAST, V::kContrast},
              {IDS_SATURATION, IDC_SATURATION, V::kSaturation}};
  for (const auto& r : rows) {
    QSlider* s = Row<QSlider>(r.label, r.control);
    s->setOrientation(Qt::Horizontal);
    s->setRange(1, 255);
    s->setValue(int(CIpcPicturePage::kDefault));
    m_sliders[r.value] = s;
    connect(s, &QAbstractSlider::actionTriggered, this, &CDlgIPCVideoParamII::OnScroll);
    connect(s, &QAbstractSlider::sliderReleased, this, &CDlgIPCVideoParamII::OnScroll);
  }
  QPushButton* defaults = AddCornerButton(IDC_DEFAULTS, IDS_IPC_DEFAULTS);
  connect(defaults, &QPushButton::clicked, this, [this] {
    for (QSlider* s : m_sliders) s->setValue(int(CIpcPicturePage::kDefault));
    m_page.SetDefaults();
    Send();
  });
}

void CDlgIPCVideoParamII::Fill() {
  for (int i = 0; i < CIpcPicturePage::kValueCount; ++i)
    m_sliders[i]->setValue(int(std::clamp<uint32_t>(m_page.values[i], 1, 255)));
}

// The action is reported before the slider takes its new value: the positions are read.
void CDlgIPCVideoParamII::OnScroll() {
  for (int i = 0; i < CIpcPicturePage::kValueCount; ++i)
    m_page.Set(CIpcPicturePage::Value(i), uint32_t(m_sliders[i]->sliderPosition()));
  Send();
}

void CDlgIPCVideoParamII::Send() {
  std::vector<uint8_t> record;
  if (Work() && m_page.Notify(record)) Dispatch(record);
}

void CDlgIPCVideoParamII::Dispatch(const std::vector<uint8_t>& record) {
  Work()->Run<IpcSent>(m_page.SendWork(record), [this, record](IpcSent sent) {
    if (sent == IpcSent::Failed) ReportSave(IpcSaveResult::Failed, 0, IDS_IPC_SET_FAILED);
    if (sent == IpcSent::Unanswered) ReportSave(IpcSaveResult::Unanswered, 0, IDS_IPC_SET_FAILED);
    std::vector<uint8_t> next;
    if (m_page.SendDone(record, sent, next)) Dispatch(next);
  }, IpcSent::Failed);
}

// ---- audio ----------------------------------------------------------------------------------

CDlgIPCAudioParam::CDlgIPCAudioParam(QWidget* parent) : CDlgIPCPage(kTemplate, parent) {
  m_input = Row<QComboBox>(IDS_IPC_AUDIO_INPUT, IDC_INPUT);
  m_input->addItems({Text(IDS_IPC_MICROPHONE_INPUT), Text(IDS_IPC_LINE_INPUT)});
  m_codec = Row<QComboBox>(IDS_IPC_AUDIO_CODEC, IDC_CODEC);
  m_codec->addItems({QStringLiteral("G711"), QStringLiteral("ADPCM"), QStringLiteral("AMR"), QStringLiteral("AAC")});
  m_channels = Row<QComboBox>(IDS_IPC_AUDIO_CHANNELS, IDC_CHANNELS);
  m_channels->addItems({Text(IDS_IPC_MONO), Text(IDS_IPC_STEREO)});
  m_width = Row<QComboBox>(IDS_IPC_SAMPLE_WIDTH, IDC_WIDTH);
  m_width->addItems({QStringLiteral("8bit"), QStringLiteral("16bit")});
  m_rate = Row<QComboBox>(IDS_IPC_SAMPLE_RATE, IDC_RATE);
  m_rate->addItems({QStringLiteral("8K"), QStringLiteral("16K"), QStringLiteral("24K")});
  AddSaveButton(IDC_SAVE);
  connect(SaveButton(), &QPushButton::clicked, this, &CDlgIPCAudioParam::OnSave);
}

void CDlgIPCAudioParam::Fill() {
  const std::pair<QComboBox*, int> shown[] = {{m_input, m_page.input}, {m_codec, m_page.codec},
                                              {m_channels, m_page.channels}, {m_width, m_page.width},
                                              {m_rate, m_page.rate}};
  for (auto [list, index] : shown) {
    list->setCurrentIndex(index);
    list->setEnabled(false);  // the page shows the camera's audio settings only
  }
}

void CDlgIPCAudioParam::OnSave() {
  m_page.input = m_input->currentIndex();
  m_page.codec = m_codec->currentIndex();
  m_page.channels = m_channels->currentIndex();
  m_page.width = m_width->currentIndex();
  m_page.rate = m_rate->currentIndex();
  SaveRecord(IDS_IPC_SET_FAILED);
}

// ---- PTZ ------------------------------------------------------------------------------------

CDlgIPCPTZParam::CDlgIPCPTZParam(QWidget* parent) : CDlgIPCPage(kTemplate, parent) {
  m_protocol = Row<QLineEdit>(IDS_IPC_PTZ_PROTOCOL, IDC_PROTOCOL);
  m_address = Row<QLineEdit>(IDS_IPC_PTZ_ADDRESS, IDC_ADDRESS);
  m_speed = Row<QLineEdit>(IDS_IPC_PTZ_SPEED, IDC_SPEED);
  auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
  m_address->setValidator(digits);
  m_speed->setValidator(digits);
  m_address->setText(QString::number(m_page.address));
  m_speed->setText(QString::number(m_page.speed));
  AddSaveButton(IDC_SAVE);
  connect(SaveButton(), &QPushButton::clicked, this, &CDlgIPCPTZParam::OnSave);
}

void CDlgIPCPTZParam::Fill() {
  m_protocol->setText(QString::fromStdU16String(m_page.protocol));
  m_address->setText(QString::number(m_page.address));
  m_speed->setText(QString::number(m_page.speed));
}

void CDlgIPCPTZParam::OnSave() {
  bool ok = false;
  m_page.address = m_address->text().toInt(&ok);
  if (!ok) m_page.address = -1;
  m_page.speed = m_speed->text().toInt(&ok);
  if (!ok) m_page.speed = -1;
  m_page.protocol = m_protocol->text().toStdU16String();
  SaveRecord(IDS_IPC_SET_FAILED);
}

// ---- the dialog -----------------------------------------------------------------------------

CDlgIPCParamSetting::CDlgIPCParamSetting(QWidget* parent) : CFramedDialog(kTemplateId, parent) {
  plat::Named(this, kTemplateId);
  resize(kPageWidth + 2 * kInset + 2 * kBorder, ClientTop() + kTabHeight + kPageHeight + 2 * kInset + kBorder);
  m_tabs = MakeControl<QTabBar>(this, IDC_TAB, QRect(kBorder + kInset, ClientTop() + kInset, kPageWidth, kTabHeight));
  m_tabs->setExpanding(false);
  m_tabs->setDrawBase(true);
  connect(m_tabs, &QTabBar::currentChanged, this, &CDlgIPCParamSetting::ShowPage);
  // The pages have no button that ends the dialog: the caption carries one, as Escape does.
  m_close = MakeControl<QToolButton>(this, IDC_CLOSE, QRect(0, 2, kCaptionHeight - 4, kCaptionHeight - 4));
  m_close->setText(QStringLiteral("\u00D7"));
  m_close->setAutoRaise(true);
  m_close->setStyleSheet(QStringLiteral("QToolButton { color: white; border: none; font-size: 16px; }"
                                        "QToolButton:hover { background: #505050; }"));
  connect(m_close, &QToolButton::clicked, this, &QDialog::reject);
  PlaceCloseButton();
}

void CDlgIPCParamSetting::PlaceCloseButton() { m_close->move(width() - kBorder - m_close->width() - 2, 2); }

// The session's work goes with the dialog's members, before the pages: a result still on its
// way is dropped, and the close is queued behind it.
CDlgIPCParamSetting::~CDlgIPCParamSetting() = default;

void CDlgIPCParamSetting::Open(const std::u16string& guid, const IpcLogin& login) {
  EnsurePages();
  m_work = std::make_unique<CIpcWork>(guid);
  m_state = State::kConnecting;
  for (int i = 0; i < kPageCount; ++i) Page(i)->ShowBusy(IDS_IPC_CONNECTING);
  m_work->Open(login, [this](bool opened) { OnLogin(opened); });
}

// Once in, the pages read in tab order, one exchange each (the video page two).
void CDlgIPCParamSetting::OnLogin(bool opened) {
  // Closed by the user while it connected: whatever the login came to, nothing is said.
  if (!isVisible()) return;
  if (!opened) {
    m_state = State::kFailed;
    reject();
    return;
  }
  m_state = State::kOpen;
  for (int i = 0; i < kPageCount; ++i) Page(i)->Load(*m_work);
}

void CDlgIPCParamSetting::EnsurePages() {
  if (m_pages[0]) return;
  m_pages = {new CDlgIPCDevInfo(this),    new CDlgIPCNetParam(this), new CDlgIPCVideoParam(this),
             new CDlgIPCVideoParamII(this), new CDlgIPCAudioParam(this), new CDlgIPCPTZParam(this)};
  constexpr uint32_t kTitles[kPageCount] = {IDS_IPC_PAGE_DEVICE_INFO, IDS_IPC_PAGE_NETWORK, IDS_IPC_PAGE_VIDEO,
                                            IDS_IPC_PAGE_VIDEO_II,    IDS_IPC_PAGE_AUDIO,   IDS_IPC_PAGE_PTZ};
  for (int i = 0; i < kPageCount; ++i) {
    m_tabs->addTab(Text(kTitles[i]));
    Page(i)->ShowBusy(IDS_IPC_CONNECTING);
  }
  // Wide enough for every tab's title in either language.
  const int width = std::max(kPageWidth, m_tabs->sizeHint().width() + 4);
  m_tabs->resize(width, kTabHeight);
  resize(width + 2 * kInset + 2 * kBorder, height());
  PlaceCloseButton();
  const QRect area(kBorder + kInset, ClientTop() + kInset + kTabHeight, width, kPageHeight);
  for (QWidget* page : m_pages) page->setGeometry(area);
  m_tabs->setCurrentIndex(0);
  ShowPage(0);
}

void CDlgIPCParamSetting::ShowPage(int index) {
  for (int i = 0; i < kPageCount; ++i)
    if (m_pages[i]) m_pages[i]->setVisible(i == index);
}

bool CDlgIPCParamSetting::OnInitDialog() {
  setWindowTitle(Text(IDS_IPC_SETUP));
  EnsurePages();
  return true;
}
