#pragma once
// The parameter engine of the configuration window: reads every record once, and writes back
// exactly the records marked as changed, in a fixed order, with a summary of what failed.
// No widgets: the window and the tests drive it alike. The device exchanges themselves (ReadAll,
// Write) touch nothing of the engine, so the window runs them on the session's queue; planning
// a Save and finishing it (marks, failed sets, summary) happen on the window's thread.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "Records.h"

namespace pellmore {

// One record write, with a copy of the bytes as they were when Save took them.
struct RecordWrite {
  const RecordKind* kind = nullptr;
  int index = 0;
  std::vector<uint8_t> bytes;
  bool ok = false;  // the device took it
  // Not taken, but not refused either: the request went out and no answer came in time, so
  // the device may hold it. Told as such, never as failed; the record stays marked.
  bool unanswered = false;
  // Where the result goes (engine-owned; touched only on the window's thread): the record's
  // changed mark, cleared on success; the failed set of its kind, or for a single record the
  // text its failure adds to the summary.
  bool* mark = nullptr;
  std::set<int>* failed = nullptr;
  uint32_t failText = 0;
  uint32_t nameText = 0;  // the record's page or kind, as the summary names it
};

// What one Save writes, in the fixed order: first the single records up to the network record,
// then the alarm inputs, outputs and channel records.
struct SavePlan {
  std::vector<RecordWrite> first;
  std::vector<RecordWrite> rest;
  bool network = false;  // the network record is the last of `first`
  QString unread;        // names of marked records whose read had failed (not written)
  QString heldBack;      // names of pages that kept their edits out of this Save
};

class ConfigEngine {
 public:
  explicit ConfigEngine(int32_t loginHandle);

  ConfigRecords& Records() { return *records_; }
  int32_t LoginHandle() const { return login_; }

  // Reads every record: device parameters, network, DDNS, NTP, then by the device's counts the
  // alarm inputs, alarm outputs and per channel picture, compression, schedule and decoder.
  // Once `cancelled` is set the remaining reads are skipped. Any thread.
  static std::unique_ptr<ConfigRecords> ReadAll(int32_t login,
                                                const std::atomic<bool>* cancelled = nullptr);
  void SetRecords(std::unique_ptr<ConfigRecords> records) { records_ = std::move(records); }
  // ReadAll here and now.
  void LoadAllParams() { SetRecords(ReadAll(login_)); }

  // The marked records to write: device parameters, DDNS, NTP, network, alarm inputs, alarm
  // outputs, then per channel compression, picture, decoder and schedule. A record whose read
  // failed is never written: its mark is dropped and the summary names it.
  SavePlan PlanSave();
  // Writes them (any thread), setting each one's `ok`.
  static void Write(int32_t login, std::vector<RecordWrite>& writes);
  // A write that went through clears its mark; one that failed stays marked and is tried again
  // by the next Save, and so does one that went unanswered, which the summary names apart
  // from the failures. Returns the summary.
  QString FinishSave(SavePlan& plan);
  // All three here and now; `networkWritten` runs after the network record was written, before
  // anything else is.
  QString SendChangedParams(const std::function<void()>& networkWritten = {});

  // One channel's picture record as it is now (result not checked, mark untouched); none for
  // a channel without a block, or whose picture could not be read.
  std::optional<RecordWrite> PictureWrite(int channel) const;
  void SaveChannelPicture(int channel);  // written here and now

 private:
  int32_t login_;
  std::unique_ptr<ConfigRecords> records_;
  // Members (0-based) whose last write failed, by kind.
  std::set<int> failedIn_, failedOut_, failedCompression_, failedPicture_, failedDecoder_,
      failedSchedule_;
};

}  // namespace pellmore
