#pragma once
// Plays a local recording into a window: opens paused on the first picture, runs paced by
// the pictures' times at a chosen rate on a thread of its own, pauses, stops (back to the
// first picture), steps one picture forward or back, seeks, and saves the picture shown.
// Every operation may be called from the UI thread while the file plays.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "localplay/MediaFile.h"
#include "localplay/Picture.h"
#include "localplay/PictureRenderer.h"

namespace hollin::localplay {

enum class PlayState { Stopped, Paused, Running };

class FilePlayer {
 public:
  FilePlayer() = default;
  ~FilePlayer();  // closes
  FilePlayer(const FilePlayer&) = delete;
  FilePlayer& operator=(const FilePlayer&) = delete;

  // False when the file cannot be played; the player is then closed.
  bool Open(const std::string& path, plat::WindowHandle window);
  void Close();
  bool IsOpen() const;

  bool Run();
  bool Pause();
  bool Stop();
  PlayState State() const;
  bool SetRate(double rate);  // 1/16 .. 16; false for any other rate, which leaves it
  double Rate() const;
  bool Step();
  bool StepBack();
  bool Seek(double seconds);
  double Position() const;  // seconds of the picture shown
  // True once playing has shown the file's last picture (until a seek, step back or stop).
  bool AtEnd() const;
  double Duration() const;
  bool Snapshot(const std::string& path) const;  // the picture shown, as a BMP file
  void SetVolume(long centiDb);
  long Volume() const;
  // What the sound sink plays into (null before the first sound; tests).
  plat::AudioOutput* AudioDevice() const;

 private:
  void Worker();
  void Show(Picture p);  // presents and makes it the current picture (media lock held)
  void Reanchor();       // timing restarts from the current picture (state lock held)
  bool Current(uint64_t gen) const;  // nothing changed the play since gen (takes the state lock)
  // Lock order: media_ before state_; never media_ while holding state_.

  mutable std::mutex media_;  // the file and the current picture
  std::unique_ptr<MediaFile> file_;
  std::unique_ptr<PictureRenderer> renderer_;
  Picture current_;
  std::atomic<double> currentTime_{0};  // read for timing without the media lock
  long volume_ = 0;

  mutable std::mutex state_;  // state, rate, timing, thread control
  std::condition_variable wake_;
  PlayState playState_ = PlayState::Stopped;
  double rate_ = 1.0;
  bool open_ = false;
  bool quit_ = false;
  bool atEnd_ = false;
  uint64_t generation_ = 0;
  int64_t anchorMs_ = 0;
  double anchorTime_ = 0;
  std::thread thread_;
};

}  // namespace hollin::localplay
