#pragma once
// "Alarm Input Settings" and "Alarm Output Settings": one port at a time, its name, the
// input's sensor type and handling switch or the output's hold time, the arming schedule
// (CDlgGuardTime), for inputs the linkage (CDlgInvokeType), and "Copy to..." other ports
// (everything but the name).
#include <array>
#include <vector>

#include "Controls.h"
#include "PageRegistry.h"

class QComboBox;
class QCheckBox;
class QPushButton;
class QVBoxLayout;
class QGridLayout;

namespace pellmore {

// What both pages share: the port list, the address and name fields, the snapshot and the
// working copy of every port's record, and Copy.
template <size_t N>
class CAlarmPortPage : public ConfigPage {
 public:
  using PortRecord = std::array<uint8_t, N>;
  const std::vector<PortRecord>& WorkingList() const { return working_; }
  int PortOnShow() const { return onShow_; }

  void OnPortChange();
  void OnCopy();

 protected:
  CAlarmPortPage(QWidget* parent, uint32_t portLabelText, uint32_t portItemText,
                 const std::array<int, 6>& ids);  // port label, list; address label,
                                                  // field; name label, edit
  // Loads `count` records and shows the first port.
  template <class Rec>
  void LoadPorts(const std::vector<Rec>& records);
  // Every port that changed goes into `records` with its changed flag set.
  template <class Rec>
  void CommitPorts(std::vector<Rec>& records);

  virtual void ShowExtra(const uint8_t* record) = 0;
  virtual void SaveExtra(uint8_t* record) = 0;
  void SavePort();
  uint8_t* OnShowRecord() { return working_[static_cast<size_t>(onShow_)].data(); }

  QGridLayout* form_;
  QVBoxLayout* layout_;

 private:
  void ShowPort();

  std::vector<PortRecord> snapshot_, working_;
  int onShow_ = -1;
  uint32_t itemText_;
  QComboBox* ports_;
  QLineEdit* address_;
  LimitedEdit* name_;
};

class CDlgAlarmIn : public CAlarmPortPage<kAlarmInRecord.size> {
 public:
  explicit CDlgAlarmIn(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;
  void OnArming();
  void OnLinkage();
  void OnHandle();

 protected:
  void ShowExtra(const uint8_t* record) override;
  void SaveExtra(uint8_t* record) override;

 private:
  int channels_ = 0, outputs_ = 0;
  QComboBox* type_;
  QCheckBox* handle_;
  QPushButton *arming_, *linkage_;
};

class CDlgAlarmOut : public CAlarmPortPage<kAlarmOutRecord.size> {
 public:
  explicit CDlgAlarmOut(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override;
  void OnArming();

 protected:
  void ShowExtra(const uint8_t* record) override;
  void SaveExtra(uint8_t* record) override;

 private:
  QComboBox* hold_;
};

}  // namespace pellmore
