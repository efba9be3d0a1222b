// Arbitrary bytes as the player's stream format: parsed from memory piece by piece (as a live
// stream arrives) and read as a file from disk (as a recording plays), with seeks to the
// remembered key frames. Every frame found must lie inside the bytes it came from, and both
// ways must find the same frames.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "file_source.h"
#include "stream_format.h"

using namespace streamplay;

namespace {
unsigned g_sum = 0;
void touch(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) g_sum += p[i];
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (4u << 20)) return 0;
  std::vector<FrameRef> fromMemory;
  StreamInfo info;
  size_t pos = 0;
  for (;;) {
    FrameRef f;
    const size_t before = pos;
    const ParseResult r = parseNext(data, size, pos, &info, &f);
    if (r == ParseResult::NeedMore) {
      if (pos != before) __builtin_trap();
      break;
    }
    if (pos <= before || pos > size) __builtin_trap();
    if (r == ParseResult::Frame) {
      if (f.offset + f.length > size || f.offset < kFrameHeaderSize) __builtin_trap();
      touch(data + f.offset, f.length);
      fromMemory.push_back(f);
    }
  }

  const int fd = memfd_create("stream", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  auto source = FileSource::Open(path);
  close(fd);
  if (!source) {
    if (!fromMemory.empty()) __builtin_trap();
    return 0;
  }
  if (source->frames() != fromMemory.size()) __builtin_trap();
  FrameRef f;
  std::vector<uint8_t> payload;
  for (size_t i = 0; source->next(f, payload); ++i) {
    if (i >= fromMemory.size() || f.offset != fromMemory[i].offset || payload.size() != f.length ||
        (f.length && std::memcmp(payload.data(), data + f.offset, f.length) != 0))
      __builtin_trap();
  }
  // A seek to the key frame before any frame reads on from that very frame.
  for (uint64_t n = 0; n < source->frames(); n += 1 + source->frames() / 8) {
    uint64_t offset = 0, number = 0;
    source->keyFrameBefore(n, offset, number);
    if (number > n) __builtin_trap();
    source->seek(offset);
    if (!source->next(f, payload)) __builtin_trap();
    if (number < fromMemory.size() && f.offset != fromMemory[number].offset) __builtin_trap();
  }
  return 0;
}
