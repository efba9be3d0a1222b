#pragma once
// The local playback page of the main window: finds the recordings of a channel and day in
// the recording folders and the download folder, shows them on the time bar and plays them
// with the device layer's local player of the device's type.
#include <QTimer>
#include <mutex>
#include <string>

#include "view/PlaybackNames.h"
#include "view/PlaybackPage.h"


class CDlgLPlayback : public CPlaybackPageBase {
  Q_OBJECT
 public:
  static constexpr int kTemplateId = 178;
  static constexpr int kDeviceTreeId = IDC_TREE;

  CDlgLPlayback();
  ~CDlgLPlayback() override;

  // True while a local playback runs on the page.
  bool IsPlaying() const { return m_heldPlaying || m_state >= 0; }
  // Holds the page as playing whatever it does (the main window's tests use it).
  void SetPlaying(bool playing) { m_heldPlaying = playing; }

  std::u16string PlayingPath() const { return m_playingPath; }
  std::u16string ChosenFile() const { return m_chosenFile; }
  IDevLocalPlayback* Player() const { return m_player; }
  void OnPositionTimer();

  // What a search compares walked files with: the chosen device and channel and the day.
  struct Filter {
    std::u16string deviceName;  // as the device list has it
    std::u16string ip;
    int port = 0;
    int channelIndex = -1;  // 0-based
    playback_names::Stamp dayStart, dayEnd;
  };
  // The cell span of a walked file, or false when it is not one of the filter's. The last
  // write time (for the end of recordings) is read from the file itself.
  static bool MatchLocalFile(const std::u16string& path, const Filter& filter, FoundFile& out);

 protected:
  bool OnInitDialog() override;
  void OnFind() override;
  void OnPlay() override;
  void OnSlow() override;
  void OnFast() override;
  void OnFrameBack() override;
  void OnFrameForward() override;
  void OnCellClicked(int index) override;
  void OnPositionMoved(int value) override;
  void OnVolumeMoved(int value) override;
  void StopDeviceWork(const std::u16string& deviceGuid) override;

 private:
  bool HasSlot() const override { return m_player != nullptr; }
  void StopSlot() override;
  void SlotSound(bool on) override;
  void SlotVolume(int value) override;
  bool SlotCapture(const char* nativePath) override;
  // Runs `step` on the player and shows play state `state`.
  void Drive(int (IDevLocalPlayback::*step)(), int state);

  bool m_heldPlaying = false;
  SearchOrigin m_resultsOrigin;
  SearchOrigin m_chosenOrigin;
  std::u16string m_chosenFile;
  IDevLocalPlayback* m_player = nullptr;
  std::u16string m_playingPath;
  QTimer m_positionTimer;
};
