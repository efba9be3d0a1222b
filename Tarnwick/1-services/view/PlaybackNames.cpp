#include "view/PlaybackNames.h"

#include <cstdio>

#include "plat/text.h"

namespace playback_names {

namespace {

constexpr char16_t kPreview[] = u"Preview";
constexpr char16_t kPreviewPrefix[] = u"Preview_";
constexpr size_t kShortNameLength = 19;
constexpr size_t kDownloadMinLength = 38;
constexpr size_t kStampLength = 14;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool AllDigits(const std::u16string& s, size_t at, size_t count) {
  if (at > s.size() || count > s.size() - at) return false;
  for (size_t i = at; i < at + count; ++i)
    if (!IsDigit(s[i])) return false;
  return true;
}

// The value of `count` digits at `at`; the caller has checked them.
int DigitsValue(const std::u16string& s, size_t at, size_t count) {
  int v = 0;
  for (size_t i = at; i < at + count; ++i) v = v * 10 + (s[i] - u'0');
  return v;
}

std::string Ascii(const std::u16string& s, size_t at, size_t count) {
  std::string out;
  for (size_t i = at; i < at + count && i < s.size(); ++i) out += static_cast<char>(s[i]);
  return out;
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool StartsWithNoCase(const std::u16string& s, const std::u16string& prefix) {
  if (prefix.size() > s.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(s[i]) != Lower(prefix[i])) return false;
  return true;
}

size_t LastSeparator(const std::u16string& path) { return path.find_last_of(u"\\/"); }

// A walked name's start against a name made now: letter case ignored, and a DEL, which names
// made before FileNamePart replaced it still hold, taken for the '_' it is now.
bool StartsWithMadeName(const std::u16string& walked, const std::u16string& made) {
  if (made.size() > walked.size()) return false;
  for (size_t i = 0; i < made.size(); ++i)
    if (Lower(walked[i] == 0x7F ? u'_' : walked[i]) != Lower(made[i])) return false;
  return true;
}

}  // namespace

std::u16string FileNamePart(std::u16string text) {
  for (char16_t& c : text)
    if (c == u'\\' || c == u'/' || c == u':' || plat::isControlChar(c)) c = u'_';
  for (size_t at = text.find(u".."); at != std::u16string::npos; at = text.find(u"..", at))
    text[at] = text[at + 1] = u'_';
  return text;
}

std::u16string RingDevicePart(const std::u16string& deviceName) {
  std::u16string part = FileNamePart(deviceName);
  size_t bytes = 0;
  for (size_t at = 0; at < part.size();) {
    const char16_t c = part[at];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && at + 1 < part.size() && part[at + 1] >= 0xDC00 &&
                      part[at + 1] <= 0xDFFF;
    const size_t units = pair ? 2 : 1;
    const size_t utf8 = pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    if (bytes + utf8 > kRingDevicePartBytes) {
      part.resize(at);
      break;
    }
    bytes += utf8;
    at += units;
  }
  return part;
}

Stamp MakeStamp(int year, int month, int day, int hour, int minute, int second) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%4d%02d%02d%02d%02d%02d", year, month, day, hour, minute, second);
  return buf;
}

bool IsStamp(const std::string& text) {
  if (text.size() != kStampLength) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::u16string RingRecordingName(const std::u16string& folder, int deviceType,
                                 const std::u16string& deviceName, int channel,
                                 const plat::LocalTime& now, uint32_t tick) {
  char stamp[96];
  std::snprintf(stamp, sizeof stamp, "_%02d_%4d%02d%02d_%02d%02d%02d_%d", channel, now.year,
                now.month, now.day, now.hour, now.minute, now.second, static_cast<int>(tick));
  std::u16string name =
      folder + u"\\" + kPreviewPrefix + RingDevicePart(deviceName) + plat::utf8ToUtf16(stamp);
  if (deviceType == 1) name += u".264";
  return name;
}

std::u16string DownloadFileName(int deviceType, const std::u16string& deviceName, int channel,
                                const Stamp& start, const Stamp& end,
                                const std::u16string& remoteName) {
  if (deviceType != 1) return FileNamePart(deviceName) + u"_" + FileNamePart(remoteName);
  char middle[32];
  std::snprintf(middle, sizeof middle, "_%02d_", channel);
  return FileNamePart(deviceName) + plat::utf8ToUtf16(middle) + plat::utf8ToUtf16(start) + u"_" +
         plat::utf8ToUtf16(end) + u".h264";
}

std::u16string NameOfPath(const std::u16string& path) {
  const size_t sep = LastSeparator(path);
  return sep == std::u16string::npos ? std::u16string() : path.substr(sep + 1);
}

std::u16string FolderOfPath(const std::u16string& path) {
  const size_t sep = LastSeparator(path);
  if (sep == std::u16string::npos || sep == 0) return {};
  const size_t before = path.find_last_of(u"\\/", sep - 1);
  const size_t from = before == std::u16string::npos ? 0 : before + 1;
  return path.substr(from, sep - from);
}

LocalKind ClassifyLocalFile(const std::u16string& path) {
  if (LastSeparator(path) == std::u16string::npos) return LocalKind::Ignored;
  const std::u16string name = NameOfPath(path);
  if (name.find(kPreview) != std::u16string::npos) return LocalKind::Recording;
  if (name.size() == kShortNameLength) return LocalKind::ShortRecording;
  if (name.size() >= kDownloadMinLength) return LocalKind::Download;
  return LocalKind::Ignored;
}

bool ParseRecordingName(const std::u16string& name, const std::u16string& deviceName,
                        ParsedName& out) {
  for (const std::u16string& part : {RingDevicePart(deviceName), FileNamePart(deviceName)}) {
    const std::u16string prefix = kPreviewPrefix + part + u"_";
    if (!StartsWithMadeName(name, prefix)) continue;
    // "NN_YYYYMMDD_HHMMSS"
    const size_t at = prefix.size();
    if (!AllDigits(name, at, 2) || name.size() < at + 18 || name[at + 2] != u'_' ||
        !AllDigits(name, at + 3, 8) || name[at + 11] != u'_' || !AllDigits(name, at + 12, 6))
      continue;
    out = ParsedName{};
    out.channel = DigitsValue(name, at, 2);
    out.start = Ascii(name, at + 3, 8) + Ascii(name, at + 12, 6);
    return true;
  }
  return false;
}

bool ParseShortRecordingName(const std::u16string& name, const std::u16string& folder,
                             ParsedName& out) {
  if (name.size() != kShortNameLength || !AllDigits(name, 0, 8) || !AllDigits(name, 9, 6))
    return false;
  const size_t last = folder.find_last_of(u'_');
  if (last == std::u16string::npos || last == 0) return false;
  const size_t middle = folder.find_last_of(u'_', last - 1);
  if (middle == std::u16string::npos || middle == 0) return false;
  const size_t portDigits = last - middle - 1;
  const size_t channelDigits = folder.size() - last - 1;
  if (portDigits == 0 || portDigits > 5 || !AllDigits(folder, middle + 1, portDigits) ||
      channelDigits == 0 || channelDigits > 3 || !AllDigits(folder, last + 1, channelDigits))
    return false;
  out = ParsedName{};
  out.ip = folder.substr(0, middle);
  out.port = DigitsValue(folder, middle + 1, portDigits);
  out.channel = DigitsValue(folder, last + 1, channelDigits);
  out.start = Ascii(name, 0, 8) + Ascii(name, 9, 6);
  return true;
}

bool ParseDownloadName(const std::u16string& name, std::u16string& deviceOut, ParsedName& out) {
  const size_t dot = name.find_last_of(u'.');
  // "<device>_NN_<14>_<14>" before the dot: at least 1 + 1 + 2 + 1 + 14 + 1 + 14 characters.
  if (dot == std::u16string::npos || dot < 34) return false;
  const size_t endAt = dot - 14;
  const size_t startAt = endAt - 15;
  const size_t channelAt = startAt - 3;
  if (!AllDigits(name, endAt, 14) || name[endAt - 1] != u'_' || !AllDigits(name, startAt, 14) ||
      name[startAt - 1] != u'_' || !AllDigits(name, channelAt, 2) || name[channelAt - 1] != u'_')
    return false;
  deviceOut = name.substr(0, channelAt - 1);
  out = ParsedName{};
  out.channel = DigitsValue(name, channelAt, 2);
  out.start = Ascii(name, startAt, 14);
  out.end = Ascii(name, endAt, 14);
  return true;
}

bool SameDevicePart(const std::u16string& walked, const std::u16string& deviceName) {
  const std::u16string made = FileNamePart(deviceName);
  return walked.size() == made.size() && StartsWithMadeName(walked, made);
}

bool SameTextNoCase(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

void StampClock(const Stamp& stamp, int& hour, int& minute, int& second) {
  hour = minute = second = 0;
  if (!IsStamp(stamp)) return;
  hour = (stamp[8] - '0') * 10 + (stamp[9] - '0');
  minute = (stamp[10] - '0') * 10 + (stamp[11] - '0');
  second = (stamp[12] - '0') * 10 + (stamp[13] - '0');
}

}  // namespace playback_names
