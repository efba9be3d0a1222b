#include "view/PlaybackPageSearch.h"

bool CPlaybackSearch::Found(FoundFile file) {
  if (cancel_) return false;
  {
    std::lock_guard<std::mutex> lock(foundMutex_);
    found_.push_back(std::move(file));
  }
  plat::postMessage(page_, WM_PLAYBACK_FOUND);
  return true;
}

bool CPlaybackSearch::SetAbort(std::function<void()> abort) {
  std::lock_guard<std::mutex> lock(abortMutex_);
  if (abort && cancel_) return false;
  abort_ = std::move(abort);
  return true;
}

void CPlaybackSearch::Cancel() {
  std::lock_guard<std::mutex> lock(abortMutex_);
  cancel_ = true;
  if (abort_) abort_();
}

std::deque<FoundFile> CPlaybackSearch::Take() {
  std::deque<FoundFile> batch;
  std::lock_guard<std::mutex> lock(foundMutex_);
  batch.swap(found_);
  return batch;
}
