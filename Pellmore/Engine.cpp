#include "Engine.h"

#include <algorithm>

#include "HCNetSDK.h"
#include "Session.h"
#include "plat/log.h"

namespace pellmore {

namespace {

template <size_t N>
void Read(int32_t login, const RecordKind& kind, int index, Record<N>& r) {
  static_assert(N > 0);
  uint32_t returned = 0;
  r.readOk = NET_DVR_ReadConfig(login, kind.read, index, r.data(), N, &returned) == 1;
  if (!r.readOk) r.bytes.fill(0);  // what a failed read leaves is not the device's
}

template <size_t N>
bool Write(int32_t login, const RecordKind& kind, int index, const Record<N>& r) {
  return NET_DVR_WriteConfig(login, kind.write, index, r.data(), N) == 1;
}

// "%02d " per member, index plus 1, ascending.
QString Numbers(const std::set<int>& members) {
  QString s;
  for (int m : members) s += QString::asprintf("%02d ", m + 1);
  return s;
}

int Clamped(int count, size_t capacity, const char* what) {
  if (count <= static_cast<int>(capacity)) return count;
  PLAT_LOGW("Pellmore", "the device reports %d %s; only %zu are kept", count, what, capacity);
  return static_cast<int>(capacity);
}

}  // namespace

ConfigEngine::ConfigEngine(int32_t loginHandle)
    : login_(loginHandle), records_(std::make_unique<ConfigRecords>()) {}

void ConfigEngine::LoadAllParams() {
  ConfigRecords& r = *records_;
  Read(login_, kDeviceRecord, 0, r.device);
  Read(login_, kNetworkRecord, 0, r.network);
  Read(login_, kDdnsRecord, 0, r.ddns);
  Read(login_, kNtpRecord, 0, r.ntp);
  const int inputs = Clamped(r.device.bytes[kAlarmInCountAt], kMaxAlarmIn, "alarm inputs");
  const int outputs = Clamped(r.device.bytes[kAlarmOutCountAt], kMaxAlarmOut, "alarm outputs");
  const int channels = r.device.bytes[kChannelCountAt];
  r.alarmIn.assign(static_cast<size_t>(inputs), {});
  for (int i = 0; i < inputs; ++i) Read(login_, kAlarmInRecord, i, r.alarmIn[static_cast<size_t>(i)]);
  r.alarmOut.assign(static_cast<size_t>(outputs), {});
  for (int i = 0; i < outputs; ++i)
    Read(login_, kAlarmOutRecord, i, r.alarmOut[static_cast<size_t>(i)]);
  r.channels.clear();
  r.channels.reserve(static_cast<size_t>(channels));
  for (int i = 0; i < channels; ++i) {
    ChannelParamBlock& b = r.channels.emplace_back();
    b.channel = i;
    Read(login_, kPictureRecord, i, b.picture);
    Read(login_, kCompressionRecord, i, b.compression);
    Read(login_, kScheduleRecord, i, b.schedule);
    Read(login_, kDecoderRecord, i, b.decoder);
  }
}

QString ConfigEngine::SendChangedParams(const std::function<void()>& networkWritten) {
  ConfigRecords& r = *records_;
  QString summary;
  std::set<int> unreadIn, unreadOut, unreadCompression, unreadPicture, unreadDecoder,
      unreadSchedule;
  QString unreadSingles;
  // A record that could not be read holds zeros, not the device's values: writing it would
  // wipe the device's settings. It is dropped from this Save and named in the summary.
  auto unread = [&](auto& rec, uint32_t nameId) {
    if (!rec.changed || rec.readOk) return false;
    rec.changed = false;
    unreadSingles += LoadLangString(nameId) + QStringLiteral(" ");
    return true;
  };
  auto single = [&](auto& rec, const RecordKind& kind, uint32_t nameId, uint32_t failId) {
    if (!rec.changed || unread(rec, nameId)) return false;
    if (Write(login_, kind, 0, rec))
      rec.changed = false;
    else
      summary += LoadLangString(failId) + QStringLiteral("\n");
    return true;
  };
  single(r.device, kDeviceRecord, 4003, 4194);
  single(r.ddns, kDdnsRecord, 4015, 4195);
  single(r.ntp, kNtpRecord, 4016, 4196);
  if (single(r.network, kNetworkRecord, 4013, 4022) && networkWritten) networkWritten();

  auto each = [&](auto& rec, const RecordKind& kind, int index, std::set<int>& failed,
                  std::set<int>& notRead) {
    if (!rec.changed) return;
    if (!rec.readOk) {
      rec.changed = false;
      notRead.insert(index);
      return;
    }
    if (Write(login_, kind, index, rec)) {
      rec.changed = false;
      failed.erase(index);
    } else {
      failed.insert(index);
    }
  };
  for (int i = 0; i < r.AlarmInCount(); ++i)
    each(r.alarmIn[static_cast<size_t>(i)], kAlarmInRecord, i, failedIn_, unreadIn);
  for (int i = 0; i < r.AlarmOutCount(); ++i)
    each(r.alarmOut[static_cast<size_t>(i)], kAlarmOutRecord, i, failedOut_, unreadOut);
  for (ChannelParamBlock& b : r.channels) {
    each(b.compression, kCompressionRecord, b.channel, failedCompression_, unreadCompression);
    each(b.picture, kPictureRecord, b.channel, failedPicture_, unreadPicture);
    each(b.decoder, kDecoderRecord, b.channel, failedDecoder_, unreadDecoder);
    each(b.schedule, kScheduleRecord, b.channel, failedSchedule_, unreadSchedule);
  }
  const std::pair<const std::set<int>*, uint32_t> failures[] = {
      {&failedIn_, 4198},          {&failedOut_, 4200},     {&failedCompression_, 4202},
      {&failedPicture_, 4204},     {&failedDecoder_, 4208}, {&failedSchedule_, 4206}};
  for (const auto& [set, id] : failures)
    if (!set->empty()) summary += LoadLangString(id) + Numbers(*set) + QStringLiteral("\n");

  const std::pair<const std::set<int>*, uint32_t> notRead[] = {
      {&unreadIn, 4020},          {&unreadOut, 4021},     {&unreadCompression, 4005},
      {&unreadPicture, 4004},     {&unreadDecoder, 4018}, {&unreadSchedule, 4006}};
  for (const auto& [set, id] : notRead)
    if (!set->empty()) unreadSingles += LoadLangString(id) + QStringLiteral(" ") + Numbers(*set);
  if (!unreadSingles.isEmpty())
    summary += LoadLangString(4191) + QStringLiteral(" ") + unreadSingles.trimmed() + QStringLiteral("\n");

  if (summary.isEmpty()) summary = LoadLangString(4210);
  return summary;
}

void ConfigEngine::SaveChannelPicture(int channel) {
  for (const ChannelParamBlock& b : records_->channels) {
    if (b.channel != channel) continue;
    if (b.picture.readOk) Write(login_, kPictureRecord, channel, b.picture);
    return;
  }
}

}  // namespace pellmore
