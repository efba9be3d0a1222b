#pragma once
// A saved recorder stream as the recorder writes it: a 16-byte stream header, then frames of a
// 16-byte header (magic, ..., payload length at 12) and their payload.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

struct RecorderFileShape {
  uint64_t size = 0;
  bool streamHeader = false;  // the file starts with the stream header
  int frames = 0;             // whole frames after it
  int videoFrames = 0;        // of them, the pictures
  bool endsAtFrame = false;   // the last of them ends exactly at the end of the file
  int keyFrames = 0;          // of them, key pictures: a player shows the file from the first
};

inline RecorderFileShape ReadRecorderFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  const std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  auto get32 = [&](size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
           uint32_t{b[at + 3]} << 24;
  };
  RecorderFileShape s;
  s.size = b.size();
  s.streamHeader = b.size() >= 16 && get32(0) == 0x4D525453u;  // "STRM"
  if (!s.streamHeader) return s;
  size_t pos = 16;
  while (pos + 16 <= b.size() && get32(pos) == 0x314D5246u) {  // "FRM1"
    const size_t next = pos + 16 + get32(pos + 12);
    if (next > b.size()) break;
    s.videoFrames += b[pos + 4] == 1;
    s.keyFrames += b[pos + 4] == 1 && (b[pos + 6] & 1) != 0;
    pos = next;
    ++s.frames;
  }
  s.endsAtFrame = pos == b.size();
  return s;
}

}  // namespace testsupport
