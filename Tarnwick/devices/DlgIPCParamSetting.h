#pragma once
// The parameter dialog of an IP camera or network video recorder: six tabbed pages over one
// session, which the device manager page opens and hands over; the dialog closes the session
// when it goes. Every page reads its record when it is made and writes it back on its Save
// button (the picture page as its sliders move). A page whose read failed says so and keeps
// its controls and Save disabled. Each exchange blocks for at most the library's reply
// time-out, under the wait cursor.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>

#include "devices/DlgIPCParamSettingPages.h"
#include <QToolButton>

#include "devices/FramedDialog.h"

// Shows the wait cursor for its lifetime.
class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  void Restore();

 private:
  bool m_shown = true;
};

// Four octet edits with dots between them: an IPv4 address.
class CIPAddressCtrl : public QWidget {
  Q_OBJECT
 public:
  explicit CIPAddressCtrl(QWidget* parent);
  void SetAddress(const Ipv4Octets& octets);
  Ipv4Octets GetAddress() const;
  QLineEdit* Octet(int i) const { return m_octets[i]; }

 private:
  std::array<QLineEdit*, 4> m_octets;
};

// What every page shares: its Save button (when it has one), the line that tells of a failed
// read, and the rows of labels and controls.
class CDlgIPCPage : public QWidget {
  Q_OBJECT
 public:
  CDlgIPCPage(int templateId, QWidget* parent);
  QPushButton* SaveButton() const { return m_save; }
  QLabel* StatusLabel() const { return m_status; }

 protected:
  // A label (from the string table, or `literal` when id is 0) and a control on the next row.
  template <typename W>
  W* Row(uint32_t label, int control, const QString& literal = {});
  // A button in the page's lower right corner (Save, or the picture page's defaults).
  QPushButton* AddCornerButton(int control, uint32_t text);
  void AddSaveButton(int control);
  void resizeEvent(QResizeEvent* e) override;
  // Disables the page's controls and Save when its record could not be read.
  void ShowReadResult(bool ok);
  // The notice for a save's result (`failure` for a failed set); Saved shows nothing.
  void ReportSave(IpcSaveResult result, uint32_t notice, uint32_t failure);
  // Saves the record under the wait cursor and reports the result.
  IpcSaveResult SaveRecord(CIpcRecordPage& page, uint32_t failure);

 private:
  QPushButton* m_save = nullptr;
  QPushButton* m_corner = nullptr;
  QLabel* m_status;
  int m_nextRow = 16;
};

class CDlgIPCDevInfo : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 206, IDC_INTERNAL = 1992, IDC_REGISTRATION = 1995, IDC_MODEL = 1844, IDC_FACTORY = 1994 };
  CDlgIPCDevInfo(IPC_HANDLE session, QWidget* parent);
  CIpcDevInfoPage& Page() { return m_page; }

 private:
  CIpcDevInfoPage m_page;
};

class CDlgIPCNetParam : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 207, IDC_SAVE = 202, IDC_MODE = 1986, IDC_IP = 1996, IDC_MASK = 1997, IDC_GATEWAY = 1998,
         IDC_DNS = 1999, IDC_DNS2 = 2000, IDC_MAC = 2001 };
  static constexpr uint32_t IDS_CHANGED = 8656, IDS_CAPTION = 8381;
  CDlgIPCNetParam(IPC_HANDLE session, QWidget* parent);
  CIpcNetPage& Page() { return m_page; }
  void OnSave();

 private:
  void OnModeChanged(int index);
  CIpcNetPage m_page;
  QComboBox* m_mode;
  std::array<CIPAddressCtrl*, CIpcNetPage::kAddressCount> m_addresses;
  QLineEdit* m_mac;
};

class CDlgIPCVideoParam : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 208, IDC_SAVE = 204, IDC_STANDARD = 2004, IDC_FRAME_RATE = 2005, IDC_RATE_CONTROL = 2006,
         IDC_LEVEL = 2007 };
  CDlgIPCVideoParam(IPC_HANDLE session, QWidget* parent);
  CIpcVideoPage& Page() { return m_page; }
  void OnSave();

 private:
  void FillLevels(int rateControl);
  CIpcVideoPage m_page;
  QComboBox *m_standard, *m_frameRate, *m_rateControl, *m_level;
};

class CDlgIPCVideoParamII : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 209, IDC_BRIGHTNESS = 2009, IDC_SATURATION = 2010, IDC_CONTRAST = 2011, IDC_DEFAULTS = 2062 };
  CDlgIPCVideoParamII(IPC_HANDLE session, QWidget* parent);
  CIpcPicturePage& Page() { return m_page; }
  QSlider* Slider(CIpcPicturePage::Value v) const { return m_sliders[v]; }

 private:
  void OnMoved(CIpcPicturePage::Value which, int value);
  void SendNow();
  CIpcPicturePage m_page;
  std::array<QSlider*, CIpcPicturePage::kValueCount> m_sliders;
  QTimer m_pending;
  bool m_syncing = false;
};

class CDlgIPCAudioParam : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 210, IDC_SAVE = 203, IDC_INPUT = 2012, IDC_CODEC = 2013, IDC_CHANNELS = 2014,
         IDC_WIDTH = 2015, IDC_RATE = 2016 };
  CDlgIPCAudioParam(IPC_HANDLE session, QWidget* parent);
  CIpcAudioPage& Page() { return m_page; }
  void OnSave();

 private:
  CIpcAudioPage m_page;
  QComboBox *m_input, *m_codec, *m_channels, *m_width, *m_rate;
};

class CDlgIPCPTZParam : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 211, IDC_SAVE = 205, IDC_PROTOCOL = 2019, IDC_ADDRESS = 2027, IDC_SPEED = 2026 };
  CDlgIPCPTZParam(IPC_HANDLE session, QWidget* parent);
  CIpcPtzPage& Page() { return m_page; }
  void OnSave();

 private:
  CIpcPtzPage m_page;
  QLineEdit *m_protocol, *m_address, *m_speed;
};

class CDlgIPCParamSetting : public CFramedDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 212;
  enum { IDC_CLOSE = 2, IDC_TAB = 201 };
  static constexpr int kPageCount = 6;
  explicit CDlgIPCParamSetting(QWidget* parent = nullptr);
  ~CDlgIPCParamSetting() override;  // closes the session

  // Set by the opener before the dialog runs; the dialog owns it from then on.
  void SetSession(IPC_HANDLE session) { m_session = session; }
  IPC_HANDLE Session() const { return m_session; }
  // Makes the pages (each reads its record) when they are not made yet.
  void EnsurePages();
  QTabBar* Tabs() const { return m_tabs; }
  QWidget* PageWidget(int i) const { return m_pages[i]; }
  void ShowPage(int i);

 protected:
  bool OnInitDialog() override;

 private:
  IPC_HANDLE m_session = nullptr;
  void PlaceCloseButton();
  QTabBar* m_tabs;
  QToolButton* m_close;
  std::array<QWidget*, kPageCount> m_pages{};
};
