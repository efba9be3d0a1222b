#pragma once
// The pattern of the pages over a part of each channel's records: one entry per channel (it
// begins with the channel index), a snapshot list of what was loaded or last collected and a
// working list, the entry on show that the controls edit, and a channel list that switches
// between them. At Save every channel whose working entry is not == its snapshot goes into
// its block.
#include <QComboBox>
#include <algorithm>
#include <vector>

#include "ChannelPage.h"
#include "PageRegistry.h"

namespace pellmore {

inline ChannelParamBlock* BlockOf(ConfigRecords& records, int channel) {
  for (ChannelParamBlock& b : records.channels)
    if (b.channel == channel) return &b;
  return nullptr;
}

template <class Entry>
class ChannelEntryPage : public ConfigPage {
 public:
  using ConfigPage::ConfigPage;
  const Entry& OnShow() const { return onShow_; }
  Entry& OnShowForEdit() { return onShow_; }
  const std::vector<Entry>& WorkingList() const { return working_; }
  int ChannelOnShow() const { return shown_; }

  // Selection change of the channel list.
  void OnChannelChange(int position) {
    if (position < 0 || position == shown_) return;
    StoreOnShow();
    shown_ = position;
    if (Entry* e = WorkingOf(position)) {
      onShow_ = *e;
      ShowEntry();
    }
  }

 protected:
  // Controls from the entry on show, and back.
  virtual void ShowEntry() = 0;
  virtual void ReadEntry() = 0;
  // The entry of a block, and the entry's fields into the block (with its mark).
  virtual Entry FromBlock(const ChannelParamBlock& block) = 0;
  virtual void ToBlock(const Entry& entry, ChannelParamBlock& block) = 0;
  // Fills both lists, then the channel list, and shows the first channel.
  void LoadEntries(ConfigRecords& records, QComboBox* channelList, int channelCount) {
    snapshot_.clear();
    working_.clear();
    for (const ChannelParamBlock& b : records.channels) snapshot_.push_back(FromBlock(b));
    working_ = snapshot_;
    shown_ = -1;
    FillNumberedList(channelList, 4051, channelCount);
    if (channelList->count() > 0) OnChannelChange(0);
  }

  // The controls into the entry on show and that into the working list.
  void StoreOnShow() {
    if (shown_ < 0) return;
    ReadEntry();
    if (Entry* e = WorkingOf(shown_)) *e = onShow_;
  }

  Entry* WorkingOf(int channel) {
    auto it = std::find_if(working_.begin(), working_.end(),
                           [&](const Entry& e) { return e.channel == channel; });
    return it == working_.end() ? nullptr : &*it;
  }

  // Every changed channel into its block; never reports a single record.
  bool CollectEntries(ConfigRecords& records) {
    StoreOnShow();
    CommitChannels(snapshot_, working_, records,
                   [this](const Entry& e, ChannelParamBlock& b) { ToBlock(e, b); });
    return false;
  }

  std::vector<Entry> snapshot_, working_;
  Entry onShow_{};
  int shown_ = -1;
};

}  // namespace pellmore
