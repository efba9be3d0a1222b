#pragma once
// Editing one channel of a device: its display number ("No."), transport and stream. Shows
// the channel item's text, the channel number and the device's name. The values go into the
// device's channel in memory.
#include <QComboBox>
#include <QLineEdit>
#include <string>

#include "devices/FramedDialog.h"

class CDevice;

class CDlgModifyChn : public CFramedDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 181;
  enum ControlId {
    IDC_OK = 1,
    IDC_CANCEL = 2,
    IDC_CHANNEL_TEXT = 1438,
    IDC_CHANNEL_NUMBER = 1441,
    IDC_DEVICE_NAME = 1139,
    IDC_USER_NO = 1445,
    IDC_TRANSPORT = 1999,
    IDC_STREAM = 1458
  };

  explicit CDlgModifyChn(QWidget* parent = nullptr);

  // The device and the 1-based number of the channel to edit; called before the dialog shows.
  void SetChannel(CDevice* device, int channel);
  // OK: the values into the device's channel (made when the device has none of that number).
  void Apply();

 protected:
  bool OnInitDialog() override;

 private:
  CDevice* m_device = nullptr;
  int m_channel = 0;
  QLineEdit *m_channelText, *m_channelNumber, *m_deviceName, *m_userNo;
  QComboBox *m_transport, *m_stream;
};
