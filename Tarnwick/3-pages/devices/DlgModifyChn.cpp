#include "devices/DlgModifyChn.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "devices/DevMgrModel.h"
#include "devices/DeviceManager.h"
#include "plat/controlid.h"
#include "shell/Language.h"
#include "shell/StringIds.h"
#include "shell/Text.h"

CDlgModifyChn::CDlgModifyChn(QWidget* parent) : CFramedDialog(kTemplateId, parent) {
  plat::Named(this, kTemplateId);
  resize(300, 262);
  struct Row {
    const char* label;
    int control;
    bool combo;
  };
  // The template's own labels.
  const Row rows[] = {{"Channel", IDC_CHANNEL_TEXT, false}, {"Channel No.", IDC_CHANNEL_NUMBER, false},
                      {"Device", IDC_DEVICE_NAME, false},   {"No.", IDC_USER_NO, false},
                      {"Video Codec", IDC_TRANSPORT, true}, {"Stream", IDC_STREAM, true}};
  int y = ClientTop() + 12;
  for (const Row& r : rows) {
    MakeControl<QLabel>(this, r.control + 10000, QRect(14, y, 90, 24))->setText(r.label);
    if (r.combo)
      MakeControl<QComboBox>(this, r.control, QRect(110, y, 170, 24));
    else
      MakeControl<QLineEdit>(this, r.control, QRect(110, y, 170, 24));
    y += 32;
  }
  auto edit = [this](int id) { return findChild<QLineEdit*>(QString::number(id)); };
  auto combo = [this](int id) { return findChild<QComboBox*>(QString::number(id)); };
  m_channelText = edit(IDC_CHANNEL_TEXT);
  m_channelNumber = edit(IDC_CHANNEL_NUMBER);
  m_deviceName = edit(IDC_DEVICE_NAME);
  m_userNo = edit(IDC_USER_NO);
  m_transport = combo(IDC_TRANSPORT);
  m_stream = combo(IDC_STREAM);
  for (QLineEdit* e : {m_channelText, m_channelNumber, m_deviceName}) e->setReadOnly(true);
  m_userNo->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), m_userNo));
  auto* ok = MakeControl<QPushButton>(this, IDC_OK, QRect(60, y + 6, 80, 26));
  auto* cancel = MakeControl<QPushButton>(this, IDC_CANCEL, QRect(160, y + 6, 80, 26));
  connect(ok, &QPushButton::clicked, this, [this] {
    Apply();
    done(IDC_OK);
  });
  connect(cancel, &QPushButton::clicked, this, [this] { done(IDC_CANCEL); });
}

void CDlgModifyChn::SetChannel(CDevice* device, int channel) {
  m_device = device;
  m_channel = channel;
}

// The channel is the device's own of that number (1-based, as the trees and the device layer
// count), made when the device does not have it yet.
bool CDlgModifyChn::OnInitDialog() {
  setWindowTitle(Text(IDS_MODIFY_CHANNEL));
  findChild<QPushButton*>(QString::number(IDC_OK))->setText(Text(IDS_OK));
  findChild<QPushButton*>(QString::number(IDC_CANCEL))->setText(Text(IDS_CANCEL));
  m_channelText->setText(QString::fromStdU16String(CDevMgrModel::ChannelText(m_channel)));
  m_channelNumber->setText(QString::number(m_channel));
  m_deviceName->setText(m_device ? QString::fromStdU16String(m_device->GetDevInfo().GetName()) : QString());
  m_deviceName->setCursorPosition(0);  // a long name shows its beginning
  CChannel* channel = m_device ? CDeviceManager::GetInstance()->GetChannel(m_device, m_channel) : nullptr;
  m_userNo->setText(channel && channel->GetUserNo() > 0 ? QString::number(channel->GetUserNo()) : QString());
  m_transport->clear();
  m_transport->addItem(QStringLiteral("TCP"), 0);
  m_stream->clear();
  m_stream->addItem(Text(IDS_MAIN_STREAM), 0);
  m_stream->addItem(Text(IDS_SUB_STREAM), 1);
  // Each list shows the channel's own value (an unknown one: no selection): the stream list
  // its stream, so an OK that did not touch it keeps a stored sub stream.
  m_transport->setCurrentIndex(m_transport->findData(channel ? channel->GetTransport() : 0));
  m_stream->setCurrentIndex(m_stream->findData(channel ? channel->GetStreamType() : 0));
  return true;
}

void CDlgModifyChn::Apply() {
  if (!m_device || m_channel < 1) return;
  CChannel* channel = CDeviceManager::GetInstance()->GetChannel(m_device, m_channel);
  if (!channel) return;
  channel->SetUserNo(m_userNo->text().toInt());
  channel->SetTransport(m_transport->currentData().toInt());
  channel->SetStreamType(m_stream->currentData().toInt());
}
