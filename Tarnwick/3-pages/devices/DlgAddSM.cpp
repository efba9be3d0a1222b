#include "devices/DlgAddSM.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "controls/EditLimit.h"
#include "devices/DevMgrModel.h"
#include "devices/DeviceFields.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"

CDlgAddSM::CDlgAddSM(CDevMgrModel* owner, QWidget* parent) : CFramedDialog(kTemplateId, parent), m_owner(owner) {
  resize(300, 190);
  const int top = ClientTop() + 12;
  const int labels[] = {IDC_LABEL_NAME, IDC_LABEL_ADDRESS, IDC_LABEL_PORT, IDC_LABEL_REGION};
  QLineEdit** edits[] = {&m_name, &m_address, &m_port, &m_region};
  const int ids[] = {IDC_NAME, IDC_ADDRESS, IDC_PORT, IDC_REGION};
  for (int i = 0; i < 4; ++i) {
    MakeControl<QLabel>(this, labels[i], QRect(14, top + i * 30, 80, 22));
    *edits[i] = MakeControl<QLineEdit>(this, ids[i], QRect(100, top + i * 30, 180, 22));
  }
  LimitTyping(m_name, kDeviceNameChars);
  m_port->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), m_port));
  m_region->setReadOnly(true);
  auto* ok = MakeControl<QPushButton>(this, IDC_OK, QRect(60, top + 124, 80, 26));
  auto* cancel = MakeControl<QPushButton>(this, IDC_CANCEL, QRect(160, top + 124, 80, 26));
  connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(IDC_CANCEL); });
}

void CDlgAddSM::SetServer(const CDevInfo* info, const std::u16string& regionName, int add) {
  if (!info && !add) return;
  if (info) m_info = *info;
  m_regionName = regionName;
  m_add = add;
}

bool CDlgAddSM::OnInitDialog() {
  findChild<QPushButton*>(QString::number(IDC_OK))->setText(Text(IDS_OK));
  findChild<QPushButton*>(QString::number(IDC_CANCEL))->setText(Text(IDS_CANCEL));
  const std::pair<int, uint32_t> labels[] = {{IDC_LABEL_NAME, IDS_NAME},
                                             {IDC_LABEL_ADDRESS, IDS_ADDRESS},
                                             {IDC_LABEL_PORT, IDS_PORT},
                                             {IDC_LABEL_REGION, IDS_PARENT_REGION}};
  for (auto [id, text] : labels) findChild<QLabel*>(QString::number(id))->setText(Text(text));
  setWindowTitle(Text(m_add ? IDS_ADD_SERVER : IDS_MODIFY_SERVER));
  m_region->setText(QString::fromStdU16String(m_regionName));
  if (m_add) {
    m_name->clear();
    m_address->clear();
    m_port->clear();
  } else {
    m_name->setText(QString::fromStdU16String(m_info.GetName()));
    m_address->setText(QString::fromStdU16String(m_info.GetIP()));
    m_port->setText(QString::number(m_info.GetPort()));
  }
  return true;
}

void CDlgAddSM::OnOK() {
  CDevInfo next = m_info;
  const std::u16string name = m_name->text().toStdU16String();
  const std::u16string address = m_address->text().toStdU16String();
  if (name.empty()) return Notice(IDS_SERVER_NAME_EMPTY);
  // A longer name stored before stays as it is unless the user changes it.
  if (name.size() > kDeviceNameChars && (m_add || name != m_info.GetName()))
    return Notice(IDS_DEVICE_NAME_TOO_LONG);
  next.SetName(name);
  if (address.empty()) return Notice(IDS_ADDRESS_EMPTY);
  next.SetIP(address);
  const int port = ParsePort(m_port->text().toStdU16String());
  if (port == 0) return Notice(IDS_BAD_PORT);
  next.SetPort(port);
  // Checked against the record held before, so a refused rename stays refused; in both modes,
  // and the host too: devices are found by name and by host, each of which the device list
  // keeps unique.
  const CDevInfo* before = m_add ? nullptr : &m_info;
  if (m_owner && (IsDuplicateDevice(*m_owner, next, before, DeviceTreeNode::kStreamServer) ||
                  IsAddressTaken(*m_owner, next, before)))
    return Notice(IDS_SERVER_EXISTS);
  m_info = next;
  done(IDC_OK);
}
