#include "devices/DlgAddDev.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <cstring>

#include "controls/EditLimit.h"
#include "controls/WindowMessages.h"
#include "devices/DevMgrModel.h"
#include "devices/DeviceFields.h"
#include "plat/text.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"

namespace {

// A text of a device's answer as the dialog shows and takes it: the control characters a
// device may send (escape sequences, DEL) never reach the list, the form or the device list.
QString DeviceText(const char* field, size_t size) {
  return QString::fromStdU16String(
      plat::withoutControls(plat::gbkToUtf16(std::string_view(field, strnlen(field, size)))));
}

// The login records carry user and password in fixed fields: 32 bytes for a recorder (type
// 1), 15 and a terminator for the camera protocol (types 2 and 4).
size_t LoginFieldBytes(int devType) { return devType == DEV_TYPE_DVR ? 32 : 15; }

// The device type combo's texts, by device type (1 to 4).
const char* const kTypeNames[] = {"DVR", "IPCamera", "MediaServer", "NVR"};

constexpr int kWidth = 560;
constexpr int kListTop = 300;
constexpr int kHeight = 480;

}  // namespace

CDlgAddDev::CDlgAddDev(CDevMgrModel* owner, QWidget* parent)
    : CFramedDialog(kTemplateId, parent), m_owner(owner), m_sink(std::make_unique<SearchSink>()) {
  CAMSEARCh_Startup(&m_search);
  resize(kWidth, kHeight);
  MakeControl<QGroupBox>(this, IDC_GROUP, QRect(10, 32, kWidth - 20, 222));
  struct Row {
    int label, control;
    bool combo;
  };
  const Row left[] = {{1320, IDC_NAME, false},       {1321, IDC_DEVICE_TYPE, true}, {1322, IDC_CHANNELS, true},
                      {1323, IDC_REGISTER_MODE, true}, {2524, IDC_IP, false},        {2525, IDC_PORT, false}};
  const Row right[] = {{2527, IDC_USER, false},         {2528, IDC_PASSWORD, false}, {2526, IDC_DNS, false},
                       {2530, IDC_MANUFACTURER, true},  {2531, IDC_REGION, false},   {2532, IDC_PRODUCT_ID, false}};
  for (int i = 0; i < 6; ++i) {
    const int y = 58 + i * 32;
    for (auto [row, x] : {std::pair{left[i], 20}, std::pair{right[i], 284}}) {
      MakeControl<QLabel>(this, row.label, QRect(x, y, 104, 24));
      const QRect field(x + 106, y, 148, 24);
      if (row.combo)
        MakeControl<QComboBox>(this, row.control, field);
      else
        MakeControl<QLineEdit>(this, row.control, field);
    }
  }
  MakeControl<QLabel>(this, 2529, QRect(22, 250, 104, 24))->hide();
  m_multicast = MakeControl<QLineEdit>(this, IDC_MULTICAST, QRect(128, 250, 148, 24));
  m_multicast->hide();
  auto edit = [this](int id) { return findChild<QLineEdit*>(QString::number(id)); };
  auto combo = [this](int id) { return findChild<QComboBox*>(QString::number(id)); };
  m_name = edit(IDC_NAME);
  m_ip = edit(IDC_IP);
  m_port = edit(IDC_PORT);
  m_user = edit(IDC_USER);
  m_password = edit(IDC_PASSWORD);
  m_dns = edit(IDC_DNS);
  m_region = edit(IDC_REGION);
  m_productId = edit(IDC_PRODUCT_ID);
  m_deviceType = combo(IDC_DEVICE_TYPE);
  m_channels = combo(IDC_CHANNELS);
  m_registerMode = combo(IDC_REGISTER_MODE);
  m_manufacturer = combo(IDC_MANUFACTURER);
  m_password->setEchoMode(QLineEdit::Password);
  m_port->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), m_port));
  m_region->setReadOnly(true);
  m_productId->setReadOnly(true);

  m_scan = MakeControl<QPushButton>(this, IDC_SCAN, QRect(14, 264, 110, 26));
  auto* ok = MakeControl<QPushButton>(this, IDC_OK, QRect(kWidth - 200, 264, 88, 26));
  auto* cancel = MakeControl<QPushButton>(this, IDC_CANCEL, QRect(kWidth - 102, 264, 88, 26));
  m_results = MakeControl<CListCtrlEx>(this, IDC_RESULTS, QRect(10, kListTop, kWidth - 20, kHeight - kListTop - 10));
  connect(m_scan, &QPushButton::clicked, this, [this] { OnScan(); });
  connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(IDC_CANCEL); });
  connect(m_results, &QTreeWidget::itemDoubleClicked, this, [this] { OnResultDoubleClicked(); });

  // While the dialog is closed its window is gone: what the search still finds stays queued
  // and is listed when the next search result is handled with the dialog up.
  m_sink->window = AttachWindow(this, [this](uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    return message == WM_SEARCH_RESULT && isVisible() ? OnSearchResults() : 0;
  });
}

CDlgAddDev::~CDlgAddDev() {
  CAMSEARCh_Cleanup(m_search);
  if (plat::WindowHandle h = WindowHandleOf(this)) plat::unregisterWindow(h);
}

void CDlgAddDev::SetInfo(const CDevInfo* info, const std::u16string& regionName, int add) {
  if (!info && !add) return;
  if (info) m_info = *info;
  m_add = add;
  m_regionName = regionName;
}

bool CDlgAddDev::OnInitDialog() {
  findChild<QPushButton*>(QString::number(IDC_OK))->setText(Text(IDS_OK));
  findChild<QPushButton*>(QString::number(IDC_CANCEL))->setText(Text(IDS_CANCEL));
  findChild<QGroupBox*>(QString::number(IDC_GROUP))->setTitle(Text(IDS_DEVICE_BASICS));
  m_scan->setText(Text(IDS_SCAN_DEVICES));
  const std::pair<int, uint32_t> labels[] = {
      {1320, IDS_DEVICE_NAME},   {1323, IDS_REGISTER_MODE}, {2524, IDS_IP},
      {2525, IDS_PORT},          {2527, IDS_USER_NAME},     {2528, IDS_PASSWORD},
      {2531, IDS_PARENT_REGION}, {2532, IDS_DEVICE_ID},     {1322, IDS_CHANNEL_COUNT},
      {2530, IDS_MANUFACTURER},  {1321, IDS_DEVICE_TYPE},   {2529, IDS_MULTICAST_ADDRESS}};
  for (auto [id, text] : labels) findChild<QLabel*>(QString::number(id))->setText(Text(text));
  findChild<QLabel*>(QString::number(2526))->setText(QStringLiteral("DNS"));

  m_deviceType->clear();
  int type = DEV_TYPE_DVR;
  for (const char* name : kTypeNames) m_deviceType->addItem(name, type++);
  m_channels->clear();
  for (int n = 1; n <= kMaxChannels; ++n) m_channels->addItem(QString::number(n), n);
  m_registerMode->clear();
  m_registerMode->addItem(Text(IDS_REGISTER_IP), 0);
  m_registerMode->addItem(Text(IDS_REGISTER_DOMAIN), 1);
  m_manufacturer->clear();
  m_manufacturer->addItem(Text(IDS_PRODUCT_NAME), 0);
  m_results->setHeaderHidden(false);
  m_results->setRootIsDecorated(false);
  m_results->setAllColumnsShowFocus(true);
  const std::pair<QString, int> columns[] = {
      {Text(IDS_NUMBER), 70}, {Text(IDS_DEVICE_NAME), 100},    {Text(IDS_IP), 100},
      {Text(IDS_PORT), 50},   {Text(IDS_CHANNEL_COLUMN), 70}, {"MAC", 100}};
  m_results->DeleteAllItems();
  m_rows.clear();
  m_results->setColumnCount(0);
  for (int c = 0; c < kResultColumns; ++c) m_results->InsertColumn(c, columns[c].first, columns[c].second);

  setWindowTitle(Text(m_add ? IDS_ADD_DEVICE : IDS_MODIFY_DEVICE));
  m_region->setText(QString::fromStdU16String(m_regionName));
  if (m_add) {
    m_deviceType->setCurrentIndex(DEV_TYPE_DVR - 1);
    m_channels->setCurrentIndex(kMaxChannels - 1);
    m_registerMode->setCurrentIndex(0);
    m_manufacturer->setCurrentIndex(0);
    for (QLineEdit* e : {m_name, m_ip, m_port, m_user, m_password, m_dns, m_multicast, m_productId}) e->clear();
    m_scan->show();
  } else {
    auto wide = [](const std::u16string& t) { return QString::fromStdU16String(t); };
    m_name->setText(wide(m_info.GetName()));
    m_deviceType->setCurrentIndex(m_info.GetDevType() - 1);
    m_channels->setCurrentIndex(std::clamp(m_info.GetChnNum(), 1, kMaxChannels) - 1);
    m_registerMode->setCurrentIndex(m_info.GetAddrType());
    m_ip->setText(wide(m_info.GetIP()));
    m_port->setText(QString::number(m_info.GetPort()));
    m_user->setText(wide(m_info.GetUserName()));
    m_password->setText(wide(m_info.GetPwd()));
    m_dns->setText(wide(m_info.GetDns()));
    m_multicast->setText(wide(m_info.GetMultiIP()));
    m_manufacturer->setCurrentIndex(m_info.GetManufactureID());
    m_productId->setText(wide(m_info.GetSN()));
    m_scan->hide();
  }
  m_deviceType->setEnabled(m_add != 0);
  m_manufacturer->setEnabled(m_add != 0);
  m_fullHeight = kHeight;
  m_collapsedHeight = kListTop;
  resize(width(), m_collapsedHeight);
  LimitTyping(m_name, static_cast<int>(kDeviceNameChars));
  return true;
}

bool CDlgAddDev::Validate() {
  const std::u16string name = m_name->text().toStdU16String();
  const std::u16string ip = m_ip->text().toStdU16String();
  const std::u16string user = m_user->text().toStdU16String();
  const std::u16string password = m_password->text().toStdU16String();
  const int devType = m_deviceType->currentData().toInt();
  auto refuse = [](uint32_t id) {
    Notice(id);
    return false;
  };
  if (name.empty()) return refuse(IDS_ENTER_DEVICE_NAME);
  // A longer name stored before stays as it is unless the user changes it.
  if (name.size() > kDeviceNameChars && (m_add || name != m_info.GetName()))
    return refuse(IDS_DEVICE_NAME_TOO_LONG);
  if (ip.empty()) return refuse(IDS_ENTER_DEVICE_ADDRESS);
  const int port = ParsePort(m_port->text().toStdU16String());
  if (port == 0) return refuse(IDS_BAD_PORT);
  if (NarrowLength(user) > LoginFieldBytes(devType)) return refuse(IDS_USER_NAME_TOO_LONG);
  if (NarrowLength(password) > LoginFieldBytes(devType)) return refuse(IDS_PASSWORD_TOO_LONG);
  CDevInfo next(name, ip, port, user, password, m_channels->currentIndex() + 1, m_multicast->text().toStdU16String(),
                m_dns->text().toStdU16String(), m_productId->text().toStdU16String(), u"",
                m_manufacturer->currentData().toInt(), m_registerMode->currentData().toInt(), devType,
                m_info.GetGuid(), m_info.GetRegionGuid());
  // The name is checked against the record held before; the record changes only once every
  // check passed, so a second OK after a refusal meets the same checks. The host is the
  // page's to test, after OK.
  if (m_owner && IsDuplicateDevice(*m_owner, next, m_add ? nullptr : &m_info, DeviceTreeNode::kDevice))
    return refuse(IDS_DEVICE_EXISTS);
  m_info = next;
  return true;
}

void CDlgAddDev::OnOK() {
  if (Validate()) done(IDC_OK);
}

void CDlgAddDev::OnScan() {
  resize(width(), m_fullHeight);
  m_results->DeleteAllItems();
  m_rows.clear();
  CAMSEARCh_SearchCma(m_search, &CDlgAddDev::OnDeviceFound, m_sink.get());
}

int CDlgAddDev::OnDeviceFound(int type, tagDEVICEINFO* info, void* user) {
  auto* sink = static_cast<SearchSink*>(user);
  if (type == CAMSEARCH_EVENT_DONE) ++sink->ended;
  if (type != CAMSEARCH_EVENT_FOUND || !info) return type;
  auto copy = std::make_unique<tagDEVICEINFO>(*info);
  std::lock_guard<std::mutex> lk(sink->mutex);
  sink->queue.push_back(std::move(copy));
  plat::postMessage(sink->window, WM_SEARCH_RESULT, 0, 0);
  return 0;
}

intptr_t CDlgAddDev::OnSearchResults() {
  for (;;) {
    std::unique_ptr<tagDEVICEINFO> record;
    {
      std::lock_guard<std::mutex> lk(m_sink->mutex);
      if (m_sink->queue.empty()) break;
      record = std::move(m_sink->queue.front());
      m_sink->queue.pop_front();
    }
    const bool known = std::any_of(m_rows.begin(), m_rows.end(), [&](const auto& r) {
      return std::memcmp(r->szMac, record->szMac, sizeof record->szMac) == 0;
    });
    if (!known) AddResultRow(std::move(record));
  }
  return 0;
}

void CDlgAddDev::AddResultRow(std::unique_ptr<tagDEVICEINFO> record) {
  const int row = m_results->GetItemCount();
  m_results->InsertItem(row, QString::asprintf("%02d", row + 1));
  m_results->SetItemText(row, 1, DeviceText(record->szName, sizeof record->szName));
  m_results->SetItemText(row, 2, DeviceText(record->szIP, sizeof record->szIP));
  m_results->SetItemText(row, 3, QString::number(record->nPort));
  m_results->SetItemText(row, 4, QString::number(record->nChannels));
  m_results->SetItemText(row, 5, DeviceText(record->szMac, sizeof record->szMac));
  m_results->SetItemData(row, reinterpret_cast<intptr_t>(record.get()));
  m_rows.push_back(std::move(record));
}

// A device found on the LAN is taken for an IP camera of one channel, whatever it reported.
void CDlgAddDev::OnResultDoubleClicked() {
  const int row = m_results->GetSelectedRow();
  auto* record = row >= 0 ? reinterpret_cast<const tagDEVICEINFO*>(m_results->GetItemData(row)) : nullptr;
  if (!record) return;
  m_name->setText(DeviceText(record->szName, sizeof record->szName));
  m_deviceType->setCurrentIndex(DEV_TYPE_IPC - 1);
  m_channels->setCurrentIndex(0);
  m_ip->setText(DeviceText(record->szIP, sizeof record->szIP));
  m_port->setText(QString::number(record->nPort));
}
