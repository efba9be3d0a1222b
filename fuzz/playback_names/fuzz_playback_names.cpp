// The local playback page's readers of walked file names: any bytes as a path (UTF-8), with
// a device name and a folder taken from the same input, must be classified and parsed without
// reading outside the text; what parses must hold the fields a reader relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "plat/text.h"
#include "view/PlaybackNames.h"

using namespace playback_names;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // "<device>\n<path>": the device name the search compares with, then the walked path.
  const size_t nl = input.find('\n');
  const std::u16string device = plat::utf8ToUtf16(nl == std::string::npos ? std::string() : input.substr(0, nl));
  const std::u16string path = plat::utf8ToUtf16(nl == std::string::npos ? input : input.substr(nl + 1));
  const std::u16string name = NameOfPath(path);
  const std::u16string folder = FolderOfPath(path);
  ParsedName p;
  std::u16string parsedDevice;
  int h = 0, m = 0, s = 0;
  switch (ClassifyLocalFile(path)) {
    case LocalKind::Recording:
      if (ParseRecordingName(name, device, p) && (p.channel < 0 || p.channel > 99 || p.start.size() != 14)) std::abort();
      break;
    case LocalKind::ShortRecording:
      if (ParseShortRecordingName(name, folder, p) && (p.start.size() != 14 || p.port < 0)) std::abort();
      break;
    case LocalKind::Download:
      if (ParseDownloadName(name, parsedDevice, p) &&
          (parsedDevice.empty() || !IsStamp(p.start) || !IsStamp(p.end)))
        std::abort();
      break;
    case LocalKind::Ignored:
      break;
  }
  StampClock(p.start, h, m, s);
  if (h > 99 || m > 99 || s > 99) std::abort();
  // Whatever a name holds, the part built from it is one safe file-name component, with no
  // control character.
  const std::u16string part = FileNamePart(device);
  if (part.find_first_of(u"\\/:") != std::u16string::npos || part.find(u"..") != std::u16string::npos) std::abort();
  for (char16_t c : part)
    if (plat::isControlChar(c)) std::abort();
  return 0;
}
