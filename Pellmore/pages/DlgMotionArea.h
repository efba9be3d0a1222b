#pragma once
// "locale setting": the area editor over the channel's live video. Mode 0 draws the cells of
// the motion grid (22 x 18 cells over the picture) and sets the sensitivity; mode 3 draws up to
// four privacy-mask rectangles that must not overlap. It edits the opener's entry in place;
// OK stores the slider (mode 0) or the rectangles (mode 3).
//
// The draw routines run on the SDK's display thread and draw into the picture; what they read
// (grid cells, rectangles, scales) is shared with the dialog under one lock.
#include <QDialog>
#include <array>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "LiveVideo.h"
#include "Saxtrum/PictureRecord.h"

class QCheckBox;
class QLabel;
class QSlider;

namespace pellmore {

constexpr int kGridColumns = 22, kGridRows = 18, kGridStride = 96, kGridBytes = 6144;
constexpr size_t kMotionSensitivityAt = 6144;
// The picture a recorder shows when no picture has come yet (D1).
constexpr int kNominalWidth = 704, kNominalHeight = 576;
constexpr int kAreaWindowWidth = 352, kAreaWindowHeight = 288;

// A part of the picture record, kept per channel.
template <size_t N>
struct SubRecordEntry {
  int32_t channel = 0;
  std::array<uint8_t, N> bytes{};
  bool operator==(const SubRecordEntry&) const = default;
};

// One channel's motion sub-record (grid, sensitivity, enable, handling, schedule, record
// flags), as the motion page keeps it.
struct MotionEntry : SubRecordEntry<QX_PIC_MOTION_SIZE> {
  uint8_t* grid() { return bytes.data(); }
};

struct MaskRect {
  uint16_t x = 0, y = 0, width = 0, height = 0;
  bool empty() const { return !x && !y && !width && !height; }
  bool operator==(const MaskRect&) const = default;
};
struct EditRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return !left && !top && !right && !bottom; }
  bool operator==(const EditRect&) const = default;
};

// One channel's privacy mask as the mask page keeps it: what the device stores (enable, four
// rectangles in picture units) and the area editor's working rectangles and scales (picture
// units per window pixel). The whole entry counts: a run of the editor leaves its rectangles
// and scales in it, and the channel's picture record is written at the next Save.
struct PrivacyMaskEntry {
  int32_t channel = 0;
  int32_t enable = 0;
  std::array<MaskRect, 4> rects{};
  std::array<EditRect, 4> edit{};
  float scaleX = 0, scaleY = 0;
  bool operator==(const PrivacyMaskEntry&) const = default;
};

// A sensitivity slider (positions 0 .. labels - 1) of a given width with each label (control
// id, string id) centred under its position.
class SensitivityScale : public QWidget {
 public:
  SensitivityScale(QWidget* parent, int sliderId, const std::vector<std::pair<int, uint32_t>>& labels,
                   int width);
  QSlider* Slider() const { return slider_; }
  // Shows or hides the slider and its labels.
  void Show(bool shown);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QSlider* slider_;
  std::vector<QLabel*> labels_;
  int pad_ = 0;
};

class CDlgMotionArea : public QDialog {
 public:
  enum Mode { kMotionGrid = 0, kPrivacyMask = 3 };
  CDlgMotionArea(QWidget* owner, MotionEntry* entry);
  CDlgMotionArea(QWidget* owner, PrivacyMaskEntry* entry);
  ~CDlgMotionArea() override;

  // Mouse in the video window (window pixels; a point outside is kept to the window).
  void OnMouseDown(QPoint p);
  void OnMouseUp(QPoint p);
  void OnClearAll();
  void OnOK();
  void done(int result) override;

  Mode GetMode() const { return mode_; }
  int32_t LiveHandle() const { return live_.Handle(); }
  int RectsInUse();
  VideoWindow* Video() const { return video_; }

  // The draw routines (user value: the editor).
  static void DrawGrid(int32_t handle, intptr_t dc, void* user, int32_t left, int32_t top,
                       int32_t right, int32_t bottom);
  static void DrawMasks(int32_t handle, intptr_t dc, void* user, int32_t left, int32_t top,
                        int32_t right, int32_t bottom);

 private:
  CDlgMotionArea(QWidget* owner, Mode mode, int channel);
  void Start();
  void Close();
  // Overlap of a stored rectangle and a new one in unrounded picture units, as the device
  // understands it: rectangles that share an edge overlap.
  struct Area {
    float left, top, right, bottom;
  };
  static bool CheckOverlap(const EditRect& stored, const Area& added);

  Mode mode_;
  int channel_;
  MotionEntry* motion_ = nullptr;
  PrivacyMaskEntry* mask_ = nullptr;
  VideoWindow* video_;
  QCheckBox* drawing_;
  SensitivityScale* scale_;
  QSlider* slider_;
  LiveOverlay live_;
  QPoint down_;
  bool downSeen_ = false;
  // Shared with the draw routines: the entry's cells, rectangles and scales, the latch of the
  // first picture and the picture's cell size.
  std::mutex mu_;
  bool latched_ = false;
  float pictureCellW_ = 0, pictureCellH_ = 0;
};

}  // namespace pellmore
