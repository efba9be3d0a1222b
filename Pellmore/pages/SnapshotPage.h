#pragma once
// The pattern of the pages that edit one record (or one part of a record): a snapshot of what
// was loaded or last collected and a working copy that the controls edit, compared byte for
// byte at Save.
#include <array>
#include <cstdint>
#include <cstring>

#include "PageRegistry.h"

namespace pellmore {

template <size_t N>
class SnapshotPage : public ConfigPage {
 public:
  using ConfigPage::ConfigPage;
  const std::array<uint8_t, N>& Working() const { return working_; }
  const std::array<uint8_t, N>& Snapshot() const { return snapshot_; }

 protected:
  void LoadBytes(const uint8_t* from) {
    std::memcpy(working_.data(), from, N);
    snapshot_ = working_;
  }
  // When the working copy differs from the snapshot: it becomes the snapshot and is copied
  // to `to`; true. Otherwise nothing is written; false.
  bool CommitTo(uint8_t* to) {
    if (working_ == snapshot_) return false;
    snapshot_ = working_;
    std::memcpy(to, working_.data(), N);
    return true;
  }
  std::array<uint8_t, N> snapshot_{}, working_{};
};

}  // namespace pellmore
