#include "localplay/FileLocalPlayback.h"

#include <algorithm>
#include <cmath>

#include "localplay/AudioSink.h"
#include "localplay/LocalPlayback.h"

using hollin::localplay::FilePlayer;
using hollin::localplay::PlayState;

IDevLocalPlayback* MakeFileLocalPlayback() { return new CDevFileLocalPlayback(); }

int CDevFileLocalPlayback::Open(const char* file, HWND window) {
  fileName_ = file ? file : "";
  window_ = window;
  player_.reset();
  duration_ = 0;
  if (!file) return 0;
  auto player = std::make_unique<FilePlayer>();
  // Opened silent and paused on the first picture; the page sets the volume it wants.
  player->SetVolume(hollin::localplay::kSilentVolume);
  if (!player->Open(fileName_, window)) return 0;
  duration_ = player->Duration();
  player_ = std::move(player);
  return 1;
}

int CDevFileLocalPlayback::Close() {
  player_.reset();
  return 1;
}

int CDevFileLocalPlayback::Play(HWND) {
  if (!player_) return 0;
  if (player_->State() == PlayState::Running) return 1;
  return player_->Run() ? 1 : 0;
}

int CDevFileLocalPlayback::Stop() {
  if (!player_) return 0;
  return player_->Stop() ? 1 : 0;
}

int CDevFileLocalPlayback::Pause(int) {
  if (!player_) return 0;
  if (player_->State() == PlayState::Paused) return 1;
  return player_->Pause() ? 1 : 0;
}

int CDevFileLocalPlayback::Fast() {
  if (!player_) return 0;
  // The rates double and halve for as long as they are asked; a rate the player cannot
  // follow is refused by the player, which plays on at the rate it had.
  fastRate_ *= 2;
  if (!player_->SetRate(fastRate_)) return 0;
  if (player_->State() != PlayState::Running) player_->Run();
  return 1;
}

int CDevFileLocalPlayback::Slow() {
  if (!player_) return 0;
  slowRate_ /= 2;
  if (!player_->SetRate(slowRate_)) return 0;
  if (player_->State() != PlayState::Running) player_->Run();
  return 1;
}

int CDevFileLocalPlayback::Step() {
  if (!player_) return 1;
  player_->Step();
  return 1;
}

int CDevFileLocalPlayback::StepBack() {
  if (!player_) return 0;
  return player_->StepBack() ? 1 : 0;
}

int CDevFileLocalPlayback::CapturePicture(const char* path, int) {
  if (!player_ || !path) return 0;
  return player_->Snapshot(path) ? 1 : 0;
}

int CDevFileLocalPlayback::SetPlayPos(float fraction) {
  if (!player_ || !std::isfinite(fraction)) return 0;
  const double f = std::clamp(static_cast<double>(fraction), 0.0, 1.0);
  return player_->Seek(f * duration_) ? 1 : 0;
}

float CDevFileLocalPlayback::GetPlayPos() {
  // No duration, no fraction (never a division by zero).
  if (!player_ || duration_ <= 0) return 0;
  // The last picture starts one frame before the end of the file: a player that has shown it
  // and found nothing more is at the end.
  if (player_->AtEnd()) return 1.0f;
  return static_cast<float>(std::clamp(player_->Position() / duration_, 0.0, 1.0));
}

int CDevFileLocalPlayback::SetVolume(int volume) {
  if (!player_) return 0;
  player_->SetVolume(static_cast<long>(std::clamp(volume, 0, 100)) * 100 - 10000);
  return 1;
}

int CDevFileLocalPlayback::StopSound() {
  if (!player_) return 0;
  player_->SetVolume(hollin::localplay::kSilentVolume);
  return 1;
}

int CDevFileLocalPlayback::PlaySound() {
  if (!player_) return 0;
  player_->SetVolume(0);
  return 1;
}

int CDevFileLocalPlayback::GetTotalTime() {
  return player_ ? static_cast<int>(duration_) : 0;
}

int CDevFileLocalPlayback::GetPlayedTime() {
  return player_ ? static_cast<int>(player_->Position()) : 0;
}
