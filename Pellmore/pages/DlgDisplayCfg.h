#pragma once
// "Display Setting": per channel the channel name, whether the name and the date are shown in
// the picture and the date format; its "Setting" button opens the OSD editor, in which the
// name and date frames are dragged over the channel's live video and every release writes
// their positions into the channel's picture record and sends it at once.
#include <QDialog>
#include <cstdint>
#include <mutex>

#include "ChannelEntryPage.h"
#include "Controls.h"
#include "LiveVideo.h"

class QCheckBox;

namespace pellmore {

struct DisplayEntry {
  int32_t channel = 0;
  uint8_t name[32] = {};  // narrow text, zero-padded (no terminator when all 32 are used)
  int32_t showName = 0;
  int32_t showDate = 0;
  int32_t dateFormat = 0;  // 0..5
  bool operator==(const DisplayEntry&) const = default;
};
static_assert(sizeof(DisplayEntry) == 48);

// A frame in picture pixels.
struct FrameF {
  float left = 0, top = 0, right = 0, bottom = 0;
};

class CDlgOSDSet : public QDialog {
 public:
  static constexpr int kWindowWidth = 352, kWindowHeight = 288;
  static constexpr float kDateWidth = 480, kNameWidth = 256, kFrameHeight = 32;
  enum Target { kNone = 0, kDate = 1, kName = 2 };

  // `picture`: the channel's picture record (positions read now, written at each release);
  // each release sends WM_SAVE_CHANNEL_PICTURE to `configWindow`, which writes it at once.
  CDlgOSDSet(QWidget* owner, const DisplayEntry& entry, uint8_t* picture,
             plat::WindowHandle configWindow);
  ~CDlgOSDSet() override;
  void done(int result) override;

  void OnMouseDown(QPoint p);
  void OnMouseMove(QPoint p);
  void OnMouseUp(QPoint p);

  FrameF DateFrame();
  FrameF NameFrame();
  float ScaleX();
  int32_t LiveHandle() const { return live_.Handle(); }
  VideoWindow* Video() const { return video_; }

  static void DrawOsd(int32_t handle, intptr_t dc, void* user, int32_t left, int32_t top,
                      int32_t right, int32_t bottom);

 private:
  int channel_;
  uint8_t* picture_;
  plat::WindowHandle configWindow_;
  VideoWindow* video_;
  LiveOverlay live_;
  QPoint last_;
  // Shared with the draw routine.
  std::mutex mu_;
  FrameF date_, name_;
  float scaleX_ = 0, scaleY_ = 0;
  bool latched_ = false;
  bool showDate_, showName_;
  Target target_ = kNone;
};

class CDlgDiaplayCfg : public ChannelEntryPage<DisplayEntry> {
 public:
  explicit CDlgDiaplayCfg(QWidget* parent);
  void Load(PageContext& context) override;
  bool CollectChanges(ConfigRecords& records) override { return CollectEntries(records); }
  void OnSetting();

 protected:
  void ShowEntry() override;
  void ReadEntry() override;
  DisplayEntry FromBlock(const ChannelParamBlock& block) override;
  void ToBlock(const DisplayEntry& entry, ChannelParamBlock& block) override;

 private:
  QComboBox *channelList_, *dateFormat_;
  QCheckBox *showName_, *showDate_;
  LimitedEdit* name_;
  ConfigRecords* records_ = nullptr;
  plat::WindowHandle configWindow_ = 0;
};

}  // namespace pellmore
