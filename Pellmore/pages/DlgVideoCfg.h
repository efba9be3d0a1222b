#pragma once
// "Video Setting": per channel the main stream (recording) and the sub-stream (network) of the
// compression record: stream type, resolution, bit-rate type, maximum bit rate (from a list or
// a custom rate), frame rate and picture quality. What the lists offer follows the device's
// stream profile (0 or 2) and, for the sub-stream, the channel count. Lists are searched as
// the device's dialogs always searched them: the first item that begins with the text.
#include <cstdint>

#include "ChannelEntryPage.h"
#include "Controls.h"

class QPushButton;

namespace pellmore {

struct StreamParams {
  uint8_t streamType = 0;   // 0 video, 1 video and audio
  uint8_t resolution = 0;   // resolution code
  uint8_t bitrateType = 0;  // 0 variable, 1 fixed
  uint8_t quality = 0;      // 0 highest .. 5 lowest
  uint32_t bitrate = 0;     // bit-rate code, or kCustomRate + kbit/s
  uint32_t frameRate = 0;   // frame-rate code
  bool operator==(const StreamParams&) const = default;
};
static_assert(sizeof(StreamParams) == 12);

struct CompressionEntry {
  int32_t channel = 0;
  StreamParams main, sub;
  bool operator==(const CompressionEntry&) const = default;
};
static_assert(sizeof(CompressionEntry) == 28);

constexpr uint32_t kCustomRate = 0x80000000u;
// Where the main stream (first block) and the sub-stream (fourth block) lie in the record.
constexpr size_t kMainStreamAt = 4, kSubStreamAt = 88;

class CDlgVideoCfg : public ChannelEntryPage<CompressionEntry> {
 public:
  explicit CDlgVideoCfg(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override { return CollectEntries(records); }

  // Handlers (user actions).
  void OnStreamChange();
  void OnBitrateTypeChange();
  void OnBitrateChange();
  void OnFrameRateChange();
  void OnCustomLeft();
  void OnCopyTo();

 protected:
  void ShowEntry() override;
  void ReadEntry() override;
  CompressionEntry FromBlock(const ChannelParamBlock& block) override;
  void ToBlock(const CompressionEntry& entry, ChannelParamBlock& block) override;

 private:
  StreamParams& OnShowStream() { return stream_ == 0 ? onShow_.main : onShow_.sub; }
  void Refill();
  void ShowRates();  // frame rate, bit rate and the custom edit from the entry on show
  void RateCheck();
  int FramesPerSecond() const;

  int streamProfile_ = 0;  // the device-information byte at offset 56, signed
  int channelCount_ = 0;
  int stream_ = 0;  // 0 main, 1 sub
  QComboBox *channelList_, *streamList_, *streamType_, *resolution_, *bitrateType_, *bitrate_,
      *frameRate_, *quality_;
  LimitedEdit* custom_;
};

}  // namespace pellmore
