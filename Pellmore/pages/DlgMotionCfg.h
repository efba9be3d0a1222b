#pragma once
// The pages over parts of a channel's picture record: "Motion Detection" (CDlgMotionCfg),
// "Video Loss" (CDlgVideoLost), "Masking alarm" (CDlgAlarmMask, the camera being covered)
// and "Video masking" (CDlgVideoMask, the privacy mask). Each keeps its part of the record
// per channel; the area editor, the arming-time editor and the linkage editor edit the entry
// on show.
#include <array>

#include "ChannelEntryPage.h"
#include "DlgMotionArea.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSlider;
class QVBoxLayout;

namespace pellmore {

enum class AlarmSourceKind;

using VideoLossEntry = SubRecordEntry<QX_PIC_VIDEO_LOSS_SIZE>;
using TamperEntry = SubRecordEntry<QX_PIC_TAMPER_SIZE>;

// Offsets within the sub-records.
constexpr size_t kMotionEnableAt = 6145, kMotionHandlingAt = 6148, kMotionScheduleAt = 6248,
                 kMotionRecordFlagsAt = 6472;
constexpr size_t kLossEnableAt = 0, kLossHandlingAt = 4, kLossScheduleAt = 104;
constexpr size_t kTamperSensitivityAt = 0, kTamperHandlingAt = 12, kTamperScheduleAt = 112;

// What the alarm pages share: their sub-record of the picture record (at `at`), the channel
// row, the "Setting" groups, and opening the arming-time and linkage editors on a schedule
// and a handling block of the entry on show.
template <class Entry>
class AlarmPartPage : public ChannelEntryPage<Entry> {
 public:
  AlarmPartPage(QWidget* parent, size_t at);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override { return this->CollectEntries(records); }

 protected:
  // A group with a note and a "Setting" button; the button.
  QPushButton* SettingGroup(int groupId, uint32_t titleId, int noteId, uint32_t noteTextId,
                            int buttonId);
  void OpenArming(AlarmSourceKind kind, uint8_t* schedule);
  // The handling block (and, for motion, the record flags) of the entry on show.
  void OpenLinkage(AlarmSourceKind kind, uint8_t* handling, uint8_t* recordFlags);
  Entry FromBlock(const ChannelParamBlock& block) override;
  void ToBlock(const Entry& entry, ChannelParamBlock& block) override;

  size_t at_;

  QVBoxLayout* layout_;
  QComboBox* channelList_;
  int channelCount_ = 0;
  int alarmOutCount_ = 0;
};

class CDlgMotionCfg : public AlarmPartPage<MotionEntry> {
 public:
  explicit CDlgMotionCfg(QWidget* parent);
  void OnArea();

 protected:
  void ShowEntry() override;
  void ReadEntry() override;

 private:
  void EnableRule();
  QCheckBox* enable_;
  QPushButton *area_, *arming_, *linkage_;
};

class CDlgVideoLost : public AlarmPartPage<VideoLossEntry> {
 public:
  explicit CDlgVideoLost(QWidget* parent);

 protected:
  void ShowEntry() override;
  void ReadEntry() override;

 private:
  void EnableRule();
  QCheckBox* enable_;
  QPushButton *arming_, *linkage_;
};

// The slider has a position for each stored value: 0 off ("Close"), 1 low, 2 medium, 3 high.
class CDlgAlarmMask : public AlarmPartPage<TamperEntry> {
 public:
  explicit CDlgAlarmMask(QWidget* parent);

 protected:
  void ShowEntry() override;
  void ReadEntry() override;

 private:
  QSlider* slider_;
};

class CDlgVideoMask : public ChannelEntryPage<PrivacyMaskEntry> {
 public:
  explicit CDlgVideoMask(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override { return CollectEntries(records); }
  void OnArea();

 protected:
  void ShowEntry() override;
  void ReadEntry() override;
  PrivacyMaskEntry FromBlock(const ChannelParamBlock& block) override;
  void ToBlock(const PrivacyMaskEntry& entry, ChannelParamBlock& block) override;

 private:
  void EnableRule();
  QComboBox* channelList_;
  QCheckBox* enable_;
  QPushButton* area_;
};

}  // namespace pellmore
