#pragma once
// "Linkage mode": what the device does when an alarm source fires. A tab control with the
// handling tab (sound, e-mail, alarm outputs), the record tab (channels to record) and the
// PTZ tab (a preset, a cruise or a track per channel); which tabs show depends on the source.
// The dialog edits a copy and hands it back only on OK.
//
//   LinkageData d;   // counts, handling block and record flags of the channel's motion part
//   CDlgInvokeType dlg(this);
//   dlg.Setup(AlarmSourceKind::Motion, d, [&](const LinkageData& edited) { ...write back... });
//   dlg.exec();
#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>

#include "DlgGuardTime.h"

class QCheckBox;
class QComboBox;
class QListWidget;
class QTabWidget;

namespace pellmore {

// The handling block of an alarm source: u32 handling bits, then one byte per alarm output.
constexpr size_t kHandlingSize = 100;
constexpr uint32_t kHandleAudio = 0x02, kHandleOutputs = 0x08, kHandleEmail = 0x10;
constexpr int kMaxLinkOutputs = 96, kMaxRecordChannels = 64, kMaxPtzChannels = 16;

struct LinkageData {
  int alarmOutCount = 0;  // rows of the output list
  int channelCount = 0;   // rows of the record list and of the PTZ channel list
  std::array<uint8_t, kHandlingSize> handling{};
  std::array<uint8_t, kMaxRecordChannels> recordFlags{};
  std::array<uint8_t, 64> presetEnables{};
  std::array<uint8_t, kMaxPtzChannels> presetNumbers{}, cruiseEnables{}, cruiseNumbers{},
      trackEnables{}, trackNumbers{};

  // The parts of an alarm-input record (780 bytes) the linkage edits.
  static LinkageData FromAlarmIn(const uint8_t* record, int channelCount, int alarmOutCount);
  void ToAlarmIn(uint8_t* record) const;
};

class CDlgInvokeType : public QDialog {
 public:
  using ApplyFn = std::function<void(const LinkageData&)>;
  explicit CDlgInvokeType(QWidget* owner);

  // An alarm input: everything from its working record, written back there by OK.
  void Setup(uint8_t* alarmInRecord, int alarmOutCount, int channelCount);
  // Motion (handling and record tabs), video loss or tamper (handling tab): the opener fills
  // the data; OK hands the edited data to `apply`.
  void Setup(AlarmSourceKind kind, const LinkageData& data, ApplyFn apply);

  void OnOK();
  const LinkageData& Data() const { return data_; }
  QTabWidget* Tabs() const { return tabs_; }

  // The PTZ tab's channel on show and its mode boxes.
  void ShowPtzChannel(int channel);
  void SavePtzChannel();
  void OnPtzMode(int mode);  // 0 preset, 1 cruise, 2 track

 private:
  void Fill();
  void EnableOutputs();
  void ClampNumber(int mode);

  LinkageData data_;
  AlarmSourceKind kind_ = AlarmSourceKind::AlarmIn;
  ApplyFn apply_;
  QTabWidget* tabs_;
  // Handling tab.
  QWidget* handlingTab_;
  QCheckBox *email_, *audio_, *outputs_, *outputsAll_;
  QListWidget* outputList_;
  // Record tab.
  QWidget* recordTab_;
  QListWidget* recordList_;
  // PTZ tab.
  QWidget* ptzTab_;
  QComboBox* ptzChannel_;
  std::array<QCheckBox*, 3> modes_{};
  std::array<LimitedEdit*, 3> numbers_{};
  std::array<SpinButtons*, 3> spins_{};
  int ptzOnShow_ = -1;
};

}  // namespace pellmore
