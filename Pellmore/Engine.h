#pragma once
// The parameter engine of the configuration window: reads every record once, and writes back
// exactly the records marked as changed, in a fixed order, with a summary of what failed.
// No widgets: the window and the tests drive it alike.
#include <QString>
#include <functional>
#include <memory>
#include <set>

#include "Records.h"

namespace pellmore {

class ConfigEngine {
 public:
  explicit ConfigEngine(int32_t loginHandle);

  ConfigRecords& Records() { return *records_; }
  int32_t LoginHandle() const { return login_; }

  // Reads every record: device parameters, network, DDNS, NTP, then by the device's counts the
  // alarm inputs, alarm outputs and per channel picture, compression, schedule and decoder.
  void LoadAllParams();

  // Writes the marked records: device parameters, DDNS, NTP, network (then `networkWritten`
  // runs, before anything else is written), alarm inputs, alarm outputs, then per channel
  // compression, picture, decoder and schedule. A write that fails stays marked and is tried
  // again by the next call; a record whose read failed is never written. Returns the summary.
  QString SendChangedParams(const std::function<void()>& networkWritten = {});

  // Writes one channel's picture record at once (result not checked, mark untouched).
  void SaveChannelPicture(int channel);

 private:
  int32_t login_;
  std::unique_ptr<ConfigRecords> records_;
  // Members (0-based) whose last write failed, by kind.
  std::set<int> failedIn_, failedOut_, failedCompression_, failedPicture_, failedDecoder_,
      failedSchedule_;
};

}  // namespace pellmore
