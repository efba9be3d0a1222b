#include "Engine.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "RecNet.h"
#include "Session.h"
#include "plat/log.h"

namespace pellmore {

namespace {

template <size_t N>
void Read(int32_t login, const RecordKind& kind, int index, Record<N>& r) {
  static_assert(N > 0);
  uint32_t returned = 0;
  r.readOk = RecNet_ReadConfig(login, kind.read, index, r.data(), N, &returned) == 1;
  if (!r.readOk) r.bytes.fill(0);  // what a failed read leaves is not the device's
}

template <size_t N>
RecordWrite WriteOf(const RecordKind& kind, int index, Record<N>& r) {
  RecordWrite w;
  w.kind = &kind;
  w.index = index;
  w.bytes.assign(r.bytes.begin(), r.bytes.end());
  w.mark = &r.changed;
  return w;
}

// "%02d " per member, index plus 1, ascending.
QString Numbers(const std::set<int>& members) {
  QString s;
  for (int m : members) s += QString::asprintf("%02d ", m + 1);
  return s;
}

// The per-member kinds as the summary names them: alarm inputs, alarm outputs, then the
// channel records compression, picture, decoder and schedule.
constexpr uint32_t kKindNames[] = {4020, 4021, 4005, 4004, 4018, 4006};

int Clamped(int count, size_t capacity, const char* what) {
  if (count <= static_cast<int>(capacity)) return count;
  PLAT_LOGW("Pellmore", "the device reports %d %s; only %zu are kept", count, what, capacity);
  return static_cast<int>(capacity);
}

}  // namespace

ConfigEngine::ConfigEngine(int32_t loginHandle)
    : login_(loginHandle), records_(std::make_unique<ConfigRecords>()) {}

std::unique_ptr<ConfigRecords> ConfigEngine::ReadAll(int32_t login,
                                                     const std::atomic<bool>* cancelled) {
  auto records = std::make_unique<ConfigRecords>();
  ConfigRecords& r = *records;
  auto go = [cancelled] { return !cancelled || !cancelled->load(); };
  if (go()) Read(login, kDeviceRecord, 0, r.device);
  if (go()) Read(login, kNetworkRecord, 0, r.network);
  if (go()) Read(login, kDdnsRecord, 0, r.ddns);
  if (go()) Read(login, kNtpRecord, 0, r.ntp);
  const int inputs = Clamped(r.device.bytes[kAlarmInCountAt], kMaxAlarmIn, "alarm inputs");
  const int outputs = Clamped(r.device.bytes[kAlarmOutCountAt], kMaxAlarmOut, "alarm outputs");
  const int channels = r.device.bytes[kChannelCountAt];
  r.alarmIn.assign(static_cast<size_t>(inputs), {});
  for (int i = 0; i < inputs && go(); ++i)
    Read(login, kAlarmInRecord, i, r.alarmIn[static_cast<size_t>(i)]);
  r.alarmOut.assign(static_cast<size_t>(outputs), {});
  for (int i = 0; i < outputs && go(); ++i)
    Read(login, kAlarmOutRecord, i, r.alarmOut[static_cast<size_t>(i)]);
  r.channels.reserve(static_cast<size_t>(channels));
  for (int i = 0; i < channels && go(); ++i) {
    ChannelParamBlock& b = r.channels.emplace_back();
    b.channel = i;
    Read(login, kPictureRecord, i, b.picture);
    Read(login, kCompressionRecord, i, b.compression);
    Read(login, kScheduleRecord, i, b.schedule);
    Read(login, kDecoderRecord, i, b.decoder);
  }
  return records;
}

SavePlan ConfigEngine::PlanSave() {
  ConfigRecords& r = *records_;
  SavePlan plan;
  std::set<int> unreadIn, unreadOut, unreadCompression, unreadPicture, unreadDecoder,
      unreadSchedule;
  // A record that could not be read holds zeros, not the device's values: writing it would
  // wipe the device's settings. It is dropped from this Save and named in the summary.
  auto single = [&](auto& rec, const RecordKind& kind, uint32_t nameId, uint32_t failId) {
    if (!rec.changed) return false;
    if (!rec.readOk) {
      rec.changed = false;
      plan.unread += LoadLangString(nameId) + QStringLiteral(" ");
      return false;
    }
    plan.first.push_back(WriteOf(kind, 0, rec));
    plan.first.back().failText = failId;
    plan.first.back().nameText = nameId;
    return true;
  };
  single(r.device, kDeviceRecord, 4003, 4194);
  single(r.ddns, kDdnsRecord, 4015, 4195);
  single(r.ntp, kNtpRecord, 4016, 4196);
  plan.network = single(r.network, kNetworkRecord, 4013, 4022);

  auto each = [&](auto& rec, const RecordKind& kind, uint32_t nameId, int index,
                  std::set<int>& failed, std::set<int>& notRead) {
    if (!rec.changed) return;
    if (!rec.readOk) {
      rec.changed = false;
      notRead.insert(index);
      return;
    }
    plan.rest.push_back(WriteOf(kind, index, rec));
    plan.rest.back().failed = &failed;
    plan.rest.back().nameText = nameId;
  };
  for (int i = 0; i < r.AlarmInCount(); ++i)
    each(r.alarmIn[static_cast<size_t>(i)], kAlarmInRecord, kKindNames[0], i, failedIn_, unreadIn);
  for (int i = 0; i < r.AlarmOutCount(); ++i)
    each(r.alarmOut[static_cast<size_t>(i)], kAlarmOutRecord, kKindNames[1], i, failedOut_,
         unreadOut);
  for (ChannelParamBlock& b : r.channels) {
    each(b.compression, kCompressionRecord, kKindNames[2], b.channel, failedCompression_,
         unreadCompression);
    each(b.picture, kPictureRecord, kKindNames[3], b.channel, failedPicture_, unreadPicture);
    each(b.decoder, kDecoderRecord, kKindNames[4], b.channel, failedDecoder_, unreadDecoder);
    each(b.schedule, kScheduleRecord, kKindNames[5], b.channel, failedSchedule_, unreadSchedule);
  }
  const std::set<int>* notRead[] = {&unreadIn,      &unreadOut,     &unreadCompression,
                                    &unreadPicture, &unreadDecoder, &unreadSchedule};
  for (size_t k = 0; k < std::size(notRead); ++k)
    if (!notRead[k]->empty())
      plan.unread += LoadLangString(kKindNames[k]) + QStringLiteral(" ") + Numbers(*notRead[k]);
  return plan;
}

void ConfigEngine::Write(int32_t login, std::vector<RecordWrite>& writes) {
  for (RecordWrite& w : writes) {
    w.ok = RecNet_WriteConfig(login, w.kind->write, w.index, w.bytes.data(),
                               static_cast<uint32_t>(w.bytes.size())) == 1;
    w.unanswered = !w.ok && RecNet_GetLastError() == SDK_ERROR_NO_ANSWER;
  }
}

QString ConfigEngine::FinishSave(SavePlan& plan) {
  QString summary;
  // What went unanswered, by name in the order written: the single records' pages, then the
  // members of each kind.
  QString unanswered;
  std::map<uint32_t, std::set<int>> unansweredMembers;
  for (RecordWrite& w : plan.first) {
    if (w.ok)
      *w.mark = false;
    else if (w.unanswered)
      unanswered += LoadLangString(w.nameText) + QStringLiteral(" ");
    else
      summary += LoadLangString(w.failText) + QStringLiteral("\n");
  }
  for (RecordWrite& w : plan.rest) {
    if (w.ok) {
      *w.mark = false;
      w.failed->erase(w.index);
    } else if (w.unanswered) {
      // Not known to have failed: it leaves the failed set, and its mark sends it again.
      w.failed->erase(w.index);
      unansweredMembers[w.nameText].insert(w.index);
    } else {
      w.failed->insert(w.index);
    }
  }
  for (uint32_t id : kKindNames)
    if (auto it = unansweredMembers.find(id); it != unansweredMembers.end())
      unanswered += LoadLangString(id) + QStringLiteral(" ") + Numbers(it->second);
  const std::pair<const std::set<int>*, uint32_t> failures[] = {
      {&failedIn_, 4198},          {&failedOut_, 4200},     {&failedCompression_, 4202},
      {&failedPicture_, 4204},     {&failedDecoder_, 4208}, {&failedSchedule_, 4206}};
  for (const auto& [set, id] : failures)
    if (!set->empty()) summary += LoadLangString(id) + Numbers(*set) + QStringLiteral("\n");
  if (!plan.unread.isEmpty())
    summary += LoadLangString(4191) + QStringLiteral(" ") + plan.unread.trimmed() + QStringLiteral("\n");
  if (!plan.heldBack.isEmpty())
    summary += LoadLangString(9352) + QStringLiteral(" ") + plan.heldBack.trimmed() + QStringLiteral("\n");
  if (!unanswered.isEmpty())
    summary += LoadLangString(9351) + QStringLiteral(" ") + unanswered.trimmed() + QStringLiteral("\n");
  if (summary.isEmpty()) summary = LoadLangString(4210);
  return summary;
}

QString ConfigEngine::SendChangedParams(const std::function<void()>& networkWritten) {
  SavePlan plan = PlanSave();
  Write(login_, plan.first);
  if (plan.network && networkWritten) networkWritten();
  Write(login_, plan.rest);
  return FinishSave(plan);
}

std::optional<RecordWrite> ConfigEngine::PictureWrite(int channel) const {
  for (ChannelParamBlock& b : records_->channels) {
    if (b.channel != channel) continue;
    if (!b.picture.readOk) return std::nullopt;
    return WriteOf(kPictureRecord, channel, b.picture);
  }
  return std::nullopt;
}

void ConfigEngine::SaveChannelPicture(int channel) {
  if (auto w = PictureWrite(channel)) {
    std::vector<RecordWrite> one{std::move(*w)};
    Write(login_, one);
  }
}

}  // namespace pellmore
