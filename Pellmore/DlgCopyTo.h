#pragma once
// "Copy to...": the channel picker the channel pages share. One row per channel; OK hands the
// checked channels to the page's callback, Cancel closes without calling it. Every channel
// of the device can be chosen (no 32-channel mask).
#include <QDialog>
#include <functional>
#include <set>
#include <vector>

class QCheckBox;
class QListWidget;

namespace pellmore {

using CopyToCallback = std::function<void(const std::set<int>& channels)>;

class CDlgCopyTo : public QDialog {
 public:
  CDlgCopyTo(QWidget* owner, int channelCount, CopyToCallback callback);
  void OnSelectAll();
  void OnOK();
  QListWidget* List() const { return list_; }

 private:
  QListWidget* list_;
  QCheckBox* all_;
  CopyToCallback callback_;
};

// Copies the working entry of channel `from` over the entries of the chosen channels; each
// target then gets back what stays per channel (`keep(target, original)`).
template <class Entry, class Keep>
void CopyToChannels(std::vector<Entry>& entries, int from, const std::set<int>& targets,
                    Keep keep) {
  if (from < 0 || from >= static_cast<int>(entries.size())) return;
  const Entry source = entries[static_cast<size_t>(from)];
  for (int t : targets) {
    if (t < 0 || t >= static_cast<int>(entries.size()) || t == from) continue;
    Entry& target = entries[static_cast<size_t>(t)];
    const Entry original = target;
    target = source;
    keep(target, original);
  }
}

}  // namespace pellmore
