#pragma once
// What the headless screen keeps for one window: its client size, the picture last presented
// to it, and whether its widget painted that picture yet.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "plat/surface.h"

#include "picture_memory.h"

namespace plat {

// How many readers hold a back surface's pictures through their windows. Counted under its
// own lock, so the surface that finds no holder also sees every read a holder made.
struct PictureHolds {
  std::mutex mutex;
  int count = 0;
};

struct WindowScreen {
  std::mutex mutex;
  int clientWidth = 0;
  int clientHeight = 0;
  PresentedFrame frame;
  std::shared_ptr<PictureHolds> frameHolds;  // the presenting surface's, when it lent its memory
  // Shared, so a present takes it with a count instead of copying what it captured.
  std::shared_ptr<const std::function<void()>> listener;
  // Paints noted by the window's widget while it is shown.
  bool painter = false;
  uint64_t paintedSerial = 0;
  std::condition_variable paintedChanged;
  bool paintedLocked() const { return !painter || paintedSerial >= frame.serial; }
  // A back surface draws its next picture into the memory this window shows (nobody else
  // holds it): whoever wants the picture waits until it is whole again.
  bool redrawing = false;
  std::condition_variable redrawnChanged;
  // Memory for pictures that are converted on present (partial or not 32-bit).
  std::shared_ptr<PictureMemory> converted = std::make_shared<PictureMemory>(2);
};

}  // namespace plat
