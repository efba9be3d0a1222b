#pragma once
// What the per-channel pages share: the channel list, "Copy to..." over the working entries
// (each keeps its own channel index), and Save's walk over the entries that changed.
#include <QComboBox>
#include <set>
#include <vector>

#include "DlgCopyTo.h"
#include "Records.h"
#include "Session.h"

namespace pellmore {

// `count` items "<text>01", "<text>02" ... of string `textId`; the first selected, no signal.
inline void FillNumberedList(QComboBox* list, uint32_t textId, int count) {
  const QSignalBlocker block(list);
  list->clear();
  const QString text = LoadLangString(textId);
  for (int i = 0; i < count; ++i)
    list->addItem(QStringLiteral("%1%2").arg(text).arg(i + 1, 2, 10, QLatin1Char('0')));
  list->setCurrentIndex(count > 0 ? 0 : -1);
}

// Runs "Copy to..." for the entry `from`: the chosen entries take it, keeping what `keep`
// puts back from the original.
template <class Entry, class Keep>
void RunCopyTo(QWidget* owner, std::vector<Entry>& entries, int from, Keep keep) {
  CDlgCopyTo dlg(owner, static_cast<int>(entries.size()),
                 [&entries, from, keep](const std::set<int>& chosen) {
                   CopyToChannels(entries, from, chosen, keep);
                 });
  dlg.exec();
}
template <class Entry>
void RunCopyTo(QWidget* owner, std::vector<Entry>& entries, int from) {
  RunCopyTo(owner, entries, from,
            [](Entry& target, const Entry& original) { target.channel = original.channel; });
}

// Every entry that differs from its snapshot becomes the snapshot and is written into the
// block of its channel by `write(entry, block)`, which sets that record's mark.
template <class Entry, class Write>
void CommitChannels(std::vector<Entry>& snapshot, const std::vector<Entry>& working,
                    ConfigRecords& records, Write write) {
  for (size_t i = 0; i < working.size() && i < snapshot.size(); ++i) {
    if (working[i] == snapshot[i]) continue;
    snapshot[i] = working[i];
    for (ChannelParamBlock& b : records.channels)
      if (b.channel == working[i].channel) write(working[i], b);
  }
}

}  // namespace pellmore
