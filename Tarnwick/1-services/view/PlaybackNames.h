#pragma once
// The names of local recordings and downloads: the recording ring and the remote playback
// page build them here, and the local playback page reads them back here, so writer and
// reader cannot drift apart. Every read is bounds-checked: names come from walked folders.
// No Qt and no file-system access: the callers bring the times they need.
#include <cstdint>
#include <string>

#include "plat/clock.h"

namespace playback_names {

// A stamp "YYYYMMDDHHMMSS" (14 digits).
using Stamp = std::string;

// User or device text made safe as part of one file name: path separators, the drive colon,
// control characters (DEL included) and ".." become '_'.
std::u16string FileNamePart(std::u16string text);

// The device part of the ring's names: FileNamePart(deviceName), cut at a character boundary
// to at most kRingDevicePartBytes bytes of UTF-8, so that the longest name the ring and a
// camera's recorder make of it (folder, stamps, tick, extension) stays within the 255 bytes
// a file name and the recorder's own name field hold.
inline constexpr size_t kRingDevicePartBytes = 168;
std::u16string RingDevicePart(const std::u16string& deviceName);

// "%4d%02d%02d%02d%02d%02d" of a calendar time.
Stamp MakeStamp(int year, int month, int day, int hour, int minute, int second);
// True for 14 decimal digits.
bool IsStamp(const std::string& text);

// The ring's name of a new recording in `folder` (which ends in a backslash; the name keeps
// the doubled separator the ring has always written): device type 1 gets the whole ".264"
// file name, types 2 and 4 the prefix their recorder completes with its own stamp and ".avi".
std::u16string RingRecordingName(const std::u16string& folder, int deviceType,
                                 const std::u16string& deviceName, int channel,
                                 const plat::LocalTime& now, uint32_t tick);

// The file name (no folder) of a download of a remote recording of `channel` (1-based) that
// ran from `start` to `end`: "<device>_<NN>_<start>_<end>.h264" for recorders of type 1,
// "<device>_<remote name>" otherwise; the device and remote names made safe (FileNamePart).
std::u16string DownloadFileName(int deviceType, const std::u16string& deviceName, int channel,
                                const Stamp& start, const Stamp& end,
                                const std::u16string& remoteName);

// What the local playback page makes of a walked file.
enum class LocalKind { Ignored, Recording, ShortRecording, Download };

// The part of a path after its last separator ('\\' or '/'); empty when there is none.
std::u16string NameOfPath(const std::u16string& path);
// The name of the folder holding the file; empty when the path has no folder.
std::u16string FolderOfPath(const std::u16string& path);

// Ring recordings contain "Preview"; the short form is exactly 19 characters; downloads are
// any other name of 38 characters or more; no separator at all: ignored.
LocalKind ClassifyLocalFile(const std::u16string& path);

// The fields read from a name. `channel` is 1-based; `end` may be empty.
struct ParsedName {
  int channel = 0;
  Stamp start;
  Stamp end;
  std::u16string ip;  // short form: from the folder name
  int port = 0;       // short form: from the folder name
};

// A ring recording's name: "Preview_<device>_<NN>_<YYYYMMDD>_<HHMMSS>" and anything after.
// The device part is compared (letter case ignored) with RingDevicePart(deviceName) and with
// FileNamePart(deviceName) (names made before long device names were cut), so device names
// with '_' in them parse, a DEL in names made before it was replaced taken as '_'; false for
// any other name.
bool ParseRecordingName(const std::u16string& name, const std::u16string& deviceName,
                        ParsedName& out);
// The short form "<YYYYMMDD>?<HHMMSS>????" inside a folder "<IP>_<port>_<channel>".
bool ParseShortRecordingName(const std::u16string& name, const std::u16string& folder,
                             ParsedName& out);
// A download's name, read from its right end: "<device>_<NN>_<start>_<end>.<ext>"; the
// device part may hold '_' itself. `deviceOut` gets the device part.
bool ParseDownloadName(const std::u16string& name, std::u16string& deviceOut, ParsedName& out);

// Whether a download's device part (ParseDownloadName) names `deviceName`: compared with
// FileNamePart(deviceName), letter case ignored, a DEL that older names hold taken as '_'.
bool SameDevicePart(const std::u16string& walked, const std::u16string& deviceName);

// Case-insensitive comparison of ASCII letters (other characters compare as they are).
bool SameTextNoCase(const std::u16string& a, const std::u16string& b);

// Hour, minute and second of a stamp (0 for a text that is not one).
void StampClock(const Stamp& stamp, int& hour, int& minute, int& second);

}  // namespace playback_names
