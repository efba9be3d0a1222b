#pragma once
// Adding or modifying a device: name, type, channel count, register mode, address, port,
// user, password, DNS, manufacturer, and read-only the region and the product id. In add
// mode Scan searches the LAN; the devices found are listed under the form and a double-click
// copies one into it.
#include <QComboBox>
#include <QLineEdit>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "Farlook.h"
#include "Hollin.h"
#include "controls/ListCtrlEx.h"
#include "devices/FramedDialog.h"
#include "plat/window.h"

class CDevMgrModel;
class QPushButton;

constexpr uint32_t WM_SEARCH_RESULT = 2025;

class CDlgAddDev : public CFramedDialog {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 152;
  enum ControlId {
    IDC_OK = 1,
    IDC_CANCEL = 2,
    IDC_GROUP = 1319,
    IDC_SCAN = 1113,
    IDC_NAME = 1139,
    IDC_REGISTER_MODE = 1147,
    IDC_IP = 1152,
    IDC_PORT = 1158,
    IDC_USER = 1164,
    IDC_PASSWORD = 1169,
    IDC_REGION = 1180,
    IDC_PRODUCT_ID = 1207,
    IDC_CHANNELS = 1172,
    IDC_MANUFACTURER = 1128,
    IDC_DEVICE_TYPE = 1124,
    IDC_MULTICAST = 1175,
    IDC_DNS = 1179,
    IDC_RESULTS = 1143
  };
  static constexpr int kMaxChannels = 16;
  // Number, name, address, port, channels, MAC.
  static constexpr int kResultColumns = 6;

  explicit CDlgAddDev(CDevMgrModel* owner, QWidget* parent = nullptr);
  ~CDlgAddDev() override;  // ends the search: no callback outlives the dialog object

  // With a record or add set: copies the record (when given) and takes the mode and the
  // region's name. With neither, nothing changes.
  void SetInfo(const CDevInfo* info, const std::u16string& regionName, int add);
  const CDevInfo& Info() const { return m_info; }

  // OK: the checks; on success the record takes the form and the dialog ends with IDOK.
  bool Validate();
  void OnOK();
  void OnScan();
  intptr_t OnSearchResults();
  void OnResultDoubleClicked();

  int FullHeight() const { return m_fullHeight; }
  int CollapsedHeight() const { return m_collapsedHeight; }
  CListCtrlEx* Results() const { return m_results; }
  // Searches that ran to their end.
  int SearchesEnded() const { return m_sink->ended.load(); }

 protected:
  bool OnInitDialog() override;

 private:
  // What the search thread hands over: its found records, posted to the dialog's window. The
  // queue lives as long as the dialog object (as long as the page), beyond each showing.
  struct SearchSink {
    std::mutex mutex;
    std::deque<std::unique_ptr<tagDEVICEINFO>> queue;
    plat::WindowHandle window = 0;
    std::atomic<int> ended{0};  // searches that ran to their end (all they found handed over first)
  };
  static int OnDeviceFound(int type, tagDEVICEINFO* info, void* user);
  void AddResultRow(std::unique_ptr<tagDEVICEINFO> record);

  CDevMgrModel* m_owner;
  intptr_t m_search = 0;
  std::unique_ptr<SearchSink> m_sink;
  std::vector<std::unique_ptr<tagDEVICEINFO>> m_rows;  // the list's records, row by row
  CDevInfo m_info;
  int m_add = 1;
  std::u16string m_regionName;
  int m_fullHeight = 0;
  int m_collapsedHeight = 0;

  QLineEdit *m_name, *m_ip, *m_port, *m_user, *m_password, *m_region, *m_productId, *m_multicast, *m_dns;
  QComboBox *m_registerMode, *m_channels, *m_manufacturer, *m_deviceType;
  QPushButton* m_scan;
  CListCtrlEx* m_results;
};
