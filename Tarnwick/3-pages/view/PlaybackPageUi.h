#pragma once
// What the playback controllers ask of their page's widgets, and the records they share with
// it. The controllers hold the logic of the two playback pages; the pages show what they are
// told and route their buttons, sliders and time bar to them.
#include <string>

#include "Hollin.h"
#include "plat/window.h"
#include "view/ScheduleCtrl.h"

// One file a search found: the name a cell carries and its span.
struct FoundFile {
  std::u16string name;
  TIME start{};
  TIME end{};
};

// The cell of a found file; an end on a later day than the start ends the cell at 24:00:00.
ScheduleCell CellOf(const FoundFile& file);

// The device and channel a search ran for; playing and downloading use these, never what the
// tree shows later. The device is found again by its GUID when used.
struct SearchOrigin {
  std::u16string deviceGuid;
  int channelIndex = -1;  // 0-based
  int deviceType = 0;
  bool Valid() const { return !deviceGuid.empty() && channelIndex >= 0; }
};

// Which frame steps the player of the file on show can make. The page shows a step it cannot
// make unavailable: pressed, it would turn the Play button to a state the playback is not in.
struct PlayAbilities {
  bool frameBack = true;
  bool frameForward = true;
  bool operator==(const PlayAbilities&) const = default;
};

class IPlaybackPageUi {
 public:
  virtual ~IPlaybackPageUi() = default;
  // The page's window: a search worker posts WM_PLAYBACK_FOUND to it when it found files.
  virtual plat::WindowHandle PageWindow() = 0;
  // The play window of the page's one slot (0 when none).
  virtual plat::WindowHandle PlayWindow() = 0;

  // The time bar.
  virtual void ClearCells() = 0;
  virtual void AddCell(const ScheduleCell& cell) = 0;
  virtual std::u16string CellName(int index) = 0;

  // The control strip.
  virtual void SetPlayButton(int state) = 0;  // 1 shows pause, 0 play
  virtual void SetSoundButton(int state) = 0;
  virtual void SetPosition(int value) = 0;     // 0 to 100; not while the user holds the thumb
  virtual void SetVolume(int value) = 0;
  virtual int VolumeMaximum() = 0;
  // A file is being opened for play (the play window says so) or not.
  virtual void ShowOpening(bool opening) = 0;
  virtual void ShowAbilities(const PlayAbilities& abilities) = 0;
  // The remote page's download progress box.
  virtual void SetProgressText(const std::u16string& /*text*/) {}
};
