#pragma once
// The parameter dialog of an IP camera or network video recorder: six tabbed pages over one
// session of its own. Every exchange (the login, each page's read, each save, the close) runs
// on the device's queue, so the dialog opens at once and never holds up the program: its
// pages say they are connecting, then reading, until their record comes; a page whose read
// failed says so and keeps its controls and Save disabled; a Save says it is saving until
// the camera answers. A login that fails ends the dialog. Closing the dialog is immediate:
// the session's close follows on the queue behind whatever is still on its way.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QWidget>
#include <QToolButton>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "devices/DeviceWork.h"
#include "devices/DlgIPCParamSettingPages.h"
#include "devices/FramedDialog.h"

// The camera side of one dialog: its session and every exchange over it, on the device's
// queue (keyed by its GUID); results come back to the UI thread while this lives.
class CIpcWork {
 public:
  explicit CIpcWork(std::u16string guid) : m_guid(std::move(guid)) {}
  CIpcWork(const CIpcWork&) = delete;
  CIpcWork& operator=(const CIpcWork&) = delete;
  ~CIpcWork();  // the session's close goes to the queue behind what is on it
  // Logs in; `done(opened)`.
  void Open(IpcLogin login, std::function<void(bool)> done);
  // `work` over the session (null when it is not open) on the queue, then `done(result)`;
  // `failed` when the device's queue refused or dropped it, or it threw, so a page never
  // waits for an answer that will not come.
  template <class R>
  void Run(std::function<R(IPC_HANDLE)> work, std::function<void(R)> done, R failed) {
    devwork::Ask<R>(
        m_guid, [slot = m_slot, work = std::move(work)] { return work(slot->Get()); }, std::move(done), m_owner,
        std::move(failed));
  }

 private:
  std::u16string m_guid;
  std::shared_ptr<CIpcSessionSlot> m_slot = std::make_shared<CIpcSessionSlot>();
  devwork::Owner m_owner;
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

// What every page shares: its Save button (when it has one), the status line that tells of
// an exchange on its way or a failed read, and the rows of labels and controls.
class CDlgIPCPage : public QWidget {
  Q_OBJECT
 public:
  CDlgIPCPage(int templateId, QWidget* parent);
  QPushButton* SaveButton() const { return m_save; }
  QLabel* StatusLabel() const { return m_status; }
  virtual CIpcRecordPage& Record() = 0;
  // While the page's record is on its way: its controls disabled, `text` on the status line.
  void ShowBusy(uint32_t text);
  // Queues the page's read; the page fills in when the record comes, or says the read failed.
  void Load(CIpcWork& work);

 protected:
  // A label (from the string table, or `literal` when id is 0) and a control on the next row.
  template <typename W>
  W* Row(uint32_t label, int control, const QString& literal = {});
  // A button in the page's lower right corner (Save, or the picture page's defaults).
  QPushButton* AddCornerButton(int control, uint32_t text);
  void AddSaveButton(int control);
  void resizeEvent(QResizeEvent* e) override;
  // The controls from the record read (they are enabled before, so a page disables here what
  // it keeps disabled).
  virtual void Fill() = 0;
  CIpcWork* Work() const { return m_work; }
  // The notice for a save's result (`failure` for a failed set); Saved shows nothing.
  void ReportSave(IpcSaveResult result, uint32_t notice, uint32_t failure);
  // Sends the record on the queue, the page saying it saves meanwhile, and reports the
  // result when it comes; `saved` runs after a save the camera took.
  void SaveRecord(uint32_t failure, std::function<void()> saved = {});

 private:
  void EnableControls(bool on);
  void SetStatus(uint32_t text, bool failure);
  QPushButton* m_save = nullptr;
  QPushButton* m_corner = nullptr;
  QLabel* m_status;
  CIpcWork* m_work = nullptr;
  bool m_saving = false;
  int m_nextRow = 16;
};

class CDlgIPCDevInfo : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 206, IDC_INTERNAL = 1992, IDC_REGISTRATION = 1995, IDC_MODEL = 1844, IDC_FACTORY = 1994 };
  explicit CDlgIPCDevInfo(QWidget* parent);
  CIpcDevInfoPage& Page() { return m_page; }
  CIpcRecordPage& Record() override { return m_page; }

 private:
  void Fill() override;
  CIpcDevInfoPage m_page;
  std::array<QLineEdit*, 4> m_fields;
};

class CDlgIPCNetParam : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 207, IDC_SAVE = 202, IDC_MODE = 1986, IDC_IP = 1996, IDC_MASK = 1997, IDC_GATEWAY = 1998,
         IDC_DNS = 1999, IDC_DNS2 = 2000, IDC_MAC = 2001 };
  explicit CDlgIPCNetParam(QWidget* parent);
  CIpcNetPage& Page() { return m_page; }
  CIpcRecordPage& Record() override { return m_page; }
  void OnSave();

 private:
  void Fill() override;
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
  explicit CDlgIPCVideoParam(QWidget* parent);
  CIpcVideoPage& Page() { return m_page; }
  CIpcRecordPage& Record() override { return m_page; }
  void OnSave();

 private:
  void Fill() override;
  void FillLevels(int rateControl);
  CIpcVideoPage m_page;
  QComboBox *m_standard, *m_frameRate, *m_rateControl, *m_level;
};

class CDlgIPCVideoParamII : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 209, IDC_BRIGHTNESS = 2009, IDC_SATURATION = 2010, IDC_CONTRAST = 2011, IDC_DEFAULTS = 2062 };
  explicit CDlgIPCVideoParamII(QWidget* parent);
  CIpcPicturePage& Page() { return m_page; }
  CIpcRecordPage& Record() override { return m_page; }
  QSlider* Slider(CIpcPicturePage::Value v) const { return m_sliders[v]; }

 private:
  void Fill() override;
  // A scroll notification of any slider (Qt gives one per user action and one at the end of a
  // drag): the record with the three positions goes.
  void OnScroll();
  void Send();
  void Dispatch(const std::vector<uint8_t>& record);
  CIpcPicturePage m_page;
  std::array<QSlider*, CIpcPicturePage::kValueCount> m_sliders;
};

class CDlgIPCAudioParam : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 210, IDC_SAVE = 203, IDC_INPUT = 2012, IDC_CODEC = 2013, IDC_CHANNELS = 2014,
         IDC_WIDTH = 2015, IDC_RATE = 2016 };
  explicit CDlgIPCAudioParam(QWidget* parent);
  CIpcAudioPage& Page() { return m_page; }
  CIpcRecordPage& Record() override { return m_page; }
  void OnSave();

 private:
  void Fill() override;
  CIpcAudioPage m_page;
  QComboBox *m_input, *m_codec, *m_channels, *m_width, *m_rate;
};

class CDlgIPCPTZParam : public CDlgIPCPage {
  Q_OBJECT
 public:
  enum { kTemplate = 211, IDC_SAVE = 205, IDC_PROTOCOL = 2019, IDC_ADDRESS = 2027, IDC_SPEED = 2026 };
  explicit CDlgIPCPTZParam(QWidget* parent);
  CIpcPtzPage& Page() { return m_page; }
  CIpcRecordPage& Record() override { return m_page; }
  void OnSave();

 private:
  void Fill() override;
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
  ~CDlgIPCParamSetting() override;  // the session's close follows on the device's queue

  // Set by the opener before the dialog runs: logs in to the device on its queue (`guid`)
  // and, once in, reads every page in tab order. A failed login ends the dialog.
  void Open(const std::u16string& guid, const IpcLogin& login);
  bool LoggingIn() const { return m_state == State::kConnecting; }
  bool LoginFailed() const { return m_state == State::kFailed; }
  // Makes the pages, each saying what it waits for, when they are not made yet.
  void EnsurePages();
  QTabBar* Tabs() const { return m_tabs; }
  QWidget* PageWidget(int i) const { return m_pages[i]; }
  void ShowPage(int i);

 protected:
  bool OnInitDialog() override;

 private:
  enum class State { kIdle, kConnecting, kOpen, kFailed };
  void OnLogin(bool opened);
  CDlgIPCPage* Page(int i) const { return static_cast<CDlgIPCPage*>(m_pages[i]); }
  State m_state = State::kIdle;
  std::unique_ptr<CIpcWork> m_work;
  void PlaceCloseButton();
  QTabBar* m_tabs;
  QToolButton* m_close;
  std::array<QWidget*, kPageCount> m_pages{};
};
